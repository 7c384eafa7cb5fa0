#include "platform/message_box.h"

namespace tessarel {

MsgLayout LayoutOfStyle(int style) {
    MsgLayout layout;
    switch (style & 0x0F) {
        case kStyleOkCancel:
            layout.buttons = {kAnswerOk, kAnswerCancel};
            layout.escape_answer = kAnswerCancel;
            break;
        case kStyleAbortRetryIgnore:
            // No Cancel and no No: Escape must not pick one of these for the user.
            layout.buttons = {kAnswerAbort, kAnswerRetry, kAnswerIgnore};
            break;
        case kStyleYesNoCancel:
            layout.buttons = {kAnswerYes, kAnswerNo, kAnswerCancel};
            layout.escape_answer = kAnswerCancel;
            break;
        case kStyleYesNo:
            layout.buttons = {kAnswerYes, kAnswerNo};
            layout.escape_answer = kAnswerNo;
            break;
        case kStyleRetryCancel:
            layout.buttons = {kAnswerRetry, kAnswerCancel};
            layout.escape_answer = kAnswerCancel;
            break;
        default:  // OK only, and any button code we do not know
            layout.buttons = {kAnswerOk};
            layout.escape_answer = kAnswerOk;
            break;
    }
    switch (style & 0x70) {
        case kStyleCritical:
            layout.icon = MsgIcon::Critical;
            break;
        case kStyleQuestion:
            layout.icon = MsgIcon::Question;
            break;
        case kStyleExclamation:
            layout.icon = MsgIcon::Exclamation;
            break;
        case kStyleInformation:
            layout.icon = MsgIcon::Information;
            break;
        default:
            layout.icon = MsgIcon::None;
            break;
    }
    const int wanted = (style & 0x300) >> 8;
    layout.default_index = wanted < static_cast<int>(layout.buttons.size()) ? wanted : 0;
    return layout;
}

const char* ButtonCaption(int answer) {
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
        default:
            return "";
    }
}

}  // namespace tessarel
