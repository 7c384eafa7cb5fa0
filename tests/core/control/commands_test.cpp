// The Go command as the window runs it, with the window's fields held in a stand-in: the rules of
// split and join requests, the order of their questions, and what reaches the disk.
#include "control/commands.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <map>

#include "engine/recovery.h"
#include "platform/path.h"
#include "support/fake_form.h"
#include "support/recording_display.h"
#include "support/scripted_message_box.h"
#include "support/series.h"
#include "support/temp_dir.h"

namespace tessarel {
namespace {

namespace fs = std::filesystem;

class GoCommandTest : public testing::Test {
  protected:
    void TearDown() override {
        EXPECT_EQ(answers.Unanswered(), 0u) << "a scripted answer was never asked for";
        EXPECT_TRUE(display.Idle());
    }
    void Names(const std::string& open, const std::string& save) {
        form.open = open;
        form.save = save;
    }
    void Exact(int64_t bytes) {
        form.exact_selected = true;
        form.exact = std::to_string(bytes);
    }
    void Join() { form.split = false; }
    void Go() { GoWithForm(form, display, answers); }
    std::vector<std::string> Prompts() const { return answers.Prompts(); }

    TempDir dir;
    FakeForm form;
    RecordingDisplay display;
    ScriptedMessageBox answers;
};

TEST_F(GoCommandTest, SizeRefusalsComeWithTheirOwnMessages) {
    WriteBytes(dir / "src.bin", Pattern(2081));
    Names(dir / "src.bin", dir / "out");
    struct Case {
        std::string exact;  // empty: Approximate with an empty entry
        std::string message;
    };
    const Case cases[] = {
        {"20", "Size to split to must be greater than 20."},
        {"2081", "The size you have specified to split is larger than or equal to file size."},
        {"99999", "The size you have specified to split is larger than or equal to file size."},
        {"21", TooManyPiecesMessage(22)},
        {"", "Size to split to must be greater than 20."},
    };
    for (const Case& c : cases) {
        answers.Answer(kAnswerOk);
        if (c.exact.empty()) {
            form.exact_selected = false;
            form.approx = "";
        } else {
            Exact(std::stoi(c.exact));
        }
        Go();
        EXPECT_EQ(answers.shown.back().prompt, c.message) << c.exact;
        EXPECT_EQ(answers.shown.back().style, kStyleWarning);
        EXPECT_EQ(answers.shown.back().title, "ERROR!");
    }
    EXPECT_EQ(form.size, " 0");
}

TEST_F(GoCommandTest, OneHundredPiecesAreAcceptedAndTheSeriesIsExact) {
    const std::vector<uint8_t> file = Pattern(2080);
    WriteBytes(dir / "src.bin", file);
    answers.Answer(kAnswerOk);
    Names(dir / "src.bin", dir / "out");
    Exact(21);
    Go();
    ASSERT_EQ(Prompts(), std::vector<std::string>{" Will split into  100 files."});
    EXPECT_EQ(display.total, "100");
    const auto expected = ExpectedPieces(file, 21);
    ASSERT_EQ(expected.size(), 100u);
    for (size_t n = 0; n < expected.size(); ++n) {
        ASSERT_EQ(ReadBytes(PieceName(dir / "out", int64_t(n) + 1)), expected[n]);
    }
    EXPECT_EQ(display.progress.back(), 100);
}

TEST_F(GoCommandTest, AnEmptyExactEntryIsATypeMismatch) {
    WriteBytes(dir / "src.bin", Pattern(100));
    answers.Answer(kAnswerOk);
    Names(dir / "src.bin", dir / "out");
    form.exact_selected = true;
    form.exact = "";
    Go();
    EXPECT_EQ(Prompts(), std::vector<std::string>{"Error #  13\rType mismatch"});
    ASSERT_GE(answers.shown.size(), 1u) << "messages shown";
    EXPECT_EQ(answers.shown[0].style, kStylePlain);
    EXPECT_EQ(answers.shown[0].title, "Error");
}

TEST_F(GoCommandTest, AMissingSourceSaysFileNotFoundAndNothingMore) {
    answers.Answer(kAnswerOk);
    Names(dir / "absent.bin", dir / "out");
    Go();
    EXPECT_EQ(Prompts(), std::vector<std::string>{"File Not Found."});
    ASSERT_GE(answers.shown.size(), 1u) << "messages shown";
    EXPECT_EQ(answers.shown[0].title, "Disk Error");
    EXPECT_FALSE(fs::exists(dir / "absent.bin"));
}

TEST_F(GoCommandTest, ADestinationWithoutAFolderIsAnInvalidArgument) {
    WriteBytes(dir / "src.bin", Pattern(100));
    answers.Answer(kAnswerOk);
    Names(dir / "src.bin", "out");
    Go();
    EXPECT_EQ(Prompts(),
              std::vector<std::string>{"Error #  5\rInvalid procedure call or argument"});
}

TEST_F(GoCommandTest, AHiddenDestinationIsAskedAboutToo) {
    WriteBytes(dir / "src.bin", Pattern(1000));
    WriteBytes(dir / ".out.m00", {1});
    answers.Answer(kAnswerOk);
    answers.Answer(kAnswerOk);
    Names(dir / "src.bin", dir / ".out.m00");
    Exact(500);
    Go();
    ASSERT_EQ(answers.shown.size(), 2u);
    EXPECT_EQ(answers.shown[1].prompt.rfind("The file .out.m00\r\n", 0), 0u);
    EXPECT_EQ(ReadBytes(dir / ".out.m00"), ExpectedPieces(Pattern(1000), 500)[0]);
}

#ifndef _WIN32  // links, named pipes and devices as POSIX has them
// Only ordinary files are replaced: whatever else holds a name the request would write (any
// piece of a split, a join's output) refuses it by name before anything is written, and is
// left as it was. A name that names no file is refused as no name.
TEST_F(GoCommandTest, OnlyOrdinaryFilesAreReplacedAndOnlyNamedFilesWritten) {
    WriteBytes(dir / "src.bin", Pattern(1000));
    WriteSeries(dir / "s", Pattern(1000), 100);
    WriteBytes(dir / "target", {7});
    fs::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_directory(dir / "out.m00");
    fs::create_symlink(dir / "target", dir / "l.m02");
    fs::create_symlink(dir / "fifo", dir / "p.m01");
    fs::create_symlink(dir / "nowhere", dir / "dangling");
    fs::create_symlink(dir / "target", dir / "to-target");
    auto taken = [](const std::string& name, const std::string& by) {
        return "The name " + name + " is taken by " + by +
               ", and only ordinary files are replaced. Choose another name to save.";
    };
    const std::string device = "a device, a pipe or a socket";
    struct Case {
        bool split;
        std::string save;
        std::string message;
    };
    const Case cases[] = {
        {true, dir / "out.m00", taken("out.m00", "a folder")},
        {true, dir / "l", taken("l.m02", "a link")},
        {true, dir / "p", taken("p.m01", "a link")},
        {false, "/dev/null", taken("null", device)},
        {false, dir / "fifo", taken("fifo", device)},
        {false, dir / "dangling", taken("dangling", "a link")},
        {false, dir / "to-target", taken("to-target", "a link")},
        {false, dir / "folder/", kNoFileMessage},
        {true, dir / "folder/", kNoFileMessage},
        {false, "   ", kNoFileMessage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.save);
        const auto before = fs::file_size(dir / "target");
        answers.Answer(kAnswerOk);
        form.split = c.split;
        Names(c.split ? dir / "src.bin" : dir / "s.m00", c.save);
        Exact(100);
        Go();
        EXPECT_EQ(Prompts(), std::vector<std::string>{c.message});
        answers.shown.clear();
        EXPECT_EQ(fs::file_size(dir / "target"), before);
        EXPECT_FALSE(fs::exists(dir / "nowhere"));
    }
    EXPECT_TRUE(fs::is_directory(dir / "out.m00"));
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}
#endif

#ifndef _WIN32  // links, named pipes and devices as POSIX has them
TEST_F(GoCommandTest, ASplitOntoItsOwnSourceIsRefusedBeforeAnythingIsTouched) {
    const std::vector<uint8_t> file = Pattern(1000);
    WriteBytes(dir / "data.m00", file);
    WriteBytes(dir / "other.m03", file);
    fs::create_symlink(dir / "data.m00", dir / "link.m00");
    const std::pair<std::string, std::string> cases[] = {
        {dir / "data.m00", dir / "data.m00"},  // the same name
        {dir / "data.m00", dir / "data"},      // the same name once ".m00" is added
        {dir / "data.m00", dir / "link.m00"},  // the same file through a link
        {dir / "other.m03", dir / "other"},    // the fourth piece would be the source
    };
    for (const auto& [source, dest] : cases) {
        answers.Answer(kAnswerOk);
        Names(source, dest);
        Exact(100);
        Go();
        EXPECT_EQ(answers.shown.back().prompt, kSplitOntoSourceMessage) << dest;
        EXPECT_EQ(answers.shown.back().style, kStyleWarning);
        EXPECT_EQ(answers.shown.back().title, "ERROR!");
        EXPECT_EQ(ReadBytes(source), file);
    }
    EXPECT_FALSE(fs::exists(dir / "other.m00"));
}
#endif

#ifndef _WIN32  // links, named pipes and devices as POSIX has them
TEST_F(GoCommandTest, AJoinOntoAPieceOfItsSeriesIsRefused) {
    const std::vector<uint8_t> file = Pattern(1000);
    WriteSeries(dir / "s", file, 100);
    fs::create_symlink(dir / "s.m01", dir / "link");
    Join();
    for (const std::string& dest : {dir / "s.m00", dir / "s.m04", dir / "link", dir / "s.m10"}) {
        answers.Answer(kAnswerOk);
        Names(dir / "s.m00", dest);
        Go();
        EXPECT_EQ(answers.shown.back().prompt, kJoinOntoPieceMessage) << dest;
    }
    EXPECT_EQ(ReadBytes(dir / "s.m04"), ExpectedPieces(file, 100)[4]);
}
#endif

TEST_F(GoCommandTest, AJoinRebuildsASeriesMadeWithoutTheProgram) {
    const std::vector<uint8_t> file = Pattern(1000);
    WriteSeries(dir / "s", file, 100);
    answers.Answer(kAnswerOk);
    Join();
    Names(dir / "s.m00", dir / "rebuilt");
    Go();
    EXPECT_EQ(Prompts(), std::vector<std::string>{" Will need  11 files to join."});
    EXPECT_EQ(display.total, "11");
    EXPECT_EQ(ReadBytes(dir / "rebuilt"), file) << "no extension is added to a join's output";
}

TEST_F(GoCommandTest, FilesThatCannotBeFirstPiecesAreNotRecognised) {
    Join();
    const std::string head = "KESTRAVOLN";
    const std::pair<std::string, std::vector<uint8_t>> cases[] = {
        {"second piece", ExpectedPieces(Pattern(1000), 100)[1]},
        {"lower case",
         [] {
             auto p = ExpectedPieces(Pattern(1000), 100)[0];
             p[9] = 'n';
             return p;
         }()},
        {"20 bytes", std::vector<uint8_t>(head.begin(), head.end())},
        {"empty", {}},
        {"negative",
         [&] {
             std::string h = head + "-000000010";
             std::vector<uint8_t> p(h.begin(), h.end());
             p.resize(100, 1);
             return p;
         }()},
        {"holds all",
         [&] {
             std::string h = head + "0000000080";  // a stream of exactly 100 bytes in one piece
             std::vector<uint8_t> p(h.begin(), h.end());
             p.resize(100, 1);
             return p;
         }()},
    };
    for (const auto& [what, bytes] : cases) {
        WriteBytes(dir / "p.m00", bytes);
        answers.Answer(kAnswerOk);
        Names(dir / "p.m00", dir / "out");
        Go();
        EXPECT_EQ(answers.shown.back().prompt, "This file is not recogniseable.") << what;
        EXPECT_FALSE(fs::exists(dir / "out")) << what;
    }
}

TEST_F(GoCommandTest, ALengthWithLettersIsNotRecognised) {
    std::string h = "KESTRAVOLN00000ABCDE";
    std::vector<uint8_t> p(h.begin(), h.end());
    p.resize(100, 1);
    WriteBytes(dir / "p.m00", p);
    answers.Answer(kAnswerOk);
    Join();
    Names(dir / "p.m00", dir / "out");
    Go();
    EXPECT_EQ(Prompts(), std::vector<std::string>{kNotRecognisedMessage});
}

TEST_F(GoCommandTest, CancelAtTheConfirmationIsSilent) {
    WriteSeries(dir / "s", Pattern(1000), 100);
    answers.Answer(kAnswerCancel);
    Join();
    Names(dir / "s.m00", dir / "out");
    Go();
    EXPECT_EQ(answers.shown.size(), 1u);
    EXPECT_FALSE(fs::exists(dir / "out"));
}

// Piece sizes are 64-bit: the largest file FAT32 holds cuts a 9 GB file into three pieces.
TEST_F(GoCommandTest, PiecesOfFourGibibytesAndMore) {
    WriteBytes(dir / "big.iso", {});
    fs::resize_file(dir / "big.iso", 9000000000);  // sparse: no disk used
    answers.Answer(kAnswerCancel);
    Names(dir / "big.iso", dir / "big");
    form.exact_selected = true;
    form.exact = "4294967295";
    Go();
    EXPECT_EQ(Prompts(), std::vector<std::string>{" Will split into  3 files."});
    EXPECT_EQ(form.size, " 4294967295");
}

// Ranges a failing medium cannot read (EIO, given through the file layer's hook) in three
// pieces, in different stripes, and a fourth piece lost: each range is a bad stripe, not a lost
// piece, so two recovery pieces rebuild all of it, and the join never reads a bad range.
struct Unreadable {
    std::map<std::string, int64_t> at;  // a piece's name, and a byte of it that cannot be read
    int failed = 0;
};
Fault FailRanges(FileOp op, const std::string& path, int64_t position, int32_t size,
                 void* context) {
    auto& bad = *static_cast<Unreadable*>(context);
    const auto found = bad.at.find(NameOf(path));
    if (op == FileOp::Read && found != bad.at.end() && position <= found->second &&
        found->second < position + size) {
        ++bad.failed;
        return Fault::kDeviceIo;
    }
    return Fault::kNone;
}

TEST_F(GoCommandTest, AnUnreadableRangeIsABadStripeNotALostPiece) {
    const auto file = Pattern(8 * 80000, 3);
    WriteBytes(dir / "f", file);
    SplitRequest split;
    split.source = dir / "f";
    split.destination = dir / "f.m00";
    split.piece_size = 80000;
    split.recovery = RecoveryCount{2, false};
    answers = ScriptedMessageBox{kAnswerOk};
    ASSERT_TRUE(RunSplit(split, display, answers));
    fs::remove(fs::u8path(dir / "f.m05"));
    const int64_t stripe = StripeSizeFor(80000, 9);
    Unreadable bad{{{"f.m01", 100}, {"f.m02", stripe + 100}, {"f.m07", 2 * stripe + 100}}};
    SetFileFaultHook(FailRanges, &bad);
    answers = ScriptedMessageBox{kAnswerOk, kAnswerOk};
    const bool joined = RunJoin({dir / "f.m00", dir / "back"}, display, answers);
    SetFileFaultHook(nullptr, nullptr);
    EXPECT_TRUE(joined) << testing::PrintToString(Prompts());
    EXPECT_EQ(ReadBytes(dir / "back"), file);
    EXPECT_GT(bad.failed, 0) << "the unreadable ranges were never met";
    EXPECT_EQ(Prompts().back(),
              "Rebuilt from the recovery pieces: f.m01, f.m02, f.m05 and f.m07. "
              "The joined file is whole; your pieces are as they were.");
}

// A medium that fails to give back what was just written: read back, the split fails naming
// the piece, and nothing of it is kept (the faults come through the file layer's hook, so the
// read-back path of each system's file layer is what meets them).
Fault FailReadBack(FileOp op, const std::string& path, int64_t, int32_t size, void*) {
    const bool read_back = op == FileOp::Read && size == (1 << 20);
    return read_back && NameOf(path).rfind(".f.m01.tessarel-", 0) == 0 ? Fault::kDeviceIo
                                                                       : Fault::kNone;
}

TEST_F(GoCommandTest, WhatTheMediumDoesNotGiveBackFailsTheSplit) {
    WriteBytes(dir / "f", Pattern(300000, 8));
    SplitRequest split;
    split.source = dir / "f";
    split.destination = dir / "f.m00";
    split.piece_size = 100000;
    split.read_back = true;
    SetFileFaultHook(FailReadBack, nullptr);
    answers = ScriptedMessageBox{kAnswerOk, kAnswerOk};
    const bool done = RunSplit(split, display, answers);
    SetFileFaultHook(nullptr, nullptr);
    EXPECT_FALSE(done);
    EXPECT_EQ(Prompts().back(),
              "f.m01 was written but the medium gives back other bytes: the stick or disc may be "
              "failing or smaller than it says. Nothing else was changed.");
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::u8path(dir.path())), {}), 1)
        << "only the source is left";
    // Read back from a medium that keeps it, the same split is done.
    answers = ScriptedMessageBox{kAnswerOk};
    EXPECT_TRUE(RunSplit(split, display, answers));
}

}  // namespace
}  // namespace tessarel
