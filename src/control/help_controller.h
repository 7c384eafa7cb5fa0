// The Help window's behaviour, below both front ends: which page is chosen, which topic is in
// front on each page (each page keeps the one it last showed), the topics at start, and Ctrl+Tab.
#pragma once

#include <array>

#include "design/windows_design.h"

namespace tessarel {

// What the controller asks of a Help window.
class HelpView {
  public:
    virtual ~HelpView() = default;
    // The page (from 0) is the chosen tab and the one shown; the others are hidden.
    virtual void ShowPage(int page) = 0;
    // A topic's selector is chosen and its text shown on its page when it is in front.
    virtual void ShowTopic(int topic, bool in_front) = 0;
};

class HelpController {
  public:
    explicit HelpController(HelpView& view) : view_(view) {}

    // The window's state at start: the first page, each page's start topic in front.
    void Load();
    // A tab was chosen (from 0), a topic's selector chosen, Ctrl+Tab (forward) or Ctrl+Shift+Tab.
    void TabChosen(int page);
    void TopicChosen(int topic);
    void NextTab(bool forward);

    int page() const { return page_; }
    int front(int page) const { return front_[static_cast<size_t>(page)]; }

  private:
    void Show();

    HelpView& view_;
    int page_ = 0;
    std::array<int, kHelpPageCount> front_{};
};

}  // namespace tessarel
