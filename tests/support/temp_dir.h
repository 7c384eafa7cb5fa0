// A fresh folder for one test, removed with everything in it afterwards.
#pragma once

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace tessarel {

class TempDir {
  public:
    TempDir() {
#ifdef _WIN32
        // Paths are UTF-8 inside the program, on Windows too.
        std::random_device random;
        for (;;) {
            const auto folder =
                std::filesystem::temp_directory_path() / ("tessarel-" + std::to_string(random()));
            if (std::filesystem::create_directory(folder)) {
                path_ = folder.u8string();
                break;
            }
        }
#else
        std::string pattern = (std::filesystem::temp_directory_path() / "tessarel-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            ADD_FAILURE() << "mkdtemp failed";
        }
        path_ = pattern;
#endif
    }
    ~TempDir() {
        std::error_code ignored;
        // Give back write permission a test may have taken away, so everything can go.
        const auto folder = std::filesystem::u8path(path_);
        for (auto& entry : std::filesystem::recursive_directory_iterator(folder, ignored)) {
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
        }
        std::filesystem::remove_all(folder, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string operator/(const std::string& name) const {
        return path_ + "/" + name;
    }
    const std::string& path() const {
        return path_;
    }

  private:
    std::string path_;
};

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Bytes that differ from position to position, so a shifted or repeated block shows.
inline std::vector<uint8_t> Pattern(size_t size, uint32_t seed = 1) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = seed * 2654435761u + 12345u;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        bytes[i] = static_cast<uint8_t>(x >> 16);
    }
    return bytes;
}

// True when path is the file name, or the temporary file the program writes it under first.
inline bool IsFileOrItsTemporary(const std::string& path, const std::string& name) {
    if (path == name) {
        return true;
    }
    const std::filesystem::path p(path);
    const std::filesystem::path n(name);
    return p.parent_path() == n.parent_path() &&
           p.filename().string().rfind("." + n.filename().string() + ".tessarel-", 0) == 0;
}

inline bool RunningAsRoot() {
#ifdef _WIN32
    return false;
#else
    return ::geteuid() == 0;
#endif
}

}  // namespace tessarel
