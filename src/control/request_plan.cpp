#include "control/request_plan.h"

#include "engine/piece_series.h"
#include "fileutil/my_library.h"
#include "platform/conversions.h"
#include "platform/message_box.h"
#include "platform/runtime_error.h"

namespace tessarel {

const char kNoFileMessage[] = "You did not specify a file to open or save.";
const char kSizeTooSmallMessage[] = "Size to split to must be greater than 20.";
const char kSizeTooLargeMessage[] =
    "The size you have specified to split is larger than or equal to file size.";
const char kTooManyPiecesMessage[] = "The number of split files will exceed 100.";
const char kNotRecognisedMessage[] = "This file is not recogniseable.";
const char kFailedMessage[] = "Could Not Perform The Specified Operation.";
const char kSplitOntoSourceMessage[] =
    "The file to split would be overwritten by its own pieces. Choose another name to save.";
const char kJoinOntoPieceMessage[] =
    "The file to save is one of the pieces to join. Choose another name to save.";

std::string SourceTooLargeMessage() {
    return "The file to split is larger than" + StrWithSign(kMaxSourceLength) +
           " bytes, the largest a series can hold.";
}

namespace {

constexpr char kErrorTitle[] = "ERROR!";
constexpr char kFileTitle[] = "File Message";

// True when any piece of the series based on base, of count pieces, is the file at path.
bool SeriesHolds(const std::string& base, int64_t count, const std::string& path,
                 const SameFileTest& same_file) {
    for (int64_t n = 1; n <= count; ++n) {
        const std::string piece = PieceName(base, n);
        if (piece == path || same_file(piece, path)) {
            return true;
        }
    }
    return false;
}

// The name part of a piece's path, as the user sees it in a folder.
std::string PieceLabel(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

std::string Bytes(int64_t count) {
    return StrWithSign(count) + (count == 1 ? " byte" : " bytes");
}

}  // namespace

Notice Refusal(const std::string& message) {
    return {message, kStyleExclamation, kErrorTitle};
}

Notice FailedNotice() {
    return {kFailedMessage, kStyleCritical, kErrorTitle};
}

Notice SplitConfirmation(int64_t count) {
    return {" Will split into " + StrWithSign(count) + " files.",
            kStyleInformation | kStyleOkCancel, kFileTitle};
}

Notice JoinConfirmation(int64_t count) {
    return {" Will need " + StrWithSign(count) + " files to join.",
            kStyleInformation | kStyleOkCancel, kFileTitle};
}

std::string OverwritePrompt(const std::string& name) {
    return "The file " + name + "\r\n" + " already exists on disk. Saving to that " + "\r\n" +
           "file, will destroy the file's current contents " + "\r\n" + "\r\n" + "\r\n" +
           "Choose OK to replace file, Cancel to stop.";
}

bool IsConfirmationPrompt(const std::string& prompt) {
    auto starts = [&](const std::string& lead) { return prompt.rfind(lead, 0) == 0; };
    return starts(" Will split into ") || starts(" Will need ");
}

bool IsOverwritePrompt(const std::string& prompt) {
    return prompt.rfind("The file ", 0) == 0 &&
           prompt.find("\r\n already exists on disk.") != std::string::npos;
}

Notice OverwriteQuestion(const std::string& name) {
    return {OverwritePrompt(name), kStyleInformation | kStyleOkCancel, kFileTitle};
}

std::string TrimBlanks(const std::string& text) {
    const size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos) {
        return "";
    }
    return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

std::optional<Notice> CheckNamesGiven(const std::string& open_text, const std::string& save_text) {
    if (open_text.empty() || save_text.empty()) {
        return Refusal(kNoFileMessage);
    }
    return std::nullopt;
}

std::string FirstPieceName(const std::string& destination) {
    return ExtensionOf(destination) == "m00" ? destination : destination + ".m00";
}

std::string PieceSizeText(bool exact, const std::string& exact_text,
                          const std::string& approx_text) {
    return exact ? exact_text : RealWithSign(LeadingNumber(approx_text) * 1024.0);
}

PlanOrRefusal PlanSplit(int64_t file_length, int32_t piece_size) {
    if (piece_size < kMinPieceSize) {
        return Refusal(kSizeTooSmallMessage);
    }
    if (piece_size >= file_length) {
        return Refusal(kSizeTooLargeMessage);
    }
    if (file_length > kMaxSourceLength) {
        return Refusal(SourceTooLargeMessage());
    }
    const int64_t total = file_length + kHeaderLength;
    const int64_t count = PieceCount(total, piece_size);
    if (count > kMaxSplitPieces) {
        return Refusal(kTooManyPiecesMessage);
    }
    return SeriesPlan{total, piece_size, static_cast<int16_t>(count)};
}

PlanOrRefusal PlanJoin(const std::string& header, int64_t piece_length) {
    // Too short to hold a header and any data, or not starting with the signature.
    if (piece_length <= kHeaderLength || !HasSignature(header)) {
        return Refusal(kNotRecognisedMessage);
    }
    // Ten characters can say no more than 9999999999, so no sum below can wrap.
    const int64_t whole_length = TextToLength(header.substr(kSignatureLength));
    const int64_t total = whole_length + kHeaderLength;
    // The split never writes a negative length, nor a first piece that holds the whole stream:
    // joining such a "series" would read its first piece a second time.
    if (whole_length < 0 || total <= piece_length) {
        return Refusal(kNotRecognisedMessage);
    }
    return SeriesPlan{total, piece_length, ToInt16(PieceCount(total, piece_length))};
}

std::optional<Notice> CheckSplitTarget(const std::string& source, const std::string& first_piece,
                                       int64_t count, const SameFileTest& same_file) {
    // Writing the series over the file being split would destroy it while it is read.
    if (SeriesHolds(StripExtension(first_piece), count, source, same_file)) {
        return Refusal(kSplitOntoSourceMessage);
    }
    return std::nullopt;
}

std::optional<Notice> CheckJoinTarget(const std::string& first_piece,
                                      const std::string& destination, int64_t count,
                                      const SameFileTest& same_file) {
    if (same_file(first_piece, destination) ||
        SeriesHolds(StripExtension(first_piece), count, destination, same_file)) {
        return Refusal(kJoinOntoPieceMessage);
    }
    return std::nullopt;
}

std::string BadPieceMessage(const PieceCheck& piece) {
    const std::string lead = "The piece " + PieceLabel(piece.name);
    switch (piece.state) {
        case PieceState::kMissing:
            return lead + " is missing.";
        case PieceState::kNotOrdinary:
            return lead + " is not an ordinary file.";
        case PieceState::kShort:
            return lead + " is" + Bytes(piece.expected - piece.actual) + " short.";
        default:
            return "";
    }
}

std::optional<Notice> CheckPieces(const std::vector<PieceCheck>& pieces) {
    if (const PieceCheck* bad = FirstBadPiece(pieces)) {
        return Refusal(BadPieceMessage(*bad));
    }
    return std::nullopt;
}

std::optional<Notice> LongerPiecesQuestion(const std::vector<PieceCheck>& pieces) {
    std::string text;
    for (const PieceCheck& piece : pieces) {
        if (piece.state == PieceState::kLonger) {
            text += "The piece " + PieceLabel(piece.name) + " is" +
                    Bytes(piece.actual - piece.expected) +
                    " longer than its series says; those bytes will be left out." + "\r\n";
        }
    }
    if (text.empty()) {
        return std::nullopt;
    }
    return Notice{text + "\r\n" + "Choose OK to join without them, Cancel to stop.",
                  kStyleExclamation | kStyleOkCancel, kFileTitle};
}

}  // namespace tessarel
