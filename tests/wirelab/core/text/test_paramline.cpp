#include "core/errors.h"
#include "core/text/paramline.h"

#include <gtest/gtest.h>

TEST(ParamLine, WorkspaceLinesReadBackPerKind)
{
    const ParamLine server = readParamLine("SOCKETTYPE=TCP Server,PORT=60000,HEX=1");
    EXPECT_EQ(server.socketType, "TCP Server");
    EXPECT_EQ(server.port, 60000);
    EXPECT_EQ(server.hex, 1);
    EXPECT_TRUE(server.host.isEmpty());

    const ParamLine client = readParamLine("SOCKETTYPE=TCP Client,PORT=7,HOST=10.0.0.1");
    EXPECT_EQ(client.socketType, "TCP Client");
    EXPECT_EQ(client.port, 7);
    EXPECT_EQ(client.host, "10.0.0.1");
    EXPECT_EQ(client.hex, 0);  // no HEX: default

    // PORT is read inside REMOTEPORT / LOCALPORT; neither kind uses it.
    const ParamLine udpClient =
        readParamLine("SOCKETTYPE=UDP Client,REMOTEPORT=5000,LOCALPORT=6000,HOST=127.0.0.1,HEX=0");
    EXPECT_EQ(udpClient.remotePort, 5000);
    EXPECT_EQ(udpClient.localPort, 6000);
    EXPECT_EQ(udpClient.port, 5000);
    EXPECT_EQ(udpClient.host, "127.0.0.1");

    const ParamLine udpServer = readParamLine("SOCKETTYPE=UDP Server,LOCALPORT=60000,HOST=,HEX=0");
    EXPECT_EQ(udpServer.localPort, 60000);
    EXPECT_EQ(udpServer.port, 60000);
    EXPECT_TRUE(udpServer.host.isEmpty());

    const ParamLine group = readParamLine("SOCKETTYPE=UDP Group,PORT=65000,HOST=224.1.1.1,HEX=1");
    EXPECT_EQ(group.port, 65000);
    EXPECT_EQ(group.localPort, 0);
    EXPECT_EQ(group.host, "224.1.1.1");
}

TEST(ParamLine, ValuesAreCutAtCommasAndNotTrimmed)
{
    EXPECT_EQ(readParamLine("SOCKETTYPE=TCP Client,HOST=a,b,PORT=1").host, "a");
    EXPECT_EQ(readParamLine("SOCKETTYPE=tcp client").socketType, "tcp client");
    EXPECT_EQ(readParamLine("SOCKETTYPE= TCP Server ,PORT=1").socketType, " TCP Server ");
    // Blanks around numbers are what the integer conversion accepts.
    EXPECT_EQ(readParamLine("PORT= 80 ,HEX=1").port, 80);
    EXPECT_EQ(readParamLine("HOST=x").socketType, "");
    EXPECT_EQ(readParamLine("").port, 0);
}

TEST(ParamLine, ValueStartsOneCharacterAfterTheBareKeyWord)
{
    bool found = true;
    EXPECT_EQ(paramValue("HOST=1", "PORT", &found), "");
    EXPECT_FALSE(found);
    // The bare word PORT first occurs without "=" after it: the character
    // after the word is skipped whatever it is.
    EXPECT_EQ(paramValue("PORTX9,PORT=1", "PORT", &found), "9");
    EXPECT_TRUE(found);
    EXPECT_EQ(paramValue("PORT=", "PORT", &found), "");
    EXPECT_TRUE(found);
    EXPECT_EQ(paramValue("HOST=HEX", "HEX"), "");
    EXPECT_EQ(paramValue("HEX=1,HOST=a", "HEX"), "1");
    // HEX inside a host "HEXA": the A is skipped as if it were the "=", the
    // value read is empty, and since no "HEX=" stands there the line is
    // misread: the conversion fails and nothing may be created from it.
    EXPECT_THROW(readParamLine("SOCKETTYPE=TCP Client,PORT=1,HOST=HEXA,HEX=1"), ConvertError);
}

TEST(ParamLine, NonNumericNumbersRaiseTheConversionError)
{
    try {
        readParamLine("SOCKETTYPE=TCP Server,PORT=abc,HEX=1");
        FAIL() << "no error";
    } catch (const ConvertError &e) {
        EXPECT_EQ(e.message(), "'abc' is not a valid integer value");
    }
    EXPECT_THROW(readParamLine("SOCKETTYPE=TCP Client,PORT=1,HOST=HEXAB7,HEX=1"), ConvertError);
    EXPECT_THROW(readParamLine("HEX=1.5"), ConvertError);
    EXPECT_THROW(readParamLine("LOCALPORT= "), ConvertError);
    EXPECT_THROW(readParamLine("REMOTEPORT=99999999999"), ConvertError);
    EXPECT_EQ(readParamLine("PORT=,HEX=").port, 0);  // empty keeps the default
}
