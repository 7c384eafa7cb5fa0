// Paths as this system spells them: the one place that knows its separators, what makes a
// path absolute, and what is at a path (the system's stat). Every other layer takes paths apart
// and looks at them through here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessarel {

// True for a character that separates folders here: '/' on POSIX; '/' and '\' on Windows.
bool IsSeparator(char c);

// The part after the last separator (the whole path when it has none).
std::string NameOf(const std::string& path);

// The folder that holds path: what stands before its last separator ("." when there is none,
// the root itself for a name in the root).
std::string FolderOf(const std::string& path);

// True when path does not depend on the current folder.
bool IsAbsolute(const std::string& path);

// name in folder, with one separator between them.
std::string JoinPath(const std::string& folder, const std::string& name);

// True when name may be a file's name here. On Windows not: the names it keeps for devices
// (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, with any extension), the characters it forbids
// (<>:"|?* and control characters), nor a trailing dot or blank.
bool IsLegalName(const std::string& name);

// A path as the request rules want it: a name without a folder is taken in the current one
// ("./name"; on Windows "C:name" becomes "C:.\name", in that drive's current folder).
std::string InFolderForm(const std::string& path);

// path as a name typed in folder means it: folder's name for it unless it stands on its own.
std::string AbsoluteIn(const std::string& folder, const std::string& path);

// What is at a path.
struct PathInfo {
    enum class Kind { kMissing, kRegular, kFolder, kLink, kOther };
    Kind kind = Kind::kMissing;  // kLink only when links are not followed
    int64_t size = 0;            // of a regular file
    int64_t modified = 0;        // time of the last change, in the system's finest unit
    uint64_t volume = 0;         // with file, names the file itself, whatever its path
    uint64_t file = 0;
    // POSIX permission bits (0666 on Windows, where a file has its folder's access)
    uint32_t permissions = 0;
    int64_t links = 1;    // names the file has (hard links)
    int64_t owner = -1;   // the user who owns it (POSIX); -1 where the system says none
    bool sticky = false;  // a folder in which only a file's owner may remove or replace it

    bool exists() const { return kind != Kind::kMissing; }
    bool regular() const { return kind == Kind::kRegular; }
};

// The user this program runs as (POSIX); -1 where the system has no such number.
int64_t CurrentUser();

// Looks at path, following links when follow is set. A missing file (or a missing folder on the
// way to it) gives kMissing; any other failure to look is raised as a run-time error.
PathInfo InfoOf(const std::string& path, bool follow = true);

// True when what holds path (a file or folder there) is removable media, where a write the
// system took may not be what the medium keeps: a USB stick or card reader, an optical disc, a
// disk image on a loop device, or a volume of the file systems such media use (FAT, exFAT, UDF,
// ISO 9660) or a program serves (FUSE). Linux: the mount table and sysfs; Windows: the drive's
// type. False when nothing says so.
bool OnRemovableMedium(const std::string& path);
// The same rule over a mount table's text (as /proc/self/mountinfo) and a sysfs tree at
// sysfs, for the device "MAJOR:MINOR" (POSIX; the rule the call above follows).
bool RemovableMediumBy(const std::string& mountinfo, const std::string& sysfs,
                       const std::string& device);

// The names of what a folder holds, in no order; none when it cannot be read.
std::vector<std::string> NamesIn(const std::string& folder);

// Room on the file system that holds path (a file or folder there), in bytes, as an ordinary
// user may fill it; none when the system does not say.
std::optional<int64_t> FreeSpaceOn(const std::string& path);

// The largest file the file system that holds path can keep, when it is known to be smaller
// than any file a series makes (FAT: 4,294,967,295 bytes); none otherwise.
std::optional<int64_t> LargestFileOn(const std::string& path);

// The folder the program was started in.
std::string CurrentFolder();
// The folder the program's own file lies in.
std::string ProgramFolder();
// The folders the program's own data (its clip) may lie in, first first: its own folder (a
// build, the Windows program), then where an installed program keeps its data.
std::vector<std::string> DataFolders();
// Makes folder the process's current folder; false when it cannot be.
bool MakeCurrent(const std::string& folder);
// The user's documents folder (on POSIX: XDG's, else Documents in the home folder, else the
// home folder); empty when there is none.
std::string DocumentsFolder();

}  // namespace tessarel
