// Bad input and real faults, through the Go command and the engine as the window runs them.
// For each case: the messages, whether the operation was done, and every file of the folder
// afterwards. Nothing may change but the destination and the series names the program announced.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>

#include "control/commands.h"
#include "engine/piece_series.h"
#include "platform/file.h"
#include "support/fake_form.h"
#include "support/recording_display.h"
#include "support/refuse_access.h"
#include "support/scripted_message_box.h"
#include "support/series.h"
#include "support/temp_dir.h"
#include "support/tiny_disk.h"

namespace tessarel {
namespace {

namespace fs = std::filesystem;

using Form = FakeForm;

// What a folder holds: each entry's bytes, or what a link points at, or that it is a folder.
using Snapshot = std::map<std::string, std::string>;

Snapshot Take(const std::string& dir) {
    Snapshot snap;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_symlink()) {
            snap[name] = "link to " + fs::read_symlink(entry.path()).string();
        } else if (entry.is_directory()) {
            snap[name] = "folder";
        } else if (entry.is_regular_file() && entry.file_size() > (1u << 20)) {
            // Big (sparse) files are known by their length and time of change.
            snap[name] = "size " + std::to_string(entry.file_size()) + " changed " +
                         std::to_string(entry.last_write_time().time_since_epoch().count());
        } else if (entry.is_regular_file()) {
            const auto bytes = ReadBytes(entry.path().string());
            snap[name] = std::string(bytes.begin(), bytes.end());
        } else {
            snap[name] = "special";
        }
    }
    return snap;
}

class FaultSuite : public testing::Test {
  protected:
    // Runs Go; returns the names that were created, changed or deleted.
    std::set<std::string> Go() {
        const Snapshot before = Take(dir.path());
        GoWithForm(form, display, box);
        const Snapshot after = Take(dir.path());
        std::set<std::string> touched;
        for (const auto& [name, content] : before) {
            const auto now = after.find(name);
            if (now == after.end() || now->second != content) {
                touched.insert(name);
            }
        }
        for (const auto& [name, content] : after) {
            if (!before.count(name)) {
                touched.insert(name);
            }
        }
        EXPECT_TRUE(display.Idle());
        EXPECT_EQ(box.Unanswered(), 0u);
        return touched;
    }
    std::vector<std::string> Prompts() const {
        std::vector<std::string> prompts;
        for (const ShownMessage& m : box.shown) {
            prompts.push_back(m.prompt);
        }
        return prompts;
    }
    void SplitRequest(const std::string& source, const std::string& dest, int64_t size) {
        form.split = true;
        form.open = source;
        form.save = dest;
        form.exact_selected = true;
        form.exact = std::to_string(size);
    }
    void JoinRequest(const std::string& first, const std::string& dest) {
        form.split = false;
        form.open = first;
        form.save = dest;
    }
    // Names of the series with the given base, pieces 1 to count.
    static std::set<std::string> SeriesNames(const std::string& base, int count) {
        std::set<std::string> names;
        for (int n = 1; n <= count; ++n) {
            names.insert(fs::path(PieceName(base, n)).filename().string());
        }
        return names;
    }

    TempDir dir;
    std::vector<uint8_t> file_ = Pattern(1000, 3);
    Form form;
    RecordingDisplay display;
    ScriptedMessageBox box;
};

const char kConfirm11[] = " Will split into  11 files.";
const char kDiskFull[] = "Disk is full. Continue?";
const char kPastEnd[] =
    "This file has a nonstandard end-of-file marker, or an attempt was made to read beyond the "
    "end-of-file marker.";

// A real disk that fills (a small file system of its own) while the pieces are written. The split
// first says the disk looks too small: Cancel ends it there; OK goes on, and at the full disk
// the split asks again, and given up it leaves the disk as it was.
TEST_F(FaultSuite, SplitOntoAFullDiskIsForetoldAndLeavesTheDiskAsItWas) {
    TinyDisk disk(64);
    if (!disk.mounted()) {
        GTEST_SKIP() << "needs root to mount a small file system";
    }
    WriteBytes(dir / "src.bin", Pattern(100000));
    WriteBytes(disk / "keep", {1, 2, 3});
    const std::string low_room =
        "The disk that is to hold s.m00 has 61440 bytes free, and the pieces need 102220 bytes."
        "\r\n\r\nChoose OK once there is room enough, or Cancel to stop.";
    for (const std::vector<MsgAnswer>& answers :
         {std::vector<MsgAnswer>{kAnswerCancel}, std::vector<MsgAnswer>{kAnswerOk, kAnswerNo},
          std::vector<MsgAnswer>{kAnswerOk, kAnswerYes, kAnswerNo}}) {
        box = ScriptedMessageBox{kAnswerOk};
        for (MsgAnswer a : answers) {
            box.Answer(a);
        }
        std::vector<std::string> expected = {kConfirm11, low_room};
        if (answers.size() > 1) {
            expected.insert(expected.end(), answers.size() - 1, kDiskFull);
            expected.push_back(kFailedMessage);
            box.Answer(kAnswerOk);
        }
        SplitRequest(dir / "src.bin", disk / "s", 10000);
        const Snapshot before = Take(disk.path());
        EXPECT_TRUE(Go().empty());
        EXPECT_EQ(Prompts(), expected);
        EXPECT_EQ(Take(disk.path()), before) << "no piece and no temporary file is left";
    }
}

