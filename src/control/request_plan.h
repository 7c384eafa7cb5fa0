// The rules of a split or a join request as plain functions: from what the form holds and what
// the file system says, what to refuse with, what to ask and what to run. Every front end
// (the window, the command line) runs the same rules through the Go command.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "engine/series_check.h"

namespace tessarel {

// A message box to show.
struct Notice {
    std::string prompt;
    int style = 0;
    std::string title;
    bool operator==(const Notice& other) const {
        return prompt == other.prompt && style == other.style && title == other.title;
    }
};

// Messages of the Go command that are not in the disk-error table.
extern const char kNoFileMessage[];
extern const char kSizeTooSmallMessage[];
extern const char kSizeTooLargeMessage[];
extern const char kTooManyPiecesMessage[];
extern const char kNotRecognisedMessage[];
extern const char kFailedMessage[];
extern const char kSplitOntoSourceMessage[];
extern const char kJoinOntoPieceMessage[];
// A source beyond what a header's ten digits can say.
std::string SourceTooLargeMessage();

// A refusal: the message with the exclamation icon, titled "ERROR!".
Notice Refusal(const std::string& message);
// The failed-operation message, also after Cancel at the overwrite question.
Notice FailedNotice();
Notice SplitConfirmation(int64_t count);
Notice JoinConfirmation(int64_t count);
// The overwrite question for an existing file whose name part is name.
Notice OverwriteQuestion(const std::string& name);
std::string OverwritePrompt(const std::string& name);
// Which question a prompt is, for a front end that answers some by itself.
bool IsConfirmationPrompt(const std::string& prompt);
bool IsOverwritePrompt(const std::string& prompt);

// Leading and trailing blanks go; tabs and other spacing stay, as they may be in a name.
std::string TrimBlanks(const std::string& text);

// Either field empty as typed (blanks count as text) is refused.
std::optional<Notice> CheckNamesGiven(const std::string& open_text, const std::string& save_text);

// The first piece of a split: the destination with ".m00" added unless that is already its
// extension, exactly (case-sensitive). A name without a folder raises the invalid-argument error.
std::string FirstPieceName(const std::string& destination);

// The piece size in bytes as its hidden field holds it: the exact entry as typed, or the
// approximate entry's leading number times 1024, with a sign blank.
std::string PieceSizeText(bool exact, const std::string& exact_text,
                          const std::string& approx_text);

// What the engine is called with: the stream (file + header), the piece size, the count.
struct SeriesPlan {
    int64_t stream_length = 0;
    int64_t piece_size = 0;
    int16_t count = 0;
};
using PlanOrRefusal = std::variant<SeriesPlan, Notice>;

// A split of a file of file_length bytes into pieces of piece_size: the piece size must be over
// 20 and under the file's length, the file no longer than a header can say, and the pieces at
// most 100.
PlanOrRefusal PlanSplit(int64_t file_length, int32_t piece_size);

// A join whose first piece is piece_length bytes and begins with header (its first 20 bytes,
// or fewer when it is shorter): the signature, then the length field. A field that is no number
// raises the type-mismatch error; a count of pieces beyond 16 bits the overflow error.
PlanOrRefusal PlanJoin(const std::string& header, int64_t piece_length);

// True when both paths name the same file; the file system answers it.
using SameFileTest = std::function<bool(const std::string&, const std::string&)>;

// A split whose series would overwrite the file it reads is refused.
std::optional<Notice> CheckSplitTarget(const std::string& source, const std::string& first_piece,
                                       int64_t count, const SameFileTest& same_file);
// A join whose output is one of its own pieces is refused.
std::optional<Notice> CheckJoinTarget(const std::string& first_piece,
                                      const std::string& destination, int64_t count,
                                      const SameFileTest& same_file);

// The first piece that is missing, not an ordinary file, or short refuses the join, by name.
std::optional<Notice> CheckPieces(const std::vector<PieceCheck>& pieces);
std::string BadPieceMessage(const PieceCheck& piece);
// Pieces longer than planned are the user's choice: one question naming each with its extra
// bytes; none when there are none.
std::optional<Notice> LongerPiecesQuestion(const std::vector<PieceCheck>& pieces);

}  // namespace tessarel
