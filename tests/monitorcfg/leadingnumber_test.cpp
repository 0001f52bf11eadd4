#include "fieldlimits.h"
#include "leadingnumber.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(ReadLeadingNumber, ReadsTheNumberAtTheStartOfTheText)
{
    EXPECT_EQ(ReadLeadingNumber("300"), 300);
    EXPECT_EQ(ReadLeadingNumber("12abc"), 12);
    EXPECT_EQ(ReadLeadingNumber("007"), 7);
    EXPECT_EQ(ReadLeadingNumber("-7"), -7);
    EXPECT_EQ(ReadLeadingNumber("+42x"), 42);
    EXPECT_DOUBLE_EQ(ReadLeadingNumber("3.75kg"), 3.75);
    EXPECT_DOUBLE_EQ(ReadLeadingNumber(".5"), 0.5);
    EXPECT_DOUBLE_EQ(ReadLeadingNumber("1.2.3"), 1.2);
    EXPECT_EQ(ReadLeadingNumber("1e3"), 1000);
    EXPECT_EQ(ReadLeadingNumber("25E-1x"), 2.5);
}

TEST(ReadLeadingNumber, SkipsBlanksWhereverTheyStand)
{
    EXPECT_EQ(ReadLeadingNumber("  12"), 12);
    EXPECT_EQ(ReadLeadingNumber("1 2 3"), 123);
    EXPECT_EQ(ReadLeadingNumber("- 4\t5"), -45);
    EXPECT_EQ(ReadLeadingNumber("1 e 2"), 100);
}

TEST(ReadLeadingNumber, TextWithoutANumberReadsAsZero)
{
    EXPECT_EQ(ReadLeadingNumber(""), 0);
    EXPECT_EQ(ReadLeadingNumber("(0-255)"), 0);
    EXPECT_EQ(ReadLeadingNumber("(10-65535)"), 0);
    EXPECT_EQ(ReadLeadingNumber("abc12"), 0);
    EXPECT_EQ(ReadLeadingNumber("-"), 0);
    EXPECT_EQ(ReadLeadingNumber("."), 0);
    EXPECT_EQ(ReadLeadingNumber("e5"), 0);
    EXPECT_EQ(ReadLeadingNumber("１２"), 0);  // full-width digits are not digits here
}

TEST(ReadLeadingNumber, AnExponentWithoutDigitsEndsTheNumber)
{
    EXPECT_EQ(ReadLeadingNumber("12e"), 12);
    EXPECT_EQ(ReadLeadingNumber("12e+"), 12);
    EXPECT_EQ(ReadLeadingNumber("12ex3"), 12);
}

TEST(ReadLeadingNumber, HugeExponentsSaturateInsteadOfReadingAsZero)
{
    EXPECT_TRUE(std::isinf(ReadLeadingNumber("1e999")));
    EXPECT_GT(ReadLeadingNumber("1e999"), 0);
    EXPECT_LT(ReadLeadingNumber("-1e999"), 0);
    EXPECT_EQ(ReadLeadingNumber("1e-999"), 0);
}

TEST(ClampFieldText, ClampsOnlyWhatIsOutOfRange)
{
    const FieldLimit id = kFieldLimits[0], octet = kFieldLimits[4], port = kFieldLimits[6],
                     time = kFieldLimits[7];
    EXPECT_EQ(ClampFieldText("300", id.lo, id.hi), "255");
    EXPECT_EQ(ClampFieldText("-7", id.lo, id.hi), "0");
    EXPECT_EQ(ClampFieldText("0", octet.lo, octet.hi), "1");
    EXPECT_EQ(ClampFieldText("256", octet.lo, octet.hi), "255");
    EXPECT_EQ(ClampFieldText("70000", port.lo, port.hi), "65535");
    EXPECT_EQ(ClampFieldText("5", time.lo, time.hi), "10");
    EXPECT_EQ(ClampFieldText("1e999", port.lo, port.hi), "65535");
}

TEST(ClampFieldText, KeepsInRangeTextExactlyAsTyped)
{
    EXPECT_EQ(ClampFieldText("007", 0, 255), "007");
    EXPECT_EQ(ClampFieldText("12.5", 0, 255), "12.5");
    EXPECT_EQ(ClampFieldText("12abc", 0, 255), "12abc");
    EXPECT_EQ(ClampFieldText("(0-255)", 0, 255), "(0-255)");
    EXPECT_EQ(ClampFieldText("", 10, 65535), "");
}

TEST(ClampFieldText, TextWithoutANumberFallsToTheLowerBoundWhereZeroIsOutOfRange)
{
    EXPECT_EQ(ClampFieldText("(10-65535)", 10, 65535), "10");
    EXPECT_EQ(ClampFieldText("abc", 1, 255), "1");
    EXPECT_EQ(ClampFieldText("abc", 0, 65535), "abc");
}
