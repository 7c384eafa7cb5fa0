// Files over the OS's own calls, so that every failure reaches us with its real cause. Each
// failure is raised as a numbered run-time error, through one table per system (file_posix.cpp,
// file_win32.cpp). Reads and writes are sequential from a position the object keeps; one that
// fails leaves that position where it was, so running the same read or write again neither
// drops nor repeats bytes. Paths are UTF-8 (on POSIX: the file system's bytes).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tessarel {

// The calls the fault hook below sees.
enum class FileOp { Read, Write, OpenRead, OpenWrite, Sync, Rename, Delete };

// A failure a test injects, named as the user would meet it. Each file layer turns it into its
// own system's error code and then through the same table as a real failure, so the hook
// exercises that table too.
enum class Fault {
    kNone,
    kNotFound,
    kAccessDenied,
    kDiskFull,
    kTooLarge,  // the file cannot grow any further on this file system
    kDeviceIo,
    kNotReady,  // no medium in the drive
    kNoDevice,
    kBusy,
};

class File {
  public:
    // Read and write, created when missing ("binary access").
    static File OpenBinary(const std::string& path);
    // Read only, an ordinary file only; a missing file is an error, never created. Where the
    // system lets a reader say so (Windows), others_may_write false keeps anyone from writing,
    // replacing or deleting it while it is open.
    static File OpenForReading(const std::string& path, bool others_may_write = true);
    // Write only, created or cut to length 0 ("output").
    static File OpenOutput(const std::string& path);
    // Write only, a new file that must not exist yet (a temporary file of ours), with the
    // permission bits given (within the umask; POSIX only). Never follows a link; an existing
    // entry of the name is an error. It is held as in use for as long as it is open, so
    // RemoveIfAbandoned leaves it alone.
    static File CreateNew(const std::string& path, uint32_t permissions = 0666);
    // Write only, an ordinary file created or cut to length 0; a link at the name is refused,
    // never written through.
    static File OpenReplacing(const std::string& path);

    File() = default;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();  // closes quietly; call Close() to hear of a failure

    bool IsOpen() const { return handle_ != kNoHandle; }
    int64_t Position() const { return position_; }
    const std::string& path() const { return path_; }
    // The name its errors are reported under: a temporary file's are its final name's, since
    // that is the file the user knows of.
    const std::string& reported() const { return reported_.empty() ? path_ : reported_; }
    void ReportAs(std::string name) { reported_ = std::move(name); }

    // Reads exactly size bytes; a file that ends first raises input past end (62).
    void Read(uint8_t* buffer, int32_t size);
    // The next read or write starts at position (bytes from the start): a file read in pieces
    // out of order, a record written again. Asks nothing of the system, so it cannot fail.
    void Seek(int64_t position) { position_ = position; }
    void Write(const uint8_t* buffer, int32_t size);
    // Puts what was written on the medium. A failure is a disk error like a failed write, and
    // it stays: once a flush has failed the data cannot be vouched for, so every later flush of
    // this file fails the same way instead of reporting a success it cannot know.
    void Sync();
    // Has the system start writing out everything written so far, without waiting for it.
    void StartWriteback();
    // Waits until what was written so far has reached the disk (not its metadata: Sync does
    // that); only a hint to pace the writing, errors come with Sync.
    void WaitForWriteback();
    // Bytes from the start known to have reached the disk.
    int64_t WaitedFor() const { return writeback_waited_; }
    void Close();

  private:
    static constexpr intptr_t kNoHandle = -1;
    File(intptr_t handle, std::string path, bool regular)
        : handle_(handle), path_(std::move(path)), regular_(regular) {}
    friend struct FileAccess;  // the system's half of the class, in file_<system>.cpp
    // Closes the handle, quietly, and forgets it (file_<system>.cpp).
    void Release();
    // Past every few megabytes written, has the system start writing them out, and waits for
    // what lies more than a few dozen megabytes behind: the data goes out as it is written, at
    // the disk's pace, and the final flush has little left to do.
    void PaceWriteback();

