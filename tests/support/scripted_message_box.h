// A message box that answers from a script and remembers what it was asked.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <ostream>
#include <string>
#include <vector>

#include "platform/message_box.h"

namespace tessarel {

inline std::ostream& operator<<(std::ostream& out, const MsgStyle& style) {
    return out << "style " << StyleNumber(style);
}

struct ShownMessage {
    std::string prompt;
    MsgStyle style;
    std::string title;
    MsgKind kind;
    std::string file;
};

class ScriptedMessageBox : public MessageBox {
  public:
    ScriptedMessageBox() = default;
    ScriptedMessageBox(std::initializer_list<MsgAnswer> answers) : answers_(answers) {}

    void Answer(MsgAnswer answer) { answers_.push_back(answer); }

    MsgAnswer Show(const Notice& notice) override {
        shown.push_back({notice.prompt, notice.style, notice.title, notice.kind, notice.file});
        if (answers_.empty()) {
            ADD_FAILURE() << "unexpected message: " << notice.prompt;
            return kAnswerCancel;
        }
        const MsgAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

    size_t Unanswered() const { return answers_.size(); }
    std::vector<std::string> Prompts() const {
        std::vector<std::string> prompts;
        for (const ShownMessage& m : shown) {
            prompts.push_back(m.prompt);
        }
        return prompts;
    }

    std::vector<ShownMessage> shown;

  private:
    std::deque<MsgAnswer> answers_;
};

}  // namespace tessarel
