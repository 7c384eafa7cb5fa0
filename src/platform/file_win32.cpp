// The file layer on Windows: CreateFileW, ReadFile/WriteFile at an explicit 64-bit offset,
// FlushFileBuffers, MoveFileExW, and the one table that turns a GetLastError code into the
// program's error numbers. Paths are UTF-8 inside the program and UTF-16 at every call.
#include <windows.h>
// After windows.h: the known folders' names.
#include <knownfolders.h>
#include <shlobj.h>
// windows.h names its own DeleteFile: the program's is meant here.
#undef DeleteFile

#include <vector>

#include "platform/file.h"
#include "platform/path.h"
#include "platform/runtime_error.h"
#include "platform/wide.h"

namespace tessarel {

std::wstring Wide(const std::string& text) {
    if (text.empty()) {
        return std::wstring();
    }
    const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                             static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) {
        throw RuntimeError(kErrBadFileName, ErrorDescription(kErrBadFileName), text);
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                          wide.data(), length);
    return wide;
}

std::wstring SystemPath(const std::string& path) {
    std::wstring wide = Wide(path);
    // Short enough for every call (CreateDirectory stops 12 short of MAX_PATH), or already in
    // the long form.
    if (wide.size() < MAX_PATH - 12 || wide.rfind(L"\\\\?\\", 0) == 0) {
        return wide;
    }
    // The long form takes the name as it is: it must be whole, with no "." or ".." left.
    const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return wide;
    }
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) {
        return wide;
    }
    full.resize(length);
    if (full.rfind(L"\\\\", 0) == 0) {
        return L"\\\\?\\UNC\\" + full.substr(2);  // from \\server\share\...
    }
    return L"\\\\?\\" + full;
}

std::string Narrow(const wchar_t* text, size_t size) {
    if (size == 0) {
        return std::string();
    }
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), nullptr, 0,
                                             nullptr, nullptr);
    std::string narrow(static_cast<size_t>(std::max(length, 0)), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), narrow.data(), length, nullptr,
                          nullptr);
    return narrow;
}

std::string Narrow(const std::wstring& text) {
    return Narrow(text.data(), text.size());
}

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

[[noreturn]] void RaiseCode(DWORD code, const std::string& reported) {
    const int32_t number = ErrorFromCode(code);
    std::string description = ErrorDescription(number);
    if (number == kErrPathFileAccess) {
        description += " (" + Reason(code) + ")";
    }
    throw RuntimeError(number, description, reported);
}

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

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

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

File File::OpenReplacing(const std::string& path) {
    return FileAccess::Open(path, GENERIC_WRITE, CREATE_ALWAYS, true);
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
            ::CloseHandle(Handle(handle_));
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
        ::CloseHandle(Handle(handle_));
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

PathInfo InfoOf(const std::string& path, bool follow) {
    PathInfo info;
    const std::wstring wide = SystemPath(path);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
            code == ERROR_INVALID_NAME || code == ERROR_BAD_NETPATH) {
            // A reserved device name (NUL, CON) answers this call too: it is no file, but there.
            return info;
        }
        RaiseCode(code, path);
    }
    const bool link = data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
    if (link && !follow) {
        info.kind = PathInfo::Kind::kLink;
        return info;
    }
    info.kind = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? PathInfo::Kind::kFolder
                                                                 : PathInfo::Kind::kRegular;
    info.size = static_cast<int64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    info.modified = static_cast<int64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 |
                    data.ftLastWriteTime.dwLowDateTime;
    // The volume and the file's index name the file itself, through links or not.
    const HANDLE handle = ::CreateFileW(wide.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION by_handle{};
        if (::GetFileInformationByHandle(handle, &by_handle)) {
            info.volume = by_handle.dwVolumeSerialNumber;
            info.file =
                static_cast<uint64_t>(by_handle.nFileIndexHigh) << 32 | by_handle.nFileIndexLow;
            info.links = static_cast<int64_t>(by_handle.nNumberOfLinks);
        }
        if (::GetFileType(handle) != FILE_TYPE_DISK) {
            info.kind = PathInfo::Kind::kOther;  // a device: NUL, a console, a pipe
        }
        ::CloseHandle(handle);
    }
    return info;
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search =
        ::FindFirstFileExW(SystemPath(JoinPath(folder, "*")).c_str(), FindExInfoBasic, &found,
                           FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::string name = Narrow(found.cFileName);
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return names;
}

namespace {

// The root of the volume that holds path (a file or folder there), with its separator.
std::wstring VolumeOf(const std::string& path) {
    std::vector<wchar_t> root(32768);
    const std::wstring wide = SystemPath(path);
    if (::GetVolumePathNameW(wide.c_str(), root.data(), static_cast<DWORD>(root.size())) ||
        ::GetVolumePathNameW(SystemPath(FolderOf(path)).c_str(), root.data(),
                             static_cast<DWORD>(root.size()))) {
        return root.data();
    }
    return L"";
}

}  // namespace

std::optional<int64_t> FreeSpaceOn(const std::string& path) {
    ULARGE_INTEGER available{};
    const std::wstring volume = VolumeOf(path);
    if (volume.empty() || !::GetDiskFreeSpaceExW(volume.c_str(), &available, nullptr, nullptr)) {
        return std::nullopt;
    }
    return static_cast<int64_t>(available.QuadPart);
}

std::optional<int64_t> LargestFileOn(const std::string& path) {
    wchar_t system[MAX_PATH + 1] = L"";
    const std::wstring volume = VolumeOf(path);
    if (volume.empty() || !::GetVolumeInformationW(volume.c_str(), nullptr, 0, nullptr, nullptr,
                                                   nullptr, system, MAX_PATH + 1)) {
        return std::nullopt;
    }
    // FAT keeps a file's length in 32 bits.
    const std::wstring name = system;
    if (name == L"FAT" || name == L"FAT32") {
        return int64_t{4294967295};
    }
    return std::nullopt;
}

std::string CurrentFolder() {
    std::vector<wchar_t> here(32768);
    const DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(here.size()), here.data());
    return length > 0 && length < here.size() ? Narrow(here.data(), length) : std::string(".");
}

std::string ProgramFolder() {
    std::vector<wchar_t> path(32768);
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    return FolderOf(Narrow(path.data(), length));
}

std::string DocumentsFolder() {
    wchar_t* path = nullptr;
    std::string folder;
    if (::SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &path) == S_OK) {
        folder = Narrow(path, wcslen(path));
    }
    ::CoTaskMemFree(path);
    return folder;
}

}  // namespace tessarel
