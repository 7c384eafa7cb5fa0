// A message box that answers from a script and remembers what it was asked.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "platform/message_box.h"

namespace tessarel {

struct ShownMessage {
    std::string prompt;
    int style;
    std::string title;
};

class ScriptedMessageBox : public MessageBox {
  public:
    ScriptedMessageBox() = default;
    ScriptedMessageBox(std::initializer_list<int> answers) : answers_(answers) {}

    void Answer(int answer) { answers_.push_back(answer); }

    int Show(const std::string& prompt, int style, const std::string& title) override {
        shown.push_back({prompt, style, title});
        if (answers_.empty()) {
            ADD_FAILURE() << "unexpected message: " << prompt;
            return kAnswerCancel;
        }
        const int answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

    size_t Unanswered() const { return answers_.size(); }

    std::vector<ShownMessage> shown;

  private:
    std::deque<int> answers_;
};

}  // namespace tessarel
