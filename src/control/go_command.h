// The Go command: reads the request from the form, runs it through the request rules, asks for
// confirmation and before replacing a file, clears the way and runs the split or join. Every
// file step goes through the error trap, so a disk that is not ready can be retried.
#pragma once

#include <string>

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

void cmdGo_Click(GoForm& form, ProgressDisplay& display, MessageBox& message_box);

}  // namespace tessarel
