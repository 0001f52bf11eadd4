// Endpoints made from parameter lines: the list of kinds, the dispatch on
// the kind, the silent port probe, the hex mode, and lines that make
// nothing.
#include "scriptedcore.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/endpointfactory.h"
#include "core/endpoints/kinddescriptor.h"
#include "core/errors.h"

#include <QHostAddress>
#include <QUdpSocket>
#include <gtest/gtest.h>

namespace {

// Whether r was placed last under its kind's root.
bool UnderItsRoot(ScriptedCore &f, Endpoint *r)
{
    const QList<Endpoint *> under = f.registry().endpointsOf(r->kind());
    return !under.isEmpty() && under.last() == r;
}

// The list of kinds and their descriptors agree: a kind listed twice, or a
// descriptor answering for another kind or under a taken name, would
// create or show the wrong thing.
TEST(CreateFromLine, EveryKindIsDescribedOnceUnderItsOwnName)
{
    QStringList names;
    for (EndpointKind kind : AllKinds) {
        const KindDescriptor &d = kindDescriptor(kind);
        EXPECT_EQ(d.kind(), kind) << d.name().toStdString();
        EXPECT_EQ(kindFromName(d.name()), kind) << d.name().toStdString();
        EXPECT_FALSE(names.contains(d.name())) << d.name().toStdString();
        names << d.name();
    }
}

TEST(CreateFromLine, TcpServerListensWithTheHexModeOn)
{
    ScriptedCore f;
    const int port = FreeTcpPort();
    Endpoint *r =
        CreateFromLine(f.registry(), QStringLiteral("SOCKETTYPE=TCP Server,PORT=%1,HEX=1").arg(port));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->kind(), EndpointKind::TcpServer);
    EXPECT_TRUE(r->isActive());
    EXPECT_EQ(r->localPort(), port);
    EXPECT_TRUE(UnderItsRoot(f, r));
    EXPECT_TRUE(r->hexMode());
}

TEST(CreateFromLine, TcpClientTakesHexFromTheLineAndTheHostCutAtAComma)
{
    ScriptedCore f;
    Endpoint *r = CreateFromLine(f.registry(), QStringLiteral("SOCKETTYPE=TCP Client,PORT=7,HOST=127.0.0.1"));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->kind(), EndpointKind::TcpClient);
    EXPECT_FALSE(r->isActive());
    EXPECT_EQ(r->remoteHost(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(r->remotePort(), 7);
    EXPECT_FALSE(r->hexMode());  // an endpoint's own default is on

    Endpoint *cut = CreateFromLine(f.registry(),
                                   QStringLiteral("SOCKETTYPE=TCP Client,PORT=7,HOST=127.0.0.1,junk,HEX=0"));
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(cut->remoteHost(), QStringLiteral("127.0.0.1"));

    // Blanks and a sign around a number are accepted by the conversion.
    Endpoint *signedPort =
        CreateFromLine(f.registry(), QStringLiteral("SOCKETTYPE=TCP Client,PORT= +8 ,HOST=127.0.0.1,HEX= 1"));
    ASSERT_NE(signedPort, nullptr);
    EXPECT_EQ(signedPort->remotePort(), 8);
    EXPECT_TRUE(signedPort->hexMode());
    EXPECT_TRUE(UnderItsRoot(f, signedPort));
}

TEST(CreateFromLine, LinesThatMakeNothing)
{
    ScriptedCore f;
    const char *nothing[] = {
        "SOCKETTYPE=tcp client,PORT=7,HOST=127.0.0.1",
        "SOCKETTYPE=TCP Server ,PORT=0",
        "PORT=7",
    };
    for (const char *line : nothing)
        EXPECT_EQ(CreateFromLine(f.registry(), QLatin1String(line)), nullptr) << line;
    const char *notANumber[] = {
        "SOCKETTYPE=TCP Client,PORT=1,HOST=HEXA,HEX=1",  // HEX is first found inside the host
        "SOCKETTYPE=TCP Server,PORT=abc,HEX=1",
        "SOCKETTYPE=TCP Server,PORT=1 2,HEX=1",
        "SOCKETTYPE=TCP Server,PORT=99999999999,HEX=1",
    };
    for (const char *line : notANumber)
        EXPECT_THROW(CreateFromLine(f.registry(), QLatin1String(line)), ConvertError) << line;
    // A port is refused, naming its key and value, never cut to 16 bits.
    const struct
    {
        const char *line;
        const char *names;
    } outOfRange[] = {
        {"SOCKETTYPE=TCP Server,PORT=70000,HEX=1", "PORT 70000"},
        {"SOCKETTYPE=TCP Client,PORT=-5,HOST=127.0.0.1,HEX=0", "PORT -5"},
        {"SOCKETTYPE=UDP Client,REMOTEPORT=65536,LOCALPORT=0,HOST=127.0.0.1,HEX=0", "REMOTEPORT 65536"},
        {"SOCKETTYPE=UDP Server,LOCALPORT=-1,HOST=,HEX=0", "LOCALPORT -1"},
        {"SOCKETTYPE=UDP Group,PORT=65536,HOST=239.255.42.7,HEX=0", "PORT 65536"},
    };
    for (const auto &c : outOfRange) {
        try {
            CreateFromLine(f.registry(), QLatin1String(c.line));
            ADD_FAILURE() << c.line << " was not refused";
        } catch (const RangeError &e) {
            EXPECT_TRUE(e.message().startsWith(QLatin1String(c.names))) << e.message().toStdString();
        }
    }
    EXPECT_EQ(f.registry().count(), 0);
    EXPECT_TRUE(f.messages.texts.isEmpty());
}

TEST(CreateFromLine, UdpKindsProbeTheirLocalPortSilently)
{
    ScriptedCore f;
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::AnyIPv4, 0));
    const int busy = holder.localPort();
    const QString lines[] = {
        QStringLiteral("SOCKETTYPE=UDP Server,LOCALPORT=%1,HOST=,HEX=0").arg(busy),
            QStringLiteral("SOCKETTYPE=UDP Client,REMOTEPORT=9,LOCALPORT=%1,HOST=127.0.0.1,HEX=0").arg(busy),
                QStringLiteral("SOCKETTYPE=UDP Group,PORT=%1,HOST=239.255.1.2,LOCALPORT=%1,HEX=0").arg(busy),
            };
    for (const QString &line : lines)
        EXPECT_EQ(CreateFromLine(f.registry(), line), nullptr) << line.toStdString();
    EXPECT_EQ(f.registry().count(), 0);
    EXPECT_TRUE(f.messages.texts.isEmpty());

    holder.close();
    Endpoint *server = CreateFromLine(
        f.registry(), QStringLiteral("SOCKETTYPE=UDP Server,LOCALPORT=%1,HOST=,HEX=1").arg(busy));
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(server->kind(), EndpointKind::UdpServer);
    EXPECT_EQ(server->localPort(), busy);
    EXPECT_TRUE(server->hexMode());
    EXPECT_TRUE(UnderItsRoot(f, server));
}

}  // namespace