// The output cannot grow past 500 bytes: the kernel refuses the rest of the write (EFBIG), as a
// FAT disk refuses a file past 4 GiB. Said once, never retried, and the old file stays.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        handler_ = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, handler_);
    }

  private:
    struct rlimit old_ {};
    void (*handler_)(int) = nullptr;
};

TEST_F(FaultSuite, JoinPastTheLargestFileADiskKeepsIsSaidOnceAndKeepsTheOldFile) {
    WriteSeries(dir / "s", Pattern(1000), 100);
    WriteBytes(dir / "out.bin", Pattern(5500, 7));
    // The confirmation, the replacing, the message.
    box = ScriptedMessageBox{kAnswerOk, kAnswerOk, kAnswerOk, kAnswerOk};
    JoinRequest(dir / "s.m00", dir / "out.bin");
    std::set<std::string> touched;
    {
        FileSizeLimit limit(500);
        touched = Go();
    }
    EXPECT_EQ(Prompts(),
              (std::vector<std::string>{
                  " Will need  11 files to join.", OverwritePrompt("out.bin"),
                  "The file out.bin cannot grow any larger on this disk, so it was not "
                  "kept. Choose a smaller piece size, or a disk that keeps larger files.",
                  kFailedMessage}));
    EXPECT_TRUE(touched.empty()) << "the old file is as it was, and nothing else is left";
}

TEST_F(FaultSuite, DestinationFolderMissing) {
    WriteBytes(dir / "src.bin", Pattern(1000));
    box = ScriptedMessageBox{kAnswerOk, kAnswerOk};
    SplitRequest(dir / "src.bin", dir / "missing/s", 100);
    EXPECT_TRUE(Go().empty());
    EXPECT_EQ(Prompts(), (std::vector<std::string>{kConfirm11, "That path doesn't exist."}));
}

TEST_F(FaultSuite, DestinationFolderReadOnly) {
    WriteBytes(dir / "src.bin", Pattern(1000));
    fs::create_directory(dir / "ro");
    RefuseAccess refused(RefuseAccess::kWritingIn, dir / "ro");
    box = ScriptedMessageBox{kAnswerOk, kAnswerOk};
    SplitRequest(dir / "src.bin", dir / "ro/s", 100);
    EXPECT_TRUE(Go().empty());
    EXPECT_EQ(Prompts(),
              (std::vector<std::string>{
                  kConfirm11, "Error #  75\rPath/File access error (Permission denied)"}));
}

TEST_F(FaultSuite, SourcesThatAreNotOrdinaryFilesWithData) {
    fs::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    WriteBytes(dir / "empty", {});
    const std::string too_big =
        "The size you have specified to split is larger than or equal to file size.";
    const std::string not_file =
        " is a device, a pipe or a socket, not a file: only a file can be "
        "split. Choose a file to split.";
    const std::pair<std::string, std::string> cases[] = {
        {dir / "folder",
         "folder is a folder, not a file: only a file can be split. Choose a file to split."},
        {dir / "fifo", "fifo" + not_file},
        {"/dev/zero", "zero" + not_file},
        {dir / "empty", too_big},
    };
    for (const auto& [source, message] : cases) {
        box = ScriptedMessageBox{kAnswerOk};
        SplitRequest(source, dir / "s", 100);
        EXPECT_TRUE(Go().empty()) << source;
        EXPECT_EQ(Prompts(), std::vector<std::string>{message}) << source;
    }
}

TEST_F(FaultSuite, AnUnreadableSourceIsReportedBeforeAnythingIsWritten) {
    WriteBytes(dir / "src.bin", Pattern(1000));
    RefuseAccess refused(RefuseAccess::kReading, dir / "src.bin");
    box = ScriptedMessageBox{kAnswerOk, kAnswerOk};
    SplitRequest(dir / "src.bin", dir / "s", 100);
    EXPECT_TRUE(Go().empty());
    EXPECT_EQ(Prompts(),
              (std::vector<std::string>{
                  kConfirm11, "Error #  75\rPath/File access error (Permission denied)"}));
}

// Cuts the source short once the split has read past 280 bytes of it.
Fault ShrinkSource(FileOp op, const std::string& path, int64_t position, int32_t, void* context) {
    const auto* source = static_cast<const std::string*>(context);
    if (op == FileOp::Read && path == *source && position >= 280 && fs::file_size(path) > 330) {
        fs::resize_file(path, 330);
    }
    return Fault::kNone;
}

