// The Windows program with its window (tessarelw.exe): opens the main window, with FILE ready
// when one is given (a first or later piece in Join mode, anything else in Split). The command
// line is the console twin, tessarel.exe: a program of the window subsystem cannot hand a
// console back to the prompt that started it, so scripts and pipes need the twin.
#include "win/main_window.h"  // windows.h, without its MessageBox and DeleteFile names

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "cli/command_line.h"
#include "platform/console.h"
#include "platform/path.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_TAB_CLASSES |
                                                       ICC_PROGRESS_CLASS | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const std::vector<std::string> args = tessarel::Utf8Arguments(argc, argv);
    LocalFree(argv);
    // The folder the program was started in, before the window makes its own folder current.
    const std::string file = tessarel::FileToOpen(args, tessarel::CurrentFolder());
    tessarel::WinMainWindow window;
    if (!file.empty()) {
        window.OpenFile(file, tessarel::SplitWanted(args));
    }
    window.Show(show);
    const int status = window.RunMessageLoop();
    CoUninitialize();
    return status;
}
