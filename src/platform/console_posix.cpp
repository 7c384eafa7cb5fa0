#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
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

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ};
struct sigaction before[4];  // what the signals did when the program started
bool caught = false;

void CatchSignals() {
    if (caught) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = NoteStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: a write waiting for a slow medium returns to be retried
    for (int i = 0; i < 4; ++i) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(kStopSignals[i], kStopSignals[i] == SIGXFSZ ? &ignore : &action, &before[i]);
    }
    caught = true;
}

void ReleaseSignals() {
    if (!caught) {
        return;
    }
    for (int i = 0; i < 4; ++i) {
        ::sigaction(kStopSignals[i], &before[i], nullptr);
    }
    caught = false;
    if (stop_signal != 0) {
        ::raise(stop_signal);  // as it would have done had it come a moment later
    }
}

}  // namespace

void CatchStopSignals() {
    CatchSignals();
}

void ReleaseStopSignals() {
    ReleaseSignals();
}

std::optional<std::string> ReadAnswerLine(FILE* in) {
    // Waits in short steps, so a stop that arrives while the question is up ends it.
    for (;;) {
        if (stop_signal != 0) {
            return std::nullopt;
        }
        pollfd ready{::fileno(in), POLLIN, 0};
        const int n = ::poll(&ready, 1, 100);
        if (n > 0) {
            break;
        }
        if (n < 0 && errno != EINTR) {
            break;  // nothing to wait on: the read says what there is
        }
    }
    char line[256];
    if (!std::fgets(line, sizeof line, in) || stop_signal != 0) {
        return std::nullopt;
    }
    return std::string(line);
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

bool DisplayAvailable() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = ::getenv(name);
        if (value && *value) {
            return true;
        }
    }
    return false;
}

bool StartWindowTwin(const char* /*twin*/, const std::vector<std::string>& /*args*/) {
    return false;
}

void KeepOwnConsoleOpen(const char* /*prompt*/) {}

}  // namespace tessarel
