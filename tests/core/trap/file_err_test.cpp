#include "trap/file_err.h"

#include <gtest/gtest.h>

#include "trap/error_trap.h"
#include "platform/runtime_error.h"
#include "support/scripted_message_box.h"

namespace tessarel {
namespace {

TEST(FileErr, EachKnownErrorShowsItsMessageAndStyle) {
    struct Row {
        int32_t number;
        std::string message;
        MsgStyle style;
    };
    const Row rows[] = {
        {52, "That filename is illegal.", kStyleWarning},
        {53, "File Not Found.", kStyleWarning},
        {54, "Can't open your file for that type of access.", kStyleWarning},
        {55, "This file is already open.", kStyleWarning},
        {57, "Internal disk error.", kStyleWarning},
        {61, "Disk is full. Continue?", kStyleWarningYesNo},
        {62,
         "This file has a nonstandard end-of-file marker, or an attempt was made to read beyond "
         "the end-of-file marker.",
         kStyleWarning},
        {64, "That filename is illegal.", kStyleWarning},
        {68, "That device appears unavailable.", kStyleWarning},
        {71, "Insert a disk in the drive and close the door.", kStyleWarningRetryCancel},
        {76, "That path doesn't exist.", kStyleWarning},
    };
    for (const Row& row : rows) {
        ScriptedMessageBox box{row.style == kStyleWarning ? kAnswerOk : kAnswerNo};
        if (row.style == kStyleWarningRetryCancel) {
            box = ScriptedMessageBox{kAnswerCancel};
        }
        EXPECT_EQ(ClassifyFileError(row.number, box), FileErrStop) << row.number;
        ASSERT_EQ(box.shown.size(), 1u);
        EXPECT_EQ(box.shown[0].prompt, row.message);
        EXPECT_EQ(box.shown[0].style, row.style);
        EXPECT_EQ(box.shown[0].title, "Disk Error");
    }
}

TEST(FileErr, AnswersMapToCodes) {
    const std::pair<int, int16_t> answers[] = {
        {kAnswerRetry, FileErrRetry}, {kAnswerYes, FileErrRetry},   {kAnswerIgnore, FileErrSkip},
        {kAnswerOk, FileErrStop},     {kAnswerCancel, FileErrStop}, {kAnswerAbort, FileErrStop},
        {kAnswerNo, FileErrStop},     {0, FileErrUnknown},          {8, FileErrUnknown},
    };
    for (const auto& [answer, code] : answers) {
        ScriptedMessageBox box;
        box.Answer(static_cast<MsgAnswer>(answer));
        EXPECT_EQ(ClassifyFileError(61, box), code) << answer;
    }
}

TEST(FileErr, OtherErrorsShowNothing) {
    for (int32_t number : {0, 5, 6, 13, 51, 56, 58, 70, 75, 77}) {
        ScriptedMessageBox box;
        EXPECT_EQ(ClassifyFileError(number, box), FileErrUnknown) << number;
        EXPECT_TRUE(box.shown.empty());
    }
}

TEST(ErrorTrap, RetryRunsTheStepAgainUntilItSucceeds) {
    ScriptedMessageBox box{kAnswerRetry, kAnswerRetry};
    ErrorTrap trap(box);
    int runs = 0;
    EXPECT_TRUE(trap.Step([&] {
        if (++runs < 3) {
            throw RuntimeError(kErrDiskNotReady);
        }
    }));
    EXPECT_EQ(runs, 3);
}

TEST(ErrorTrap, SkipGoesOnWithoutRunningTheStepAgain) {
    ScriptedMessageBox box{kAnswerIgnore};
    ErrorTrap trap(box);
    int runs = 0;
    EXPECT_TRUE(trap.Step([&] {
        ++runs;
        throw RuntimeError(kErrFileNotFound);
    }));
    EXPECT_EQ(runs, 1);
}

TEST(ErrorTrap, StopGivesUpAfterTheDiskErrorMessage) {
    ScriptedMessageBox box{kAnswerNo};
    ErrorTrap trap(box);
    EXPECT_FALSE(trap.Step([] { throw RuntimeError(kErrDiskFull); }));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].title, "Disk Error");
}

TEST(ErrorTrap, UnknownErrorsAreReportedWithNumberAndDescription) {
    ScriptedMessageBox box{kAnswerOk};
    ErrorTrap trap(box);
    EXPECT_FALSE(trap.Step([] { throw RuntimeError(kErrTypeMismatch); }));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].prompt, "Error #  13\rType mismatch");
    EXPECT_EQ(box.shown[0].style, kStylePlain);
    EXPECT_EQ(box.shown[0].title, "Error");
}

TEST(ErrorTrap, RunningOutOfMemoryAndOtherSurprisesAreReportedNotThrown) {
    ScriptedMessageBox box{kAnswerOk, kAnswerOk};
    ErrorTrap trap(box);
    EXPECT_FALSE(trap.Step([] { throw std::bad_alloc(); }));
    EXPECT_FALSE(trap.Step([] { throw std::length_error("too long"); }));
    ASSERT_EQ(box.shown.size(), 2u);
    EXPECT_EQ(box.shown[0].prompt, "Error #  7\rOut of memory");
    EXPECT_EQ(box.shown[1].prompt, "Error #  51\rInternal error (too long)");
}

}  // namespace
}  // namespace tessarel
