#include "ui/main/operation_guard.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

namespace tessarel {

void OperationGuard::Begin() {
    active_ = true;
    qApp->installEventFilter(this);
}

void OperationGuard::End() {
    qApp->removeEventFilter(this);
    active_ = false;
}

bool OperationGuard::eventFilter(QObject* watched, QEvent* event) {
    // A message box shown for the operation (or for stopping it) takes its input as usual.
    if (!active_ || !event->isInputEvent() || QApplication::activeModalWidget()) {
        return QObject::eventFilter(watched, event);
    }
    if (watched == cancel_ && cancel_->isVisible()) {
        return QObject::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        escape_();
    }
    return true;
}

}  // namespace tessarel
