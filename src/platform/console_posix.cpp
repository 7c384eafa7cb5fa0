#include <fcntl.h>
#include <unistd.h>

#include "platform/console.h"

namespace tessarel {

bool IsTerminal(Stream stream) {
    const int fd = stream == Stream::kInput    ? STDIN_FILENO
                   : stream == Stream::kOutput ? STDOUT_FILENO
                                               : STDERR_FILENO;
    return ::isatty(fd) != 0;
}

void OpenMissingStandardStreams() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1) {
            // open takes the lowest free number, which is this one.
            const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
            if (opened != fd && opened >= 0) {
                ::close(opened);
            }
        }
    }
}

}  // namespace tessarel
