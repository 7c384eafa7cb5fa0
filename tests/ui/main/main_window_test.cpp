#include "ui/main/main_window.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTest>
#include <QToolButton>
#include <cstdlib>

#include "support/scripted_message_box.h"
#include "support/ui_wait.h"
#include "ui/about/about_window.h"
#include "ui/help/help_window.h"
#include "ui/platform/animation_control.h"
#include "ui/platform/frame_control.h"
#include "ui/platform/line_control.h"
#include "ui/platform/tab_strip.h"
#include "ui/platform/up_down_control.h"

namespace tessarel {
namespace {

std::string Describe(QWidget* w) {
    if (!w) {
        return "nothing";
    }
    auto* b = qobject_cast<QAbstractButton*>(w);
    return std::string(w->metaObject()->className()) + " '" +
           (b ? b->text() : w->accessibleName()).toStdString() + "'";
}

class MainWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        window = std::make_unique<MainWindow>(&answers);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QApplication::setActiveWindow(window.get());
    }
    void TearDown() override {
        // Let the window go without asking.
        window->hide();
        window.reset();
    }

    ScriptedMessageBox answers;
    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, StartsInTheDesignedState) {
    MainWindow& w = *window;
    EXPECT_EQ(w.windowTitle(), "Tessarel");
    EXPECT_EQ(w.size(), QSize(368, 304));
    EXPECT_TRUE(w.optSplit->isChecked());
    EXPECT_FALSE(w.optJoin->isChecked());
    EXPECT_TRUE(w.optApprox->isChecked());
    EXPECT_FALSE(w.optExact->isChecked());
    EXPECT_TRUE(w.opt10->isChecked());
    EXPECT_FALSE(w.opt100->isChecked());
    EXPECT_EQ(w.txtApprox->text(), "1400");
    EXPECT_TRUE(w.txtApprox->isEnabled());
    EXPECT_EQ(w.txtApprox->maxLength(), 7);
    EXPECT_EQ(w.txtExact->text(), "0");
    EXPECT_FALSE(w.txtExact->isEnabled());
    EXPECT_EQ(w.txtExact->maxLength(), 10);
    EXPECT_EQ(w.txtOpen->text(), "");
    EXPECT_EQ(w.txtSave->text(), "");
    EXPECT_FALSE(w.txtSize->isVisible());
    EXPECT_FALSE(w.anmFileCopy->isVisible());
    EXPECT_FALSE(w.lblDone->isVisible());
    EXPECT_FALSE(w.Line3->isVisible());
    EXPECT_FALSE(w.lblTotal->isVisible());
    EXPECT_TRUE(w.fraControls->isVisible());
    EXPECT_TRUE(w.pgbDone->isVisible());
    EXPECT_EQ(w.pgbDone->minimum(), 0);
    EXPECT_EQ(w.pgbDone->maximum(), 100);
    EXPECT_EQ(w.updSpinner->increment(), 10);
    EXPECT_EQ(w.updSpinner->minimum(), 0);
    EXPECT_EQ(w.updSpinner->maximum(), 9765624);
    EXPECT_TRUE(w.anmFileCopy->isOpen()) << "filedisk.avi beside the program was not opened";
    EXPECT_EQ(w.lblTitle->text(), "Tessarel Utility");
    EXPECT_EQ(w.fraFiles->caption(), "Files");
    EXPECT_EQ(w.cmdGo->text(), "&Go!");
    EXPECT_EQ(w.cmdExit->text(), "E&xit");
}

