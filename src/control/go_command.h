// The Go command: runs a typed request through the request rules, asks for confirmation and
// before replacing a file, clears the way and runs the split or join. Every file step goes
// through the error trap, so a disk that is not ready can be retried. The window reads its
// fields into a request (cmdGo_Click); the command line builds its request from its arguments.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "control/request_plan.h"
#include "engine/series_recovery.h"
#include "engine/progress_display.h"
#include "platform/message_box.h"

namespace tessarel {

// The fields of the main window the Go command reads and writes. Texts are UTF-8; names are
// the file system's bytes.
class GoForm {
  public:
    virtual ~GoForm() = default;
    virtual std::string OpenText() const = 0;  // txtOpen
    virtual std::string SaveText() const = 0;  // txtSave
    virtual void SetSaveText(const std::string& text) = 0;
    virtual bool SplitSelected() const = 0;  // optSplit
    virtual bool ExactSelected() const = 0;  // optExact
    virtual std::string ApproxText() const = 0;
    virtual std::string ExactText() const = 0;
    // txtSize: shows the piece size in bytes the request was made with.
    virtual void SetSizeText(const std::string& text) = 0;
    // The folder a name typed without one is in (empty: the current folder).
    virtual std::string Folder() const { return ""; }
};

using Request = std::variant<SplitRequest, JoinRequest>;

// Reads the window's request from its fields, as Go does before anything is run: nothing when a
// rule refused it (its message has been shown).
std::optional<Request> ReadGoForm(GoForm& form, MessageBox& message_box);

// Reads the window's request from its fields and runs it. True when the split or join was
// carried out to its end.
bool cmdGo_Click(GoForm& form, ProgressDisplay& display, MessageBox& message_box);

// Runs a request read from the window (on any thread: it talks only to display and box).
bool RunRequest(const Request& request, ProgressDisplay& display, MessageBox& message_box);

// Run a typed request. True when it was carried out to its end.
bool RunSplit(const SplitRequest& request, ProgressDisplay& display, MessageBox& message_box);
bool RunJoin(const JoinRequest& request, ProgressDisplay& display, MessageBox& message_box);

// What check finds of a series: each piece, read through, and whether its contents could be
// compared with the series' checksum list.
struct SeriesReport {
    enum class List { kMissing, kUsed, kUnusable };
    std::vector<PieceCheck> pieces;
    std::string list;  // the list's path
    List list_state = List::kMissing;
    std::string list_problem;  // why an unusable list cannot be used
    // The file the pieces make, against the list's line for it, when both are known.
    enum class Whole { kNotCompared, kAsListed, kDiffers };
    Whole whole = Whole::kNotCompared;
    // Files named as pieces after the last one (an older, longer series' tail).
    std::vector<std::string> after;
    RecoveryCheck recovery;    // the recovery pieces beside it, read through
    bool rebuildable = false;  // its lost pieces can be rebuilt from them
};

// The series whose first piece is first_piece, each piece read through and compared with the
// checksum list when there is one; nothing when the first piece is refused or cannot be read
// (the message has been shown), or when a stop was asked for (display). Nothing is written.
std::optional<SeriesReport> CheckFirstPiece(const std::string& first_piece,
                                            ProgressDisplay& display, MessageBox& message_box);

// Rebuilds the lost or damaged pieces and recovery pieces of the series whose first piece is
// first_piece from the rest, and puts them in their places in one commit; refuses, naming what
// is lost, when too few good pieces are left. True when the series is whole afterwards.
bool RepairFirstPiece(const std::string& first_piece, ProgressDisplay& display,
                      MessageBox& message_box);

}  // namespace tessarel
