// The sizes people type and the media presets, and that each preset cuts as it says.
#include "control/media_sizes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "cli/command_line.h"
#include "control/request_plan.h"
#include "support/temp_dir.h"

namespace tessarel {
namespace {

TEST(SizeText, UnitsCountAsGnuSplitCountsThem) {
    const struct {
        const char* text;
        int64_t bytes;
    } accepted[] = {
        {"0", 0},
        {"25000", 25000},
        {"100K", 102400},
        {"100k", 102400},
        {"100KiB", 102400},
        {"100KB", 100000},
        {"100kB", 100000},
        {"25M", 26214400},
        {"25MiB", 26214400},
        {"25MB", 25000000},
        {"4G", 4294967296},
        {"4GB", 4000000000},
        {"2T", 2199023255552},
        {"2TB", 2000000000000},
        {"FAT32", 4294967295},
        {"Mail25", 18000000},
        {"8388607T", 9223370937343148032},
        {"3b", 1536},
        {"25m", 26214400},
        {"1P", 1125899906842624},
        {"7E", 8070450532247928832},
        {"1PB", 1000000000000000},
    };
    for (const auto& c : accepted) {
        EXPECT_EQ(ParseSizeText(c.text), c.bytes) << c.text;
    }
    for (const char* refused :
         {"", "K", "25 M", " 25", "+25", "-1", "2.5G", "25mb", "25Mb", "b", "25MIB", "25KiBx", "1Z",
          "8E", "9223372036854775808", "8388608T", "99999999999999999999", "0x10", "floppy2"}) {
        EXPECT_EQ(ParseSizeText(refused), std::nullopt) << refused;
    }
}

// A piece of a sending preset arrives within the service's limit however its unit is read
// (MB as 1,000,000 or 1,048,576 bytes), and mail's after base64 (4 characters for 3 bytes, and
// CR LF after every 76); yet uses most of it.
TEST(MediaSizes, SendingPresetsFitTheirCitedLimits) {
    const struct {
        const char* name;
        int64_t limit;  // the smaller reading of the stated limit, in bytes as sent
        bool base64;
    } limits[] = {
        {"mail25", 25000000, true},
        {"mail10", 10000000, true},
        {"discord", 10000000, false},
        {"telegram", 2000000000, false},
    };
    for (const auto& l : limits) {
        const int64_t bytes = FindMediaSize(l.name)->bytes;
        const int64_t characters = (bytes + 2) / 3 * 4;
        const int64_t sent = l.base64 ? characters + (characters + 75) / 76 * 2 : bytes;
        EXPECT_LE(sent, l.limit) << l.name;
        EXPECT_GE(sent, l.limit * 95 / 100) << l.name;
    }
}

// Each preset cuts a file one byte longer than itself into exactly two pieces, the first of
// exactly the preset's size; the small ones through a real split of a sparse file.
TEST(MediaSizes, EachPresetMakesPiecesOfExactlyItsSize) {
    for (int i = 0; i < kMediaSizeCount; ++i) {
        const MediaSize& m = kMediaSizes[i];
        const auto plan = PlanSplit(m.bytes + 1, m.bytes);
        ASSERT_TRUE(std::holds_alternative<SeriesPlan>(plan)) << m.name;
        EXPECT_EQ(std::get<SeriesPlan>(plan).count, 2) << m.name;
        EXPECT_EQ(FindMediaSize(m.name), &m);
    }
    TempDir dir;
    for (const char* name : {"floppy", "mail10"}) {
        const std::string source = dir / (std::string(name) + ".bin");
        const int64_t bytes = FindMediaSize(name)->bytes;
        std::ofstream(source).close();
        std::filesystem::resize_file(source, static_cast<uintmax_t>(bytes + 1));
        TerminalIo io;
        io.err = std::tmpfile();
        FILE* out = std::tmpfile();
        ASSERT_EQ(RunCommandLine({"split", "-s", name, source}, io, out, false), kExitDone);
        std::fclose(io.err);
        std::fclose(out);
        EXPECT_EQ(std::filesystem::file_size(source + ".m00"), static_cast<uintmax_t>(bytes));
        EXPECT_EQ(std::filesystem::file_size(source + ".m01"), 21u) << "the header's 20, and 1";
        EXPECT_FALSE(std::filesystem::exists(source + ".m02")) << name;
    }
}

}  // namespace
}  // namespace tessarel
