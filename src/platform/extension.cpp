#include "platform/extension.h"

#include <algorithm>
#include <vector>

#include "platform/runtime_error.h"

namespace tessarel {
namespace {

constexpr size_t kMaxTextLength = 32767;

// Splits text into its characters, each kept as the bytes that spell it. A byte that does not
// begin a well-formed UTF-8 sequence is a character of its own.
std::vector<std::string> Characters(const std::string& text) {
    std::vector<std::string> chars;
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = 1;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
        }
        bool well_formed = i + length <= text.size();
        for (size_t k = 1; well_formed && k < length; ++k) {
            well_formed = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        }
        if (!well_formed) {
            length = 1;
        }
        chars.push_back(text.substr(i, length));
        i += length;
        if (chars.size() > kMaxTextLength) {
            throw RuntimeError(kErrOverflow);
        }
    }
    return chars;
}

std::string Join(std::vector<std::string>::const_iterator begin,
                 std::vector<std::string>::const_iterator end) {
    std::string out;
    for (auto it = begin; it != end; ++it) {
        out += *it;
    }
    return out;
}

bool IsSeparator(const std::string& c) {
    return c == "\\" || c == "/";
}

// The characters after the path's last separator; invalid argument (5) when it has none.
std::string FileNameOf(const std::string& path) {
    const std::vector<std::string> chars = Characters(path);
    const auto last = std::find_if(chars.rbegin(), chars.rend(), IsSeparator);
    if (last == chars.rend()) {
        throw RuntimeError(kErrInvalidArgument);
    }
    return Join(last.base(), chars.end());
}

}  // namespace

std::string ExtensionOf(const std::string& path) {
    const std::vector<std::string> name = Characters(FileNameOf(path));
    const auto dot = std::find(name.rbegin(), name.rend(), ".");
    const auto extension_length = dot - name.rbegin();
    if (dot == name.rend() || extension_length < 1 || extension_length > 3) {
        return "";
    }
    return Join(dot.base(), name.end());
}

std::string StripExtension(const std::string& path) {
    const std::string extension = ExtensionOf(path);
    if (extension.empty()) {
        throw RuntimeError(kErrInvalidArgument);
    }
    // The extension's bytes end the path, so the cut is made in bytes.
    return path.substr(0, path.size() - extension.size() - 1);
}

}  // namespace tessarel
