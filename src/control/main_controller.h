// What the main window does, written once below both window front ends (as PuTTY writes its
// dialogs' handlers once over each system's dlg_* calls): Go and its one-request rule, Cancel
// and its question, the lock while a request runs, the options' clicks, what shows while
// operating and when idle, the size fields' digits and pastes, the progress and spoken texts.
// A front end builds its controls from the design, hands every event here and sets or reads its
// controls when asked, through MainView, by the controls' design names.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "control/background_operation.h"
#include "control/time_left.h"
#include "engine/progress_display.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"

namespace tessarel {

// The progress a window shows outside itself, where users look for it while they do other
// things (the taskbar button on Windows, the launcher's icon on Linux).
enum class TaskProgress {
    kHidden,   // no request runs
    kRunning,  // a request runs: the percentage
    kPaused,   // it waits for an answer (Stop?, a full disk, a question of its own)
    kFailed,   // it failed; its message is up
};

// A window front end's controls, as the controller sees them: each by its design name.
// An item of the size fields' menu, after the edit box's own items. Recovery choices go in the
// submenu of the recovery item before them.
struct SizeMenuItem {
    enum class Kind { kSeparator, kMedium, kRecoveryMenu, kRecoveryChoice, kNumbered };
    Kind kind;
    std::string caption;  // "&" marks the access key
    int index = 0;        // of the medium (kMediaSizes) or the choice (kRecoveryChoices)
    bool checked = false;
};

class MainView {
  public:
    virtual ~MainView() = default;
    virtual std::string Text(const char* name) const = 0;
    virtual void SetText(const char* name, const std::string& text) = 0;
    virtual bool Checked(const char* name) const = 0;
    // Chooses an option of its group (the others go off) without a click coming back.
    virtual void Check(const char* name) = 0;
    virtual void SetEnabled(const char* name, bool enabled) = 0;
    virtual void SetVisible(const char* name, bool visible) = 0;
    // A text field that no route may put text into (typing, pasting, a screen reader).
    virtual void SetLocked(const char* name, bool locked) = 0;
    virtual void SetProgress(int percent) = 0;
    // Told with the bar's every change, and whenever the state changes.
    virtual void ShowTaskProgress(TaskProgress state, int percent) = 0;
    // What a screen reader says of a control (a counter's number, the bar's state).
    virtual void Describe(const char* name, const std::string& text) = 0;
    // Said to a screen reader once, as an alert.
    virtual void Announce(const char* name, const std::string& text) = 0;
    virtual void Repaint() = 0;
    virtual void PlayClip(bool playing) = 0;
    // The copy animation's clip from that file; false when it cannot be shown.
    virtual bool OpenClip(const std::string& path) = 0;
    virtual void SetSpinnerStep(int step) = 0;
    // The control with the keyboard focus, by name ("" when none of ours), and giving it.
    virtual std::string Focused() const = 0;
    virtual void Focus(const char* name) = 0;
    virtual void Beep() = 0;
    virtual void ShowAbout() = 0;
    virtual void ShowHelp() = 0;
    // Ends the window (the quit question has been answered Yes).
    virtual void Close() = 0;
};

class MainController : public ProgressDisplay {
  public:
    // start_folder: where names typed without a folder are taken, and where the file dialogs
    // start when their field names none.
    MainController(MainView& view, MessageBox& box, UiThread& ui, FileDialog& dialog,
                   std::string start_folder);
    ~MainController() override;

