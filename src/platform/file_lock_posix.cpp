// Locks and the abandoned-file test on POSIX: flock, which the system lets go of when the
// process ends, however it ends.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_lock.h"

namespace tessarel {
namespace {

bool SameEntry(int fd, const std::string& path) {
    struct stat open {};
    struct stat named {};
    return ::fstat(fd, &open) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

int LockRetrying(int fd, int operation) {
    int result;
    do {
        result = ::flock(fd, operation);
    } while (result != 0 && errno == EINTR);
    return result;
}

}  // namespace

FileLock FileLock::Take(const std::string& path, bool exclusive) {
    FileLock lock;
    lock.path_ = path;
    lock.exclusive_ = exclusive;
    // A lock file that its last holder removed between our open and our lock is no lock: take
    // the one now at the name instead.
    for (int attempt = 0; attempt < 20; ++attempt) {
        struct stat named {};
        if (::lstat(path.c_str(), &named) == 0 && !S_ISREG(named.st_mode)) {
            lock.state_ = State::kNotOurs;  // a link or a folder: never locked through
            return lock;
        }
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            // Someone else's lock file that we may not write: reading is enough for flock.
            fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        }
        if (fd < 0) {
            lock.state_ = State::kUnavailable;
            return lock;
        }
        if (LockRetrying(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
            const int err = errno;
            ::close(fd);
            lock.state_ = err == EWOULDBLOCK ? State::kBusy : State::kUnavailable;
            return lock;
        }
        if (SameEntry(fd, path)) {
            lock.handle_ = fd;
            lock.state_ = State::kHeld;
            return lock;
        }
        ::close(fd);
    }
    lock.state_ = State::kBusy;
    return lock;
}

void FileLock::MakeShared() {
    if (handle_ >= 0 && exclusive_) {
        LockRetrying(static_cast<int>(handle_), LOCK_SH);
        exclusive_ = false;
    }
}

void FileLock::Release() {
    if (handle_ < 0) {
        return;
    }
    const int fd = static_cast<int>(handle_);
    // The last holder removes the file; one that still finds others holding it leaves it to them.
    if ((exclusive_ || LockRetrying(fd, LOCK_EX | LOCK_NB) == 0) && SameEntry(fd, path_)) {
        ::unlink(path_.c_str());
    }
    ::close(fd);
    handle_ = -1;
    state_ = State::kUnavailable;
}

std::optional<int64_t> RemoveIfAbandoned(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::optional<int64_t> removed;
    struct stat st {};
    // Its writer holds it locked for as long as it writes (File::CreateNew).
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && LockRetrying(fd, LOCK_EX | LOCK_NB) == 0 &&
        SameEntry(fd, path) && ::unlink(path.c_str()) == 0) {
        removed = static_cast<int64_t>(st.st_size);
    }
    ::close(fd);
    return removed;
}

}  // namespace tessarel
