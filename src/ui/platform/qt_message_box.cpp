#include "ui/platform/qt_message_box.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <map>

namespace tessarel {
namespace {

QMessageBox::Icon QtIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Critical:
            return QMessageBox::Critical;
        case MsgIcon::Question:
            return QMessageBox::Question;
        case MsgIcon::Exclamation:
            return QMessageBox::Warning;
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

MsgAnswer QtMessageBox::Show(const Notice& notice) {
    const MsgLayout layout = LayoutOf(notice.style);
    QMessageBox box(parent_);
    box.setWindowTitle(QString::fromStdString(notice.title));
    // Messages may carry a lone carriage return as their line break.
    QString text = QString::fromStdString(notice.prompt);
    text.replace("\r\n", "\n").replace('\r', '\n');
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    box.setIcon(QtIcon(layout.icon));
    std::map<QAbstractButton*, MsgAnswer> answers;
    for (size_t i = 0; i < layout.buttons.size(); ++i) {
        const MsgAnswer answer = layout.buttons[i];
        QPushButton* button = box.addButton(ButtonCaption(answer), QMessageBox::ActionRole);
        button->setAccessibleName(QString(ButtonCaption(answer)).remove('&'));
        answers[button] = answer;
        button->setProperty("answer", static_cast<int>(answer));
        if (static_cast<int>(i) == layout.default_index) {
            box.setDefaultButton(button);
        }
        if (answer == layout.escape_answer) {
            box.setEscapeButton(button);
        }
    }
    QMessageBox* const before = shown_;
    shown_ = &box;
    box.exec();
    shown_ = before;
    const auto found = answers.find(box.clickedButton());
    if (found != answers.end()) {
        return found->second;
    }
    // Closed without a button (only possible where Escape has a meaning).
    return layout.escape_answer != kAnswerNone ? layout.escape_answer : layout.buttons.front();
}

void QtMessageBox::CancelShown() {
    if (!shown_) {
        return;
    }
    if (QAbstractButton* escape = shown_->escapeButton()) {
        escape->click();
        return;
    }
    // A box with Yes and No has no Escape of its own: No answers it.
    const QList<QAbstractButton*> buttons = shown_->buttons();
    for (QAbstractButton* button : buttons) {
        if (button->property("answer").toInt() == static_cast<int>(kAnswerNo)) {
            button->click();
            return;
        }
    }
}

}  // namespace tessarel
