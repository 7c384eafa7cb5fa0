// The error trap of an operation: runs each step, and when a step raises a run-time error,
// lets the user decide through the disk-error classification whether to run it again, go on
// after it, or give the whole operation up.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "platform/message_box.h"
#include "platform/runtime_error.h"

namespace tessarel {

// The report of an error the disk-error table does not know: "Error # " + number with its sign
// blank + CR + description, shown with style 0 and the title "Error".
std::string ErrorReport(int32_t number, const std::string& description);
void ShowErrorReport(MessageBox& message_box, const RuntimeError& error);

// A failure as a numbered run-time error: running out of memory is error 7, any other exception
// a program error (51) that is reported rather than left to end the program.
RuntimeError AsRuntimeError(std::exception_ptr failure);

// Thrown by ErrorTrap::Must when the user has given the operation up; its message was shown.
struct GivenUp {};

class ErrorTrap {
  public:
    explicit ErrorTrap(MessageBox& message_box) : message_box_(message_box) {}

    // Runs step until it succeeds or the user skips it (true), or gives up (false). Errors that
    // are not disk errors are reported as "Error # n" + CR + description and give up. A template,
    // so the steps of a copy loop cost no more than calls.
    template <typename F>
    bool Step(F&& step) {
        for (;;) {
            try {
                step();
                return true;
            } catch (...) {
                const Outcome outcome = Handle(std::current_exception());
                if (outcome != Outcome::kRetry) {
                    return outcome == Outcome::kGoOn;
                }
            }
        }
    }

    // One step of an operation that cannot go on without it: as Step, but giving up throws
    // GivenUp, so the operation's steps read as a plain sequence.
    template <typename F>
    void Must(F&& step) {
        if (!Step(step)) {
            throw GivenUp{};
        }
    }

  private:
    enum class Outcome { kRetry, kGoOn, kGiveUp };
    // Asks the user what to do about the failure of a step, or reports it.
    Outcome Handle(std::exception_ptr failure);

    MessageBox& message_box_;
};

}  // namespace tessarel
