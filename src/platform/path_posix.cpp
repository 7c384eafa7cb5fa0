// What is at a path on POSIX systems: stat, a folder's names, the file system's room and
// kind, and the folders the program starts from.
#include <dirent.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/error_posix.h"
#include "platform/path.h"

namespace tessarel {

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
    info.owner = static_cast<int64_t>(st.st_uid);
    info.sticky = S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX);
    return info;
}

bool RemovableMediumBy(const std::string& mountinfo, const std::string& sysfs,
                       const std::string& device) {
    // The file system mounted from the device: "ID PARENT MAJ:MIN ROOT MOUNT ... - TYPE SOURCE".
    std::istringstream lines(mountinfo);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string id, parent, numbers;
        fields >> id >> parent >> numbers;
        const size_t dash = line.find(" - ");
        if (numbers != device || dash == std::string::npos) {
            continue;
        }
        std::istringstream rest(line.substr(dash + 3));
        std::string type;
        rest >> type;
        for (const char* removable : {"vfat", "msdos", "exfat", "udf", "iso9660"}) {
            if (type == removable) {
                return true;
            }
        }
        if (type.rfind("fuse", 0) == 0) {
            return true;  // a medium a program serves: what it keeps is its own business
        }
    }
    // The block device: on a USB bus, or a disk that says it is removable (a card reader, an
    // optical drive); a partition asks its disk.
    char resolved[PATH_MAX];
    const std::string node = sysfs + "/dev/block/" + device;
    if (!::realpath(node.c_str(), resolved)) {
        return false;
    }
    const std::string path = resolved;
    if (path.find("/usb") != std::string::npos || path.find("/mmc") != std::string::npos ||
        path.find("/block/loop") != std::string::npos) {
        return true;  // a USB stick or card reader, an SD card's slot, an image on another medium
    }
    for (const std::string& at : {path, path + "/.."}) {
        std::ifstream flag(at + "/removable");
        std::string value;
        if (flag >> value) {
            return value == "1";
        }
    }
    return false;
}

bool OnRemovableMedium(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return false;
    }
    std::ifstream file("/proc/self/mountinfo");
    std::stringstream mountinfo;
    mountinfo << file.rdbuf();
    const std::string device =
        std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
    return RemovableMediumBy(mountinfo.str(), "/sys", device);
}

int64_t CurrentUser() {
    return static_cast<int64_t>(::geteuid());
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

std::vector<std::string> DataFolders() {
    return {ProgramFolder(), JoinPath(ProgramFolder(), TESSAREL_DATA_FROM_BIN)};
}

bool MakeCurrent(const std::string& folder) {
    return ::chdir(folder.c_str()) == 0;
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
