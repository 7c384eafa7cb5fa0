#include "ui/main/size_menu.h"

#include <QActionGroup>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>

#include "control/media_sizes.h"
#include "design/windows_design.h"

namespace tessarel {

SizeMenu::SizeMenu(std::initializer_list<QLineEdit*> entries, Chosen chosen,
                   std::function<bool(const QString&)> takes, std::function<void()> beep,
                   std::function<int()> recovery, Chosen chosen_recovery,
                   std::function<bool()> numbered, std::function<void()> toggle_numbered,
                   QObject* parent)
    : QObject(parent),
      chosen_(std::move(chosen)),
      takes_(std::move(takes)),
      beep_(std::move(beep)),
      recovery_(std::move(recovery)),
      chosen_recovery_(std::move(chosen_recovery)),
      numbered_(std::move(numbered)),
      toggle_numbered_(std::move(toggle_numbered)) {
    for (QLineEdit* entry : entries) {
        entry->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(entry, &QLineEdit::customContextMenuRequested, this,
                [this, entry](QPoint at) { Open(entry, at); });
        entry->installEventFilter(this);
    }
}

bool SizeMenu::eventFilter(QObject* watched, QEvent* event) {
    // The menu key and Shift+F10 open it where the text cursor is. (Where the system turns the
    // menu key into a context menu itself, the menu is up before the key arrives here.)
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool shift_only = key->modifiers() == Qt::ShiftModifier;
        auto* entry = static_cast<QLineEdit*>(watched);
        if ((key->key() == Qt::Key_Menu && key->modifiers() == Qt::NoModifier) ||
            (key->key() == Qt::Key_F10 && shift_only)) {
            Open(entry, entry->inputMethodQuery(Qt::ImCursorRectangle).toRect().bottomLeft());
            return true;
        }
        if (key->matches(QKeySequence::Paste) || (key->key() == Qt::Key_Insert && shift_only)) {
            Paste(entry);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void SizeMenu::Paste(QLineEdit* entry) {
    if (entry->isReadOnly() || !entry->isEnabled()) {
        return;
    }
    const QString pasted = QGuiApplication::clipboard()->text();
    if (!takes_(pasted)) {
        return;
    }
    const int kept = static_cast<int>(entry->text().size() - entry->selectedText().size());
    if (kept + pasted.size() > entry->maxLength()) {
        beep_();
        return;
    }
    entry->paste();
}

void SizeMenu::Open(QLineEdit* entry, QPoint at) {
    QMenu* menu = entry->createStandardContextMenu();
    // The menu's Paste pastes as the keyboard does: all of it or, beeping, nothing.
    for (QAction* action : menu->actions()) {
        if (action->objectName() == QLatin1String("edit-paste")) {
            disconnect(action, &QAction::triggered, nullptr, nullptr);
            connect(action, &QAction::triggered, this, [this, entry] { Paste(entry); });
        }
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setAccessibleName(kSizeMenuName);
    menu->addSeparator();
    for (int i = 0; i < kMediaSizeCount; ++i) {
        menu->addAction(kMediaSizes[i].caption, this, [this, i] { chosen_(i); });
    }
    menu->addSeparator();
    QMenu* recovery = menu->addMenu(kRecoveryMenuCaption);
    auto* choices = new QActionGroup(recovery);
    for (int i = 0; i < kRecoveryChoiceCount; ++i) {
        QAction* choice = recovery->addAction(kRecoveryChoices[i].caption, this,
                                              [this, i] { chosen_recovery_(i); });
        choice->setCheckable(true);
        choice->setChecked(i == recovery_());
        choices->addAction(choice);
    }
    QAction* numbered =
        menu->addAction(kNumberedPiecesCaption, this, [this] { toggle_numbered_(); });
    numbered->setCheckable(true);
    numbered->setChecked(numbered_());
    menu->popup(entry->mapToGlobal(at));
}

}  // namespace tessarel
