#include "win/taskbar_progress.h"

#include <shobjidl.h>

namespace tessarel {

TaskbarProgress::TaskbarProgress(HWND window)
    : window_(window), created_message_(RegisterWindowMessageW(L"TaskbarButtonCreated")) {}

TaskbarProgress::~TaskbarProgress() {
    if (taskbar_) {
        taskbar_->Release();
    }
}

bool TaskbarProgress::ButtonCreated(UINT message) {
    if (message != created_message_ || created_message_ == 0) {
        return false;
    }
    if (!taskbar_) {
        void* list = nullptr;
        if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_ITaskbarList3, &list))) {
            taskbar_ = static_cast<ITaskbarList3*>(list);
            if (FAILED(taskbar_->HrInit())) {
                taskbar_->Release();
                taskbar_ = nullptr;
            }
        }
    }
    Apply();
    return true;
}

void TaskbarProgress::Show(TaskProgress state, int percent) {
    if (state == state_ && percent == percent_) {
        return;
    }
    state_ = state;
    percent_ = percent;
    Apply();
}

void TaskbarProgress::Apply() {
    if (!taskbar_) {
        return;
    }
    TBPFLAG flag = TBPF_NOPROGRESS;
    switch (state_) {
        case TaskProgress::kHidden:
            flag = TBPF_NOPROGRESS;
            break;
        case TaskProgress::kRunning:
            flag = TBPF_NORMAL;
            break;
        case TaskProgress::kPaused:
            flag = TBPF_PAUSED;
            break;
        case TaskProgress::kFailed:
            flag = TBPF_ERROR;
            break;
    }
    // The value first: it would turn a paused or red bar back to the normal one.
    if (flag != TBPF_NOPROGRESS) {
        taskbar_->SetProgressValue(window_, static_cast<ULONGLONG>(percent_), 100);
    }
    taskbar_->SetProgressState(window_, flag);
}

}  // namespace tessarel
