// The Windows file layer and path rules, run under wine: each system error reaches its number
// through the one table (given through the fault hook where wine cannot give it for real),
// names in several scripts and lengths past 4 GiB are exact, and the names Windows keeps for
// itself are refused before anything is written.
#include <gtest/gtest.h>

#include <windows.h>
#undef DeleteFile
#undef MessageBox

#include <filesystem>
#include <map>

#include "control/commands.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/runtime_error.h"
#include "platform/wide.h"
#include "support/error_of.h"
#include "support/fake_form.h"
#include "support/recording_display.h"
#include "support/scripted_message_box.h"
#include "support/series.h"
#include "support/temp_dir.h"

namespace tessarel {
namespace {

namespace fs = std::filesystem;

TEST(WindowsPaths, SeparatorsDrivesAndShares) {
    struct Case {
        std::string path, name, folder;
        bool absolute;
    };
    const Case cases[] = {
        {"C:\\data\\report.m00", "report.m00", "C:\\data", true},
        {"C:/data/report.m00", "report.m00", "C:/data", true},
        {"C:\\report.m00", "report.m00", "C:\\", true},
        {"C:report.m00", "report.m00", "C:", false},
        {"\\\\server\\share\\x.m00", "x.m00", "\\\\server\\share\\", true},
        {"relative\\x", "x", "relative", false},
        {"x", "x", ".", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NameOf(c.path), c.name) << c.path;
        EXPECT_EQ(FolderOf(c.path), c.folder) << c.path;
        EXPECT_EQ(IsAbsolute(c.path), c.absolute) << c.path;
    }
}

TEST(WindowsPaths, NamesWindowsKeepsForItselfAreIllegal) {
    for (const char* name :
         {"CON", "con.m00", "PRN.txt", "AUX", "NUL.m00", "COM1", "com9.bin", "LPT1.m03", "a<b",
          "a>b", "a:b", "a\"b", "a|b", "a?b", "a*b", "trailing.", "trailing ", "tab\tname"}) {
        EXPECT_FALSE(IsLegalName(name)) << name;
    }
    for (const char* name :
         {"CONSOLE.m00", "COM10", "LPT0", "nul-not.m00", "données.m00", "名前.bin", "a.b.c"}) {
        EXPECT_TRUE(IsLegalName(name)) << name;
    }
}

// A reserved name is refused before anything is written, as the file layer would refuse it.
TEST(WindowsPaths, ASplitOrJoinOntoAReservedNameIsRefused) {
    TempDir dir;
    WriteBytes(dir / "src.bin", Pattern(1000));
    for (const std::string& save : {dir / "CON", dir / "aux.m00", dir / "bad?name"}) {
        FakeForm form;
        form.open = dir / "src.bin";
        form.save = save;
        form.exact_selected = true;
        form.exact = "300";
        RecordingDisplay display;
        ScriptedMessageBox box{kAnswerOk};
        EXPECT_FALSE(GoWithForm(form, display, box));
        EXPECT_EQ(box.Prompts(), std::vector<std::string>{"That filename is illegal."}) << save;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::u8path(dir.path())), {}), 1);
}

// Each failure the hook gives becomes, through the Win32 code it stands for, its number.
Fault Given = Fault::kNone;
Fault GiveFault(FileOp op, const std::string&, int64_t, int32_t, void*) {
    return op == FileOp::OpenWrite ? Given : Fault::kNone;
}

TEST(WindowsFiles, EachFailureReachesItsNumberThroughTheOneTable) {
    TempDir dir;
    const std::pair<Fault, int32_t> table[] = {
        {Fault::kNotFound, kErrFileNotFound},      {Fault::kAccessDenied, kErrPathFileAccess},
        {Fault::kDiskFull, kErrDiskFull},          {Fault::kTooLarge, kErrFileTooLarge},
        {Fault::kDeviceIo, kErrDeviceIo},          {Fault::kNotReady, kErrDiskNotReady},
        {Fault::kNoDevice, kErrDeviceUnavailable}, {Fault::kBusy, kErrPathFileAccess},
    };
    SetFileFaultHook(GiveFault, nullptr);
    for (const auto& [fault, number] : table) {
        Given = fault;
        EXPECT_EQ(ErrorOf([&] { File::OpenOutput(dir / "x"); }), number);
    }
    SetFileFaultHook(nullptr, nullptr);
    EXPECT_EQ(ErrorOf([&] { File::OpenForReading(dir / "missing"); }), kErrFileNotFound);
    EXPECT_EQ(ErrorOf([&] { File::OpenForReading(dir / "no-folder/x"); }), kErrPathNotFound);
    EXPECT_EQ(ErrorOf([&] { File::OpenForReading(dir.path()); }), kErrPathFileAccess);
    EXPECT_EQ(ErrorOf([&] { File::OpenBinary(""); }), kErrBadFileName);
}