TEST_F(FaultSuite, ASourceThatShrinksWhileItIsSplit) {
    const std::string source = dir / "src.bin";
    WriteBytes(source, Pattern(1000));
    box = ScriptedMessageBox{kAnswerOk, kAnswerOk, kAnswerOk};
    SplitRequest(source, dir / "s", 100);
    SetFileFaultHook(ShrinkSource, const_cast<std::string*>(&source));
    const auto touched = Go();
    SetFileFaultHook(nullptr, nullptr);
    EXPECT_EQ(Prompts(), (std::vector<std::string>{kConfirm11, kPastEnd, kFailedMessage}));
    EXPECT_EQ(touched, std::set<std::string>{"src.bin"}) << "no piece of it is kept";
}

// Files past 2 and 4 GiB split like any other, up to what a header's ten digits can say.
TEST_F(FaultSuite, SourcesOfEverySizeArePlannedAroundTheHeadersLimit) {
    // Sparse files: their length costs no disk.
    auto sparse = [&](const std::string& name, int64_t length) {
        WriteBytes(dir / name, {});
        fs::resize_file(dir / name, static_cast<uintmax_t>(length));
        return dir / name;
    };
    for (const int64_t length : {int64_t{2147483647} - 20, int64_t{1} << 32, kMaxSourceLength,
                                 kMaxSourceLength + 1, int64_t{1} << 40}) {
        SCOPED_TRACE(length);
        const std::string source = sparse("big", length);
        // The smallest piece size that keeps to 100 pieces, and one byte less.
        const int64_t piece = (length + HeaderLengthFor(length) + 99) / 100;
        box = ScriptedMessageBox{kAnswerCancel};
        SplitRequest(source, dir / "s", piece);
        EXPECT_TRUE(Go().empty());
        EXPECT_EQ(Prompts(), std::vector<std::string>{" Will split into  100 files."});
        box = ScriptedMessageBox{kAnswerOk};
        SplitRequest(source, dir / "s", piece - 1);
        EXPECT_TRUE(Go().empty());
        EXPECT_EQ(Prompts(), std::vector<std::string>{TooManyPiecesMessage(piece)});
        fs::remove(source);
    }
}

class DamagedSeries : public FaultSuite {
  protected:
    void SetUp() override { WriteSeries(dir / "s", file, 100); }
    // Joins s.m00 into out.bin answering every message with OK.
    std::set<std::string> Join(size_t messages) {
        box = ScriptedMessageBox{};
        for (size_t i = 0; i < messages; ++i) {
            box.Answer(kAnswerOk);
        }
        JoinRequest(dir / "s.m00", dir / "out.bin");
        return Go();
    }
    std::vector<uint8_t> file = Pattern(1000);
};

// A damaged series is refused before anything is written: the folder, an existing file to be
// replaced included, stays exactly as it was, and the message names the piece.
TEST_F(DamagedSeries, AMissingShortOrStrangePieceIsNamedAndNothingChanges) {
    WriteBytes(dir / "out.bin", Pattern(5500, 7));
    fs::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    struct Case {
        const char* piece;
        std::function<void(const fs::path&)> damage;
        std::string message;
    };
    const Case cases[] = {
        {"s.m01", [](const fs::path& p) { fs::remove(p); }, "The piece s.m01 is missing."},
        {"s.m05", [](const fs::path& p) { fs::remove(p); }, "The piece s.m05 is missing."},
        {"s.m10", [](const fs::path& p) { fs::remove(p); }, "The piece s.m10 is missing."},
        {"s.m04", [](const fs::path& p) { fs::resize_file(p, 60); },
         "The piece s.m04 is 40 bytes short."},
        {"s.m10", [](const fs::path& p) { fs::resize_file(p, 19); },
         "The piece s.m10 is 1 byte short."},
        {"s.m03",
         [&](const fs::path& p) {
             fs::remove(p);
             fs::create_directory_symlink(dir / "folder", p);
         },
         "The piece s.m03 is not an ordinary file."},
        {"s.m03",
         [&](const fs::path& p) {
             fs::remove(p);
             fs::create_symlink(dir / "fifo", p);
         },
         "The piece s.m03 is not an ordinary file."},
        {"s.m03",
         [&](const fs::path& p) {
             fs::remove(p);
             fs::create_symlink("/dev/zero", p);
         },
         "The piece s.m03 is not an ordinary file."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const auto kept = ReadBytes(dir / c.piece);
        c.damage(dir / c.piece);
        EXPECT_TRUE(Join(1).empty());
        EXPECT_EQ(Prompts(), std::vector<std::string>{c.message});
        ASSERT_EQ(box.shown.size(), 1u);
        EXPECT_EQ(box.shown[0].style, kStyleWarning);
        EXPECT_EQ(box.shown[0].title, "ERROR!");
        fs::remove(dir / c.piece);
        WriteBytes(dir / c.piece, kept);
    }
}

TEST_F(DamagedSeries, ALongerPieceIsTheUsersChoice) {
    WriteBytes(dir / "out.bin", Pattern(5500, 7));
    fs::resize_file(dir / "s.m04", 105);
    fs::resize_file(dir / "s.m10", 21);
    const std::string question =
        "The piece s.m04 is 5 bytes longer than its series says; those bytes will be left "
        "out.\r\n"
        "The piece s.m10 is 1 byte longer than its series says; those bytes will be left "
        "out.\r\n"
        "\r\n"
        "Choose OK to join without them, Cancel to stop.";

    box = ScriptedMessageBox{kAnswerCancel};
    JoinRequest(dir / "s.m00", dir / "out.bin");
    EXPECT_TRUE(Go().empty());
    EXPECT_EQ(Prompts(), std::vector<std::string>{question});
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].style, kStyleWarningOkCancel);
    EXPECT_EQ(box.shown[0].title, "File Message");

    // OK joins with the planned bytes, as if the pieces had their planned length.
    EXPECT_EQ(Join(3), std::set<std::string>{"out.bin"});
    ASSERT_EQ(Prompts().size(), 3u);
    EXPECT_EQ(Prompts()[0], question);
    EXPECT_EQ(Prompts()[1], " Will need  11 files to join.");
    EXPECT_EQ(ReadBytes(dir / "out.bin"), file);
}

