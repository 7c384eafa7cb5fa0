// The half of FileLock that is the same everywhere; taking and releasing a lock is the
// system's, in file_lock_<system>.cpp.
#include "platform/file_lock.h"

#include <utility>

namespace tessarel {

FileLock::FileLock(FileLock&& other) noexcept
    : handle_(other.handle_),
      path_(std::move(other.path_)),
      state_(other.state_),
      exclusive_(other.exclusive_) {
    other.handle_ = -1;
    other.state_ = State::kUnavailable;
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        Release();
        handle_ = other.handle_;
        path_ = std::move(other.path_);
        state_ = other.state_;
        exclusive_ = other.exclusive_;
        other.handle_ = -1;
        other.state_ = State::kUnavailable;
    }
    return *this;
}

FileLock::~FileLock() {
    Release();
}

}  // namespace tessarel
