// The extension rule on any text: no crash, no error but the two it may give, and the parts it
// gives put the path back together.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/extension.h"
#include "platform/runtime_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessarel;
    const std::string path(reinterpret_cast<const char*>(data), size);
    try {
        const std::string extension = ExtensionOf(path);
        if (extension.size() > path.size() ||
            path.compare(path.size() - extension.size(), extension.size(), extension)) {
            std::abort();
        }
        if (!extension.empty() && StripExtension(path) + "." + extension != path) {
            std::abort();
        }
    } catch (const RuntimeError& e) {
        if (e.number() != kErrInvalidArgument && e.number() != kErrOverflow) {
            std::abort();
        }
    }
    return 0;
}
