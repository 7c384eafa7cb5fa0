// The rules of split and join requests, one function at a time, and the Go command's order of
// questions where only the command holds it.
#include "control/request_plan.h"

#include <gtest/gtest.h>

#include <variant>

#include "control/commands.h"
#include "control/time_left.h"
#include "platform/runtime_error.h"
#include "support/error_of.h"
#include "support/fake_form.h"
#include "support/recording_display.h"
#include "support/scripted_message_box.h"
#include "support/series.h"
#include "support/temp_dir.h"

namespace tessarel {
namespace {

std::string RefusalOf(const PlanOrRefusal& outcome) {
    const auto* notice = std::get_if<Notice>(&outcome);
    return notice ? notice->prompt : "";
}

int CountOf(const PlanOrRefusal& outcome) {
    const auto* plan = std::get_if<SeriesPlan>(&outcome);
    return plan ? plan->count : -1;
}

TEST(RequestPlan, NamesMustBeGivenAsTypedAndAreTrimmedOfBlanksOnly) {
    EXPECT_EQ(CheckNamesGiven("", "b"), Refusal(kNoFileMessage));
    EXPECT_EQ(CheckNamesGiven("a", ""), Refusal(kNoFileMessage));
    EXPECT_EQ(CheckNamesGiven("   ", "b"), std::nullopt) << "blanks count as text";
    EXPECT_EQ(Refusal(kNoFileMessage),
              (Notice{MsgKind::kRefusal, kNoFileMessage, kStyleWarning, "ERROR!"}));
    EXPECT_EQ(TrimBlanks("  a b\t "), "a b\t");
    EXPECT_EQ(TrimBlanks("   "), "");
}

TEST(RequestPlan, TheFirstPieceGetsM00OnceAndExactly) {
    EXPECT_EQ(FirstPieceName("/w/data.m00"), "/w/data.m00");
    EXPECT_EQ(FirstPieceName("/w/data"), "/w/data.m00");
    EXPECT_EQ(FirstPieceName("/w/data.zip"), "/w/data.zip.m00");
    EXPECT_EQ(FirstPieceName("/w/DATA.M00"), "/w/DATA.M00.m00");
    EXPECT_EQ(ErrorOf([] { FirstPieceName("data"); }), kErrInvalidArgument);
}

TEST(RequestPlan, ApproximateSizesAreKilobytes) {
    EXPECT_EQ(ApproximateBytes("1400"), 1433600);
    EXPECT_EQ(ApproximateBytes(""), 0);
    EXPECT_EQ(ApproximateBytes("1 4"), 14 * 1024) << "blanks are passed over";
}

TEST(RequestPlan, SplitSizesAtEveryLimit) {
    EXPECT_EQ(RefusalOf(PlanSplit(1000, 20)), kSizeTooSmallMessage);
    EXPECT_EQ(CountOf(PlanSplit(22, 21)), 2) << "21 is the smallest size";
    EXPECT_EQ(RefusalOf(PlanSplit(1000, 1000)), kSizeTooLargeMessage);
    EXPECT_EQ(CountOf(PlanSplit(1000, 999)), 2);
    EXPECT_EQ(RefusalOf(PlanSplit(0, 21)), kSizeTooLargeMessage);
    EXPECT_EQ(CountOf(PlanSplit(2080, 21)), 100);
    EXPECT_EQ(RefusalOf(PlanSplit(2081, 21)), TooManyPiecesMessage(22));
    EXPECT_EQ(CountOf(PlanSplit(1000, 100)), 11);
    EXPECT_EQ(CountOf(PlanSplit(1000, 102)), 10);
    const auto plan = std::get<SeriesPlan>(PlanSplit(1000, 100));
    EXPECT_EQ(plan.stream_length, 1020);
    EXPECT_EQ(plan.piece_size, 100);
}

TEST(RequestPlan, JoinHeadersAndFirstPieceLengths) {
    const std::string header = "KESTRAVOLN0000001000";
    EXPECT_EQ(CountOf(PlanJoin(header, 100)), 11);
    EXPECT_EQ(CountOf(PlanJoin(header, 102)), 10);
    EXPECT_EQ(CountOf(PlanJoin("KESTRAVOLN0000100000", 21)), 4763) << "no limit of 100";
    EXPECT_EQ(RefusalOf(PlanJoin("KESTRAVOLn0000001000", 100)), kNotRecognisedMessage);
    EXPECT_EQ(RefusalOf(PlanJoin(header, 20)), kNotRecognisedMessage);
    EXPECT_EQ(RefusalOf(PlanJoin(header, 1020)), kNotRecognisedMessage) << "one piece only";
    EXPECT_EQ(RefusalOf(PlanJoin("KESTRAVOLN-000001000", 100)), kNotRecognisedMessage);
    // The length field is ten decimal digits, nothing else.
    for (const char* field :
         {"00000ABCDE", "+000001000", "      1000", "1000      ", "1.5E3     ", "000001000\n"}) {
        EXPECT_EQ(RefusalOf(PlanJoin(std::string("KESTRAVOLN") + field, 100)),
                  kNotRecognisedMessage)
            << field;
    }
    EXPECT_EQ(RefusalOf(PlanJoin("KESTRAVOLN9999999999", 100)), kNotRecognisedMessage)
        << "more pieces than a join can count";
    EXPECT_EQ(CountOf(PlanJoin("KESTRAVOLN0000688087", 21)), 32767);
    EXPECT_EQ(RefusalOf(PlanJoin("KESTRAVOLN0000688108", 21)), kNotRecognisedMessage);
}

TEST(RequestPlan, QuestionsAndTheirWording) {
    EXPECT_EQ(SplitConfirmation(7), (Notice{MsgKind::kConfirmation, " Will split into  7 files.",
                                            kStyleInfoOkCancel, "File Message"}));
    EXPECT_EQ(JoinConfirmation(11), (Notice{MsgKind::kConfirmation, " Will need  11 files to join.",
                                            kStyleInfoOkCancel, "File Message"}));
    EXPECT_EQ(OverwriteQuestion("a.m00").prompt,
              "The file a.m00\r\n already exists on disk. Saving to that \r\nfile, will destroy "
              "the file's current contents \r\n\r\n\r\nChoose OK to replace file, Cancel to stop.");
    EXPECT_EQ(FailedNotice(),
              (Notice{MsgKind::kFailure, kFailedMessage, kStyleCritical, "ERROR!"}));
}

TEST(RequestPlan, ASeriesMayNotOverwriteWhatItReads) {
    const SameFileTest linked = [](const std::string& a, const std::string& b) {
        return (a == "/w/s.m02" && b == "/w/link") || (a == "/w/in" && b == "/w/out");
    };
    EXPECT_EQ(CheckSplitTarget("/w/s.m03", "/w/s.m00", 4, linked),
              Refusal(kSplitOntoSourceMessage));
    EXPECT_EQ(CheckSplitTarget("/w/s.m04", "/w/s.m00", 4, linked), std::nullopt);
    EXPECT_EQ(CheckSplitTarget("/w/link", "/w/s.m00", 4, linked), Refusal(kSplitOntoSourceMessage));
    EXPECT_EQ(CheckJoinTarget("/w/s.m00", "/w/s.m01", 2, linked), Refusal(kJoinOntoPieceMessage));
    EXPECT_EQ(CheckJoinTarget("/w/in", "/w/out", 2, linked), Refusal(kJoinOntoPieceMessage));
    EXPECT_EQ(CheckJoinTarget("/w/s.m00", "/w/s.m02", 2, linked), std::nullopt);
}

// The order of questions lives in the Go command: an existing first piece is asked about, and
// Cancel there ends with the failure message and the file kept.
TEST(GoCommand, AnExistingDestinationIsAskedAboutAndCancelKeepsIt) {
    TempDir dir;
    WriteBytes(dir / "src.bin", Pattern(1000));
    WriteBytes(dir / "s.m00", Pattern(5, 3));
    FakeForm form;
    form.open = dir / "src.bin";
    form.save = dir / "s";
    form.exact_selected = true;
    form.exact = "100";
    RecordingDisplay display;
    ScriptedMessageBox box{kAnswerOk, kAnswerCancel, kAnswerOk};
    GoWithForm(form, display, box);
    std::vector<std::string> prompts;
    for (const ShownMessage& m : box.shown) {
        prompts.push_back(m.prompt);
    }
    EXPECT_EQ(prompts, (std::vector<std::string>{" Will split into  11 files.",
                                                 OverwritePrompt("s.m00"), kFailedMessage}));
    EXPECT_EQ(form.save, dir / "s.m00");
    EXPECT_EQ(display.total, "11");
    EXPECT_EQ(ReadBytes(dir / "s.m00"), Pattern(5, 3));
    EXPECT_EQ(display.shown_operating, 0) << "the engine ran";
}

// A disk that keeps no file as long as a piece (FAT) refuses the request; one with too little
// room asks; a disk that tells neither lets it go on.
TEST(RequestPlan, ADiskTooSmallForTheResultIsRefusedOrAskedAbout) {
    const DiskRoom fat{int64_t{1} << 40, 4294967295};
    const DiskRoom full{1000, std::nullopt};
    const DiskRoom silent{};
    EXPECT_EQ(CheckLargestFile(Mode::kSplit, "/m/s.m00", fat, 4294967295), std::nullopt);
    EXPECT_EQ(CheckLargestFile(Mode::kSplit, "/m/s.m00", full, int64_t{1} << 40), std::nullopt);
    EXPECT_EQ(CheckLargestFile(Mode::kSplit, "/m/s.m00", fat, 4294967296)->prompt,
              "The disk that is to hold s.m00 keeps files of at most 4294967295 bytes, and each "
              "piece would be 4294967296 bytes long. Choose a smaller piece size, or another "
              "disk.");
    EXPECT_EQ(CheckLargestFile(Mode::kJoin, "/m/film.mkv", fat, 5000000000)->prompt,
              "The disk that is to hold film.mkv keeps files of at most 4294967295 bytes, and the "
              "joined file would be 5000000000 bytes long. Choose a disk that keeps larger files.");
    EXPECT_EQ(CheckFreeRoom(Mode::kJoin, "/m/out", full, 1000), std::nullopt);
    EXPECT_EQ(CheckFreeRoom(Mode::kJoin, "/m/out", silent, int64_t{1} << 60), std::nullopt);
    const auto question = CheckFreeRoom(Mode::kJoin, "/m/out", full, 1001);
    ASSERT_TRUE(question);
    EXPECT_EQ(question->kind, MsgKind::kLowRoom);
    EXPECT_EQ(StyleNumber(question->style), 49);
    EXPECT_EQ(question->prompt,
              "The disk that is to hold out has 1000 bytes free, and the joined file needs 1001 "
              "bytes.\r\n\r\nChoose OK once there is room enough, or Cancel to stop.");
}

// The rate is smoothed over seconds, so a burst or a stall of the disk does not make the time
// left jump; nothing is said before there is anything to say.
TEST(TimeLeft, SmoothedRateAndTheTimeThatFollowsFromIt) {
    TimeLeft left;
    left.Update(0, 1000000000, 0.0);
    EXPECT_EQ(left.Text(), "");
    for (int s = 1; s <= 10; ++s) {
        left.Update(int64_t{s} * 50000000, 1000000000, s);  // 50 MB/s
    }
    EXPECT_EQ(left.Text(), "50 MB/s, 0:10 left");
    left.Update(int64_t{10} * 50000000 + 200000000, 1000000000, 10.5);  // a burst into the cache
    EXPECT_LT(left.rate(), 150e6) << "one burst must not set the rate";
    EXPECT_GT(left.rate(), 50e6);
    TimeLeft hours;
    hours.Update(0, int64_t{10} << 30, 0);
    hours.Update(1000000, int64_t{10} << 30, 1);
    EXPECT_EQ(hours.Text(), "1 MB/s, 2:58:57 left");
}

}  // namespace
}  // namespace tessarel
