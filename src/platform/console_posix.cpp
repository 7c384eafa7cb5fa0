#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <initializer_list>

#include "platform/console.h"

namespace tessarel {

bool IsTerminal(Stream stream) {
    const int fd = stream == Stream::kInput    ? STDIN_FILENO
                   : stream == Stream::kOutput ? STDOUT_FILENO
                                               : STDERR_FILENO;
    return ::isatty(fd) != 0;
}

namespace {

volatile std::sig_atomic_t stop_signal = 0;

extern "C" void NoteStop(int signal) {
    if (stop_signal == 0) {
        stop_signal = signal;
    }
}

}  // namespace

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = NoteStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: a write waiting for a slow medium returns to be retried
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
}

int StopSignal() {
    return stop_signal;
}

int StopStatus(int signal) {
    return 128 + signal;
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