TEST_F(MainWindowTest, EveryControlLiesInsideItsContainerAndOverlapsNoSibling) {
    const QList<QWidget*> all = window->findChildren<QWidget*>();
    for (QWidget* w : all) {
        QWidget* parent = w->parentWidget();
        if (!w->isWindow() && parent && !qobject_cast<QToolButton*>(w->parentWidget()) &&
            !parent->inherits("tessarel::UpDownControl") && !parent->inherits("QLineEdit")) {
            EXPECT_TRUE(parent->rect().contains(w->geometry()))
                << w->metaObject()->className() << " " << w->accessibleName().toStdString();
        }
    }
    // The mode options stand on the size frame's edge and must stay clickable.
    for (QRadioButton* mode : {window->optSplit, window->optJoin}) {
        EXPECT_EQ(window->childAt(mode->geometry().center()), mode);
    }
    // Shown together, the animation and the fraction must not cover one another or Go.
    EXPECT_FALSE(window->anmFileCopy->geometry().intersects(window->lblDone->geometry()));
    EXPECT_FALSE(window->anmFileCopy->geometry().intersects(window->cmdGo->geometry()));
    EXPECT_FALSE(window->lblDone->geometry().intersects(window->cmdGo->geometry()));
    EXPECT_FALSE(window->pgbDone->geometry().intersects(window->cmdGo->geometry()));
}

TEST_F(MainWindowTest, EachOptionGroupIsExclusiveOnItsOwn) {
    MainWindow& w = *window;
    QTest::mouseClick(w.opt100, Qt::LeftButton);
    QTest::mouseClick(w.optJoin, Qt::LeftButton);
    EXPECT_TRUE(w.optJoin->isChecked());
    EXPECT_FALSE(w.optSplit->isChecked());
    EXPECT_TRUE(w.optApprox->isChecked()) << "choosing Join must not change the size mode";
    EXPECT_TRUE(w.opt100->isChecked());
    EXPECT_FALSE(w.opt10->isChecked());
    QTest::mouseClick(w.optSplit, Qt::LeftButton);
    EXPECT_TRUE(w.optSplit->isChecked());
    EXPECT_FALSE(w.optJoin->isChecked());
    EXPECT_TRUE(w.opt100->isChecked());
}

TEST_F(MainWindowTest, ArrowKeysChooseWithinAnOptionGroup) {
    MainWindow& w = *window;
    w.optSplit->setFocus();
    QTest::keyClick(w.optSplit, Qt::Key_Right);
    EXPECT_TRUE(w.optJoin->isChecked());
    EXPECT_EQ(QApplication::focusWidget(), w.optJoin);
    QTest::keyClick(w.optJoin, Qt::Key_Left);
    EXPECT_TRUE(w.optSplit->isChecked());
    EXPECT_TRUE(w.optApprox->isChecked()) << "the size group is a group of its own";
}

TEST_F(MainWindowTest, TabWalksTheControlsInTheirDesignedOrder) {
    MainWindow& w = *window;
    w.optSplit->setFocus();
    std::vector<QWidget*> seen;
    for (int i = 0; i < 16; ++i) {
        seen.push_back(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    // Only the chosen option of a group takes the focus; txtExact is disabled at start.
    const std::vector<QWidget*> expected = {w.optSplit, w.optApprox, w.txtApprox, w.updSpinner,
                                            w.txtOpen,  w.txtSave,   w.cmdOpen,   w.cmdSave,
                                            w.cmdGo,    w.opt10,     w.cmdAbout,  w.cmdHelp,
                                            w.cmdExit,  w.optSplit,  w.optApprox, w.txtApprox};
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i], expected[i]) << "stop " << i << ": " << Describe(seen[i]);
    }
}

// The controls of top that take the focus and would be read out without a name.
std::vector<std::string> Unnamed(QWidget* top) {
    std::vector<std::string> unnamed;
    for (QWidget* w : top->findChildren<QWidget*>()) {
        if (w->focusPolicy() == Qt::NoFocus || !w->isVisibleTo(top)) {
            continue;
        }
        QString name = w->accessibleName();
        if (auto* b = qobject_cast<QAbstractButton*>(w); b && name.isEmpty()) {
            name = b->text();
        }
        if (name.isEmpty()) {
            unnamed.push_back(w->metaObject()->className());
        }
    }
    return unnamed;
}

