// The commands a front end runs: split, join, check and repair, each its own file
// (split_command.cpp, join_command.cpp, check_command.cpp) over the steps of request_steps.h.
// Each runs a typed request through the request rules, asks before replacing a file, clears
// the way and runs the operation; every file step goes through the error trap, so a disk that
// is not ready can be retried. Each may run on any thread: it talks only to display and box.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "control/request_plan.h"
#include "engine/progress_display.h"
#include "engine/series_check.h"
#include "engine/series_recovery.h"
#include "platform/message_box.h"

namespace tessarel {

// Run a typed request. True when it was carried out to its end.
bool RunSplit(const SplitRequest& request, ProgressDisplay& display, MessageBox& message_box);
bool RunJoin(const JoinRequest& request, ProgressDisplay& display, MessageBox& message_box);

// What check finds of a series: each piece, read through, and whether its contents could be
// compared with the series' checksum list.
struct SeriesReport {
    enum class List { kMissing, kUsed, kUnusable };
    std::vector<PieceCheck> pieces;
    std::string list;    // the list's path
    std::string output;  // the file the pieces make (a numbered set's; else from the first piece)
    List list_state = List::kMissing;
    std::string list_problem;  // why an unusable list cannot be used
    // The file the pieces make, against the list's line for it, when both are known.
    enum class Whole { kNotCompared, kAsListed, kDiffers };
    Whole whole = Whole::kNotCompared;
    // Files named as pieces after the last one (an older, longer series' tail).
    std::vector<std::string> after;
    RecoveryCheck recovery;    // the recovery pieces beside it, read through
    bool enough = false;       // every stripe of its lost pieces has enough good ones to rebuild
    RebuildOutcome rebuild;    // the rebuild worked out and thrown away, when enough
    bool rebuildable = false;  // its lost pieces can be rebuilt, and their rebuild proves out
    std::vector<int> lost_recovery;    // its recovery pieces that are not as they were written
    bool recovery_rewritable = false;  // and repair can write them again, proven
};

// The series whose first piece is first_piece, each piece read through and compared with the
// checksum list when there is one; nothing when the first piece is refused or cannot be read
// (the message has been shown), or when a stop was asked for (display). Nothing is written.
std::optional<SeriesReport> CheckFirstPiece(const std::string& first_piece,
                                            ProgressDisplay& display, MessageBox& message_box,
                                            bool from_medium = false);

// Rebuilds the lost or damaged pieces and recovery pieces of the series whose first piece is
// first_piece from the rest, and puts them in their places in one commit; refuses, naming what
// is lost, when too few good pieces are left. True when the series is whole afterwards.
bool RepairFirstPiece(const std::string& first_piece, ProgressDisplay& display,
                      MessageBox& message_box);

}  // namespace tessarel
