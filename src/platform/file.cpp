#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

#include "platform/runtime_error.h"

namespace tessarel {
namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

// True when the folder that would hold path exists, so a missing entry is the file itself.
bool FolderExists(const std::string& path) {
    struct stat st {};
    return ::stat(FolderOf(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

FileFaultHook fault_hook = nullptr;
void* fault_context = nullptr;

// The errno a test wants this call to fail with, or 0.
int InjectedErrno(FileOp op, const std::string& path, int64_t position, int32_t size) {
    return fault_hook ? fault_hook(op, path, position, size, fault_context) : 0;
}

void InjectedFault(FileOp op, const std::string& path, int64_t position, int32_t size) {
    if (const int err = InjectedErrno(op, path, position, size)) {
        RaiseErrno(err, path);
    }
}

}  // namespace

void SetFileFaultHook(FileFaultHook hook, void* context) {
    fault_hook = hook;
    fault_context = context;
}

int32_t ErrorFromErrno(int err, const std::string& path) {
    switch (err) {
        case ENOENT:
            // The same errno covers a missing file and a missing folder on its way.
            return FolderExists(path) ? kErrFileNotFound : kErrPathNotFound;
        case ENOTDIR:
            return kErrPathNotFound;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:  // the file cannot grow any further here: to the user, the disk is full
            return kErrDiskFull;
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

void RaiseErrno(int err, const std::string& path) {
    const int32_t number = ErrorFromErrno(err, path);
    std::string description = ErrorDescription(number);
    if (number == kErrPathFileAccess) {
        // A catch-all number needs the OS's own reason to be of use to the user.
        description += " (" + std::string(std::strerror(err)) + ")";
    }
    throw RuntimeError(number, description);
}

File File::Open(const std::string& path, int flags, bool regular_only) {
    if (path.empty()) {
        throw RuntimeError(kErrBadFileName);
    }
    InjectedFault((flags & O_ACCMODE) == O_RDONLY ? FileOp::OpenRead : FileOp::OpenWrite, path, 0,
                  0);
    int fd;
    do {
        // Never wait in open: a named pipe without a partner would hold the program for good.
        fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
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
                           ErrorDescription(kErrPathFileAccess) + " (not an ordinary file)");
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return File(fd, path, S_ISREG(st.st_mode));
}

File File::OpenBinary(const std::string& path) {
    return Open(path, O_RDWR | O_CREAT, false);
}

File File::OpenForReading(const std::string& path) {
    return Open(path, O_RDONLY, true);
}

File File::OpenOutput(const std::string& path) {
    return Open(path, O_WRONLY | O_CREAT | O_TRUNC, false);
}

File::File(File&& other) noexcept
    : fd_(other.fd_),
      path_(std::move(other.path_)),
      regular_(other.regular_),
      position_(other.position_),
      writeback_started_(other.writeback_started_),
      writeback_waited_(other.writeback_waited_),
      sync_error_(other.sync_error_) {
    other.fd_ = -1;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        regular_ = other.regular_;
        position_ = other.position_;
        writeback_started_ = other.writeback_started_;
        writeback_waited_ = other.writeback_waited_;
        sync_error_ = other.sync_error_;
        other.fd_ = -1;
    }
    return *this;
}

File::~File() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

// Moves size bytes at the file's position with one positioned call after another until all
// have moved; only then does the position advance, so a failed move can be run again as is.
// A call that moves nothing means the end of the file for a read, and for a write a device
// that takes no more: the disk is full.
template <typename Buffer, typename Call>
void File::Move(FileOp op, Buffer buffer, int32_t size, Call call) {
    if (fd_ < 0) {
        throw RuntimeError(kErrBadFileNameOrNumber);
    }
    InjectedFault(op, path_, position_, size);
    int64_t done = 0;
    while (done < size) {
        const ssize_t n = call(fd_, buffer + done, size_t(size - done), position_ + done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            RaiseErrno(errno, path_);
        }
        if (n == 0) {
            if (op == FileOp::Read) {
                throw RuntimeError(kErrInputPastEnd);
            }
            RaiseErrno(ENOSPC, path_);
        }
        done += n;
    }
    position_ += size;
}

void File::Read(uint8_t* buffer, int32_t size) {
    Move(FileOp::Read, buffer, size, ::pread);
}

void File::Write(const uint8_t* buffer, int32_t size) {
    Move(FileOp::Write, buffer, size, ::pwrite);
    PaceWriteback();
}

void File::StartWriteback() {
    if (fd_ >= 0 && regular_) {
        ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);  // a hint: errors come with Sync
    }
}

void File::PaceWriteback() {
    constexpr int64_t kWindow = int64_t{8} << 20;     // handed to writeback at a time
    constexpr int64_t kInFlight = int64_t{64} << 20;  // may be on its way at once
    if (!regular_ || position_ - writeback_started_ < kWindow) {
        return;
    }
    // Only hints to the kernel: whatever it reports here, the final flush reports for sure.
    ::sync_file_range(fd_, writeback_started_, position_ - writeback_started_,
                      SYNC_FILE_RANGE_WRITE);
    writeback_started_ = position_;
    const int64_t wait_to = writeback_started_ - kInFlight;
    if (wait_to > writeback_waited_) {
        ::sync_file_range(
            fd_, writeback_waited_, wait_to - writeback_waited_,
            SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
        writeback_waited_ = wait_to;
    }
}

void File::Sync() {
    if (fd_ < 0) {
        throw RuntimeError(kErrBadFileNameOrNumber);
    }
    if (sync_error_ == 0) {
        sync_error_ = InjectedErrno(FileOp::Sync, path_, position_, 0);
    }
    if (sync_error_ == 0 && regular_) {
        while (::fdatasync(fd_) != 0) {
            if (errno != EINTR) {
                sync_error_ = errno;
                break;
            }
        }
    }
    if (sync_error_ != 0) {
        RaiseErrno(sync_error_, path_);
    }
}

void File::Close() {
    if (fd_ < 0) {
        return;
    }
    const int fd = fd_;
    fd_ = -1;
    // Linux releases the descriptor even when close reports an error; never close it twice.
    if (::close(fd) != 0 && errno != EINTR) {
        RaiseErrno(errno, path_);
    }
}

int64_t FileLength(const std::string& path) {
    if (path.empty()) {
        throw RuntimeError(kErrBadFileName);
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
        throw RuntimeError(kErrBadFileName);
    }
    if (::unlink(path.c_str()) != 0) {
        RaiseErrno(errno, path);
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

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

std::string DirectoryLookup(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        return "";
    }
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace tessarel
