// The Go command driven through the window: names typed, options clicked, Go pressed, every
// message box answered from a script that records it.
#include "control/go_command.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <fstream>

#include "support/scripted_message_box.h"
#include "support/series.h"
#include "support/ui_wait.h"
#include "ui/main/main_window.h"
#include "ui/platform/frame_control.h"

namespace tessarel {
namespace {

namespace fs = std::filesystem;

class GoTest : public testing::Test {
  protected:
    void SetUp() override {
        window = std::make_unique<MainWindow>(&answers);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override {
        EXPECT_EQ(answers.Unanswered(), 0u) << "a scripted answer was never asked for";
        window->hide();
    }

    static void Type(QLineEdit* field, const std::string& text) {
        field->clear();
        // Key by key, carrying the character's text: names in any script are typed as such.
        for (const QChar c : QString::fromStdString(text)) {
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
        ASSERT_EQ(field->text().toStdString(), text);
    }
    void Names(const std::string& open, const std::string& save) {
        Type(window->txtOpen, open);
        Type(window->txtSave, save);
    }
    void Exact(int32_t bytes) {
        QTest::mouseClick(window->optExact, Qt::LeftButton);
        Type(window->txtExact, std::to_string(bytes));
    }
    void Join() { QTest::mouseClick(window->optJoin, Qt::LeftButton); }
    // Presses Go and waits for its request to run to its end.
    void Go(int deadline_ms = kUiDeadlineMs) {
        const int before = window->go_requests_done();
        QTest::mouseClick(window->cmdGo, Qt::LeftButton);
        EXPECT_TRUE(WaitUntil([&] { return window->go_requests_done() > before; },
                              "the Go request to end", deadline_ms));
    }
    std::vector<std::string> Prompts() const {
        std::vector<std::string> prompts;
        for (const ShownMessage& m : answers.shown) {
            prompts.push_back(m.prompt);
        }
        return prompts;
    }
    std::string Save() const { return window->txtSave->text().toStdString(); }

    TempDir dir;
    ScriptedMessageBox answers;
    std::unique_ptr<MainWindow> window;
};

TEST_F(GoTest, EmptyNamesAreRefused) {
    answers.Answer(kAnswerOk);
    Names("", dir / "x");
    Go();
    ASSERT_EQ(answers.shown.size(), 1u);
    EXPECT_EQ(answers.shown[0].prompt, "You did not specify a file to open or save.");
    EXPECT_EQ(answers.shown[0].style, kStyleWarning);
    EXPECT_EQ(answers.shown[0].title, "ERROR!");
}

TEST_F(GoTest, TheM00RuleAddsTheExtensionOnceAndShowsIt) {
    WriteBytes(dir / "src.bin", Pattern(5000));
    const std::pair<std::string, std::string> cases[] = {
        {"data", "data.m00"},
        {"data.m00", "data.m00"},
        {"data.zip", "data.zip.m00"},
        {"DATA.M00", "DATA.M00.m00"},
    };
    for (const auto& [typed, becomes] : cases) {
        answers.Answer(kAnswerCancel);
        answers.Answer(kAnswerCancel);
        Names(dir / "src.bin", dir / typed);
        Exact(2000);
        Go();
        EXPECT_EQ(Save(), dir / becomes);
        Go();  // pressed again, no second ".m00"
        EXPECT_EQ(Save(), dir / becomes);
    }
    EXPECT_EQ(answers.shown.size(), 8u);
    ASSERT_GE(answers.shown.size(), 1u) << "messages shown";
    EXPECT_EQ(answers.shown[0].prompt, " Will split into  3 files.");
    EXPECT_EQ(answers.shown[0].style, kStyleInfoOkCancel);
    EXPECT_EQ(answers.shown[0].title, "File Message");
    EXPECT_FALSE(fs::exists(dir / "data.m00"));
}

TEST_F(GoTest, SizeRefusalsComeWithTheirOwnMessages) {
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
            QTest::mouseClick(window->optApprox, Qt::LeftButton);
            window->txtApprox->clear();
        } else {
            Exact(std::stoi(c.exact));
        }
        Go();
        EXPECT_EQ(answers.shown.back().prompt, c.message) << c.exact;
        EXPECT_EQ(answers.shown.back().style, kStyleWarning);
        EXPECT_EQ(answers.shown.back().title, "ERROR!");
    }
    EXPECT_EQ(window->txtSize->text(), " 0");
}

TEST_F(GoTest, OneHundredPiecesAreAcceptedAndTheSeriesIsExact) {
    const std::vector<uint8_t> file = Pattern(2080);
    WriteBytes(dir / "src.bin", file);
    answers.Answer(kAnswerOk);
    Names(dir / "src.bin", dir / "out");
    Exact(21);
    Go();
    ASSERT_EQ(Prompts(), std::vector<std::string>{" Will split into  100 files."});
    EXPECT_EQ(window->lblTotal->text(), "100");
    const auto expected = ExpectedPieces(file, 21);
    ASSERT_EQ(expected.size(), 100u);
    for (size_t n = 0; n < expected.size(); ++n) {
        ASSERT_EQ(ReadBytes(PieceName(dir / "out", int64_t(n) + 1)), expected[n]);
    }
    EXPECT_EQ(window->pgbDone->value(), 100);
}

TEST_F(GoTest, ApproximateSizesAreKilobytes) {
    WriteBytes(dir / "src.bin", Pattern(3 * 1024 * 1024));
    answers.Answer(kAnswerCancel);
    Names(dir / "src.bin", dir / "out");
    Go();  // 1400 KB at start
    EXPECT_EQ(window->txtSize->text(), " 1433600");
    EXPECT_EQ(Prompts(), std::vector<std::string>{" Will split into  3 files."});
    EXPECT_EQ(window->lblTotal->text(), "3");
}

TEST_F(GoTest, AnEmptyExactEntryIsATypeMismatch) {
    WriteBytes(dir / "src.bin", Pattern(100));
    answers.Answer(kAnswerOk);
    Names(dir / "src.bin", dir / "out");
    QTest::mouseClick(window->optExact, Qt::LeftButton);
    window->txtExact->clear();
    Go();
    EXPECT_EQ(Prompts(), std::vector<std::string>{"Error #  13\rType mismatch"});
    ASSERT_GE(answers.shown.size(), 1u) << "messages shown";
    EXPECT_EQ(answers.shown[0].style, kStylePlain);
    EXPECT_EQ(answers.shown[0].title, "Error");
}

TEST_F(GoTest, AMissingSourceSaysFileNotFoundAndNothingMore) {
    answers.Answer(kAnswerOk);
    Names(dir / "absent.bin", dir / "out");
    Go();
    EXPECT_EQ(Prompts(), std::vector<std::string>{"File Not Found."});
    ASSERT_GE(answers.shown.size(), 1u) << "messages shown";
    EXPECT_EQ(answers.shown[0].title, "Disk Error");
    EXPECT_FALSE(fs::exists(dir / "absent.bin"));
}

TEST_F(GoTest, ADestinationWithoutAFolderIsAnInvalidArgument) {
    WriteBytes(dir / "src.bin", Pattern(100));
    answers.Answer(kAnswerOk);
    Names(dir / "src.bin", "out");
    Go();
    EXPECT_EQ(Prompts(),
              std::vector<std::string>{"Error #  5\rInvalid procedure call or argument"});
}

TEST_F(GoTest, OverwritePromptCancelEndsWithTheFailureMessageAndKeepsTheFile) {
    WriteBytes(dir / "src.bin", Pattern(1000));
    WriteBytes(dir / "out.m00", {9, 9, 9});
    answers.Answer(kAnswerOk);
    answers.Answer(kAnswerCancel);
    answers.Answer(kAnswerOk);
    Names(dir / "src.bin", dir / "out");
    Exact(100);
    Go();
    ASSERT_EQ(answers.shown.size(), 3u);
    EXPECT_EQ(answers.shown[1].prompt,
              "The file out.m00\r\n already exists on disk. Saving to that \r\nfile, will destroy "
              "the file's current contents \r\n\r\n\r\nChoose OK to replace file, Cancel to stop.");
    EXPECT_EQ(answers.shown[1].style, kStyleInfoOkCancel);
    EXPECT_EQ(answers.shown[1].title, "File Message");
    EXPECT_EQ(answers.shown[2].prompt, "Could Not Perform The Specified Operation.");
    EXPECT_EQ(answers.shown[2].style, kStyleCritical);
    EXPECT_EQ(ReadBytes(dir / "out.m00"), (std::vector<uint8_t>{9, 9, 9}));
}

TEST_F(GoTest, AHiddenDestinationIsAskedAboutToo) {
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

TEST_F(GoTest, AFolderAsDestinationIsRefusedAndKept) {
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

TEST_F(GoTest, ASplitOntoItsOwnSourceIsRefusedBeforeAnythingIsTouched) {
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

TEST_F(GoTest, AJoinOntoAPieceOfItsSeriesIsRefused) {
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

TEST_F(GoTest, AJoinRebuildsASeriesMadeWithoutTheProgram) {
    const std::vector<uint8_t> file = Pattern(1000);
    WriteSeries(dir / "s", file, 100);
    answers.Answer(kAnswerOk);
    Join();
    Names(dir / "s.m00", dir / "rebuilt");
    Go();
    EXPECT_EQ(Prompts(), std::vector<std::string>{" Will need  11 files to join."});
    EXPECT_EQ(window->lblTotal->text(), "11");
    EXPECT_EQ(ReadBytes(dir / "rebuilt"), file) << "no extension is added to a join's output";
}

TEST_F(GoTest, FilesThatCannotBeFirstPiecesAreNotRecognised) {
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

TEST_F(GoTest, ALengthWithLettersIsATypeMismatch) {
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

TEST_F(GoTest, CancelAtTheConfirmationIsSilent) {
    WriteSeries(dir / "s", Pattern(1000), 100);
    answers.Answer(kAnswerCancel);
    Join();
    Names(dir / "s.m00", dir / "out");
    Go();
    EXPECT_EQ(answers.shown.size(), 1u);
    EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST_F(GoTest, RoundTripThroughTheWindowWithNamesInSeveralScripts) {
    const std::vector<uint8_t> file = Pattern(123457, 42);
    WriteBytes(dir / "données 報告.bin", file);
    answers.Answer(kAnswerOk);
    Names(dir / "données 報告.bin", dir / "Привет");
    Exact(25000);
    Go();
    EXPECT_EQ(Prompts(), std::vector<std::string>{" Will split into  5 files."});
    EXPECT_TRUE(fs::exists(dir / "Привет.m04"));

    answers.Answer(kAnswerOk);
    Join();
    Names(dir / "Привет.m00", dir / "back ελληνικά.bin");
    Go();
    EXPECT_EQ(answers.shown.size(), 2u);
    EXPECT_EQ(ReadBytes(dir / "back ελληνικά.bin"), file);
    EXPECT_EQ(window->pgbDone->value(), 100);
    EXPECT_TRUE(window->fraControls->isVisible());
}

// Two presses before the request starts make one request, not a second one after the first.
TEST_F(GoTest, ADoublePressOnGoIsOneRequest) {
    answers.Answer(kAnswerOk);
    QTest::mouseClick(window->cmdGo, Qt::LeftButton);
    QTest::mouseClick(window->cmdGo, Qt::LeftButton);
    EXPECT_TRUE(WaitUntil([&] { return window->go_requests_done() == 1; }, "the Go request"));
    QCoreApplication::sendPostedEvents();
    QApplication::processEvents();
    EXPECT_EQ(window->go_requests_done(), 1);
    EXPECT_EQ(answers.shown.size(), 1u);
}

// A screen reader's press on Go returns at once; the request runs afterwards from the event
// loop, so the reader is never held while a message box waits for the user.
TEST_F(GoTest, AnAccessiblePressOnGoReturnsAtOnce) {
    QAccessibleInterface* go = QAccessible::queryAccessibleInterface(window->cmdGo);
    ASSERT_TRUE(go && go->actionInterface());
    answers.Answer(kAnswerOk);
    go->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(window->go_requests_done(), 0) << "the request ran inside the press";
    EXPECT_TRUE(WaitUntil([&] { return window->go_requests_done() == 1; }, "the Go request"));
    EXPECT_EQ(Prompts(), std::vector<std::string>{"You did not specify a file to open or save."});
}

// Reads length bytes of path from offset.
std::vector<uint8_t> BytesAt(const std::string& path, int64_t offset, size_t length) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(offset);
    std::vector<uint8_t> bytes(length);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(length));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

bool SameFiles(const std::string& a, const std::string& b) {
    std::ifstream fa(a, std::ios::binary);
    std::ifstream fb(b, std::ios::binary);
    std::vector<char> ba(1 << 20);
    std::vector<char> bb(1 << 20);
    while (fa && fb) {
        fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
        fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
        if (fa.gcount() != fb.gcount() ||
            !std::equal(ba.begin(), ba.begin() + fa.gcount(), bb.begin())) {
            return false;
        }
    }
    return fa.eof() && fb.eof();
}

// A 3 GiB file (sparse, with marks where lengths and positions pass 2^31 and the piece
// boundaries) splits into four pieces through the window and joins back byte for byte.
TEST_F(GoTest, AFileOfThreeGibibytesSplitsAndJoinsBackExactly) {
    constexpr int64_t kLength = int64_t{3} << 30;
    constexpr int64_t kPiece = 805306373;  // four pieces: (3 GiB + 20) / 4, rounded up
    const auto free = fs::space(dir.path()).available;
    if (free < uintmax_t{7} << 30) {
        GTEST_SKIP() << "needs 7 GiB free for the pieces and the joined file, has " << (free >> 20)
                     << " MiB";
    }
    const std::string source = dir / "big.iso";
    const std::vector<int64_t> marks = {0, kPiece - 20 - 2048, (int64_t{1} << 31) - 2048,
                                        2 * kPiece - 20 - 100, kLength - 4096};
    {
        std::fstream out(source, std::ios::binary | std::ios::out);
        for (size_t i = 0; i < marks.size(); ++i) {
            const auto mark = Pattern(4096, static_cast<uint32_t>(i) + 1);
            out.seekp(marks[i]);
            out.write(reinterpret_cast<const char*>(mark.data()), 4096);
        }
    }
    fs::resize_file(source, kLength);

    answers.Answer(kAnswerOk);
    Names(source, dir / "big");
    Exact(static_cast<int32_t>(kPiece));
    Go(120000);
    EXPECT_EQ(Prompts(), std::vector<std::string>{" Will split into  4 files."});
    const auto header = BytesAt(dir / "big.m00", 0, 20);
    EXPECT_EQ(std::string(header.begin(), header.end()), "KESTRAVOLN3221225472");
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(fs::file_size(PieceName(dir / "big", n)),
                  uintmax_t(n < 4 ? kPiece : kLength + 20 - 3 * kPiece))
            << n;
    }
    // The mark across the first piece boundary is split between the pieces.
    const auto mark = Pattern(4096, 2);
    EXPECT_EQ(BytesAt(dir / "big.m00", kPiece - 2048, 2048),
              std::vector<uint8_t>(mark.begin(), mark.begin() + 2048));
    EXPECT_EQ(BytesAt(dir / "big.m01", 0, 2048),
              std::vector<uint8_t>(mark.begin() + 2048, mark.end()));

    answers.Answer(kAnswerOk);
    Join();
    Names(dir / "big.m00", dir / "back.iso");
    Go(120000);
    ASSERT_EQ(Prompts().size(), 2u);
    EXPECT_EQ(Prompts()[1], " Will need  4 files to join.");
    EXPECT_EQ(fs::file_size(dir / "back.iso"), uintmax_t(kLength));
    EXPECT_TRUE(SameFiles(source, dir / "back.iso"));
    EXPECT_EQ(window->pgbDone->value(), 100);
}

}  // namespace
}  // namespace tessarel
