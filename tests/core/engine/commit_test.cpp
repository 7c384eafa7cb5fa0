// A fault at every step of the commit, as SQLite tests its journal: each call the file layer makes
// from the journal on is failed, asked to stop at, or ends the process, one at a time. Whatever
// happens, the folder then holds exactly the older files or exactly the new ones (names, bytes
// and access), once the next run has put right what a killed one left; and the run said which.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <functional>
#include <map>

#include "control/commands.h"
#include "engine/commit.h"
#include "platform/file.h"
#include "support/recording_display.h"
#include "support/temp_dir.h"

namespace tessarel {
namespace {

namespace fs = std::filesystem;

// Every entry of a folder, hidden ones too: its bytes and its permission bits.
using Snapshot = std::map<std::string, std::string>;
Snapshot Take(const std::string& folder) {
    Snapshot snap;
    for (const auto& entry : fs::directory_iterator(fs::u8path(folder))) {
        const auto bytes = ReadBytes(entry.path().u8string());
        snap[entry.path().filename().u8string()] =
            std::string(bytes.begin(), bytes.end()) + " mode " +
            std::to_string(static_cast<int>(entry.status().permissions()));
    }
    return snap;
}

std::string Names(const Snapshot& snap) {
    std::string names;
    for (const auto& [name, contents] : snap) {
        names += name + " (" + std::to_string(contents.size()) + ") ";
    }
    return names;
}

enum class Act { kCount, kFail, kStop, kEnd };

// Counts the file layer's calls from the commit's journal on, and acts at one of them.
struct Sweep {
    Act act = Act::kCount;
    int target = 0;
    int calls = 0;
    bool in_commit = false;
    bool stop = false;
};

Fault AtCall(FileOp op, const std::string& path, int64_t, int32_t, void* context) {
    auto& sweep = *static_cast<Sweep*>(context);
    if (op == FileOp::OpenWrite && path.find("journal") != std::string::npos) {
        sweep.in_commit = true;
    }
    if (!sweep.in_commit || ++sweep.calls != sweep.target) {
        return Fault::kNone;
    }
    switch (sweep.act) {
        case Act::kFail:
            return Fault::kDeviceIo;
        case Act::kStop:
            sweep.stop = true;
            return Fault::kNone;
        case Act::kEnd:
#ifndef _WIN32
            ::_exit(9);
#endif
        case Act::kCount:
            break;
    }
    return Fault::kNone;
}

class StopWhenAsked : public RecordingDisplay {
  public:
    explicit StopWhenAsked(const Sweep& sweep) : sweep_(sweep) {}
    bool ShouldStop() override { return sweep_.stop; }

