#include "platform/conversions.h"

#include <gtest/gtest.h>

#include "platform/runtime_error.h"

namespace tessarel {
namespace {

int ErrorOf(const std::string& text) {
    try {
        TextToInt32(text);
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

TEST(Conversions, MessagesPutABlankWhereThePlusSignWouldBeCaptionsDoNot) {
    EXPECT_EQ(StrWithSign(7), " 7");
    EXPECT_EQ(StrWithSign(0), " 0");
    EXPECT_EQ(StrWithSign(-12), "-12");
    EXPECT_EQ(" Will split into " + StrWithSign(7) + " files.", " Will split into  7 files.");
    EXPECT_EQ(PlainNumber(100), "100");
    EXPECT_EQ(PlainNumber(-3), "-3");
}

TEST(Conversions, LeadingNumberReadsWhatATextStartsWith) {
    EXPECT_EQ(LeadingNumber("1400"), 1400);
    EXPECT_EQ(LeadingNumber(""), 0);
    EXPECT_EQ(LeadingNumber("abc"), 0);
    EXPECT_EQ(LeadingNumber("12abc"), 12);
    EXPECT_EQ(LeadingNumber(" 1 400 KB"), 1400);
    EXPECT_EQ(LeadingNumber("1.5"), 1.5);
    EXPECT_EQ(LeadingNumber("-3"), -3);
    EXPECT_EQ(LeadingNumber("2e3"), 2000);
    EXPECT_EQ(LeadingNumber("2e"), 2);
    EXPECT_EQ(LeadingNumber("."), 0);
}

TEST(Conversions, TextToInt32RoundsHalvesToEvenAndChecksItsRange) {
    EXPECT_EQ(TextToInt32(" 1433600"), 1433600);
    EXPECT_EQ(TextToInt32("0000001000"), 1000);
    EXPECT_EQ(TextToInt32("21 "), 21);
    EXPECT_EQ(TextToInt32("2.5"), 2);
    EXPECT_EQ(TextToInt32("3.5"), 4);
    EXPECT_EQ(TextToInt32("-2.5"), -2);
    EXPECT_EQ(TextToInt32(" 307.2"), 307);
    EXPECT_EQ(TextToInt32("2147483647"), 2147483647);
    EXPECT_EQ(TextToInt32("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(ErrorOf("2147483648"), kErrOverflow);
    EXPECT_EQ(ErrorOf(" 1.024E+20"), kErrOverflow);
    EXPECT_EQ(ErrorOf("9999999999"), kErrOverflow);
    EXPECT_EQ(ErrorOf(""), kErrTypeMismatch);
    EXPECT_EQ(ErrorOf("   "), kErrTypeMismatch);
    EXPECT_EQ(ErrorOf("12abc"), kErrTypeMismatch);
    EXPECT_EQ(ErrorOf("00000ABCDE"), kErrTypeMismatch);
    EXPECT_EQ(ErrorOf("1 2"), kErrTypeMismatch);
}

TEST(Conversions, ComputedSizesRoundTripThroughTheirText) {
    EXPECT_EQ(RealWithSign(1400 * 1024.0), " 1433600");
    EXPECT_EQ(RealWithSign(0.0), " 0");
    EXPECT_EQ(RealWithSign(0.3 * 1024.0), " 307.2");
    EXPECT_EQ(RealWithSign(-1.5), "-1.5");
    EXPECT_EQ(RealWithSign(1e20), " 1E+20");
    EXPECT_EQ(TextToInt32(RealWithSign(99999 * 1024.0)), 102398976);
}

}  // namespace
}  // namespace tessarel
