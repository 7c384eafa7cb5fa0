// Piece sizes people think in: the media a piece is carried on, and sizes written with a unit
// ("25M", "4GiB"). The window's size menu and the command line's --size both read this table.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tessarel {

struct MediaSize {
    const char* name;     // what the command line takes: "fat32"
    const char* caption;  // what the window's menu shows
    int64_t bytes;        // the piece size
    const char* why;      // where the figure comes from, in a line
};

extern const MediaSize kMediaSizes[];
extern const int kMediaSizeCount;

// The preset of that name, in any letter case.
const MediaSize* FindMediaSize(const std::string& name);

// A size as typed: a whole number of bytes, optionally followed by a unit read as GNU split -b
// reads it (b: 512; K M G T P E, and k m: 1024, 1024^2, ...; KB MB GB TB PB EB: 1000, 1000^2,
// ...; KiB MiB ...: as K M ...), or a preset's name. Nothing else: no blanks, signs, fractions, or
// sizes beyond 63 bits.
std::optional<int64_t> ParseSizeText(const std::string& text);

// The accepted forms, for a usage error and --help.
extern const char kSizeForms[];

}  // namespace tessarel
