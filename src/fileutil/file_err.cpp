#include "fileutil/file_err.h"

#include <string>

namespace tessarel {
namespace {

constexpr char kTitle[] = "Disk Error";

struct KnownError {
    int32_t number;
    const char* message;
    int style;
};

constexpr KnownError kKnownErrors[] = {
    {52, "That filename is illegal.", kStyleExclamation},
    {53, "File Not Found.", kStyleExclamation},
    {54, "Can't open your file for that type of access.", kStyleExclamation},
    {55, "This file is already open.", kStyleExclamation},
    {57, "Internal disk error.", kStyleExclamation},
    {61, "Disk is full. Continue?", kStyleExclamation | kStyleYesNo},
    {62,
     "This file has a nonstandard end-of-file marker, or an attempt was made to read beyond "
     "the end-of-file marker.",
     kStyleExclamation},
    {64, "That filename is illegal.", kStyleExclamation},
    {68, "That device appears unavailable.", kStyleExclamation},
    {71, "Insert a disk in the drive and close the door.", kStyleExclamation | kStyleRetryCancel},
    {76, "That path doesn't exist.", kStyleExclamation},
};

}  // namespace

int16_t ClassifyFileError(int32_t error_number, MessageBox& message_box) {
    for (const KnownError& known : kKnownErrors) {
        if (known.number != error_number) {
            continue;
        }
        switch (message_box.Show(known.message, known.style, kTitle)) {
            case kAnswerRetry:
            case kAnswerYes:
                return FileErrRetry;
            case kAnswerIgnore:
                return FileErrSkip;
            case kAnswerOk:
            case kAnswerCancel:
            case kAnswerAbort:
            case kAnswerNo:
                return FileErrStop;
            default:
                return FileErrUnknown;
        }
    }
    return FileErrUnknown;
}

}  // namespace tessarel
