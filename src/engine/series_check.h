// Looks at every piece of a series before a join reads it, or for `check`: is each there, an
// ordinary file, exactly as long as the header and the first piece say it must be, and can it
// be opened or read through? The first piece sets the piece size, so its length is always
// right; the rest are measured against it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/checksums.h"
#include "engine/piece_series.h"
#include "platform/file.h"

namespace tessarel {

enum class PieceState {
    kGood,
    kMissing,
    kNotOrdinary,  // a folder, a pipe, a device
    kShort,
    kLonger,      // longer than planned: the join uses only the planned bytes
    kUnreadable,  // there, but it cannot be opened or read: see reason
    kDamaged,     // read through, its contents differ from its line in the checksum list
};

struct PieceCheck {
    int64_t number = 0;  // 1 for the first piece
    std::string name;    // full path
    PieceState state = PieceState::kGood;
    int64_t expected = 0;   // bytes
    int64_t actual = 0;     // bytes; 0 when missing or not an ordinary file
    std::string reason;     // why an unreadable piece could not be read
    bool compared = false;  // read through and compared with its checksum
    // A missing piece's look-alike: a file in the series' folder that is plainly this piece
    // under another name (as mail programs and browsers rename files), of its length and, when
    // the series' checksum is known, of its contents. Full path; empty when there is none.
    std::string look_alike;
    bool look_alike_checked = false;  // its contents matched the piece's listed checksum
    // Read with stripes: each stripe's checksum, and which stripes could be read whole.
    std::vector<uint64_t> stripe_crcs;
    std::vector<uint8_t> stripe_read;
    // Judged against the recovery pieces: which stripes are as they were split (empty: not
    // judged), and how many are not.
    std::vector<uint8_t> good_stripes;
    int64_t bad_stripes = 0;
};

// How far a check goes: the lengths only, each piece opened too (a join, before it writes
// anything), or each piece read through (check).
enum class CheckDepth { kLengths, kOpen, kRead };

// Thrown by a check that was asked to stop.
struct CheckStopped {};

struct CheckOptions {
    CheckDepth depth = CheckDepth::kLengths;
    // With kRead: each piece's contents are compared with its digest here.
    const SeriesDigests* expected = nullptr;
    // With kOpen: each piece opened is kept open here ([0] the first piece), so what was checked
    // is what is read later; past a few hundred pieces they are closed again.
    std::vector<File>* keep_open = nullptr;
    // Asked between reads and between pieces: true stops the check (CheckStopped).
    std::function<bool()> stop;
    // With kRead: told of each stretch read, as the piece's number and its bytes; from the
    // thread that read it, as pieces are read on several at once.
    std::function<void(int64_t, int64_t)> read;
    // With kRead: set to the digest of the file the pieces make, when every piece could be read.
    std::optional<Digest>* whole = nullptr;
    // With kRead and a stripe size: each piece's stripe checksums are worked out, and a range
    // that cannot be read leaves its stripes unread rather than ending the piece's reading.
    int64_t stripe_size = 0;
    // With kRead: the pieces are read from their medium, past what the system keeps of them.
    bool from_medium = false;
};

// The pieces of the series whose first piece is first_piece, planned as series, each with what
// was found. A failure to look (other than a missing file) is raised as a run-time error.
std::vector<PieceCheck> CheckSeries(const std::string& first_piece, const SeriesPlan& series,
                                    const CheckOptions& options);
std::vector<PieceCheck> CheckSeries(const std::string& first_piece, const SeriesPlan& series,
                                    CheckDepth depth = CheckDepth::kLengths,
                                    const SeriesDigests* expected = nullptr);
// The same for a stream of stream_length bytes in pieces of piece_size.
std::vector<PieceCheck> CheckSeries(const std::string& first_piece, int64_t stream_length,
                                    int64_t piece_size);

// The name a file would have had, had nothing renamed it: in lower case, without what mail
// programs, browsers and file managers add to a clashing or unfinished file (" (1)", "(2)", "-1",
// " - Copy" before the extension; ".part", ".download", ".crdownload" after it; the extension
// doubled). Two names of the same key are look-alikes.
std::string LookAlikeKey(const std::string& name);

// True when the file at path can be read and starts with a series' signature: a first piece.
bool IsFirstPieceFile(const std::string& path);

// True when a piece is lost for a join: missing (but for a renamed copy that matched its listed
// checksum), not ordinary, short, unreadable or damaged, or with stripes that differ from the
// recovery pieces' checksums. A longer one gives its planned bytes.
bool PieceLost(const PieceCheck& piece);
// The path a piece is read from: its own, or its look-alike's when that stands in for it.
std::string PiecePath(const PieceCheck& piece);

// The first piece that makes the series unusable (missing, not ordinary, short, unreadable), or
// null.
const PieceCheck* FirstBadPiece(const std::vector<PieceCheck>& pieces);

// Files named as pieces of the series beyond its last piece (left by an older, longer series),
// from the one after the last on, as long as they follow on.
std::vector<std::string> FilesAfterSeries(const std::string& first_piece, int64_t count);
std::vector<std::string> FilesAfterSeries(const SeriesNames& names, int64_t count);

}  // namespace tessarel
