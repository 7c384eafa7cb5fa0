#include "platform/conversions.h"

namespace tessarel {

std::string StrWithSign(int64_t value) {
    return value < 0 ? std::to_string(value) : " " + std::to_string(value);
}

std::string PlainNumber(int64_t value) { return std::to_string(value); }

}  // namespace tessarel
