#include "platform/message_box.h"

#include <gtest/gtest.h>

namespace tessarel {
namespace {

// Each style the program shows, with the number the classic message box knows it by, and what
// it asks of a message box.
TEST(MessageBoxStyle, EveryStyleTheProgramUsesHasItsNumberButtonsIconAndEscape) {
    struct Case {
        MsgStyle style;
        int number;
        MsgIcon icon;
        std::vector<MsgAnswer> buttons;
        MsgAnswer escape;
    };
    const Case cases[] = {
        {kStylePlain, 0, MsgIcon::None, {kAnswerOk}, kAnswerOk},
        {kStyleYesNo, 4, MsgIcon::None, {kAnswerYes, kAnswerNo}, kAnswerNo},
        {kStyleCritical, 16, MsgIcon::Critical, {kAnswerOk}, kAnswerOk},
        {kStyleWarning, 48, MsgIcon::Exclamation, {kAnswerOk}, kAnswerOk},
        {kStyleWarningOkCancel,
         49,
         MsgIcon::Exclamation,
         {kAnswerOk, kAnswerCancel},
         kAnswerCancel},
        {kStyleWarningYesNo, 52, MsgIcon::Exclamation, {kAnswerYes, kAnswerNo}, kAnswerNo},
        {kStyleWarningRetryCancel,
         53,
         MsgIcon::Exclamation,
         {kAnswerRetry, kAnswerCancel},
         kAnswerCancel},
        {kStyleInfoOkCancel, 65, MsgIcon::Information, {kAnswerOk, kAnswerCancel}, kAnswerCancel},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        EXPECT_EQ(StyleNumber(c.style), c.number);
        EXPECT_TRUE(StyleOfNumber(c.number) == c.style);
        const MsgLayout layout = LayoutOf(c.style);
        EXPECT_EQ(layout.icon, c.icon);
        EXPECT_EQ(layout.buttons, c.buttons);
        EXPECT_EQ(layout.escape_answer, c.escape);
        EXPECT_EQ(layout.default_index, 0);
    }
}

TEST(MessageBoxStyle, DefaultButtonBitsPickALaterButtonOnlyWhenItExists) {
    EXPECT_EQ(LayoutOf(StyleOfNumber(4 + 256)).default_index, 1);
    EXPECT_EQ(LayoutOf(StyleOfNumber(0 + 256)).default_index, 0);
    // Abort, Retry, Ignore has neither Cancel nor No: Escape must not choose for the user.
    EXPECT_EQ(LayoutOf(StyleOfNumber(2)).escape_answer, kAnswerNone);
}

}  // namespace
}  // namespace tessarel
