// Locks and the abandoned-file test on Windows: LockFileEx on a lock file that the system
// deletes when its last handle closes, and a temporary file whose writer still holds it cannot
// be deleted (it is opened without delete sharing).
#include <windows.h>

#include "platform/file_lock.h"
#include "platform/runtime_error.h"
#include "platform/wide.h"

namespace tessarel {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE AsHandle(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

bool LockWhole(HANDLE handle, bool exclusive) {
    OVERLAPPED at{};
    return ::LockFileEx(handle,
                        LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0), 0, 1,
                        0, &at) != 0;
}

void UnlockWhole(HANDLE handle) {
    OVERLAPPED at{};
    ::UnlockFileEx(handle, 0, 1, 0, &at);
}

}  // namespace

FileLock FileLock::Take(const std::string& path, bool exclusive) {
    FileLock lock;
    lock.path_ = path;
    lock.exclusive_ = exclusive;
    std::wstring wide;
    try {
        wide = SystemPath(path);
    } catch (const RuntimeError&) {
        return lock;
    }
    // A lock file whose last holder is closing it is on its way out (delete pending): a moment
    // later the name is free again.
    for (int attempt = 0; attempt < 50; ++attempt) {
        const HANDLE handle =
            ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            if (::GetLastError() == ERROR_ACCESS_DENIED && attempt < 49) {
                ::Sleep(10);
                continue;
            }
            lock.state_ = State::kUnavailable;
            return lock;
        }
        if (!LockWhole(handle, exclusive)) {
            ::CloseHandle(handle);
            lock.state_ = State::kBusy;
            return lock;
        }
        lock.handle_ = reinterpret_cast<intptr_t>(handle);
        lock.state_ = State::kHeld;
        return lock;
    }
    return lock;
}

void FileLock::MakeShared() {
    if (handle_ != -1 && exclusive_) {
        // Not in one step here; for that moment another run may take it.
        UnlockWhole(AsHandle(handle_));
        LockWhole(AsHandle(handle_), false);
        exclusive_ = false;
    }
}

void FileLock::Release() {
    if (handle_ == -1) {
        return;
    }
    UnlockWhole(AsHandle(handle_));
    ::CloseHandle(AsHandle(handle_));  // the last handle closed deletes the file
    handle_ = -1;
    state_ = State::kUnavailable;
}

std::optional<int64_t> RemoveIfAbandoned(const std::string& path) {
    try {
        const std::wstring wide = SystemPath(path);
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data) ||
            (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
            return std::nullopt;
        }
        // Its writer holds it without delete sharing for as long as it writes.
        if (!::DeleteFileW(wide.c_str())) {
            return std::nullopt;
        }
        return static_cast<int64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
}

}  // namespace tessarel
