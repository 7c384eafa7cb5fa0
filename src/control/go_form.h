// The main window's request: its fields read into a split or join request, as Go does before
// anything runs, and that request run. Texts are UTF-8; names are the file system's bytes.
#pragma once

#include <optional>
#include <string>
#include <variant>

#include "control/request_plan.h"
#include "engine/progress_display.h"
#include "platform/message_box.h"

namespace tessarel {

// The fields of the main window a request is read from.
class GoForm {
  public:
    virtual ~GoForm() = default;
    virtual std::string OpenText() const = 0;  // txtOpen
    virtual std::string SaveText() const = 0;  // txtSave
    virtual bool SplitSelected() const = 0;    // optSplit
    virtual bool ExactSelected() const = 0;    // optExact
    virtual std::string ApproxText() const = 0;
    virtual std::string ExactText() const = 0;
    // The folder a name typed without one is in (empty: the current folder).
    virtual std::string Folder() const { return ""; }
};

using Request = std::variant<SplitRequest, JoinRequest>;

// The window's request as its fields give it: nothing when a rule refused it (its message has
// been shown). Nothing is written, on the disk or in the form.
std::optional<Request> ReadGoForm(const GoForm& form, MessageBox& message_box);

// Runs a request read from the window (on any thread: it talks only to display and box).
bool RunRequest(const Request& request, ProgressDisplay& display, MessageBox& message_box);

}  // namespace tessarel
