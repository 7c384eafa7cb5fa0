#include "ui/main/operation_runner.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>

namespace tessarel {

OperationRunner::OperationRunner(ProgressDisplay& display, MessageBox& box, QObject* parent)
    : QObject(parent),
      operation_(
          std::make_unique<BackgroundOperation>(static_cast<UiThread&>(*this), display, box,
                                                [this](bool done) { emit finished(done); })) {}

OperationRunner::~OperationRunner() = default;

void OperationRunner::Post(std::function<void()> work) {
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void OperationRunner::Send(std::function<void()> work) {
    QMetaObject::invokeMethod(this, std::move(work), Qt::BlockingQueuedConnection);
}

void OperationRunner::RunPending() {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace tessarel
