#include "trap/error_trap.h"

#include <gtest/gtest.h>

#include <new>

#include "support/scripted_message_box.h"

namespace tessarel {
namespace {

// A step that fails with each of failures in turn, then succeeds; it counts its runs.
struct FailingStep {
    std::vector<std::exception_ptr> failures;
    int runs = 0;
    void operator()() {
        if (runs < static_cast<int>(failures.size())) {
            std::rethrow_exception(failures[static_cast<size_t>(runs++)]);
        }
        ++runs;
    }
};

std::exception_ptr Error(int32_t number) {
    return std::make_exception_ptr(RuntimeError(number));
}

TEST(ErrorTrap, TheUsersAnswerRetriesGoesOnOrGivesUp) {
    struct Case {
        std::vector<std::exception_ptr> failures;
        std::vector<MsgAnswer> answers;
        bool went_on;
        int runs;
        std::vector<std::string> prompts;
    };
    const Case cases[] = {
        {{}, {}, true, 1, {}},
        {{Error(kErrDiskFull), Error(kErrDiskFull)},
         {kAnswerYes, kAnswerYes},
         true,
         3,
         {"Disk is full. Continue?", "Disk is full. Continue?"}},
        {{Error(kErrDiskNotReady)},
         {kAnswerCancel},
         false,
         1,
         {"Insert a disk in the drive and close the door."}},
        {{Error(kErrFileNotFound)}, {kAnswerOk}, false, 1, {"File Not Found."}},
        {{Error(kErrDiskFull)}, {kAnswerIgnore}, true, 1, {"Disk is full. Continue?"}},
        // Errors no table knows are reported with their number and give up.
        {{Error(kErrTypeMismatch)}, {kAnswerOk}, false, 1, {"Error #  13\rType mismatch"}},
        {{std::make_exception_ptr(std::bad_alloc())},
         {kAnswerOk},
         false,
         1,
         {"Error #  7\rOut of memory"}},
        {{std::make_exception_ptr(std::logic_error("oops"))},
         {kAnswerOk},
         false,
         1,
         {"Error #  51\rInternal error (oops)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.runs);
        ScriptedMessageBox box;
        for (MsgAnswer a : c.answers) {
            box.Answer(a);
        }
        ErrorTrap trap(box);
        FailingStep step{c.failures};
        EXPECT_EQ(trap.Step(step), c.went_on);
        EXPECT_EQ(step.runs, c.runs);
        EXPECT_EQ(box.Prompts(), c.prompts);
        EXPECT_EQ(box.Unanswered(), 0u);
    }
}

TEST(ErrorTrap, AStepAnOperationCannotDoWithoutThrowsWhenGivenUp) {
    ScriptedMessageBox box{kAnswerNo};
    ErrorTrap trap(box);
    EXPECT_THROW(trap.Must([] { throw RuntimeError(kErrDiskFull, "Disk full", "/w/out"); }),
                 GivenUp);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].kind, MsgKind::kDiskFull);
    EXPECT_EQ(box.shown[0].file, "/w/out") << "the notice names the file it is about";
}

}  // namespace
}  // namespace tessarel
