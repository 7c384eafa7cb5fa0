// The main window's rules with a fake window (no display) and a fake window thread: the request
// runs on its own thread as in the program, and the test's thread plays the window's.
#include "control/main_controller.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>

#include "control/help_controller.h"
#include "control/messages.h"
#include "platform/file.h"
#include "support/temp_dir.h"

namespace tessarel {
namespace {

class FakeWindowThread : public UiThread {
  public:
    void Post(std::function<void()> work) override {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(work));
    }
    void Send(std::function<void()> work) override {
        bool done = false;
        Post([&] {
            work();
            std::lock_guard<std::mutex> lock(mutex_);
            done = true;
            ran_.notify_all();
        });
        std::unique_lock<std::mutex> lock(mutex_);
        ran_.wait(lock, [&] { return done; });
    }
    void RunPending() override {
        std::deque<std::function<void()>> now;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            now.swap(queue_);
        }
        for (auto& work : now) {
            work();
        }
    }
    // Runs the window's side until done holds, or fails after a deadline.
    bool Until(const std::function<bool()>& done) {
        for (int i = 0; i < 20000 && !done(); ++i) {
            RunPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done();
    }

  private:
    std::mutex mutex_;
    std::condition_variable ran_;
    std::deque<std::function<void()>> queue_;
};

class FakeView : public MainView {
  public:
    std::string Text(const char* name) const override {
        const auto found = text.find(name);
        return found == text.end() ? "" : found->second;
    }
    void SetText(const char* name, const std::string& value) override { text[name] = value; }
    bool Checked(const char* name) const override { return checked.count(name) > 0; }
    void Check(const char*) override {}
    void SetEnabled(const char* name, bool on) override { enabled[name] = on; }
    void SetVisible(const char* name, bool on) override { visible[name] = on; }
    void SetLocked(const char* name, bool on) override { locked[name] = on; }
    void SetProgress(int percent) override { progress = percent; }
    void ShowTaskProgress(TaskProgress state, int percent) override {
        task = state;
        EXPECT_EQ(percent, progress) << "the taskbar shows the bar's own figure";
    }
    void Describe(const char*, const std::string&) override {}
    void Announce(const char*, const std::string& said) override { announced = said; }
    void Repaint() override {}
    void PlayClip(bool) override {}
    bool OpenClip(const std::string&) override { return false; }
    void SetSpinnerStep(int) override {}
    std::string Focused() const override { return focused; }
    void Focus(const char*) override {}
    void Beep() override { ++beeps; }
    void ShowAbout() override {}
    void ShowHelp() override {}
    void Close() override {}

    std::map<std::string, std::string> text;
    std::string focused;
    std::set<std::string> checked = {"optSplit", "optExact"};
    std::map<std::string, bool> enabled, visible, locked;
    int progress = -1;
    TaskProgress task = TaskProgress::kHidden;
    int beeps = 0;
    std::string announced;
};

class NoDialog : public FileDialog {
  public:
    void ShowOpen() override { started_in = folder; }
    void ShowSave() override { started_in = folder; }
    std::string started_in;
};

// Answers on the window's thread; a hand may act while a question is up.
class Box : public MessageBox {
  public:
    MsgAnswer Show(const Notice& notice) override {
        kinds.push_back(notice.kind);
        if (while_up) {
            while_up(notice.kind);
        }
        if (notice.kind == MsgKind::kStop) {
            return stop_answer;
        }
        return LayoutOf(notice.style).buttons.front();  // OK, Yes
    }
    std::vector<MsgKind> kinds;
    MsgAnswer stop_answer = kAnswerYes;
    std::function<void(MsgKind)> while_up;
};

// Holds every write of the split until released.
struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    int writes = 0;
    bool fail_once = false;
    Fault fault = Fault::kDiskFull;
};
Fault HeldWrites(FileOp op, const std::string&, int64_t, int32_t, void* context) {
    auto& gate = *static_cast<Gate*>(context);
    if (op != FileOp::Write) {
        return Fault::kNone;
    }
    std::unique_lock<std::mutex> lock(gate.mutex);
    ++gate.writes;
    if (gate.fail_once) {
        gate.fail_once = false;
        return gate.fault;
    }
    gate.opened.wait(lock, [&] { return gate.open; });
    return Fault::kNone;
}

class MainControllerTest : public testing::Test {
  protected:
    void SetUp() override {
        WriteBytes(dir / "f", Pattern(5000));
        view.text = {{"txtOpen", "f"}, {"txtSave", "s"}, {"txtExact", "1000"}};
        SetFileFaultHook(HeldWrites, &gate);
    }
    void TearDown() override {
        Release();
        ui.Until([&] { return !controller.operating(); });
        SetFileFaultHook(nullptr, nullptr);
    }
    void Release() {
        std::lock_guard<std::mutex> lock(gate.mutex);
        gate.open = true;
        gate.opened.notify_all();
    }
    bool Writing() {
        std::lock_guard<std::mutex> lock(gate.mutex);
        return gate.writes > 0;
    }
    int Ended() const { return controller.go_requests_done(); }

