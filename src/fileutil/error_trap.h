// The error trap of an operation: runs each step, and when a step raises a run-time error,
// lets the user decide through the disk-error classification whether to run it again, go on
// after it, or give the whole operation up.
#pragma once

#include <functional>

#include "platform/message_box.h"

namespace tessarel {

class ErrorTrap {
  public:
    explicit ErrorTrap(MessageBox& message_box) : message_box_(message_box) {}

    // Runs step until it succeeds or the user skips it (true), or gives up (false). Errors that
    // are not disk errors are reported as "Error # n" + CR + description and give up.
    bool Step(const std::function<void()>& step);

  private:
    MessageBox& message_box_;
};

}  // namespace tessarel
