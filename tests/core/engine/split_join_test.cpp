#include "engine/split_join.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>

#include "engine/piece_series.h"
#include "platform/file.h"
#include "support/recording_display.h"
#include "support/scripted_message_box.h"
#include "support/series.h"
#include "support/temp_dir.h"
#include "support/tiny_disk.h"

namespace tessarel {
namespace {

namespace fs = std::filesystem;

// The names in a folder.
std::set<std::string> Names(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// The names of pieces 1 to count of the series based on base, but for piece but.
std::set<std::string> SeriesNamesBut(const std::string& base, int count, int but) {
    std::set<std::string> names = {"source.bin"};
    for (int n = 1; n <= count; ++n) {
        if (n != but) {
            names.insert(fs::path(PieceName(base, n)).filename().string());
        }
    }
    return names;
}

bool Split(const std::string& source, const std::string& first_piece, int64_t P,
           RecordingDisplay& display, MessageBox& box) {
    const int64_t stream = FileLength(source) + int64_t{kHeaderLength};
    return SplitJoin({Mode::kSplit, source, first_piece, {stream, P, PieceCount(stream, P)}},
                     display, box);
}

bool Join(const std::string& first_piece, const std::string& output, RecordingDisplay& display,
          MessageBox& box) {
    const std::vector<uint8_t> head = ReadBytes(first_piece);
    const int32_t length = std::stoi(std::string(head.begin() + 10, head.begin() + 20));
    const int32_t P = FileLength(first_piece);
    const int32_t stream = length + kHeaderLength;
    return SplitJoin({Mode::kJoin, output, first_piece, {stream, P, PieceCount(stream, P)}},
                     display, box);
}

TEST(SplitJoin, RoundTripsAreByteExactAroundTheChunkBoundaries) {
    for (int32_t P : {21, 9999, 10000, 10001, 19999, 20000, 25000, 50000}) {
        const int32_t pieces = P == 21 ? 100 : 3;
        for (int32_t extra : {0, 7}) {  // a whole number of pieces, and a short last piece
            SCOPED_TRACE("P=" + std::to_string(P) + " extra=" + std::to_string(extra));
            TempDir dir;
            const std::vector<uint8_t> file =
                Pattern(size_t(pieces - 1) * P - 20 + (extra ? extra : P), P);
            WriteBytes(dir / "source.bin", file);
            RecordingDisplay display;
            ScriptedMessageBox box;
            ASSERT_TRUE(Split(dir / "source.bin", dir / "data.m00", P, display, box));
            const auto expected = ExpectedPieces(file, P);
            for (size_t n = 0; n < expected.size(); ++n) {
                ASSERT_EQ(ReadBytes(PieceName(dir / "data", int64_t(n) + 1)), expected[n])
                    << "piece " << n + 1;
            }
            EXPECT_FALSE(fs::exists(PieceName(dir / "data", int64_t(expected.size()) + 1)));
            EXPECT_TRUE(display.Idle());
            EXPECT_EQ(display.progress.back(), 100);

            RecordingDisplay join_display;
            ASSERT_TRUE(Join(dir / "data.m00", dir / "rebuilt.bin", join_display, box));
            EXPECT_EQ(ReadBytes(dir / "rebuilt.bin"), file);
            EXPECT_TRUE(join_display.Idle());
            EXPECT_TRUE(box.shown.empty());
        }
    }
}

TEST(SplitJoin, ProgressAndCaptionsFollowThePieces) {
    TempDir dir;
    WriteBytes(dir / "source.bin", Pattern(1000));
    RecordingDisplay display;
    display.SetProgress(55);  // left from an earlier operation: not reset at the start
    ScriptedMessageBox box;
    ASSERT_TRUE(Split(dir / "source.bin", dir / "out.m00", 100, display, box));
    const std::vector<float> expected = {55, 9, 19, 29, 39, 49, 58, 68, 78, 88, 98, 100};
    EXPECT_EQ(display.progress, expected);
    const std::vector<std::string> captions = {"1", "2", "3", "4",  "5", "6",
                                               "7", "8", "9", "10", "11"};
    EXPECT_EQ(display.captions, captions);
    EXPECT_EQ(display.repaints, 11);
    EXPECT_EQ(display.shown_operating, 1);
}

TEST(SplitJoin, ChunksOfALargePieceMoveTheBarOnce10000BytesAreDone) {
    TempDir dir;
    WriteBytes(dir / "source.bin", Pattern(49980));  // stream 50000: two pieces of 25000
    RecordingDisplay display;
    ScriptedMessageBox box;
    ASSERT_TRUE(Split(dir / "source.bin", dir / "out.m00", 25000, display, box));
    // Piece 1: header + 9980, one chunk (progress at 20000), 5000; then piece 2 likewise.
    const std::vector<float> expected = {40, 50, 70, 90, 100};
    EXPECT_EQ(display.progress, expected);
}

TEST(SplitJoin, AMissingLaterPieceGivesTheJoinUpAndIsNotCreated) {
    TempDir dir;
    WriteBytes(dir / "source.bin", Pattern(1000));
    RecordingDisplay display;
    ScriptedMessageBox box{kAnswerOk};
    ASSERT_TRUE(Split(dir / "source.bin", dir / "s.m00", 100, display, box));
    fs::remove(dir / "s.m04");
    RecordingDisplay join_display;
    EXPECT_FALSE(Join(dir / "s.m00", dir / "out.bin", join_display, box));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].prompt, "File Not Found.");
    EXPECT_FALSE(fs::exists(dir / "s.m04"));
    EXPECT_EQ(Names(dir.path()), SeriesNamesBut(dir / "s", 11, 5))
        << "no output, no temporary file";
    EXPECT_TRUE(join_display.Idle());
}

TEST(SplitJoin, APieceCutShortInsideARunOfChunksGivesTheJoinUpWithNothingWritten) {
    TempDir dir;
    const std::vector<uint8_t> file = Pattern(3 * 50000);
    WriteBytes(dir / "source.bin", file);
    RecordingDisplay display;
    ScriptedMessageBox box{kAnswerOk};
    ASSERT_TRUE(Split(dir / "source.bin", dir / "s.m00", 50000, display, box));
    fs::resize_file(dir / "s.m01", 23456);
    EXPECT_FALSE(Join(dir / "s.m00", dir / "out.bin", display, box));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_FALSE(fs::exists(dir / "out.bin"));
    EXPECT_EQ(Names(dir.path()).size(), 5u) << "the source and its four pieces only";
}

TEST(SplitJoin, AShortPieceOrSourceIsReadPastEndNeverPaddedWithInventedBytes) {
    TempDir dir;
    const std::vector<uint8_t> file = Pattern(1000);
    WriteBytes(dir / "source.bin", file);
    RecordingDisplay display;
    ScriptedMessageBox box{kAnswerOk, kAnswerOk};
    ASSERT_TRUE(Split(dir / "source.bin", dir / "s.m00", 100, display, box));
    fs::resize_file(dir / "s.m05", 60);
    EXPECT_FALSE(Join(dir / "s.m00", dir / "out.bin", display, box));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].prompt.rfind("This file has a nonstandard end-of-file marker", 0), 0u);
    EXPECT_FALSE(fs::exists(dir / "out.bin")) << "no invented bytes, and no half a file";

    // A source that is shorter than the plan (it shrank after the Go command measured it).
    fs::resize_file(dir / "source.bin", 500);
    EXPECT_FALSE(SplitJoin({Mode::kSplit, dir / "source.bin", dir / "t.m00", {1020, 100, 11}},
                           display, box));
    EXPECT_EQ(box.shown.size(), 2u);
    EXPECT_FALSE(fs::exists(dir / "t.m00"));
    EXPECT_FALSE(fs::exists(dir / "t.m04")) << "what the split wrote is removed";
}

