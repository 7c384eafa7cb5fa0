#include "platform/runtime_error.h"

#include <limits>

namespace tessarel {

std::string ErrorDescription(int32_t number) {
    switch (number) {
        case kErrInvalidArgument:
            return "Invalid procedure call or argument";
        case kErrOverflow:
            return "Overflow";
        case kErrOutOfMemory:
            return "Out of memory";
        case kErrTypeMismatch:
            return "Type mismatch";
        case kErrInternal:
            return "Internal error";
        case kErrBadFileNameOrNumber:
            return "Bad file name or number";
        case kErrFileNotFound:
            return "File not found";
        case kErrBadFileMode:
            return "Bad file mode";
        case kErrFileAlreadyOpen:
            return "File already open";
        case kErrDeviceIo:
            return "Device I/O error";
        case kErrDiskFull:
            return "Disk full";
        case kErrInputPastEnd:
            return "Input past end of file";
        case kErrBadFileName:
            return "Bad file name";
        case kErrTooManyFiles:
            return "Too many files";
        case kErrDeviceUnavailable:
            return "Device unavailable";
        case kErrDiskNotReady:
            return "Disk not ready";
        case kErrPathFileAccess:
            return "Path/File access error";
        case kErrPathNotFound:
            return "Path not found";
        case kErrSourceChanged:
            return "File changed while it was read";
        case kErrPieceDamaged:
            return "Piece damaged";
        case kErrJoinedDiffers:
            return "Joined file differs";
        case kErrFileTooLarge:
            return "File too large for this disk";
        default:
            return "Application-defined or object-defined error";
    }
}

int32_t ToInt32(int64_t value) {
    if (value < std::numeric_limits<int32_t>::min() ||
        value > std::numeric_limits<int32_t>::max()) {
        throw RuntimeError(kErrOverflow);
    }
    return static_cast<int32_t>(value);
}

int16_t ToInt16(int64_t value) {
    if (value < std::numeric_limits<int16_t>::min() ||
        value > std::numeric_limits<int16_t>::max()) {
        throw RuntimeError(kErrOverflow);
    }
    return static_cast<int16_t>(value);
}

}  // namespace tessarel
