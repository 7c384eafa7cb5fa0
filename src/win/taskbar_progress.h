// The progress on the program's taskbar button (ITaskbarList3): the bar's figure, paused while
// a question waits, red while a failure is said. Windows takes it only once the button exists,
// which it tells the window with a message of its own.
#pragma once

#include "win/win_controls.h"

#include "control/main_controller.h"

struct ITaskbarList3;

namespace tessarel {

class TaskbarProgress {
  public:
    explicit TaskbarProgress(HWND window);
    ~TaskbarProgress();
    TaskbarProgress(const TaskbarProgress&) = delete;
    TaskbarProgress& operator=(const TaskbarProgress&) = delete;

    // True for the message that says the button is there (it may come again, when Explorer
    // starts anew): the progress is shown on it from then on.
    bool ButtonCreated(UINT message);
    void Show(TaskProgress state, int percent);

  private:
    void Apply();

    HWND window_;
    UINT created_message_;
    ITaskbarList3* taskbar_ = nullptr;
    TaskProgress state_ = TaskProgress::kHidden;
    int percent_ = 0;
};

}  // namespace tessarel
