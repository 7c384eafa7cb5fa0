#include "platform/message_box.h"

#include <gtest/gtest.h>

namespace tessarel {
namespace {

TEST(MessageBoxStyle, EveryStyleTheProgramUsesHasItsButtonsIconAndEscape) {
    struct Case {
        int style;
        MsgIcon icon;
        std::vector<int> buttons;
        int escape;
    };
    const Case cases[] = {
        {0, MsgIcon::None, {kAnswerOk}, kAnswerOk},
        {4, MsgIcon::None, {kAnswerYes, kAnswerNo}, kAnswerNo},
        {16, MsgIcon::Critical, {kAnswerOk}, kAnswerOk},
        {48, MsgIcon::Exclamation, {kAnswerOk}, kAnswerOk},
        {52, MsgIcon::Exclamation, {kAnswerYes, kAnswerNo}, kAnswerNo},
        {53, MsgIcon::Exclamation, {kAnswerRetry, kAnswerCancel}, kAnswerCancel},
        {65, MsgIcon::Information, {kAnswerOk, kAnswerCancel}, kAnswerCancel},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        const MsgLayout layout = LayoutOfStyle(c.style);
        EXPECT_EQ(layout.icon, c.icon);
        EXPECT_EQ(layout.buttons, c.buttons);
        EXPECT_EQ(layout.escape_answer, c.escape);
        EXPECT_EQ(layout.default_index, 0);
    }
}

TEST(MessageBoxStyle, DefaultButtonBitsPickALaterButtonOnlyWhenItExists) {
    EXPECT_EQ(LayoutOfStyle(kStyleYesNo | kStyleDefaultButton2).default_index, 1);
    EXPECT_EQ(LayoutOfStyle(kStyleOkOnly | kStyleDefaultButton2).default_index, 0);
    // Abort, Retry, Ignore has neither Cancel nor No: Escape must not choose for the user.
    EXPECT_EQ(LayoutOfStyle(kStyleAbortRetryIgnore).escape_answer, 0);
}

}  // namespace
}  // namespace tessarel