TEST_F(DamagedSeries, AStrayPieceBeyondTheCountIsLeftAlone) {
    WriteBytes(dir / "s.m11", Pattern(77, 9));
    EXPECT_EQ(Join(1), std::set<std::string>{"out.bin"});
    EXPECT_EQ(ReadBytes(dir / "out.bin"), file);
    EXPECT_EQ(ReadBytes(dir / "s.m11"), Pattern(77, 9));
}

TEST_F(DamagedSeries, APieceOfAnotherSeriesWithOtherSizesIsRefused) {
    WriteSeries(dir / "t", Pattern(1000, 5), 80);
    fs::copy_file(dir / "t.m05", dir / "s.m05", fs::copy_options::overwrite_existing);
    EXPECT_TRUE(Join(1).empty());
    EXPECT_EQ(Prompts(), std::vector<std::string>{"The piece s.m05 is 20 bytes short."});
}

TEST_F(DamagedSeries, LengthFieldsOfEveryShape) {
    struct Case {
        std::string field;
        std::vector<std::string> messages;  // after the first, which depends on the case
        bool joined;
    };
    // Ten decimal digits, or the file is not a first piece of ours.
    const Case cases[] = {
        {"0000001000", {" Will need  11 files to join."}, true},
        {"00000ABCDE", {kNotRecognisedMessage}, false},
        {"+000001000", {kNotRecognisedMessage}, false},
        {"      1000", {kNotRecognisedMessage}, false},
        {"1000      ", {kNotRecognisedMessage}, false},
        {"-000001000", {kNotRecognisedMessage}, false},
        {"9999999999", {kNotRecognisedMessage}, false},
        {"0000000000", {kNotRecognisedMessage}, false},
        {"   \t     ", {kNotRecognisedMessage}, false},
        {"1.5E3     ", {kNotRecognisedMessage}, false},
    };
    auto first = ReadBytes(dir / "s.m00");
    for (const Case& c : cases) {
        std::vector<uint8_t> piece = first;
        std::string field = c.field;
        field.resize(10, ' ');
        std::copy(field.begin(), field.end(), piece.begin() + 10);
        WriteBytes(dir / "s.m00", piece);
        const auto touched = Join(1);
        EXPECT_EQ(Prompts(), c.messages) << c.field;
        if (c.joined) {
            EXPECT_EQ(ReadBytes(dir / "out.bin"), file) << c.field;
            fs::remove(dir / "out.bin");
        } else {
            EXPECT_TRUE(touched.empty()) << c.field;
        }
    }
}

// A piece that shrinks after the check is still caught by the join itself.
Fault ShrinkPiece(FileOp op, const std::string& path, int64_t, int32_t, void* context) {
    const auto* piece = static_cast<const std::string*>(context);
    if (op == FileOp::OpenRead && path == *piece) {
        fs::resize_file(path, 50);
    }
    return Fault::kNone;
}

TEST_F(DamagedSeries, APieceThatShrinksDuringTheJoinStopsIt) {
    const std::string piece = dir / "s.m06";
    SetFileFaultHook(ShrinkPiece, const_cast<std::string*>(&piece));
    Join(3);
    SetFileFaultHook(nullptr, nullptr);
    EXPECT_EQ(Prompts(), (std::vector<std::string>{" Will need  11 files to join.", kPastEnd,
                                                   kFailedMessage}));
}

