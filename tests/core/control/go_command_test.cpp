// The Go command as the window runs it, with the window's fields held in a stand-in: the rules of
// split and join requests, the order of their questions, and what reaches the disk.
#include "control/go_command.h"

#include <gtest/gtest.h>

#include <filesystem>

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
    void Go() { cmdGo_Click(form, display, answers); }
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
        {"21", "The number of split files will exceed 100."},
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

TEST_F(GoCommandTest, AFolderAsDestinationIsRefusedAndKept) {
    WriteBytes(dir / "src.bin", Pattern(1000));
    fs::create_directory(dir / "out.m00");
    answers.Answer(kAnswerOk);
    answers.Answer(kAnswerOk);
    Names(dir / "src.bin", dir / "out.m00");
    Exact(500);
    Go();
    ASSERT_EQ(answers.shown.size(), 2u);
    EXPECT_EQ(answers.shown[1].prompt.rfind("Error #  75\rPath/File access error", 0), 0u);
    EXPECT_TRUE(fs::is_directory(dir / "out.m00"));
}

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

TEST_F(GoCommandTest, ALengthWithLettersIsATypeMismatch) {
    std::string h = "KESTRAVOLN00000ABCDE";
    std::vector<uint8_t> p(h.begin(), h.end());
    p.resize(100, 1);
    WriteBytes(dir / "p.m00", p);
    answers.Answer(kAnswerOk);
    Join();
    Names(dir / "p.m00", dir / "out");
    Go();
    EXPECT_EQ(Prompts(), std::vector<std::string>{"Error #  13\rType mismatch"});
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

}  // namespace
}  // namespace tessarel
