// Numbered sets other tools write: NAME.001, NAME.002, ... (also from .000), NAME.aa, NAME.ab, ...
// (split's letters, two or three), x00, x01, ... (split -d), NAME.0, NAME.1, ... (console dumpers):
// the file's bytes cut into members of one size but the last, with no header. Joining them is the
// copy a join makes of a series; what is found of them here is which members there are, which are
// missing, and a checksum list beside them in the forms md5sum, sha256sum and sha512sum write.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/sha256.h"

namespace tessarel {

struct NumberedSet {
    std::string prefix;                // the members' path up to their number
    std::string output;                // the file they make: the prefix without a final dot
    std::vector<std::string> members;  // full paths, in order, first to last
    std::vector<std::string> gaps;     // those missing among them, in order
};

// The set the file at path is a member of, by its name and the names beside it: nothing when
// its name is no member's (a series of our own's .m00 and .r00 are not), or fewer than two
// members are there, or they do not start at the first number (one member before it may be
// missing).
std::optional<NumberedSet> FindNumberedSet(const std::string& path);

// A checksum list beside a set: NAME.sha256, NAME.sha512, NAME.md5, SHA256SUMS, SHA512SUMS or
// MD5SUMS (any letter case), lines as md5sum/sha256sum/sha512sum write them ("HEX  NAME", "HEX
// *NAME") or with --tag ("SHA256 (NAME) = HEX"); only lines for the set's members or its output
// count.
struct SetList {
    std::string path;
    ListHash::Kind kind = ListHash::Kind::kSha256;
    std::vector<std::vector<uint8_t>> members;  // each member's digest, when every one has a line
    std::optional<std::vector<uint8_t>> whole;  // the output's, when it has a line
    std::string problem;                        // why it cannot be used (a line it cannot read)
};
std::optional<SetList> FindSetList(const NumberedSet& set);

// The first member (or the file they make, when the list has a line for that alone) that differs
// from its line, read through with the list's digest; "" when none does. Raises what a read
// raises.
std::string FirstDiffering(const NumberedSet& set, const SetList& list);

// Plain numbered pieces of our own with recovery pieces beside them (BASE.001, ..., BASE.r00,
// ...) are a series of ours: joined, checked and repaired as one, its plan given by the recovery
// pieces. The name of its first piece (BASE.001) when path is one of its pieces or recovery
// pieces and a whole recovery piece there says it is of plain pieces; else "".
std::string NumberedSeriesOf(const std::string& path);

}  // namespace tessarel