// Fails the first flush of one file with an errno, as a disk reports a lost write once; a
// failed flush must never become a success.
struct FlushFault {
    std::string name;  // the file's name, or the name its temporary file is made from
    Fault fault;
    int times = 1;
};
Fault FailFlush(FileOp op, const std::string& path, int64_t, int32_t, void* context) {
    auto* fault = static_cast<FlushFault*>(context);
    const std::string name = fs::path(path).filename().string();
    if (op == FileOp::Sync && (name == fault->name || name.rfind("." + fault->name, 0) == 0) &&
        fault->times > 0) {
        --fault->times;
        return fault->fault;
    }
    return Fault::kNone;
}

TEST_F(FaultSuite, AFailedFlushIsADiskErrorAndNeverASuccess) {
    WriteBytes(dir / "src.bin", Pattern(1000));
    FlushFault fault{"s.m02", Fault::kDeviceIo};
    SetFileFaultHook(FailFlush, &fault);
    box = ScriptedMessageBox{kAnswerOk, kAnswerOk, kAnswerOk};
    SplitRequest(dir / "src.bin", dir / "s", 100);
    Go();
    EXPECT_EQ(Prompts(),
              (std::vector<std::string>{kConfirm11, "Internal disk error.", kFailedMessage}));

    // Asked to try again, the flush fails again: the data it lost cannot be vouched for.
    fault = {"out.bin", Fault::kDiskFull};
    box = ScriptedMessageBox{kAnswerOk, kAnswerYes, kAnswerNo, kAnswerOk};
    JoinRequest(dir / "s.m00", dir / "out.bin");
    WriteSeries(dir / "s", Pattern(1000), 100);
    Go();
    SetFileFaultHook(nullptr, nullptr);
    EXPECT_EQ(Prompts(), (std::vector<std::string>{" Will need  11 files to join.", kDiskFull,
                                                   kDiskFull, kFailedMessage}));
}

// Every file written is flushed after its last write, and the operation says it is done only
// after every flush, the folder's last.
struct CallLog {
    std::vector<std::string> calls;
};
Fault LogCalls(FileOp op, const std::string& path, int64_t, int32_t, void* context) {
    static const char* const names[] = {"read",  "write",  "open-read", "open-write",
                                        "flush", "rename", "delete"};
    static_cast<CallLog*>(context)->calls.push_back(names[static_cast<int>(op)] + (" " + path));
    return Fault::kNone;
}
class LoggingDisplay : public RecordingDisplay {
  public:
    explicit LoggingDisplay(CallLog& log) : log_(log) {}
    void SetProgress(float percent) override {
        if (percent == 100) {
            log_.calls.push_back("done");
        }
        RecordingDisplay::SetProgress(percent);
    }

  private:
    CallLog& log_;
};

// What is written goes under a temporary name (a join's output, a split's first piece) or its
// own (later pieces); each is flushed after its last write, a temporary one is renamed into
// place only after that, and the operation is done only after the folder is flushed too.
TEST_F(FaultSuite, WhatIsWrittenIsFlushedBeforeTheOperationIsDone) {
    WriteBytes(dir / "src.bin", Pattern(1000));
    for (bool split : {true, false}) {
        SCOPED_TRACE(split ? "split" : "join");
        CallLog log;
        LoggingDisplay logging(log);
        SetFileFaultHook(LogCalls, &log);
        box = ScriptedMessageBox{kAnswerOk};
        if (split) {
            SplitRequest(dir / "src.bin", dir / "s", 300);
        } else {
            JoinRequest(dir / "s.m00", dir / "back");
        }
        GoWithForm(form, logging, box);
        SetFileFaultHook(nullptr, nullptr);
        auto last = [&](const std::string& call) {
            const auto at = std::find(log.calls.rbegin(), log.calls.rend(), call);
            return at == log.calls.rend() ? -1 : int(log.calls.rend() - at) - 1;
        };
        const int done = last("done");
        ASSERT_GE(done, 0) << "the operation did not finish";
        const int folder = last("flush " + dir.path());
        EXPECT_LT(folder, done);
        const std::string result = split ? dir / "s.m00" : dir / "back";
        const int renamed = last("rename " + result);
        EXPECT_GE(renamed, 0) << "the result was not put in place by a rename";
        EXPECT_LT(renamed, folder) << "the folder was not flushed after the rename";
        std::set<std::string> written;
        for (const std::string& call : log.calls) {
            // The commit's journal is flushed before any rename, and is not a result.
            if (call.rfind("write ", 0) == 0 && call.find("journal") == std::string::npos) {
                written.insert(call.substr(6));
            }
        }
        EXPECT_EQ(written.size(), split ? 5u : 1u) << "a split writes its checksum list too";
        for (const std::string& file : written) {
            EXPECT_LT(last("write " + file), last("flush " + file)) << file;
            EXPECT_LT(last("flush " + file), renamed) << file;
        }
    }
    EXPECT_EQ(ReadBytes(dir / "back"), Pattern(1000));
}

