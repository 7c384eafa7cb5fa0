// The file layer on POSIX systems: open/pread/pwrite/fdatasync, and the one table that turns
// an errno into the program's error numbers.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

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

File File::OpenReplacing(const std::string& path) {
    return FileAccess::Open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, true);
}

File::File(File&& other) noexcept
    : handle_(other.handle_),
      path_(std::move(other.path_)),
      reported_(std::move(other.reported_)),
      regular_(other.regular_),
      position_(other.position_),
      writeback_started_(other.writeback_started_),
      writeback_waited_(other.writeback_waited_),
      sync_error_(other.sync_error_) {
    other.handle_ = kNoHandle;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        if (handle_ != kNoHandle) {
            ::close(Fd(handle_));
        }
        handle_ = other.handle_;
        path_ = std::move(other.path_);
        reported_ = std::move(other.reported_);
        regular_ = other.regular_;
        position_ = other.position_;
        writeback_started_ = other.writeback_started_;
        writeback_waited_ = other.writeback_waited_;
        sync_error_ = other.sync_error_;
        other.handle_ = kNoHandle;
    }
    return *this;
}

File::~File() {
    if (handle_ != kNoHandle) {
        ::close(Fd(handle_));
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

PathInfo InfoOf(const std::string& path, bool follow) {
    PathInfo info;
    struct stat st {};
    const int result = follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    if (result != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return info;
        }
        RaiseErrno(errno, path);
    }
    info.kind = S_ISREG(st.st_mode)   ? PathInfo::Kind::kRegular
                : S_ISDIR(st.st_mode) ? PathInfo::Kind::kFolder
                : S_ISLNK(st.st_mode) ? PathInfo::Kind::kLink
                                      : PathInfo::Kind::kOther;
    info.size = st.st_size;
    info.modified = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
    info.volume = st.st_dev;
    info.file = st.st_ino;
    info.permissions = st.st_mode & 0777;
    info.links = static_cast<int64_t>(st.st_nlink);
    return info;
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    ::closedir(dir);
    return names;
}

std::optional<int64_t> FreeSpaceOn(const std::string& path) {
    struct statvfs fs {};
    if (::statvfs(path.c_str(), &fs) != 0 && ::statvfs(FolderOf(path).c_str(), &fs) != 0) {
        return std::nullopt;
    }
    if (fs.f_blocks == 0) {
        return std::nullopt;  // a file system that tells no sizes at all (some FUSE ones)
    }
    return static_cast<int64_t>(fs.f_bavail) * static_cast<int64_t>(fs.f_frsize);
}

std::optional<int64_t> LargestFileOn(const std::string& path) {
    constexpr long kFatMagic = 0x4d44;  // MSDOS_SUPER_MAGIC: vfat and msdos
    struct statfs fs {};
    if (::statfs(path.c_str(), &fs) != 0 && ::statfs(FolderOf(path).c_str(), &fs) != 0) {
        return std::nullopt;
    }
    // FAT keeps a file's length in 32 bits.
    if (static_cast<long>(fs.f_type) == kFatMagic) {
        return int64_t{4294967295};
    }
    return std::nullopt;
}

std::string CurrentFolder() {
    std::vector<char> here(4096);
    return ::getcwd(here.data(), here.size()) ? std::string(here.data()) : std::string(".");
}

std::string ProgramFolder() {
    std::vector<char> path(4096);
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    return length > 0 ? FolderOf(std::string(path.data(), static_cast<size_t>(length)))
                      : CurrentFolder();
}

std::string DocumentsFolder() {
    const char* home = ::getenv("HOME");
    if (!home || !*home) {
        return "";
    }
    // xdg-user-dirs keeps the name in user-dirs.dirs; most desktops call it Documents.
    const char* xdg = ::getenv("XDG_DOCUMENTS_DIR");
    for (const std::string& folder :
         {std::string(xdg ? xdg : ""), JoinPath(home, "Documents"), std::string(home)}) {
        struct stat st {};
        if (!folder.empty() && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            return folder;
        }
    }
    return "";
}

}  // namespace tessarel
