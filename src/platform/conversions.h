// Number-to-text conversions used by captions and messages.
#pragma once

#include <cstdint>
#include <string>

namespace tessarel {

// A number as a message shows it: a blank in place of the sign when it is not negative.
std::string StrWithSign(int64_t value);

// A number as a caption or text field shows it: digits only, a minus when negative.
std::string PlainNumber(int64_t value);

}  // namespace tessarel
