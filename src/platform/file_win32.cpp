// The file layer on Windows: CreateFileW, ReadFile/WriteFile at an explicit 64-bit offset,
// FlushFileBuffers, MoveFileExW, and the one table that turns a GetLastError code into the
// program's error numbers. Paths are UTF-8 inside the program and UTF-16 at every call.
#include <windows.h>
// windows.h names its own DeleteFile: the program's is meant here.
#undef DeleteFile

#include "platform/error_win32.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/runtime_error.h"
#include "platform/wide.h"

namespace tessarel {

namespace {

FileFaultHook fault_hook = nullptr;
void* fault_context = nullptr;

DWORD CodeOf(Fault fault) {
    switch (fault) {
        case Fault::kNone:
            return ERROR_SUCCESS;
        case Fault::kNotFound:
            return ERROR_FILE_NOT_FOUND;
        case Fault::kAccessDenied:
            return ERROR_ACCESS_DENIED;
        case Fault::kDiskFull:
            return ERROR_DISK_FULL;
        case Fault::kTooLarge:
            return ERROR_FILE_TOO_LARGE;
        case Fault::kDeviceIo:
            return ERROR_IO_DEVICE;
        case Fault::kNotReady:
            return ERROR_NOT_READY;
        case Fault::kNoDevice:
            return ERROR_DEV_NOT_EXIST;
        case Fault::kBusy:
            return ERROR_SHARING_VIOLATION;
    }
    return ERROR_IO_DEVICE;
}

DWORD InjectedCode(FileOp op, const std::string& path, int64_t position, int32_t size) {
    return fault_hook ? CodeOf(fault_hook(op, path, position, size, fault_context)) : ERROR_SUCCESS;
}

// The run-time error number a Win32 error code stands for.
int32_t ErrorFromCode(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
            return kErrFileNotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_DIRECTORY:
            return kErrPathNotFound;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return kErrDiskFull;
        case ERROR_FILE_TOO_LARGE:  // the file cannot grow any further here, however much room
            return kErrFileTooLarge;
        case ERROR_IO_DEVICE:
        case ERROR_CRC:
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT:
        case ERROR_SECTOR_NOT_FOUND:
            return kErrDeviceIo;
        case ERROR_NOT_READY:
        case ERROR_NO_MEDIA_IN_DRIVE:
            return kErrDiskNotReady;
        case ERROR_DEV_NOT_EXIST:
        case ERROR_UNRECOGNIZED_VOLUME:
            return kErrDeviceUnavailable;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_NO_UNICODE_TRANSLATION:
            return kErrBadFileName;
        case ERROR_INVALID_HANDLE:
            return kErrBadFileNameOrNumber;
        case ERROR_TOO_MANY_OPEN_FILES:
            return kErrTooManyFiles;
        case ERROR_HANDLE_EOF:
            return kErrInputPastEnd;
        default:
            // Access denied, a file another program holds, a write-protected disk and everything
            // else: the path exists but cannot be used this way.
            return kErrPathFileAccess;
    }
}

// The system's own words for a code, for the catch-all number.
std::string Reason(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = length && text ? Narrow(text, length) : "error " + std::to_string(code);
    if (text) {
        ::LocalFree(text);
    }
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                               reason.back() == ' ' || reason.back() == '.')) {
        reason.pop_back();
    }
    return reason;
}

}  // namespace

[[noreturn]] void RaiseCode(DWORD code, const std::string& reported) {
    const int32_t number = ErrorFromCode(code);
    std::string description = ErrorDescription(number);
    if (number == kErrPathFileAccess) {
        description += " (" + Reason(code) + ")";
    }
    throw RuntimeError(number, description, reported);
}

