// Runs a program as a child process with a bounded life: its output is collected until it
// ends or its deadline passes, when it is killed by its own pid and reaped.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
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
    bool terminal_error = false;  // and standard error goes to that terminal too
    std::string input;            // typed on that terminal, or nothing
    bool close_error = false;     // started with standard error closed (2>&-)
    std::string out_file;         // standard output goes to this file instead of a pipe
    long file_size_limit = -1;    // bytes any file it writes may hold (ulimit -f), or none
    int deadline_ms = 30000;
    std::string display;  // DISPLAY for it; none when empty
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
    if (options.terminal_input) {
        struct termios raw {};
        ::cfmakeraw(&raw);  // what the program writes arrives as it wrote it
        if (::openpty(&master, &slave, nullptr, &raw, nullptr) != 0) {
            return result;
        }
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!options.folder.empty() && ::chdir(options.folder.c_str()) != 0) {
            ::_exit(126);
        }
        if (options.file_size_limit >= 0) {
            const rlimit limit{rlim_t(options.file_size_limit), rlim_t(options.file_size_limit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        const int in = options.terminal_input ? slave : ::open("/dev/null", O_RDONLY);
        ::dup2(in, STDIN_FILENO);
        if (options.out_file.empty()) {
            ::dup2(out_pipe[1], STDOUT_FILENO);
        } else {
            const int out = ::open(options.out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(out, STDOUT_FILENO);
        }
        ::dup2(options.terminal_error ? slave : err_pipe[1], STDERR_FILENO);
        if (options.close_error) {
            ::close(STDERR_FILENO);
        }
        ::close(out_pipe[1]);
        ::close(err_pipe[1]);
        // No display: the command line must not need one.
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("QT_QPA_PLATFORM");
        if (!options.display.empty()) {
            ::setenv("DISPLAY", options.display.c_str(), 1);
        }
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
    if (options.terminal_error) {
        // What the program writes to its error stream comes back through the terminal.
        ::close(err_pipe[0]);
        err_pipe[0] = ::dup(master);
    }
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
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR))) {
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

// Starts a program with its standard streams on the null device, for a test that ends it
// itself; EndChild then kills it by its own pid (if it still runs) and reaps it.
inline pid_t StartChild(const std::string& program, const std::vector<std::string>& args,
                        const std::string& folder, const std::string& err_file = "") {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(folder.c_str()) != 0) {
            ::_exit(126);
        }
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(
            err_file.empty() ? null : ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644),
            STDERR_FILENO);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    return pid;
}

// Sends signal to the child, and returns its exit status once it ends (-1 when the signal
// ended it); a child that outlives the deadline is killed.
inline int EndChild(pid_t pid, int signal = SIGKILL, int deadline_ms = 20000) {
    if (pid <= 0) {
        return -1;
    }
    ::kill(pid, signal);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadline_ms);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        ::usleep(2000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tessarel
