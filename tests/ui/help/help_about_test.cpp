// The Help and About windows, opened from the main window and used as a reader would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTabBar>
#include <QTest>
#include <memory>

#include "support/scripted_message_box.h"
#include "support/ui_wait.h"
#include "ui/about/about_window.h"
#include "ui/help/help_window.h"
#include "ui/main/main_window.h"
#include "ui/platform/frame_control.h"
#include "ui/platform/geometry.h"
#include "ui/platform/tab_strip.h"

namespace tessarel {
namespace {

// True when what the user sees in the middle of w is w itself or something on it.
bool InFront(QWidget* w) {
    QWidget* top = w->window();
    const QPoint centre = w->mapTo(top, QPoint(w->width() / 2, w->height() * 3 / 4));
    QWidget* seen = top->childAt(centre);
    return seen == w || w->isAncestorOf(seen);
}

void ChooseTab(HelpWindow& help, int tab) {
    QTabBar* bar = help.tbsHelp->bar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab - 1).center());
}

void ExpectOpeningState(HelpWindow& help) {
    EXPECT_EQ(help.tbsHelp->selectedTab(), 1);
    EXPECT_EQ(help.tbsHelp->selectedKey(), "Over");
    EXPECT_TRUE(InFront(help.fraHelp[0]));
    EXPECT_TRUE(InFront(help.fraOv[0]));
    for (int j = 0; j < HelpWindow::kTopics; ++j) {
        EXPECT_EQ(help.optOv[j]->isChecked(), j == 0 || j == 2 || j == 5 || j == 7) << j;
    }
}

TEST(HelpWindow, OpensOnTheOverviewWithTheFirstTopicOfEachPageChosen) {
    HelpWindow help;
    help.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
    EXPECT_EQ(help.windowTitle(), "Tessarel Help");
    EXPECT_EQ(help.size(), QSize(477, 374));
    const QStringList captions = {"Overview", "How to use Tessarel", "Safety Features", "About"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(help.tbsHelp->bar()->tabText(i), captions[i]);
    }
    ExpectOpeningState(help);
    EXPECT_EQ(help.lblOv[0]->text(), "Overview of Application");
}

TEST(HelpWindow, EachPageKeepsTheTopicItLastShowed) {
    HelpWindow help;
    help.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
    ChooseTab(help, 2);
    EXPECT_TRUE(InFront(help.fraHelp[1]));
    EXPECT_TRUE(InFront(help.fraOv[2]));
    QTest::mouseClick(help.optOv[3], Qt::LeftButton);
    EXPECT_TRUE(InFront(help.fraOv[3]));
    ChooseTab(help, 3);
    EXPECT_TRUE(InFront(help.fraHelp[2]));
    EXPECT_TRUE(InFront(help.fraOv[5]));
    ChooseTab(help, 2);
    EXPECT_TRUE(InFront(help.fraOv[3])) << "How to Join a File is shown again";
    EXPECT_TRUE(help.optOv[3]->isChecked());
    EXPECT_FALSE(help.optOv[2]->isChecked());
    EXPECT_TRUE(help.optOv[0]->isChecked()) << "other pages keep their own choice";
    // What is behind is hidden, not only covered: Tab and screen readers reach only what shows.
    for (int i = 0; i < HelpWindow::kPages; ++i) {
        EXPECT_EQ(help.fraHelp[i]->isVisible(), i == 1) << i;
    }
    for (int i = 0; i < 12; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* now = QApplication::focusWidget();
        ASSERT_NE(now, nullptr);
        EXPECT_TRUE(now->isVisible()) << now->accessibleName().toStdString();
        EXPECT_TRUE(now == help.tbsHelp->bar() || help.fraHelp[1]->isAncestorOf(now))
            << now->accessibleName().toStdString();
    }
}

TEST(HelpWindow, CtrlTabGoesThroughTheTabsFromAnywhere) {
    HelpWindow help;
    help.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
    help.txtHelp[0]->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(help.tbsHelp->selectedTab(), 2);
    EXPECT_TRUE(InFront(help.fraHelp[1]));
    for (int i = 0; i < 2; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab,
                        Qt::ControlModifier | Qt::ShiftModifier);
    }
    EXPECT_EQ(help.tbsHelp->selectedTab(), 4);
}

