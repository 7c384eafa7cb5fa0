// Runs a program as a child process with a bounded life: its output is collected until it
// ends or its deadline passes, when it is killed by its own pid and reaped.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace tessarel {

struct ChildResult {
    int status = -1;  // exit status, or -1 when it did not exit by itself
    bool timed_out = false;
    std::string out;
    std::string err;
};

struct ChildOptions {
    std::string folder;           // where it runs
    bool terminal_input = false;  // standard input is a terminal (a pseudo-terminal)
    std::string input;            // typed on that terminal, or nothing
    int deadline_ms = 30000;
};

inline ChildResult RunChild(const std::string& program, const std::vector<std::string>& args,
                            const ChildOptions& options) {
    ChildResult result;
    int out_pipe[2];
    int err_pipe[2];
    if (::pipe(out_pipe) != 0 || ::pipe(err_pipe) != 0) {
        return result;
    }
    int master = -1;
    int slave = -1;
    if (options.terminal_input && ::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        return result;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!options.folder.empty() && ::chdir(options.folder.c_str()) != 0) {
            ::_exit(126);
        }
        const int in = options.terminal_input ? slave : ::open("/dev/null", O_RDONLY);
        ::dup2(in, STDIN_FILENO);
        ::dup2(out_pipe[1], STDOUT_FILENO);
        ::dup2(err_pipe[1], STDERR_FILENO);
        // No display: the command line must not need one.
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("QT_QPA_PLATFORM");
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);
    if (slave >= 0) {
        ::close(slave);
    }
    if (master >= 0 && !options.input.empty()) {
        const ssize_t written = ::write(master, options.input.data(), options.input.size());
        (void)written;
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(options.deadline_ms);
    pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open_pipes = 2;
    while (open_pipes > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            result.timed_out = true;
            ::kill(pid, SIGKILL);
            break;
        }
        if (::poll(fds, 2, static_cast<int>(left)) < 0) {
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP))) {
                char buffer[4096];
                const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
                if (n > 0) {
                    sinks[i]->append(buffer, static_cast<size_t>(n));
                } else {
                    ::close(fds[i].fd);
                    fds[i].fd = -1;
                    --open_pipes;
                }
            }
        }
    }
    for (const pollfd& fd : fds) {
        if (fd.fd >= 0) {
            ::close(fd.fd);
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (master >= 0) {
        ::close(master);
    }
    if (!result.timed_out && WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
    }
    return result;
}

}  // namespace tessarel
