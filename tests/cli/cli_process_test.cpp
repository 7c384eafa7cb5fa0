// The command line as a script or a person uses it: the installed program run as a process,
// with no display, its exit status, what it prints, and what it leaves on disk.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/child_process.h"
#include "support/series.h"
#include "support/temp_dir.h"

namespace tessarel {
namespace {

namespace fs = std::filesystem;

class CommandLineProcess : public testing::Test {
  protected:
    ChildResult Run(const std::vector<std::string>& args, ChildOptions options = {}) {
        options.folder = dir.path();
        ChildResult result = RunChild(TESSAREL_PROGRAM, args, options);
        EXPECT_FALSE(result.timed_out) << "tessarel did not end within its deadline";
        return result;
    }
    TempDir dir;
};

TEST_F(CommandLineProcess, RoundTripOfANameWithBlanksAndBytesThatAreNoText) {
    const std::string name = "my file \xff\xfe.bin";  // not UTF-8: taken byte for byte
    const auto file = Pattern(300000, 9);
    WriteBytes(dir / name, file);
    ChildResult r = Run({"split", "--kb", "100", name});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, " Will split into  3 files.\n");
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(fs::exists(dir / (name + ".m02")));
    r = Run({"check", name + ".m00"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "./" + name + ".m00: good, 102400 bytes\n./" + name +
                         ".m01: good, 102400 bytes\n./" + name + ".m02: good, 95220 bytes\n");
    fs::rename(dir / name, dir / "original");
    r = Run({"join", name + ".m00"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(dir / name), file);
}

TEST_F(CommandLineProcess, ANameThatLooksLikeAnOptionAfterTheEndOfOptions) {
    WriteBytes(dir / "-v.bin", Pattern(5000));
    ChildResult r = Run({"split", "--size", "1000", "--", "-v.bin"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir / "-v.bin.m05"));
    r = Run({"split", "--size", "1000", "-v.bin"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("tessarel: unknown option for split: -v.bin\nUsage:", 0), 0u) << r.err;
}

TEST_F(CommandLineProcess, ExitStatusesAndMessagesOfRefusals) {
    WriteBytes(dir / "f.bin", Pattern(10000));
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {{"split", "--size", "20", "f.bin"}, 1, "Size to split to must be greater than 20.\n"},
        {{"split", "--size", "5", "--pieces", "3", "f.bin"}, 2, ""},
        {{"split", "--size", "100", "missing.bin"}, 1, "File Not Found.\n"},
        {{"split", "--size", "9", "f.bin", "/nonexistent/s"},
         1,
         "Size to split to must be greater than 20.\n"},
        {{"split", "--pieces", "101", "f.bin"}, 1, "The number of split files will exceed 100.\n"},
        {{"join", "f.bin"}, 1, "This file is not recogniseable.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        const ChildResult r = Run(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        if (!c.err.empty()) {
            EXPECT_EQ(r.err, c.err);
        }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
        << "a refused command wrote something";
}

TEST_F(CommandLineProcess, ADiskThatIsFullIsAnsweredNoWithoutATerminal) {
    WriteBytes(dir / "f.bin", Pattern(1000));
    fs::create_symlink("/dev/full", dir / "s.m02");
    const ChildResult r = Run({"split", "--size", "100", "f.bin", "s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              " Will split into  11 files.\nDisk is full. Continue?\n"
              "Answered No: standard input is not a terminal.\n"
              "Could Not Perform The Specified Operation.\n");
    EXPECT_FALSE(fs::exists(dir / "s.m03"));
}

TEST_F(CommandLineProcess, AMissingPieceIsNamedAndNothingIsWritten) {
    WriteSeries(dir / "s", Pattern(1000), 100);
    fs::remove(dir / "s.m04");
    const ChildResult r = Run({"join", "--yes", "s.m00", "out"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "The piece s.m04 is missing.\n");
    EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST_F(CommandLineProcess, OnATerminalTheQuestionIsAskedThere) {
    WriteSeries(dir / "s", Pattern(1000), 100);
    WriteBytes(dir / "out", {7});
    ChildOptions options;
    options.terminal_input = true;
    options.input = "cancel\n";
    ChildResult r = Run({"join", "s.m00", "out"}, options);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("Choose OK to replace file, Cancel to stop.\n[OK/Cancel, Enter for OK] "),
              std::string::npos)
        << r.err;
    EXPECT_EQ(ReadBytes(dir / "out"), std::vector<uint8_t>{7});
    options.input = "ok\n";
    r = Run({"join", "s.m00", "out"}, options);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(dir / "out"), Pattern(1000));
}

}  // namespace
}  // namespace tessarel