TEST_F(FaultSuite, ASplitOntoANamedPipeDoesNotWaitForAReader) {
    WriteBytes(dir / "src.bin", Pattern(1000));
    ASSERT_EQ(::mkfifo((dir / "s.m02").c_str(), 0600), 0);
    box = ScriptedMessageBox{kAnswerOk};
    SplitRequest(dir / "src.bin", dir / "s", 100);
    EXPECT_TRUE(Go().empty());
    EXPECT_EQ(Prompts(), std::vector<std::string>{
                             "The name s.m02 is taken by a device, a pipe or a socket, and only "
                             "ordinary files are replaced. Choose another name to save."});
}

TEST_F(FaultSuite, FirstPiecesTooShortToBeOne) {
    const std::string header = "KESTRAVOLN0000000001";
    const std::vector<std::vector<uint8_t>> pieces = {
        {},
        std::vector<uint8_t>(header.begin(), header.begin() + 10),
        std::vector<uint8_t>(header.begin(), header.end()),
        [&] {
            std::vector<uint8_t> p(header.begin(), header.end());
            p.push_back('x');  // 21 bytes that claim a file of 1: the whole stream in one piece
            return p;
        }()};
    for (const auto& piece : pieces) {
        WriteBytes(dir / "p.m00", piece);
        box = ScriptedMessageBox{kAnswerOk};
        JoinRequest(dir / "p.m00", dir / "out");
        EXPECT_TRUE(Go().empty()) << piece.size();
        EXPECT_EQ(Prompts(), std::vector<std::string>{kNotRecognisedMessage}) << piece.size();
    }
    // 21 bytes that claim a file of 2 are the first of two pieces.
    const std::string two = "KESTRAVOLN0000000002x";
    WriteBytes(dir / "p.m00", std::vector<uint8_t>(two.begin(), two.end()));
    WriteBytes(dir / "p.m01", {'y'});
    box = ScriptedMessageBox{kAnswerOk};
    JoinRequest(dir / "p.m00", dir / "out");
    EXPECT_EQ(Go(), std::set<std::string>{"out"});
    EXPECT_EQ(ReadBytes(dir / "out"), (std::vector<uint8_t>{'x', 'y'}));
}

TEST_F(FaultSuite, NamesOfEveryKindRoundTrip) {
    const std::string names[] = {
        "with spaces in it",  "quote's \"double\"", "-leading-dash", "--",
        "Ελληνικά и русский", "日本語の名前",       "עברית ملف",     std::string(251, 'n'),
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string source =
            dir / (name.size() > 200 ? std::string(255, 's') : name + ".src");
        WriteBytes(source, file_);
        box = ScriptedMessageBox{kAnswerOk};
        SplitRequest(source, dir / name, 300);
        std::set<std::string> written = SeriesNames(dir / name, 4);
        if (name.size() + 7 <= 255) {  // no room for the list's name beside the longest name
            written.insert(fs::path(dir / name + ".sha256").filename().string());
        }
        EXPECT_EQ(Go(), written);
        EXPECT_EQ(form.save, dir / name + ".m00");
        box = ScriptedMessageBox{kAnswerOk};
        JoinRequest(dir / name + ".m00", dir / "back");
        EXPECT_EQ(Go(), std::set<std::string>{"back"});
        EXPECT_EQ(ReadBytes(dir / "back"), file_);
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            fs::remove(entry.path());
        }
    }
}

TEST_F(FaultSuite, PieceNamesBeyondTheFileSystemsLimitAreIllegal) {
    WriteBytes(dir / "src", file_);
    box = ScriptedMessageBox{kAnswerOk};
    SplitRequest(dir / "src", dir / std::string(252, 'n'), 300);  // 252 + ".m00" = 256 bytes
    EXPECT_TRUE(Go().empty());
    EXPECT_EQ(Prompts(), std::vector<std::string>{"That filename is illegal."});
}

// A re-split onto an older series of the same length that stops part-way (a later piece that
// cannot be written) must not leave a series that passes as either: the old first piece went
// before any new piece was written, and the new one is never put in place.
// Fails every write of one file (or of the temporary file it is written under) as a device
// that no longer answers.
Fault FailWritesOf(FileOp op, const std::string& path, int64_t, int32_t, void* context) {
    const auto* name = static_cast<const std::string*>(context);
    return op == FileOp::Write && IsFileOrItsTemporary(path, *name) ? Fault::kDeviceIo
                                                                    : Fault::kNone;
}

