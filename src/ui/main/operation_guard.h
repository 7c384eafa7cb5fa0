// Keeps a window alive but untouchable while an operation runs on the UI thread: input is
// dropped, not kept for later, and pending paint and timer events are let through now and then
// so the clip and the bar move.
#pragma once

#include <QElapsedTimer>
#include <QObject>

namespace tessarel {

class OperationGuard : public QObject {
  public:
    explicit OperationGuard(QObject* parent = nullptr) : QObject(parent) {}

    void Begin();
    void End();
    bool active() const { return active_; }
    // Lets pending events through, at most once per interval: smooth enough for the clip,
    // cheap for the copy.
    void Pump();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool active_ = false;
    QElapsedTimer since_pump_;
};

}  // namespace tessarel
