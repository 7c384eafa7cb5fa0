// frmAbout on Windows: the labels of the design filled from the application's information, and
// System Info, which starts the tool the registry names.
#pragma once

#include "win/win_controls.h"

#include <map>
#include <string>

namespace tessarel {

class WinAboutWindow {
  public:
    WinAboutWindow(HWND owner, MessageBox& message_box);
    ~WinAboutWindow();
    HWND hwnd() const { return window_; }
    // For its window procedure (WindowProcOf).
    void Attach(HWND window) { window_ = window; }
    LRESULT Handle(UINT message, WPARAM w, LPARAM l);
    HWND Control(const std::string& name) const;
    void RunModal();
    void StartSysInfo();

  private:
    void Form_Load();

    HWND window_ = nullptr;
    HWND owner_;
    MessageBox& msg_;
    std::map<std::string, HWND> controls_;
    HICON icon_ = nullptr;
};

}  // namespace tessarel
