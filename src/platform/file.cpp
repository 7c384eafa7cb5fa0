// The parts of the file layer that need nothing of the system but what path.h says of a path.
#include "platform/file.h"

#include "platform/path.h"
#include "platform/runtime_error.h"

namespace tessarel {

bool SameFile(const std::string& a, const std::string& b) {
    try {
        const PathInfo ia = InfoOf(a);
        const PathInfo ib = InfoOf(b);
        return ia.exists() && ib.exists() && ia.volume == ib.volume && ia.file == ib.file;
    } catch (const RuntimeError&) {
        return false;  // what cannot be looked at is not known to be the same
    }
}

std::string DirectoryLookup(const std::string& path) {
    if (path.empty()) {
        return "";
    }
    try {
        const PathInfo info = InfoOf(path);
        return info.exists() && info.kind != PathInfo::Kind::kFolder ? NameOf(path) : "";
    } catch (const RuntimeError&) {
        return "";
    }
}

}  // namespace tessarel
