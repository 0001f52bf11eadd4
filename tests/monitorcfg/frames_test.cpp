#include "frames.h"

#include <gtest/gtest.h>

namespace {

ConfigFields Fields(const QString &id1, const QString &id2, const std::array<QString, 4> &ip,
                    const QString &port, const QString &time)
{
    return ConfigFields {id1, id2, ip, port, time};
}

ConfigFields WorkedExample() { return Fields("1", "2", {"192", "168", "1", "100"}, "5000", "60"); }

}  // namespace

TEST(ConfigFrame, WorkedExampleByteForByte)
{
    const QByteArray expected = QByteArray("dst=001-002,192.168.1.100,05000,00060\r\n") + QByteArray(2, '\0');
    EXPECT_EQ(BuildConfigFrame(WorkedExample()), expected);
}

TEST(ConfigFrame, ShortestAndLongestAddress)
{
    const QByteArray n7 = BuildConfigFrame(Fields("1", "2", {"1", "1", "1", "1"}, "80", "60"));
    ASSERT_EQ(n7.size(), kFrameSize);
    EXPECT_EQ(n7.left(33), QByteArray("dst=001-002,1.1.1.1,00080,00060\r\n"));
    EXPECT_EQ(n7.mid(33), QByteArray(8, '\0'));

    const QByteArray n15 =
        BuildConfigFrame(Fields("255", "255", {"255", "255", "255", "255"}, "65535", "65535"));
    EXPECT_EQ(n15, QByteArray("dst=255-255,255.255.255.255,65535,65535\r\n"));
}

TEST(ConfigFrame, FieldWidths)
{
    const QByteArray f = BuildConfigFrame(Fields("7", "12", {"10", "0", "0", "1"}, "80", "123456"));
    EXPECT_EQ(f.left(4 + 3 + 1 + 3), QByteArray("dst=007-012"));
    EXPECT_EQ(f.left(34), QByteArray("dst=007-012,10.0.0.1,00080,12345\r\n"));
    EXPECT_EQ(f.at(34), '\0');
    // Texts at or over the width are cut, not padded.
    const QByteArray g = BuildConfigFrame(Fields("1234", "abc", {"1", "2", "3", "4567"}, "12345", "10"));
    EXPECT_EQ(g.left(35), QByteArray("dst=123-abc,1.2.3.456,12345,00010\r\n"));
}

TEST(ConfigFrame, EmptyFieldsLeaveZeroBytesAndKeepTheirPlace)
{
    const QByteArray f = BuildConfigFrame(Fields("1", "", {"192", "", "1", "1"}, "", "60"));
    ASSERT_EQ(f.size(), kFrameSize);
    EXPECT_EQ(f.mid(8, 3), QByteArray(3, '\0'));
    EXPECT_EQ(f.at(11), ',');
    // The empty second octet still takes three positions: n = 3+1+3+1+1+1+1 = 11.
    EXPECT_EQ(f.mid(12, 11), QByteArray("192.\0\0\0.1.1", 11));
    EXPECT_EQ(f.at(23), ',');
    EXPECT_EQ(f.mid(24, 5), QByteArray(5, '\0'));
    EXPECT_EQ(f.mid(29, 9), QByteArray(",00060\r\n\0", 9));
}

TEST(ConfigFrame, CharactersThatDoNotFitOneByteBecomeZero)
{
    const QByteArray f = BuildConfigFrame(Fields("一", "2", {"1", "1", "1", "1"}, "80", "60"));
    // One character long, so padded to width 3 like any other.
    EXPECT_EQ(f.mid(4, 3), QByteArray("00\0", 3));
    EXPECT_EQ(f.mid(7, 4), QByteArray("-002"));
    const QByteArray g = BuildConfigFrame(Fields("1", "2", {"1", "1", "1", "1"}, "😀80", "60"));
    const char port[] = {'0', '0', '\0', '8', '0'};
    EXPECT_EQ(g.mid(20, 5), QByteArray(port, 5));
}

TEST(QueryFrame, FixedCommandThenZeros)
{
    EXPECT_EQ(BuildQueryFrame(), QByteArray("get dst=?\r\n") + QByteArray(30, '\0'));
}

TEST(ConfigReport, EchoesTheFormsValues)
{
    EXPECT_EQ(ConfigReport(WorkedExample()),
              QStringLiteral("配置成功！\r\nID:1-2\r\nIP:192.168.1.100\r\n端口号:5000\r\n在线时间:60秒(S)"));
}