// A drive that is not ready while the fifth chunk of piece 3 is due: every write that would
// reach that chunk fails until the user has been asked failures_left times.
struct NotReady {
    std::string piece;
    int64_t position;
    int failures_left;
};

Fault NotReadyHook(FileOp op, const std::string& path, int64_t position, int32_t size,
                   void* context) {
    auto* fault = static_cast<NotReady*>(context);
    if (op != FileOp::Write || !IsFileOrItsTemporary(path, fault->piece) ||
        fault->failures_left == 0 || position > fault->position ||
        position + size <= fault->position) {
        return Fault::kNone;
    }
    if (position == fault->position) {
        --fault->failures_left;  // the write of that very chunk: the user is asked about it
    }
    return Fault::kNotReady;
}

class DriveNotReady : public testing::Test {
  protected:
    void SetUp() override {
        file = Pattern(4 * 50000 + 123);
        WriteBytes(dir / "source.bin", file);
        fault = {dir / "s.m02", 4 * kChunkSize, 1};
        SetFileFaultHook(NotReadyHook, &fault);
    }
    void TearDown() override { SetFileFaultHook(nullptr, nullptr); }

    TempDir dir;
    std::vector<uint8_t> file;
    NotReady fault;
    RecordingDisplay display;
};

TEST_F(DriveNotReady, RetryWritesTheChunkAgainAndTheSeriesIsExact) {
    ScriptedMessageBox box{kAnswerRetry};
    ASSERT_TRUE(Split(dir / "source.bin", dir / "s.m00", 50000, display, box));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].prompt, "Insert a disk in the drive and close the door.");
    EXPECT_EQ(box.shown[0].style, kStyleWarningRetryCancel);
    const auto expected = ExpectedPieces(file, 50000);
    for (size_t n = 0; n < expected.size(); ++n) {
        EXPECT_EQ(ReadBytes(PieceName(dir / "s", int64_t(n) + 1)), expected[n]) << n;
    }
}

