// The file layer on POSIX systems: open/pread/pwrite/fdatasync, and the one table that turns
// an errno into the program's error numbers.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/error_posix.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/runtime_error.h"

namespace tessarel {
namespace {

FileFaultHook fault_hook = nullptr;
void* fault_context = nullptr;

int ErrnoOf(Fault fault) {
    switch (fault) {
        case Fault::kNone:
            return 0;
        case Fault::kNotFound:
            return ENOENT;
        case Fault::kAccessDenied:
            return EACCES;
        case Fault::kDiskFull:
            return ENOSPC;
        case Fault::kTooLarge:
            return EFBIG;
        case Fault::kDeviceIo:
            return EIO;
        case Fault::kNotReady:
            return ENOMEDIUM;
        case Fault::kNoDevice:
            return ENXIO;
        case Fault::kBusy:
            return EBUSY;
    }
    return EIO;
}

// The errno a test wants this call to fail with, or 0.
int InjectedErrno(FileOp op, const std::string& path, int64_t position, int32_t size) {
    return fault_hook ? ErrnoOf(fault_hook(op, path, position, size, fault_context)) : 0;
}

// True when the folder that would hold path exists, so a missing entry is the file itself.
bool FolderExists(const std::string& path) {
    struct stat st {};
    return ::stat(FolderOf(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The run-time error number an errno stands for, when it happened to path.
int32_t ErrorFromErrno(int err, const std::string& path) {
    switch (err) {
        case ENOENT:
            // The same errno covers a missing file and a missing folder on its way.
            return FolderExists(path) ? kErrFileNotFound : kErrPathNotFound;
        case ENOTDIR:
            return kErrPathNotFound;
        case ENOSPC:
        case EDQUOT:
            return kErrDiskFull;
        case EFBIG:  // the file cannot grow any further on this file system, however much room
            return kErrFileTooLarge;
        case EIO:
            return kErrDeviceIo;
        case ENOMEDIUM:
            return kErrDiskNotReady;
        case ENXIO:
        case ENODEV:
            return kErrDeviceUnavailable;
        case ENAMETOOLONG:
        case EILSEQ:
            return kErrBadFileName;
        case EBADF:
            return kErrBadFileNameOrNumber;
        case EMFILE:
        case ENFILE:
            return kErrTooManyFiles;
        default:
            // Access denied (EACCES, EPERM, EROFS), a folder where a file was wanted (EISDIR),
            // a busy file and everything else: the path exists but cannot be used this way,
            // which is what "Path/File access error" says.
            return kErrPathFileAccess;
    }
}

}  // namespace

// Raises the run-time error for errno err at path, about the file reported.
[[noreturn]] void RaiseErrno(int err, const std::string& path, const std::string& reported) {
    const int32_t number = ErrorFromErrno(err, path);
    std::string description = ErrorDescription(number);
    if (number == kErrPathFileAccess) {
        // A catch-all number needs the OS's own reason to be of use to the user.
        description += " (" + std::string(std::strerror(err)) + ")";
    }
    throw RuntimeError(number, description, reported);
}

[[noreturn]] void RaiseErrno(int err, const std::string& path) {
    RaiseErrno(err, path, path);
}

namespace {

void InjectedFault(FileOp op, const std::string& path, int64_t position, int32_t size,
                   const std::string& reported) {
    if (const int err = InjectedErrno(op, path, position, size)) {
        RaiseErrno(err, path, reported);
    }
}

void InjectedFault(FileOp op, const std::string& path, int64_t position, int32_t size) {
    InjectedFault(op, path, position, size, path);
}

int Fd(intptr_t handle) {
    return static_cast<int>(handle);
}

}  // namespace

void SetFileFaultHook(FileFaultHook hook, void* context) {
    fault_hook = hook;
    fault_context = context;
}

// The system's half of File.
struct FileAccess {
    static File Open(const std::string& path, int flags, bool regular_only,
                     mode_t permissions = 0666) {
        if (path.empty()) {
            throw RuntimeError(kErrBadFileName, ErrorDescription(kErrBadFileName), path);
        }
        InjectedFault((flags & O_ACCMODE) == O_RDONLY ? FileOp::OpenRead : FileOp::OpenWrite, path,
                      0, 0);
        int fd;
        do {
            // Never wait in open: a named pipe without a partner would hold the program for good.
            fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, permissions);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            if (errno == ELOOP && (flags & O_NOFOLLOW)) {
                throw RuntimeError(kErrPathFileAccess,
                                   ErrorDescription(kErrPathFileAccess) + " (a link)", path);
            }
            RaiseErrno(errno, path);
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0) {
            const int err = errno;
            ::close(fd);
            RaiseErrno(err, path);
        }
        if (S_ISDIR(st.st_mode)) {
            ::close(fd);
            RaiseErrno(EISDIR, path);
        }
        if (regular_only && !S_ISREG(st.st_mode)) {
            // A pipe or a device has no end a series could be checked against.
            ::close(fd);
            throw RuntimeError(kErrPathFileAccess,
                               ErrorDescription(kErrPathFileAccess) + " (not an ordinary file)",
                               path);
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        if (flags & O_EXCL) {
            // A file of ours being written: held, so that no run clearing up after a killed one
            // takes it for abandoned (RemoveIfAbandoned).
            ::flock(fd, LOCK_EX | LOCK_NB);
        }
        return File(fd, path, S_ISREG(st.st_mode));
    }

    // Moves size bytes at the file's position with one positioned call after another until all
    // have moved; only then does the position advance, so a failed move can be run again as is.
    // A call that moves nothing means the end of the file for a read, and for a write a device
    // that takes no more: the disk is full.
    template <typename Buffer, typename Call>
    static void Move(File& f, FileOp op, Buffer buffer, int32_t size, Call call) {
        if (f.handle_ == File::kNoHandle) {
            throw RuntimeError(kErrBadFileNameOrNumber);
        }
        InjectedFault(op, f.path_, f.position_, size, f.reported());
        int64_t done = 0;
        while (done < size) {
            const ssize_t n =
                call(Fd(f.handle_), buffer + done, size_t(size - done), f.position_ + done);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                RaiseErrno(errno, f.path_, f.reported());
            }
            if (n == 0) {
                if (op == FileOp::Read) {
                    throw RuntimeError(kErrInputPastEnd, ErrorDescription(kErrInputPastEnd),
                                       f.reported());
                }
                RaiseErrno(ENOSPC, f.path_, f.reported());
            }
            done += n;
        }
        f.position_ += size;
    }
};

File File::OpenBinary(const std::string& path) {
    return FileAccess::Open(path, O_RDWR | O_CREAT, false);
}

File File::OpenForReading(const std::string& path, bool /*others_may_write*/) {
    // POSIX has no such sharing rule: the write lock of the series keeps writers of ours away.
    return FileAccess::Open(path, O_RDONLY, true);
}

File File::OpenOutput(const std::string& path) {
    return FileAccess::Open(path, O_WRONLY | O_CREAT | O_TRUNC, false);
}

File File::CreateNew(const std::string& path, uint32_t permissions) {
    return FileAccess::Open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, true,
                            static_cast<mode_t>(permissions & 0777));
}

namespace {

// The process's file-creation mask, as the system says it (Linux: /proc), else the usual one.
mode_t CreationMask() {
    static const mode_t mask = [] {
        FILE* status = std::fopen("/proc/self/status", "r");
        unsigned value = 022;
        if (status) {
            char line[256];
            while (std::fgets(line, sizeof line, status)) {
                if (std::sscanf(line, "Umask: %o", &value) == 1) {
                    break;
                }
            }
            std::fclose(status);
        }
        return static_cast<mode_t>(value & 0777);
    }();
    return mask;
}

}  // namespace

void ReadFromMedium(const std::string& path, const std::string& reported,
                    const std::function<void(const uint8_t*, size_t)>& take,
                    const std::function<void()>& between) {
    InjectedFault(FileOp::OpenRead, path, 0, 0, reported);
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        RaiseErrno(errno, path, reported);
    }
    // What is cached of it goes (it was flushed: its pages are clean), so even a read that
    // cannot go around the cache comes from the medium.
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    const int direct = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_DIRECT);
    if (direct >= 0) {
        ::close(fd);
        fd = direct;
    }
    constexpr size_t kRun = size_t{1} << 20;  // a multiple of every block size O_DIRECT needs
    void* memory = nullptr;
    if (::posix_memalign(&memory, 4096, kRun) != 0) {
        ::close(fd);
        throw RuntimeError(kErrOutOfMemory);
    }
    const std::unique_ptr<void, void (*)(void*)> buffer(memory, std::free);
    auto* bytes = static_cast<uint8_t*>(memory);
    try {
        for (int64_t at = 0;;) {
            if (between) {
                between();
            }
            InjectedFault(FileOp::Read, path, at, static_cast<int32_t>(kRun), reported);
            ssize_t n;
            do {
                n = ::pread(fd, bytes, kRun, at);
            } while (n < 0 && errno == EINTR);
            if (n < 0) {
                RaiseErrno(errno, path, reported);
            }
            if (n == 0) {
                break;
            }
            take(bytes, static_cast<size_t>(n));
            at += n;
        }
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
}

void SetPermissions(const std::string& path, uint32_t permissions) {
    if (::chmod(path.c_str(), static_cast<mode_t>(permissions & 0777) & ~CreationMask()) != 0) {
        RaiseErrno(errno, path);
    }
}

File File::OpenReplacing(const std::string& path) {
    return FileAccess::Open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, true);
}

