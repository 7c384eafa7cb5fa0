#include "ui/main/key_press_filter.h"

#include <QKeyEvent>

namespace tessarel {

bool KeyPressFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return QObject::eventFilter(watched, event);
    }
    auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    const Qt::KeyboardModifiers commands = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (text.isEmpty() || (key->modifiers() & commands) || key->key() == Qt::Key_Tab ||
        key->key() == Qt::Key_Backtab || key->key() == Qt::Key_Escape ||
        key->key() == Qt::Key_Delete) {
        return false;
    }
    int KeyAscii = text.at(0).unicode();
    handler_(watched, KeyAscii);
    return KeyAscii == 0;
}

}  // namespace tessarel
