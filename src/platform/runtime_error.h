// Numbered run-time errors: what file operations, conversions and checked arithmetic raise,
// and what the error handlers of the Go command and the split/join operation receive.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tessarel {

enum ErrorNumber : int32_t {
    kErrInvalidArgument = 5,
    kErrOverflow = 6,
    kErrOutOfMemory = 7,
    kErrTypeMismatch = 13,
    kErrInternal = 51,
    kErrBadFileNameOrNumber = 52,
    kErrFileNotFound = 53,
    kErrBadFileMode = 54,
    kErrFileAlreadyOpen = 55,
    kErrDeviceIo = 57,
    kErrDiskFull = 61,
    kErrInputPastEnd = 62,
    kErrBadFileName = 64,
    kErrTooManyFiles = 67,
    kErrDeviceUnavailable = 68,
    kErrDiskNotReady = 71,
    kErrPathFileAccess = 75,
    kErrPathNotFound = 76,
    // Conditions of the program's own, beyond the numbers the classic runtime uses.
    kErrSourceChanged = 1001,  // the file being split changed while it was read
    kErrPieceDamaged = 1002,   // a piece's contents differ from its line in the checksum list
    kErrJoinedDiffers = 1003,  // the joined file differs from the list's line for it
    kErrFileTooLarge = 1004,   // the file system holds no file this large
};

// The standard description of an error number ("File not found" for 53, ...).
std::string ErrorDescription(int32_t number);

class RuntimeError : public std::runtime_error {
  public:
    explicit RuntimeError(int32_t number) : RuntimeError(number, ErrorDescription(number)) {}
    // file: the path the error is about, when there is one.
    RuntimeError(int32_t number, const std::string& description, std::string file = "")
        : std::runtime_error(description), number_(number), file_(std::move(file)) {}

    int32_t number() const { return number_; }
    std::string description() const { return what(); }
    const std::string& file() const { return file_; }

  private:
    int32_t number_;
    std::string file_;
};

// 32-bit and 16-bit arithmetic that raises the overflow error instead of wrapping.
int32_t ToInt32(int64_t value);
int16_t ToInt16(int64_t value);

}  // namespace tessarel