void File::Release() {
    if (handle_ != kNoHandle) {
        ::close(Fd(handle_));
        handle_ = kNoHandle;
    }
}

void File::Read(uint8_t* buffer, int32_t size) {
    FileAccess::Move(*this, FileOp::Read, buffer, size, ::pread);
}

void File::Write(const uint8_t* buffer, int32_t size) {
    FileAccess::Move(*this, FileOp::Write, buffer, size, ::pwrite);
    PaceWriteback();
}

void File::StartWriteback() {
    if (handle_ != kNoHandle && regular_) {
        // A hint: errors come with Sync.
        ::sync_file_range(Fd(handle_), 0, 0, SYNC_FILE_RANGE_WRITE);
    }
}

void File::WaitForWriteback() {
    if (handle_ != kNoHandle && regular_) {
        ::sync_file_range(
            Fd(handle_), 0, 0,
            SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
    }
    writeback_waited_ = position_;
}

void File::PaceWriteback() {
    constexpr int64_t kWindow = int64_t{8} << 20;     // handed to writeback at a time
    constexpr int64_t kInFlight = int64_t{32} << 20;  // may be on its way at once
    if (!regular_ || position_ - writeback_started_ < kWindow) {
        return;
    }
    // Only hints to the kernel: whatever it reports here, the final flush reports for sure.
    ::sync_file_range(Fd(handle_), writeback_started_, position_ - writeback_started_,
                      SYNC_FILE_RANGE_WRITE);
    writeback_started_ = position_;
    const int64_t wait_to = writeback_started_ - kInFlight;
    if (wait_to > writeback_waited_) {
        ::sync_file_range(
            Fd(handle_), writeback_waited_, wait_to - writeback_waited_,
            SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
        writeback_waited_ = wait_to;
    }
}

void File::Sync() {
    if (handle_ == kNoHandle) {
        throw RuntimeError(kErrBadFileNameOrNumber);
    }
    if (sync_error_ == 0) {
        sync_error_ = InjectedErrno(FileOp::Sync, path_, position_, 0);
    }
    if (sync_error_ == 0 && regular_) {
        while (::fdatasync(Fd(handle_)) != 0) {
            if (errno != EINTR) {
                sync_error_ = errno;
                break;
            }
        }
    }
    if (sync_error_ != 0) {
        RaiseErrno(sync_error_, path_, reported());
    }
}

void File::Close() {
    if (handle_ == kNoHandle) {
        return;
    }
    const int fd = Fd(handle_);
    handle_ = kNoHandle;
    // Linux releases the descriptor even when close reports an error; never close it twice.
    if (::close(fd) != 0 && errno != EINTR) {
        RaiseErrno(errno, path_, reported());
    }
}

int64_t FileLength(const std::string& path) {
    if (path.empty()) {
        throw RuntimeError(kErrBadFileName, ErrorDescription(kErrBadFileName), path);
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        RaiseErrno(errno, path);
    }
    if (S_ISDIR(st.st_mode)) {
        RaiseErrno(EISDIR, path);  // a folder has no length a user would mean
    }
    return st.st_size;
}

void DeleteFile(const std::string& path) {
    if (path.empty()) {
        throw RuntimeError(kErrBadFileName, ErrorDescription(kErrBadFileName), path);
    }
    InjectedFault(FileOp::Delete, path, 0, 0);
    if (::unlink(path.c_str()) != 0) {
        RaiseErrno(errno, path);
    }
}

void RenameOver(const std::string& from, const std::string& to) {
    InjectedFault(FileOp::Rename, to, 0, 0);
    if (::rename(from.c_str(), to.c_str()) != 0) {
        RaiseErrno(errno, to);
    }
}

void SyncFolderOf(const std::string& path) {
    const std::string folder = FolderOf(path);
    InjectedFault(FileOp::Sync, folder, 0, 0);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        RaiseErrno(errno, folder);
    }
    int err = 0;
    while (::fsync(fd) != 0) {
        if (errno != EINTR) {
            err = errno;
            break;
        }
    }
    ::close(fd);
    // Some file systems cannot flush a folder at all (EINVAL); there is nothing more to do.
    if (err != 0 && err != EINVAL) {
        RaiseErrno(err, folder);
    }
}

}  // namespace tessarel
