// The Qt window's way onto its own thread, for the operation that runs on a thread of its own.
#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>

#include "control/background_operation.h"

namespace tessarel {

class QtUiThread : public QObject, public UiThread {
  public:
    void Post(std::function<void()> work) override {
        QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
    }
    void Send(std::function<void()> work) override {
        QMetaObject::invokeMethod(this, std::move(work), Qt::BlockingQueuedConnection);
    }
    void RunPending() override { QCoreApplication::processEvents(QEventLoop::AllEvents, 10); }
};

}  // namespace tessarel
