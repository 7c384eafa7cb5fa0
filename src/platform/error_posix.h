// What the POSIX files of this layer share: raising an errno as the program's run-time error.
#pragma once

#include <string>

namespace tessarel {

// Raises the run-time error for errno err at path, about the file reported (path itself when
// none is given).
[[noreturn]] void RaiseErrno(int err, const std::string& path, const std::string& reported);
[[noreturn]] void RaiseErrno(int err, const std::string& path);

}  // namespace tessarel