TEST_F(DriveNotReady, CancelRemovesWhatWasWrittenAndLeavesTheWindowIdle) {
    ScriptedMessageBox box{kAnswerCancel};
    EXPECT_FALSE(Split(dir / "source.bin", dir / "s.m00", 50000, display, box));
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"source.bin"});
    EXPECT_TRUE(display.Idle());
}

TEST(SplitJoin, ARealFullDiskAnsweredNoGivesUpAndLeavesTheDiskAsItWas) {
    TinyDisk disk(64);
    if (!disk.mounted()) {
        GTEST_SKIP() << "needs root to mount a small file system";
    }
    TempDir dir;
    WriteBytes(dir / "source.bin", Pattern(100000));
    RecordingDisplay display;
    ScriptedMessageBox box{kAnswerYes, kAnswerNo};
    EXPECT_FALSE(Split(dir / "source.bin", disk / "s.m00", 20000, display, box));
    ASSERT_EQ(box.shown.size(), 2u);
    EXPECT_EQ(box.shown[0].prompt, "Disk is full. Continue?");
    EXPECT_EQ(box.shown[0].style, kStyleWarningYesNo);
    EXPECT_TRUE(Names(disk.path()).empty()) << "the pieces written are removed";
    EXPECT_TRUE(display.Idle());
}

// The folder holds exactly the new series: an older, longer one's tail would be taken for part
// of it by anyone who joins the pieces by hand.
TEST(SplitJoin, AnOlderLongerSeriesLosesItsTailWithTheCommit) {
    TempDir dir;
    WriteBytes(dir / "old.bin", Pattern(1000, 1));
    WriteBytes(dir / "new.bin", Pattern(500, 2));
    RecordingDisplay display;
    ScriptedMessageBox box;
    ASSERT_TRUE(Split(dir / "old.bin", dir / "s.m00", 100, display, box));
    ASSERT_TRUE(Split(dir / "new.bin", dir / "s.m00", 100, display, box));
    EXPECT_EQ(ReadBytes(dir / "s.m05"), ExpectedPieces(Pattern(500, 2), 100)[5]);
    EXPECT_FALSE(fs::exists(dir / "s.m06"));
    EXPECT_FALSE(fs::exists(dir / "s.m10"));
    // The join reads only the pieces the header asks for.
    ASSERT_TRUE(Join(dir / "s.m00", dir / "back.bin", display, box));
    EXPECT_EQ(ReadBytes(dir / "back.bin"), Pattern(500, 2));
}

TEST(SplitJoin, AJoinFindsLaterPiecesByTheFirstPiecesOwnName) {
    TempDir dir;
    WriteBytes(dir / "source.bin", Pattern(1000));
    RecordingDisplay display;
    ScriptedMessageBox box;
    ASSERT_TRUE(Split(dir / "source.bin", dir / "data.m00", 100, display, box));
    for (int n = 1; n <= 11; ++n) {
        fs::rename(PieceName(dir / "data", n), PieceName(dir / "report", n));
    }
    ASSERT_TRUE(Join(dir / "report.m00", dir / "out.bin", display, box));
    EXPECT_EQ(ReadBytes(dir / "out.bin"), Pattern(1000));
}

TEST(SplitJoin, AnInconsistentPlanIsRefusedBeforeAnyFileIsTouched) {
    TempDir dir;
    WriteBytes(dir / "source.bin", Pattern(1000));
    RecordingDisplay display;
    ScriptedMessageBox box{kAnswerOk, kAnswerOk};
    // 12 pieces claimed where the stream makes 11.
    EXPECT_FALSE(SplitJoin({Mode::kSplit, dir / "source.bin", dir / "s.m00", {1020, 100, 12}},
                           display, box));
    EXPECT_FALSE(fs::exists(dir / "s.m00"));
    // A piece size that swallows the whole stream would read piece 1 twice.
    WriteBytes(dir / "p.m00", Pattern(100));
    EXPECT_FALSE(
        SplitJoin({Mode::kJoin, dir / "out.bin", dir / "p.m00", {90, 100, 1}}, display, box));
    EXPECT_FALSE(fs::exists(dir / "out.bin"));
    ASSERT_EQ(box.shown.size(), 2u);
    EXPECT_EQ(box.shown[0].prompt, "Error #  5\rInvalid procedure call or argument");
    EXPECT_TRUE(display.Idle());
}

