#include "engine/series_recovery.h"

#include <algorithm>
#include <memory>

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

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameLetters(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

// The index a name gives a recovery piece of the series whose base name is base: BASE.r05 is
// 5, BASE.R123 is 123 (two digits below 100, three from 100 on, as PieceName writes them).
std::optional<int> IndexByName(const std::string& name, const std::string& base) {
    if (name.size() < base.size() + 4 || !SameLetters(name.substr(0, base.size()), base) ||
        name[base.size()] != '.' || Lower(name[base.size() + 1]) != 'r') {
        return std::nullopt;
    }
    const std::string digits = name.substr(base.size() + 2);
    if (digits.size() > 3 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
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
        if (piece.header && piece.header->file_length() != info.size) {
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
    StripeTable table;
    int64_t matches = 0;   // stripes of the pieces that bear its checksums out
    bool refuted = false;  // a piece the list proves differs from its checksums
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

// Bears the group's checksums out against the stripes of the pieces read.
void Weigh(Group& group, const std::vector<PieceCheck>& pieces) {
    for (const PieceCheck& piece : pieces) {
        const auto row = piece.number - 1;
        bool differs = false;
        for (size_t s = 0; s < piece.stripe_read.size() && int64_t(s) < group.table.stripes; ++s) {
            if (!piece.stripe_read[s]) {
                continue;
            }
            if (piece.stripe_crcs[s] == group.table.at(row, int64_t(s))) {
                ++group.matches;
            } else {
                differs = true;
            }
        }
        // A piece the list proves is as it was split: the series' own checksums match it.
        if (differs && piece.compared && piece.state == PieceState::kGood) {
            group.refuted = true;
        }
    }
}

// Reads one of the series' recovery pieces through: its row's stripes against the table, and
// the whole against its line in the list.
void ReadThrough(RecoveryPieceCheck& piece, const RecoveryHeader& code, const StripeTable* table,
                 int64_t file_length, const Digest* listed, std::vector<uint8_t>& buffer,
                 const std::function<bool()>& stop) {
    try {
        File file = File::OpenForReading(piece.name);
        Sha256 hash;
        const int64_t stripe = code.version == 2 ? code.stripe_size : code.piece_size;
        RowReading reading = ReadRow(
            file, file_length, kRecoveryHeaderLength, code.piece_size, code.piece_size, stripe,
            buffer, [&](const uint8_t* bytes, int64_t, size_t n) { hash.Update(bytes, n); },
            [&] {
                if (stop && stop()) {
                    throw CheckStopped{};
                }
            });
        if (table) {
            piece.good_stripes.assign(reading.read.size(), 0);
            const int64_t row = code.data_pieces + piece.row;
            for (size_t s = 0; s < reading.read.size(); ++s) {
                piece.good_stripes[s] = reading.read[s] && row < table->rows &&
                                        reading.crcs[s] == table->at(row, int64_t(s));
                piece.bad_stripes += piece.good_stripes[s] ? 0 : 1;
            }
        }
        const bool as_listed = listed && !reading.failed && hash.Finish() == *listed;
        piece.proven = as_listed;
        if (reading.failed) {
            piece.state = State::kUnreadable;
        } else if (piece.bad_stripes > 0 || (listed && !as_listed)) {
            piece.state = State::kDamaged;
        }
    } catch (const RuntimeError&) {
        piece.state = State::kUnreadable;
    }
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
                   p.first.piece_size == plan.piece_size;
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
    for (int64_t n = 1; n <= plan.count; ++n) {
        try {
            const PathInfo info = InfoOf(names[n]);
            bearing += info.regular() && info.size == plan.piece_length(n) ? 1 : 0;
        } catch (const RuntimeError&) {
            // Not to be looked at: bears nothing out.
        }
    }
    return bearing;
}

int64_t StripeSizeOf(const SeriesPlan& plan) {
    return StripeSizeFor(plan.piece_size, plan.count);
}

RecoveryCheck JudgeRecoveryPieces(const SeriesNames& names, const SeriesPlan& plan,
                                  const std::vector<FoundRecoveryPiece>& found,
                                  std::vector<PieceCheck>& pieces, const SeriesDigests* list,
                                  bool read, const std::function<bool()>& stop) {
    const auto of_plan = [&](const FoundRecoveryPiece& f) {
        return f.header && f.header->stream_length == plan.stream_length &&
               f.header->piece_size == plan.piece_size;
    };
    // The codes there are for this plan: each identity of version 2, and version 1.
    std::vector<Group> groups;
    std::vector<Digest> identities;
    Group version1;
    for (size_t i = 0; i < found.size(); ++i) {
        if (!of_plan(found[i])) {
            continue;
        }
        if (found[i].header->version == 1) {
            version1.members.push_back(i);
            continue;
        }
        const auto known = std::find(identities.begin(), identities.end(), found[i].identity);
        if (known == identities.end()) {
            identities.push_back(found[i].identity);
            groups.emplace_back();
            groups.back().members.push_back(i);
        } else {
            groups[size_t(known - identities.begin())].members.push_back(i);
        }
    }
    // Which of them the pieces there bear out: one table at a time is in memory.
    bool evidence = false;
    for (const PieceCheck& piece : pieces) {
        evidence =
            evidence || std::count(piece.stripe_read.begin(), piece.stripe_read.end(), 1) > 0;
    }
    std::optional<size_t> chosen;
    for (size_t g = 0; g < groups.size(); ++g) {
        Group& group = groups[g];
        if (evidence) {
            // The table of the count most members declare, since it has their rows.
            const int declared = MostDeclared(found, group.members);
            for (const size_t i : group.members) {
                if (found[i].header->recovery_pieces == declared) {
                    if (const auto trailer = ReadTrailer(found[i].name, *found[i].header)) {
                        group.table = trailer->table;
                        break;
                    }
                }
            }
            Weigh(group, pieces);
            group.table = StripeTable();
            if (group.refuted || group.matches == 0) {
                continue;
            }
        }
        if (!chosen || group.matches > groups[*chosen].matches ||
            (group.matches == groups[*chosen].matches &&
             group.members.size() > groups[*chosen].members.size())) {
            chosen = g;
        }
    }
    RecoveryCheck check;
    const Group* series = nullptr;
    if (chosen) {
        series = &groups[*chosen];
        check.version = 2;
    } else if (!version1.members.empty()) {
        series = &version1;
        check.version = 1;
    }
    const bool listed_count = list && !list->recovery.empty();
    if (series) {
        check.declared =
            listed_count ? int(list->recovery.size()) : MostDeclared(found, series->members);
        // The code's header, and its table, from a whole member that declares that count when
        // there is one.
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
            if (const auto trailer = ReadTrailer(found[from].name, *check.code)) {
                check.table = trailer->table;
            }
        }
    } else if (listed_count) {
        // None is there, but the list says how many there were.
        check.declared = int(list->recovery.size());
        check.version = 2;
        check.code = RecoveryHeader{2,
                                    int(plan.count),
                                    check.declared,
                                    0,
                                    plan.piece_size,
                                    plan.stream_length,
                                    StripeSizeOf(plan)};
    }
    // The pieces' stripes, judged against the series' checksums.
    if (check.version == 2 && !check.table.crcs.empty()) {
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
    // Each recovery piece of the series, by its row; the other files at such names.
    std::vector<bool> placed(found.size(), false);
    std::vector<uint8_t> buffer(read ? size_t{1} << 20 : 0);
    for (int j = 0; j < check.declared; ++j) {
        RecoveryPieceCheck piece;
        piece.index = j;
        piece.name = RecoveryPieceName(names, j);
        std::optional<size_t> member;
        if (series) {
            for (const size_t i : series->members) {
                if (!placed[i] && found[i].header->index == j && (!member || found[i].index == j)) {
                    member = i;
                }
            }
        }
        if (member) {
            placed[*member] = true;
            piece.name = found[*member].name;
            piece.index = found[*member].index;
            piece.row = j;
            piece.state = State::kGood;
            if (read) {
                const bool listed = list && size_t(piece.index) < list->recovery.size();
                ReadThrough(piece, *check.code, check.version == 2 ? &check.table : nullptr,
                            found[*member].header->file_length(),
                            listed ? &list->recovery[size_t(piece.index)] : nullptr, buffer, stop);
            }
        } else {
            for (size_t i = 0; i < found.size(); ++i) {
                if (!placed[i] && found[i].index == j) {
                    placed[i] = true;
                    piece.name = found[i].name;
                    piece.state = found[i].header ? State::kForeign : State::kNotOurs;
                    break;
                }
            }
        }
        check.pieces.push_back(piece);
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
        piece.state = ours ? State::kGood : found[i].header ? State::kForeign : State::kNotOurs;
        check.pieces.push_back(piece);
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
