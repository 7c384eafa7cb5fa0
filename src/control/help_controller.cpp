#include "control/help_controller.h"

namespace tessarel {

void HelpController::Load() {
    for (int j = 0; j < kHelpTopicCount; ++j) {
        if (kHelpTopics[j].on_at_start) {
            front_[static_cast<size_t>(kHelpTopics[j].page)] = j;
        }
    }
    page_ = 0;
    Show();
}

void HelpController::TabChosen(int page) {
    if (page < 0 || page >= kHelpPageCount) {
        return;
    }
    page_ = page;
    Show();
}

void HelpController::TopicChosen(int topic) {
    if (topic < 0 || topic >= kHelpTopicCount) {
        return;
    }
    front_[static_cast<size_t>(kHelpTopics[topic].page)] = topic;
    Show();
}

void HelpController::NextTab(bool forward) {
    TabChosen((page_ + (forward ? 1 : kHelpPageCount - 1)) % kHelpPageCount);
}

void HelpController::Show() {
    view_.ShowPage(page_);
    for (int j = 0; j < kHelpTopicCount; ++j) {
        view_.ShowTopic(j, front_[static_cast<size_t>(kHelpTopics[j].page)] == j);
    }
}

}  // namespace tessarel
