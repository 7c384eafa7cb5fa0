#include "platform/file.h"
#include "platform/path.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>

#include "platform/runtime_error.h"
#include "support/error_of.h"
#include "support/refuse_access.h"
#include "support/temp_dir.h"

namespace tessarel {
namespace {

TEST(File, RealFailuresBecomeTheirErrorNumbers) {
    TempDir dir;
    EXPECT_EQ(ErrorOf([&] { File::OpenForReading(dir / "missing"); }), kErrFileNotFound);
    EXPECT_EQ(ErrorOf([&] { FileLength(dir / "missing"); }), kErrFileNotFound);
    EXPECT_EQ(ErrorOf([&] { DeleteFile(dir / "missing"); }), kErrFileNotFound);
    EXPECT_EQ(ErrorOf([&] { File::OpenBinary(dir / "no-folder/x.m00"); }), kErrPathNotFound);
    EXPECT_EQ(ErrorOf([&] { File::OpenForReading(dir / "no-folder/x"); }), kErrPathNotFound);
    WriteBytes(dir / "plain", {1, 2, 3});
    EXPECT_EQ(ErrorOf([&] { File::OpenBinary(dir / "plain/x"); }), kErrPathNotFound);
    EXPECT_EQ(ErrorOf([&] { File::OpenForReading(dir.path()); }), kErrPathFileAccess);
    EXPECT_EQ(ErrorOf([&] { FileLength(dir.path()); }), kErrPathFileAccess);
    EXPECT_EQ(ErrorOf([&] { File::OpenBinary(""); }), kErrBadFileName);
    EXPECT_EQ(ErrorOf([&] { File::OpenBinary(dir / std::string(300, 'n')); }), kErrBadFileName);
}

TEST(File, AFullDiskIsError61) {
    TempDir dir;
    std::filesystem::create_symlink("/dev/full", dir / "piece.m01");
    File piece = File::OpenOutput(dir / "piece.m01");
    const std::vector<uint8_t> block(10000, 7);
    EXPECT_EQ(ErrorOf([&] { piece.Write(block.data(), 10000); }), kErrDiskFull);
    EXPECT_EQ(piece.Position(), 0);
}

TEST(File, ARefusedFolderIsAnAccessErrorThatSaysWhy) {
    TempDir dir;
    std::filesystem::create_directory(dir / "locked");
    RefuseAccess refused(RefuseAccess::kWritingIn, dir / "locked");
    try {
        File::OpenBinary(dir / "locked/x.m00");
        FAIL() << "opened a file in a read-only folder";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), kErrPathFileAccess);
        EXPECT_NE(e.description().find("Permission denied"), std::string::npos);
    }
}

TEST(File, ReadingPastTheEndIsError62AndKeepsThePosition) {
    TempDir dir;
    const std::vector<uint8_t> bytes = Pattern(30);
    WriteBytes(dir / "short", bytes);
    File f = File::OpenForReading(dir / "short");
    std::vector<uint8_t> buffer(20);
    f.Read(buffer.data(), 20);
    EXPECT_EQ(ErrorOf([&] { f.Read(buffer.data(), 20); }), kErrInputPastEnd);
    EXPECT_EQ(f.Position(), 20);
    f.Read(buffer.data(), 10);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 10, bytes.begin() + 20));
}

// A file size limit makes the kernel take part of a write and refuse the rest: a real write
// that fails part way. The retry, once the limit is lifted, must give the exact bytes.
TEST(File, AWriteRetriedAfterAPartialFailureNeitherRepeatsNorDropsBytes) {
    TempDir dir;
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    const std::vector<uint8_t> first = Pattern(100, 1);
    const std::vector<uint8_t> second = Pattern(100, 2);
    File f = File::OpenOutput(dir / "piece.m00");
    f.Write(first.data(), 100);
    struct rlimit small = old;
    small.rlim_cur = 150;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int error = ErrorOf([&] { f.Write(second.data(), 100); });
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_EQ(error, kErrFileTooLarge);
    EXPECT_EQ(f.Position(), 100);
    EXPECT_EQ(FileLength(dir / "piece.m00"), 150) << "the kernel took part of the block";
    f.Write(second.data(), 100);
    f.Close();
    std::vector<uint8_t> expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(ReadBytes(dir / "piece.m00"), expected);
}

