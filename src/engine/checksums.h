// The checksum list that travels with a series: BASE.sha256 beside the pieces, one line per
// piece and one for the whole file, in the form sha256sum writes and reads, so the standard tools
// on every system can check a series and the file joined from it.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "engine/piece_series.h"
#include "platform/sha256.h"

namespace tessarel {

// The list's path for the series whose first piece is first_piece: BASE.sha256.
std::string ChecksumListName(const std::string& first_piece);

// One line as sha256sum writes it: the digest, two blanks, the name; a name holding a
// backslash, a line feed or a carriage return is escaped and the line starts with a backslash.
std::string ChecksumLine(const Digest& digest, const std::string& name);

// Digests by name, as a list gives them.
using ChecksumList = std::map<std::string, Digest>;

// The list's lines as sha256sum -c reads them (CR LF line ends, a last line without one and
// "./NAME" are taken); the reason when a line is not one it would read, or when two lines for
// one name disagree.
std::variant<ChecksumList, std::string> ParseChecksumList(const std::string& text);

// A list may be no larger than this: a series of 32767 pieces with long names fits easily.
constexpr int64_t kMaxChecksumListBytes = 4 << 20;

// What the digests of a series should be, piece by piece (from 1) and for the whole file.
// When every piece has its digest, the pieces prove the joined file (it is their bytes); the
// whole file's digest is what a join is checked against only when the pieces have none.
struct SeriesDigests {
    std::vector<Digest> pieces;  // [0] is the first piece's; none for a list of the file alone
    std::optional<Digest> whole;
    std::vector<Digest> recovery;  // the recovery pieces', from BASE.r00 on, as far as listed
    // The whole file's digest is worth working out: nothing else proves the joined file.
    bool whole_proves() const { return pieces.empty() && whole.has_value(); }
};

// The digests a list gives for the series named by names, of count pieces: every piece must
// have its line (lines for other names are passed over), or none may and the whole file has its
// line; else the reason it is not this series' list. The whole file's line is the one for the
// name a join writes by default.
std::variant<SeriesDigests, std::string> DigestsForSeries(const ChecksumList& list,
                                                          const SeriesNames& names, int64_t count);

// What the checksum list beside a series says of it, when it lies there: its digests, or the
// reason it cannot be used (neither when there is no list). Reading it raises nothing.
struct ListReading {
    std::string path;
    std::optional<SeriesDigests> digests;
    std::string problem;
};
ListReading ReadChecksumListFor(const std::string& first_piece, int64_t count);

// The list a split writes for those digests.
std::string ChecksumListText(const SeriesDigests& digests, const SeriesNames& names);

}  // namespace tessarel
