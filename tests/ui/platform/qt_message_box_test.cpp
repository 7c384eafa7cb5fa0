#include "ui/platform/qt_message_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "support/ui_wait.h"

namespace tessarel {
namespace {

// Runs action on the message box once it is up, then returns what the box answered.
int ShowAndAct(MsgStyle style, const std::function<void(QMessageBox*)>& action) {
    QtMessageBox box;
    WhenModal when("the message box", WhenModal::Active<QMessageBox>(),
                   [&](QWidget* shown) { action(static_cast<QMessageBox*>(shown)); });
    return box.Show({MsgKind::kQuit, "Are you sure?", style, "Quit?"});
}

QStringList Captions(QMessageBox* box) {
    QStringList captions;
    for (QAbstractButton* b : box->buttons()) {
        captions << b->text();
    }
    captions.sort();
    return captions;
}

TEST(QtMessageBox, EscapeAnswersCancelOrNoAndEnterTheFirstButton) {
    struct Case {
        MsgStyle style;
        QStringList captions;
        QMessageBox::Icon icon;
        int escape;
        int enter;
    };
    const Case cases[] = {
        {kStylePlain, {"OK"}, QMessageBox::NoIcon, kAnswerOk, kAnswerOk},
        {kStyleYesNo, {"&No", "&Yes"}, QMessageBox::NoIcon, kAnswerNo, kAnswerYes},
        {kStyleCritical, {"OK"}, QMessageBox::Critical, kAnswerOk, kAnswerOk},
        {kStyleWarning, {"OK"}, QMessageBox::Warning, kAnswerOk, kAnswerOk},
        {kStyleWarningYesNo, {"&No", "&Yes"}, QMessageBox::Warning, kAnswerNo, kAnswerYes},
        {kStyleWarningRetryCancel,
         {"&Retry", "Cancel"},
         QMessageBox::Warning,
         kAnswerCancel,
         kAnswerRetry},
        {kStyleInfoOkCancel, {"Cancel", "OK"}, QMessageBox::Information, kAnswerCancel, kAnswerOk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(StyleNumber(c.style));
        const int on_escape = ShowAndAct(c.style, [&](QMessageBox* box) {
            EXPECT_EQ(Captions(box), c.captions);
            EXPECT_EQ(box->icon(), c.icon);
            EXPECT_EQ(box->windowTitle(), "Quit?");
            EXPECT_EQ(box->text(), "Are you sure?");
            QTest::keyClick(box, Qt::Key_Escape);
        });
        EXPECT_EQ(on_escape, c.escape);
        const int on_enter =
            ShowAndAct(c.style, [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); });
        EXPECT_EQ(on_enter, c.enter);
    }
}

TEST(QtMessageBox, ClickedButtonGivesItsAnswer) {
    const int answer = ShowAndAct(kStyleWarningRetryCancel, [](QMessageBox* box) {
        for (QAbstractButton* b : box->buttons()) {
            if (b->text() == "&Retry") {
                b->click();
            }
        }
    });
    EXPECT_EQ(answer, kAnswerRetry);
}

}  // namespace
}  // namespace tessarel