TEST(HelpWindow, SelectorsShareTheirRowAsDesigned) {
    HelpWindow help;
    const int page_two[] = {25, 2200, 4405};
    for (int j = 2; j <= 4; ++j) {
        EXPECT_EQ(help.optOv[j]->x(), Px(page_two[j - 2])) << j;
    }
    EXPECT_EQ(help.optOv[2]->width(), Px(2150));
    for (int j : {0, 5, 7}) {
        EXPECT_EQ(help.optOv[j]->x(), Px(25));
        EXPECT_EQ(help.optOv[j + 1]->x(), Px(2500));
        EXPECT_EQ(help.optOv[j]->width(), Px(2600));
    }
    // Every topic's text ends within its frame, where all of it can be read and scrolled.
    for (int j = 0; j < HelpWindow::kTopics; ++j) {
        EXPECT_LT(help.txtHelp[j]->geometry().bottom(), help.fraOv[j]->height()) << j;
        EXPECT_TRUE(help.txtHelp[j]->isReadOnly());
        EXPECT_FALSE(help.txtHelp[j]->toPlainText().isEmpty()) << j;
        EXPECT_EQ(help.optOv[j]->text(), help.lblOv[j]->text());
    }
}

TEST(HelpWindow, TheOverviewListsItsSevenFeaturesOnePerLine) {
    HelpWindow help;
    const QStringList lines = help.txtHelp[0]->toPlainText().split('\n');
    QStringList bullets;
    for (const QString& line : lines) {
        if (line.startsWith(QChar(0x00B7))) {
            bullets << line.mid(1).trimmed();
        }
    }
    EXPECT_EQ(bullets,
              (QStringList{"Can specify a maximum of 100 partitions.",
                           "Max. Size of partition is 1GB(approx.).", "Graphical User Environment.",
                           "Fast ,Efficient & Save.", "Shows the progress of the operation.",
                           "Good Error Handling Capabilities.", "User Friendly."}));
    EXPECT_TRUE(lines.contains("Some of the features of this application are :-"));
    EXPECT_TRUE(
        help.txtHelp[4]->toPlainText().contains("Go : Starts splitting or joining the files"));
}

// Runs check on the modal window of type W once it is up, then closes it.
template <typename W>
std::unique_ptr<WhenModal> WhenOpen(const std::function<void(W&)>& check) {
    return std::make_unique<WhenModal>(W::staticMetaObject.className(), WhenModal::Active<W>(),
                                       [check](QWidget* w) {
                                           check(*static_cast<W*>(w));
                                           w->close();
                                       });
}

TEST(HelpWindow, EveryOpeningFromTheMainWindowStartsAfresh) {
    ScriptedMessageBox answers;
    MainWindow window(&answers);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    {
        auto when = WhenOpen<HelpWindow>([](HelpWindow& help) {
            ChooseTab(help, 2);
            QTest::mouseClick(help.optOv[4], Qt::LeftButton);
            EXPECT_TRUE(InFront(help.fraOv[4]));
        });
        QTest::mouseClick(window.cmdHelp, Qt::LeftButton);
        EXPECT_TRUE(when->acted());
    }
    {
        auto when = WhenOpen<HelpWindow>([](HelpWindow& help) { ExpectOpeningState(help); });
        QTest::mouseClick(window.cmdHelp, Qt::LeftButton);
        EXPECT_TRUE(when->acted());
    }
    window.hide();
}

TEST(AboutWindow, ShowsTheProgramsNameVersionAndDescription) {
    ScriptedMessageBox answers;
    MainWindow window(&answers);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto when = WhenOpen<AboutWindow>([](AboutWindow& about) {
        EXPECT_EQ(about.windowTitle(), "About Tessarel");
        EXPECT_EQ(about.lblVersion->text(), "Version 1.0.0");
        EXPECT_EQ(about.lblTitle->text(), "Tessarel");
        EXPECT_EQ(about.lblDescription->text(),
                  "A utility to split files into variable-sized files, and then join them "
                  "again.");
        EXPECT_FALSE(about.lblComments->text().isEmpty());
        EXPECT_FALSE(about.lblDisclaimer->text().isEmpty());
        EXPECT_FALSE(about.picIcon->pixmap().isNull());
        EXPECT_TRUE(about.cmdOK->isDefault());
        EXPECT_EQ(about.cmdSysInfo->text(), "&System Info...");
    });
    QTest::mouseClick(window.cmdAbout, Qt::LeftButton);
    EXPECT_TRUE(when->acted());
    window.hide();
}

