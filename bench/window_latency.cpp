// How well the real main window answers while it splits and joins, and how fast Cancel stops.
//
//   QT_QPA_PLATFORM=offscreen window_latency FOLDER [MiB]     default 2048 MiB
//
// Splits a file of MiB into at most 100 pieces in FOLDER through the window (Go pressed, the
// questions answered OK), then joins them back, while a probe thread asks the window's thread
// a question every 10 ms the way a screen reader does (an accessibility call that reads the
// progress bar's value and the Cancel button's name) and times each answer. Then starts the
// split again, presses Cancel after a second, answers Yes, and times the way back to idle.
// Prints the median, the 95th percentile and the largest latency of each operation.
#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/message_box.h"
#include "ui/main/main_window.h"

namespace {

using Clock = std::chrono::steady_clock;

// Answers every question as a user who wants the operation done; Yes when asked to stop.
class Agreeing : public tessarel::MessageBox {
  public:
    tessarel::MsgAnswer Show(const tessarel::Notice& notice) override {
        const auto layout = tessarel::LayoutOf(notice.style);
        return layout.buttons.front();  // OK, Yes, Retry
    }
};

// Calls into the window's thread every 10 ms from a thread of its own, timing each.
class Probe {
  public:
    explicit Probe(tessarel::MainWindow& window) : window_(window) {
        thread_ = std::thread([this] { Run(); });
    }
    ~Probe() {
        running_ = false;
        thread_.join();
    }
    std::vector<double> Latencies() {
        std::lock_guard<std::mutex> lock(mutex_);
        return latencies_;
    }

  private:
    void Run() {
        while (running_) {
            const auto sent = Clock::now();
            // Shared with the call, which may still be waiting when the probe stops.
            auto answered = std::make_shared<std::atomic<bool>>(false);
            tessarel::MainWindow* window = &window_;
            QMetaObject::invokeMethod(window, [window, answered] {
                QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(window->pgbDone);
                QAccessibleInterface* cancel =
                    QAccessible::queryAccessibleInterface(window->cmdCancel);
                if (bar && bar->valueInterface() && cancel) {
                    (void)bar->valueInterface()->currentValue();
                    (void)cancel->text(QAccessible::Name);
                }
                *answered = true;
            });
            while (!*answered && running_) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            if (*answered) {
                std::lock_guard<std::mutex> lock(mutex_);
                latencies_.push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    tessarel::MainWindow& window_;
    std::thread thread_;
    std::atomic<bool> running_{true};
    std::mutex mutex_;
    std::vector<double> latencies_;
};

double At(std::vector<double> v, double fraction) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, static_cast<size_t>(fraction * v.size()))];
}

void Report(const char* what, const std::vector<double>& ms, double seconds) {
    const auto within = std::count_if(ms.begin(), ms.end(), [](double m) { return m <= 100; });
    std::printf(
        "%-6s %7.1f s %6zu calls  median %6.2f ms  95%% %6.2f ms  largest %7.2f ms  "
        "within 100 ms %5.1f%%\n",
        what, seconds, ms.size(), At(ms, 0.5), At(ms, 0.95), At(ms, 1.0),
        ms.empty() ? 0.0 : 100.0 * double(within) / double(ms.size()));
}

// Presses Go and lets the window run until the request ends.
double RunGo(tessarel::MainWindow& window) {
    const int before = window.go_requests_done();
    QElapsedTimer timer;
    timer.start();
    QTest::mouseClick(window.cmdGo, Qt::LeftButton);
    while (window.go_requests_done() == before) {
        QTest::qWait(5);
    }
    return static_cast<double>(timer.elapsed()) / 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_latency FOLDER [MiB]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const int64_t mib = argc > 2 ? std::atoll(argv[2]) : 2048;
    const std::string work = folder + "/tessarel-latency";
    std::filesystem::remove_all(work);
    std::filesystem::create_directories(work);
    const std::string source = std::filesystem::temp_directory_path() / "tessarel-latency.bin";
    {
        std::ofstream out(source, std::ios::binary);
        std::vector<char> block(1 << 20);
        uint32_t x = 7;
        for (int64_t i = 0; i < mib; ++i) {
            for (char& c : block) {
                x = x * 1103515245u + 12345u;
                c = static_cast<char>(x >> 16);
            }
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
    }
    Agreeing answers;
    tessarel::MainWindow window(&answers);
    window.show();
    const int64_t piece = ((mib << 20) + 20 + 99) / 100 + 1;

    std::printf("%s, %lld MiB, pieces of %lld bytes; a call every 10 ms from another thread\n",
                folder.c_str(), static_cast<long long>(mib), static_cast<long long>(piece));
    window.optExact->click();
    window.txtExact->setText(QString::number(piece));
    window.txtOpen->setText(QString::fromStdString(source));
    window.txtSave->setText(QString::fromStdString(work + "/s"));
    {
        Probe probe(window);
        const double seconds = RunGo(window);
        Report("split", probe.Latencies(), seconds);
    }
    window.optJoin->click();
    window.txtOpen->setText(QString::fromStdString(work + "/s.m00"));
    window.txtSave->setText(QString::fromStdString(work + "/back.bin"));
    {
        Probe probe(window);
        const double seconds = RunGo(window);
        Report("join", probe.Latencies(), seconds);
    }
    // Cancel a second into a split that replaces the series: the time from Yes to idle.
    window.optSplit->click();
    window.optExact->click();
    window.txtExact->setText(QString::number(piece));
    window.txtOpen->setText(QString::fromStdString(source));
    window.txtSave->setText(QString::fromStdString(work + "/s"));
    QTest::mouseClick(window.cmdGo, Qt::LeftButton);
    QTest::qWait(1000);
    QElapsedTimer cancelled;
    cancelled.start();
    window.cmdCancel->click();
    while (window.operating()) {
        QTest::qWait(1);
    }
    std::printf("Cancel to idle: %lld ms\n", static_cast<long long>(cancelled.elapsed()));
    std::filesystem::remove_all(work);
    std::filesystem::remove(source);
    return 0;
}
