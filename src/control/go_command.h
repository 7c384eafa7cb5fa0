// The Go command: reads the request from the form, runs it through the request rules, asks for
// confirmation and before replacing a file, clears the way and runs the split or join. Every
// file step goes through the error trap, so a disk that is not ready can be retried.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "control/request_plan.h"
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
    virtual std::string SizeText() const = 0;  // txtSize: the piece size in bytes
    virtual void SetSizeText(const std::string& text) = 0;
    virtual void SetTotalCaption(const std::string& text) = 0;  // lblTotal
};

// True when the split or join was carried out to its end.
bool cmdGo_Click(GoForm& form, ProgressDisplay& display, MessageBox& message_box);

// The series whose first piece is first_piece, looked at as a join would before it starts:
// each piece with what was found, or nothing when the first piece is refused or cannot be read
// (the message has been shown). Nothing is written.
std::optional<std::vector<PieceCheck>> CheckFirstPiece(const std::string& first_piece,
                                                       MessageBox& message_box);

}  // namespace tessarel