TEST(AboutWindow, EnterAndEscapeCloseIt) {
    ScriptedMessageBox answers;
    for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
        AboutWindow about(answers);
        about.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
        QTest::keyClick(&about, static_cast<Qt::Key>(key));
        EXPECT_FALSE(about.isVisible()) << key;
    }
}

TEST(AboutWindow, SystemInfoWithoutARegistrySaysItIsUnavailable) {
    ScriptedMessageBox answers{kAnswerOk};
    AboutWindow about(answers);
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    QTest::mouseClick(about.cmdSysInfo, Qt::LeftButton);
    ASSERT_EQ(answers.shown.size(), 1u);
    EXPECT_EQ(answers.shown[0].prompt, "System Information Is Unavailable At This Time");
    EXPECT_EQ(answers.shown[0].style, kStylePlain);
    EXPECT_EQ(answers.shown[0].title, "Tessarel");
    EXPECT_TRUE(about.isVisible());
}

}  // namespace
}  // namespace tessarel

namespace tessarel {
namespace {

// Opened from the main window, neither shows its owner's icon in its title bar.
TEST(HelpAndAboutWindows, ShowNoWindowIcon) {
    ScriptedMessageBox answers;
    MainWindow window(&answers);
    AboutWindow about(answers, &window);
    HelpWindow help(&window);
    auto blank = [](const QWidget& w) {
        const QImage icon = w.windowIcon().pixmap(16).toImage();
        for (int y = 0; y < icon.height(); ++y) {
            for (int x = 0; x < icon.width(); ++x) {
                if (qAlpha(icon.pixel(x, y)) != 0) {
                    return false;
                }
            }
        }
        return true;
    };
    EXPECT_FALSE(blank(window));
    EXPECT_TRUE(blank(about));
    EXPECT_TRUE(blank(help));
}

// The colours the design fixes stay readable on a dark theme: the Help headings keep dark text
// on their yellow, the About texts and the title turn lighter on a dark window.
TEST(Colours, EveryTextStaysReadableOnLightAndDarkThemes) {
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    for (const QPalette& theme : {light, dark}) {
        QApplication::setPalette(theme);
        HelpWindow help;
        ScriptedMessageBox box;
        AboutWindow about(box);
        MainWindow main(&box);
        QList<QLabel*> labels = about.findChildren<QLabel*>();
        labels.push_back(help.lblOv[0]);
        labels.push_back(main.lblTitle);
        for (QLabel* label : labels) {
            const QPalette p = label->palette();
            const QColor ground =
                p.color(label->autoFillBackground() ? label->backgroundRole() : QPalette::Window);
            EXPECT_GE(
                Contrast(p.color(QPalette::WindowText).rgb() & 0xFFFFFF, ground.rgb() & 0xFFFFFF),
                4.5)
                << label->text().toStdString();
        }
        EXPECT_EQ(help.lblOv[0]->palette().color(QPalette::WindowText), QColor(Qt::black));
    }
    QApplication::setPalette(light);
}

// At a high scale a window larger than its screen's room fits it, its contents scrolling.
TEST(FitToScreen, AWindowLargerThanTheRoomFitsAndScrolls) {
    HelpWindow help;
    FitToScreen(&help, QRect(0, 0, 512, 360));
    const int bar = help.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    EXPECT_EQ(help.size(), QSize(477 + bar, 360)) << "room for the one scroll bar it needs";
    EXPECT_EQ(help.pos(), QPoint(0, 0));
    ASSERT_NE(help.findChild<QScrollArea*>(), nullptr);
    help.show();
    EXPECT_FALSE(help.findChild<QScrollArea*>()->horizontalScrollBar()->isVisible());
    EXPECT_EQ(help.tbsHelp->size(), QSize(477, 374)) << "the contents keep their designed size";
    HelpWindow roomy;
    FitToScreen(&roomy, QRect(0, 0, 1024, 768));
    EXPECT_EQ(roomy.findChild<QScrollArea*>(), nullptr);
    EXPECT_EQ(roomy.size(), QSize(477, 374));
}

}  // namespace
}  // namespace tessarel
