// Keeps a window untouchable while an operation runs: input is dropped, not kept for later, but
// for the one way out (the Cancel button, and Escape, which asks to stop) and for the message
// boxes the operation itself shows.
#pragma once

#include <QObject>
#include <functional>

namespace tessarel {

class OperationGuard : public QObject {
  public:
    OperationGuard(QWidget* cancel, std::function<void()> escape, QObject* parent = nullptr)
        : QObject(parent), cancel_(cancel), escape_(std::move(escape)) {}

    void Begin();
    void End();
    bool active() const { return active_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool active_ = false;
    QWidget* cancel_;
    std::function<void()> escape_;
};

}  // namespace tessarel
