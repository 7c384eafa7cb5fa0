// What the split/join operation changes on the window while it runs. Each call is one display
// change, so the operation's error handling can retry or skip it like any other step.
#pragma once

#include <string>

namespace tessarel {

enum class DisplayPart {
    PieceDone,    // the number of the piece being worked on
    FractionBar,  // the rule between the two numbers
    PieceTotal,   // the number of pieces in all
    Animation,
    ButtonRow,  // About, Help and Exit
};

class ProgressDisplay {
  public:
    virtual ~ProgressDisplay() = default;
    virtual void SetVisible(DisplayPart part, bool visible) = 0;
    virtual void PlayAnimation() = 0;
    virtual void StopAnimation() = 0;
    virtual void SetPieceDone(const std::string& caption) = 0;
    virtual void SetProgress(float percent) = 0;  // the bar, 0 to 100
    virtual void Repaint() = 0;
    // Brackets a whole operation: while it runs the window takes no input.
    virtual void BeginOperation() {}
    virtual void EndOperation() {}
};

}  // namespace tessarel
