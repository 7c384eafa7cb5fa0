#include "engine/piece_series.h"

#include <gtest/gtest.h>

#include "platform/runtime_error.h"

namespace tessarel {
namespace {

TEST(PieceSeries, HeaderIsTheSignatureAndTenDigits) {
    EXPECT_EQ(HeaderText(123456), "KESTRAVOLN0000123456");
    EXPECT_EQ(HeaderText(22), "KESTRAVOLN0000000022");
    EXPECT_EQ(HeaderText(2147483627), "KESTRAVOLN2147483627");
    EXPECT_EQ(HeaderText(3221225472), "KESTRAVOLN3221225472");
    EXPECT_EQ(HeaderText(kMaxSourceLength), "KESTRAVOLN9999999999");
    EXPECT_EQ(HeaderText(kMaxSourceLength).size(), 20u);
    EXPECT_THROW(HeaderText(kMaxSourceLength + 1), RuntimeError);
    EXPECT_THROW(HeaderText(-1), RuntimeError);
}

TEST(PieceSeries, OnlyTheExactSignatureMarksAFirstPiece) {
    EXPECT_TRUE(HasSignature("KESTRAVOLN0000000100"));
    EXPECT_TRUE(HasSignature("KESTRAVOLN"));
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