    intptr_t handle_ = kNoHandle;  // a descriptor, or a HANDLE
    std::string path_;
    std::string reported_;
    bool regular_ = false;
    int64_t position_ = 0;
    int64_t writeback_started_ = 0;  // bytes from the start handed to writeback
    int64_t writeback_waited_ = 0;   // bytes from the start known written out
    int sync_error_ = 0;             // the system's code of a failed flush, kept
};

// Faults no test can get from a real device (a drive that is not ready), or not as the user
// running it (a permission refused to root), are injected here: the hook sees every open, read,
// write, flush, rename and delete before it happens and may answer with a fault to fail it.
using FileFaultHook = Fault (*)(FileOp op, const std::string& path, int64_t position, int32_t size,
                                void* context);
void SetFileFaultHook(FileFaultHook hook, void* context);

// A new, empty file in the folder of path, under a hidden name of ours made from path's name
// (".NAME.tessarel-XXXXXX"), created exclusively and for its owner alone: where a result is
// written before it is put in its place with RenameOver (and given its access then).
File CreateTemporaryBeside(const std::string& path);

// True when name is one CreateTemporaryBeside makes.
bool IsTemporaryName(const std::string& name);

// The start of the final name that a temporary name (of CreateTemporaryBeside) was made from:
// the name itself, or its first hundred bytes when it is longer; empty when name is not one of
// those. NameStartOf gives the same start for a final name, so the two can be compared.
std::string TemporaryNameStart(const std::string& name);
std::string NameStartOf(const std::string& name);

// A hidden name of ours beside path, not taken at the moment, for a file of the user's that is
// moved out of the way while a result takes its place (".NAME.tessarel-old-XXXXXX").
std::string AsideNameBeside(const std::string& path);
// True when name is one AsideNameBeside makes; and the start of the name it was made from.
bool IsAsideName(const std::string& name);
std::string AsideNameStart(const std::string& name);

// True when name is one of the program's own hidden files beside a result (a temporary, an
// aside, the commit's journal or lock): a dot, a name, our mark. On Windows, where a leading
// dot hides nothing, such files get the hidden attribute when they are made, and a temporary
// loses it when it becomes a result.
bool IsOurHiddenName(const std::string& name);

// Deletes path if it is there, and says nothing of a failure: for clearing up after a failure
// that has already been reported.
void RemoveQuietly(const std::string& path);

// Gives the file at path the permission bits given, within the process's file-creation mask
// (POSIX; on Windows a file's access is its folder's, and nothing is done). Raised on failure.
void SetPermissions(const std::string& path, uint32_t permissions);

// Reads the file at path through from its medium rather than from the system's cache, where
// what was just written may still be (POSIX: its cached pages are dropped and it is read with
// O_DIRECT, or read uncached where the file system takes no O_DIRECT; Windows: without
// buffering): each run of bytes goes to take, in order; between runs before each read (and may
// throw, to stop). A failure to read is raised, said of reported.
void ReadFromMedium(const std::string& path, const std::string& reported,
                    const std::function<void(const uint8_t*, size_t)>& take,
                    const std::function<void()>& between);

// Length of the named file.
int64_t FileLength(const std::string& path);

void DeleteFile(const std::string& path);

// Puts the file at from in the place of to in one step, replacing an ordinary file there, and
// makes the change durable as far as the system allows. Both lie in the same folder.
void RenameOver(const std::string& from, const std::string& to);

// Flushes the folder that holds path, so the names of files newly made there survive a power
// cut. A failure is a disk error.
void SyncFolderOf(const std::string& path);

// The name part of the file at path when one exists there (not a folder), else empty.
// Names are taken literally: no wildcards.
std::string DirectoryLookup(const std::string& path);

// True when both paths exist and name the same file, through links or not.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace tessarel
