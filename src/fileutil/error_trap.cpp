#include "fileutil/error_trap.h"

#include <new>

#include "fileutil/file_err.h"
#include "platform/conversions.h"
#include "platform/runtime_error.h"

namespace tessarel {

bool ErrorTrap::Step(const std::function<void()>& step) {
    for (;;) {
        try {
            try {
                step();
            } catch (const std::bad_alloc&) {
                throw RuntimeError(kErrOutOfMemory);
            } catch (const RuntimeError&) {
                throw;
            } catch (const std::exception& e) {
                // Not a failure the program knows: reported, never left to end the program.
                throw RuntimeError(kErrInternal,
                                   ErrorDescription(kErrInternal) + " (" + e.what() + ")");
            }
            return true;
        } catch (const RuntimeError& error) {
            switch (ClassifyFileError(error.number(), message_box_)) {
                case FileErrRetry:
                    continue;
                case FileErrSkip:
                    return true;
                case FileErrStop:
                    return false;
                default:
                    message_box_.Show(
                        "Error # " + StrWithSign(error.number()) + "\r" + error.description(),
                        kStyleOkOnly, "Error");
                    return false;
            }
        }
    }
}

}  // namespace tessarel
