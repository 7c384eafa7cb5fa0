#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/thread.h"

namespace tessarel {

void GiveWayToTheWindow() {
    // Linux keeps a nice value for each thread; threads started afterwards inherit it.
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    ::setpriority(PRIO_PROCESS, thread, 10);
}

int ThisThreadPriority() {
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    return ::getpriority(PRIO_PROCESS, thread);
}

void SetThisThreadPriority(int priority) {
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    ::setpriority(PRIO_PROCESS, thread, priority);
}

}  // namespace tessarel