// A re-split onto an older series of the same length that stops part-way leaves the older
// series exactly as it was: nothing of the new one takes a name before all of it is written.
TEST_F(FaultSuite, AReSplitThatStopsPartWayLeavesTheOlderSeriesAsItWas) {
    WriteBytes(dir / "new.bin", Pattern(500, 2));
    WriteSeries(dir / "doc", Pattern(500, 1), 100);  // six pieces
    const Snapshot before = Take(dir.path());
    const std::string third = dir / "doc.m02";
    SetFileFaultHook(FailWritesOf, const_cast<std::string*>(&third));
    box = ScriptedMessageBox{kAnswerOk, kAnswerOk, kAnswerOk, kAnswerOk};
    SplitRequest(dir / "new.bin", dir / "doc", 100);
    Go();
    SetFileFaultHook(nullptr, nullptr);
    EXPECT_EQ(Prompts(),
              (std::vector<std::string>{" Will split into  6 files.", OverwritePrompt("doc.m00", 5),
                                        "Internal disk error.", kFailedMessage}))
        << "every piece to replace is counted";
    EXPECT_EQ(Take(dir.path()), before);
}

// Later pieces of that name are replaced only when the user agreed, the first of them named.
TEST_F(FaultSuite, ASplitAsksBeforeItReplacesALaterPiece) {
    WriteBytes(dir / "src.bin", Pattern(1000));
    WriteBytes(dir / "notes.m01", {'n', 'o', 't', 'e', 's'});
    box = ScriptedMessageBox{kAnswerOk, kAnswerCancel, kAnswerOk};
    SplitRequest(dir / "src.bin", dir / "notes", 100);
    EXPECT_TRUE(Go().empty());
    EXPECT_EQ(Prompts(),
              (std::vector<std::string>{kConfirm11, OverwritePrompt("notes.m01"), kFailedMessage}));
}

// Appends to the source once the split has read past 900 bytes of it.
Fault GrowSource(FileOp op, const std::string& path, int64_t position, int32_t, void* context) {
    const auto* source = static_cast<const std::string*>(context);
    if (op == FileOp::Read && path == *source && position >= 900 && fs::file_size(path) == 1000) {
        std::ofstream(path, std::ios::app) << "more";
    }
    return Fault::kNone;
}

TEST_F(FaultSuite, ASourceThatGrowsWhileItIsSplitFailsTheSplit) {
    const std::string source = dir / "src.bin";
    WriteBytes(source, Pattern(1000));
    box = ScriptedMessageBox{kAnswerOk, kAnswerOk, kAnswerOk};
    SplitRequest(source, dir / "s", 100);
    SetFileFaultHook(GrowSource, const_cast<std::string*>(&source));
    const auto touched = Go();
    SetFileFaultHook(nullptr, nullptr);
    EXPECT_EQ(Prompts(), (std::vector<std::string>{
                             kConfirm11,
                             "The file src.bin changed while it was being split, so its pieces "
                             "were not kept. Split it again once nothing writes to it.",
                             kFailedMessage}));
    EXPECT_EQ(touched, std::set<std::string>{"src.bin"}) << "no first piece was put in place";
}

// A series as FAT or ISO 9660 media show it, in capitals, joins and checks by its own names.
TEST_F(FaultSuite, ASeriesInCapitalsFollowsItsFirstPiecesLetterCase) {
    const auto pieces = ExpectedPieces(Pattern(1000), 300);
    for (size_t n = 0; n < pieces.size(); ++n) {
        WriteBytes(PieceName(dir / "FILE", int64_t(n) + 1, 'M'), pieces[n]);
    }
    box = ScriptedMessageBox{kAnswerOk};
    JoinRequest(dir / "FILE.M00", dir / "back");
    EXPECT_EQ(Go(), std::set<std::string>{"back"});
    EXPECT_EQ(ReadBytes(dir / "back"), Pattern(1000));
    ScriptedMessageBox silent;
    const auto checked = CheckFirstPiece(dir / "FILE.M00", display, silent);
    ASSERT_TRUE(checked.has_value());
    EXPECT_EQ(checked->pieces.back().name, dir / "FILE.M03");
    EXPECT_EQ(checked->pieces.back().state, PieceState::kGood);
}

// A series split with its checksum list: every kind of damage is named and stops the join with
// nothing changed; a list that cannot be used is asked about.
class ListedSeries : public FaultSuite {
  protected:
    void SetUp() override {
        WriteBytes(dir / "src.bin", file);
        box = ScriptedMessageBox{kAnswerOk};
        SplitRequest(dir / "src.bin", dir / "s", 300);
        Go();
        fs::remove(dir / "src.bin");
        WriteBytes(dir / "out.bin", Pattern(77, 7));  // to be replaced
    }
    std::set<std::string> Join(std::initializer_list<MsgAnswer> answers) {
        box = ScriptedMessageBox(answers);
        JoinRequest(dir / "s.m00", dir / "out.bin");
        return Go();
    }
    std::string ListText() const {
        const auto bytes = ReadBytes(dir / "s.sha256");
        return std::string(bytes.begin(), bytes.end());
    }
    void SetList(const std::string& text) {
        WriteBytes(dir / "s.sha256", std::vector<uint8_t>(text.begin(), text.end()));
    }
    std::vector<uint8_t> file = Pattern(1000, 3);
};

