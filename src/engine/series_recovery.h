// The recovery pieces beside a series, as a join, check and repair meet them: the files at
// recovery pieces' names and what each says of itself; which of them are the series' own (they
// are of one code, and the pieces that are there bear their checksums out) and which belong to
// another series; which stripes of which pieces are as they were split; and rebuilding what is
// not, proven against the recovery pieces' checksums (and the list, when there is one) before
// anything calls it whole.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/checksums.h"
#include "engine/recovery.h"
#include "engine/series_check.h"

namespace tessarel {

// A file at a recovery piece's name, and what it says of itself.
struct FoundRecoveryPiece {
    std::string name;                       // full path
    int index = 0;                          // by its name: BASE.r05 is 5
    std::optional<RecoveryHeader> header;   // when it is a whole recovery piece of ours
    std::optional<RecoveryHeader> claimed;  // what its header says, whole or not
    bool longer = false;                    // longer than its header says (the rest of it whole)
    Digest identity{};                      // version 2: the series' it was made for
};

// The names of recovery pieces there are beside the series named by names (BASE.r00 up to
// BASE.r254, in either letter case), full paths, by index.
std::vector<std::pair<int, std::string>> RecoveryPieceNames(const SeriesNames& names);
// Those files, each with what it says of itself.
std::vector<FoundRecoveryPiece> FindRecoveryPieces(const SeriesNames& names);

// The plans those recovery pieces describe, each once, the one most of them describe first.
std::vector<SeriesPlan> PlansOf(const std::vector<FoundRecoveryPiece>& found);

// How well the files there bear out plan for the series named by names: the pieces that have
// exactly the length it gives them, less those it asks for that are missing or of another
// length (a damaged header's plan asks for a piece that was never written).
int64_t PiecesBearingOut(const SeriesNames& names, const SeriesPlan& plan);

// The stripe size of the code of recovery pieces a series planned as plan has or would have.
int64_t StripeSizeOf(const SeriesPlan& plan);

struct RecoveryPieceCheck {
    // kUncertain: of one of two versions of the series the pieces there cannot tell apart.
    enum class State { kGood, kMissing, kNotOurs, kForeign, kUncertain, kUnreadable, kDamaged };
    int index = 0;  // its name's
    int row = -1;   // its row among the recovery rows, when it is one of the series'
    std::string name;
    State state = State::kMissing;
    bool proven = false;       // read through, and as its line in the list says (version 1: needed)
    StripeMarks good_stripes;  // version 2, once read: its stripes as its checksums say
    int64_t bad_stripes = 0;
};

struct RecoveryCheck {
    int version = 0;   // of the series' recovery pieces; 0 when none is there
    int declared = 0;  // how many recovery pieces the series has (their headers, or its list)
    std::optional<RecoveryHeader> code;  // what they say of the series: its plan and stripes
    StripeTable table;                   // version 2: the checksum of every stripe of every row
    // Recovery pieces of two versions of the series are there, which the pieces there bear out
    // alike and no list tells apart: none is used.
    bool ambiguous = false;
    std::vector<RecoveryPieceCheck> pieces;  // r00 .. r(M-1), then other files at such names
    int good() const;
};

// Judges the recovery pieces found beside the series named by names, planned as plan: the ones
// of one code whose checksums the pieces there bear out are the series' (of several such, the
// one they bear out most; none, when what was read bears none of them out, or a piece the list
// proves differs from them); the others belong to another series, or are no recovery pieces at
// all. A code one of whose pieces is as its line in the list comes before any other; two codes
// the pieces bear out alike, with nothing to tell them apart, are both left unused (ambiguous).
// With read, each recovery piece is read through: its stripes against its checksums, the whole
// against its line in the list. Pieces read through with stripes have theirs judged: a
// good piece with a stripe that differs is damaged. With list and no recovery piece there, the
// list's lines still tell how many there were.
RecoveryCheck JudgeRecoveryPieces(const SeriesNames& names, const SeriesPlan& plan,
                                  const std::vector<FoundRecoveryPiece>& found,
                                  std::vector<PieceCheck>& pieces, const SeriesDigests* list,
                                  bool read, const std::function<bool()>& stop = {});

// The series' pieces that are lost (PieceLost), by number.
std::vector<int64_t> LostPieces(const std::vector<PieceCheck>& pieces);
// The series' recovery pieces that are not there as they were written, by index.
std::vector<int> LostRecoveryPieces(const RecoveryCheck& recovery);

// True when every stripe of the lost pieces has enough good stripes of other rows (pieces and
// recovery pieces) to be rebuilt from.
bool EnoughToRebuild(const SeriesPlan& plan, const std::vector<PieceCheck>& pieces,
                     const RecoveryCheck& recovery, const SeriesDigests* list);

// What a rebuild made of what was wanted.
struct RebuildOutcome {
    std::vector<int64_t> unproven;       // pieces (numbers): not rebuilt, or not as they were
    std::vector<int> unproven_recovery;  // recovery pieces (indexes)
    bool changed = false;                // a piece read changed since it was found good
    bool listless = false;               // version 1 pieces, and no list to prove a rebuild
    bool unprovable = false;  // a recovery piece to write, and no table nor list to prove it
    bool proven() const {
        return unproven.empty() && unproven_recovery.empty() && !changed && !listless &&
               !unprovable;
    }
};

// Rebuilds the pieces wanted (by number) into the files given (null: worked out and checked
// only, as check does), and the recovery pieces wanted (by index) into theirs, header and
// table included; from the stripes of pieces and recovery pieces that are good. Each is proven:
// every stripe against the recovery pieces' checksums (version 2), the whole against its line in
// the list when it has one. A version 1 rebuild is proven by the list alone.
RebuildOutcome RebuildLost(const SeriesPlan& plan, const std::vector<PieceCheck>& pieces,
                           const RecoveryCheck& recovery, const SeriesDigests* list,
                           const std::map<int64_t, File*>& pieces_out,
                           const std::map<int, File*>& recovery_out, const RecoveryStep& step);

}  // namespace tessarel