    TempDir dir;
    Gate gate;
    FakeView view;
    Box box;
    FakeWindowThread ui;
    NoDialog dialog;
    MainController controller{view, box, ui, dialog, dir.path()};
};

// Go twice before it starts is one request; names typed bare are in the start folder; every
// field is locked while it runs, and only Cancel works.
TEST_F(MainControllerTest, OneRequestLockedWhileItRunsInTheStartFolder) {
    view.progress = 55;  // the last run's bar
    controller.Clicked("cmdGo");
    controller.Clicked("cmdGo");
    ASSERT_TRUE(ui.Until([&] { return Writing(); }));
    EXPECT_EQ(view.progress, 0) << "the bar starts empty";
    EXPECT_TRUE(view.locked["txtOpen"] && view.locked["txtSave"] && view.locked["txtExact"]);
    EXPECT_FALSE(view.enabled["cmdGo"]);
    controller.Clicked("cmdGo");
    controller.Clicked("optJoin");
    Release();
    ASSERT_TRUE(ui.Until([&] { return Ended() == 1 && !controller.operating(); }));
    EXPECT_EQ(Ended(), 1);
    EXPECT_FALSE(view.locked["txtOpen"]);
    EXPECT_EQ(view.text["txtSave"], dir / "s.m00");
    EXPECT_TRUE(InfoOf(dir / "s.m04").exists());
    EXPECT_EQ(box.kinds, (std::vector<MsgKind>{MsgKind::kConfirmation}));
}

// The progress outside the window (taskbar, launcher) runs with the bar, waits while a question
// is up, shows a failure while its message is up, and goes when the request ends.
TEST_F(MainControllerTest, TheTaskbarWaitsWithEveryQuestionAndShowsAFailure) {
    std::vector<std::pair<MsgKind, TaskProgress>> seen;
    box.while_up = [&](MsgKind kind) {
        seen.emplace_back(kind, view.task);
        if (kind == MsgKind::kStop) {
            Release();
        }
    };
    box.stop_answer = kAnswerNo;
    controller.Clicked("cmdGo");
    ASSERT_TRUE(ui.Until([&] { return Writing(); }));
    EXPECT_EQ(view.task, TaskProgress::kRunning);
    controller.StopAsked();
    EXPECT_EQ(view.task, TaskProgress::kRunning) << "back once Stop? is answered No";
    ASSERT_TRUE(ui.Until([&] { return Ended() == 1; }));
    EXPECT_EQ(view.task, TaskProgress::kHidden);
    gate.writes = 0;
    gate.open = false;
    gate.fail_once = true;
    gate.fault = Fault::kDeviceIo;
    RemoveQuietly(dir / "s.sha256");
    controller.Clicked("cmdGo");
    ASSERT_TRUE(ui.Until([&] { return Ended() == 2; }));
    EXPECT_EQ(view.task, TaskProgress::kHidden);
    // Confirmation, Stop?, then the second run's confirmation, overwrite and its failure said
    // (the disk error, then that the operation was not carried out).
    ASSERT_GE(seen.size(), 5u);
    EXPECT_EQ(seen[1].first, MsgKind::kStop);
    bool failed = false;
    for (const auto& [kind, task] : seen) {
        failed = failed || kind == MsgKind::kDiskError;
        EXPECT_EQ(task, failed ? TaskProgress::kFailed : TaskProgress::kPaused) << int(kind);
    }
    EXPECT_TRUE(failed);
}

// Cancel asks once, however many hands ask meanwhile; the copy waits while the question is up;
// Yes stops with no failure said, No goes on.
TEST_F(MainControllerTest, CancelAsksOnceAndStopsWithoutAFailureMessage) {
    for (const MsgAnswer answer : {kAnswerNo, kAnswerYes}) {
        SCOPED_TRACE(answer);
        for (const char* name :
             {"s.m00", "s.m01", "s.m02", "s.m03", "s.m04", "s.m05", "s.sha256"}) {
            RemoveQuietly(dir / name);
        }
        box.kinds.clear();
        box.stop_answer = answer;
        const int before = Ended();
        controller.Clicked("cmdGo");
        ASSERT_TRUE(ui.Until([&] { return Writing(); }));
        box.while_up = [&](MsgKind kind) {
            if (kind == MsgKind::kStop) {
                controller.StopAsked();  // Escape, or the close box, while "Stop?" is up
                EXPECT_EQ(gate.writes, 1) << "the copy went on while Stop? was up";
                Release();
            }
        };
        controller.StopAsked();
        ASSERT_TRUE(ui.Until([&] { return Ended() > before; }));
        EXPECT_EQ(box.kinds, (std::vector<MsgKind>{MsgKind::kConfirmation, MsgKind::kStop}));
        EXPECT_EQ(InfoOf(dir / "s.m00").exists(), answer == kAnswerNo);
        gate.open = false;
        gate.writes = 0;
    }
}