TEST(WindowsFiles, NamesInSeveralScriptsAndLengthsPastFourGibibytes) {
    TempDir dir;
    const std::string name = dir / "ünï 名前 données.bin";
    File out = File::OpenOutput(name);
    const auto bytes = Pattern(1000);
    out.Write(bytes.data(), 1000);
    out.Sync();
    out.Close();
    EXPECT_EQ(ReadBytes(name), bytes);
    EXPECT_EQ(DirectoryLookup(name), "ünï 名前 données.bin");
    EXPECT_TRUE(SameFile(name, dir / "ünï 名前 données.bin"));
    fs::resize_file(fs::u8path(name), (uintmax_t{5} << 30) + 7);
    EXPECT_EQ(FileLength(name), (int64_t{5} << 30) + 7);
    File in = File::OpenForReading(name);
    std::vector<uint8_t> first(1000);
    in.Read(first.data(), 1000);
    EXPECT_EQ(first, bytes);
    in.Close();
    RenameOver(name, dir / "other.bin");
    EXPECT_FALSE(InfoOf(name).exists());
    EXPECT_EQ(InfoOf(dir / "other.bin").size, (int64_t{5} << 30) + 7);
}

// The faults POSIX gives for real (a full disk, a drive that is not ready), here through the
// hook, as the Go command meets them; the disk is left as it was.
struct WriteFault {
    Fault fault;
    int times;
};
Fault FailWrites(FileOp op, const std::string&, int64_t, int32_t, void* context) {
    auto* f = static_cast<WriteFault*>(context);
    if (op == FileOp::Write && f->times > 0) {
        --f->times;
        return f->fault;
    }
    return Fault::kNone;
}

TEST(WindowsFiles, ADiskThatFillsOrIsNotReadyIsAskedAboutAndLeavesNothing) {
    TempDir dir;
    WriteBytes(dir / "src.bin", Pattern(100000));
    struct Case {
        Fault fault;
        MsgAnswer answer;
        std::string message;
    };
    const Case cases[] = {
        {Fault::kDiskFull, kAnswerNo, "Disk is full. Continue?"},
        {Fault::kNotReady, kAnswerCancel, "Insert a disk in the drive and close the door."},
        {Fault::kTooLarge, kAnswerOk,
         "The file s.m00 cannot grow any larger on this disk, so it was not kept. Choose a "
         "smaller piece size, or a disk that keeps larger files."},
    };
    for (const Case& c : cases) {
        WriteFault fault{c.fault, 1 << 20};
        SetFileFaultHook(FailWrites, &fault);
        FakeForm form;
        form.open = dir / "src.bin";
        form.save = dir / "s";
        form.exact_selected = true;
        form.exact = "30000";
        RecordingDisplay display;
        ScriptedMessageBox box{kAnswerOk, c.answer, kAnswerOk};
        EXPECT_FALSE(GoWithForm(form, display, box));
        SetFileFaultHook(nullptr, nullptr);
        EXPECT_EQ(box.Prompts(), (std::vector<std::string>{" Will split into  4 files.", c.message,
                                                           "Could Not Perform The Specified "
                                                           "Operation."}));
        EXPECT_EQ(std::distance(fs::directory_iterator(fs::u8path(dir.path())), {}), 1);
    }
}

