#include "trap/file_err.h"

#include <string>

#include "platform/conversions.h"
#include "platform/path.h"
#include "platform/runtime_error.h"

namespace tessarel {
namespace {

constexpr char kTitle[] = "Disk Error";

struct KnownError {
    int32_t number;
    const char* message;
    MsgStyle style;
    MsgKind kind;
};

constexpr KnownError kKnownErrors[] = {
    {52, "That filename is illegal.", kStyleWarning, MsgKind::kDiskError},
    {53, "File Not Found.", kStyleWarning, MsgKind::kDiskError},
    {54, "Can't open your file for that type of access.", kStyleWarning, MsgKind::kDiskError},
    {55, "This file is already open.", kStyleWarning, MsgKind::kDiskError},
    {57, "Internal disk error.", kStyleWarning, MsgKind::kDiskError},
    {61, "Disk is full. Continue?", kStyleWarningYesNo, MsgKind::kDiskFull},
    {62,
     "This file has a nonstandard end-of-file marker, or an attempt was made to read beyond "
     "the end-of-file marker.",
     kStyleWarning, MsgKind::kDiskError},
    {64, "That filename is illegal.", kStyleWarning, MsgKind::kDiskError},
    {68, "That device appears unavailable.", kStyleWarning, MsgKind::kDiskError},
    {71, "Insert a disk in the drive and close the door.", kStyleWarningRetryCancel,
     MsgKind::kDriveNotReady},
    {76, "That path doesn't exist.", kStyleWarning, MsgKind::kDiskError},
    // The program's own conditions; "{name}" stands for the name of the file concerned.
    {kErrSourceChanged,
     "The file {name} changed while it was being split, so its pieces were not kept. Split it "
     "again once nothing writes to it.",
     kStyleWarning, MsgKind::kDiskError},
    {kErrPieceDamaged,
     "The piece {name} is damaged: its contents differ from when it was split. Replace it and "
     "join again.",
     kStyleWarning, MsgKind::kDiskError},
    {kErrFileTooLarge,
     "The file {name} cannot grow any larger on this disk{limit}, so it was not kept. Choose "
     "a smaller piece size, or a disk that keeps larger files.",
     kStyleWarning, MsgKind::kDiskError},
    {kErrJoinedDiffers,
     "The joined file differs from its line in {name}: a piece is damaged, or the list is of "
     "another file. Nothing was kept.",
     kStyleWarning, MsgKind::kDiskError},
};

// The message with the file's name, and the largest file its disk keeps when the disk says,
// put in where the row asks for them.
std::string MessageFor(const KnownError& known, const std::string& file) {
    std::string text = known.message;
    size_t at = text.find("{name}");
    if (at != std::string::npos) {
        text.replace(at, 6, NameOf(file));
    }
    at = text.find("{limit}");
    if (at != std::string::npos) {
        const std::optional<int64_t> largest = LargestFileOn(file);
        text.replace(at, 7,
                     largest ? ", which keeps files of at most" + StrWithSign(*largest) + " bytes"
                             : std::string());
    }
    return text;
}

}  // namespace

int16_t ClassifyFileError(int32_t error_number, MessageBox& message_box, const std::string& file) {
    for (const KnownError& known : kKnownErrors) {
        if (known.number != error_number) {
            continue;
        }
        switch (
            message_box.Show({known.kind, MessageFor(known, file), known.style, kTitle, file})) {
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
