#include "control/time_left.h"

#include <cmath>
#include <cstdio>

namespace tessarel {
namespace {

// A new rate is taken in over this many seconds: long enough to smooth a disk's bursts, short
// enough to follow a change of medium.
constexpr double kSmoothing = 3.0;
constexpr double kShortestSample = 0.25;  // seconds between two samples of the rate

}  // namespace

void TimeLeft::Update(int64_t done, int64_t total, double now) {
    left_ = total - done;
    if (started_ < 0 || done < last_done_) {
        started_ = now;
        last_time_ = now;
        last_done_ = done;
        rate_ = 0;
        return;
    }
    const double elapsed = now - last_time_;
    if (elapsed < kShortestSample) {
        return;
    }
    const double sample = static_cast<double>(done - last_done_) / elapsed;
    // The first samples are averaged plainly; later ones decay with the smoothing time.
    const double weight = std::min(1.0, elapsed / std::min(kSmoothing, now - started_));
    rate_ = rate_ == 0 ? sample : rate_ + weight * (sample - rate_);
    last_time_ = now;
    last_done_ = done;
}

std::string TimeLeft::Text() const {
    if (rate_ <= 0) {
        return "";
    }
    const double seconds = static_cast<double>(left_) / rate_;
    const auto whole = static_cast<long long>(std::ceil(seconds));
    char text[64];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%.0f MB/s, %lld:%02lld:%02lld left", rate_ / 1e6,
                      whole / 3600, whole / 60 % 60, whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%.0f MB/s, %lld:%02lld left", rate_ / 1e6, whole / 60,
                      whole % 60);
    }
    return text;
}

}  // namespace tessarel
