#include "fileutil/error_trap.h"

#include <new>

#include "fileutil/file_err.h"
#include "platform/conversions.h"
#include "platform/runtime_error.h"

namespace tessarel {
namespace {

// The failure as a numbered run-time error: running out of memory is error 7, any other
// exception a program error that is reported rather than left to end the program.
RuntimeError AsRuntimeError(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const RuntimeError& error) {
        return error;
    } catch (const std::bad_alloc&) {
        return RuntimeError(kErrOutOfMemory);
    } catch (const std::exception& e) {
        return RuntimeError(kErrInternal, ErrorDescription(kErrInternal) + " (" + e.what() + ")");
    } catch (...) {
        return RuntimeError(kErrInternal);
    }
}

}  // namespace

ErrorTrap::Outcome ErrorTrap::Handle(std::exception_ptr failure) {
    const RuntimeError error = AsRuntimeError(failure);
    switch (ClassifyFileError(error.number(), message_box_)) {
        case FileErrRetry:
            return Outcome::kRetry;
        case FileErrSkip:
            return Outcome::kGoOn;
        case FileErrStop:
            return Outcome::kGiveUp;
        default:
            message_box_.Show("Error # " + StrWithSign(error.number()) + "\r" + error.description(),
                              kStyleOkOnly, "Error");
            return Outcome::kGiveUp;
    }
}

}  // namespace tessarel