  private:
    const Sweep& sweep_;
};

// Answers every message with its first button: OK, Yes (replace, go on).
class FirstButton : public MessageBox {
  public:
    MsgAnswer Show(const Notice& notice) override {
        kinds.push_back(notice.kind);
        return LayoutOf(notice.style).buttons.front();
    }
    std::vector<MsgKind> kinds;
};

struct Case {
    const char* name;
    // Writes the older files into the folder and returns the request that replaces them.
    std::function<std::function<bool(ProgressDisplay&, MessageBox&)>(const TempDir&)> setup;
    const char* key;  // the file that makes the result
    bool series;
};

std::function<bool(ProgressDisplay&, MessageBox&)> SplitOf(const std::string& source, int64_t size,
                                                           bool checksums) {
    return [=](ProgressDisplay& display, MessageBox& box) {
        SplitRequest request;
        request.source = source;
        request.destination = source + ".m00";
        request.piece_size = size;
        request.checksums = checksums;
        return RunSplit(request, display, box);
    };
}

const Case kCases[] = {
    {"a split onto an older, longer series and its list",
     [](const TempDir& dir) {
         WriteBytes(dir / "f", Pattern(1000, 1));
         RecordingDisplay display;
         FirstButton box;
         SplitOf(dir / "f", 100, true)(display, box);  // eleven pieces and a list
         WriteBytes(dir / "f", Pattern(500, 2));
         fs::permissions(fs::u8path(dir / "f"), fs::perms::owner_read | fs::perms::owner_write);
         return SplitOf(dir / "f", 100, true);  // six pieces: five older ones follow
     },
     "f.m00", true},
    {"a split without a list onto a series with one",
     [](const TempDir& dir) {
         WriteBytes(dir / "f", Pattern(1000, 3));
         RecordingDisplay display;
         FirstButton box;
         SplitOf(dir / "f", 300, true)(display, box);
         WriteBytes(dir / "f", Pattern(1000, 4));
         return SplitOf(dir / "f", 300, false);
     },
     "f.m00", true},
    {"a join onto an older file",
     [](const TempDir& dir) {
         WriteBytes(dir / "f", Pattern(1000, 5));
         RecordingDisplay display;
         FirstButton box;
         SplitOf(dir / "f", 300, true)(display, box);
         WriteBytes(dir / "out", Pattern(77, 6));
         fs::permissions(fs::u8path(dir / "out"), fs::perms::owner_read | fs::perms::group_read);
         return [&dir](ProgressDisplay& display, MessageBox& box) {
             return RunJoin({dir / "f.m00", dir / "out"}, display, box);
         };
     },
     "out", false},
    {"a repair of a lost piece and a damaged recovery piece",
     [](const TempDir& dir) {
         WriteBytes(dir / "f", Pattern(5000, 8));
         SplitRequest split;
         split.source = dir / "f";
         split.destination = dir / "f.m00";
         split.piece_size = 1000;
         split.checksums = true;
         split.recovery = RecoveryCount{2, false};
         RecordingDisplay display;
         FirstButton box;
         RunSplit(split, display, box);
         fs::remove(fs::u8path(dir / "f.m02"));
         auto bytes = ReadBytes(dir / "f.r01");
         bytes[700] ^= 1;
         WriteBytes(dir / "f.r01", bytes);
         return [&dir](ProgressDisplay& display, MessageBox& box) {
             return RepairFirstPiece(dir / "f.m00", display, box);
         };
     },
     "f.m00", true},
};

// Runs the case with the sweep in a fresh folder; then what the next run puts right is put
// right. The snapshot afterwards, and whether the run said it was done (nothing when the
// process ended).
std::pair<Snapshot, std::optional<bool>> RunWith(const Case& c, Sweep& sweep) {
    TempDir dir;
    auto request = c.setup(dir);
    std::optional<bool> done;
    auto run = [&] {
        StopWhenAsked display(sweep);
        FirstButton box;
        SetFileFaultHook(AtCall, &sweep);
        const bool result = request(display, box);
        SetFileFaultHook(nullptr, nullptr);
        return result;
    };
    if (sweep.act == Act::kEnd) {
#ifndef _WIN32
        const pid_t child = ::fork();
        if (child == 0) {
            ::_exit(run() ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        if (WIFEXITED(status) && WEXITSTATUS(status) != 9) {
            done = WEXITSTATUS(status) == 0;
        }
#endif
    } else {
        done = run();
    }
    // The next run: it takes the locks a killed run left (their files go when it lets go) and
    // puts right what it finds.
    const std::string key = dir / c.key;
    FileLock lock = TakeWriteLock(key);
    SettleInterrupted(c.series ? ResultNames::Series(key) : ResultNames::Single(key));
    lock.Release();
    TakeWriteLock(dir / "f.m00").Release();
    return {Take(dir.path()), done};
}

// A join killed part-way leaves its hidden files under the name of the file the series makes;
// the next check of the series removes them, as the next join would.
TEST(Commit, WhatAKilledJoinLeftGoesWithTheNextCheck) {
    TempDir dir;
    WriteBytes(dir / "f", Pattern(5000, 9));
    RecordingDisplay display;
    FirstButton box;
    SplitOf(dir / "f", 1000, true)(display, box);
    const Snapshot series = Take(dir.path());
    File left = CreateTemporaryBeside(dir / "f");
    left.Write(reinterpret_cast<const uint8_t*>("half"), 4);
    left.Close();  // its writer gone
    ASSERT_TRUE(CheckFirstPiece(dir / "f.m00", display, box));
    Snapshot after = Take(dir.path());
    after.erase(".f.m00.tessarel-lock");
    EXPECT_EQ(after, series);
}

// A journal planted beside a series, by another user or naming what is not the series': a
// reader (check) acts on none, a writer (repair) on none of these; each run refuses, naming the
// record, and every file stays as it was.
TEST(Commit, APlantedJournalMovesNothing) {
    const std::string first_line = "tessarel journal 1\n";
    // The undo of a journal's line "new" moves a file that has the final name away and deletes
    // it: what a hostile journal would use.
    const auto line = [](const std::string& tag, const std::string& a, const std::string& b) {
        return tag + " " + std::to_string(a.size()) + ":" + a + " " + std::to_string(b.size()) +
               ":" + b + "\n";
    };
    const std::string long_name = std::string(110, 'x');
    struct Case {
        const char* what;
        std::string series;  // the source's name
        std::string text;    // the journal's, "" for the ones made otherwise
        bool root_only = false;
        bool link = false;
    };
    const std::vector<Case> cases = {
        {"a name outside the series", "f",
         first_line + line("new", ".README.tessarel-abcdef", "README") + "end\n"},
        {"another series' piece", "f",
         first_line + line("new", ".g.m01.tessarel-abcdef", "g.m01") +
             line("new", ".f.m00.tessarel-abcdef", "f.m00") + "end\n"},
        {"an aside made from another name", "f",
         first_line + line("aside", "f.m01", ".README.tessarel-old-abcdef") +
             line("new", ".f.m00.tessarel-abcdef", "f.m00") + "end\n"},
        {"a long name sharing the series' first hundred bytes", long_name,
         first_line +
             line("new", "." + long_name.substr(0, 100) + ".tessarel-abcdef",
                  long_name.substr(0, 100) + "-thesis.odt") +
             "end\n"},
        {"unfinished, naming a file outside the series", "f",
         first_line + line("new", ".README.tessarel-abcdef", "README")},
        {"lines ending in CR LF", "f",
         "tessarel journal 1\r\nnew 22:.f.m01.tessarel-abcdef 5:f.m01\r\nend\r\n"},
#ifndef _WIN32
        {"another user's", "f",
         first_line + line("new", ".f.m01.tessarel-abcdef", "f.m01") + "end\n", true},
        {"a link at the journal's name", "f", "", false, true},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
#ifndef _WIN32
        if (c.root_only && ::geteuid() != 0) {
            continue;  // needs root to give the record to another user
        }
#endif
        TempDir dir;
        WriteBytes(dir / c.series, Pattern(1000, 3));
        RecordingDisplay display;
        FirstButton box;
        SplitOf(dir / c.series, 300, true)(display, box);
        WriteBytes(dir / "README", Pattern(10, 4));
        WriteBytes(dir / (long_name.substr(0, 100) + "-thesis.odt"), Pattern(10, 5));
        const std::string journal = JournalNameFor(ResultNames::Series(dir / (c.series + ".m00")));
        if (c.link) {
            fs::create_symlink("README", fs::u8path(journal));
        } else {
            WriteBytes(journal, std::vector<uint8_t>(c.text.begin(), c.text.end()));
        }
#ifndef _WIN32
        if (c.root_only) {
            ASSERT_EQ(::lchown(journal.c_str(), 65534, 65534), 0);
        }
#endif
        const Snapshot before = Take(dir.path());
        FirstButton check_box;
        EXPECT_FALSE(CheckFirstPiece(dir / (c.series + ".m00"), display, check_box));
        EXPECT_EQ(Take(dir.path()), before) << "check changed the folder";
        FirstButton repair_box;
        EXPECT_FALSE(RepairFirstPiece(dir / (c.series + ".m00"), display, repair_box));
        EXPECT_EQ(Take(dir.path()), before) << "repair changed the folder";
        EXPECT_EQ(repair_box.kinds, std::vector<MsgKind>{MsgKind::kRefusal});
    }
}

#ifndef _WIN32
// Puts a folder back to a snapshot: every entry, bytes and permission bits.
void Restore(const std::string& folder, const Snapshot& snap) {
    for (const auto& entry : fs::directory_iterator(fs::u8path(folder))) {
        fs::remove_all(entry.path());
    }
    for (const auto& [name, content] : snap) {
        const size_t mode_at = content.rfind(" mode ");
        const std::string bytes = content.substr(0, mode_at);
        const std::string path = folder + "/" + name;
        WriteBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
        fs::permissions(fs::u8path(path), fs::perms(std::stoi(content.substr(mode_at + 6))));
    }
}

// The next run's undo, faulted at its call target: failed once, failed from then on, or ended.
struct UndoFault {
    enum class Act { kCount, kFailOnce, kFailAlways, kEnd } act = Act::kCount;
    int target = 0;
    int calls = 0;
};
Fault AtUndoCall(FileOp, const std::string&, int64_t, int32_t, void* context) {
    auto& fault = *static_cast<UndoFault*>(context);
    const int call = ++fault.calls;
    switch (fault.act) {
        case UndoFault::Act::kFailOnce:
            return call == fault.target ? Fault::kDeviceIo : Fault::kNone;
        case UndoFault::Act::kFailAlways:
            return call >= fault.target ? Fault::kDeviceIo : Fault::kNone;
        case UndoFault::Act::kEnd:
            if (call == fault.target) {
                ::_exit(9);
            }
            return Fault::kNone;
        case UndoFault::Act::kCount:
            break;
    }
    return Fault::kNone;
}

// A run that takes the key's lock and settles what it finds, with the fault given.
void NextRun(const Case& c, const std::string& key, UndoFault* fault) {
    FileLock lock = TakeWriteLock(key);
    if (fault) {
        SetFileFaultHook(AtUndoCall, fault);
    }
    SettleInterrupted(c.series ? ResultNames::Series(key) : ResultNames::Single(key));
    SetFileFaultHook(nullptr, nullptr);
    lock.Release();
}

// A commit ended at each of its steps, then the next run's undo failed once, failed for good or
// ended at each of its own steps, then a third run: the older files or the new, every time.
TEST(Commit, AnUndoFaultedAtEveryStepLosesNothing) {
    for (const Case& c : {kCases[0], kCases[2]}) {
        SCOPED_TRACE(c.name);
        Snapshot old_files;
        {
            TempDir dir;
            c.setup(dir);
            old_files = Take(dir.path());
        }
        Sweep count;
        const auto [new_files, counted] = RunWith(c, count);
        ASSERT_TRUE(counted && *counted);
        for (int n = 1; n <= count.calls; ++n) {
            TempDir dir;
            auto request = c.setup(dir);
            const pid_t child = ::fork();
            if (child == 0) {
                Sweep sweep;
                sweep.act = Act::kEnd;
                sweep.target = n;
                StopWhenAsked display(sweep);
                FirstButton box;
                SetFileFaultHook(AtCall, &sweep);
                request(display, box);
                ::_exit(0);
            }
            int status = 0;
            ::waitpid(child, &status, 0);
            const Snapshot killed = Take(dir.path());
            const std::string key = dir / c.key;
            UndoFault counter;
            NextRun(c, key, &counter);
            const int undo_calls = counter.calls;
            for (int m = 1; m <= undo_calls; ++m) {
                for (const auto act : {UndoFault::Act::kFailOnce, UndoFault::Act::kFailAlways,
                                       UndoFault::Act::kEnd}) {
                    SCOPED_TRACE("ended at " + std::to_string(n) + ", the undo faulted at " +
                                 std::to_string(m) + " by " + std::to_string(int(act)));
                    Restore(dir.path(), killed);
                    UndoFault fault{act, m, 0};
                    if (act == UndoFault::Act::kEnd) {
                        const pid_t undo = ::fork();
                        if (undo == 0) {
                            NextRun(c, key, &fault);
                            ::_exit(0);
                        }
                        ::waitpid(undo, &status, 0);
                    } else {
                        NextRun(c, key, &fault);
                    }
                    NextRun(c, key, nullptr);
                    TakeWriteLock(dir / "f.m00").Release();
                    const Snapshot after = Take(dir.path());
                    EXPECT_TRUE(after == old_files || after == new_files)
                        << "neither the old files nor the new: " << Names(after);
                }
            }
        }
    }
}
#endif

TEST(Commit, AFaultAtEveryStepLeavesTheOldFilesOrTheNew) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Snapshot old_files;
        {
            TempDir dir;
            c.setup(dir);
            old_files = Take(dir.path());
        }
        Sweep count;
        const auto [new_files, counted] = RunWith(c, count);
        ASSERT_TRUE(counted && *counted);
        ASSERT_NE(new_files, old_files);
        ASSERT_GT(count.calls, 5) << "the commit's steps were not seen";
        std::vector<Act> acts = {Act::kFail, Act::kStop};
#ifndef _WIN32
        acts.push_back(Act::kEnd);
#endif
        for (int n = 1; n <= count.calls; ++n) {
            for (const Act act : acts) {
                SCOPED_TRACE("call " + std::to_string(n) + " act " + std::to_string(int(act)));
                Sweep sweep;
                sweep.act = act;
                sweep.target = n;
                const auto [after, done] = RunWith(c, sweep);
                const bool is_new = after == new_files;
                EXPECT_TRUE(is_new || after == old_files)
                    << "neither the old files nor the new: " << Names(after);
                if (done) {
                    EXPECT_EQ(*done, is_new) << "the run said the opposite of what it did";
                }
                if (act == Act::kStop) {
                    EXPECT_TRUE(is_new) << "a stop during the commit waits for it";
                }
            }
        }
    }
}

}  // namespace
}  // namespace tessarel
