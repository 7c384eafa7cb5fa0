// The mode and size controls, driven with the mouse and the keyboard.
#include <gtest/gtest.h>

#include <tuple>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <map>

#include "support/scripted_message_box.h"
#include "support/ui_wait.h"
#include "ui/main/main_window.h"
#include "ui/platform/up_down_control.h"

namespace tessarel {
namespace {

class ModeTest : public testing::Test {
  protected:
    void SetUp() override {
        window = std::make_unique<MainWindow>(&answers);
        window->SetBeep([this] { ++beeps; });
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override { window->hide(); }

    void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }

    // Enabled state of: optApprox, optExact, txtApprox, updSpinner, opt10, opt100, txtExact.
    std::vector<bool> State() const {
        const MainWindow& w = *window;
        return {w.optApprox->isEnabled(),  w.optExact->isEnabled(), w.txtApprox->isEnabled(),
                w.updSpinner->isEnabled(), w.opt10->isEnabled(),    w.opt100->isEnabled(),
                w.txtExact->isEnabled()};
    }
    const std::vector<bool> kJoin = {false, false, false, false, false, false, false};
    const std::vector<bool> kApprox = {true, true, true, true, true, true, false};
    const std::vector<bool> kExact = {true, true, false, false, false, false, true};

    ScriptedMessageBox answers;
    std::unique_ptr<MainWindow> window;
    int beeps = 0;
};

TEST_F(ModeTest, EveryOrderOfClicksEndsInOneOfTheThreeStates) {
    MainWindow& w = *window;
    EXPECT_EQ(State(), kApprox);
    Click(w.optExact);
    EXPECT_EQ(State(), kExact);
    Click(w.optJoin);
    EXPECT_EQ(State(), kJoin);
    Click(w.optSplit);
    EXPECT_EQ(State(), kExact) << "Split after Join restores Exact";
    EXPECT_TRUE(w.optExact->isChecked());
    Click(w.optApprox);
    EXPECT_EQ(State(), kApprox);
    Click(w.opt100);
    Click(w.optJoin);
    EXPECT_EQ(State(), kJoin);
    Click(w.optSplit);
    EXPECT_EQ(State(), kApprox) << "Split after Join restores Approximate";
    EXPECT_TRUE(w.opt100->isChecked());
    EXPECT_EQ(w.updSpinner->increment(), 100);
    EXPECT_EQ(w.txtApprox->text(), "1400") << "the entries are never cleared";
    EXPECT_EQ(w.txtExact->text(), "0");
}

TEST_F(ModeTest, ChoosingEitherModeClearsBothNames) {
    MainWindow& w = *window;
    for (QRadioButton* mode : {w.optJoin, w.optSplit}) {
        w.txtOpen->setText("/tmp/a");
        w.txtSave->setText("/tmp/b");
        Click(mode);
        EXPECT_EQ(w.txtOpen->text(), "");
        EXPECT_EQ(w.txtSave->text(), "");
    }
}

TEST_F(ModeTest, SizeEntriesTakeDigitsAndBackspaceOnlyAndBeepAtTheRest) {
    MainWindow& w = *window;
    int go = 0;
    QObject::connect(w.cmdGo, &QToolButton::clicked, [&] { ++go; });
    for (QRadioButton* mode : {w.optApprox, w.optExact}) {
        Click(mode);
        QLineEdit* entry = mode == w.optApprox ? w.txtApprox : w.txtExact;
        entry->clear();
        entry->setFocus();
        beeps = 0;
        QTest::keyClicks(entry, "12");
        QTest::keyClick(entry, Qt::Key_Backspace);
        QTest::keyClick(entry, Qt::Key_5);
        EXPECT_EQ(entry->text(), "15");
        EXPECT_EQ(beeps, 0);
        QTest::keyClick(entry, Qt::Key_A);
        QTest::keyClick(entry, Qt::Key_Period);
        QTest::keyClick(entry, Qt::Key_Space);
        QTest::keyClick(entry, Qt::Key_Minus);
        QTest::keyClick(entry, Qt::Key_Return);
        EXPECT_EQ(entry->text(), "15");
        EXPECT_EQ(beeps, 5);
        EXPECT_EQ(go, 0) << "Enter in a size entry is a refused character";
        // Editing keys type nothing and keep working.
        QTest::keyClick(entry, Qt::Key_Home);
        QTest::keyClick(entry, Qt::Key_Delete);
        EXPECT_EQ(entry->text(), "5");
        QTest::keyClick(entry, Qt::Key_A, Qt::ControlModifier);
        EXPECT_EQ(entry->selectedText(), "5");
        EXPECT_EQ(beeps, 5);
    }
}

// A paste follows the typing rule: digits only, or nothing and a beep.
TEST_F(ModeTest, APasteFollowsTheTypingRule) {
    MainWindow& w = *window;
    for (const auto& [pasted, kept, beeped] :
         {std::tuple{"7x", "", 1}, std::tuple{"1 000", "", 2}, std::tuple{"42", "42", 2}}) {
        QApplication::clipboard()->setText(pasted);
        w.txtApprox->clear();
        QTest::keyClick(w.txtApprox, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(w.txtApprox->text(), kept) << pasted;
        EXPECT_EQ(beeps, beeped) << pasted;
    }
}

// A paste that does not fit a size field is refused with the beep, never cut to another number.
TEST_F(ModeTest, APasteLongerThanTheFieldIsRefusedWithABeep) {
    MainWindow& w = *window;
    struct Case {
        QLineEdit* field;
        const char* before;
        bool select_all;
        const char* pasted;
        const char* after;
        int beeps;
    };
    const Case cases[] = {
        {w.txtApprox, "", false, "10485760", "", 1},         // eight digits into seven
        {w.txtApprox, "12", false, "123456", "12", 1},       // fits only with what is there
        {w.txtApprox, "12", true, "1048576", "1048576", 0},  // in place of a selection it fits
        {w.txtExact, "", false, "42949672950", "", 1},       // eleven into ten
    };
    for (const Case& c : cases) {
        (c.field == w.txtExact ? w.optExact : w.optApprox)->setChecked(true);
        c.field->setText(c.before);
        c.select_all ? c.field->selectAll() : c.field->end(false);
        QApplication::clipboard()->setText(c.pasted);
        beeps = 0;
        QTest::keyClick(c.field, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(c.field->text(), c.after) << c.pasted;
        EXPECT_EQ(beeps, c.beeps) << c.pasted;
    }
}

TEST_F(ModeTest, TheSpinnerStepsByTheChosenStepWithinItsRange) {
    MainWindow& w = *window;
    Click(w.updSpinner->upButton());
    EXPECT_EQ(w.txtApprox->text(), "1410");
    Click(w.opt100);
    Click(w.updSpinner->upButton());
    EXPECT_EQ(w.txtApprox->text(), "1510");
    Click(w.updSpinner->downButton());
    EXPECT_EQ(w.txtApprox->text(), "1410");
    w.txtApprox->setText("9765550");
    Click(w.updSpinner->upButton());
    EXPECT_EQ(w.txtApprox->text(), "9765624");
    Click(w.opt10);
    w.txtApprox->setText("5");
    Click(w.updSpinner->downButton());
    EXPECT_EQ(w.txtApprox->text(), "0");
    w.txtApprox->clear();  // an empty entry counts as 0
    Click(w.updSpinner->upButton());
    EXPECT_EQ(w.txtApprox->text(), "10");
    // With the keyboard, when the spinner has the focus.
    w.updSpinner->setFocus();
    QTest::keyClick(w.updSpinner, Qt::Key_Up);
    EXPECT_EQ(w.txtApprox->text(), "20");
    Click(w.optExact);
    Click(w.updSpinner->upButton());
    EXPECT_EQ(w.txtApprox->text(), "20") << "a disabled spinner does nothing";
}

// The size fields' own menu offers the media sizes; choosing one fills Exact and chooses it.
// Reached with the keyboard (the menu key, Shift+F10) and with the right button alike.
TEST_F(ModeTest, TheSizeMenuFillsExactWithAMediumsSize) {
    MainWindow& w = *window;
    const struct {
        QLineEdit* entry;
        std::function<void()> open;
    } ways[] = {
        {w.txtApprox, [&] { QTest::keyClick(w.txtApprox, Qt::Key_F10, Qt::ShiftModifier); }},
        {w.txtApprox, [&] { QTest::keyClick(w.txtApprox, Qt::Key_Menu); }},
        {w.txtExact,
         [&] {
             QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                     w.txtExact->mapToGlobal(QPoint(5, 5)));
             QApplication::sendEvent(w.txtExact, &event);
         }},
    };
    for (const auto& way : ways) {
        Click(way.entry == w.txtApprox ? w.optApprox : w.optExact);
        w.txtExact->setText("0");
        way.entry->setFocus();
        way.open();
        QMenu* menu = nullptr;
        ASSERT_TRUE(WaitUntil(
            [&] { return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())); },
            "the size menu"));
        EXPECT_EQ(menu->accessibleName(), "Piece sizes");
        // Each access key opens or chooses one item: two items with one key only take turns.
        std::map<QChar, QStringList> keys;
        for (QAction* action : menu->actions()) {
            const QString text = action->text();
            const int at = text.indexOf('&');
            if (at >= 0 && at + 1 < text.size() && text[at + 1] != '&') {
                keys[text[at + 1].toLower()] << text;
            }
        }
        for (const auto& key : keys) {
            EXPECT_EQ(key.second.size(), 1) << key.second.join(", ").toStdString();
        }
        QAction* fat32 = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->text() == "FAT32 stick (4 GB)") {
                fat32 = action;
            }
        }
        ASSERT_NE(fat32, nullptr);
        fat32->trigger();
        menu->close();
        EXPECT_TRUE(w.optExact->isChecked());
        EXPECT_EQ(w.txtExact->text(), "4294967295");
        EXPECT_TRUE(w.txtExact->isEnabled());
        EXPECT_FALSE(w.txtApprox->isEnabled());
    }
}

}  // namespace
}  // namespace tessarel
