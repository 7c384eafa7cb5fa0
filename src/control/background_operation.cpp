#include "control/background_operation.h"

#include "platform/thread.h"

namespace tessarel {

// The window's display, as the operation's thread sees it. What it posts holds on to the
// operation object only, never to this one, which is gone when the request ends.
class BackgroundOperation::WorkerDisplay : public ProgressDisplay {
  public:
    explicit WorkerDisplay(BackgroundOperation& op) : op_(op) {}

    void ShowTotal(int64_t count) override {
        Post([count](ProgressDisplay& d) { d.ShowTotal(count); });
    }
    void ShowOperating() override {
        Post([](ProgressDisplay& d) { d.ShowOperating(); });
    }
    void ShowPiece(int64_t k) override {
        Post([k](ProgressDisplay& d) { d.ShowPiece(k); });
    }
    void ShowReadingBack(bool reading) override {
        Post([reading](ProgressDisplay& d) { d.ShowReadingBack(reading); });
    }
    void SetProgress(float percent) override {
        op_.percent_ = percent;
        Refresh();
    }
    void ShowBytes(int64_t done, int64_t total) override {
        op_.done_bytes_ = done;
        op_.total_bytes_ = total;
        Refresh();
    }
    void ShowIdle() override {
        // The bar's last value comes before the idle state, as it would without a thread.
        BackgroundOperation* op = &op_;
        op_.ui_.Post([op] {
            op->Refresh();
            op->display_.ShowIdle();
        });
    }
    bool ShouldStop() override { return op_.WaitIfPaused(); }

  private:
    template <typename F>
    void Post(F change) {
        BackgroundOperation* op = &op_;
        op_.ui_.Post([op, change] { change(op->display_); });
    }
    void Refresh() {
        if (!op_.refresh_pending_.exchange(true)) {
            BackgroundOperation* op = &op_;
            op_.ui_.Post([op] { op->Refresh(); });
        }
    }

    BackgroundOperation& op_;
};

// The window's message box, as the operation's thread sees it: the question waits for the
// answer the user gives on the window's thread.
class BackgroundOperation::WorkerBox : public MessageBox {
  public:
    explicit WorkerBox(BackgroundOperation& op) : op_(op) {}

    MsgAnswer Show(const Notice& notice) override {
        const MsgLayout layout = LayoutOf(notice.style);
        const MsgAnswer refusal =
            layout.buttons.size() > 1 ? layout.escape_answer : layout.buttons.front();
        {
            // Never over "Stop?": the question waits for its answer.
            std::unique_lock<std::mutex> lock(op_.mutex_);
            op_.resumed_.wait(lock, [&] { return !op_.paused_; });
            // Once the user has asked to stop, the operation asks nothing more, and its end is
            // no failure to report.
            if (op_.stop_) {
                return refusal;
            }
            op_.question_ = true;
        }
        MsgAnswer answer = kAnswerNone;
        op_.ui_.Send([&] { answer = op_.box_.Show(notice); });
        std::lock_guard<std::mutex> lock(op_.mutex_);
        op_.question_ = false;
        if (op_.stop_on_answer_) {
            op_.stop_on_answer_ = false;
            op_.stop_ = true;
            answer = refusal;
        }
        return answer;
    }

  private:
    BackgroundOperation& op_;
};

BackgroundOperation::BackgroundOperation(UiThread& ui, ProgressDisplay& display, MessageBox& box,
                                         std::function<void(bool)> finished)
    : ui_(ui), display_(display), box_(box), finished_(std::move(finished)) {}

BackgroundOperation::~BackgroundOperation() {
    if (worker_.joinable()) {
        Stop();
        // The operation may be waiting for the window: let its calls through until it ends.
        while (running_) {
            ui_.RunPending();
        }
        worker_.join();
    }
}

bool BackgroundOperation::Start(Request request) {
    if (running_) {
        return false;
    }
    if (worker_.joinable()) {
        worker_.join();
    }
    running_ = true;
    stop_ = false;
    paused_ = false;
    question_ = false;
    stop_on_answer_ = false;
    worker_ = std::thread([this, request = std::move(request)] {
        GiveWayToTheWindow();
        WorkerDisplay display(*this);
        WorkerBox box(*this);
        const bool done = RunRequest(request, display, box);
        ui_.Post([this, done] { Done(done); });
    });
    return true;
}

void BackgroundOperation::Done(bool done) {
    if (worker_.joinable()) {
        worker_.join();
    }
    running_ = false;
    if (finished_) {
        finished_(done);
    }
}

bool BackgroundOperation::PauseToAsk() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (question_) {
        stop_on_answer_ = true;
        return false;
    }
    paused_ = true;
    return true;
}

void BackgroundOperation::Pause() {
    std::lock_guard<std::mutex> lock(mutex_);
    paused_ = true;
}

void BackgroundOperation::Resume() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        paused_ = false;
    }
    resumed_.notify_all();
}

void BackgroundOperation::Stop() {
    stop_ = true;
    Resume();
}

bool BackgroundOperation::WaitIfPaused() {
    std::unique_lock<std::mutex> lock(mutex_);
    resumed_.wait(lock, [&] { return !paused_; });
    return stop_;
}

void BackgroundOperation::Refresh() {
    refresh_pending_ = false;
    display_.SetProgress(percent_);
    display_.ShowBytes(done_bytes_, total_bytes_);
}

}  // namespace tessarel