// A name of MAX_PATH or more is handed to Windows whole, in the long form, which no system
// setting limits; a shorter one as it is.
TEST(WindowsPaths, LongNamesTakeTheLongForm) {
    const std::string deep = std::string(250, 'd');
    const std::string current = Narrow(fs::current_path().wstring());
    const struct {
        std::string path;
        std::wstring form;
    } cases[] = {
        {"C:\\short\\name.bin", L"C:\\short\\name.bin"},
        {"C:\\" + deep + "\\x", Wide("\\\\?\\C:\\" + deep + "\\x")},
        {"C:\\a\\..\\" + deep + "/x", Wide("\\\\?\\C:\\" + deep + "\\x")},
        {deep + "\\x", Wide("\\\\?\\" + current + "\\" + deep + "\\x")},
        {"\\\\server\\share\\" + deep, Wide("\\\\?\\UNC\\server\\share\\" + deep)},
        {"\\\\?\\C:\\" + deep, Wide("\\\\?\\C:\\" + deep)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SystemPath(c.path), c.form) << c.path;
    }
}

// A split and a join where every name is over 300 characters long, byte for byte.
TEST(WindowsFiles, ASeriesInAFolderDeeperThanMaxPath) {
    TempDir dir;
    std::string folder = dir.path();
    while (folder.size() < 300) {
        folder += "\\" + std::string(60, 'f');
        ASSERT_TRUE(CreateDirectoryW(SystemPath(folder).c_str(), nullptr)) << folder.size();
    }
    const std::string source = folder + "\\source.bin";
    const auto bytes = Pattern(100000);
    File out = File::OpenOutput(source);
    out.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
    out.Close();
    for (const bool split : {true, false}) {
        FakeForm form;
        form.split = split;
        form.open = split ? source : folder + "\\s.m00";
        form.save = split ? folder + "\\s" : folder + "\\joined.bin";
        form.exact_selected = true;
        form.exact = "30000";
        RecordingDisplay display;
        ScriptedMessageBox box{kAnswerOk, kAnswerOk};
        EXPECT_TRUE(GoWithForm(form, display, box)) << split;
    }
    File in = File::OpenForReading(folder + "\\joined.bin");
    std::vector<uint8_t> joined(bytes.size());
    in.Read(joined.data(), static_cast<int32_t>(joined.size()));
    in.Close();
    EXPECT_EQ(joined, bytes);
    // The test's own clearing up cannot reach so deep: the files and folders go here.
    while (folder.size() > dir.path().size()) {
        for (const std::string& name : NamesIn(folder)) {
            DeleteFile(folder + "\\" + name);
        }
        EXPECT_TRUE(RemoveDirectoryW(SystemPath(folder).c_str()));
        folder = FolderOf(folder);
    }
}

// Windows hides no file for its leading dot: the files an operation keeps beside its results
// carry the hidden attribute, and the results, once in their places, do not.
Fault NoteHidden(FileOp op, const std::string& path, int64_t, int32_t, void* context) {
    if (op == FileOp::Rename) {
        for (const auto& entry : fs::directory_iterator(fs::u8path(FolderOf(path)))) {
            const std::string name = entry.path().filename().u8string();
            const DWORD attributes = GetFileAttributesW(entry.path().wstring().c_str());
            (*static_cast<std::map<std::string, bool>*>(context))[name] =
                attributes & FILE_ATTRIBUTE_HIDDEN;
        }
    }
    return Fault::kNone;
}

TEST(WindowsFiles, FilesOfOursAreHiddenAndResultsAreNot) {
    TempDir dir;
    WriteBytes(dir / "src.bin", Pattern(100000));
    std::map<std::string, bool> hidden;
    SetFileFaultHook(NoteHidden, &hidden);
    FakeForm form;
    form.open = dir / "src.bin";
    form.save = dir / "s";
    form.exact_selected = true;
    form.exact = "30000";
    RecordingDisplay display;
    ScriptedMessageBox box{kAnswerOk};
    EXPECT_TRUE(GoWithForm(form, display, box));
    SetFileFaultHook(nullptr, nullptr);
    int ours = 0;
    for (const auto& [name, seen_hidden] : hidden) {
        EXPECT_EQ(seen_hidden, name[0] == '.') << name;
        ours += name[0] == '.' ? 1 : 0;
    }
    EXPECT_GE(ours, 4) << "the pieces' temporaries and the journal";
    for (const auto& entry : fs::directory_iterator(fs::u8path(dir.path()))) {
        EXPECT_FALSE(GetFileAttributesW(entry.path().wstring().c_str()) & FILE_ATTRIBUTE_HIDDEN)
            << entry.path().filename().u8string();
    }
}

}  // namespace
}  // namespace tessarel
