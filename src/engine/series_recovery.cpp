#include "engine/series_recovery.h"

#include <algorithm>
#include <memory>

#include "platform/conversions.h"
#include "platform/path.h"
#include "platform/runtime_error.h"

namespace tessarel {

int RecoveryCheck::good() const {
    return static_cast<int>(std::count_if(pieces.begin(), pieces.end(), [](const auto& p) {
        return p.row >= 0 && p.state == RecoveryPieceCheck::State::kGood;
    }));
}

namespace {

using State = RecoveryPieceCheck::State;

// The index a name gives a recovery piece of the series whose base name is base: BASE.r05 is
// 5, BASE.R123 is 123 (two digits below 100, three from 100 on, as PieceName writes them).
std::optional<int> IndexByName(const std::string& name, const std::string& base) {
    if (name.size() < base.size() + 4 || !SameIgnoringCase(name.substr(0, base.size()), base) ||
        name[base.size()] != '.' ||
        (name[base.size() + 1] != 'r' && name[base.size() + 1] != 'R')) {
        return std::nullopt;
    }
    const std::string digits = name.substr(base.size() + 2);
    if (!AllDigits(digits, 3)) {
        return std::nullopt;
    }
    const int index = std::stoi(digits);
    const bool canonical = index < 100 ? digits.size() == 2 : digits[0] != '0';
    if (!canonical || index >= kMostCodedPieces) {
        return std::nullopt;
    }
    return index;
}

// The trailer of a version 2 recovery piece: read whole, or nothing.
std::optional<RecoveryTrailer> ReadTrailer(const std::string& path, const RecoveryHeader& header) {
    try {
        File file = File::OpenForReading(path);
        std::vector<uint8_t> bytes(size_t(header.table_length() + kRecoveryTrailerLength));
        file.Seek(kRecoveryHeaderLength + header.piece_size);
        file.Read(bytes.data(), static_cast<int32_t>(bytes.size()));
        return ParseRecoveryTrailer(header, bytes.data(), bytes.size());
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
}

// What the file at path says of itself, when it is a recovery piece of ours.
void ReadWhatItSays(FoundRecoveryPiece& piece) {
    try {
        const PathInfo info = InfoOf(piece.name);
        if (!info.regular()) {
            return;
        }
        File file = File::OpenForReading(piece.name);
        uint8_t bytes[kRecoveryHeaderLength];
        file.Read(bytes, kRecoveryHeaderLength);
        piece.header = ParseRecoveryHeader(bytes, sizeof bytes);
        piece.claimed = piece.header;
        // A piece longer than its header says is whole when what the header says is: its
        // extra bytes are damage of its own, put right by writing it again.
        piece.longer = piece.header && info.size > piece.header->file_length();
        if (piece.header && piece.header->file_length() > info.size) {
            piece.header.reset();
        }
        if (piece.header && piece.header->version == 2) {
            const auto trailer = ReadTrailer(piece.name, *piece.header);
            if (trailer) {
                piece.identity = trailer->identity;
            } else {
                piece.header.reset();
            }
        }
    } catch (const RuntimeError&) {
        piece.header.reset();  // not to be read: nothing it says is known
    }
}

// Recovery pieces of one code: version 2 of one identity, or version 1.
struct Group {
    std::vector<size_t> members;  // in found
    int64_t matches = 0;          // stripes of the pieces read that bear its checksums out
    int64_t mismatches = 0;       // and that do not
    bool refuted = false;         // a piece the list proves differs from its checksums
    bool confirmed = false;       // a member is as its line in the list says
};

// The count most members say the series has; of two as common, the smaller.
int MostDeclared(const std::vector<FoundRecoveryPiece>& found, const std::vector<size_t>& members) {
    std::map<int, int> votes;
    for (const size_t i : members) {
        ++votes[found[i].header->recovery_pieces];
    }
    int best = 0;
    int most = 0;
    for (const auto& [count, n] : votes) {
        if (n > most) {
            best = count;
            most = n;
        }
    }
    return best;
}

// The table of a code: from a whole member that declares count, else from any whole member.
std::optional<StripeTable> TableOf(const std::vector<FoundRecoveryPiece>& found,
                                   const std::vector<size_t>& members, int count) {
    for (const bool exact : {true, false}) {
        for (const size_t i : members) {
            if (found[i].header->version == 2 &&
                (!exact || found[i].header->recovery_pieces == count)) {
                if (const auto trailer = ReadTrailer(found[i].name, *found[i].header)) {
                    return trailer->table;
                }
            }
        }
    }
    return std::nullopt;
}

// Bears the table out against the stripes of the pieces read.
// Only stripes that hold some of a piece's bytes count: a stripe of padding alone is the same
// zeros in every series of that plan.
void Weigh(Group& group, const StripeTable& table, int64_t stripe_size,
           const std::vector<PieceCheck>& pieces) {
    for (const PieceCheck& piece : pieces) {
        const auto row = piece.number - 1;
        bool differs = false;
        for (size_t s = 0; s < piece.stripe_read.size() && int64_t(s) < table.stripes; ++s) {
            if (!piece.stripe_read[s] || int64_t(s) * stripe_size >= piece.expected) {
                continue;
            }
            if (piece.stripe_crcs[s] == table.at(row, int64_t(s))) {
                ++group.matches;
            } else {
                ++group.mismatches;
                differs = true;
            }
        }
        // A piece the list proves is as it was split: the series' own checksums match it.
        if (differs && piece.compared && piece.state == PieceState::kGood) {
            group.refuted = true;
        }
    }
}

// What reading a recovery piece through found: its row's stripes, and its bytes against its
// line in the list.
struct Reading {
    RowReading row;
    bool listed = false;     // the list has a line for it
    bool as_listed = false;  // and its bytes are that line's
};

Reading ReadThrough(const FoundRecoveryPiece& piece, const Digest* listed,
                    std::vector<uint8_t>& buffer, const std::function<bool()>& stop) {
    Reading reading;
    const RecoveryHeader& header = *piece.header;
    try {
        File file = File::OpenForReading(piece.name);
        Sha256 hash;
        reading.row = ReadRow(
            file, header.file_length(), kRecoveryHeaderLength, header.piece_size, header.piece_size,
            header.version == 2 ? header.stripe_size : header.piece_size, buffer,
            [&](const uint8_t* bytes, int64_t, size_t n) { hash.Update(bytes, n); },
            [&] {
                if (stop && stop()) {
                    throw CheckStopped{};
                }
            });
        reading.as_listed = listed && !reading.row.failed && hash.Finish() == *listed;
    } catch (const RuntimeError& error) {
        reading.row.failed = true;
        reading.row.reason = error.description();
    }
    return reading;
}

// A file at a recovery piece's name that is none of the series' code: another series' when it is
// whole, damaged when its header says it is this series' (but it is cut short, or its table is
// not whole), else no recovery piece at all.
RecoveryPieceCheck::State StateOfStranger(const FoundRecoveryPiece& found,
                                          const RecoveryCheck& check) {
    const bool claims = found.claimed && check.code &&
                        found.claimed->stream_length == check.code->stream_length &&
                        found.claimed->piece_size == check.code->piece_size;
    if (claims && !found.header) {
        return State::kDamaged;
    }
    return found.header ? State::kForeign : State::kNotOurs;
}

// The pieces' stripes, judged against the series' checksums: a good piece with a stripe that
// differs is damaged.
void JudgePieces(std::vector<PieceCheck>& pieces, const RecoveryCheck& check) {
    if (check.version != 2 || check.table.crcs.empty()) {
        return;
    }
    for (PieceCheck& piece : pieces) {
        if (piece.stripe_read.empty()) {
            continue;
        }
        const auto row = piece.number - 1;
        piece.good_stripes.assign(piece.stripe_read.size(), 0);
        piece.bad_stripes = 0;
        for (size_t s = 0; s < piece.stripe_read.size(); ++s) {
            piece.good_stripes[s] =
                piece.stripe_read[s] && piece.stripe_crcs[s] == check.table.at(row, int64_t(s));
            piece.bad_stripes += piece.good_stripes[s] ? 0 : 1;
        }
        if (piece.bad_stripes > 0 &&
            (piece.state == PieceState::kGood || piece.state == PieceState::kLonger)) {
            piece.state = PieceState::kDamaged;
        }
    }
}

// Each recovery piece of the series, r00 to r(M-1), by its row (a member of the series' code
// whose header gives that index), as its reading found it; then the other files at such names.
std::vector<RecoveryPieceCheck> RecoveryEntries(const SeriesNames& names,
                                                const std::vector<FoundRecoveryPiece>& found,
                                                const Group* series,
                                                const std::map<size_t, Reading>& readings,
                                                const RecoveryCheck& check) {
    std::vector<RecoveryPieceCheck> entries;
    std::vector<bool> placed(found.size(), false);
    for (int j = 0; j < check.declared; ++j) {
        RecoveryPieceCheck piece;
        piece.index = j;
        piece.name = RecoveryPieceName(names, j);
        std::optional<size_t> member;
        for (const size_t i : series ? series->members : std::vector<size_t>()) {
            if (!placed[i] && found[i].header->index == j && (!member || found[i].index == j)) {
                member = i;
            }
        }
        if (member) {
            placed[*member] = true;
            piece.name = found[*member].name;
            piece.index = found[*member].index;
            piece.row = j;
            piece.state = State::kGood;
            const auto reading = readings.find(*member);
            if (reading != readings.end()) {
                const RowReading& row = reading->second.row;
                piece.proven = reading->second.as_listed;
                const int64_t table_row = check.code->data_pieces + j;
                if (check.version == 2 && !check.table.crcs.empty() && !row.crcs.empty()) {
                    piece.good_stripes.assign(row.read.size(), 0);
                    for (size_t s = 0; s < row.read.size(); ++s) {
                        piece.good_stripes[s] =
                            row.read[s] && table_row < check.table.rows &&
                            row.crcs[s] == check.table.at(table_row, int64_t(s));
                        piece.bad_stripes += piece.good_stripes[s] ? 0 : 1;
                    }
                }
                if (row.failed) {
                    piece.state = State::kUnreadable;
                } else if (piece.bad_stripes > 0 || found[*member].longer ||
                           (reading->second.listed && !piece.proven)) {
                    piece.state = State::kDamaged;
                }
            }
        } else {
            for (size_t i = 0; i < found.size(); ++i) {
                if (!placed[i] && found[i].index == j) {
                    placed[i] = true;
                    piece.name = found[i].name;
                    piece.state = StateOfStranger(found[i], check);
                    break;
                }
            }
        }
        entries.push_back(piece);
    }
    for (size_t i = 0; i < found.size(); ++i) {
        if (placed[i]) {
            continue;
        }
        RecoveryPieceCheck piece;
        piece.index = found[i].index;
        piece.name = found[i].name;
        const bool ours = series && std::find(series->members.begin(), series->members.end(), i) !=
                                        series->members.end();
        piece.state = ours ? State::kGood : StateOfStranger(found[i], check);
        entries.push_back(piece);
    }
    return entries;
}

}  // namespace

std::vector<std::pair<int, std::string>> RecoveryPieceNames(const SeriesNames& names) {
    const std::string folder = FolderOf(names.base);
    const std::string base = NameOf(names.base);
    std::vector<std::pair<int, std::string>> there;
    for (const std::string& name : NamesIn(folder)) {
        if (const auto index = IndexByName(name, base)) {
            there.emplace_back(*index, JoinPath(folder, name));
        }
    }
    std::sort(there.begin(), there.end());  // the same answer every time
    return there;
}

std::vector<FoundRecoveryPiece> FindRecoveryPieces(const SeriesNames& names) {
    std::vector<FoundRecoveryPiece> found;
    for (const auto& [index, name] : RecoveryPieceNames(names)) {
        FoundRecoveryPiece piece;
        piece.name = name;
        piece.index = index;
        ReadWhatItSays(piece);
        found.push_back(std::move(piece));
    }
    return found;
}

std::vector<SeriesPlan> PlansOf(const std::vector<FoundRecoveryPiece>& found) {
    std::vector<std::pair<SeriesPlan, int>> plans;
    for (const FoundRecoveryPiece& piece : found) {
        if (!piece.header) {
            continue;
        }
        const SeriesPlan plan = piece.header->plan();
        const auto known = std::find_if(plans.begin(), plans.end(), [&](const auto& p) {
            return p.first.stream_length == plan.stream_length &&
                   p.first.piece_size == plan.piece_size && p.first.headerless == plan.headerless;
        });
        if (known == plans.end()) {
            plans.emplace_back(plan, 1);
        } else {
            ++known->second;
        }
    }
    std::stable_sort(plans.begin(), plans.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::vector<SeriesPlan> result;
    for (const auto& [plan, n] : plans) {
        result.push_back(plan);
    }
    return result;
}

int64_t PiecesBearingOut(const SeriesNames& names, const SeriesPlan& plan) {
    int64_t bearing = 0;
    // A plan that asks for more pieces than are there is belied by each one it misses.
    for (int64_t n = 1; n <= plan.count; ++n) {
        try {
            const PathInfo info = InfoOf(names[n]);
            bearing += info.regular() && info.size == plan.piece_length(n) ? 1 : 0;
        } catch (const RuntimeError&) {
            // Not to be looked at: bears nothing out.
        }
    }
    return bearing - (plan.count - bearing);
}

int64_t StripeSizeOf(const SeriesPlan& plan) {
    return StripeSizeFor(plan.piece_size, plan.count);
}

RecoveryCheck JudgeRecoveryPieces(const SeriesNames& names, const SeriesPlan& plan,
                                  const std::vector<FoundRecoveryPiece>& found,
                                  std::vector<PieceCheck>& pieces, const SeriesDigests* list,
                                  bool read, const std::function<bool()>& stop) {
    // The codes there are for this plan: each identity of version 2, and version 1.
    std::vector<Group> groups;
    std::vector<Digest> identities;
    Group version1;
    for (size_t i = 0; i < found.size(); ++i) {
        const auto& header = found[i].header;
        if (!header || header->stream_length != plan.stream_length ||
            header->piece_size != plan.piece_size || header->headerless != plan.headerless) {
            continue;
        }
        if (header->version == 1) {
            version1.members.push_back(i);
            continue;
        }
        const auto known = std::find(identities.begin(), identities.end(), found[i].identity);
        if (known == identities.end()) {
            identities.push_back(found[i].identity);
            groups.emplace_back();
        }
        groups[size_t(std::find(identities.begin(), identities.end(), found[i].identity) -
                      identities.begin())]
            .members.push_back(i);
    }
    // Each read through once: its stripes, and its line in the list, which confirms its code.
    std::map<size_t, Reading> readings;
    std::vector<uint8_t> buffer(read ? size_t{1} << 20 : 0);
    for (Group* group : [&] {
             std::vector<Group*> all{&version1};
             for (Group& g : groups) {
                 all.push_back(&g);
             }
             return all;
         }()) {
        for (const size_t i : read ? group->members : std::vector<size_t>()) {
            // The list's lines are what tells codes apart, and what proves the first kind; a
            // lone code of the second kind proves each stripe by its own checksums.
            const size_t index = size_t(found[i].index);
            const bool listed =
                list && index < list->recovery.size() &&
                (groups.size() + (version1.members.empty() ? 0 : 1) > 1 || group == &version1);
            readings[i] =
                ReadThrough(found[i], listed ? &list->recovery[index] : nullptr, buffer, stop);
            readings[i].listed = listed;
            group->confirmed = group->confirmed || readings[i].as_listed;
        }
    }
    // Which code the pieces there bear out, one table in memory at a time.
    bool evidence = false;
    for (const PieceCheck& piece : pieces) {
        evidence =
            evidence || std::count(piece.stripe_read.begin(), piece.stripe_read.end(), 1) > 0;
    }
    for (Group& group : groups) {
        if (evidence) {
            if (const auto table =
                    TableOf(found, group.members, MostDeclared(found, group.members))) {
                Weigh(group, *table, StripeSizeOf(plan), pieces);
            }
        }
    }
    const auto better = [&](const Group& a, const Group& b) {
        return a.matches != b.matches ? a.matches > b.matches : a.mismatches < b.mismatches;
    };
    std::vector<size_t> order;
    for (size_t g = 0; g < groups.size(); ++g) {
        const Group& group = groups[g];
        // A code the pieces bear out less than they belie is another series': a damaged
        // series has more of its stripes intact than not, a foreign one shares few by chance.
        if (!group.refuted && (group.confirmed || !evidence || group.matches > group.mismatches)) {
            order.push_back(g);
        }
    }
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        if (groups[a].confirmed != groups[b].confirmed) {
            return groups[a].confirmed;
        }
        return better(groups[a], groups[b]) ||
               (!better(groups[b], groups[a]) &&
                groups[a].members.size() > groups[b].members.size());
    });
    RecoveryCheck check;
    const Group* series = nullptr;
    // Two codes the pieces there bear out alike (two versions of the series that differ only
    // where the pieces are lost), and no list to tell them apart: neither is used.
    const bool alike = order.size() > 1 && evidence && !groups[order[0]].confirmed &&
                       !better(groups[order[0]], groups[order[1]]);
    if (alike) {
        check.ambiguous = true;
    } else if (!order.empty() && (groups[order[0]].confirmed || !version1.confirmed)) {
        series = &groups[order[0]];
        check.version = 2;
    } else if (!version1.members.empty()) {
        series = &version1;
        check.version = 1;
    }
    const bool listed_count = list && !list->recovery.empty();
    if (series) {
        check.declared =
            listed_count ? int(list->recovery.size()) : MostDeclared(found, series->members);
        size_t from = series->members.front();
        for (const size_t i : series->members) {
            if (found[i].header->recovery_pieces == check.declared) {
                from = i;
                break;
            }
        }
        check.code = found[from].header;
        check.code->index = 0;
        if (check.version == 2) {
            if (const auto table = TableOf(found, series->members, check.code->recovery_pieces)) {
                check.table = *table;
            }
        }
    } else if (!check.ambiguous) {
        // None is whole, but the list says how many there were, or damaged ones do.
        std::vector<size_t> damaged;
        for (size_t i = 0; i < found.size(); ++i) {
            if (found[i].claimed && !found[i].header &&
                found[i].claimed->stream_length == plan.stream_length &&
                found[i].claimed->piece_size == plan.piece_size) {
                damaged.push_back(i);
            }
        }
        std::map<int, int> votes;
        for (const size_t i : damaged) {
            ++votes[found[i].claimed->recovery_pieces];
        }
        check.declared = listed_count ? int(list->recovery.size())
                         : votes.empty()
                             ? 0
                             : std::max_element(votes.begin(), votes.end(), [](auto& a, auto& b) {
                                   return a.second < b.second;
                               })->first;
    }
    if (!series && check.declared > 0) {
        check.version = 2;
        check.code = RecoveryHeader{2,
                                    int(plan.count),
                                    check.declared,
                                    0,
                                    plan.piece_size,
                                    plan.stream_length,
                                    StripeSizeOf(plan)};
        check.code->headerless = plan.headerless;
    }
    JudgePieces(pieces, check);
    check.pieces = RecoveryEntries(names, found, series, readings, check);
    if (check.ambiguous) {
        for (const size_t g : order) {
            for (const size_t i : groups[g].members) {
                for (RecoveryPieceCheck& piece : check.pieces) {
                    if (piece.name == found[i].name) {
                        piece.state = State::kUncertain;
                    }
                }
            }
        }
    }
    return check;
}

std::vector<int64_t> LostPieces(const std::vector<PieceCheck>& pieces) {
    std::vector<int64_t> lost;
    for (const PieceCheck& piece : pieces) {
        if (PieceLost(piece)) {
            lost.push_back(piece.number);
        }
    }
    return lost;
}

std::vector<int> LostRecoveryPieces(const RecoveryCheck& recovery) {
    std::vector<int> lost;
    for (const RecoveryPieceCheck& piece : recovery.pieces) {
        const int j = piece.row >= 0 ? piece.row : piece.index;
        if (j < recovery.declared && piece.state != State::kGood &&
            (piece.row >= 0 || std::find(lost.begin(), lost.end(), j) == lost.end())) {
            lost.push_back(j);
        }
    }
    std::sort(lost.begin(), lost.end());
    lost.erase(std::unique(lost.begin(), lost.end()), lost.end());
    return lost;
}

}  // namespace tessarel
