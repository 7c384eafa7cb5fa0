#include "control/go_command.h"

#include "engine/piece_series.h"
#include "engine/series_check.h"
#include "engine/split_join.h"
#include "fileutil/error_trap.h"
#include "fileutil/my_library.h"
#include "platform/conversions.h"
#include "platform/file.h"
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

namespace {

constexpr char kErrorTitle[] = "ERROR!";
constexpr char kFileTitle[] = "File Message";

// Leading and trailing blanks go; tabs and other spacing stay, as they may be in a name.
std::string TrimBlanks(const std::string& text) {
    const size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos) {
        return "";
    }
    return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

// Thrown when the error trap has given the request up; its message has been shown.
struct Ended {};

class GoRequest {
  public:
    GoRequest(GoForm& form, ProgressDisplay& display, MessageBox& box)
        : form_(form), display_(display), box_(box), trap_(box) {}

    void Run();

  private:
    template <typename F>
    void Do(F&& step) {
        if (!trap_.Step(step)) {
            throw Ended{};
        }
    }
    void Refuse(const std::string& message) {
        box_.Show(message, kStyleExclamation, kErrorTitle);
        throw Ended{};
    }
    // True when any piece of the series based on base, of count pieces, is the file at path.
    bool SeriesHolds(const std::string& base, int64_t count, const std::string& path) const {
        for (int64_t n = 1; n <= count; ++n) {
            const std::string piece = PieceName(base, n);
            if (piece == path || SameFile(piece, path)) {
                return true;
            }
        }
        return false;
    }

    bool SplitBranch();
    bool JoinBranch();
    // Asks before an existing destination is replaced, then creates and deletes it so the
    // engine starts on a free name. False when the user would not have it replaced.
    bool ClearDestination();

