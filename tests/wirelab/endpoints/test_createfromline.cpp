// Endpoints made from parameter lines on a real main window: the dispatch on
// the kind, the silent port probe, the hex box, and lines that make nothing.

#include "common/errors.h"
#include "datawindow/tfrmdata.h"
#include "endpoints/createfromline.h"
#include "endpoints/endpointnode.h"
#include "endpoints/kinds.h"
#include "endpoints/mainwindow.h"
#include "endpoints/tmysocket.h"
#include "endpoints/workbench.h"
#include "seamrecorder.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTreeWidgetItem>
#include <QUdpSocket>
#include <gtest/gtest.h>

namespace {

class CreateFromLineTest : public ::testing::Test
{
protected:
    MessageRecorder messages;
    TForm1 form{QStringLiteral("/nonexistent/project.txt")};
    Workbench &wb = form.workbench();

    TMySocket *create(const QString &line) { return CreateFromLine(wb, line); }
    static QString parentText(TMySocket *r)
    {
        auto *node = static_cast<QTreeWidgetItem *>(r->node);
        return node && node->parent() ? node->parent()->text(0) : QString();
    }
};

int FreeTcpPort()
{
    QTcpServer s;
    return s.listen(QHostAddress::AnyIPv4, 0) ? s.serverPort() : 0;
}

} // namespace

TEST_F(CreateFromLineTest, TcpServerListensWithTheHexBoxOn)
{
    const int port = FreeTcpPort();
    TMySocket *r = create(QStringLiteral("SOCKETTYPE=TCP Server,PORT=%1,HEX=1").arg(port));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->kind, Kind::TcpServer);
    EXPECT_EQ(r->state, 1);
    EXPECT_EQ(r->localPort, port);
    EXPECT_EQ(parentText(r), Kind::TcpServer);
    EXPECT_TRUE(static_cast<QTreeWidgetItem *>(r->node)->parent()->isExpanded());
    ASSERT_NE(r->window, nullptr);
    EXPECT_TRUE(r->window->hexMode());
    EXPECT_TRUE(wb.registry().contains(r));
}

TEST_F(CreateFromLineTest, TcpClientWithoutHexHasTheBoxOffAndHostCutAtAComma)
{
    TMySocket *r = create(QStringLiteral("SOCKETTYPE=TCP Client,PORT=7,HOST=127.0.0.1"));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->kind, Kind::TcpClient);
    EXPECT_EQ(r->state, 0);
    EXPECT_EQ(r->remoteHost, "127.0.0.1");
    EXPECT_EQ(r->remotePort, 7);
    EXPECT_FALSE(r->window->hexMode());  // the window's own default is on

    TMySocket *cut = create(QStringLiteral("SOCKETTYPE=TCP Client,PORT=7,HOST=127.0.0.1,junk,HEX=0"));
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(cut->remoteHost, "127.0.0.1");

    // Blanks and a sign around a number are accepted by the conversion.
    TMySocket *signedPort = create(QStringLiteral("SOCKETTYPE=TCP Client,PORT= +8 ,HOST=127.0.0.1,HEX= 1"));
    ASSERT_NE(signedPort, nullptr);
    EXPECT_EQ(signedPort->remotePort, 8);
    EXPECT_TRUE(signedPort->window->hexMode());
    EXPECT_EQ(parentText(signedPort), Kind::TcpClient);
}

TEST_F(CreateFromLineTest, LinesThatMakeNothing)
{
    const int before = wb.registry().count();
    EXPECT_EQ(create(QStringLiteral("SOCKETTYPE=tcp client,PORT=7,HOST=127.0.0.1")), nullptr);
    EXPECT_EQ(create(QStringLiteral("SOCKETTYPE=TCP Server ,PORT=0")), nullptr);
    EXPECT_EQ(create(QStringLiteral("PORT=7")), nullptr);
    // HEX is first found inside the host HEXA: not a number.
    EXPECT_THROW(create(QStringLiteral("SOCKETTYPE=TCP Client,PORT=1,HOST=HEXA,HEX=1")), ConvertError);
    EXPECT_THROW(create(QStringLiteral("SOCKETTYPE=TCP Server,PORT=abc,HEX=1")), ConvertError);
    EXPECT_THROW(create(QStringLiteral("SOCKETTYPE=TCP Server,PORT=1 2,HEX=1")), ConvertError);
    EXPECT_THROW(create(QStringLiteral("SOCKETTYPE=TCP Server,PORT=99999999999,HEX=1")), ConvertError);
    EXPECT_EQ(wb.registry().count(), before);
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(CreateFromLineTest, UdpKindsProbeTheirLocalPortSilently)
{
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::AnyIPv4, 0));
    const int busy = holder.localPort();
    const int before = wb.registry().count();
    EXPECT_EQ(create(QStringLiteral("SOCKETTYPE=UDP Server,LOCALPORT=%1,HOST=,HEX=0").arg(busy)), nullptr);
    EXPECT_EQ(create(QStringLiteral("SOCKETTYPE=UDP Client,REMOTEPORT=9,LOCALPORT=%1,HOST=127.0.0.1,HEX=0")
                         .arg(busy)),
              nullptr);
    EXPECT_EQ(create(QStringLiteral("SOCKETTYPE=UDP Group,PORT=%1,HOST=239.255.1.2,LOCALPORT=%1,HEX=0").arg(busy)),
              nullptr);
    EXPECT_EQ(wb.registry().count(), before);
    EXPECT_TRUE(messages.texts.isEmpty());

    holder.close();
    TMySocket *server = create(QStringLiteral("SOCKETTYPE=UDP Server,LOCALPORT=%1,HOST=,HEX=1").arg(busy));
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(server->kind, Kind::UdpServer);
    EXPECT_EQ(server->localPort, busy);
    EXPECT_TRUE(server->window->hexMode());
    EXPECT_EQ(parentText(server), Kind::UdpServer);
}
