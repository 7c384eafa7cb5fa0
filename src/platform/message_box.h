// The program's message box: prompt, style number and title in, the number of the pressed
// button out. Style and answer numbers follow the classic Windows message-box convention,
// which the error handling and the Go command are written against.
#pragma once

#include <string>
#include <vector>

namespace tessarel {

enum MsgAnswer : int {
    kAnswerOk = 1,
    kAnswerCancel = 2,
    kAnswerAbort = 3,
    kAnswerRetry = 4,
    kAnswerIgnore = 5,
    kAnswerYes = 6,
    kAnswerNo = 7,
};

enum MsgStyle : int {
    kStyleOkOnly = 0,
    kStyleOkCancel = 1,
    kStyleAbortRetryIgnore = 2,
    kStyleYesNoCancel = 3,
    kStyleYesNo = 4,
    kStyleRetryCancel = 5,
    kStyleCritical = 16,
    kStyleQuestion = 32,
    kStyleExclamation = 48,
    kStyleInformation = 64,
    kStyleDefaultButton2 = 256,
    kStyleDefaultButton3 = 512,
};

enum class MsgIcon { None, Critical, Question, Exclamation, Information };

// What a style number asks for: the icon, the buttons in order (as answer numbers), which
// button is the default, and what Escape answers (0 when Escape does nothing).
struct MsgLayout {
    MsgIcon icon = MsgIcon::None;
    std::vector<int> buttons;
    int default_index = 0;
    int escape_answer = 0;
};

MsgLayout LayoutOfStyle(int style);

// The caption a button of the given answer number carries, with its access key.
const char* ButtonCaption(int answer);

class MessageBox {
  public:
    virtual ~MessageBox() = default;
    // Shows the message modally and returns the answer number of the pressed button.
    virtual int Show(const std::string& prompt, int style, const std::string& title) = 0;
};

}  // namespace tessarel
