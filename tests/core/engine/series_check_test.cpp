#include "engine/series_check.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/piece_series.h"
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
