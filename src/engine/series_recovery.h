// The recovery pieces beside a series, as a join, check and repair meet them: which are there
// and good, which of the series' pieces are lost (missing, not files, short, unreadable, or
// damaged by their checksum), whether the lost ones can be rebuilt, and rebuilding them.
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

struct RecoveryPieceCheck {
    enum class State { kGood, kMissing, kNotOurs, kUnreadable, kDamaged };
    int index = 0;
    std::string name;
    State state = State::kMissing;
};

struct RecoveryCheck {
    int declared = 0;  // how many recovery pieces the series has, by their headers (0: none)
    std::vector<RecoveryPieceCheck> pieces;
    int good() const;
};

// The recovery pieces of the series named by names, planned as series: each header must be
// ours and this series'; when read is set, each is read through and compared with its listed
// digest (when expected lists it). stop is asked between reads.
RecoveryCheck CheckRecoveryPieces(const SeriesNames& names, const SeriesPlan& series,
                                  const SeriesDigests* expected, bool read,
                                  const std::function<bool()>& stop = {});

// True when something has the name of recovery piece index (a name too long is nobody's).
bool RecoveryPieceNamed(const SeriesNames& names, int index);

// How the series whose first piece is named first_piece was cut, as its recovery pieces' headers
// say: for a first piece that is lost or no longer reads as one. Nothing when none is there.
std::optional<SeriesPlan> PlanFromRecoveryPieces(const std::string& first_piece);

// The series' pieces that are lost; true when the good ones and the good recovery pieces are
// enough to rebuild them.
std::vector<int64_t> LostPieces(const std::vector<PieceCheck>& pieces);
bool CanRebuild(const std::vector<PieceCheck>& pieces, const RecoveryCheck& recovery);

// Rebuilds pieces (by number, from 1) into the files given, and recovery pieces (by index) into
// theirs (their data only: the caller writes their header first). The rows rebuilt from are
// the good pieces (a missing one's checked look-alike counts) and good recovery pieces.
// False when there are too few.
bool RebuildLost(const SeriesNames& names, const SeriesPlan& series,
                 const std::vector<PieceCheck>& pieces, const RecoveryCheck& recovery,
                 const std::map<int64_t, File*>& pieces_out,
                 const std::map<int, File*>& recovery_out, const RecoveryStep& step);

}  // namespace tessarel
