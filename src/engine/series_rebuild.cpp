// Rebuilding a series' lost pieces and recovery pieces from what is good of the rest, and
// proving what was rebuilt before anything takes it for whole.
#include <algorithm>
#include <memory>

#include "engine/series_recovery.h"
#include "platform/runtime_error.h"

namespace tessarel {
namespace {

using State = RecoveryPieceCheck::State;

// Where a row of the code can be read from, and which of its stripes may be: all of them when
// good is empty.
struct Source {
    std::string path;  // empty: nothing to read
    StripeMarks good;
};

// The code's rows: the series' M recovery rows (those of its table, when it has one).
int RowsOf(const RecoveryCheck& recovery) {
    const bool table = recovery.version == 2 && !recovery.table.crcs.empty();
    return table ? recovery.code->recovery_pieces
                 : std::max(recovery.code->recovery_pieces, recovery.declared);
}

// The rows that may be rebuilt from. Version 2: the stripes the recovery pieces' checksums
// found good (a piece not judged, when it is not lost); version 1: whole rows, and only those the
// list proves when there is one.
std::vector<Source> SourcesOf(const SeriesPlan& plan, const std::vector<PieceCheck>& pieces,
                              const RecoveryCheck& recovery, const SeriesDigests* list) {
    const bool version2 = recovery.version == 2;
    const int k = static_cast<int>(plan.count);
    std::vector<Source> sources(size_t(k + RowsOf(recovery)));
    for (const PieceCheck& piece : pieces) {
        Source& source = sources[size_t(piece.number - 1)];
        const bool judged = version2 && !piece.good_stripes.empty();
        const bool whole = !PieceLost(piece) && (version2 || !list || piece.compared);
        if (judged || whole) {
            source.path = PiecePath(piece);
            if (judged) {
                source.good = piece.good_stripes;
            }
        }
    }
    for (const RecoveryPieceCheck& piece : recovery.pieces) {
        if (piece.row < 0 || size_t(k + piece.row) >= sources.size()) {
            continue;
        }
        const bool read_in_part =
            !piece.good_stripes.empty() &&
            (piece.state == State::kDamaged || piece.state == State::kUnreadable);
        const bool usable = version2 ? piece.state == State::kGood || read_in_part : piece.proven;
        if (usable) {
            Source& source = sources[size_t(k + piece.row)];
            source.path = piece.name;
            if (version2) {
                source.good = piece.good_stripes;
            }
        }
    }
    return sources;
}

bool Good(const Source& source, int64_t stripe) {
    return !source.path.empty() && (source.good.empty() || source.good[size_t(stripe)]);
}

}  // namespace

bool EnoughToRebuild(const SeriesPlan& plan, const std::vector<PieceCheck>& pieces,
                     const RecoveryCheck& recovery, const SeriesDigests* list) {
    if (!recovery.code) {
        return false;
    }
    const std::vector<Source> sources = SourcesOf(plan, pieces, recovery, list);
    const int64_t k = plan.count;
    const int64_t stripes = recovery.version == 2 ? recovery.code->stripes() : 1;
    for (int64_t s = 0; s < stripes; ++s) {
        bool needed = false;
        int64_t good = 0;
        for (size_t r = 0; r < sources.size(); ++r) {
            const bool here = Good(sources[r], s);
            good += here ? 1 : 0;
            needed = needed || (int64_t(r) < k && !here);
        }
        if (needed && good < k) {
            return false;
        }
    }
    return true;
}

RebuildOutcome RebuildLost(const SeriesPlan& plan, const std::vector<PieceCheck>& pieces,
                           const RecoveryCheck& recovery, const SeriesDigests* list,
                           const std::map<int64_t, File*>& pieces_out,
                           const std::map<int, File*>& recovery_out, const RecoveryStep& step) {
    RebuildOutcome outcome;
    if (!recovery.code) {
        for (const auto& wanted : pieces_out) {
            outcome.unproven.push_back(wanted.first);
        }
        return outcome;
    }
    const bool version2 = recovery.version == 2;
    const bool has_table = version2 && !recovery.table.crcs.empty();
    const RecoveryHeader& code = *recovery.code;
    const int k = static_cast<int>(plan.count);
    const int m = RowsOf(recovery);
    RecoveryCoder coder(plan, m, version2 ? code.stripe_size : plan.piece_size);
    const std::vector<Source> sources = SourcesOf(plan, pieces, recovery, list);
    std::vector<CoderRow> rows(sources.size());
    std::vector<std::unique_ptr<File>> open;
    for (size_t r = 0; r < sources.size(); ++r) {
        if (sources[r].path.empty()) {
            continue;
        }
        open.push_back(std::make_unique<File>());
        File& file = *open.back();
        step([&] { file = File::OpenForReading(sources[r].path); });
        rows[r].in = &file;
        rows[r].good = sources[r].good;
    }
    std::map<int64_t, Sha256> piece_sums;
    for (const auto& [n, file] : pieces_out) {
        CoderRow& row = rows[size_t(n - 1)];
        row.wanted = true;
        row.out = file;
        if (list && size_t(n) <= list->pieces.size()) {
            row.hash = &piece_sums[n];
        }
    }
    // The recovery pieces made again: header, row, then (version 2) table and trailer.
    RecoveryHeader header = code;
    header.recovery_pieces = m;
    std::map<int, Sha256> recovery_sums;
    std::map<int, File*> remade;
    for (const auto& [j, file] : recovery_out) {
        if (j < m) {
            remade[j] = file;
        } else {
            outcome.unproven_recovery.push_back(j);  // no row of the code to make it from
        }
    }
    for (const auto& [j, file] : remade) {
        // Its good stripes, if any, still serve to rebuild from before it is made again.
        CoderRow& row = rows[size_t(k + j)];
        row.wanted = true;
        row.out = file;
        row.hash = &recovery_sums[j];
        header.index = j;
        const std::vector<uint8_t> bytes = RecoveryHeaderBytes(header);
        if (File* out = file) {
            step([&] { out->Write(bytes.data(), kRecoveryHeaderLength); });
        }
        row.hash->Update(bytes.data(), bytes.size());
    }
    StripeTable computed(k + m, coder.stripes());
    const CoderOutcome made =
        coder.Run(rows, has_table ? &recovery.table : nullptr, &computed, step);
    outcome.changed = made.changed;
    if (!remade.empty() && version2) {
        const std::vector<uint8_t> trailer =
            RecoveryTrailerBytes(header, has_table ? recovery.table : computed);
        for (const auto& [j, file] : remade) {
            if (File* out = file) {
                step([&] { out->Write(trailer.data(), static_cast<int32_t>(trailer.size())); });
            }
            recovery_sums[j].Update(trailer.data(), trailer.size());
        }
    }
    for (const auto& wanted : pieces_out) {
        const int64_t n = wanted.first;
        const bool listed = list && size_t(n) <= list->pieces.size();
        const bool as_listed = !listed || piece_sums[n].Finish() == list->pieces[size_t(n) - 1];
        // Version 1 has no checksums of its own: only the list proves its rebuild.
        if (made.failed[size_t(n - 1)] > 0 || !as_listed || (!version2 && !listed)) {
            outcome.unproven.push_back(n);
        }
    }
    for (const auto& wanted : remade) {
        const int j = wanted.first;
        const bool listed = list && size_t(j) < list->recovery.size();
        const bool as_listed = !listed || recovery_sums[j].Finish() == list->recovery[size_t(j)];
        // Without a table to compare it with, only the list proves a recovery piece made anew.
        if (made.failed[size_t(k + j)] > 0 || !as_listed || (!has_table && !listed)) {
            outcome.unproven_recovery.push_back(j);
            outcome.unprovable = outcome.unprovable || (!has_table && !listed);
        }
    }
    outcome.listless = !version2 && !list && !pieces_out.empty();
    return outcome;
}

}  // namespace tessarel
