// The main window while the engine runs: the clip moves, input is dropped, and the window is
// idle again afterwards.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>
#include <QThread>
#include <QToolButton>

#include "engine/split_join.h"
#include "platform/file.h"
#include "support/scripted_message_box.h"
#include "support/temp_dir.h"
#include "ui/main/main_window.h"
#include "ui/platform/animation_control.h"
#include "ui/platform/frame_control.h"

namespace tessarel {
namespace {

struct Interference {
    MainWindow* window;
    int reads = 0;
    int frame_seen = -1;
};

// On the first read, the user presses Enter and Escape and closes the window; a little later
// the clip is looked at. Each read is slowed so the operation lasts long enough to be seen.
Fault Interfere(FileOp op, const std::string&, int64_t, int32_t, void* context) {
    auto* in = static_cast<Interference*>(context);
    if (op != FileOp::Read) {
        return Fault::kNone;
    }
    ++in->reads;
    if (in->reads == 1) {
        QWidget* field = in->window->txtOpen;
        for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
            QCoreApplication::postEvent(field,
                                        new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
            QCoreApplication::postEvent(field,
                                        new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier));
        }
        QCoreApplication::postEvent(in->window, new QCloseEvent);
    }
    QThread::msleep(40);
    in->frame_seen = in->window->anmFileCopy->currentFrame();
    return Fault::kNone;
}

TEST(Operation, TheClipMovesAndInputDuringTheOperationIsDropped) {
    TempDir dir;
    WriteBytes(dir / "source.bin", Pattern(80 * 10000));
    ScriptedMessageBox answers;
    MainWindow window(&answers);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    int go = 0;
    QObject::connect(window.cmdGo, &QToolButton::clicked, [&] { ++go; });

    Interference in{&window};
    SetFileFaultHook(Interfere, &in);
    const bool done = SplitJoin(dir / "source.bin", dir / "s.m00", Mode::kSplit, 800020, 200000, 5,
                                window, answers);
    SetFileFaultHook(nullptr, nullptr);
    EXPECT_TRUE(done);
    EXPECT_GT(in.frame_seen, 0) << "the clip did not play during the operation";

    // Whatever was posted during the operation and not dropped would be delivered now.
    QCoreApplication::sendPostedEvents();
    QApplication::processEvents();
    EXPECT_EQ(go, 0) << "Enter pressed during the operation reached Go afterwards";
    EXPECT_TRUE(answers.shown.empty()) << "Escape or close reached the window afterwards";
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.operating());
    EXPECT_EQ(window.pgbDone->value(), 100);
    EXPECT_FALSE(window.anmFileCopy->isVisible());
    EXPECT_FALSE(window.anmFileCopy->isPlaying());
    EXPECT_FALSE(window.lblDone->isVisible());
    EXPECT_TRUE(window.fraControls->isVisible());
    window.hide();
}

}  // namespace
}  // namespace tessarel