// Reads length bytes of path from offset.
std::vector<uint8_t> BytesAt(const std::string& path, int64_t offset, size_t length) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(offset);
    std::vector<uint8_t> bytes(length);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(length));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

bool SameFiles(const std::string& a, const std::string& b) {
    std::ifstream fa(a, std::ios::binary);
    std::ifstream fb(b, std::ios::binary);
    std::vector<char> ba(1 << 20);
    std::vector<char> bb(1 << 20);
    while (fa && fb) {
        fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
        fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
        if (fa.gcount() != fb.gcount() ||
            !std::equal(ba.begin(), ba.begin() + fa.gcount(), bb.begin())) {
            return false;
        }
    }
    return fa.eof() && fb.eof();
}

// A 3 GiB file (sparse, with marks where lengths and positions pass 2^31 and the piece
// boundaries) splits into four pieces and joins back byte for byte.
TEST(SplitJoin, AFileOfThreeGibibytesSplitsAndJoinsBackExactly) {
    TempDir dir;
    constexpr int64_t kLength = int64_t{3} << 30;
    constexpr int64_t kPiece = 805306373;  // four pieces: (3 GiB + 20) / 4, rounded up
    const auto free = fs::space(dir.path()).available;
    if (free < uintmax_t{7} << 30) {
        GTEST_SKIP() << "needs 7 GiB free for the pieces and the joined file, has " << (free >> 20)
                     << " MiB";
    }
    const std::string source = dir / "big.iso";
    const std::vector<int64_t> marks = {0, kPiece - 20 - 2048, (int64_t{1} << 31) - 2048,
                                        2 * kPiece - 20 - 100, kLength - 4096};
    {
        std::fstream out(source, std::ios::binary | std::ios::out);
        for (size_t i = 0; i < marks.size(); ++i) {
            const auto mark = Pattern(4096, static_cast<uint32_t>(i) + 1);
            out.seekp(marks[i]);
            out.write(reinterpret_cast<const char*>(mark.data()), 4096);
        }
    }
    fs::resize_file(source, kLength);

    RecordingDisplay display;
    ScriptedMessageBox box;
    const SeriesPlan series{kLength + kHeaderLength, kPiece, 4};
    ASSERT_TRUE(SplitJoin({Mode::kSplit, source, dir / "big.m00", series}, display, box));
    const auto header = BytesAt(dir / "big.m00", 0, 20);
    EXPECT_EQ(std::string(header.begin(), header.end()), "KESTRAVOLN3221225472");
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(fs::file_size(PieceName(dir / "big", n)),
                  uintmax_t(n < 4 ? kPiece : kLength + 20 - 3 * kPiece))
            << n;
    }
    // The mark across the first piece boundary is split between the pieces.
    const auto mark = Pattern(4096, 2);
    EXPECT_EQ(BytesAt(dir / "big.m00", kPiece - 2048, 2048),
              std::vector<uint8_t>(mark.begin(), mark.begin() + 2048));
    EXPECT_EQ(BytesAt(dir / "big.m01", 0, 2048),
              std::vector<uint8_t>(mark.begin() + 2048, mark.end()));

    ASSERT_TRUE(SplitJoin({Mode::kJoin, dir / "back.iso", dir / "big.m00", series}, display, box));
    EXPECT_EQ(fs::file_size(dir / "back.iso"), uintmax_t(kLength));
    EXPECT_TRUE(SameFiles(source, dir / "back.iso"));
    EXPECT_EQ(display.progress.back(), 100);
}

// The bar is a whole percentage of the stream, exact at both ends, for streams past 2^31 and
// 2^32 bytes and up to the largest a header can say.
TEST(ProgressPercent, WholePercentagesOfStreamsOfAnyLength) {
    for (const int64_t stream : {int64_t{2147483647}, (int64_t{1} << 31) + 20,
                                 (int64_t{1} << 32) + 20, kMaxSourceLength + kHeaderLength}) {
        SCOPED_TRACE(stream);
        EXPECT_EQ(ProgressPercent(0, stream), 0.0f);
        EXPECT_EQ(ProgressPercent(stream, stream), 100.0f);
        EXPECT_EQ(ProgressPercent(stream - 1, stream), 99.0f);
        EXPECT_EQ(ProgressPercent(stream / 2, stream), 49.0f + (stream % 2 == 0 ? 1.0f : 0.0f));
    }
    EXPECT_EQ(ProgressPercent(int64_t{1} << 32, (int64_t{1} << 33)), 50.0f);
}

}  // namespace
}  // namespace tessarel
