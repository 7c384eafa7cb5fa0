// Waiting in window tests, always with a deadline: a regression fails the one test with a
// message that says what it waited for, never hangs the suite.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>

namespace tessarel {

constexpr int kUiDeadlineMs = 5000;

// Lets the event loop run until done() holds, for at most deadline_ms.
inline testing::AssertionResult WaitUntil(const std::function<bool()>& done,
                                          const std::string& what,
                                          int deadline_ms = kUiDeadlineMs) {
    QElapsedTimer since;
    since.start();
    while (!done()) {
        if (since.elapsed() > deadline_ms) {
            return testing::AssertionFailure()
                   << "waited " << deadline_ms << " ms for " << what << " in vain";
        }
        QTest::qWait(5);
    }
    return testing::AssertionSuccess();
}

// Once the modal window that find() returns is up, does act() to it; the window must then
// close. Set up before the click that opens it. Gives up after the deadline either way: a
// window that never came is a failure, and one that stays up is closed so the test goes on.
class WhenModal {
  public:
    WhenModal(std::string what, std::function<QWidget*()> find, std::function<void(QWidget*)> act,
              int deadline_ms = kUiDeadlineMs)
        : what_(std::move(what)),
          find_(std::move(find)),
          act_(std::move(act)),
          deadline_ms_(deadline_ms) {
        since_.start();
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start(5);
    }
    ~WhenModal() {
        timer_.stop();
        if (!acted_) {
            ADD_FAILURE() << what_ << " did not appear within " << deadline_ms_ << " ms";
        }
    }
    WhenModal(const WhenModal&) = delete;
    WhenModal& operator=(const WhenModal&) = delete;

    bool acted() const { return acted_; }

    // The active modal window, when it is a W.
    template <typename W>
    static std::function<QWidget*()> Active() {
        return [] { return qobject_cast<W*>(QApplication::activeModalWidget()); };
    }

  private:
    void Poll() {
        if (!acted_) {
            QWidget* window = find_();
            if (window && window->isVisible()) {
                acted_ = true;
                shown_ = window;
                since_.restart();
                act_(window);
            } else if (since_.elapsed() > deadline_ms_) {
                timer_.stop();
            }
            return;
        }
        if (!shown_ || !shown_->isVisible()) {
            timer_.stop();
        } else if (since_.elapsed() > deadline_ms_) {
            timer_.stop();
            ADD_FAILURE() << what_ << " was still open " << deadline_ms_ << " ms after the answer";
            if (auto* dialog = qobject_cast<QDialog*>(shown_.data())) {
                dialog->reject();
            } else {
                shown_->close();
            }
        }
    }

    std::string what_;
    std::function<QWidget*()> find_;
    std::function<void(QWidget*)> act_;
    int deadline_ms_;
    bool acted_ = false;
    QPointer<QWidget> shown_;
    QElapsedTimer since_;
    QTimer timer_;
};

}  // namespace tessarel