TEST_F(MainWindowTest, EveryControlAUserCanReachHasASpokenName) {
    EXPECT_EQ(Unnamed(window.get()), std::vector<std::string>{});
    HelpWindow help;
    EXPECT_EQ(Unnamed(&help), std::vector<std::string>{});
    AboutWindow about(answers);
    EXPECT_EQ(Unnamed(&about), std::vector<std::string>{});
}

// What a sighted user reads, a screen reader reads: the tree holds no field the design keeps out
// of sight, the spinner is a spin box with its value, the counters say their numbers, and the
// focus starts, visibly, where the tab order does.
TEST_F(MainWindowTest, AScreenReaderReadsWhatASightedUserReads) {
    MainWindow& w = *window;
    std::vector<QAccessibleInterface*> tree{QAccessible::queryAccessibleInterface(&w)};
    for (size_t i = 0; i < tree.size(); ++i) {
        for (int c = 0; c < tree[i]->childCount(); ++c) {
            tree.push_back(tree[i]->child(c));
        }
    }
    for (QAccessibleInterface* a : tree) {
        EXPECT_NE(a->object(), w.txtSize);
        EXPECT_NE(a->text(QAccessible::Value), "Text3");
    }
    QAccessibleInterface* spinner = QAccessible::queryAccessibleInterface(w.updSpinner);
    EXPECT_EQ(spinner->role(), QAccessible::SpinBox);
    EXPECT_EQ(spinner->valueInterface()->currentValue().toInt(), 1400);
    spinner->actionInterface()->doAction(QAccessibleActionInterface::increaseAction());
    EXPECT_EQ(w.txtApprox->text(), "1410");
    w.display().ShowTotal(5);
    w.display().ShowPiece(3);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(w.lblDone)->text(QAccessible::Name),
              "Piece in work: 3");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(w.lblTotal)->text(QAccessible::Name),
              "Pieces in all: 5");
    EXPECT_EQ(QApplication::focusWidget(), w.optSplit);
    EXPECT_TRUE(w.testAttribute(Qt::WA_KeyboardFocusChange)) << "the focus mark is shown";
}

TEST_F(MainWindowTest, CloseBoxAndEscapeAskFirstAndNoKeepsEverything) {
    MainWindow& w = *window;
    w.txtOpen->setText("/tmp/source.bin");
    w.txtApprox->setText("77");
    answers.Answer(kAnswerNo);
    w.close();
    answers.Answer(kAnswerNo);
    QTest::keyClick(w.txtOpen, Qt::Key_Escape);
    ASSERT_EQ(answers.shown.size(), 2u);
    for (const ShownMessage& m : answers.shown) {
        EXPECT_EQ(m.prompt, "Are you sure?");
        EXPECT_EQ(m.style, kStyleYesNo);
        EXPECT_EQ(m.title, "Quit?");
    }
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.txtOpen->text(), "/tmp/source.bin");
    EXPECT_EQ(w.txtApprox->text(), "77");
    EXPECT_TRUE(w.anmFileCopy->isOpen());
}

TEST_F(MainWindowTest, ExitAnsweredYesClosesTheWindowAndTheClip) {
    answers.Answer(kAnswerYes);
    QTest::mouseClick(window->cmdExit, Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->anmFileCopy->isOpen());
}

TEST_F(MainWindowTest, EnterPressesGoUnlessAnotherCommandButtonHasTheFocus) {
    MainWindow& w = *window;
    int go = 0;
    int open = 0;
    QObject::connect(w.cmdGo, &QToolButton::clicked, [&] { ++go; });
    QObject::connect(w.cmdOpen, &QPushButton::clicked, [&] { ++open; });
    answers.Answer(kAnswerOk);  // Go with empty fields says so
    answers.Answer(kAnswerOk);
    w.txtOpen->setFocus();
    QTest::keyClick(w.txtOpen, Qt::Key_Return);
    EXPECT_EQ(go, 1);
    w.optSplit->setFocus();
    QTest::keyClick(w.optSplit, Qt::Key_Enter);
    EXPECT_EQ(go, 2);
    w.cmdOpen->setFocus();
    // cmdOpen opens a file dialog once wired; here only which button is pressed matters.
    QObject::disconnect(w.cmdOpen, nullptr, nullptr, nullptr);
    QObject::connect(w.cmdOpen, &QPushButton::clicked, [&] { ++open; });
    QTest::keyClick(w.cmdOpen, Qt::Key_Return);
    EXPECT_EQ(go, 2);
    EXPECT_EQ(open, 1);
}

