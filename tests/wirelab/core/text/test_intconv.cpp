#include "core/errors.h"
#include "core/text/intconv.h"

#include <gtest/gtest.h>

TEST(IntConv, AcceptsSignedDecimalWithinInt32)
{
    struct Case
    {
        const char *text;
        int value;
    };
    for (const Case &c :
         {Case {"0", 0}, Case {"-0", 0}, Case {"+17", 17}, Case {" 42 ", 42}, Case {"\t-5\n", -5},
          Case {"007", 7}, Case {"2147483647", 2147483647}, Case {"-2147483648", -2147483647 - 1},
          Case {"000000000000002147483647", 2147483647}}) {
        int v = 12345;
        EXPECT_TRUE(tryStrToInt(c.text, v)) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
        EXPECT_EQ(strToInt(c.text), c.value) << c.text;
    }
}

TEST(IntConv, RejectsEverythingElseWithTheConversionText)
{
    for (const char *bad : {"", " ", "+", "-", "1 2", "1.0", "0x10", "1e3", "abc", "12a", "--1", "+-1",
                            "2147483648", "-2147483649", "99999999999999999999", "١٢"}) {
        int v = 12345;
        EXPECT_FALSE(tryStrToInt(QString::fromUtf8(bad), v)) << bad;
        EXPECT_EQ(v, 12345) << bad;  // untouched on failure
        try {
            strToInt(QString::fromUtf8(bad));
            ADD_FAILURE() << "no error for " << bad;
        } catch (const ConvertError &e) {
            EXPECT_EQ(e.message(),
                      QStringLiteral("'%1' is not a valid integer value") .arg(QString::fromUtf8(bad)));
        }
    }
}
