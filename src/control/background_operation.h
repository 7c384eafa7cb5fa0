// Runs a request on a thread of its own, so a window keeps answering (repaint, clip, Cancel,
// screen readers) however slow the disk. What the request shows and asks passes to the window's
// thread, which shows it and answers: questions wait for their answer, display changes are handed
// over in order, and the bar takes only its latest value. Every window front end (Qt, Win32)
// gives the way onto its own thread; the rest is here, once.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "control/go_form.h"
#include "engine/progress_display.h"
#include "platform/message_box.h"

namespace tessarel {

// The way onto a window's own thread.
class UiThread {
  public:
    virtual ~UiThread() = default;
    // Runs work later on the window's thread, in the order posted.
    virtual void Post(std::function<void()> work) = 0;
    // Runs work on the window's thread and waits until it has run.
    virtual void Send(std::function<void()> work) = 0;
    // On the window's thread: lets what is posted or sent run for a moment.
    virtual void RunPending() = 0;
};

class BackgroundOperation {
  public:
    // display and box are the window's own, used on its thread only; finished is told there
    // whether the request was carried out.
    BackgroundOperation(UiThread& ui, ProgressDisplay& display, MessageBox& box,
                        std::function<void(bool done)> finished);
    ~BackgroundOperation();
    BackgroundOperation(const BackgroundOperation&) = delete;
    BackgroundOperation& operator=(const BackgroundOperation&) = delete;

    // Starts the request; false when one runs already.
    bool Start(Request request);
    bool running() const { return running_; }

    // While a question of the window's is up (shall we stop?), the operation waits at its next
    // step; Stop makes it stop there. One question at a time: when one of the operation's own is
    // on its way or up, PauseToAsk pauses nothing and returns false, and that question's answer
    // becomes its Cancel (or No), which stops the operation.
    bool PauseToAsk();
    void Pause();
    void Resume();
    void Stop();

  private:
    class WorkerDisplay;
    class WorkerBox;
    bool WaitIfPaused();  // on the operation's thread: true once asked to stop
    void Refresh();       // on the window's thread: the latest bar
    void Done(bool done);

    UiThread& ui_;
    ProgressDisplay& display_;
    MessageBox& box_;
    std::function<void(bool)> finished_;
    std::thread worker_;
    bool running_ = false;

    std::mutex mutex_;
    std::condition_variable resumed_;
    bool paused_ = false;
    bool question_ = false;        // one of the operation's questions is on its way or up
    bool stop_on_answer_ = false;  // and a stop was asked for meanwhile
    std::atomic<bool> stop_{false};

    std::atomic<float> percent_{0};
    std::atomic<int64_t> done_bytes_{0};
    std::atomic<int64_t> total_bytes_{0};
    std::atomic<bool> refresh_pending_{false};
};

}  // namespace tessarel
