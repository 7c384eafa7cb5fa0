// Who writes what, between programs: a lock on a small hidden file beside the names a run writes
// (flock on POSIX, LockFileEx on Windows), and the test that a temporary file of ours has no
// writer any more. Locks are
// the system's own, so a run that is killed lets go of everything it held at once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tessarel {

class FileLock {
  public:
    enum class State {
        kHeld,         // this run holds it
        kBusy,         // another run holds it in a way that excludes this one
        kUnavailable,  // no lock file can be made there (a read-only medium): nobody else
                       // can write there either, so the run goes on without one
        kNotOurs,      // something that is not an ordinary file (a link) has the lock's name
    };

    // Takes the lock at path, creating the file (for its owner alone) when it is missing; at
    // once, never waiting.
    // exclusive: for a writer; otherwise shared with other readers.
    static FileLock Take(const std::string& path, bool exclusive);

    FileLock() = default;
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();  // lets go, and removes the lock file when nobody else holds it

    State state() const { return state_; }
    bool exclusive() const { return exclusive_; }
    // An exclusive lock becomes a shared one (a reader that first put things right).
    void MakeShared();
    void Release();

  private:
    intptr_t handle_ = -1;  // a descriptor, or a HANDLE
    std::string path_;
    State state_ = State::kUnavailable;
    bool exclusive_ = false;
};

// Removes the temporary file of ours at path when no running program holds it open (its writer
// was killed, or ended without clearing up): the bytes it took, or nothing when it is held, gone
// already or cannot be removed.
std::optional<int64_t> RemoveIfAbandoned(const std::string& path);

}  // namespace tessarel
