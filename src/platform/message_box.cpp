#include "platform/message_box.h"

namespace tessarel {
namespace {

constexpr int kIconNumbers[] = {0, 16, 32, 48, 64};  // in the order of MsgIcon
constexpr int kDefaultButtonUnit = 256;

}  // namespace

int StyleNumber(MsgStyle style) {
    return static_cast<int>(style.buttons) + kIconNumbers[static_cast<int>(style.icon)] +
           style.default_button * kDefaultButtonUnit;
}

MsgStyle StyleOfNumber(int number) {
    MsgStyle style;
    const int buttons = number & 0x0F;
    style.buttons = buttons <= static_cast<int>(MsgButtons::kRetryCancel)
                        ? static_cast<MsgButtons>(buttons)
                        : MsgButtons::kOk;
    style.icon = MsgIcon::None;
    for (int i = 0; i < 5; ++i) {
        if ((number & 0x70) == kIconNumbers[i]) {
            style.icon = static_cast<MsgIcon>(i);
        }
    }
    style.default_button = (number & 0x300) >> 8;
    return style;
}

MsgLayout LayoutOf(MsgStyle style) {
    MsgLayout layout;
    switch (style.buttons) {
        case MsgButtons::kOkCancel:
            layout.buttons = {kAnswerOk, kAnswerCancel};
            layout.escape_answer = kAnswerCancel;
            break;
        case MsgButtons::kAbortRetryIgnore:
            // No Cancel and no No: Escape must not pick one of these for the user.
            layout.buttons = {kAnswerAbort, kAnswerRetry, kAnswerIgnore};
            break;
        case MsgButtons::kYesNoCancel:
            layout.buttons = {kAnswerYes, kAnswerNo, kAnswerCancel};
            layout.escape_answer = kAnswerCancel;
            break;
        case MsgButtons::kYesNo:
            layout.buttons = {kAnswerYes, kAnswerNo};
            layout.escape_answer = kAnswerNo;
            break;
        case MsgButtons::kRetryCancel:
            layout.buttons = {kAnswerRetry, kAnswerCancel};
            layout.escape_answer = kAnswerCancel;
            break;
        case MsgButtons::kOk:
            layout.buttons = {kAnswerOk};
            layout.escape_answer = kAnswerOk;
            break;
    }
    layout.icon = style.icon;
    layout.default_index =
        style.default_button < static_cast<int>(layout.buttons.size()) ? style.default_button : 0;
    return layout;
}

const char* ButtonCaption(MsgAnswer answer) {
    switch (answer) {
        case kAnswerOk:
            return "OK";
        case kAnswerCancel:
            return "Cancel";
        case kAnswerAbort:
            return "&Abort";
        case kAnswerRetry:
            return "&Retry";
        case kAnswerIgnore:
            return "&Ignore";
        case kAnswerYes:
            return "&Yes";
        case kAnswerNo:
            return "&No";
        case kAnswerNone:
            break;
    }
    return "";
}

}  // namespace tessarel
