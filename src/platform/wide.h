// UTF-8 inside the program, UTF-16 at every Win32 call: the two conversions. Windows only.
#pragma once

#include <string>

namespace tessarel {

// A UTF-8 text as UTF-16; text that is not UTF-8 is a bad file name (64).
std::wstring Wide(const std::string& text);
// A file's name as Win32 file calls take it: Wide(path), and for a name near MAX_PATH or longer
// the whole name in the long form ("\\?\C:\...", "\\?\UNC\server\share\...") that no
// system setting limits.
std::wstring SystemPath(const std::string& path);
// A UTF-16 text as UTF-8 (an unpaired surrogate becomes U+FFFD).
std::string Narrow(const std::wstring& text);
std::string Narrow(const wchar_t* text, size_t length);

}  // namespace tessarel
