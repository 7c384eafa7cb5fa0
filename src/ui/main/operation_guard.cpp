#include "ui/main/operation_guard.h"

#include <QApplication>
#include <QEvent>

namespace tessarel {

void OperationGuard::Begin() {
    active_ = true;
    qApp->installEventFilter(this);
    since_pump_.start();
}

void OperationGuard::End() {
    qApp->removeEventFilter(this);
    active_ = false;
}

void OperationGuard::Pump() {
    constexpr int kPumpIntervalMs = 40;
    if (active_ && since_pump_.elapsed() >= kPumpIntervalMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        since_pump_.restart();
    }
}

bool OperationGuard::eventFilter(QObject* watched, QEvent* event) {
    // Only a message box the operation itself shows takes input.
    if (active_ && event->isInputEvent() && !QApplication::activeModalWidget()) {
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace tessarel
