// frmHelp on Windows: four tabs of help topics from the same design and texts as on Linux. Only
// the chosen page and its topic in front are shown, so Tab reaches nothing hidden.
#pragma once

#include "win/win_controls.h"

#include <array>

namespace tessarel {

class WinHelpWindow {
  public:
    explicit WinHelpWindow(HWND owner);
    ~WinHelpWindow();
    HWND hwnd() const { return window_; }
    // For its window procedure (WindowProcOf).
    void Attach(HWND window) { window_ = window; }
    LRESULT Handle(UINT message, WPARAM w, LPARAM l);
    void RunModal();

    // tbsHelp_Click for tab k (from 1), and optOv_Click for a topic.
    void SelectTab(int k);
    void SelectTopic(int topic);
    int selected_tab() const { return tab_; }
    int front_topic(int page) const { return front_[static_cast<size_t>(page)]; }

    HWND tbsHelp = nullptr;
    std::array<HWND, kHelpTopicCount> optOv{};
    std::array<HWND, kHelpTopicCount> fraOv{};
    std::array<HWND, kHelpTopicCount> lblOv{};
    std::array<HWND, kHelpTopicCount> txtHelp{};

  private:
    void Show();  // what the chosen tab and topics say is shown, the rest hidden

    HWND window_ = nullptr;
    HWND owner_;
    int dpi_ = 96;
    int tab_ = 1;
    std::array<int, kHelpPageCount> front_{};
    HBRUSH yellow_ = nullptr;
};

}  // namespace tessarel
