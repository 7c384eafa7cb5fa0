// The Go command driven through the window: names typed, options clicked, Go pressed, every
// message box answered from a script that records it.
#include "control/commands.h"

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

TEST_F(GoTest, ApproximateSizesAreKilobytes) {
    WriteBytes(dir / "src.bin", Pattern(3 * 1024 * 1024));
    answers.Answer(kAnswerCancel);
    Names(dir / "src.bin", dir / "out");
    Go();  // 1400 KB at start
    EXPECT_EQ(window->txtSize->text(), " 1433600");
    EXPECT_EQ(Prompts(), std::vector<std::string>{" Will split into  3 files."});
    EXPECT_EQ(window->lblTotal->text(), "3");
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

}  // namespace
}  // namespace tessarel
