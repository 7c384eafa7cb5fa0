// A file name's extension as the series rules read it: the one to three characters after the
// last dot of the name, which follows the last "/" or "\" of the path. Texts are UTF-8 and are
// handled character by character; bytes that are not valid UTF-8 count as one character each
// and come back unchanged.
#pragma once

#include <string>

namespace tessarel {

// The file name's extension of 1 to 3 characters, without the dot; otherwise empty.
// Invalid argument (5) when the path has no separator; beyond 32767 characters, overflow (6).
std::string ExtensionOf(const std::string& path);

// The path without its final dot and extension; invalid argument (5) when it has no extension.
std::string StripExtension(const std::string& path);

}  // namespace tessarel
