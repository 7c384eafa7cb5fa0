// Runs a request on a thread of its own, so the window keeps answering (repaint, clip, Cancel,
// screen readers) however slow the disk. What the request shows and asks passes to the window,
// which shows it on its own thread and answers: questions wait for their answer, display changes
// are handed over in order, and the bar takes only the latest value.
#pragma once

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "control/go_command.h"
#include "engine/progress_display.h"
#include "platform/message_box.h"

namespace tessarel {

class OperationRunner : public QObject {
    Q_OBJECT
  public:
    // display and box are the window's own, used on the window's thread only.
    OperationRunner(ProgressDisplay& display, MessageBox& box, QObject* parent = nullptr);
    ~OperationRunner() override;

    // Starts the request; false when one runs already.
    bool Start(Request request);
    bool running() const { return running_; }

    // While a question of the window's is up (shall we stop?), the operation waits at its next
    // step; Stop makes it stop there.
    void Pause();
    void Resume();
    void Stop();

  signals:
    void finished(bool done);

  private:
    class WorkerDisplay;
    class WorkerBox;
    // Waits while paused; true once asked to stop. On the operation's thread.
    bool WaitIfPaused();
    // Puts the latest bar on the window, once per pending change.
    void Refresh();
    void Done(bool done);

    ProgressDisplay& display_;
    MessageBox& box_;
    std::thread worker_;
    bool running_ = false;

    std::mutex mutex_;
    std::condition_variable resumed_;
    bool paused_ = false;
    std::atomic<bool> stop_{false};

    std::atomic<float> percent_{0};
    std::atomic<int64_t> done_bytes_{0};
    std::atomic<int64_t> total_bytes_{0};
    std::atomic<bool> refresh_pending_{false};
};

}  // namespace tessarel
