#include "queryreply.h"
#include "replyrules.h"

#include <gtest/gtest.h>

TEST(ConfigReplyRule, ByteThreeIsNotExamined)
{
    EXPECT_TRUE(IsConfigReply("SET OK"));
    EXPECT_TRUE(IsConfigReply("SET_OK"));
    EXPECT_TRUE(IsConfigReply(QByteArray("SET\0OK", 6)));
    EXPECT_TRUE(IsConfigReply("SET OK\r\nanything after"));
}

TEST(ConfigReplyRule, RejectsOtherContentAndShortReplies)
{
    EXPECT_FALSE(IsConfigReply("SETOK"));
    EXPECT_FALSE(IsConfigReply("SETOK!"));  // byte 4 is K, not O
    EXPECT_FALSE(IsConfigReply("set ok"));
    EXPECT_FALSE(IsConfigReply("SET NO"));
    EXPECT_FALSE(IsConfigReply(" SET OK"));
    EXPECT_FALSE(IsConfigReply("SET O"));
    EXPECT_FALSE(IsConfigReply(""));
}

TEST(QueryReplyRule, LooksOnlyAtTheDashAndTheComma)
{
    EXPECT_TRUE(IsQueryReply("001-002,192.168.1.100,05000,00060\r\n"));
    EXPECT_TRUE(IsQueryReply("xyz-abc,"));
    EXPECT_FALSE(IsQueryReply("001+002,192.168.1.100,05000,00060\r\n"));
    EXPECT_FALSE(IsQueryReply("001-002;192.168.1.100,05000,00060\r\n"));
    EXPECT_FALSE(IsQueryReply("001-002"));  // too short to hold byte 7
}

namespace {
QString Crlf(const char *lines)
{
    return QString::fromUtf8(lines).replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}
}  // namespace

TEST(QueryReplyScan, WellFormedReplyGivesTheReportAndZeroPaddedFields)
{
    const QueryReplyResult r = ReadQueryReply("000-255,192.168.1.100,05000,00060\r\n");
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.report, Crlf("查询成功！\nID:000-255\nIP:192.168.1.100\n端口号:05000\n在线时间:00060秒(S)"));
    const std::array<QString, 8> expected {"000", "255", "192", "168", "1", "100", "05000", "00060"};
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(r.fields[i].has_value()) << i;
        EXPECT_EQ(*r.fields[i], expected[i]) << i;
    }
}

TEST(QueryReplyScan, SeparatorsAreSkippedWhateverTheyHoldAndLettersStayInOctets)
{
    // Any byte below 0x30 ends an octet; letters lie above it and belong to it.
    const QueryReplyResult r = ReadQueryReply("0a1-b2c,1a2 b/c+4d,00080*00010");
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.report, Crlf("查询成功！\nID:0a1-b2c\nIP:1a2.b.c.4d\n端口号:00080\n在线时间:00010秒(S)"));
    // The ID fields keep only the digits, in order; octets are taken whole.
    EXPECT_EQ(*r.fields[0], "01");
    EXPECT_EQ(*r.fields[1], "2");
    EXPECT_EQ(*r.fields[2], "1a2");
    EXPECT_EQ(*r.fields[5], "4d");
}

TEST(QueryReplyScan, OnlineTimeRefillStartsOneByteAfterWhereThePortStopped)
{
    const QueryReplyResult r = ReadQueryReply("001-002,1.1.1.1,80,12,00060\r\n");
    EXPECT_EQ(r.report, Crlf("查询成功！\nID:001-002\nIP:1.1.1.1\n端口号:80,12\n在线时间:00060秒(S)"));
    EXPECT_EQ(*r.fields[6], "80");
    EXPECT_EQ(*r.fields[7], "12");
}

TEST(QueryReplyScan, ShortReplyStopsWhereItsBytesEnd)
{
    {
        // The online time is missing: report up to the port, fields untouched.
        const QueryReplyResult r = ReadQueryReply("001-002,1.1.1.1,00080,0006");
        EXPECT_FALSE(r.complete);
        EXPECT_EQ(r.report, Crlf("查询成功！\nID:001-002\nIP:1.1.1.1\n端口号:00080\n"));
        for (const auto &field : r.fields)
            EXPECT_FALSE(field.has_value());
    }
    {
        // An octet that runs into the end of the reply is never finished.
        const QueryReplyResult r = ReadQueryReply("001-002,192.168");
        EXPECT_FALSE(r.complete);
        EXPECT_EQ(r.report, Crlf("查询成功！\nID:001-002\n"));
    }
    {
        const QueryReplyResult r = ReadQueryReply("001-002,1234567890123456789012345678");
        EXPECT_FALSE(r.complete);
        EXPECT_EQ(r.report, Crlf("查询成功！\nID:001-002\n"));
    }
    {
        // Ending right after the online time is enough.
        const QueryReplyResult r = ReadQueryReply("001-002,1.1.1.1,00080,00060");
        EXPECT_TRUE(r.complete);
        EXPECT_EQ(*r.fields[7], "00060");
    }
}

TEST(QueryReplyScan, BytesBeyondSevenBitsShowAsReplacementCharacters)
{
    const QueryReplyResult r = ReadQueryReply("0\xB0"
                                              "1-002,1.1.1.1,00080,00060");
    EXPECT_TRUE(r.complete);
    EXPECT_TRUE(r.report.contains(QStringLiteral("ID:0\uFFFD1-002")));
    EXPECT_EQ(*r.fields[0], "01");
}
