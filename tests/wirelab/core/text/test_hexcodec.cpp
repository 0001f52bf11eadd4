#include "core/text/hexcodec.h"

#include <gtest/gtest.h>

TEST(HexCodec, ByteToHexIsTwoUpperCaseDigits)
{
    EXPECT_EQ(byteToHex(0), "00");
    EXPECT_EQ(byteToHex(10), "0A");
    EXPECT_EQ(byteToHex(0xA5), "A5");
    EXPECT_EQ(byteToHex(255), "FF");
}

TEST(HexCodec, OutputFormsKeepZeroAndHighBytes)
{
    const QByteArray data("\x00\xFF", 2);
    EXPECT_EQ(strToHexSpaced(data), "00 FF ");
    EXPECT_EQ(strToHexCompact(data), "00FF");
    EXPECT_EQ(hexDisplayForm(data), "{00 FF }");
    EXPECT_EQ(strToHexCompact("123"), "313233");
    EXPECT_EQ(hexDisplayForm("123"), "{31 32 33 }");
}

TEST(HexCodec, EmptyInputGivesEmptyFormsAndBraces)
{
    EXPECT_TRUE(strToHexSpaced(QByteArray()).isEmpty());
    EXPECT_TRUE(strToHexCompact(QByteArray()).isEmpty());
    EXPECT_EQ(hexDisplayForm(QByteArray()), "{}");
}

TEST(HexCodec, EveryByteValueRoundTripsThroughBothForms)
{
    QByteArray all;
    for (int v = 0; v < 256; ++v)
        all.append(char(v));
    const QString compact = strToHexCompact(all);
    ASSERT_EQ(compact.size(), 512);
    EXPECT_EQ(hexTextToStr(compact), all);
    EXPECT_EQ(hexTextToStr(compact.toLower()), all);

    const QString spaced = strToHexSpaced(all);
    ASSERT_EQ(spaced.size(), 768);
    for (int v = 0; v < 256; ++v) {
        EXPECT_EQ(spaced.mid(v * 3, 3), byteToHex(quint8(v)) + u' ') << v;
        EXPECT_EQ(HexToInt(spaced.mid(v * 3, 2)), quint32(v)) << v;
    }
    EXPECT_EQ(hexDisplayForm(all), u'{' + spaced + u'}');
}

TEST(HexCodec, HexToIntCountsBlanksAndStrangersAsZero)
{
    EXPECT_EQ(HexToInt(""), 0u);
    EXPECT_EQ(HexToInt(" 5"), 5u);
    EXPECT_EQ(HexToInt("5 "), 0x50u);
    EXPECT_EQ(HexToInt("ff"), 255u);
    EXPECT_EQ(HexToInt("aB"), 0xABu);
    EXPECT_EQ(HexToInt("G1"), 1u);
    EXPECT_EQ(HexToInt("\n1"), 1u);
    EXPECT_EQ(HexToInt(QString(QChar(0x0661)) + u'2'), 2u);  // Arabic-Indic one is no hex digit
    EXPECT_EQ(HexToInt("123456789"), 0x23456789u);  // wraps at 32 bits
}

TEST(HexCodec, HexTextToStrTakesFixedPairs)
{
    EXPECT_EQ(hexTextToStr("313233"), "123");
    EXPECT_EQ(hexTextToStr("3132333"), "123");
    EXPECT_EQ(hexTextToStr("a1"), QByteArray("\xA1"));
    EXPECT_TRUE(hexTextToStr("7").isEmpty());
    EXPECT_TRUE(hexTextToStr("").isEmpty());
    // Separators take positions like digits; a blank is the digit 0.
    EXPECT_EQ(hexTextToStr("41 42"), QByteArray("\x41\x04", 2));
    EXPECT_EQ(hexTextToStr("00\r\n41"), QByteArray("\x00\x00\x41", 3));
    EXPECT_EQ(hexTextToStr("zz"), QByteArray(1, '\0'));
}

// The forms are built for every received block, however large (their speed
// is measured by the benchmarks, not here).
TEST(HexCodec, LargeBlocksConvertBothWays)
{
    QByteArray big(8 * 1024 * 1024, Qt::Uninitialized);
    for (int i = 0; i < big.size(); ++i)
        big[i] = char(i * 7);
    const QString spaced = strToHexSpaced(big);
    const QString compact = strToHexCompact(big);
    const QString display = hexDisplayForm(big);
    const QByteArray back = hexTextToStr(compact);
    EXPECT_EQ(spaced.size(), big.size() * 3);
    EXPECT_EQ(display.size(), big.size() * 3 + 2);
    EXPECT_EQ(back, big);
    EXPECT_EQ(spaced.right(3), byteToHex(quint8(big.back())) + u' ');
}
