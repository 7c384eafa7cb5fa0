#include "platform/sha256.h"

namespace tessarel {

std::string HexOf(const Digest& digest) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const uint8_t byte : digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

size_t ListHash::LengthOf(Kind kind) {
    return kind == Kind::kMd5 ? 16 : kind == Kind::kSha512 ? 64 : 32;
}

}  // namespace tessarel
