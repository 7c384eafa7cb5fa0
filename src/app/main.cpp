// The program starts either its window or, for split, join, check, --help and --version, its
// command line, which needs no display at all.
#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "platform/console.h"
#include "platform/path.h"
#include "ui/main/launcher_entry.h"
#include "ui/main/main_window.h"

#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
// A Ctrl-C is heard from the first moment the program's own code runs, before the libraries'
// start-up code (Qt's takes a good part of a second on a cold start): a stop asked for then
// must not be lost.
static void CatchStopSignalsAtStart(int, char**, char**) {
    tessarel::CatchStopSignals();
}
__attribute__((section(".preinit_array"),
               used)) static void (*const catch_at_start)(int, char**,
                                                          char**) = CatchStopSignalsAtStart;
#endif

namespace {

// While Qt opens its display, a fatal message of its means there is none to open (a DISPLAY that
// names no server): said in the program's one line, not as an abort with Qt's plugin page. Its
// other messages meanwhile are held, and said once the display is open.
std::string held;

void NoDisplayIsAUsageError(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtFatalMsg) {
        std::fputs(tessarel::kNoDisplay, stderr);
        std::_Exit(tessarel::kExitUsage);
    }
    held += text.toLocal8Bit().toStdString() + "\n";
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (tessarel::IsCommandLineRun(args)) {
        tessarel::TerminalIo io;
        tessarel::OpenMissingStandardStreams();
        tessarel::CatchStopSignals();
        io.interactive = tessarel::IsTerminal(tessarel::Stream::kInput) &&
                         tessarel::IsTerminal(tessarel::Stream::kError);
        return tessarel::RunCommandLine(args, io, stdout,
                                        tessarel::IsTerminal(tessarel::Stream::kError));
    }
    // The window keeps the stop signals: a logout stops its request cleanly before it closes.
    tessarel::CatchStopSignals();
    // Without a display Qt would end the program with an abort and a page about its plugins.
    if (!tessarel::DisplayAvailable() &&
        std::find(args.begin(), args.end(), "-platform") == args.end()) {
        std::fputs(tessarel::kNoDisplay, stderr);
        return tessarel::kExitUsage;
    }
    const QtMessageHandler before = qInstallMessageHandler(NoDisplayIsAUsageError);
    QApplication app(argc, argv);  // takes Qt's own options out of argv
    qInstallMessageHandler(before);
    std::fputs(held.c_str(), stderr);
    QApplication::setApplicationName("Tessarel");
    // Ties the windows to the desktop entry: the task manager's icon and its progress.
    QGuiApplication::setDesktopFileName(tessarel::kDesktopId);
    const std::vector<std::string> left(argv + 1, argv + argc);
    if (!left.empty() && left.front()[0] == '-' && left.front() != "--" &&
        !tessarel::SplitWanted(left)) {
        // Qt has taken its own options by now; this one is nobody's.
        tessarel::PrintUsageError(std::string("unknown option: ") + argv[1], "", stderr);
        return tessarel::kExitUsage;
    }
    // The folder the program was started in, before the window makes its own folder current.
    const std::string file = tessarel::FileToOpen(left, tessarel::CurrentFolder());
    tessarel::MainWindow window;
    if (!file.empty()) {
        window.OpenFile(file, tessarel::SplitWanted(left));
    }
    window.show();
    window.activateWindow();  // takes the keyboard at start, even where no window manager gives it
    return QApplication::exec();
}
