#include <windows.h>

#include <io.h>

#include "platform/console.h"
#include "platform/wide.h"

namespace tessarel {
namespace {

volatile LONG stop_signal = 0;

// The console's events as the POSIX signals that mean the same to the program.
BOOL WINAPI NoteStop(DWORD event) {
    LONG signal = 0;
    switch (event) {
        case CTRL_C_EVENT:
            signal = 2;  // SIGINT
            break;
        case CTRL_BREAK_EVENT:
            signal = 15;  // SIGTERM
            break;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            signal = 1;  // SIGHUP
            break;
        default:
            return FALSE;
    }
    ::InterlockedCompareExchange(&stop_signal, signal, 0);
    return TRUE;
}

DWORD StandardHandle(Stream stream) {
    return stream == Stream::kInput    ? STD_INPUT_HANDLE
           : stream == Stream::kOutput ? STD_OUTPUT_HANDLE
                                       : STD_ERROR_HANDLE;
}

}  // namespace

bool IsTerminal(Stream stream) {
    const HANDLE handle = ::GetStdHandle(StandardHandle(stream));
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           ::GetFileType(handle) == FILE_TYPE_CHAR && ::GetConsoleMode(handle, &mode);
}

void CatchStopSignals() {
    ::SetConsoleCtrlHandler(NoteStop, TRUE);
}

void ReleaseStopSignals() {
    ::SetConsoleCtrlHandler(NoteStop, FALSE);
}

int StopSignal() {
    return static_cast<int>(stop_signal);
}

std::optional<std::string> ReadAnswerLine(FILE* in) {
    // Waits in short steps, so a Ctrl-C that arrives while the question is up ends it.
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(in)));
    for (;;) {
        if (stop_signal != 0) {
            return std::nullopt;
        }
        if (handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) != FILE_TYPE_CHAR ||
            ::WaitForSingleObject(handle, 100) != WAIT_TIMEOUT) {
            break;
        }
    }
    char line[256];
    if (!std::fgets(line, sizeof line, in) || stop_signal != 0) {
        return std::nullopt;
    }
    return std::string(line);
}

int StopStatus(int signal) {
    return 128 + signal;
}

void OpenMissingStandardStreams() {
    // The console shows every script when it is told the program writes UTF-8.
    ::SetConsoleOutputCP(CP_UTF8);
    ::SetConsoleCP(CP_UTF8);
}

std::vector<std::string> Utf8Arguments(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(Narrow(argv[i], wcslen(argv[i])));
    }
    return args;
}

namespace {

// One argument as the C runtime of the started program reads it back: in quotes, with the
// backslashes before a quote (and before the closing one) doubled.
void AppendQuoted(std::wstring& line, const std::wstring& arg) {
    line += L" \"";
    size_t slashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
        } else {
            line.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
            slashes = 0;
        }
        if (c != L'\\') {
            line += c;
        }
    }
    line.append(slashes * 2, L'\\');
    line += L'"';
}

}  // namespace

bool DisplayAvailable() {
    return true;
}

bool StartWindowTwin(const char* twin, const std::vector<std::string>& args) {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), DWORD(path.size())));
    const size_t folder = path.find_last_of(L"\\/");
    path = path.substr(0, folder == std::wstring::npos ? 0 : folder + 1) + Wide(twin);
    std::wstring line;
    AppendQuoted(line, path);
    for (const std::string& arg : args) {
        AppendQuoted(line, Wide(arg));
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(path.c_str(), line.data() + 1, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
        return false;
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return true;
}

void KeepOwnConsoleOpen(const char* prompt) {
    DWORD processes[2] = {};
    if (GetConsoleProcessList(processes, 2) != 1) {
        return;  // a prompt, or another program, shares the console and keeps it open
    }
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(in, &mode)) {
        return;
    }
    std::fputs(prompt, stderr);
    std::fflush(stderr);
    FlushConsoleInputBuffer(in);
    INPUT_RECORD record{};
    DWORD read = 0;
    while (ReadConsoleInputW(in, &record, 1, &read) && read == 1) {
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) {
            break;
        }
    }
}

}  // namespace tessarel
