#include "engine/series_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "engine/piece_series.h"
#include "platform/sha256.h"
#include "support/error_of.h"
#include "support/series.h"
#include "support/temp_dir.h"

namespace tessarel {
namespace {

namespace fs = std::filesystem;

// Every piece of a series of 11 (1000 bytes in pieces of 100), damaged one way or another.
TEST(SeriesCheck, EachPieceIsMeasuredAgainstWhatTheSeriesSays) {
    TempDir dir;
    WriteSeries(dir / "s", Pattern(1000), 100);
    fs::remove(dir / "s.m02");
    fs::resize_file(dir / "s.m03", 60);
    fs::resize_file(dir / "s.m04", 101);
    fs::remove(dir / "s.m05");
    fs::create_directory(dir / "s.m05");
    fs::resize_file(dir / "s.m10", 19);
    const auto pieces = CheckSeries(dir / "s.m00", 1020, 100);
    ASSERT_EQ(pieces.size(), 11u);
    struct Expected {
        int64_t number;
        PieceState state;
        int64_t expected, actual;
    };
    const Expected table[] = {
        {1, PieceState::kGood, 100, 100},      {3, PieceState::kMissing, 100, 0},
        {4, PieceState::kShort, 100, 60},      {5, PieceState::kLonger, 100, 101},
        {6, PieceState::kNotOrdinary, 100, 0}, {11, PieceState::kShort, 20, 19},
    };
    for (const Expected& e : table) {
        const PieceCheck& p = pieces[static_cast<size_t>(e.number - 1)];
        EXPECT_EQ(p.number, e.number);
        EXPECT_EQ(p.name, PieceName(dir / "s", e.number));
        EXPECT_EQ(p.state, e.state) << e.number;
        EXPECT_EQ(p.expected, e.expected) << e.number;
        EXPECT_EQ(p.actual, e.actual) << e.number;
    }
    EXPECT_EQ(FirstBadPiece(pieces)->number, 3) << "a longer piece does not make it unusable";
}

// A missing piece under a name mail programs, browsers and file managers give it is found, by
// name, length and (when the series' checksums are known) contents; nothing else is.
TEST(SeriesCheck, AMissingPiecesLookAlikeIsNamed) {
    std::vector<std::string> found = {"report.dat (1).m02",  "report.dat(2).m02",
                                      "report.dat-1.m02",    "report.dat - Copy.m02",
                                      "report.dat.m02.part", "report.dat.m02.download",
                                      "report.dat.m02.m02"};
#ifndef _WIN32  // where names differ by letter case alone
    found.push_back("REPORT.DAT.M02");
#endif
    const char* const not_found[] = {"report.dat (1).m03", "other.dat.m02", "report.dat.m02.zip",
                                     "report.dat (x).m02"};
    TempDir dir;
    WriteSeries(dir / "report.dat", Pattern(1000), 100);
    const std::string missing = dir / "report.dat.m02";
    const auto look_alike = [&](const SeriesDigests* digests = nullptr) {
        const SeriesPlan plan{1020, 100, 11};
        return CheckSeries(dir / "report.dat.m00", plan, CheckDepth::kLengths, digests)[2]
            .look_alike;
    };
    for (const std::string& name : found) {
        fs::rename(missing, dir / name);
        EXPECT_EQ(look_alike(), dir / name);
        fs::rename(dir / name, missing);
    }
    std::vector<uint8_t> piece = ReadBytes(missing);
    fs::remove(missing);
    for (const char* name : not_found) {
        WriteBytes(dir / name, piece);
        EXPECT_EQ(look_alike(), "") << name;
        fs::remove(dir / name);
    }
    WriteBytes(dir / "report.dat (1).m02", Pattern(99));
    EXPECT_EQ(look_alike(), "") << "of another length";
    // Of the right length, and of the contents the checksum says or not.
    SeriesDigests digests;
    for (const auto& p : ExpectedPieces(Pattern(1000), 100)) {
        Sha256 hash;
        hash.Update(p.data(), p.size());
        digests.pieces.push_back(hash.Finish());
    }
    piece[50] ^= 1;
    WriteBytes(dir / "report.dat (1).m02", piece);
    EXPECT_EQ(look_alike(), dir / "report.dat (1).m02");
    EXPECT_EQ(look_alike(&digests), "") << "its contents differ from the list's";
    piece[50] ^= 1;
    WriteBytes(dir / "report.dat (1).m02", piece);
    EXPECT_EQ(look_alike(&digests), dir / "report.dat (1).m02");
}

#ifndef _WIN32  // links, named pipes and devices as POSIX has them
// A piece that cannot even be looked at (a link that leads to itself) is a failure to look, not
// a missing piece.
TEST(SeriesCheck, AFailureToLookOtherThanAMissingFileIsRaised) {
    TempDir dir;
    WriteSeries(dir / "s", Pattern(1000), 100);
    fs::remove(dir / "s.m01");
    fs::create_symlink(dir / "s.m01", dir / "s.m01");
    EXPECT_EQ(ErrorOf([&] { CheckSeries(dir / "s.m00", 1020, 100); }), kErrPathFileAccess);
}
#endif

}  // namespace
}  // namespace tessarel
