// The Qt window's way onto its own thread, for the operation that runs on a thread of its own.
#pragma once

#include <QObject>
#include <memory>

#include "control/background_operation.h"

namespace tessarel {

class OperationRunner : public QObject, private UiThread {
    Q_OBJECT
  public:
    OperationRunner(ProgressDisplay& display, MessageBox& box, QObject* parent = nullptr);
    ~OperationRunner() override;

    bool Start(Request request) { return operation_->Start(std::move(request)); }
    bool running() const { return operation_->running(); }
    void Pause() { operation_->Pause(); }
    void Resume() { operation_->Resume(); }
    void Stop() { operation_->Stop(); }

  signals:
    void finished(bool done);

  private:
    void Post(std::function<void()> work) override;
    void Send(std::function<void()> work) override;
    void RunPending() override;

    std::unique_ptr<BackgroundOperation> operation_;
};

}  // namespace tessarel
