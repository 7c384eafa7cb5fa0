#include "platform/path.h"

namespace tessarel {

bool IsSeparator(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

namespace {

// Position of the last separator, or npos.
size_t LastSeparator(const std::string& path) {
    for (size_t i = path.size(); i > 0; --i) {
        if (IsSeparator(path[i - 1])) {
            return i - 1;
        }
    }
    return std::string::npos;
}

#ifdef _WIN32
bool IsDriveLetter(const std::string& path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}
#endif

// Length of the part of path that names its root ("/", "C:\", "\\server\share\"), 0 if none.
size_t RootLength(const std::string& path) {
#ifdef _WIN32
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        // \\server\share\ : the root reaches past the share's name.
        size_t at = 2;
        for (int part = 0; part < 2 && at < path.size(); ++part) {
            while (at < path.size() && !IsSeparator(path[at])) {
                ++at;
            }
            if (at < path.size()) {
                ++at;
            }
        }
        return at;
    }
    if (IsDriveLetter(path)) {
        return path.size() >= 3 && IsSeparator(path[2]) ? 3 : 2;
    }
#endif
    return !path.empty() && IsSeparator(path[0]) ? 1 : 0;
}

}  // namespace

std::string NameOf(const std::string& path) {
    const size_t root = RootLength(path);
    const size_t slash = LastSeparator(path);
    if (slash == std::string::npos || slash + 1 < root) {
        return path.substr(root);
    }
    return path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
    const size_t root = RootLength(path);
    const size_t slash = LastSeparator(path);
    if (slash == std::string::npos || slash < root) {
        return root > 0 ? path.substr(0, root) : ".";
    }
    return slash + 1 <= root ? path.substr(0, root) : path.substr(0, slash);
}

bool IsAbsolute(const std::string& path) {
#ifdef _WIN32
    // "C:name" depends on the drive's current folder; "\name" on the current drive. Only a
    // full drive path or a share name stands on its own.
    return (path.size() >= 3 && IsDriveLetter(path) && IsSeparator(path[2])) ||
           (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]));
#else
    return !path.empty() && path[0] == '/';
#endif
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    return IsSeparator(folder.back()) ? folder + name : folder + "/" + name;
}

bool IsLegalName(const std::string& name) {
#ifdef _WIN32
    if (name.empty() || name.back() == '.' || name.back() == ' ') {
        return false;
    }
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 32 ||
            std::string("<>:\"|?*\\/").find(c) != std::string::npos) {
            return false;
        }
    }
    // A device's name before the first dot, whatever follows, in any letter case.
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') {
        stem.pop_back();
    }
    for (char& c : stem) {
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") {
        return false;
    }
    if (stem.size() == 4 && (stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0) &&
        stem[3] >= '1' && stem[3] <= '9') {
        return false;
    }
    return true;
#else
    return !name.empty() && name.find('\0') == std::string::npos;
#endif
}

std::string InFolderForm(const std::string& path) {
#ifdef _WIN32
    if (RootLength(path) == 2 && IsDriveLetter(path)) {
        return path.substr(0, 2) + ".\\" + path.substr(2);  // the drive's current folder
    }
#endif
    if (LastSeparator(path) != std::string::npos || RootLength(path) > 0) {
        return path;
    }
    return "./" + path;
}

std::string AbsoluteIn(const std::string& folder, const std::string& path) {
    if (IsAbsolute(path) || RootLength(path) > 0 || folder.empty()) {
        return InFolderForm(path);  // it names its own drive or root
    }
    return JoinPath(folder, path);
}

}  // namespace tessarel
