// The rate of an operation and the time it has left, smoothed so they do not jump: what the
// command line's progress line and the window's bar say besides the percentage.
#pragma once

#include <cstdint>
#include <string>

namespace tessarel {

class TimeLeft {
  public:
    // done of total bytes at now (seconds, from any fixed start).
    void Update(int64_t done, int64_t total, double now);
    // "85 MB/s, 0:41 left", or empty while too little has been seen to tell.
    std::string Text() const;
    double rate() const { return rate_; }  // bytes a second, 0 until known

  private:
    double started_ = -1;
    double last_time_ = 0;
    int64_t last_done_ = 0;
    double rate_ = 0;
    int64_t left_ = 0;
};

}  // namespace tessarel
