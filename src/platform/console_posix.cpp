#include <unistd.h>

#include "platform/console.h"

namespace tessarel {

bool IsTerminal(Stream stream) {
    const int fd = stream == Stream::kInput    ? STDIN_FILENO
                   : stream == Stream::kOutput ? STDOUT_FILENO
                                               : STDERR_FILENO;
    return ::isatty(fd) != 0;
}

}  // namespace tessarel
