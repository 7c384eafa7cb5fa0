#include "trap/error_trap.h"

#include <new>

#include "trap/file_err.h"
#include "platform/conversions.h"
#include "platform/runtime_error.h"

namespace tessarel {

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

std::string ErrorReport(int32_t number, const std::string& description) {
    return "Error # " + StrWithSign(number) + "\r" + description;
}

void ShowErrorReport(MessageBox& message_box, const RuntimeError& error) {
    Notice notice(MsgKind::kErrorReport, ErrorReport(error.number(), error.description()),
                  kStylePlain, "Error", error.file());
    notice.detail = error.description();
    message_box.Show(notice);
}

ErrorTrap::Outcome ErrorTrap::Handle(std::exception_ptr failure) {
    const RuntimeError error = AsRuntimeError(failure);
    switch (ClassifyFileError(error.number(), message_box_, error.file())) {
        case FileErrRetry:
            return Outcome::kRetry;
        case FileErrSkip:
            return Outcome::kGoOn;
        case FileErrStop:
            return Outcome::kGiveUp;
        default:
            ShowErrorReport(message_box_, error);
            return Outcome::kGiveUp;
    }
}

}  // namespace tessarel
