// What the window is set to for a file handed to the program.
#include "control/open_file.h"

#include <gtest/gtest.h>

#include "support/series.h"
#include "support/temp_dir.h"

namespace tessarel {
namespace {

TEST(ProposeFor, AFirstPieceALaterPieceOrAnyOtherFile) {
    TempDir dir;
    WriteSeries(dir / "movie", Pattern(1000), 100);
    WriteBytes(dir / "notes.txt", Pattern(50));
    WriteBytes(dir / "other.m03", Pattern(50));  // a later name with no series behind it

    FileProposal p = ProposeFor(dir / "movie.m00");
    EXPECT_EQ(p.mode, Mode::kJoin);
    EXPECT_EQ(p.open, dir / "movie.m00");
    EXPECT_EQ(p.save, dir / "movie");

    p = ProposeFor(dir / "movie.m07");
    EXPECT_EQ(p.mode, Mode::kJoin);
    EXPECT_EQ(p.open, dir / "movie.m00") << "the first piece of the series is used";
    EXPECT_EQ(p.save, dir / "movie");

    for (const std::string& name :
         {std::string("notes.txt"), std::string("other.m03"), std::string("missing.bin")}) {
        p = ProposeFor(dir / name);
        EXPECT_EQ(p.mode, Mode::kSplit) << name;
        EXPECT_EQ(p.open, dir / name);
        EXPECT_EQ(p.save, dir / name + ".m00");
    }
    // The first piece lost, recovery pieces there: any piece opened stands for the series.
    WriteBytes(dir / "lost.m04", Pattern(50));
    WriteBytes(dir / "lost.R01", Pattern(50));
    for (const char* name : {"lost.m04", "lost.R01"}) {
        p = ProposeFor(dir / name);
        EXPECT_EQ(p.mode, Mode::kJoin) << name;
        EXPECT_EQ(p.open, dir / (name[5] == 'R' ? "lost.M00" : "lost.m00")) << name;
    }
    p = ProposeFor(dir / "movie.m07", true);  // "Split with Tessarel" on a piece
    EXPECT_EQ(p.mode, Mode::kSplit);
    EXPECT_EQ(p.save, dir / "movie.m07.m00");
}

TEST(ProposeFor, AFirstPieceUnderAnyNameIsJoinedIntoItsBaseName) {
    TempDir dir;
    WriteSeries(dir / "s", Pattern(1000), 100);
    std::filesystem::rename(dir / "s.m00", dir / "renamed.prt");
    EXPECT_EQ(ProposeFor(dir / "renamed.prt").save, dir / "renamed");
    std::filesystem::rename(dir / "renamed.prt", dir / "noextension");
    const FileProposal p = ProposeFor(dir / "noextension");
    EXPECT_EQ(p.mode, Mode::kJoin);
    EXPECT_EQ(p.save, "") << "no name to offer: the user gives one";
}

}  // namespace
}  // namespace tessarel
