// Path helpers on any text: no crash, and the parts they give put the path back together.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/extension.h"
#include "platform/runtime_error.h"

namespace {

bool ValidUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t n = c < 0x80                   ? 1
                         : (c >= 0xC2 && c <= 0xDF) ? 2
                         : (c >= 0xE0 && c <= 0xEF) ? 3
                         : (c >= 0xF0 && c <= 0xF4) ? 4
                                                    : 0;
        if (n == 0 || i + n > s.size()) {
            return false;
        }
        for (size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += n;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessarel;
    const std::string path(reinterpret_cast<const char*>(data), size);
    try {
        const std::string reversed = ReverseText(path);
        // Every byte comes back. Reversing twice gives the text again when it is UTF-8; stray
        // bytes that are not can pair up into a character once their order is turned round.
        if (reversed.size() != path.size() || (ValidUtf8(path) && ReverseText(reversed) != path)) {
            std::abort();
        }
    } catch (const RuntimeError& e) {
        if (e.number() != kErrOverflow) {
            std::abort();
        }
        return 0;
    }
    try {
        const std::string name = FileNameOf(path);
        if (path.size() < name.size() ||
            path.compare(path.size() - name.size(), name.size(), name)) {
            std::abort();
        }
        const std::string extension = ExtensionOf(path);
        if (!extension.empty() && StripExtension(path) + "." + extension != path) {
            std::abort();
        }
    } catch (const RuntimeError& e) {
        if (e.number() != kErrInvalidArgument) {
            std::abort();
        }
    }
    return 0;
}
