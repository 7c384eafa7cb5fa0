#include "control/request_plan.h"

#include <algorithm>
#include <cmath>

#include "engine/checksums.h"
#include "engine/piece_series.h"
#include "platform/conversions.h"
#include "platform/extension.h"
#include "platform/path.h"
#include "platform/runtime_error.h"

namespace tessarel {

namespace {

// True when any piece of the series, of count pieces, is the file at path.
bool SeriesHolds(const SeriesNames& names, int64_t count, const std::string& path,
                 const SameFileTest& same_file) {
    for (int64_t n = 1; n <= count; ++n) {
        const std::string piece = names[n];
        if (piece == path || same_file(piece, path)) {
            return true;
        }
    }
    return false;
}

}  // namespace

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
    return ExtensionOf(destination) == kFirstPieceExtension + 1
               ? destination
               : destination + kFirstPieceExtension;
}

std::string FirstNumberedName(const std::string& destination) {
    return ExtensionOf(destination) == "001" ? destination : destination + ".001";
}

int64_t ApproximateBytes(const std::string& approx_text) {
    const double bytes = LeadingNumber(approx_text) * 1024.0;
    // Whole kilobytes make whole bytes; a fraction of one is cut as the field's number is.
    if (!(bytes > -9.2e18 && bytes < double(kMostKilobytes + 1) * 1024.0)) {
        throw RuntimeError(kErrOverflow);
    }
    return static_cast<int64_t>(std::nearbyint(bytes));
}

int64_t PieceSizeForCount(int64_t file_length, int64_t count) {
    const int64_t stream =
        file_length + HeaderLengthFor(std::min(file_length, kMaxWideSourceLength));
    return count > 0 ? (stream + count - 1) / count : 0;
}

PlanOrRefusal PlanSplit(int64_t file_length, int64_t piece_size, bool headerless) {
    if (piece_size < kMinPieceSize) {
        return Refusal(kSizeTooSmallMessage);
    }
    if (piece_size >= file_length) {
        return Refusal(kSizeTooLargeMessage);
    }
    if (file_length > kMaxWideSourceLength) {
        return Refusal(SourceTooLargeMessage());
    }
    const int64_t total = file_length + (headerless ? 0 : HeaderLengthFor(file_length));
    const int64_t count = PieceCount(total, piece_size);
    if (count > kMaxSplitPieces) {
        return Refusal(TooManyPiecesMessage(PieceSizeForCount(file_length, kMaxSplitPieces)));
    }
    SeriesPlan plan{total, piece_size, count};
    plan.headerless = headerless;
    return plan;
}

PlanOrRefusal PlanJoin(const std::string& header, int64_t piece_length) {
    // Too short to hold a header and any data, or not starting with a signature.
    const int32_t header_length = HeaderLengthOf(header);
    if (header_length == 0 || piece_length <= header_length ||
        header.size() < static_cast<size_t>(header_length)) {
        return Refusal(kNotRecognisedMessage);
    }
    // The split writes the length as exactly ten (or, wide, twenty) decimal digits; anything
    // else (a sign, blanks, a point, an exponent) is not a header of ours, however it might be
    // read as a number.
    const std::string field =
        header.substr(kSignatureLength, size_t(header_length - kSignatureLength));
    if (!AllDigits(field)) {
        return Refusal(kNotRecognisedMessage);
    }
    // Twenty digits may say more than 64 bits hold: past the largest file, no header of ours.
    int64_t whole_length = 0;
    for (const char digit : field) {
        if (whole_length > (kMaxWideSourceLength - (digit - '0')) / 10) {
            return Refusal(kNotRecognisedMessage);
        }
        whole_length = whole_length * 10 + (digit - '0');
    }
    // A wide header is written only for what ten digits cannot say.
    if (HeaderLengthFor(whole_length) != header_length) {
        return Refusal(kNotRecognisedMessage);
    }
    const int64_t total = whole_length + header_length;
    // The split never writes a first piece that holds the whole stream (joining such a
    // "series" would read its first piece a second time), nor a series a join cannot count.
    if (total <= piece_length || PieceCount(total, piece_length) > kMaxJoinPieces) {
        return Refusal(kNotRecognisedMessage);
    }
    return SeriesPlan{total, piece_length, PieceCount(total, piece_length)};
}

std::optional<Notice> CheckSplitTarget(const std::string& source, const std::string& first_piece,
                                       int64_t count, const SameFileTest& same_file) {
    // Writing the series over the file being split would destroy it while it is read.
    const std::string list = ChecksumListName(first_piece);
    if (SeriesHolds(SeriesNames(first_piece), count, source, same_file) || list == source ||
        same_file(list, source)) {
        return Refusal(kSplitOntoSourceMessage);
    }
    return std::nullopt;
}

std::optional<Notice> CheckJoinTarget(const std::string& first_piece,
                                      const std::string& destination, int64_t count,
                                      const SameFileTest& same_file) {
    if (same_file(first_piece, destination) ||
        SeriesHolds(SeriesNames(first_piece), count, destination, same_file)) {
        return Refusal(kJoinOntoPieceMessage);
    }
    return std::nullopt;
}

std::optional<Notice> CheckFileNamed(const std::string& path) {
    if (NameOf(path).empty()) {
        return Refusal(kNoFileMessage);
    }
    return std::nullopt;
}

std::optional<Notice> CheckReplaceable(const std::string& path) {
    if (!IsLegalName(NameOf(path))) {
        // A name the system keeps for itself (CON, NUL.m00, a?b on Windows) is refused as the
        // file layer would refuse it, before anything is written.
        throw RuntimeError(kErrBadFileName, ErrorDescription(kErrBadFileName), path);
    }
    const PathInfo info = InfoOf(path, false);
    if (info.exists() && !info.regular()) {
        return Refusal(NotOrdinaryMessage(NameOf(path), info.kind));
    }
    // In a shared folder where only a file's owner may replace it (/tmp), another user's file
    // is theirs: replaced, its name would hand them what takes it, or lose what they keep there.
    if (info.exists() && info.owner >= 0 && info.owner != CurrentUser() &&
        InfoOf(FolderOf(path)).sticky) {
        return Refusal(OthersFileMessage(NameOf(path)));
    }
    return std::nullopt;
}

std::vector<std::string> ExistingNames(const SeriesNames& names, int64_t count) {
    std::vector<std::string> existing;
    for (int64_t n = 1; n <= count; ++n) {
        if (InfoOf(names[n], false).exists()) {
            existing.push_back(names[n]);
        }
    }
    return existing;
}

std::optional<Notice> CheckPieces(const std::vector<PieceCheck>& pieces) {
    if (const PieceCheck* bad = FirstBadPiece(pieces)) {
        return Refusal(BadPieceMessage(*bad));
    }
    return std::nullopt;
}

std::optional<Notice> CheckLargestFile(Mode mode, const std::string& destination,
                                       const DiskRoom& disk, int64_t largest) {
    if (!disk.largest_file || largest <= *disk.largest_file) {
        return std::nullopt;
    }
    return Refusal(TooLargeForDiskMessage(mode == Mode::kSplit, NameOf(destination),
                                          *disk.largest_file, largest));
}

std::optional<Notice> CheckFreeRoom(Mode mode, const std::string& destination, const DiskRoom& disk,
                                    int64_t needed) {
    if (!disk.free || needed <= *disk.free) {
        return std::nullopt;
    }
    return LowRoomQuestion(mode == Mode::kSplit, NameOf(destination), *disk.free, needed);
}

}  // namespace tessarel
