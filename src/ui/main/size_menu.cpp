#include "ui/main/size_menu.h"

#include <QActionGroup>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>

#include "control/main_controller.h"
#include "design/windows_design.h"
#include "ui/platform/paths.h"

namespace tessarel {

SizeMenu::SizeMenu(std::initializer_list<QLineEdit*> entries, MainController& controller,
                   QObject* parent)
    : QObject(parent), controller_(controller) {
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
    const int kept = static_cast<int>(entry->text().size() - entry->selectedText().size());
    if (controller_.TakesPaste(PathFromQt(pasted), size_t(kept), size_t(entry->maxLength()))) {
        entry->paste();
    }
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
    QMenu* recovery = nullptr;
    QActionGroup* choices = nullptr;
    for (const SizeMenuItem& item : controller_.SizeMenuItems()) {
        using Kind = SizeMenuItem::Kind;
        if (item.kind == Kind::kSeparator) {
            menu->addSeparator();
        } else if (item.kind == Kind::kRecoveryMenu) {
            recovery = menu->addMenu(QString::fromStdString(item.caption));
            choices = new QActionGroup(recovery);
        } else {
            QMenu* into = item.kind == Kind::kRecoveryChoice && recovery ? recovery : menu;
            QAction* action = into->addAction(QString::fromStdString(item.caption), this,
                                              [this, item] { controller_.SizeMenuChosen(item); });
            if (item.kind != Kind::kMedium) {
                action->setCheckable(true);
                action->setChecked(item.checked);
            }
            if (item.kind == Kind::kRecoveryChoice && choices) {
                choices->addAction(action);
            }
        }
    }
    menu->popup(entry->mapToGlobal(at));
}

}  // namespace tessarel
