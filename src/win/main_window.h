// frmMain on Windows: the main window made of Windows' common controls, read from the same
// design as the Qt window, running the same Go command; the operation runs on a thread of its
// own (BackgroundOperation) and the window drops all input but Cancel meanwhile.
#pragma once

#include "win/win_controls.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "control/background_operation.h"
#include "control/time_left.h"
#include "engine/progress_display.h"
#include "platform/file_dialog.h"

namespace tessarel {

class WinMainWindow : public ProgressDisplay, private UiThread {
  public:
    // Message boxes go through message_box; the window makes its own when given none.
    explicit WinMainWindow(MessageBox* message_box = nullptr);
    ~WinMainWindow() override;
    WinMainWindow(const WinMainWindow&) = delete;
    WinMainWindow& operator=(const WinMainWindow&) = delete;

    HWND hwnd() const { return window_; }
    // The control the design calls name.
    HWND Control(const std::string& name) const;
    void Show(int show = SW_SHOWNORMAL);

    // Sets the window up for a file handed to the program (its command line, a drop).
    void OpenFile(const std::string& path);
    bool operating() const;
    int go_requests_done() const { return go_requests_done_; }
    void SetFileDialog(std::unique_ptr<FileDialog> dialog) { dlgFile_ = std::move(dialog); }
    void SetBeep(std::function<void()> beep) { beep_ = std::move(beep); }

    // Before a message of the loop is dispatched: true when it was dealt with (dropped while
    // an operation runs, or handled as a dialog key).
    bool PreTranslate(MSG& message);
    // The program's message loop, until the window is gone.
    int RunMessageLoop();

    // The size entry's menu, at the point a WM_CONTEXTMENU gives (-1: from the keyboard).
    void ShowSizeMenu(HWND edit, LPARAM where);

    // ProgressDisplay, on the window's thread.
    void ShowTotal(int64_t count) override;
    void ShowOperating() override;
    void ShowPiece(int64_t k) override;
    void SetProgress(float percent) override;
    void ShowBytes(int64_t done, int64_t total) override;
    void ShowIdle() override;

  private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT Handle(UINT message, WPARAM w, LPARAM l);
    void BuildControls();
    void Layout();
    void Form_Load();
    bool Form_Unload();  // true when the window may close
    void Clicked(const std::string& name);
    void ChooseOption(const std::string& name);
    void ApplyEnableRules();
    void cmdGo_Click();
    // The request Go started has ended; done when it was carried out.
    void RequestEnded(bool done);
    // While a request runs, no control but Cancel takes input, however it comes.
    void LockInput(bool locked);
    void cmdCancel_Click();
    void cmdOpen_Click();
    void cmdSave_Click();
    void DrawGoButton(const DRAWITEMSTRUCT& item);
    bool Checked(const char* name) const;
    std::string Text(const char* name) const;
    void SetText(const char* name, const std::string& text);

    void Post(std::function<void()> work) override;
    void Send(std::function<void()> work) override;
    void RunPending() override;

    HWND window_ = nullptr;
    int dpi_ = 96;
    std::map<std::string, HWND> controls_;
    std::map<int, std::string> names_;  // by command id
    std::unique_ptr<WinMessageBox> own_box_;
    MessageBox* msg_;
    std::unique_ptr<FileDialog> dlgFile_;
    std::function<void()> beep_;
    std::unique_ptr<BackgroundOperation> operation_;
    bool go_pending_ = false;
    bool split_running_ = false;
    HWND focus_before_ = nullptr;  // where the focus was when Go was pressed
    bool asking_to_stop_ = false;
    int go_requests_done_ = 0;
    HICON icon_ = nullptr;
    HICON go_picture_ = nullptr;
    TimeLeft time_left_;
    DWORD started_ = 0;
};

}  // namespace tessarel