TEST(File, BinaryAccessCreatesAndReadingDoesNot) {
    TempDir dir;
    File created = File::OpenBinary(dir / "new.m00");
    created.Close();
    EXPECT_EQ(FileLength(dir / "new.m00"), 0);
    EXPECT_EQ(ErrorOf([&] { File::OpenForReading(dir / "other.m01"); }), kErrFileNotFound);
    EXPECT_FALSE(std::filesystem::exists(dir / "other.m01"));
    // Output empties an existing file.
    WriteBytes(dir / "old.m01", Pattern(50));
    File::OpenOutput(dir / "old.m01").Close();
    EXPECT_EQ(FileLength(dir / "old.m01"), 0);
}

TEST(File, LengthsBeyond32BitsAreExact) {
    TempDir dir;
    { std::ofstream sparse(dir / "big"); }
    for (int64_t length :
         {int64_t{2147483647}, int64_t{2147483648}, int64_t{1} << 32, int64_t{10000000000}}) {
        std::filesystem::resize_file(dir / "big", length);  // sparse: no disk used
        EXPECT_EQ(FileLength(dir / "big"), length);
    }
}

TEST(File, DirectoryLookupFindsFilesOnlyAndGivesTheirName) {
    TempDir dir;
    WriteBytes(dir / "data.m00", {1});
    WriteBytes(dir / ".hidden.m00", {1});
    std::filesystem::create_directory(dir / "folder.m00");
    EXPECT_EQ(DirectoryLookup(dir / "data.m00"), "data.m00");
    // A hidden file is still a file the user would lose.
    EXPECT_EQ(DirectoryLookup(dir / ".hidden.m00"), ".hidden.m00");
    EXPECT_EQ(DirectoryLookup(dir / "folder.m00"), "");
    EXPECT_EQ(DirectoryLookup(dir / "missing.m00"), "");
    EXPECT_EQ(DirectoryLookup(dir / "no-folder/data.m00"), "");
    EXPECT_EQ(DirectoryLookup(dir / "*.m00"), "") << "names are literal, not patterns";
}

namespace fs = std::filesystem;

// Removable media by the mount table and sysfs: the file systems such media carry, a device on
// a USB bus or an SD card's slot, a disk that says it is removable (an optical drive).
TEST(RemovableMedium, TheMountTableAndSysfsSayIt) {
    TempDir sys;
    const auto device = [&](const std::string& numbers, const std::string& at,
                            const char* removable) {
        fs::create_directories(fs::path(sys.path()) / at);
        fs::create_directories(fs::path(sys.path()) / "dev/block");
        fs::create_symlink(fs::path(sys.path()) / at, fs::path(sys.path()) / "dev/block" / numbers);
        if (removable) {
            WriteBytes(sys / (at + "/../removable"),
                       std::vector<uint8_t>(removable, removable + 2));
        }
    };
    device("8:1", "devices/pci0000:00/ata1/host0/block/sda/sda1", "0\n");
    device("8:17", "devices/pci0000:00/usb1/1-1/host6/block/sdb/sdb1", "0\n");
    device("11:0", "devices/pci0000:00/ata2/host1/block/sr0/x", "1\n");
    device("179:1", "devices/platform/mmc0/block/mmcblk0/mmcblk0p1", "0\n");
    device("7:4", "devices/virtual/block/loop4/x", "0\n");
    const std::string mounts =
        "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "23 22 8:33 / /media/card rw,nosuid - exfat /dev/sdc1 rw\n"
        "24 22 7:2 / /mnt/disc ro - iso9660 /dev/loop2 ro\n"
        "25 22 7:3 / /mnt/plain rw - ext2 /dev/loop3 rw\n"
        "26 22 0:51 / /mnt/served rw - fuse.sshfs host: rw\n";
    const std::pair<const char*, bool> cases[] = {
        {"8:1", false}, {"8:17", true}, {"11:0", true}, {"179:1", true}, {"8:33", true},
        {"7:2", true},  {"7:3", false}, {"9:9", false}, {"7:4", true},   {"0:51", true},
    };
    for (const auto& [numbers, removable] : cases) {
        EXPECT_EQ(RemovableMediumBy(mounts, sys.path(), numbers), removable) << numbers;
    }
}

}  // namespace
}  // namespace tessarel
