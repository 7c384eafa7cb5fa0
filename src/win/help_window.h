// frmHelp on Windows: four tabs of help topics from the same design and texts as on Linux. Only
// the chosen page and its topic in front are shown, so Tab reaches nothing hidden.
#pragma once

#include "control/help_controller.h"
#include "win/win_controls.h"

#include <array>

namespace tessarel {

class WinHelpWindow : private HelpView {
  public:
    explicit WinHelpWindow(HWND owner);
    ~WinHelpWindow();
    HWND hwnd() const { return window_; }
    // For its window procedure (WindowProcOf).
    void Attach(HWND window) { window_ = window; }
    LRESULT Handle(UINT message, WPARAM w, LPARAM l);
    void RunModal();

    // A click on tab k (from 1), and on a topic's selector.
    void SelectTab(int k) { controller_.TabChosen(k - 1); }
    void SelectTopic(int topic) { controller_.TopicChosen(topic); }
    int selected_tab() const { return controller_.page() + 1; }
    int front_topic(int page) const { return controller_.front(page); }
    // Ctrl+Tab and Ctrl+Shift+Tab, from anywhere in the window.
    bool TakeTabKeys(const MSG& message);

    HWND tbsHelp = nullptr;
    std::array<HWND, kHelpTopicCount> optOv{};
    std::array<HWND, kHelpTopicCount> fraOv{};
    std::array<HWND, kHelpTopicCount> lblOv{};
    std::array<HWND, kHelpTopicCount> txtHelp{};

  private:
    void ShowPage(int page) override;
    void ShowTopic(int topic, bool in_front) override;

    HWND window_ = nullptr;
    HWND owner_;
    int dpi_ = 96;
    HBRUSH yellow_ = nullptr;
    HelpController controller_{*this};
};

}  // namespace tessarel