namespace {

[[noreturn]] void RaiseLast(const std::string& reported) {
    RaiseCode(::GetLastError(), reported);
}

void InjectedFault(FileOp op, const std::string& path, int64_t position, int32_t size,
                   const std::string& reported) {
    if (const DWORD code = InjectedCode(op, path, position, size)) {
        RaiseCode(code, reported);
    }
}

HANDLE Handle(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

void SetFileFaultHook(FileFaultHook hook, void* context) {
    fault_hook = hook;
    fault_context = context;
}

// The system's half of File.
struct FileAccess {
    static File Open(const std::string& path, DWORD access, DWORD disposition, bool regular_only,
                     DWORD share = kShareAll) {
        if (path.empty()) {
            throw RuntimeError(kErrBadFileName, ErrorDescription(kErrBadFileName), path);
        }
        InjectedFault(access == GENERIC_READ ? FileOp::OpenRead : FileOp::OpenWrite, path, 0, 0,
                      path);
        const bool hidden = disposition != OPEN_EXISTING && IsOurHiddenName(NameOf(path));
        const HANDLE handle =
            ::CreateFileW(SystemPath(path).c_str(), access, share, nullptr, disposition,
                          hidden ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD code = ::GetLastError();
            // A folder cannot be opened as a file: say so as the POSIX layer does.
            const DWORD attributes = ::GetFileAttributesW(SystemPath(path).c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                throw RuntimeError(kErrPathFileAccess,
                                   ErrorDescription(kErrPathFileAccess) + " (Is a directory)",
                                   path);
            }
            RaiseCode(code, path);
        }
        const bool regular = ::GetFileType(handle) == FILE_TYPE_DISK;
        if (regular_only && !regular) {
            ::CloseHandle(handle);
            throw RuntimeError(kErrPathFileAccess,
                               ErrorDescription(kErrPathFileAccess) + " (not an ordinary file)",
                               path);
        }
        return File(reinterpret_cast<intptr_t>(handle), path, regular);
    }

    // Moves size bytes at the file's position, call after call, each at its explicit 64-bit
    // offset; only then does the position advance, so a failed move can be run again as is.
    template <typename Buffer, typename Call>
    static void Move(File& f, FileOp op, Buffer buffer, int32_t size, Call call) {
        if (f.handle_ == File::kNoHandle) {
            throw RuntimeError(kErrBadFileNameOrNumber);
        }
        InjectedFault(op, f.path_, f.position_, size, f.reported());
        int64_t done = 0;
        while (done < size) {
            OVERLAPPED at{};
            const int64_t offset = f.position_ + done;
            at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            DWORD moved = 0;
            if (!call(Handle(f.handle_), buffer + done, static_cast<DWORD>(size - done), &moved,
                      &at)) {
                const DWORD code = ::GetLastError();
                if (code == ERROR_HANDLE_EOF && op == FileOp::Read) {
                    moved = 0;
                } else {
                    RaiseCode(code, f.reported());
                }
            }
            if (moved == 0) {
                if (op == FileOp::Read) {
                    throw RuntimeError(kErrInputPastEnd, ErrorDescription(kErrInputPastEnd),
                                       f.reported());
                }
                RaiseCode(ERROR_DISK_FULL, f.reported());
            }
            done += moved;
        }
        f.position_ += size;
    }
};

File File::OpenBinary(const std::string& path) {
    return FileAccess::Open(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, false);
}

File File::OpenForReading(const std::string& path, bool others_may_write) {
    return FileAccess::Open(path, GENERIC_READ, OPEN_EXISTING, true,
                            others_may_write ? kShareAll : FILE_SHARE_READ);
}

File File::OpenOutput(const std::string& path) {
    return FileAccess::Open(path, GENERIC_WRITE, CREATE_ALWAYS, false);
}

File File::CreateNew(const std::string& path, uint32_t /*permissions*/) {
    // Without delete sharing: while it is written, no run clearing up after a killed one can
    // remove it (RemoveIfAbandoned).
    return FileAccess::Open(path, GENERIC_WRITE, CREATE_NEW, true, FILE_SHARE_READ);
}

void ReadFromMedium(const std::string& path, const std::string& reported,
                    const std::function<void(const uint8_t*, size_t)>& take,
                    const std::function<void()>& between) {
    InjectedFault(FileOp::OpenRead, path, 0, 0, reported);
    // Without the system's buffering: every read comes from the medium, into a buffer aligned to
    // its sectors, in whole sectors (the last read ends where the file does).
    const HANDLE handle =
        ::CreateFileW(SystemPath(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                      FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        RaiseCode(::GetLastError(), reported);
    }
    constexpr DWORD kRun = 1 << 20;
    auto* bytes = static_cast<uint8_t*>(
        ::VirtualAlloc(nullptr, kRun, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!bytes) {
        ::CloseHandle(handle);
        throw RuntimeError(kErrOutOfMemory);
    }
    const auto release = [&] {
        ::VirtualFree(bytes, 0, MEM_RELEASE);
        ::CloseHandle(handle);
    };
    try {
        for (int64_t at = 0;;) {
            if (between) {
                between();
            }
            InjectedFault(FileOp::Read, path, at, static_cast<int32_t>(kRun), reported);
            OVERLAPPED where{};
            where.Offset = static_cast<DWORD>(at & 0xFFFFFFFF);
            where.OffsetHigh = static_cast<DWORD>(at >> 32);
            DWORD read = 0;
            if (!::ReadFile(handle, bytes, kRun, &read, &where)) {
                const DWORD code = ::GetLastError();
                if (code != ERROR_HANDLE_EOF) {
                    RaiseCode(code, reported);
                }
                read = 0;
            }
            if (read == 0) {
                break;
            }
            take(bytes, read);
            at += read;
        }
    } catch (...) {
        release();
        throw;
    }
    release();
}

void SetPermissions(const std::string& /*path*/, uint32_t /*permissions*/) {
    // A file's access here is its folder's.
}

File File::OpenReplacing(const std::string& path) {
    return FileAccess::Open(path, GENERIC_WRITE, CREATE_ALWAYS, true);
}

void File::Release() {
    if (handle_ != kNoHandle) {
        ::CloseHandle(Handle(handle_));
        handle_ = kNoHandle;
    }
}

void File::Read(uint8_t* buffer, int32_t size) {
    FileAccess::Move(*this, FileOp::Read, buffer, size, ::ReadFile);
}

void File::Write(const uint8_t* buffer, int32_t size) {
    FileAccess::Move(*this, FileOp::Write, buffer, size, ::WriteFile);
    PaceWriteback();
}

// Windows writes back on its own and has no call to hurry or await it short of a flush.
void File::StartWriteback() {}

void File::WaitForWriteback() {
    writeback_waited_ = position_;
}

void File::PaceWriteback() {}

void File::Sync() {
    if (handle_ == kNoHandle) {
        throw RuntimeError(kErrBadFileNameOrNumber);
    }
    if (sync_error_ == 0) {
        sync_error_ = static_cast<int>(InjectedCode(FileOp::Sync, path_, position_, 0));
    }
    if (sync_error_ == 0 && regular_ && !::FlushFileBuffers(Handle(handle_))) {
        sync_error_ = static_cast<int>(::GetLastError());
    }
    if (sync_error_ != 0) {
        RaiseCode(static_cast<DWORD>(sync_error_), reported());
    }
}

void File::Close() {
    if (handle_ == kNoHandle) {
        return;
    }
    const HANDLE handle = Handle(handle_);
    handle_ = kNoHandle;
    if (!::CloseHandle(handle)) {
        RaiseLast(reported());
    }
}

int64_t FileLength(const std::string& path) {
    if (path.empty()) {
        throw RuntimeError(kErrBadFileName, ErrorDescription(kErrBadFileName), path);
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(SystemPath(path).c_str(), GetFileExInfoStandard, &data)) {
        RaiseLast(path);
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        // A folder has no length a user would mean.
        throw RuntimeError(kErrPathFileAccess,
                           ErrorDescription(kErrPathFileAccess) + " (Is a directory)", path);
    }
    return static_cast<int64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

void DeleteFile(const std::string& path) {
    if (path.empty()) {
        throw RuntimeError(kErrBadFileName, ErrorDescription(kErrBadFileName), path);
    }
    InjectedFault(FileOp::Delete, path, 0, 0, path);
    const std::wstring wide = SystemPath(path);
    if (!::DeleteFileW(wide.c_str())) {
        const DWORD code = ::GetLastError();
        // A read-only file is deleted as POSIX deletes one: the folder's access decides.
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());
        if (code != ERROR_ACCESS_DENIED || attributes == INVALID_FILE_ATTRIBUTES ||
            !(attributes & FILE_ATTRIBUTE_READONLY) ||
            !::SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
            RaiseCode(code, path);
        }
        if (!::DeleteFileW(wide.c_str())) {
            const DWORD again = ::GetLastError();
            ::SetFileAttributesW(wide.c_str(), attributes);
            RaiseCode(again, path);
        }
    }
}

void RenameOver(const std::string& from, const std::string& to) {
    InjectedFault(FileOp::Rename, to, 0, 0, to);
    if (IsOurHiddenName(NameOf(from)) && !IsOurHiddenName(NameOf(to))) {
        // A result is seen as any other file. Should this fail, the result is still whole,
        // only hidden: not worth failing for.
        const std::wstring wide = SystemPath(from);
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN)) {
            ::SetFileAttributesW(wide.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_HIDDEN));
        }
    }
    if (!::MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        RaiseLast(to);
    }
}

// A rename made with MOVEFILE_WRITE_THROUGH is on the disk when it returns; a folder has no
// flush of its own here.
void SyncFolderOf(const std::string& path) {
    const std::string folder = FolderOf(path);
    InjectedFault(FileOp::Sync, folder, 0, 0, folder);
}

}  // namespace tessarel
