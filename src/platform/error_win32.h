// What the Windows files of this layer share: raising a GetLastError code as the program's
// run-time error, and the sharing that lets others go on using a file we look at.
#pragma once

#include <windows.h>

#include <string>

namespace tessarel {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Raises the run-time error a system error code stands for, about the file reported.
[[noreturn]] void RaiseCode(DWORD code, const std::string& reported);

}  // namespace tessarel
