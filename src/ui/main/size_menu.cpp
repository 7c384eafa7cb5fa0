#include "ui/main/size_menu.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>

#include "control/media_sizes.h"
#include "design/windows_design.h"

namespace tessarel {

SizeMenu::SizeMenu(std::initializer_list<QLineEdit*> entries, Chosen chosen, QObject* parent)
    : QObject(parent), chosen_(std::move(chosen)) {
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
        if ((key->key() == Qt::Key_Menu && key->modifiers() == Qt::NoModifier) ||
            (key->key() == Qt::Key_F10 && shift_only)) {
            auto* entry = static_cast<QLineEdit*>(watched);
            Open(entry, entry->inputMethodQuery(Qt::ImCursorRectangle).toRect().bottomLeft());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void SizeMenu::Open(QLineEdit* entry, QPoint at) {
    QMenu* menu = entry->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setAccessibleName(kSizeMenuName);
    menu->addSeparator();
    for (int i = 0; i < kMediaSizeCount; ++i) {
        const MediaSize& size = kMediaSizes[i];
        menu->addAction(size.caption, this, [this, &size] { chosen_(size); });
    }
    menu->popup(entry->mapToGlobal(at));
}

}  // namespace tessarel
