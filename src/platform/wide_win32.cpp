// UTF-8 inside the program, UTF-16 at every Win32 call: the conversions, and the long form
// of a file's name.
#include <windows.h>

#include "platform/runtime_error.h"
#include "platform/wide.h"

namespace tessarel {

std::wstring Wide(const std::string& text) {
    if (text.empty()) {
        return std::wstring();
    }
    const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                             static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) {
        throw RuntimeError(kErrBadFileName, ErrorDescription(kErrBadFileName), text);
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                          wide.data(), length);
    return wide;
}

std::wstring SystemPath(const std::string& path) {
    std::wstring wide = Wide(path);
    // Short enough for every call (CreateDirectory stops 12 short of MAX_PATH), or already in
    // the long form.
    if (wide.size() < MAX_PATH - 12 || wide.rfind(L"\\\\?\\", 0) == 0) {
        return wide;
    }
    // The long form takes the name as it is: it must be whole, with no "." or ".." left.
    const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return wide;
    }
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) {
        return wide;
    }
    full.resize(length);
    if (full.rfind(L"\\\\", 0) == 0) {
        return L"\\\\?\\UNC\\" + full.substr(2);  // from \\server\share\...
    }
    return L"\\\\?\\" + full;
}

std::string Narrow(const wchar_t* text, size_t size) {
    if (size == 0) {
        return std::string();
    }
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), nullptr, 0,
                                             nullptr, nullptr);
    std::string narrow(static_cast<size_t>(std::max(length, 0)), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), narrow.data(), length, nullptr,
                          nullptr);
    return narrow;
}

std::string Narrow(const std::wstring& text) {
    return Narrow(text.data(), text.size());
}

}  // namespace tessarel
