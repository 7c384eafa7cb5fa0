// Files over the OS's own calls, so that every failure reaches us with its real cause. Each
// failure is raised as a numbered run-time error (see ErrorFromErrno). Reads and writes are
// sequential from a position the object keeps; one that fails leaves that position where it
// was, so running the same read or write again neither drops nor repeats bytes.
#pragma once

#include <cstdint>
#include <string>

namespace tessarel {

// The calls the fault hook below sees.
enum class FileOp { Read, Write, OpenRead, OpenWrite, Sync };

class File {
  public:
    // Read and write, created when missing ("binary access").
    static File OpenBinary(const std::string& path);
    // Read only, an ordinary file only; a missing file is an error, never created.
    static File OpenForReading(const std::string& path);
    // Write only, created or cut to length 0 ("output").
    static File OpenOutput(const std::string& path);

    File() = default;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();  // closes quietly; call Close() to hear of a failure

    bool IsOpen() const { return fd_ >= 0; }
    int64_t Position() const { return position_; }

    // Reads exactly size bytes; a file that ends first raises input past end (62).
    void Read(uint8_t* buffer, int32_t size);
    void Write(const uint8_t* buffer, int32_t size);
    // Puts what was written on the medium (fdatasync). A failure is a disk error like a failed
    // write, and it stays: once a flush has failed the data cannot be vouched for, so every
    // later flush of this file fails the same way instead of reporting a success it cannot know.
    void Sync();
    // Has the kernel start writing out everything written so far, without waiting for it.
    void StartWriteback();
    void Close();

  private:
    File(int fd, std::string path, bool regular)
        : fd_(fd), path_(std::move(path)), regular_(regular) {}
    static File Open(const std::string& path, int flags, bool regular_only);
    template <typename Buffer, typename Call>
    void Move(FileOp op, Buffer buffer, int32_t size, Call call);
    // Past every few megabytes written, has the kernel start writing them out, and waits for
    // what lies more than a few dozen megabytes behind: the data goes out as it is written, at
    // the disk's pace, and the final flush has little left to do.
    void PaceWriteback();

    int fd_ = -1;
    std::string path_;
    bool regular_ = false;
    int64_t position_ = 0;
    int64_t writeback_started_ = 0;  // bytes from the start handed to writeback
    int64_t writeback_waited_ = 0;   // bytes from the start known written out
    int sync_error_ = 0;             // errno of a failed flush, kept
};

// Faults no test can get from a real device (a drive that is not ready), or not as the user
// running it (a permission refused to root), are injected here: the hook sees every open, read
// and write before it happens and may answer with an errno to fail it.

using FileFaultHook = int (*)(FileOp op, const std::string& path, int64_t position, int32_t size,
                              void* context);
void SetFileFaultHook(FileFaultHook hook, void* context);

// Length of the named file.
int64_t FileLength(const std::string& path);

void DeleteFile(const std::string& path);

// Flushes the folder that holds path, so the names of files newly made there survive a power
// cut. A failure is a disk error.
void SyncFolderOf(const std::string& path);

// The name part of the file at path when one exists there (not a folder), else empty.
// Names are taken literally: no wildcards.
std::string DirectoryLookup(const std::string& path);

// True when both paths exist and name the same file, through links or not.
bool SameFile(const std::string& a, const std::string& b);

// The run-time error number an errno stands for, when it happened to path.
int32_t ErrorFromErrno(int err, const std::string& path);

// Raises the run-time error for errno err.
[[noreturn]] void RaiseErrno(int err, const std::string& path);

}  // namespace tessarel
