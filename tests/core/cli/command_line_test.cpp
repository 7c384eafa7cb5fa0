// The command line's arguments, and its runs in this process, where the sanitizers see them.
#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "control/messages.h"
#include "support/refuse_access.h"
#include "support/series.h"
#include "support/temp_dir.h"

namespace tessarel {
namespace {

CommandLine Parsed(const std::vector<std::string>& args) {
    const auto parsed = ParseCommandLine(args);
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        ADD_FAILURE() << "refused: " << *error;
        return {};
    }
    return std::get<CommandLine>(parsed);
}

std::string UsageError(const std::vector<std::string>& args) {
    const auto parsed = ParseCommandLine(args);
    const auto* error = std::get_if<std::string>(&parsed);
    return error ? *error : "";
}

// The command words start the command line, and so does a first word that names no file: a
// command mistyped is said as such, not opened in the window.
TEST(CommandLineArguments, CommandWordsAndWordsThatNameNoFileStartTheCommandLine) {
    TempDir dir;
    WriteBytes(dir / "split", {1});
    const struct {
        std::vector<std::string> args;
        bool command_line;
    } cases[] = {
        {{"split", "x"}, true},      {{"join", "x"}, true},
        {{"check", "x"}, true},      {{"--help"}, true},
        {{"--version"}, true},       {{"Split", "x"}, true},
        {{dir / "movie.avi"}, true}, {{}, false},
        {{dir / "split"}, false},    {{"--split", "x"}, false},
        {{"-platform", "x"}, false}, {{"--", "splt"}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsCommandLineRun(c.args), c.command_line) << (c.args.empty() ? "" : c.args[0]);
    }
}

TEST(CommandLineArguments, TheWindowOpensOnItsFirstArgumentMadeAbsolute) {
    EXPECT_EQ(FileToOpen({}, "/home/u"), "");
    EXPECT_EQ(FileToOpen({"movie.avi"}, "/home/u"), "/home/u/movie.avi");
    EXPECT_EQ(FileToOpen({"./split"}, "/home/u"), "/home/u/./split");
#ifdef _WIN32
    EXPECT_EQ(FileToOpen({"D:\\media\\s.m03", "more"}, "C:\\u"), "D:\\media\\s.m03");
#else
    EXPECT_EQ(FileToOpen({"/media/s.m03", "more"}, "/home/u"), "/media/s.m03");
#endif
    EXPECT_EQ(FileToOpen({"--", "-x"}, "/home/u"), "/home/u/-x");
    EXPECT_EQ(FileToOpen({"--split", "--", "-x"}, "/home/u"), "/home/u/-x");
    EXPECT_TRUE(SplitWanted({"--split", "s.m00"}));
    EXPECT_FALSE(SplitWanted({"s.m00", "--split"}));
}

TEST(CommandLineArguments, SizesNamesAndTheEndOfOptions) {
    const CommandLine split = Parsed({"split", "--size", "5000", "--yes", "a.bin", "/w/b"});
    EXPECT_EQ(split.command, CommandLine::Command::kSplit);
    EXPECT_EQ(split.size, CommandLine::Size::kBytes);
    EXPECT_EQ(split.size_value, "5000");
    EXPECT_TRUE(split.yes);
    EXPECT_EQ(split.names, (std::vector<std::string>{"./a.bin", "/w/b"}));
    EXPECT_EQ(Parsed({"split", "--kb=700", "a"}).size, CommandLine::Size::kKilobytes);
    EXPECT_EQ(Parsed({"split", "--pieces", "4", "a"}).size_value, "4");
    EXPECT_EQ(Parsed({"split", "-s", "25M", "-y", "a"}).size_value, "26214400");
    EXPECT_EQ(Parsed({"split", "--size=fat32", "a"}).size_value, "4294967295");
    EXPECT_EQ(Parsed({"split", "-n", "4", "a"}).size, CommandLine::Size::kPieces);
    EXPECT_EQ(Parsed({"split", "a"}).size, CommandLine::Size::kDefault);
    // Values attached to short options, as getopt takes them.
    const CommandLine attached = Parsed({"split", "-s1M", "-r2", "a"});
    EXPECT_EQ(attached.size_value, "1048576");
    EXPECT_EQ(attached.recovery.value, 2);
    EXPECT_EQ(Parsed({"split", "-k700", "a"}).size_value, "700");
    EXPECT_EQ(Parsed({"join", "--", "-x.m00", "--yes"}).names,
              (std::vector<std::string>{"./-x.m00", "./--yes"}));
    EXPECT_FALSE(Parsed({"join", "--", "a.m00", "--yes"}).yes);
    EXPECT_EQ(Parsed({"check", "s.m00"}).names, std::vector<std::string>{"./s.m00"});
}

TEST(CommandLineArguments, WhatCannotBeUnderstoodIsAUsageError) {
    EXPECT_EQ(UsageError({"split"}), "split needs the name of a file");
    EXPECT_EQ(UsageError({"split", "a", "b", "c"}), "too many names for split: c");
    EXPECT_NE(UsageError({"check", "a", "b"}), "");
    EXPECT_NE(UsageError({"split", "--size", "12q", "a"}), "");
    EXPECT_NE(UsageError({"split", "--size"}), "");
    EXPECT_NE(UsageError({"split", "--pieces", "0", "a"}), "");
    EXPECT_NE(UsageError({"split", "--size", "1", "--kb", "2", "a"}), "");
    EXPECT_NE(UsageError({"join", "--size", "100", "a.m00"}), "");
    EXPECT_NE(UsageError({"check", "--yes", "a.m00"}), "");
    EXPECT_NE(UsageError({"split", "--bogus", "a"}), "");
    EXPECT_NE(UsageError({"split", "-yq", "a"}), "");
    EXPECT_NE(UsageError({"join", "--yes=1", "a"}), "");
}

// The command line's own run, with its messages and output caught in files.
class CommandLineRun : public testing::Test {
  protected:
    int Run(const std::vector<std::string>& args) {
        err_ = std::tmpfile();
        out_ = std::tmpfile();
        TerminalIo io;
        io.err = err_;
        io.in = nullptr;
        io.interactive = false;
        const int status = RunCommandLine(args, io, out_, false);
        err = Read(err_);
        out = Read(out_);
        return status;
    }
    static std::string Read(FILE* f) {
        std::string text;
        std::rewind(f);
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
            text.append(buffer, n);
        }
        std::fclose(f);
        return text;
    }

