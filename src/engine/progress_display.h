// What the split/join operation shows while it runs, at the level of the operation: the
// window decides what each looks like. Each call is one display change, so the operation's error
// handling can retry or skip it like any other step.
#pragma once

#include <cstdint>

namespace tessarel {

class ProgressDisplay {
  public:
    virtual ~ProgressDisplay() = default;
    // The number of pieces in all, known once the request is planned (before it runs).
    virtual void ShowTotal(int64_t count) = 0;
    // The operating state comes up: the count of pieces, the animation playing, no commands.
    virtual void ShowOperating() = 0;
    // Piece k (from 1) is being worked on; the window is repainted at once.
    virtual void ShowPiece(int64_t k) = 0;
    virtual void SetProgress(float percent) = 0;  // the bar, 0 to 100
    // With each change of the bar: bytes of the stream done, of total (for the rate and the
    // time left).
    virtual void ShowBytes(int64_t /*done*/, int64_t /*total*/) {}
    // What was written is being read back from its medium (the bar runs again from 0), or no
    // longer.
    virtual void ShowReadingBack(bool /*reading*/) {}
    // Back to the idle state; the bar keeps its value.
    virtual void ShowIdle() = 0;
    // True once the user has asked to stop (Cancel, Ctrl-C): the operation stops at its next
    // step and leaves the disk as it was. Asked from the thread the operation runs on, and it
    // may wait there: while the user is being asked whether to stop, it returns the answer.
    virtual bool ShouldStop() { return false; }
};

}  // namespace tessarel
