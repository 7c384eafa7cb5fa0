// The parts of the file layer that need nothing of the system but what path.h says of a path.
#include "platform/file.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>

#include "platform/path.h"
#include "platform/runtime_error.h"

namespace tessarel {

// The half of File that is the same everywhere; the system's half is in file_<system>.cpp.
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
        Release();
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
    Release();
}

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

namespace {

constexpr char kTemporaryMark[] = ".tessarel-";
constexpr char kAsideMark[] = ".tessarel-old-";
constexpr size_t kSuffixLength = 6;

std::string RandomSuffix() {
    static std::atomic<uint64_t> counter{0};
    static const uint64_t seed =
        std::random_device{}() ^
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::mt19937_64 random(seed + counter++);
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    for (size_t i = 0; i < kSuffixLength; ++i) {
        suffix += kLetters[random() % (sizeof kLetters - 1)];
    }
    return suffix;
}

// The start of the final name, so the user can tell whose it is, short enough that the mark
// still fits where the final name just fits; cut between characters.
std::string NameStart(const std::string& name) {
    size_t length = std::min<size_t>(name.size(), 100);
    while (length > 0 && length < name.size() &&
           (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) {
        --length;
    }
    return name.substr(0, length);
}

}  // namespace

File CreateTemporaryBeside(const std::string& path) {
    const std::string folder = FolderOf(path);
    for (int attempt = 0;; ++attempt) {
        const std::string name = "." + NameStart(NameOf(path)) + kTemporaryMark + RandomSuffix();
        const std::string temporary = JoinPath(folder, name);
        try {
            File file = File::CreateNew(temporary, 0600);
            file.ReportAs(path);
            return file;
        } catch (const RuntimeError&) {
            // Another file took the name first: draw again. Any other failure is the folder's,
            // said of the file the user named.
            if (attempt > 100 || !InfoOf(temporary, false).exists()) {
                try {
                    throw;
                } catch (const RuntimeError& error) {
                    throw RuntimeError(error.number(), error.description(), path);
                }
            }
        }
    }
}

bool IsTemporaryName(const std::string& name) {
    return !TemporaryNameStart(name).empty();
}

std::string TemporaryNameStart(const std::string& name) {
    const size_t mark = name.rfind(kTemporaryMark);
    if (name.empty() || name[0] != '.' || mark == std::string::npos || mark < 2 ||
        name.size() != mark + sizeof kTemporaryMark - 1 + kSuffixLength) {
        return "";
    }
    return name.substr(1, mark - 1);
}

std::string NameStartOf(const std::string& name) {
    return NameStart(name);
}

bool IsAsideName(const std::string& name) {
    return !AsideNameStart(name).empty();
}

std::string AsideNameStart(const std::string& name) {
    const size_t mark = name.rfind(kAsideMark);
    if (name.empty() || name[0] != '.' || mark == std::string::npos || mark < 2 ||
        name.size() != mark + sizeof kAsideMark - 1 + kSuffixLength) {
        return "";
    }
    return name.substr(1, mark - 1);
}

bool IsOurHiddenName(const std::string& name) {
    return name.size() > 1 && name[0] == '.' && name.find(kTemporaryMark, 1) != std::string::npos;
}

std::string AsideNameBeside(const std::string& path) {
    const std::string folder = FolderOf(path);
    for (;;) {
        const std::string aside =
            JoinPath(folder, "." + NameStart(NameOf(path)) + kAsideMark + RandomSuffix());
        if (!InfoOf(aside, false).exists()) {
            return aside;
        }
    }
}

void RemoveQuietly(const std::string& path) {
    try {
        if (!path.empty() && InfoOf(path, false).exists()) {
            DeleteFile(path);
        }
    } catch (const RuntimeError&) {
        // Already reported, or nothing more can be done about it.
    }
}

}  // namespace tessarel
