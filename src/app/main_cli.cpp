// The program without a window: the command line alone (the Windows console program, or a build
// made without Qt). Without a command, the Windows one hands its arguments (a file to open) to
// the window program beside it; elsewhere it says how it is used.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "platform/console.h"

namespace {

int Run(const std::vector<std::string>& args) {
    tessarel::OpenMissingStandardStreams();
    if (!tessarel::IsCommandLineRun(args)) {
        if (tessarel::StartWindowTwin("tessarelw.exe", args)) {
            return tessarel::kExitDone;
        }
        tessarel::PrintUsageError("this build has no window; give it a command", "", stderr);
        return tessarel::kExitUsage;
    }
    tessarel::CatchStopSignals();
    tessarel::TerminalIo io;
    io.interactive = tessarel::IsTerminal(tessarel::Stream::kInput) &&
                     tessarel::IsTerminal(tessarel::Stream::kError);
    const int status =
        tessarel::RunCommandLine(args, io, stdout, tessarel::IsTerminal(tessarel::Stream::kError));
    tessarel::KeepOwnConsoleOpen(tessarel::kKeyToClose);
    return status;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    return Run(tessarel::Utf8Arguments(argc, argv));
}
#else
int main(int argc, char** argv) {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
