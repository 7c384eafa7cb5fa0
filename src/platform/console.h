// The process's standard streams as the command line meets them.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace tessarel {

enum class Stream { kInput, kOutput, kError };

// True when the stream is a terminal a person types at or reads.
bool IsTerminal(Stream stream);

// From now on SIGINT, SIGTERM and SIGHUP (on Windows: Ctrl-C, Ctrl-Break, the console closing)
// ask the operation to stop instead of ending the program: it stops at its next step and
// leaves the disk as it was. Later signals change nothing. SIGXFSZ is ignored, so a file that
// outgrows the process's size limit is a failed write the user is told of (EFBIG), not a
// silent end.
void CatchStopSignals();
// Gives the signals back as they were before CatchStopSignals, for a run that turns out to be
// the window's; one that came meanwhile then does what it would have done.
void ReleaseStopSignals();
// A line typed at in (without its line end): waits for it, but gives up at once when a stop
// signal arrives, also one that came before the call. Nothing at the end of input or on a stop.
std::optional<std::string> ReadAnswerLine(FILE* in);
// The signal that asked to stop, 0 while none has.
int StopSignal();
// The exit status a program ended by that signal has (128 + its number).
int StopStatus(int signal);

// A standard stream the program was started without (closed, as with 2>&-) is opened on the
// null device, so that no file the program opens later takes its number and receives what was
// meant for the stream.
void OpenMissingStandardStreams();

// Starts the program with the window that lies beside this one (tessarelw.exe beside
// tessarel.exe) with these arguments, and does not wait for it. False when it cannot be started,
// and always on POSIX, where one program is both.
bool StartWindowTwin(const char* twin, const std::vector<std::string>& args);

// True where a window can be shown: on POSIX, a display (X11 or Wayland) or a Qt platform is
// named in the environment; always on Windows.
bool DisplayAvailable();

// When the console was opened for this program alone (Explorer started it, as its Check with
// Tessarel does), says prompt and waits for a key, so the console does not close on the report
// before it is read. Started from a prompt, with its input not the console, or on POSIX (a
// terminal is never opened for the program alone), it returns.
void KeepOwnConsoleOpen(const char* prompt);

#ifdef _WIN32
// The program's arguments as UTF-8, from the UTF-16 ones Windows gives (wmain).
std::vector<std::string> Utf8Arguments(int argc, wchar_t** argv);
#endif

}  // namespace tessarel
