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

std::string ErrorReport(int32_t number, const std::string& description) {
    return "Error # " + StrWithSign(number) + "\r" + description;
}

void ShowErrorReport(MessageBox& message_box, int32_t number, const std::string& description) {
    message_box.Show(ErrorReport(number, description), kStyleOkOnly, "Error");
}

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
            ShowErrorReport(message_box_, error.number(), error.description());
            return Outcome::kGiveUp;
    }
}

}  // namespace tessarel
