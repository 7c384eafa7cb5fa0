// The main window while an operation runs on its own thread: the clip moves, input but Cancel is
// dropped, Cancel stops at any moment and leaves the disk as it was, and a question of the
// error handling still comes up and is obeyed.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <atomic>
#include <filesystem>
#include <functional>
#include <map>

#include "platform/file.h"
#include "support/scripted_message_box.h"
#include "support/series.h"
#include "support/temp_dir.h"
#include "support/ui_wait.h"
#include "ui/main/main_window.h"
#include "ui/platform/animation_control.h"
#include "ui/platform/frame_control.h"
#include "ui/platform/up_down_control.h"

namespace tessarel {
namespace {

namespace fs = std::filesystem;

// Answers from a script; says, for the operation's thread to see, when the stop question came.
class Answers : public ScriptedMessageBox {
  public:
    MsgAnswer Show(const Notice& notice) override {
        const MsgAnswer answer = ScriptedMessageBox::Show(notice);
        if (notice.kind == MsgKind::kStop) {
            stop_asked = true;
        }
        return answer;
    }
    std::atomic<bool> stop_asked{false};
};

// What a folder holds: names and contents.
std::map<std::string, std::vector<uint8_t>> Contents(const std::string& dir) {
    std::map<std::string, std::vector<uint8_t>> contents;
    for (const auto& entry : fs::directory_iterator(dir)) {
        contents[entry.path().filename().string()] = ReadBytes(entry.path().string());
    }
    return contents;
}

// The moment of the operation at which something is done, seen through the file layer on the
// operation's own thread; each call is slowed so the operation lasts long enough to be seen.
struct Moment {
    std::function<bool(FileOp, const std::string&, int64_t)> is_it;
    std::function<void()> then;
    bool seen = false;
};

Fault AtMoment(FileOp op, const std::string& path, int64_t position, int32_t size, void* context) {
    auto* moment = static_cast<Moment*>(context);
    if (!moment->seen && moment->is_it(op, path, position)) {
        moment->seen = true;
        moment->then();
    }
    if (op == FileOp::Write) {
        QThread::usleep(size > 1 ? 40000 : 100);
    }
    return Fault::kNone;
}

class OperationTest : public testing::Test {
  protected:
    void SetUp() override {
        WriteBytes(dir / "source.bin", file);
        window = std::make_unique<MainWindow>(&answers);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override {
        SetFileFaultHook(nullptr, nullptr);
        EXPECT_TRUE(WaitUntil([&] { return !window->operating(); }, "the operation to end"));
        EXPECT_EQ(answers.Unanswered(), 0u);
    }
    void Split() {
        window->optSplit->setChecked(true);
        window->optExact->setChecked(true);
        window->txtExact->setText("200000");
        window->txtOpen->setText(QString::fromStdString(dir / "source.bin"));
        window->txtSave->setText(QString::fromStdString(dir / "s"));
    }
    void Join() {
        window->optJoin->setChecked(true);
        window->txtOpen->setText(QString::fromStdString(dir / "s.m00"));
        window->txtSave->setText(QString::fromStdString(dir / "back.bin"));
    }
    // Presses Go and waits for its request to end.
    void Go() {
        const int before = window->go_requests_done();
        QTest::mouseClick(window->cmdGo, Qt::LeftButton);
        EXPECT_TRUE(WaitUntil([&] { return window->go_requests_done() > before; },
                              "the Go request to end", 20000));
    }
    // At the moment, Cancel is pressed, and the operation waits until it has been asked.
    std::function<void()> PressCancel() {
        return [this] {
            QMetaObject::invokeMethod(window->cmdCancel, "click", Qt::QueuedConnection);
            for (int i = 0; i < 4000 && !answers.stop_asked; ++i) {
                QThread::usleep(500);
            }
        };
    }

    TempDir dir;
    std::vector<uint8_t> file = Pattern(1000000, 5);  // five pieces of 200000
    Answers answers;
    std::unique_ptr<MainWindow> window;
};

TEST_F(OperationTest, TheClipMovesAndInputButCancelIsDropped) {
    int go = 0;
    QObject::connect(window->cmdGo, &QToolButton::clicked, [&] { ++go; });
    int frame_seen = -1;
    Moment moment{[](FileOp op, const std::string&, int64_t) { return op == FileOp::Write; },
                  [&] {
                      // The user presses Enter, types, and picks another mode while it runs.
                      QWidget* field = window->txtOpen;
                      QMetaObject::invokeMethod(window.get(), [&, field] {
                          QTest::keyClick(field, Qt::Key_Return);
                          QTest::keyClicks(field, "xyz");
                          QTest::mouseClick(window->optJoin, Qt::LeftButton);
                      });
                  }};
    SetFileFaultHook(AtMoment, &moment);
    answers.Answer(kAnswerOk);
    // Enter goes to Cancel, which has the focus: "Stop?", answered No.
    answers.Answer(kAnswerNo);
    Split();
    const QString typed = window->txtOpen->text();
    const int before = window->go_requests_done();
    QTest::mouseClick(window->cmdGo, Qt::LeftButton);
    EXPECT_TRUE(WaitUntil([&] { return window->anmFileCopy->isVisible(); }, "the operation"));
    EXPECT_TRUE(window->cmdCancel->isVisible());
    const int first = window->anmFileCopy->currentFrame();
    EXPECT_TRUE(WaitUntil(
        [&] {
            frame_seen = window->anmFileCopy->currentFrame();
            return frame_seen != first || window->go_requests_done() > before;
        },
        "the clip to move on"));
    EXPECT_TRUE(WaitUntil([&] { return window->go_requests_done() > before; }, "the end", 20000));
    EXPECT_NE(frame_seen, first) << "the clip did not play during the operation";
    QCoreApplication::sendPostedEvents();
    QApplication::processEvents();
    EXPECT_EQ(go, 1) << "Enter pressed during the operation reached Go";
    EXPECT_EQ(window->txtOpen->text(), typed) << "typing reached a field";
    EXPECT_TRUE(window->optSplit->isChecked());
    EXPECT_EQ(window->pgbDone->value(), 100);
    EXPECT_FALSE(window->anmFileCopy->isVisible());
    EXPECT_FALSE(window->cmdCancel->isVisible());
    EXPECT_TRUE(window->fraControls->isVisible());
    EXPECT_EQ(ReadBytes(dir / "s.m04"), ExpectedPieces(file, 200000)[4]);
}

// A screen reader's actions obey the operating lock as input does: pressing Go, Join, Help,
// Exit or Open..., or stepping the spinner while a split runs changes nothing.
TEST_F(OperationTest, AScreenReadersActionsButCancelsAreRefusedWhileItRuns) {
    bool acted = false;
    Moment moment{
        [](FileOp op, const std::string&, int64_t) { return op == FileOp::Write; },
        [&] {
            QMetaObject::invokeMethod(window.get(), [&] {
                for (QWidget* w : std::initializer_list<QWidget*>{window->cmdGo, window->optJoin,
                                                                  window->cmdHelp, window->cmdExit,
                                                                  window->cmdOpen}) {
                    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
                    a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
                }
                QAccessible::queryAccessibleInterface(window->txtOpen)
                    ->setText(QAccessible::Value, "typed");
                QAccessible::queryAccessibleInterface(window->updSpinner)
                    ->actionInterface()
                    ->doAction(QAccessibleActionInterface::increaseAction());
                acted = true;
            });
        }};
    SetFileFaultHook(AtMoment, &moment);
    answers.Answer(kAnswerOk);
    Split();
    Go();
    EXPECT_TRUE(acted);
    EXPECT_EQ(window->go_requests_done(), 1) << "a second request ran";
    EXPECT_TRUE(window->optSplit->isChecked());
    EXPECT_EQ(window->txtApprox->text(), "1400");
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->txtExact->isEnabled()) << "the enable rules are back";
    EXPECT_FALSE(window->txtApprox->isEnabled());
    EXPECT_EQ(ReadBytes(dir / "s.m04"), ExpectedPieces(file, 200000)[4]);
}

// The end of an operation is told to a screen reader (the bar's description, announced with an
// alert), without a message box.
TEST_F(OperationTest, TheEndIsToldToAScreenReader) {
    answers.Answer(kAnswerOk);
    Split();
    Go();
    EXPECT_EQ(
        QAccessible::queryAccessibleInterface(window->pgbDone)->text(QAccessible::Description),
        "Done: the file was split into 6 pieces.");
    EXPECT_EQ(answers.shown.size(), 1u) << "the confirmation alone";
}

// Cancel, answered Yes at any moment of a split or a join, stops it with the disk as it was and
// no further message; answered No, the operation goes on to its end.
TEST_F(OperationTest, CancelAtAnyMomentLeavesTheDiskAsItWas) {
    WriteSeries(dir / "s", Pattern(1000000, 6), 200000);  // an older series the split replaces
    WriteBytes(dir / "back.bin", {1, 2, 3});              // an older file the join replaces
    auto temporary_of = [this](const std::string& name) {
        return [this, name](FileOp, const std::string& path, int64_t) {
            return IsFileOrItsTemporary(path, dir / name) && path != dir / name;
        };
    };
    struct Case {
        const char* what;
        bool split;
        std::function<bool(FileOp, const std::string&, int64_t)> is_it;
    };
    const Case cases[] = {
        {"in the first piece", true, temporary_of("s.m00")},
        {"in a later piece", true, temporary_of("s.m02")},
        {"during the final flush", true,
         [&](FileOp op, const std::string& path, int64_t) {
             return op == FileOp::Sync && IsFileOrItsTemporary(path, dir / "s.m03");
         }},
        {"in the first piece read", false,
         [&](FileOp op, const std::string& path, int64_t position) {
             // Past the header, which the request reads before the operation starts (as much
             // as a wide header takes).
             return op == FileOp::Read && path == dir / "s.m00" && position >= 30;
         }},
        {"in a later piece read", false,
         [&](FileOp op, const std::string& path, int64_t) {
             return op == FileOp::Read && path == dir / "s.m03";
         }},
        {"during the final flush", false,
         [&](FileOp op, const std::string& path, int64_t) {
             return op == FileOp::Sync && IsFileOrItsTemporary(path, dir / "back.bin");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto before = Contents(dir.path());
        answers.stop_asked = false;
        Moment moment{c.is_it, PressCancel()};
        SetFileFaultHook(AtMoment, &moment);
        answers.Answer(kAnswerOk);   // the confirmation
        answers.Answer(kAnswerOk);   // replace what is there
        answers.Answer(kAnswerYes);  // stop
        c.split ? Split() : Join();
        Go();
        SetFileFaultHook(nullptr, nullptr);
        EXPECT_TRUE(moment.seen);
        ASSERT_EQ(answers.shown.size(), 3u);
        EXPECT_EQ(answers.shown.back().kind, MsgKind::kStop) << "no message follows a stop";
        answers.shown.clear();
        EXPECT_EQ(Contents(dir.path()), before);
        EXPECT_FALSE(window->cmdCancel->isVisible());
    }

    // Answered No, the operation goes on.
    answers.stop_asked = false;
    Moment moment{temporary_of("s.m02"), PressCancel()};
    SetFileFaultHook(AtMoment, &moment);
    for (const MsgAnswer a : {kAnswerOk, kAnswerOk, kAnswerNo}) {
        answers.Answer(a);
    }
    Split();
    Go();
    EXPECT_EQ(ReadBytes(dir / "s.m04"), ExpectedPieces(file, 200000)[4]);
}

// A disk error in the middle of the operation is asked about on the window's thread, and the
// answer given is the one the operation follows.
Fault DiskFullOnce(FileOp op, const std::string& path, int64_t, int32_t, void* context) {
    auto* left = static_cast<int*>(context);
    if (op == FileOp::Write && path.find(".s.m02.tessarel-") != std::string::npos && *left > 0) {
        --*left;
        return Fault::kDiskFull;
    }
    return Fault::kNone;
}

TEST_F(OperationTest, AQuestionInTheMiddleComesUpAndItsAnswerIsObeyed) {
    int fails = 2;  // the piece's run of chunks, then its first chunk alone
    SetFileFaultHook(DiskFullOnce, &fails);
    for (const MsgAnswer a : {kAnswerOk, kAnswerYes}) {
        answers.Answer(a);
    }
    Split();
    Go();
    EXPECT_EQ(answers.Prompts(),
              (std::vector<std::string>{" Will split into  6 files.", "Disk is full. Continue?"}));
    EXPECT_EQ(ReadBytes(dir / "s.m02"), ExpectedPieces(file, 200000)[2]) << "Yes wrote it again";

    fails = 2;
    answers.shown.clear();
    for (const MsgAnswer a : {kAnswerOk, kAnswerOk, kAnswerNo, kAnswerOk}) {
        answers.Answer(a);
    }
    Split();
    Go();
    ASSERT_EQ(answers.shown.size(), 4u);
    EXPECT_EQ(answers.shown[2].prompt, "Disk is full. Continue?");
    EXPECT_EQ(answers.shown[3].prompt, "Could Not Perform The Specified Operation.");
}

// A screen reader presses Cancel while the operation's own question is up: that question is
// answered, as its Escape would, and the operation stops with the disk as it was.
TEST(OperationQuestion, AScreenReadersCancelAnswersTheQuestionThatIsUp) {
    TempDir dir;
    WriteBytes(dir / "source.bin", Pattern(1000000, 5));
    MainWindow window;  // the real message boxes
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    int fails = 1 << 20;  // the disk stays full
    SetFileFaultHook(DiskFullOnce, &fails);
    window.optExact->setChecked(true);
    window.txtExact->setText("200000");
    window.txtOpen->setText(QString::fromStdString(dir / "source.bin"));
    window.txtSave->setText(QString::fromStdString(dir / "s"));
    int questions = 0;
    QPointer<QMessageBox> asked;
    QElapsedTimer since;
    bool unanswered = false;
    QTimer hand;  // runs inside the boxes' own loops, as a person's hand would
    QObject::connect(&hand, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) {
            return;
        }
        if (box->text().startsWith("Disk is full")) {
            if (box != asked) {  // a question not yet seen: its press takes a moment to land
                asked = box;
                ++questions;
                since.start();
                QAccessibleInterface* cancel =
                    QAccessible::queryAccessibleInterface(window.cmdCancel);
                cancel->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
            } else if (since.elapsed() > 10000) {
                unanswered = true;  // the press did not answer it: ended here, not hung
                box->reject();
            }
        } else {
            box->defaultButton()->click();  // the confirmation, and what is said at the end
        }
    });
    hand.start(50);
    QTest::mouseClick(window.cmdGo, Qt::LeftButton);
    EXPECT_TRUE(WaitUntil([&] { return questions > 0 && !window.operating(); },
                          "the operation to stop", 20000));
    hand.stop();
    SetFileFaultHook(nullptr, nullptr);
    EXPECT_FALSE(unanswered);
    EXPECT_EQ(questions, 1);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"source.bin"});
}

}  // namespace
}  // namespace tessarel