    TempDir dir;
    std::string err;
    std::string out;

  private:
    FILE* err_ = nullptr;
    FILE* out_ = nullptr;
};

TEST_F(CommandLineRun, SplitAsManyPiecesAsAskedThenCheckAndJoinBack) {
    const auto file = Pattern(10000, 4);
    WriteBytes(dir / "f.bin", file);
    EXPECT_EQ(Run({"split", "--pieces", "3", dir / "f.bin"}), kExitDone) << err;
    EXPECT_EQ(err, " Will split into  3 files.\n");
    EXPECT_EQ(ReadBytes(dir / "f.bin.m00"), ExpectedPieces(file, 3340)[0]) << "(10020 + 2) / 3";
    EXPECT_EQ(Run({"check", dir / "f.bin.m00"}), kExitDone);
    const std::string good = ": good, 3340 bytes, contents as listed\n";
    EXPECT_EQ(out, dir / "f.bin.m00" + good + dir / "f.bin.m01" + good + dir / "f.bin.m02" + good);
    EXPECT_EQ(Run({"join", dir / "f.bin.m00", dir / "back"}), kExitDone) << err;
    EXPECT_EQ(ReadBytes(dir / "back"), file);
}

TEST_F(CommandLineRun, WithoutATerminalAnExistingOutputIsKeptUnlessYesIsGiven) {
    WriteSeries(dir / "s", Pattern(1000), 100);
    WriteBytes(dir / "s", {1, 2, 3});
    EXPECT_EQ(Run({"join", dir / "s.m00"}), kExitFailed);
    EXPECT_EQ(ReadBytes(dir / "s"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_NE(err.find("Answered Cancel: there is no terminal to ask on.\n"
                       "Use --yes to replace the file.\n"
                       "tessarel: Could Not Perform The Specified Operation.\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(Run({"join", "--yes", dir / "s.m00"}), kExitDone) << err;
    EXPECT_EQ(ReadBytes(dir / "s"), Pattern(1000));
}

TEST_F(CommandLineRun, RefusalsAreTheWindowsMessagesAndExitOne) {
    WriteBytes(dir / "small.bin", Pattern(50));
    EXPECT_EQ(Run({"split", "--size", "20", dir / "small.bin"}), kExitFailed);
    EXPECT_EQ(err, "tessarel: Size to split to must be greater than 20.\n");
    EXPECT_EQ(Run({"split", "--size", "50", dir / "small.bin"}), kExitFailed);
    EXPECT_EQ(
        err,
        "tessarel: The size you have specified to split is larger than or equal to file size.\n");
    EXPECT_EQ(Run({"join", dir / "small.bin"}), kExitFailed);
    EXPECT_EQ(err, "tessarel: This file is not recogniseable.\n");
    EXPECT_EQ(Run({"check", dir / "small.bin"}), kExitFailed);
    EXPECT_EQ(err, "tessarel: This file is not recogniseable.\n");
    EXPECT_EQ(Run({"join", dir / "missing.m00"}), kExitFailed);
    EXPECT_EQ(err, "tessarel: " + dir / "missing.m00" + ": File Not Found.\n")
        << "an error about a file names it";
    // Sizes are 64-bit: one beyond 32 bits is simply larger than the file.
    EXPECT_EQ(Run({"split", "--size", "99999999999", dir / "small.bin"}), kExitFailed);
    EXPECT_EQ(
        err,
        "tessarel: The size you have specified to split is larger than or equal to file size.\n");
    EXPECT_TRUE(std::filesystem::exists(dir / "small.bin"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1)
        << "nothing was written";
}

TEST_F(CommandLineRun, ACheckNamesEveryPieceWithWhatIsWrongWithIt) {
    WriteSeries(dir / "s", Pattern(1000), 100);
    std::filesystem::remove(dir / "s.m03");
    std::filesystem::resize_file(dir / "s.m05", 60);
    std::filesystem::resize_file(dir / "s.m10", 25);
    EXPECT_EQ(Run({"check", dir / "s.m00"}), kExitFailed);
    EXPECT_NE(out.find(dir / "s.m03: missing\n"), std::string::npos) << out;
    EXPECT_NE(out.find(dir / "s.m05: 40 bytes short (60 of 100)\n"), std::string::npos) << out;
    EXPECT_NE(out.find(dir / "s.m10: 5 bytes longer than its series says (25 of 20)\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(err, "");
}

// A piece a mail program renamed is named, with what to do, by a join and by a check.
TEST_F(CommandLineRun, AMissingPiecesLookAlikeIsNamedWithWhatToDo) {
    WriteSeries(dir / "report.dat", Pattern(1000), 100);
    std::filesystem::rename(dir / "report.dat.m02", dir / "report.dat (1).m02");
    EXPECT_EQ(Run({"join", dir / "report.dat.m00"}), kExitFailed);
    EXPECT_EQ(err,
              "tessarel: The piece report.dat.m02 is missing; report.dat (1).m02 looks like it: "
              "rename it to "
              "report.dat.m02 and join again.\n");
    EXPECT_EQ(Run({"check", dir / "report.dat.m00"}), kExitFailed);
    EXPECT_NE(out.find(dir / "report.dat.m02: missing; report.dat (1).m02 looks like it: rename "
                             "it to report.dat.m02\n"),
              std::string::npos)
        << out;
}

TEST_F(CommandLineRun, UsageErrorsExitTwoAndSayHow) {
    EXPECT_EQ(Run({"split"}), kExitUsage);
    EXPECT_EQ(err, "tessarel: split needs the name of a file\nTry 'tessarel split --help'.\n");
    EXPECT_EQ(Run({"splt", "f"}), kExitUsage);
    EXPECT_EQ(err,
              "tessarel: unknown command 'splt' (split, join, check, repair)\nTry 'tessarel "
              "--help'.\n");
    EXPECT_EQ(Run({"join", dir / "noextension"}), kExitUsage);
    EXPECT_EQ(Run({"--help"}), kExitDone);
    EXPECT_EQ(out.rfind("Usage:", 0), 0u);
    EXPECT_EQ(Run({"--version"}), kExitDone);
    EXPECT_EQ(out, "tessarel " TESSAREL_VERSION "\n");
    // After a command, how to use that command, whatever else is given.
    const std::vector<std::vector<std::string>> helps = {
        {"split", "--help"}, {"join", "-y", "x.m00", "--help"}, {"check", "-h"}};
    for (const auto& args : helps) {
        EXPECT_EQ(Run(args), kExitDone) << err;
        EXPECT_EQ(out.rfind("Usage: tessarel " + args[0] + " ", 0), 0u) << out;
        EXPECT_EQ(out.find("[-r N|N%]") != std::string::npos, args[0] == "split") << out;
        EXPECT_EQ(err, "");
    }
    EXPECT_EQ(Run({"check", "--", "--help"}), kExitFailed) << "a name after --";
}

TEST_F(CommandLineRun, AGivenFirstPieceGetsM00AsInTheWindow) {
    WriteBytes(dir / "f.bin", Pattern(3000));
    EXPECT_EQ(Run({"split", "--size", "1000", dir / "f.bin", dir / "out"}), kExitDone) << err;
    EXPECT_TRUE(std::filesystem::exists(dir / "out.m03"));
    EXPECT_EQ(Run({"split", "--size", "1000", dir / "f.bin", dir / "again.m00"}), kExitDone);
    EXPECT_TRUE(std::filesystem::exists(dir / "again.m03"));
}

TEST(TerminalProgress, OneLineRewrittenOnATerminalAndNothingOtherwise) {
    for (const bool shown : {true, false}) {
        FILE* err = std::tmpfile();
        TerminalProgress progress(err, shown);
        progress.ShowTotal(3);
        progress.ShowOperating();
        progress.ShowPiece(1);
        progress.SetProgress(33.0f);
        progress.SetProgress(33.0f);
        TerminalIo io;
        io.err = err;
        TerminalMessageBox(io, false, &progress)
            .Show({MsgKind::kDiskError, "Disk is full.", kStyleWarning, "Disk Error"});
        progress.ShowPiece(2);
        progress.SetProgress(100.0f);
        progress.ShowIdle();
        std::rewind(err);
        char buffer[512] = {};
        const size_t n = std::fread(buffer, 1, sizeof buffer - 1, err);
        std::fclose(err);
        EXPECT_EQ(std::string(buffer, n),
                  shown ? "\rPiece 1 of 3,   0%\rPiece 1 of 3,  33%\ntessarel: Disk is full.\n"
                          "\rPiece 2 of 3,  33%\rPiece 2 of 3, 100%\n"
                        : "tessarel: Disk is full.\n");
    }
}

// check reads every piece through, names one it cannot read with the reason, and lists files
// of the series' name that follow its last piece.
TEST_F(CommandLineRun, ACheckReadsEveryPieceAndNamesWhatFollowsTheSeries) {
    WriteSeries(dir / "s", Pattern(1000), 100);
    WriteBytes(dir / "s.m11", {1});
    WriteBytes(dir / "s.m12", {2});
    {
        RefuseAccess refused(RefuseAccess::kReading, dir / "s.m03");
        EXPECT_EQ(Run({"check", dir / "s.m00"}), kExitFailed);
    }
    EXPECT_NE(out.find(dir / "s.m03: cannot be read: Path/File access error ("), std::string::npos)
        << out;
    EXPECT_NE(out.find(dir / "s.m11: is not part of this series\n" +
                       dir / "s.m12: is not part of this series\n"),
              std::string::npos)
        << out;
}

// A question that replaces something keeps it on Enter and at the end of input; the prompt says
// which answer Enter gives.
TEST(TerminalMessageBox, EnterAndTheEndOfInputKeepWhatAReplaceWouldDestroy) {
    for (const char* typed : {"\n", ""}) {
        for (const Notice& question :
             {OverwriteQuestion("out"),
              Notice(MsgKind::kLongerPieces, "Longer.", kStyleWarningOkCancel, "File Message")}) {
            FILE* in = std::tmpfile();
            FILE* err = std::tmpfile();
            std::fputs(typed, in);
            std::rewind(in);
            TerminalIo io;
            io.in = in;
            io.err = err;
            io.interactive = true;
            EXPECT_EQ(TerminalMessageBox(io, false).Show(question), kAnswerCancel);
            std::rewind(err);
            char text[1024] = {};
            const size_t n = std::fread(text, 1, sizeof text - 1, err);
            EXPECT_NE(std::string(text, n).find("[OK/Cancel, Enter for Cancel] "),
                      std::string::npos);
            std::fclose(in);
            std::fclose(err);
        }
    }
}

// Names with control characters are shown as ls shows them, so they can be pasted back.
TEST(QuotedName, ControlCharactersAreQuotedAsLsQuotesThem) {
    EXPECT_EQ(QuotedName("plain name.m00"), "plain name.m00");
    EXPECT_EQ(QuotedName("a\nb"), "'a'$'\\n''b'");
    EXPECT_EQ(QuotedName("it's\x01"), "'it'\\''s'$'\\001'");
}

// An empty name is no name; a folder as the destination means a file of the default name in it.
TEST_F(CommandLineRun, EmptyNamesAreRefusedAndAFolderTakesTheResultAsCpDoes) {
    WriteBytes(dir / "f.bin", Pattern(1000));
    std::filesystem::create_directory(dir / "out");
    EXPECT_EQ(Run({"split", "--size", "300", dir / "f.bin", ""}), kExitUsage);
    EXPECT_EQ(err.rfind("tessarel: an empty name is no file's name\n", 0), 0u) << err;
    EXPECT_EQ(Run({"split", "--size", "300", dir / "f.bin", dir / "out"}), kExitDone) << err;
    EXPECT_TRUE(std::filesystem::exists(dir / "out/f.bin.m03"));
    EXPECT_EQ(Run({"split", "--yes", "--size", "300", dir / "f.bin", dir / "out/"}), kExitDone)
        << err;
    EXPECT_EQ(Run({"join", "--yes", dir / "out/f.bin.m00", dir.path()}), kExitDone) << err;
    EXPECT_EQ(ReadBytes(dir / "f.bin"), Pattern(1000));
    EXPECT_FALSE(std::filesystem::exists(dir / ".m00"));
}

// check compares every piece with the series' list, and says so when there is none to compare
// with.
TEST_F(CommandLineRun, ACheckComparesContentsWithTheListOrSaysItCouldNot) {
    WriteBytes(dir / "f.bin", Pattern(1000));
    ASSERT_EQ(Run({"split", "--size", "300", dir / "f.bin", dir / "s"}), kExitDone);
    auto piece = ReadBytes(dir / "s.m01");
    piece[7] ^= 0x80;
    WriteBytes(dir / "s.m01", piece);
    EXPECT_EQ(Run({"check", dir / "s.m00"}), kExitFailed);
    EXPECT_NE(out.find(dir / "s.m00: good, 300 bytes, contents as listed\n" +
                       dir / "s.m01: damaged: its contents differ from when it was split\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(Run({"join", dir / "s.m00", dir / "back"}), kExitFailed);
    EXPECT_EQ(Run({"join", "--no-verify", dir / "s.m00", dir / "back"}), kExitDone);
    std::filesystem::remove(dir / "s.sha256");
    EXPECT_EQ(Run({"check", dir / "s.m00"}), kExitDone);
    EXPECT_NE(out.find("Contents not compared: there is no checksum list s.sha256.\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(Run({"split", "--yes", "--no-checksums", "--size", "300", dir / "f.bin", dir / "s"}),
              kExitDone);
    EXPECT_FALSE(std::filesystem::exists(dir / "s.sha256"));
}

}  // namespace
}  // namespace tessarel
