// The size conversions on any text: only the type-mismatch and overflow errors, and a number
// converted back from its own text is the same number.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/conversions.h"
#include "platform/runtime_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessarel;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const double leading = LeadingNumber(text);
    for (const std::string& candidate : {text, RealWithSign(leading * 1024.0)}) {
        try {
            const int32_t value = TextToInt32(candidate);
            if (TextToInt32(PlainNumber(value)) != value ||
                TextToInt32(StrWithSign(value)) != value) {
                std::abort();
            }
        } catch (const RuntimeError& e) {
            if (e.number() != kErrTypeMismatch && e.number() != kErrOverflow) {
                std::abort();
            }
        }
    }
    return 0;
}