TEST_F(ListedSeries, EveryDamageIsNamedAndNothingChanges) {
    const std::string damaged =
        " is damaged: its contents differ from when it was split. Replace it and join again.";
    struct Case {
        const char* what;
        std::function<void()> damage;
        std::string message;
    };
    const Case cases[] = {
        {"a flipped byte",
         [&] {
             auto piece = ReadBytes(dir / "s.m02");
             piece[150] ^= 1;
             WriteBytes(dir / "s.m02", piece);
         },
         "The piece s.m02" + damaged},
        {"two pieces of equal length swapped",
         [&] {
             fs::rename(dir / "s.m01", dir / "t");
             fs::rename(dir / "s.m02", dir / "s.m01");
             fs::rename(dir / "t", dir / "s.m02");
         },
         "The piece s.m01" + damaged},
        {"a damaged piece, and a list of the whole file alone",
         [&] {
             std::string text = ListText();
             SetList(text.substr(text.rfind('\n', text.size() - 2) + 1));
             auto piece = ReadBytes(dir / "s.m01");
             piece[7] ^= 1;
             WriteBytes(dir / "s.m01", piece);
         },
         "The joined file differs from its line in s.sha256: a piece is damaged, or the list is "
         "of another file. Nothing was kept."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Snapshot before = Take(dir.path());
        c.damage();
        const Snapshot damaged_state = Take(dir.path());
        EXPECT_TRUE(Join({kAnswerOk, kAnswerOk, kAnswerOk, kAnswerOk}).empty());
        EXPECT_EQ(Prompts(), (std::vector<std::string>{" Will need  4 files to join.",
                                                       OverwritePrompt("out.bin"), c.message,
                                                       kFailedMessage}));
        EXPECT_EQ(Take(dir.path()), damaged_state);
        for (const auto& [name, content] : before) {
            WriteBytes(dir / name, std::vector<uint8_t>(content.begin(), content.end()));
        }
    }
    // Mended, the series joins and passes.
    EXPECT_EQ(Join({kAnswerOk, kAnswerOk}), std::set<std::string>{"out.bin"});
    EXPECT_EQ(ReadBytes(dir / "out.bin"), file);
}

// Opens of files other than the series' own, as the list might trick the program into.
Fault LogOpens(FileOp op, const std::string& path, int64_t, int32_t, void* context) {
    if (op == FileOp::OpenRead) {
        static_cast<std::vector<std::string>*>(context)->push_back(path);
    }
    return Fault::kNone;
}

TEST_F(ListedSeries, AListThatCannotBeUsedIsAskedAboutAndNeverOpensOtherFiles) {
    const std::string lines = ListText();
    const std::string hex(64, 'a');
    struct Case {
        const char* what;
        std::string list;
        std::string reason;  // empty: the list is used
    };
    const Case cases[] = {
        {"bad hex", "zz" + lines.substr(2), "line 1 holds a checksum that is not hexadecimal"},
        {"a line for another file", lines + hex + "  ../etc/passwd\n", ""},
        {"no line for a piece", lines.substr(lines.find('\n') + 1), "it has no line for s.m00"},
        {"huge", std::string(kMaxChecksumListBytes + 1, '\n'),
         "it is too large to be a list of ours"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetList(c.list);
        std::vector<std::string> opened;
        SetFileFaultHook(LogOpens, &opened);
        if (c.reason.empty()) {
            EXPECT_EQ(Join({kAnswerOk, kAnswerOk}), std::set<std::string>{"out.bin"});
        } else {
            // No ends the request; Yes joins without comparing.
            EXPECT_TRUE(Join({kAnswerNo}).empty());
            EXPECT_EQ(Prompts(), std::vector<std::string>{
                                     "The checksum list s.sha256 cannot be used: " + c.reason +
                                     ".\r\n\r\nJoin without comparing the pieces' contents with "
                                     "it?"});
            EXPECT_EQ(Join({kAnswerYes, kAnswerOk, kAnswerOk}), std::set<std::string>{"out.bin"});
        }
        SetFileFaultHook(nullptr, nullptr);
        EXPECT_EQ(ReadBytes(dir / "out.bin"), file);
        for (const std::string& path : opened) {
            EXPECT_EQ(fs::path(path).parent_path(), fs::path(dir.path())) << path;
        }
        WriteBytes(dir / "out.bin", Pattern(77, 7));
    }
}

}  // namespace
}  // namespace tessarel