    // The window's state at start (Form_Load).
    void Load();
    // The window is on the screen for the first time: the focus goes to the chosen mode, so a
    // window opened on a piece does not sit on Split, where a Space would choose it.
    void Shown();
    // The session ends (a logout, SIGTERM, SIGHUP): a running request stops as Cancel then Yes
    // would stop it, leaving the disk as it was, and the window closes once it has, without
    // asking.
    void EndAsked();
    // A command button was pressed, however (a click, a key, a screen reader).
    void Clicked(const std::string& name);
    // An option became the chosen one of its group (its Click).
    void OptionChosen(const std::string& name);
    // Cancel, Escape, the close box or Alt+F4 while a request runs: the one "Stop?" question.
    void StopAsked();
    // The close box, Alt+F4 or Exit: true when the window may close now.
    bool CloseAsked();
    // A character typed into a size field: false refuses it (with a beep).
    bool TakesKey(int character);
    // Text pasted into a size field that keeps kept characters of its own and holds at most
    // limit: all of it goes in or, with a beep, none (false), never cut to another number.
    bool TakesPaste(const std::string& text, size_t kept, size_t limit);
    // Escape anywhere: Cancel while a request runs, Exit otherwise.
    void EscapePressed();
    // The button Return presses: the focused command button, else Go.
    std::string ReturnPresses() const;
    // Files may be dragged onto the window: not while a request runs.
    bool TakesDrops() const { return !operating(); }
    // The size fields' menu as it is now, and one of its items chosen.
    std::vector<SizeMenuItem> SizeMenuItems() const;
    void SizeMenuChosen(const SizeMenuItem& item);
    // A medium chosen from the size fields' menu.
    void ChooseMediaSize(int index);
    // A choice of recovery pieces from that menu (kRecoveryChoices): it holds for every split
    // until the window closes.
    void ChooseRecovery(int index);
    int recovery_choice() const { return recovery_choice_; }
    // Plain numbered pieces chosen from that menu, or no longer: it holds for every split.
    void ToggleNumbered() {
        if (!operating()) {
            numbered_ = !numbered_;
        }
    }
    bool numbered() const { return numbered_; }
    // A file handed to the window (its command line, a drop); dropped ones are checked first.
    void OpenFile(const std::string& path, bool split = false);
    void Dropped(const std::vector<std::string>& paths);

    bool operating() const { return operation_.running(); }
    // While a request runs, no control but Cancel takes input, however it comes.
    void LockInput(bool locked);
    void SetFileDialog(FileDialog& dialog) { dialog_ = &dialog; }
    int go_requests_done() const { return go_requests_done_; }

    // ProgressDisplay, on the window's thread.
    void ShowTotal(int64_t count) override;
    void ShowOperating() override;
    void ShowPiece(int64_t k) override;
    void SetProgress(float percent) override;
    void ShowBytes(int64_t done, int64_t total) override;
    void ShowIdle() override;
    void ShowReadingBack(bool reading) override;

  private:
    // The window's message box as the operation sees it: while a notice of the operation's is
    // up, the progress outside the window says it waits (or failed).
    class OperationBox : public MessageBox {
      public:
        explicit OperationBox(MainController& owner) : owner_(owner) {}
        MsgAnswer Show(const Notice& notice) override;

      private:
        MainController& owner_;
    };

    void Go();
    void ShowTask(TaskProgress state);
    void RequestEnded(bool done);
    void ApplyEnableRules();
    void ChooseFile(bool open);
    bool reading_back_ = false;  // the bar counts what is read back from the medium
    void Describe();

    MainView& view_;
    MessageBox& box_;
    UiThread& ui_;
    FileDialog* dialog_;
    std::string start_folder_;
    OperationBox operation_box_{*this};
    BackgroundOperation operation_;
    bool go_pending_ = false;
    bool split_running_ = false;
    bool asking_to_stop_ = false;
    bool close_when_ended_ = false;
    std::string focus_before_;
    int go_requests_done_ = 0;
    int percent_ = 0;
    TaskProgress task_ = TaskProgress::kHidden;
    int recovery_choice_ = 0;
    bool numbered_ = false;
    TimeLeft time_left_;
    double started_ = 0;
};

// Seconds on a steady clock, for the rate and the time left.
double SecondsNow();

// Where names typed without a folder are taken: the folder the program was started in, unless
// that is the program's own (or the root), as when a menu or a file manager starts it: then the
// user's documents.
std::string StartFolder(const std::string& current, const std::string& program_folder,
                        const std::string& documents);

// A size field's whole text as it may be: digits only (or nothing).
bool IsSizeText(const std::string& text);

}  // namespace tessarel