TEST_F(MainWindowTest, OperatingStatePlaysTheClipInPlaceOfTheButtonRow) {
    MainWindow& w = *window;
    ProgressDisplay& display = w.display();
    display.ShowOperating();
    display.ShowPiece(7);
    display.SetProgress(42.9f);
    EXPECT_TRUE(w.anmFileCopy->isVisible());
    EXPECT_TRUE(w.lblDone->isVisible());
    EXPECT_TRUE(w.Line3->isVisible());
    EXPECT_TRUE(w.lblTotal->isVisible());
    EXPECT_FALSE(w.fraControls->isVisible());
    EXPECT_EQ(w.lblDone->text(), "7");
    EXPECT_EQ(w.pgbDone->value(), 42);
    ASSERT_TRUE(w.anmFileCopy->isPlaying());
    const int first = w.anmFileCopy->currentFrame();
    EXPECT_TRUE(WaitUntil([&] { return w.anmFileCopy->currentFrame() != first; },
                          "the clip to move on from its frame"));

    display.ShowIdle();
    EXPECT_FALSE(w.anmFileCopy->isPlaying());
    EXPECT_FALSE(w.anmFileCopy->isVisible());
    EXPECT_TRUE(w.fraControls->isVisible());
}

TEST(AnimationControl, AMissingOrDamagedClipLeavesAnEmptyControlThatIgnoresPlay) {
    AnimationControl control;
    EXPECT_FALSE(control.open("/nonexistent/filedisk.avi"));
    control.play();
    EXPECT_FALSE(control.isPlaying());
    const QString damaged = QString::fromStdString(testing::TempDir()) + "/damaged.avi";
    QFile file(damaged);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "RIFF\x10\x00\x00\x00"
        "AVI LIST\xff\xff\xff\x7f",
        20);
    file.close();
    EXPECT_FALSE(control.open(damaged));
    control.play();
    EXPECT_FALSE(control.isPlaying());
    control.grab();  // paints without a clip
}

// The pictures of the window guide (docs/window.md), drawn by the program itself when
// TESSAREL_SHOTS names a folder: TESSAREL_SHOTS=docs build/bin/ui_tests --gtest_filter='*Guide*'.
TEST(WindowGuide, ThePicturesOfTheGuideAreDrawnByTheProgram) {
    const char* folder = std::getenv("TESSAREL_SHOTS");
    if (!folder) {
        GTEST_SKIP() << "TESSAREL_SHOTS names no folder";
    }
    const auto shoot = [&](QWidget& w, const char* name) {
        QTest::qWait(50);
        EXPECT_TRUE(w.grab().save(QString(folder) + "/" + name)) << name;
    };
    ScriptedMessageBox answers;
    MainWindow window(&answers);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    shoot(window, "main-window.png");
    window.optExact->click();
    shoot(window, "exact-mode.png");
    window.optJoin->click();
    shoot(window, "join-mode.png");
    HelpWindow help;
    help.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
    for (int tab = 1; tab <= HelpWindow::kPages; ++tab) {
        QTabBar* bar = help.tbsHelp->bar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab - 1).center());
        shoot(help, QString("help%1.png").arg(tab).toUtf8().constData());
    }
    AboutWindow about(answers);
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    shoot(about, "about.png");
}

}  // namespace
}  // namespace tessarel