// A stop asked while the operation's own question is up is that question's No: no second
// question over it, and no failure message after it.
TEST_F(MainControllerTest, AStopDuringAQuestionIsItsNo) {
    gate.fail_once = true;  // "Disk is full. Continue?"
    box.while_up = [&](MsgKind kind) {
        if (kind == MsgKind::kDiskFull) {
            controller.StopAsked();  // Escape, or the close box, while it is up
            Release();
        }
    };
    controller.Clicked("cmdGo");
    ASSERT_TRUE(ui.Until([&] { return Ended() == 1; }));
    EXPECT_EQ(box.kinds, (std::vector<MsgKind>{MsgKind::kConfirmation, MsgKind::kDiskFull}));
    EXPECT_FALSE(InfoOf(dir / "s.m00").exists());
}

// The file dialogs start where the field's name lies, else where the program was started.
TEST_F(MainControllerTest, TheDialogsStartWhereTheNameLies) {
    std::filesystem::create_directory(dir / "sub");
    const std::pair<const char*, std::string> cases[] = {
        {"", dir.path()}, {"sub/x.bin", dir / "sub"}, {"missing/x", dir.path()}};
    for (const auto& [named, folder] : cases) {
        view.text["txtOpen"] = named;
        controller.Clicked("cmdOpen");
        EXPECT_EQ(dialog.started_in, folder) << named;
    }
}

// The recovery choice holds for the window's splits; a join rebuilds what was lost and says so
// once, at its end.
TEST_F(MainControllerTest, RecoveryPiecesChosenOnceRebuildALostPiece) {
    Release();
    controller.ChooseRecovery(2);  // "2"
    controller.Clicked("cmdGo");
    ASSERT_TRUE(ui.Until([&] { return Ended() == 1; }));
    EXPECT_TRUE(InfoOf(dir / "s.r01").exists());
    RemoveQuietly(dir / "s.m03");
    view.checked = {"optJoin"};
    view.text["txtOpen"] = "s.m00";
    view.text["txtSave"] = "back";
    box.kinds.clear();
    controller.Clicked("cmdGo");
    ASSERT_TRUE(ui.Until([&] { return Ended() == 2; }));
    EXPECT_EQ(box.kinds, (std::vector<MsgKind>{MsgKind::kConfirmation, MsgKind::kInformation}));
    EXPECT_EQ(ReadBytes(dir / "back"), ReadBytes(dir / "f"));
    EXPECT_FALSE(InfoOf(dir / "s.m03").exists()) << "the user's pieces are left as they were";
}

TEST_F(MainControllerTest, SizeFieldsTakeDigitsTypedOrPasted) {
    const std::pair<int, bool> keys[] = {{'7', true}, {8, true}, {'x', false}, {' ', false}};
    for (const auto& [key, taken] : keys) {
        EXPECT_EQ(controller.TakesKey(key), taken) << key;
    }
    const struct {
        const char* text;
        size_t kept;
        bool taken;
    } pastes[] = {{"1400", 0, true}, {"1 000 000", 0, false}, {"abc", 0, false},  {"", 0, false},
                  {"12k", 0, false}, {"12345", 4, true},      {"12345", 5, false}};
    for (const auto& paste : pastes) {
        EXPECT_EQ(controller.TakesPaste(paste.text, paste.kept, 9), paste.taken) << paste.text;
    }
    EXPECT_EQ(view.beeps, 7);
}

// Return presses the focused command button, else Go, in both windows.
TEST_F(MainControllerTest, ReturnPressesTheFocusedCommandButtonElseGo) {
    const std::pair<const char*, const char*> cases[] = {{"cmdHelp", "cmdHelp"},
                                                         {"cmdGo", "cmdGo"},
                                                         {"txtOpen", "cmdGo"},
                                                         {"optJoin", "cmdGo"},
                                                         {"", "cmdGo"}};
    for (const auto& [focused, pressed] : cases) {
        view.focused = focused;
        EXPECT_EQ(controller.ReturnPresses(), pressed) << focused;
    }
}

// The Help window's rules: each page keeps the topic it last showed, and Ctrl+Tab goes round.
TEST(HelpControllerTest, PagesKeepTheirTopicAndTheTabKeysGoRound) {
    struct View : HelpView {
        int page = -1;
        std::set<int> in_front;
        void ShowPage(int p) override { page = p; }
        void ShowTopic(int topic, bool front) override {
            front ? (void)in_front.insert(topic) : (void)in_front.erase(topic);
        }
    } view;
    HelpController help(view);
    help.Load();
    EXPECT_EQ(view.page, 0);
    EXPECT_EQ(view.in_front, (std::set<int>{0, 2, 5, 7}));
    help.TopicChosen(3);
    help.NextTab(true);
    EXPECT_EQ(view.page, 1);
    help.NextTab(false);
    help.NextTab(false);
    EXPECT_EQ(view.page, 3);
    EXPECT_EQ(view.in_front, (std::set<int>{0, 3, 5, 7}));
}

}  // namespace
}  // namespace tessarel
