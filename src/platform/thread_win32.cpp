#include <windows.h>

#include "platform/thread.h"

namespace tessarel {

void GiveWayToTheWindow() {
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}

}  // namespace tessarel
