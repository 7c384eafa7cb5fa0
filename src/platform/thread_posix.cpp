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

}  // namespace tessarel
