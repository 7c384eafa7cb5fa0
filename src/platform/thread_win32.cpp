#include <windows.h>

#include "platform/thread.h"

namespace tessarel {

void GiveWayToTheWindow() {
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}

int ThisThreadPriority() {
    return ::GetThreadPriority(::GetCurrentThread());
}

void SetThisThreadPriority(int priority) {
    ::SetThreadPriority(::GetCurrentThread(), priority);
}

}  // namespace tessarel