    GoForm& form_;
    ProgressDisplay& display_;
    MessageBox& box_;
    ErrorTrap trap_;
    std::string source_;
    std::string destination_;
};

void GoRequest::Run() {
    if (form_.OpenText().empty() || form_.SaveText().empty()) {
        Refuse(kNoFileMessage);
    }
    source_ = TrimBlanks(form_.OpenText());
    destination_ = TrimBlanks(form_.SaveText());
    const bool done = form_.SplitSelected() ? SplitBranch() : JoinBranch();
    if (!done) {
        box_.Show(kFailedMessage, kStyleCritical, kErrorTitle);
    }
}

bool GoRequest::SplitBranch() {
    std::string extension;
    Do([&] { extension = ExtensionOf(destination_); });
    if (extension != "m00") {
        destination_ += ".m00";
        form_.SetSaveText(destination_);
    }
    Do([&] {
        if (form_.ExactSelected()) {
            form_.SetSizeText(form_.ExactText());
        } else {
            form_.SetSizeText(RealWithSign(LeadingNumber(form_.ApproxText()) * 1024.0));
        }
    });
    int32_t file_length = 0;
    int32_t piece_size = 0;
    Do([&] { file_length = FileLength(source_); });
    Do([&] { piece_size = TextToInt32(form_.SizeText()); });
    if (piece_size < kMinPieceSize) {
        Refuse(kSizeTooSmallMessage);
    }
    if (piece_size >= file_length) {
        Refuse(kSizeTooLargeMessage);
    }
    int32_t total = 0;
    Do([&] { total = ToInt32(int64_t{file_length} + kHeaderLength); });
    const int64_t count = PieceCount(total, piece_size);
    if (count > kMaxSplitPieces) {
        Refuse(kTooManyPiecesMessage);
    }
    form_.SetTotalCaption(PlainNumber(count));
    // Writing the series over the file being split would destroy it while it is read.
    std::string base;
    Do([&] { base = StripExtension(destination_); });
    if (SeriesHolds(base, count, source_)) {
        Refuse(kSplitOntoSourceMessage);
    }
    if (box_.Show(" Will split into " + StrWithSign(count) + " files.",
                  kStyleInformation | kStyleOkCancel, kFileTitle) == kAnswerCancel) {
        throw Ended{};
    }
    // Reading one byte now reports a source that cannot be read before anything is written.
    // The source is opened for reading only, so a read-only file can be split.
    File probe;
    uint8_t byte = 0;
    Do([&] { probe = File::OpenForReading(source_); });
    Do([&] { probe.Read(&byte, 1); });
    Do([&] { probe.Close(); });
    if (!ClearDestination()) {
        return false;
    }
    return SplitJoin(source_, destination_, "Split", total, piece_size, static_cast<int16_t>(count),
                     display_, box_);
}

bool GoRequest::JoinBranch() {
    int32_t piece_length = 0;
    Do([&] { piece_length = FileLength(source_); });
    if (piece_length <= kHeaderLength) {
        Refuse(kNotRecognisedMessage);  // too short to hold a header and any data
    }
    File piece;
    std::string signature;
    std::string length_text;
    Do([&] { piece = File::OpenForReading(source_); });
    for (int i = 0; i < kHeaderLength; ++i) {
        uint8_t byte = 0;
        Do([&] { piece.Read(&byte, 1); });
        (i < kSignatureLength ? signature : length_text) += static_cast<char>(byte);
    }
    Do([&] { piece.Close(); });
    if (!HasSignature(signature)) {
        Refuse(kNotRecognisedMessage);
    }
    int32_t whole_length = 0;
    Do([&] { whole_length = TextToInt32(length_text); });
    int32_t total = 0;
    Do([&] { total = ToInt32(int64_t{whole_length} + kHeaderLength); });
    // The split never writes a negative length, nor a first piece that holds the whole stream:
    // joining such a "series" would read its first piece a second time.
    if (whole_length < 0 || total <= piece_length) {
        Refuse(kNotRecognisedMessage);
    }
    int16_t count = 0;
    Do([&] { count = ToInt16(PieceCount(total, piece_length)); });
    form_.SetTotalCaption(PlainNumber(count));
    std::string base;
    Do([&] { base = StripExtension(source_); });
    if (SameFile(source_, destination_) || SeriesHolds(base, count, destination_)) {
        Refuse(kJoinOntoPieceMessage);
    }
    // Every piece is looked at before anything is written: a join that would stop half-way
    // must not have replaced the user's file first.
    std::vector<PieceCheck> pieces;
    Do([&] { pieces = CheckSeries(source_, total, piece_length); });
    if (const PieceCheck* bad = FirstBadPiece(pieces)) {
        Refuse(BadPieceMessage(*bad));
    }
    const std::string longer = LongerPiecesQuestion(pieces);
    if (!longer.empty() &&
        box_.Show(longer, kStyleExclamation | kStyleOkCancel, kFileTitle) != kAnswerOk) {
        throw Ended{};
    }
    if (box_.Show(" Will need " + StrWithSign(count) + " files to join.",
                  kStyleInformation | kStyleOkCancel, kFileTitle) == kAnswerCancel) {
        throw Ended{};
    }
    if (!ClearDestination()) {
        return false;
    }
    return SplitJoin(source_, destination_, "Join", total, piece_length, count, display_, box_);
}

bool GoRequest::ClearDestination() {
    std::string existing;
    Do([&] { existing = DirectoryLookup(destination_); });
    if (!existing.empty() &&
        box_.Show(OverwritePrompt(existing), kStyleInformation | kStyleOkCancel, kFileTitle) !=
            kAnswerOk) {
        return false;
    }
    File cleared;
    Do([&] { cleared = File::OpenBinary(destination_); });
    Do([&] { cleared.Close(); });
    Do([&] { DeleteFile(destination_); });
    return true;
}

}  // namespace

namespace {
// The name part of a piece's path, as the user sees it in a folder.
std::string PieceLabel(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}
std::string Bytes(int64_t count) {
    return StrWithSign(count) + (count == 1 ? " byte" : " bytes");
}
}  // namespace

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

std::string LongerPiecesQuestion(const std::vector<PieceCheck>& pieces) {
    std::string text;
    for (const PieceCheck& piece : pieces) {
        if (piece.state == PieceState::kLonger) {
            text += "The piece " + PieceLabel(piece.name) + " is" +
                    Bytes(piece.actual - piece.expected) +
                    " longer than its series says; those bytes will be left out." + "\r\n";
        }
    }
    if (text.empty()) {
        return text;
    }
    return text + "\r\n" + "Choose OK to join without them, Cancel to stop.";
}

std::string OverwritePrompt(const std::string& name) {
    return "The file " + name + "\r\n" + " already exists on disk. Saving to that " + "\r\n" +
           "file, will destroy the file's current contents " + "\r\n" + "\r\n" + "\r\n" +
           "Choose OK to replace file, Cancel to stop.";
}

void cmdGo_Click(GoForm& form, ProgressDisplay& display, MessageBox& message_box) {
    try {
        GoRequest(form, display, message_box).Run();
    } catch (const Ended&) {
        // The request ended with its message shown; nothing follows.
    } catch (const std::exception& e) {
        // A failure outside the checked steps: said, and the window goes on.
        message_box.Show("Error # " + StrWithSign(kErrInternal) + "\r" +
                             ErrorDescription(kErrInternal) + " (" + e.what() + ")",
                         kStyleOkOnly, "Error");
    }
}

}  // namespace tessarel
