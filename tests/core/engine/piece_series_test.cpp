#include "engine/piece_series.h"

#include <gtest/gtest.h>

#include "platform/runtime_error.h"

namespace tessarel {
namespace {

// The classic header for every length ten digits say, the wide one past them; both read back.
TEST(PieceSeries, HeaderIsTheSignatureAndItsDigits) {
    const std::pair<int64_t, const char*> headers[] = {
        {22, "KESTRAVOLN0000000022"},
        {123456, "KESTRAVOLN0000123456"},
        {2147483627, "KESTRAVOLN2147483627"},
        {kMaxSourceLength, "KESTRAVOLN9999999999"},
        {kMaxSourceLength + 1, "KESTRAVOLW00000000010000000000"},
        {int64_t{1} << 40, "KESTRAVOLW00000001099511627776"},
        {kMaxWideSourceLength, "KESTRAVOLW04611686018427387904"},
    };
    for (const auto& [length, text] : headers) {
        EXPECT_EQ(HeaderText(length), text);
        EXPECT_EQ(HeaderLengthOf(text), HeaderLengthFor(length));
        EXPECT_EQ(HeaderLengthFor(length), int32_t(std::string(text).size()));
        const SeriesPlan plan{length + HeaderLengthFor(length), length / 2 + 30, 2};
        EXPECT_EQ(plan.source_length(), length) << text;
    }
    EXPECT_THROW(HeaderText(kMaxWideSourceLength + 1), RuntimeError);
    EXPECT_THROW(HeaderText(-1), RuntimeError);
}

TEST(PieceSeries, OnlyTheExactSignatureMarksAFirstPiece) {
    EXPECT_TRUE(HasSignature("KESTRAVOLN0000000100"));
    EXPECT_TRUE(HasSignature("KESTRAVOLN"));
    EXPECT_TRUE(HasSignature("KESTRAVOLW00000000010000000000"));
    EXPECT_FALSE(HasSignature("KESTRAVOLX0000000100"));
    EXPECT_FALSE(HasSignature("KESTRAVOLn0000000100"));
    EXPECT_FALSE(HasSignature("kestravoln0000000100"));
    EXPECT_FALSE(HasSignature("KESTRAVOL"));
    EXPECT_FALSE(HasSignature(""));
    EXPECT_FALSE(HasSignature(std::string("KESTRA\0OLN", 10)));
}

TEST(PieceSeries, PiecesAreNumberedFromZeroWithAtLeastTwoDigits) {
    EXPECT_EQ(PieceName("/w/data", 1), "/w/data.m00");
    EXPECT_EQ(PieceName("/w/data", 2), "/w/data.m01");
    EXPECT_EQ(PieceName("/w/data", 11), "/w/data.m10");
    EXPECT_EQ(PieceName("/w/data", 100), "/w/data.m99");
    EXPECT_EQ(PieceName("/w/data", 101), "/w/data.m100");
    EXPECT_EQ(PieceName("/w/data", 32767), "/w/data.m32766");
}

TEST(PieceSeries, CountAndLengthsCoverTheStreamExactly) {
    // 1000-byte file, 100-byte pieces: 11 pieces, the last 20 bytes.
    EXPECT_EQ(PieceCount(1020, 100), 11);
    EXPECT_EQ(PieceLength(1020, 100, 1), 100);
    EXPECT_EQ(PieceLength(1020, 100, 11), 20);
    // 102-byte pieces: exactly 10 full pieces.
    EXPECT_EQ(PieceCount(1020, 102), 10);
    EXPECT_EQ(PieceLength(1020, 102, 10), 102);
    // 10000-byte file, 9999-byte pieces: the second piece holds 21 bytes.
    EXPECT_EQ(PieceCount(10020, 9999), 2);
    EXPECT_EQ(PieceLength(10020, 9999, 2), 21);
    // 2080 bytes in 21-byte pieces is the largest split: exactly 100.
    EXPECT_EQ(PieceCount(2100, 21), 100);
    EXPECT_EQ(PieceCount(2101, 21), 101);
    // At the 32-bit limit the arithmetic must not wrap.
    EXPECT_EQ(PieceCount(2147483647, 21474837), 100);
    EXPECT_EQ(PieceCount(2147483647, 21474836), 101);
    for (int64_t size : {21, 99, 100, 1019, 1020}) {
        int64_t sum = 0;
        for (int64_t n = 1; n <= PieceCount(1020, size); ++n) {
            sum += PieceLength(1020, size, n);
        }
        EXPECT_EQ(sum, 1020) << size;
    }
}

}  // namespace
}  // namespace tessarel
