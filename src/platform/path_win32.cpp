// What is at a path on Windows: attributes, a folder's names, the volume's room and kind, and
// the folders the program starts from.
#include <windows.h>
// After windows.h: the known folders' names.
#include <knownfolders.h>
#include <shlobj.h>

#include <vector>

#include "platform/error_win32.h"
#include "platform/path.h"
#include "platform/wide.h"

namespace tessarel {

bool OnRemovableMedium(const std::string& path) {
    // The drive's root: "C:\\" or "\\\\server\\share\\".
    wchar_t root[MAX_PATH];
    if (!::GetVolumePathNameW(SystemPath(path).c_str(), root, MAX_PATH)) {
        return false;
    }
    const UINT type = ::GetDriveTypeW(root);
    return type == DRIVE_REMOVABLE || type == DRIVE_CDROM;
}

bool RemovableMediumBy(const std::string&, const std::string&, const std::string&) {
    return false;  // no mount table here: the drive's type says it
}

int64_t CurrentUser() {
    return -1;  // files here have no owner number; their access is their folder's
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
    // No bits of its own: as open as its folder lets it be, which is what a copy gets too.
    info.permissions = 0666;
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

std::vector<std::string> DataFolders() {
    return {ProgramFolder()};
}

bool MakeCurrent(const std::string& folder) {
    return ::SetCurrentDirectoryW(Wide(folder).c_str()) != 0;
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
