// frmMain on Windows: the main window made of Windows' common controls, built from the same
// design as the Qt window. What it does is MainController's; this is the plumbing: controls made
// and placed, their messages handed on, and the controls set or read when the controller asks.
#pragma once

#include "win/win_controls.h"

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "control/background_operation.h"
#include "control/main_controller.h"
#include "platform/file_dialog.h"
#include "win/taskbar_progress.h"

namespace tessarel {

class WinMainWindow : private MainView, private UiThread {
  public:
    // Message boxes go through message_box; the window makes its own when given none.
    explicit WinMainWindow(MessageBox* message_box = nullptr);
    ~WinMainWindow() override;
    WinMainWindow(const WinMainWindow&) = delete;
    WinMainWindow& operator=(const WinMainWindow&) = delete;

    HWND hwnd() const { return window_; }
    // For its window procedure (WindowProcOf).
    void Attach(HWND window) { window_ = window; }
    LRESULT Handle(UINT message, WPARAM w, LPARAM l);
    // The control the design calls name.
    HWND Control(const std::string& name) const;
    void Show(int show = SW_SHOWNORMAL);

    // Sets the window up for a file handed to the program (its command line, a drop).
    void OpenFile(const std::string& path, bool split = false) {
        controller_->OpenFile(path, split);
    }
    bool operating() const { return controller_->operating(); }
    int go_requests_done() const { return controller_->go_requests_done(); }
    void SetFileDialog(std::unique_ptr<FileDialog> dialog);
    void SetBeep(std::function<void()> beep) { beep_ = std::move(beep); }
    MainController& controller() { return *controller_; }

    // Before a message of the loop is dispatched: true when it was dealt with (Escape while a
    // request runs, the arrow keys in an option group, or a dialog key).
    bool PreTranslate(MSG& message);
    // The program's message loop, until the window is gone.
    int RunMessageLoop();

    // The size entry's menu, at the point a WM_CONTEXTMENU gives (-1: from the keyboard).
    void ShowSizeMenu(HWND edit, LPARAM where);  // win/main_window_input.cpp
    // A text field's message, before the field sees it: false drops it (a locked field, a
    // refused character or paste).
    bool FieldTakes(HWND field, UINT message, WPARAM w);

  private:
    void BuildControls();                           // win/main_window_layout.cpp
    void WireFields();                              // win/main_window_fields.cpp
    void Layout();                                  // win/main_window_layout.cpp
    void DrawGoButton(const DRAWITEMSTRUCT& item);  // win/main_window_layout.cpp
    // The title's colours: the design's blue, readable on the theme's face.
    static LRESULT TitleColours(HDC dc);  // win/main_window_layout.cpp
    void Form_Load();
    // Chooses an option in its group, as a click on it does.
    void ChooseOption(const std::string& name);
    std::string NameOf(HWND control) const;

    // MainView
    std::string Text(const char* name) const override;
    void SetText(const char* name, const std::string& text) override;
    bool Checked(const char* name) const override;
    void Check(const char* name) override { ChooseOption(name); }
    void SetEnabled(const char* name, bool enabled) override;
    void SetVisible(const char* name, bool visible) override;
    void SetLocked(const char* name, bool locked) override;
    void SetProgress(int percent) override;
    void ShowTaskProgress(TaskProgress state, int percent) override;
    void Describe(const char* name, const std::string& text) override;
    void Announce(const char* name, const std::string& text) override;
    void Repaint() override;
    void PlayClip(bool playing) override;
    bool OpenClip(const std::string& path) override;
    void SetSpinnerStep(int step) override;
    std::string Focused() const override { return NameOf(GetFocus()); }
    void Focus(const char* name) override;
    void Beep() override { beep_(); }
    void ShowAbout() override;
    void ShowHelp() override;
    void Close() override { DestroyWindow(window_); }

    // UiThread
    void Post(std::function<void()> work) override;
    void Send(std::function<void()> work) override;
    void RunPending() override;

    HWND window_ = nullptr;
    int dpi_ = 96;
    std::map<std::string, HWND> controls_;
    std::map<int, std::string> names_;  // by command id
    std::set<HWND> locked_;             // text fields no route may change
    bool setting_ = false;              // the window itself changes a field's text
    std::unique_ptr<WinMessageBox> own_box_;
    MessageBox* msg_;
    std::unique_ptr<FileDialog> dlgFile_;
    std::function<void()> beep_;
    std::unique_ptr<MainController> controller_;
    std::unique_ptr<TaskbarProgress> taskbar_;
    HICON icon_ = nullptr;
    HICON go_picture_ = nullptr;
    HICON go_picture_greyed_ = nullptr;
};

}  // namespace tessarel
