#include "ui/main/operation_runner.h"

#include "platform/thread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>

namespace tessarel {

// The window's display, as the operation's thread sees it.
class OperationRunner::WorkerDisplay : public ProgressDisplay {
  public:
    explicit WorkerDisplay(OperationRunner& runner) : runner_(runner) {}

    void ShowTotal(int64_t count) override {
        Post([count](ProgressDisplay& d) { d.ShowTotal(count); });
    }
    void ShowOperating() override {
        Post([](ProgressDisplay& d) { d.ShowOperating(); });
    }
    void ShowPiece(int64_t k) override {
        Post([k](ProgressDisplay& d) { d.ShowPiece(k); });
    }
    void SetProgress(float percent) override {
        runner_.percent_ = percent;
        Refresh();
    }
    void ShowBytes(int64_t done, int64_t total) override {
        runner_.done_bytes_ = done;
        runner_.total_bytes_ = total;
        Refresh();
    }
    void ShowIdle() override {
        // The bar's last value comes before the idle state, as it would without a thread.
        OperationRunner* runner = &runner_;
        Post([runner](ProgressDisplay& d) {
            runner->Refresh();
            d.ShowIdle();
        });
    }
    void BeginOperation() override {
        Post([](ProgressDisplay& d) { d.BeginOperation(); });
    }
    void EndOperation() override {
        Post([](ProgressDisplay& d) { d.EndOperation(); });
    }
    bool StopRequested() override { return runner_.WaitIfPaused(); }

  private:
    // The change runs on the window's thread, after this object may be gone: it holds on to
    // the runner only.
    template <typename F>
    void Post(F change) {
        OperationRunner* runner = &runner_;
        QMetaObject::invokeMethod(
            runner, [runner, change] { change(runner->display_); }, Qt::QueuedConnection);
    }
    void Refresh() {
        if (!runner_.refresh_pending_.exchange(true)) {
            OperationRunner* runner = &runner_;
            QMetaObject::invokeMethod(
                runner, [runner] { runner->Refresh(); }, Qt::QueuedConnection);
        }
    }

    OperationRunner& runner_;
};

// The window's message box, as the operation's thread sees it: the question waits for the
// answer the user gives on the window's thread.
class OperationRunner::WorkerBox : public MessageBox {
  public:
    explicit WorkerBox(OperationRunner& runner) : runner_(runner) {}

    MsgAnswer Show(const Notice& notice) override {
        MsgAnswer answer = kAnswerNone;
        QMetaObject::invokeMethod(
            &runner_, [&] { answer = runner_.box_.Show(notice); }, Qt::BlockingQueuedConnection);
        return answer;
    }

  private:
    OperationRunner& runner_;
};

OperationRunner::OperationRunner(ProgressDisplay& display, MessageBox& box, QObject* parent)
    : QObject(parent), display_(display), box_(box) {}

OperationRunner::~OperationRunner() {
    if (worker_.joinable()) {
        Stop();
        // The operation may be waiting for the window: let its calls through until it ends.
        while (running_) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        worker_.join();
    }
}

bool OperationRunner::Start(Request request) {
    if (running_) {
        return false;
    }
    if (worker_.joinable()) {
        worker_.join();
    }
    running_ = true;
    stop_ = false;
    paused_ = false;
    worker_ = std::thread([this, request = std::move(request)] {
        GiveWayToTheWindow();
        WorkerDisplay display(*this);
        WorkerBox box(*this);
        const bool done = RunRequest(request, display, box);
        QMetaObject::invokeMethod(
            this, [this, done] { Done(done); }, Qt::QueuedConnection);
    });
    return true;
}

void OperationRunner::Done(bool done) {
    if (worker_.joinable()) {
        worker_.join();
    }
    running_ = false;
    emit finished(done);
}

void OperationRunner::Pause() {
    std::lock_guard<std::mutex> lock(mutex_);
    paused_ = true;
}

void OperationRunner::Resume() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        paused_ = false;
    }
    resumed_.notify_all();
}

void OperationRunner::Stop() {
    stop_ = true;
    Resume();
}

bool OperationRunner::WaitIfPaused() {
    std::unique_lock<std::mutex> lock(mutex_);
    resumed_.wait(lock, [&] { return !paused_; });
    return stop_;
}

void OperationRunner::Refresh() {
    refresh_pending_ = false;
    display_.SetProgress(percent_);
    display_.ShowBytes(done_bytes_, total_bytes_);
}

}  // namespace tessarel
