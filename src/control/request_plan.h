// The rules of a split or a join request as plain functions: from what was asked and what the
// file system says, what to refuse with, what to ask and what to run. Every front end (the
// windows, the command line) runs the same rules through the Go command.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "control/messages.h"
#include "engine/piece_series.h"
#include "engine/recovery.h"
#include "engine/series_check.h"
#include "engine/split_join.h"

namespace tessarel {

// What a user asks for, typed: from the window's fields or from the command line's arguments.
struct SplitRequest {
    std::string source;
    std::string destination;  // the first piece once FirstPieceName has settled it
    int64_t piece_size = 0;   // bytes
    int64_t most_pieces = 0;  // instead of a size: the smallest size that makes at most this many
    // Told the first piece's name when it differs from the destination (the window shows it).
    std::function<void(const std::string&)> first_piece_settled;
    bool checksums = true;  // write the series' checksum list beside it
    // Recovery pieces to write beside it: a number, or a share of the pieces (rounded up).
    RecoveryCount recovery;
    // Read what was written back from its medium: yes, no, or (none) when it is removable.
    std::optional<bool> read_back;
    // Plain numbered pieces (NAME.001, ...) without a header, which any tool joins.
    bool numbered = false;
};

struct JoinRequest {
    JoinRequest() = default;
    JoinRequest(std::string first, std::string out)
        : first_piece(std::move(first)), output(std::move(out)) {}
    std::string first_piece;
    std::string output;
    bool verify = true;  // compare the pieces with their checksum list, when there is one
    // Say once, at the end, that no list was there to compare a series with (the command line;
    // another tool's set is always said).
    bool say_uncompared = false;
    // Read the joined file back from its medium: yes, no, or (none) when it is removable.
    std::optional<bool> read_back;
};

// Leading and trailing blanks go; tabs and other spacing stay, as they may be in a name.
std::string TrimBlanks(const std::string& text);

// Either field empty as typed (blanks count as text) is refused.
std::optional<Notice> CheckNamesGiven(const std::string& open_text, const std::string& save_text);

// The first piece of a split: the destination with ".m00" added unless that is already its
// extension, exactly (case-sensitive). A name without a folder raises the invalid-argument error.
std::string FirstPieceName(const std::string& destination);
// The same for plain numbered pieces: ".001" added unless that is already the extension.
std::string FirstNumberedName(const std::string& destination);

// The piece size of the approximate entry: its leading number of kilobytes, in bytes. A value
// beyond kMostKilobytes is an overflow.
int64_t ApproximateBytes(const std::string& approx_text);
constexpr int64_t kMostKilobytes = 8984374999999999;  // bytes just under 9.2e18

// The smallest piece size that cuts a file of file_length bytes into at most count pieces.
int64_t PieceSizeForCount(int64_t file_length, int64_t count);

using PlanOrRefusal = std::variant<SeriesPlan, Notice>;

// A split of a file of file_length bytes into pieces of piece_size: the piece size must be over
// 20 and under the file's length, the file no longer than a header can say, and the pieces at
// most 100.
PlanOrRefusal PlanSplit(int64_t file_length, int64_t piece_size, bool headerless = false);

// A join whose first piece is piece_length bytes and begins with header (its first 20 bytes,
// or fewer when it is shorter): the signature, then the length field. A field that is no number
// raises the type-mismatch error; a count of pieces beyond 16 bits the overflow error.
PlanOrRefusal PlanJoin(const std::string& header, int64_t piece_length);

// True when both paths name the same file; the file system answers it.
using SameFileTest = std::function<bool(const std::string&, const std::string&)>;

// A name whose file part is empty (a folder, or nothing at all) names no file to open or save.
std::optional<Notice> CheckFileNamed(const std::string& path);

// Only ordinary files are replaced: a folder, a link (dangling or not), a device, a pipe or a
// socket at a name the request would write is refused, by name, before anything is written; so is
// another user's file in a folder where only its owner may replace it. A
// name this system does not allow raises the bad-file-name error (64).
std::optional<Notice> CheckReplaceable(const std::string& path);

// The names of pieces 1 to count of the series that are taken already.
std::vector<std::string> ExistingNames(const SeriesNames& names, int64_t count);

// A split whose series would overwrite the file it reads is refused.
std::optional<Notice> CheckSplitTarget(const std::string& source, const std::string& first_piece,
                                       int64_t count, const SameFileTest& same_file);
// A join whose output is one of its own pieces is refused.
std::optional<Notice> CheckJoinTarget(const std::string& first_piece,
                                      const std::string& destination, int64_t count,
                                      const SameFileTest& same_file);

// What the file system that is to hold a result says of itself, each when it tells.
struct DiskRoom {
    std::optional<int64_t> free;          // bytes an ordinary user may still fill
    std::optional<int64_t> largest_file;  // when it keeps no file of any length a series has
};

// A result with a file larger than its disk keeps (a piece of a split, a join's output) is
// refused before anything is written; largest is that file's length.
std::optional<Notice> CheckLargestFile(Mode mode, const std::string& destination,
                                       const DiskRoom& disk, int64_t largest);
// A result larger than the room left on its disk is asked about (OK goes on: room may be
// freed meanwhile, and some file systems say less than they can hold); needed is its length.
std::optional<Notice> CheckFreeRoom(Mode mode, const std::string& destination, const DiskRoom& disk,
                                    int64_t needed);

// The first piece that is missing, not an ordinary file, or short refuses the join, by name.
std::optional<Notice> CheckPieces(const std::vector<PieceCheck>& pieces);

}  // namespace tessarel
