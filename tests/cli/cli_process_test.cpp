// The command line as a script or a person uses it: the installed program run as a process,
// with no display, its exit status, what it prints, and what it leaves on disk.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/inotify.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <tuple>

#include "engine/recovery.h"
#include "support/child_process.h"
#include "support/series.h"
#include "support/temp_dir.h"
#include "support/tiny_disk.h"

namespace tessarel {
namespace {

namespace fs = std::filesystem;

class CommandLineProcess : public testing::Test {
  protected:
    using Snapshot = std::set<std::string>;
    // The names in the folder, hidden ones included.
    Snapshot TakeNames() const {
        Snapshot names;
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }
    ChildResult Run(const std::vector<std::string>& args, ChildOptions options = {}) {
        options.folder = dir.path();
        ChildResult result = RunChild(TESSAREL_PROGRAM, args, options);
        EXPECT_FALSE(result.timed_out) << "tessarel did not end within its deadline";
        return result;
    }
    TempDir dir;
};

TEST_F(CommandLineProcess, RoundTripOfANameWithBlanksAndBytesThatAreNoText) {
    const std::string name = "my file \xff\xfe.bin";  // not UTF-8: taken byte for byte
    const auto file = Pattern(300000, 9);
    WriteBytes(dir / name, file);
    ChildResult r = Run({"split", "--kb", "100", name});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, " Will split into  3 files.\n");
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(fs::exists(dir / (name + ".m02")));
    r = Run({"check", name + ".m00"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string listed = " bytes, contents as listed\n";
    EXPECT_EQ(r.out, "./" + name + ".m00: good, 102400" + listed + "./" + name +
                         ".m01: good, 102400" + listed + "./" + name + ".m02: good, 95220" +
                         listed);
    fs::rename(dir / name, dir / "original");
    r = Run({"join", name + ".m00"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(dir / name), file);
}

TEST_F(CommandLineProcess, ANameThatLooksLikeAnOptionAfterTheEndOfOptions) {
    WriteBytes(dir / "-v.bin", Pattern(5000));
    ChildResult r = Run({"split", "--size", "1000", "--", "-v.bin"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir / "-v.bin.m05"));
    r = Run({"split", "--size", "1000", "-v.bin"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "tessarel: unknown option for split: -v.bin\nTry 'tessarel split --help'.\n");
}

// A mistyped command is said in a line, with a display or without; the window without a display
// says so, rather than end in an abort.
TEST_F(CommandLineProcess, AMistypedCommandOrNoDisplayIsAUsageErrorNotAWindow) {
    WriteBytes(dir / "film.mkv", Pattern(100));
    const std::string unknown =
        "tessarel: unknown command 'splt' (split, join, check, repair)\nTry 'tessarel --help'.\n";
    const std::string no_display =
        "tessarel: there is no display to open the window on; for the command line, see "
        "'tessarel --help'.\n";
    const struct {
        std::vector<std::string> args;
        std::string display;
        std::string err;
    } cases[] = {
        {{"splt", "film.mkv"}, "", unknown},
        {{"splt", "film.mkv"}, ":97", unknown},  // no X server there: nothing may try it
        {{"film.mkv"}, "", no_display},
        {{"film.mkv"}, ":97", no_display},  // a display that names no server
    };
    for (const auto& c : cases) {
        ChildOptions options;
        options.display = c.display;
        const ChildResult r = Run(c.args, options);
        EXPECT_EQ(r.status, 2) << c.args[0] << " " << c.display;
        EXPECT_EQ(r.err, c.err);
    }
}

TEST_F(CommandLineProcess, ExitStatusesAndMessagesOfRefusals) {
    WriteBytes(dir / "f.bin", Pattern(10000));
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {{"split", "--size", "20", "f.bin"},
         1,
         "tessarel: Size to split to must be greater than 20.\n"},
        {{"split", "--size", "5", "--pieces", "3", "f.bin"}, 2, ""},
        {{"split", "--size", "100", "missing.bin"}, 1, "tessarel: missing.bin: File Not Found.\n"},
        {{"split", "--size", "9", "f.bin", "/nonexistent/s"},
         1,
         "tessarel: Size to split to must be greater than 20.\n"},
        {{"split", "--pieces", "101", "f.bin"},
         1,
         "tessarel: The number of split files will exceed 100.\nAsk for pieces of at least 101 "
         "bytes, or "
         "the fat32 size.\n"},
        {{"join", "f.bin"}, 1, "tessarel: This file is not recogniseable.\n"},
        {{"split", "-k", "999999999999999999", "f.bin"}, 2, ""},
        {{"split", "-s", "100", "/dev/zero", "z"},
         1,
         "tessarel: zero is a device, a pipe or a socket, not a file: only a file can be split. "
         "Choose a "
         "file to split.\n"},
        {{"split", "-s", "100", "/tmp", "t"},
         1,
         "tessarel: tmp is a folder, not a file: only a file can be split. Choose a file to "
         "split.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        const ChildResult r = Run(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        if (!c.err.empty()) {
            EXPECT_EQ(r.err, c.err);
        }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
        << "a refused command wrote something";
}

TEST_F(CommandLineProcess, ADiskThatIsFullIsAnsweredNoWithoutATerminal) {
    TinyDisk disk(64);
    if (!disk.mounted()) {
        GTEST_SKIP() << "needs root to mount a small file system";
    }
    WriteBytes(dir / "f.bin", Pattern(100000));
    // Told first that the disk looks too small: without a terminal that ends it, unless --yes.
    const ChildResult told = Run({"split", "--size", "10000", "f.bin", disk / "s"});
    EXPECT_EQ(told.status, 1);
    EXPECT_NE(told.err.find("and the pieces need 102220 bytes.\n\nChoose OK once there is room "
                            "enough, or Cancel to stop.\nAnswered Cancel: there is no terminal to "
                            "ask on.\nUse --yes to go on all the same.\n"),
              std::string::npos)
        << told.err;
    EXPECT_TRUE(fs::is_empty(disk.path()));
    const ChildResult r = Run({"split", "--yes", "--size", "10000", "f.bin", disk / "s"});
    EXPECT_EQ(r.status, 1);
    const std::string full = ": Disk is full. Continue?\n";
    EXPECT_EQ(r.err.rfind(" Will split into  11 files.\ntessarel: " + disk.path() + "/s.m0", 0), 0u)
        << r.err;
    EXPECT_NE(r.err.find(full + "Answered No: there is no terminal to ask on.\n"
                                "tessarel: Could Not Perform The Specified Operation.\n"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(fs::is_empty(disk.path()));
}

TEST_F(CommandLineProcess, AMissingPieceIsNamedAndNothingIsWritten) {
    WriteSeries(dir / "s", Pattern(1000), 100);
    fs::remove(dir / "s.m04");
    const ChildResult r = Run({"join", "--yes", "s.m00", "out"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tessarel: The piece s.m04 is missing.\n");
    EXPECT_FALSE(fs::exists(dir / "out"));
}

// A later piece stands for its series (a file manager's verb on any piece): join and check
// work on the series; a name that only looks like a piece is still refused.
TEST_F(CommandLineProcess, ALaterPieceStandsForItsSeries) {
    WriteSeries(dir / "s", Pattern(1000), 100);
    EXPECT_EQ(Run({"join", "--yes", "s.m07", "out"}).status, 0);
    EXPECT_EQ(ReadBytes(dir / "out"), Pattern(1000));
    EXPECT_EQ(Run({"check", "s.m03"}).status, 0);
    WriteBytes(dir / "t.m03", Pattern(10));
    EXPECT_EQ(Run({"check", "t.m03"}).status, 1);
}

// A question is asked only where someone reads and answers it: standard input and standard
// error both terminals. Enter keeps the file.
TEST_F(CommandLineProcess, OnATerminalTheQuestionIsAskedThereAndEnterKeepsTheFile) {
    WriteSeries(dir / "s", Pattern(1000), 100);
    WriteBytes(dir / "out", {7});
    ChildOptions options;
    options.terminal_input = true;
    options.terminal_error = true;
    for (const char* input : {"\n", "cancel\n"}) {
        options.input = input;
        const ChildResult r = Run({"join", "s.m00", "out"}, options);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(
                      "Choose OK to replace file, Cancel to stop.\n[OK/Cancel, Enter for Cancel] "),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(ReadBytes(dir / "out"), std::vector<uint8_t>{7});
    }
    options.input = "ok\n";
    ChildResult r = Run({"join", "s.m00", "out"}, options);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(dir / "out"), Pattern(1000));

    // Standard error sent to a file: the question would be asked where nobody sees it.
    WriteBytes(dir / "out", {7});
    options.terminal_error = false;
    options.input = "ok\n";
    r = Run({"join", "s.m00", "out"}, options);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Answered Cancel: there is no terminal to ask on.\n"), std::string::npos);
    EXPECT_EQ(ReadBytes(dir / "out"), std::vector<uint8_t>{7});
}

// Enter at a question whose Yes gives up a protection keeps it: the file is not joined.
TEST_F(CommandLineProcess, EnterAtAProtectiveQuestionAnswersNo) {
    const auto file = Pattern(3000, 12);
    const std::function<void()> spoil[] = {
        [&] {  // an unusable list: joining would compare nothing
            const auto list = ReadBytes(dir / "f.sha256");
            std::string text(list.begin(), list.end());
            text += std::string(64, '0') + "  f.m01\n";
            WriteBytes(dir / "f.sha256", std::vector<uint8_t>(text.begin(), text.end()));
        },
        [&] {  // a piece longer than its series says: joining would drop its extra bytes
            auto last = ReadBytes(dir / "f.m03");
            last.push_back(1);
            WriteBytes(dir / "f.m03", last);
        },
    };
    ChildOptions terminal;
    terminal.terminal_input = true;
    terminal.terminal_error = true;
    terminal.input = "\n";
    for (const auto& spoiled : spoil) {
        WriteBytes(dir / "f", file);
        ASSERT_EQ(Run({"split", "-y", "-s", "1000", "f"}).status, 0);
        fs::remove(dir / "f");
        spoiled();
        const ChildResult r = Run({"join", "f.m00"}, terminal);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(", Enter for "), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find(", Enter for OK]"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find(", Enter for Yes]"), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir / "f"));
    }
    // Without a list, the join says once that nothing was compared, and what belongs with it.
    WriteBytes(dir / "f", file);
    ASSERT_EQ(Run({"split", "-y", "--no-checksums", "-s", "1000", "f"}).status, 0);
    fs::remove(dir / "f");
    const ChildResult r = Run({"join", "-y", "f.m00"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string said =
        "Nothing was compared: no checksum list for f lies beside its pieces. The sender's "
        "f.sha256, and any recovery pieces, belong with them.\n";
    EXPECT_EQ(r.err, " Will need  4 files to join.\n" + said);
}

// Started without standard error, the program's messages must not land in a file it opens; a
// result that cannot be told (output to a full device) is a failure.
TEST_F(CommandLineProcess, ClosedOrFullStandardStreams) {
    WriteBytes(dir / "f.bin", Pattern(5000));
    ChildOptions closed;
    closed.close_error = true;
    EXPECT_EQ(Run({"split", "--size", "1000", "f.bin"}, closed).status, 0);
    EXPECT_EQ(Run({"join", "f.bin.m00", "back"}).status, 0);
    EXPECT_EQ(ReadBytes(dir / "back"), Pattern(5000)) << "a message went into a piece";
    ChildOptions full;
    full.out_file = "/dev/full";
    EXPECT_EQ(Run({"check", "f.bin.m00"}, full).status, 1);
    EXPECT_EQ(Run({"--help"}, full).status, 1);
    EXPECT_EQ(Run({"--version"}, full).status, 1);
}

// Waits for the folder watched by inotify_fd to report an event of mask on a name that wanted
// accepts (the count-th such event); false when the deadline passes first.
bool WaitForEvent(int inotify_fd, uint32_t mask,
                  const std::function<bool(const std::string&)>& wanted, int count = 1,
                  int deadline_ms = 20000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadline_ms);
    alignas(inotify_event) char buffer[8192];
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd fd = {inotify_fd, POLLIN, 0};
        if (::poll(&fd, 1, 50) <= 0) {
            continue;
        }
        const ssize_t n = ::read(inotify_fd, buffer, sizeof buffer);
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if ((event->mask & mask) && event->len > 0 && wanted(event->name) && --count == 0) {
                return true;
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return false;
}

bool IsOurTemporary(const std::string& name) {
    return name.rfind(".", 0) == 0 && name.find(".tessarel-") != std::string::npos;
}

struct Moment {
    const char* what;
    uint32_t mask;
    std::function<bool(const std::string&)> wanted;
    int count;
};

// Killed at any moment, a join leaves its destination as it was or the whole new file, never
// part of one.
TEST_F(CommandLineProcess, AKilledJoinLeavesTheOldFileOrTheWholeNewOne) {
    const auto file = Pattern(size_t{24} << 20, 5);
    WriteBytes(dir / "src", file);
    ASSERT_EQ(Run({"split", "--size", "3000000", "src", "s"}).status, 0);
    const std::vector<uint8_t> old = {1, 2, 3};
    const Moment moments[] = {
        {"as the output is opened", IN_CREATE, IsOurTemporary, 1},
        // Events of one kind run together when they are not read at once: the temporary's own
        // length says when half is written (or, gone already, that the moment has passed).
        {"half-way", IN_MODIFY,
         [&](const std::string& n) {
             if (!IsOurTemporary(n)) {
                 return false;
             }
             std::error_code gone;
             const auto written = fs::file_size(dir / n, gone);
             return gone || written >= file.size() / 2;
         },
         1},
        {"as it is put in place", IN_MOVED_TO, [](const std::string& n) { return n == "out"; }, 1},
    };
    for (const Moment& m : moments) {
        SCOPED_TRACE(m.what);
        WriteBytes(dir / "out", old);
        const int watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        ::inotify_add_watch(watch, dir.path().c_str(), m.mask);
        const pid_t pid =
            StartChild(TESSAREL_PROGRAM, {"join", "--yes", "s.m00", "out"}, dir.path());
        EXPECT_TRUE(WaitForEvent(watch, m.mask, m.wanted, m.count));
        EndChild(pid);
        ::close(watch);
        const auto now = ReadBytes(dir / "out");
        EXPECT_TRUE(now == old || now == file) << now.size() << " bytes";
    }
}

// Killed at any moment, a re-split of another file of the same length onto an older series
// leaves the older series as it was or the new one whole: never a mix that check passes or
// join rebuilds into a file that is neither.
TEST_F(CommandLineProcess, AKilledSplitNeverLeavesASeriesThatPassesAsAnotherFile) {
    const auto older = Pattern(size_t{24} << 20, 6);
    const auto newer = Pattern(size_t{24} << 20, 7);
    WriteBytes(dir / "older", older);
    WriteBytes(dir / "newer", newer);
    auto is = [](const char* name) { return [name](const std::string& n) { return n == name; }; };
    auto temporary_of = [](const char* name) {
        return [name](const std::string& n) {
            return n.rfind("." + std::string(name) + ".tessarel-", 0) == 0;
        };
    };
    const Moment moments[] = {
        {"as the first piece is opened", IN_CREATE, IsOurTemporary, 1},
        {"between later pieces", IN_MODIFY, temporary_of("s.m03"), 1},
        {"during the final flush", IN_CLOSE_WRITE, temporary_of("s.m01"), 1},
        {"as the later pieces take their names", IN_MOVED_TO, is("s.m02"), 1},
        {"as the first piece is put in place", IN_MOVED_TO, is("s.m00"), 1},
    };
    for (const Moment& m : moments) {
        SCOPED_TRACE(m.what);
        ASSERT_EQ(Run({"split", "--yes", "--size", "3000000", "older", "s"}).status, 0);
        const int watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        ::inotify_add_watch(watch, dir.path().c_str(), m.mask);
        const pid_t pid = StartChild(
            TESSAREL_PROGRAM, {"split", "--yes", "--size", "3000000", "newer", "s"}, dir.path());
        EXPECT_TRUE(WaitForEvent(watch, m.mask, m.wanted, m.count));
        EndChild(pid);
        ::close(watch);
        const bool checked = Run({"check", "s.m00"}).status == 0;
        const bool joined = Run({"join", "--yes", "s.m00", "back"}).status == 0;
        EXPECT_EQ(checked, joined);
        if (joined) {
            const auto back = ReadBytes(dir / "back");
            EXPECT_TRUE(back == older || back == newer) << "a mixed series passed as whole";
        }
        fs::remove(dir / "back");
    }
}

// The list a split writes is one the standard tool checks: the pieces in the series' folder,
// and after a join the whole file too.
TEST_F(CommandLineProcess, TheStandardToolChecksTheSeriesAndTheJoinedFile) {
    const std::string name = "a b\\c \xff.bin";  // blanks, a backslash, a byte that is no text
    WriteBytes(dir / name, Pattern(250000, 8));
    ASSERT_EQ(Run({"split", "--kb", "100", name}).status, 0);
    const std::string list = name + ".sha256";
    ChildOptions here;
    here.folder = dir.path();
    ChildResult r = RunChild("/usr/bin/sha256sum", {"-c", "--ignore-missing", list}, here);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find(".m02: OK"), std::string::npos) << r.out;
    fs::rename(dir / name, dir / "original");
    ASSERT_EQ(Run({"join", name + ".m00"}).status, 0);
    r = RunChild("/usr/bin/sha256sum", {"-c", list}, here);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4) << r.out;
}

// SIGINT, SIGTERM and SIGHUP stop an operation as Cancel does: what it wrote is removed, older
// files stay as they were, and it says so with the signal's status.
TEST_F(CommandLineProcess, ASignalStopsCleanlyWithItsStatus) {
    const auto file = Pattern(size_t{24} << 20, 9);
    WriteBytes(dir / "src", file);
    ASSERT_EQ(Run({"split", "--size", "3000000", "src", "s"}).status, 0);
    const std::vector<uint8_t> old = {1, 2, 3};
    const std::pair<int, int> signals[] = {{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}};
    for (const auto& [signal, status] : signals) {
        SCOPED_TRACE(signal);
        WriteBytes(dir / "out", old);
        for (const bool split : {false, true}) {
            const Snapshot before = TakeNames();
            const int watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
            ::inotify_add_watch(watch, dir.path().c_str(), IN_MODIFY);
            const std::vector<std::string> args =
                split ? std::vector<std::string>{"split", "--yes", "--size", "3000000", "src", "s"}
                      : std::vector<std::string>{"join", "--yes", "s.m00", "out"};
            const pid_t pid = StartChild(TESSAREL_PROGRAM, args, dir.path(), dir / "err.txt");
            EXPECT_TRUE(WaitForEvent(watch, IN_MODIFY, IsOurTemporary, 3));
            const int ended = EndChild(pid, signal);
            ::close(watch);
            const auto err = ReadBytes(dir / "err.txt");
            fs::remove(dir / "err.txt");
            EXPECT_EQ(ended, status) << std::string(err.begin(), err.end());
            EXPECT_NE(std::string(err.begin(), err.end()).find("stopped; nothing was changed"),
                      std::string::npos);
            EXPECT_EQ(TakeNames(), before) << "something was left behind";
            EXPECT_EQ(ReadBytes(dir / "out"), old);
        }
    }
    EXPECT_EQ(Run({"join", "--yes", "s.m00", "back"}).status, 0) << "the series is as it was";
    EXPECT_EQ(ReadBytes(dir / "back"), file);
}

// One writer of a series at a time: another is refused at once, and two that race leave one
// whole series, never a mix.
TEST_F(CommandLineProcess, OneWriterOfASeriesAtATime) {
    WriteBytes(dir / "f", Pattern(1000, 1));
    ASSERT_EQ(Run({"split", "-s", "300", "f"}).status, 0);
    const Snapshot before = TakeNames();
    {
        // Another Tessarel, as far as the lock says.
        const int held = ::open((dir / ".f.m00.tessarel-lock").c_str(), O_RDWR | O_CREAT, 0644);
        ASSERT_EQ(::flock(held, LOCK_EX), 0);
        const std::string busy =
            "tessarel: Another Tessarel is writing the series f.m00 now. Try again when it is "
            "done.\n";
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"split", "-y", "-s", "300", "f"},
              std::vector<std::string>{"join", "f.m00", "out"},
              std::vector<std::string>{"check", "f.m00"}}) {
            const ChildResult r = Run(args);
            EXPECT_EQ(r.status, 1) << args[0];
            EXPECT_EQ(r.err, busy) << args[0];
        }
        ::close(held);
    }
    fs::remove(dir / ".f.m00.tessarel-lock");
    EXPECT_EQ(TakeNames(), before);
    // Two real ones at once, each with a file of its own to the same series.
    WriteBytes(dir / "a", Pattern(48 << 20, 2));
    WriteBytes(dir / "b", Pattern(48 << 20, 3));
    const pid_t first =
        StartChild(TESSAREL_PROGRAM, {"split", "-y", "-s", "5M", "a", "s.m00"}, dir.path());
    const ChildResult second = Run({"split", "-y", "-s", "5M", "b", "s.m00"});
    const int first_status = EndChild(first, 0, 60000);
    EXPECT_TRUE(first_status == 0 || second.status == 0);
    EXPECT_EQ(Run({"check", "s.m00"}).status, 0) << "the series is whole";
    ASSERT_EQ(Run({"join", "s.m00", "back"}).status, 0);
    const auto back = ReadBytes(dir / "back");
    EXPECT_TRUE(back == ReadBytes(dir / "a") || back == ReadBytes(dir / "b"));
}

// Results keep the privacy of what they come from; a replaced file keeps its own.
TEST_F(CommandLineProcess, ResultsKeepTheAccessOfTheirOrigin) {
    WriteBytes(dir / "secret", Pattern(1000, 4));
    fs::permissions(dir / "secret", fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(Run({"split", "-s", "300", "secret"}).status, 0);
    ASSERT_EQ(Run({"join", "secret.m00", "joined"}).status, 0);
    for (const char* name : {"secret.m00", "secret.m03", "secret.sha256", "joined"}) {
        EXPECT_EQ(fs::status(dir / name).permissions(),
                  fs::perms::owner_read | fs::perms::owner_write)
            << name;
    }
    WriteBytes(dir / "theirs", {1});
    fs::permissions(dir / "theirs", fs::perms::owner_read | fs::perms::group_read);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown((dir / "theirs").c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(Run({"join", "-y", "secret.m00", "theirs"}).status, 0);
    struct stat st {};
    ASSERT_EQ(::stat((dir / "theirs").c_str(), &st), 0);
    // Never more open than the series (0600) nor than the file it replaces (0440); and the
    // user's who ran it, never given to the replaced file's owner.
    EXPECT_EQ(st.st_mode & 0777, 0400u);
    EXPECT_EQ(st.st_uid, ::geteuid());
    // A series whose first piece is lost gives its access to what is joined or repaired from it.
    ASSERT_EQ(Run({"split", "-y", "-s", "300", "-r", "1", "secret"}).status, 0);
    fs::remove(dir / "secret.m00");
    ASSERT_EQ(Run({"join", "secret.m02", "rebuilt"}).status, 0);
    ASSERT_EQ(Run({"repair", "secret.m02"}).status, 0);
    for (const char* name : {"rebuilt", "secret.m00"}) {
        EXPECT_EQ(fs::status(dir / name).permissions(),
                  fs::perms::owner_read | fs::perms::owner_write)
            << name;
    }
    // A file with another name is said to keep its old contents there.
    fs::create_hard_link(dir / "theirs", dir / "other-name");
    const ChildResult r = Run({"join", "secret.m00", "theirs"});
    EXPECT_NE(r.err.find("theirs has other names (hard links): they keep its current contents."),
              std::string::npos)
        << r.err;
}

// A second user in a shared folder where only a file's owner may replace it (as /tmp): a file of
// theirs at a result's name is neither replaced nor given this user's data, and a journal they
// plant beside a series moves nothing, for a reader or a writer.
TEST_F(CommandLineProcess, ASecondUserInASharedFolderGetsNothing) {
    if (::geteuid() != 0 || !fs::exists("/usr/bin/setpriv")) {
        GTEST_SKIP() << "needs root, and setpriv to act as another user";
    }
    fs::permissions(dir.path(), fs::perms::all | fs::perms::sticky_bit);
    const auto as_nobody = [&](const std::string& script) {
        ChildOptions here;
        here.folder = dir.path();
        return RunChild("/usr/bin/setpriv",
                        {"--reuid=65534", "--regid=65534", "--clear-groups", "--", "/bin/sh", "-c",
                         script},
                        here)
            .status;
    };
    WriteBytes(dir / "secret", Pattern(1000, 4));
    fs::permissions(dir / "secret", fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(Run({"split", "-s", "300", "secret"}).status, 0);
    ASSERT_EQ(as_nobody("echo mine > joined"), 0);
    ChildResult r = Run({"join", "-y", "secret.m00", "joined"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("another user's file"), std::string::npos) << r.err;
    EXPECT_EQ(ReadBytes(dir / "joined"), std::vector<uint8_t>({'m', 'i', 'n', 'e', '\n'}));
    // Their journal, naming the series' own pieces, would have them moved away and deleted.
    ASSERT_EQ(as_nobody("printf 'tessarel journal 1\\nnew 27:.secret.m01.tessarel-abcdef 10:"
                        "secret.m01\\nend\\n' > .secret.m00.tessarel-journal"),
              0);
    const Snapshot before = TakeNames();
    for (const char* command : {"check", "repair", "split"}) {
        r = Run(command == std::string("split")
                    ? std::vector<std::string>{"split", "-y", "-s", "300", "secret"}
                    : std::vector<std::string>{command, "secret.m00"});
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_NE(r.err.find(".secret.m00.tessarel-journal"), std::string::npos) << r.err;
        EXPECT_EQ(TakeNames(), before) << command;
    }
    EXPECT_EQ(ReadBytes(dir / "secret.m01").size(), 300u);
    for (const char* name : {"secret.m00", "secret.m03", "secret.sha256"}) {
        EXPECT_EQ(fs::status(dir / name).permissions(),
                  fs::perms::owner_read | fs::perms::owner_write)
            << name;
    }
}

// What a killed run left is cleared by the next run of that series, and said; a file that a
// running one still writes is left alone, and named when the disk looks too small.
TEST_F(CommandLineProcess, WhatAKilledRunLeftIsClearedAndSaid) {
    WriteBytes(dir / "f", Pattern(1000, 5));
    ASSERT_EQ(Run({"split", "-s", "300", "f"}).status, 0);
    WriteBytes(dir / ".f.m01.tessarel-abc123", Pattern(5000, 6));  // nobody holds it
    WriteBytes(dir / ".f.m02.tessarel-def456", Pattern(100, 7));
    const int held = ::open((dir / ".f.m02.tessarel-def456").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const ChildResult r = Run({"check", "f.m00"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("Hidden files that an ended Tessarel left beside f.m00 were removed"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(fs::exists(dir / ".f.m01.tessarel-abc123"));
    EXPECT_TRUE(fs::exists(dir / ".f.m02.tessarel-def456"));
    ::close(held);
    TinyDisk disk(64);
    if (!disk.mounted()) {
        return;
    }
    WriteBytes(disk / ".out.tessarel-ghi789", Pattern(40000, 8));
    const int writing = ::open((disk / ".out.tessarel-ghi789").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(writing, LOCK_EX), 0);
    WriteBytes(dir / "g", Pattern(30000, 9));
    ASSERT_EQ(Run({"split", "-s", "10000", "g"}).status, 0);
    const ChildResult low = Run({"join", "g.m00", disk / "out"});
    EXPECT_NE(low.err.find("Hidden files of unfinished Tessarel runs take 40000 bytes there: "
                           ".out.tessarel-ghi789."),
              std::string::npos)
        << low.err;
    ::close(writing);
}

// A first piece whose header asks for 31208 pieces, in a folder of 20000 files: answered at
// once, not after pieces x files comparisons.
TEST_F(CommandLineProcess, ACraftedHeaderInABigFolderIsAnsweredQuickly) {
    const std::string header = "KESTRAVOLN0000655340x";
    WriteBytes(dir / "c.m00", std::vector<uint8_t>(header.begin(), header.end()));
    for (int i = 0; i < 20000; ++i) {
        WriteBytes(dir / ("f" + std::to_string(i) + ".m01"), {});
    }
    ChildOptions quick;
    quick.deadline_ms = 10000;
    EXPECT_EQ(Run({"check", "c.m00"}, quick).status, 1);
    EXPECT_EQ(Run({"join", "c.m00", "out"}, quick).status, 1);
}

// check stops on a signal at once, with the signal's status.
TEST_F(CommandLineProcess, CheckStopsOnASignal) {
    const std::string header = "KESTRAVOLN4294967276";
    WriteBytes(dir / "z.m00", std::vector<uint8_t>(header.begin(), header.end()));
    for (int n = 1; n <= 4; ++n) {  // four sparse gibibytes: seconds of reading
        const std::string piece = PieceName(dir / "z", n);
        if (n > 1) {
            WriteBytes(piece, {});
        }
        fs::resize_file(piece, uint64_t{1} << 30);
    }
    const int watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    ::inotify_add_watch(watch, dir.path().c_str(), IN_ACCESS);
    const std::string err = dir / "err";
    const pid_t pid = StartChild(TESSAREL_PROGRAM, {"check", "z.m00"}, dir.path(), err);
    EXPECT_TRUE(WaitForEvent(
        watch, IN_ACCESS, [](const std::string&) { return true; }, 3));
    ::close(watch);
    EXPECT_EQ(EndChild(pid, SIGINT, 1000), 130) << "not stopped within a second";
    const auto said = ReadBytes(err);
    EXPECT_EQ(std::string(said.begin(), said.end()), "tessarel: stopped\n");
}

// On a terminal a check draws the progress line a join draws: a long check is seen to work.
TEST_F(CommandLineProcess, CheckShowsItsProgressOnATerminal) {
    WriteSeries(dir / "s", Pattern(300000), 100000);
    ChildOptions terminal;
    terminal.terminal_input = true;
    terminal.terminal_error = true;
    const ChildResult r = Run({"check", "s.m00"}, terminal);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("\rPiece 4 of 4, 100%"), std::string::npos) << r.err;
    EXPECT_EQ(Run({"check", "s.m00"}).err, "") << "no progress where no terminal shows it";
}

// Under a file-size limit, the join says the file cannot grow, and leaves nothing.
TEST_F(CommandLineProcess, AFileSizeLimitIsSaidAndNothingIsLeft) {
    WriteBytes(dir / "f", Pattern(300000, 10));
    ASSERT_EQ(Run({"split", "-s", "100K", "f"}).status, 0);
    const Snapshot before = TakeNames();
    ChildOptions limited;
    limited.file_size_limit = 150 * 1024;
    const ChildResult r = Run({"join", "f.m00", "out"}, limited);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot grow any larger"), std::string::npos) << r.err;
    EXPECT_EQ(TakeNames(), before);
}

// Lists that sha256sum -c takes are taken; two lines for one name that disagree are not.
TEST_F(CommandLineProcess, ListsAreReadAsTheStandardToolReadsThem) {
    WriteBytes(dir / "f", Pattern(1000, 11));
    ASSERT_EQ(Run({"split", "-s", "300", "f"}).status, 0);
    const auto bytes = ReadBytes(dir / "f.sha256");
    const std::string list(bytes.begin(), bytes.end());
    auto replace_all = [](std::string text, const std::string& from, const std::string& to) {
        for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
            text.replace(at, from.size(), to);
        }
        return text;
    };
    const std::string other_line = std::string(64, '0') + "  f.m01\n";
    // A list of the whole file alone, as sha256sum f writes it, checks the file the pieces make.
    const std::string whole_line = list.substr(list.rfind('\n', list.size() - 2) + 1);
    const std::tuple<std::string, int, std::string> forms[] = {
        {replace_all(list, "\n", "\r\n"), 0, "contents as listed"},
        {replace_all(list, "  f", "  ./f"), 0, "contents as listed"},
        {list.substr(0, list.size() - 1), 0, "contents as listed"},
        {list + other_line, 1, "two lines for f.m01 disagree"},
        {whole_line, 0, "the file these pieces make: contents as listed"},
        {std::string(64, '0') + "  f\n", 1, "the file these pieces make: differs"},
    };
    for (const auto& [text, status, said] : forms) {
        WriteBytes(dir / "f.sha256", std::vector<uint8_t>(text.begin(), text.end()));
        const ChildResult r = Run({"check", "f.m00"});
        EXPECT_EQ(r.status, status) << text << r.out;
        EXPECT_NE(r.out.find(said), std::string::npos) << text << r.out;
    }
}

// A series of 1,000,000 bytes in eleven pieces with three recovery pieces, as the receiver has
// it; each case damages it, and is put back after.
class RecoveredSeries : public CommandLineProcess {
  protected:
    void SetUp() override {
        file = Pattern(1000000, 12);
        WriteBytes(dir / "f", file);
        ASSERT_EQ(Run({"split", "-s", "100000", "-r", "3", "f"}).status, 0);
        fs::rename(dir / "f", dir / "original");
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            kept[entry.path().filename().string()] = ReadBytes(entry.path().string());
        }
    }
    void PutBack() {
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            if (!kept.count(entry.path().filename().string())) {
                fs::remove_all(entry.path());
            }
        }
        for (const auto& [name, bytes] : kept) {
            fs::remove_all(dir / name);
            WriteBytes(dir / name, bytes);
        }
    }
    void Flip(const std::string& name, size_t at) {
        auto bytes = ReadBytes(dir / name);
        bytes[at] ^= 1;
        WriteBytes(dir / name, bytes);
    }
    std::vector<uint8_t> file;
    std::map<std::string, std::vector<uint8_t>> kept;
};

// Lost and damaged pieces, the first one included, are rebuilt exactly from whichever piece the
// receiver opens, with the list or without it; too many are refused naming them, and check says
// "can be rebuilt" (exit 3) exactly when the join then gives the file back.
TEST_F(RecoveredSeries, AnyPieceOpenedRebuildsExactlyOrRefuses) {
    struct Case {
        const char* what;
        std::function<void()> damage;
        bool rebuilt;
        const char* said;
    };
    const Case cases[] = {
        {"the first piece lost", [&] { fs::remove(dir / "f.m00"); }, true, "f.m00"},
        {"the first piece cut short", [&] { fs::resize_file(dir / "f.m00", 50000); }, true,
         "f.m00"},
        {"a digit of the first piece's header changed", [&] { Flip("f.m00", 15); }, true, "f.m00"},
        {"a digit of the header changed, the last piece lost",  // both plans miss one piece
         [&] {
             Flip("f.m00", 15);
             fs::remove(dir / "f.m10");
         },
         true, "f.m00 and f.m10"},
        {"a folder at the first piece's name",
         [&] {
             fs::remove(dir / "f.m00");
             fs::create_directory(dir / "f.m00");
         },
         true, "f.m00"},
        {"a piece longer and damaged",
         [&] {
             Flip("f.m03", 500);
             auto longer = ReadBytes(dir / "f.m03");
             longer.insert(longer.end(), 9, 7);
             WriteBytes(dir / "f.m03", longer);
         },
         true, "f.m03"},
        {"two pieces and a recovery piece lost",
         [&] {
             for (const char* name : {"f.m02", "f.m07", "f.r01"})
                 fs::remove(dir / name);
         },
         true, "f.m02 and f.m07"},
        {"the first piece lost, the short last one cut",
         [&] {
             fs::remove(dir / "f.m00");
             fs::resize_file(dir / "f.m10", 5);
         },
         true, "f.m00 and f.m10"},
        {"a flipped byte, and a damaged recovery piece",
         [&] {
             Flip("f.m04", 999);
             Flip("f.r00", 70000);
         },
         true, "f.m04"},
        {"four pieces lost",
         [&] {
             for (const char* name : {"f.m01", "f.m03", "f.m06", "f.m09"})
                 fs::remove(dir / name);
         },
         false, "f.m01, f.m03, f.m06 and f.m09 are lost or damaged"},
    };
    for (const bool listed : {true, false}) {
        for (const Case& c : cases) {
            for (const char* opened : {"f.m00", "f.m05", "f.m10", "f.r02"}) {
                SCOPED_TRACE(std::string(c.what) + ", opened as " + opened +
                             (listed ? ", with the list" : ", without the list"));
                c.damage();
                if (!listed) {
                    fs::remove(dir / "f.sha256");
                }
                const ChildResult checked = Run({"check", opened});
                EXPECT_EQ(checked.status, c.rebuilt ? 3 : 1) << checked.out << checked.err;
                const ChildResult joined = Run({"join", opened, "back"});
                EXPECT_EQ(joined.status, c.rebuilt ? 0 : 1) << joined.err;
                EXPECT_NE(joined.err.find(c.said), std::string::npos) << joined.err;
                if (c.rebuilt) {
                    EXPECT_EQ(ReadBytes(dir / "back"), file);
                } else {
                    EXPECT_FALSE(fs::exists(dir / "back"));
                }
                PutBack();
            }
        }
    }
}

// A recovery piece of another file, of an earlier version, damaged or forged is never rebuilt
// from: check names it, the join rebuilds from the genuine ones or refuses, never a wrong file.
TEST_F(RecoveredSeries, ForeignStaleDamagedAndForgedRecoveryPiecesAreNotUsed) {
    // Recovery pieces of another file of the same length, and of an earlier version of f.
    TempDir elsewhere;
    auto earlier = file;
    earlier[300000] ^= 0xFF;
    for (const auto& [folder, bytes] :
         {std::pair{"other", Pattern(1000000, 99)}, {"old", earlier}}) {
        const std::string folder_path = elsewhere / folder;
        fs::create_directories(folder_path);
        WriteBytes(folder_path + "/f", bytes);
        ChildOptions there;
        there.folder = folder_path;
        ASSERT_EQ(
            RunChild(TESSAREL_PROGRAM, {"split", "-s", "100000", "-r", "3", "f"}, there).status, 0);
    }
    const auto other = [&](const char* folder, const char* name) {
        fs::copy_file(elsewhere / (std::string(folder) + "/" + name), dir / name,
                      fs::copy_options::overwrite_existing);
    };
    struct Case {
        const char* what;
        std::function<void()> damage;
        int usable;           // genuine recovery pieces left
        int usable_unlisted;  // of those, what a join without the list can tell are genuine
        // Only the list tells recovery pieces of an earlier version, every one of them, from
        // damage where the versions differ.
        bool list_only = false;
    };
    const Case cases[] = {
        {"another file's r00", [&] { other("other", "f.r00"); }, 2, 2},
        {"another file's r00, r01 and r02",
         [&] {
             for (const char* name : {"f.r00", "f.r01", "f.r02"})
                 other("other", name);
         },
         0, 0},
        {"an earlier version's r01 and r02",
         [&] {
             other("old", "f.r01");
             other("old", "f.r02");
         },
         1, 0},  // the pieces there cannot tell the two versions apart
        {"an earlier version's r00, r01 and r02",
         [&] {
             for (const char* name : {"f.r00", "f.r01", "f.r02"})
                 other("old", name);
         },
         0, 0, true},
        {"a byte of r02's row flipped", [&] { Flip("f.r02", 5000); }, 2, 2},
        {"a byte of r00's table flipped", [&] { Flip("f.r00", 64 + 100000 + 10); }, 2, 2},
        {"a forged header that says another plan",
         [&] {
             RecoveryHeader forged{2, 10, 1, 0, 100001, 1000020, StripeSizeFor(100001, 10)};
             auto bytes = ReadBytes(dir / "f.r01");
             const auto header = RecoveryHeaderBytes(forged);
             std::copy(header.begin(), header.end(), bytes.begin());
             WriteBytes(dir / "f.r01", bytes);
         },
         2, 2},
    };
    for (const bool listed : {true, false}) {
        for (const Case& c : cases) {
            if (c.list_only && !listed) {
                continue;
            }
            for (const int lost : {0, 1, 3}) {
                SCOPED_TRACE(std::string(c.what) + ", " + std::to_string(lost) + " lost" +
                             (listed ? ", with the list" : ", without the list"));
                c.damage();
                if (!listed) {
                    fs::remove(dir / "f.sha256");
                }
                for (int n = 1; n <= lost; ++n) {
                    fs::remove(dir / PieceName("f", 1 + 3 * n));
                }
                const ChildResult checked = Run({"check", "f.m00"});
                if (lost > 0) {
                    EXPECT_EQ(checked.status,
                              lost <= (listed ? c.usable : c.usable_unlisted) ? 3 : 1)
                        << checked.out;
                }
                for (const bool verify : {true, false}) {
                    // The list tells the versions apart for a join without verify too.
                    const bool rebuilt = lost <= (listed ? c.usable : c.usable_unlisted);
                    const ChildResult joined = Run(
                        verify ? std::vector<std::string>{"join", "f.m00", "back"}
                               : std::vector<std::string>{"join", "--no-verify", "f.m04", "back"});
                    EXPECT_EQ(joined.status, rebuilt ? 0 : 1) << joined.err;
                    EXPECT_EQ(fs::exists(dir / "back") && ReadBytes(dir / "back") == file, rebuilt);
                    fs::remove(dir / "back");
                }
                PutBack();
            }
        }
    }
    // In the place of a recovery piece, another series' is named and written over by repair.
    other("other", "f.r01");
    const ChildResult checked = Run({"check", "f.m00"});
    EXPECT_EQ(checked.status, 3);
    EXPECT_NE(checked.out.find("f.r01: belongs to another series"), std::string::npos)
        << checked.out;
    EXPECT_EQ(Run({"repair", "f.m00"}).status, 0);
    EXPECT_EQ(ReadBytes(dir / "f.r01"), kept["f.r01"]);
    EXPECT_EQ(Run({"check", "f.m00"}).status, 0);
}

// A changed digit in the header of a series whose last piece is full asks for a piece that was
// never written: the recovery pieces' plan, which every piece there bears out, is taken.
TEST_F(CommandLineProcess, AChangedHeaderDigitIsPlannedByTheRecoveryPieces) {
    const auto file = Pattern(7 * 100000 - kHeaderLength, 6);  // seven full pieces
    WriteBytes(dir / "f", file);
    ASSERT_EQ(Run({"split", "-s", "100000", "-r", "2", "f"}).status, 0);
    auto first = ReadBytes(dir / "f.m00");
    ASSERT_EQ(first[13], '0');
    first[13] = '1';  // 1,699,980 bytes: seventeen pieces
    WriteBytes(dir / "f.m00", first);
    EXPECT_EQ(Run({"check", "f.m04"}).status, 3);
    const ChildResult joined = Run({"join", "f.m04", "back"});
    EXPECT_EQ(joined.status, 0) << joined.err;
    EXPECT_EQ(ReadBytes(dir / "back"), file);
}

// Damage is rebuilt where it is: a bad byte in each of twenty pieces, no two pieces' in one
// stripe, comes back from two recovery pieces; three in one stripe are refused, not guessed.
TEST_F(CommandLineProcess, DamageScatteredOverManyPiecesIsRepairedInPlace) {
    const auto file = Pattern(21 * 80000, 5);
    WriteBytes(dir / "f", file);
    ASSERT_EQ(Run({"split", "-s", "80000", "-r", "2", "--no-checksums", "f"}).status, 0);
    std::map<std::string, std::vector<uint8_t>> kept;
    auto flip = [&](int64_t piece, size_t at) {
        const std::string name = PieceName(dir / "f", piece);
        auto bytes = ReadBytes(name);
        kept.emplace(name, bytes);
        bytes[at] ^= 0x10;
        WriteBytes(name, bytes);
    };
    const auto stripe = size_t(StripeSizeFor(80000, 22));
    ASSERT_EQ((80000 + stripe - 1) / stripe, 10u);
    for (int64_t n = 1; n <= 20; ++n) {
        flip(n, size_t(n % 10) * stripe + 123);  // two pieces to each of the ten stripes
    }
    EXPECT_EQ(Run({"check", "f.m07"}).status, 3);
    const ChildResult repaired = Run({"repair", "f.m07"});
    EXPECT_EQ(repaired.status, 0) << repaired.err;
    EXPECT_EQ(Run({"check", "f.m00"}).status, 0);
    for (const auto& [name, bytes] : kept) {
        EXPECT_EQ(ReadBytes(name), bytes) << name;
    }
    for (const int64_t n : {2, 5, 9}) {
        flip(n, 5 * stripe);
    }
    EXPECT_EQ(Run({"check", "f.m00"}).status, 1);
    EXPECT_EQ(Run({"join", "f.m00", "back"}).status, 1);
    EXPECT_FALSE(fs::exists(dir / "back"));
}

// Repair writes only ordinary files it has proven lost or damaged: a folder or a link at a name
// it would write is refused and nothing changes; lost recovery pieces are named by check and
// written again; names in capitals, as FAT and CD media show them, are found.
TEST_F(RecoveredSeries, RepairRefusesFoldersAndLinksAndPutsLostRecoveryPiecesBack) {
    struct Refused {
        const char* what;
        std::function<void()> damage;
        const char* said;
    };
    const Refused refused[] = {
        {"a folder at a lost piece's name",
         [&] {
             fs::remove(dir / "f.m03");
             fs::create_directory(dir / "f.m03");
         },
         "f.m03"},
        {"a link at a lost recovery piece's name",
         [&] {
             fs::remove(dir / "f.r01");
             fs::create_symlink("elsewhere", dir / "f.r01");
         },
         "f.r01"},
    };
    for (const Refused& c : refused) {
        SCOPED_TRACE(c.what);
        c.damage();
        const Snapshot before = TakeNames();
        const ChildResult r = Run({"repair", "f.m00"});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        EXPECT_EQ(TakeNames(), before);
        PutBack();
    }
    for (const char* name : {"f.r00", "f.r01", "f.r02"}) {
        fs::remove(dir / name);
    }
    ChildResult r = Run({"check", "f.m00"});
    EXPECT_EQ(r.status, 3) << "repair writes them again, as the list proves them";
    EXPECT_NE(r.out.find("3 recovery pieces lost or damaged"), std::string::npos) << r.out;
    EXPECT_EQ(Run({"repair", "f.m00"}).status, 0);
    for (const char* name : {"f.r00", "f.r01", "f.r02"}) {
        EXPECT_EQ(ReadBytes(dir / name), kept[name]) << name;
    }
    // In capitals, the first piece lost.
    for (const auto& [name, bytes] : kept) {
        std::string upper = name;
        std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
        fs::rename(dir / name, dir / upper);
    }
    fs::remove(dir / "F.M00");
    r = Run({"check", "F.M05"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.out.find("F.M01: good, 100000 bytes, contents as listed"), std::string::npos)
        << "the list in capitals is read: " << r.out;
    r = Run({"repair", "F.R02"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(dir / "F.M00"), kept["f.m00"]);
}

// Numbered sets of other tools join byte for byte from any member, and check; a gap, a member
// of another size and a checksum list beside them are said and used. Tessarel's own --numbered
// pieces are joined by cat as they are.
TEST_F(CommandLineProcess, NumberedSetsOfOtherToolsJoinFromAnyMember) {
    const auto file = Pattern(3500000, 21);
    ChildOptions here;
    here.folder = dir.path();
    const auto shell = [&](const std::string& script) {
        return RunChild("/bin/sh", {"-c", script}, here).status;
    };
    struct Form {
        const char* script;  // makes the set of "f" (then removed)
        std::vector<const char*> members;
        const char* output;
    };
    const Form forms[] = {
        {"split -b 1M -d -a 3 --numeric-suffixes=1 f f.",
         {"f.001", "f.002", "f.003", "f.004"},
         "f"},
        {"split -b 1M f f.", {"f.aa", "f.ab", "f.ac", "f.ad"}, "f"},
        {"split -b 1M -d f", {"x00", "x01", "x02", "x03"}, "x"},
        {"split -b 1M f", {"xaa", "xad"}, "x"},
        {"split -a 3 -b 1M f", {"xaab"}, "x"},
        {"for i in 0 1 2 3 4 5 6 7 8 9 10 11; do dd if=f of=g.iso.$i bs=300000 skip=$i count=1 "
         "status=none; done",
         {"g.iso.0", "g.iso.1", "g.iso.5", "g.iso.11"},
         "g.iso"},
        {"split -b 1M -d -a 3 --numeric-suffixes=1 f FILM.MKV.",
         {"FILM.MKV.001", "FILM.MKV.004"},
         "FILM.MKV"},
    };
    for (const Form& form : forms) {
        SCOPED_TRACE(form.script);
        WriteBytes(dir / "f", file);
        ASSERT_EQ(shell(form.script), 0);
        fs::remove(dir / "f");
        for (const char* member : form.members) {
            const ChildResult joined = Run({"join", "-y", member});
            EXPECT_EQ(joined.status, 0) << member << joined.err;
            EXPECT_NE(joined.err.find("Nothing was compared"), std::string::npos) << joined.err;
            EXPECT_EQ(ReadBytes(dir / form.output), file) << member;
            EXPECT_EQ(Run({"check", member}).status, 0) << member;
        }
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            fs::remove(entry.path());
        }
    }
    // What is wrong with a set is said before anything is written, and a list beside it used.
    WriteBytes(dir / "f", file);
    ASSERT_EQ(shell("split -b 1M -d -a 3 --numeric-suffixes=1 f f. && sha256sum f.0* > f.sha256 "
                    "&& md5sum f.0* > MD5SUMS && mv f original"),
              0);
    const auto member = ReadBytes(dir / "f.002");
    struct Fault {
        const char* what;
        std::function<void()> make;
        const char* said;
    };
    const Fault faults[] = {
        {"a gap", [&] { fs::remove(dir / "f.002"); }, "f.002 is missing"},
        {"a member of another size", [&] { fs::resize_file(dir / "f.002", 1000); },
         "f.002 is 1000 bytes, where the members before the last are 1048576"},
        {"a member that differs from its line",
         [&] {
             auto bytes = member;
             bytes[10] ^= 1;
             WriteBytes(dir / "f.002", bytes);
         },
         "f.002"},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.what);
        fault.make();
        const ChildResult joined = Run({"join", "-y", "f.003", "joined"});
        EXPECT_EQ(joined.status, 1) << joined.err;
        EXPECT_NE(joined.err.find(fault.said), std::string::npos) << joined.err;
        EXPECT_FALSE(fs::exists(dir / "joined"));
        EXPECT_EQ(Run({"check", "f.001"}).status, 1);
        WriteBytes(dir / "f.002", member);
    }
    fs::remove(dir / "f.sha256");  // the MD5 list then
    auto bytes = member;
    bytes[10] ^= 1;
    WriteBytes(dir / "f.002", bytes);
    EXPECT_EQ(Run({"join", "-y", "f.001", "joined"}).status, 1);
    WriteBytes(dir / "f.002", member);
    const ChildResult checked = Run({"check", "f.004"});
    EXPECT_EQ(checked.status, 0);
    EXPECT_NE(checked.out.find("f.002: good, 1048576 bytes, contents as listed"), std::string::npos)
        << checked.out;
    // A list of the whole file, as sha256sum wrote it before the file was cut.
    ASSERT_EQ(shell("sha256sum original | sed 's/original/f/' > f.sha256 && rm MD5SUMS"), 0);
    WriteBytes(dir / "f.002", bytes);
    EXPECT_EQ(Run({"join", "-y", "f.003", "joined"}).status, 1);
    EXPECT_EQ(Run({"check", "f.003"}).status, 1);
    WriteBytes(dir / "f.002", member);
    EXPECT_EQ(Run({"join", "-y", "f.003", "joined"}).status, 0);
    EXPECT_EQ(ReadBytes(dir / "joined"), file);
    // Plain numbered pieces of our own: cat joins them, and so does Tessarel.
    ASSERT_EQ(Run({"split", "-s", "1M", "--numbered", "original", "own"}).status, 0);
    ASSERT_EQ(shell("cat own.001 own.002 own.003 own.004 > own && sha256sum -c --quiet own.sha256"),
              0);
    EXPECT_EQ(ReadBytes(dir / "own"), file);
    EXPECT_EQ(Run({"join", "-y", "own.002", "own-joined"}).status, 0);
    EXPECT_EQ(ReadBytes(dir / "own-joined"), file);
    // With recovery pieces beside them, the first and last may go and any member rebuilds them.
    ASSERT_EQ(Run({"split", "-s", "1M", "-y", "--numbered", "-r", "2", "original", "own"}).status,
              0);
    const auto first = ReadBytes(dir / "own.001");
    fs::remove(dir / "own.001");
    fs::remove(dir / "own.004");
    EXPECT_EQ(Run({"check", "own.003"}).status, 3);
    EXPECT_EQ(Run({"join", "-y", "own.003", "own-rebuilt"}).status, 0);
    EXPECT_EQ(ReadBytes(dir / "own-rebuilt"), file);
    EXPECT_EQ(Run({"repair", "own.r01"}).status, 0);
    EXPECT_EQ(ReadBytes(dir / "own.001"), first);
    EXPECT_EQ(Run({"check", "own.002"}).status, 0);
    const ChildResult repaired = Run({"repair", "f.002"});
    EXPECT_EQ(repaired.status, 1);
    EXPECT_NE(repaired.err.find("no recovery pieces"), std::string::npos) << repaired.err;
}

}  // namespace
}  // namespace tessarel
