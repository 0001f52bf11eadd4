// The windows over the endpoints: the server made by the dialog, the
// presentation of a burst of connections, the status areas and buttons of
// the data windows, their send button and send pane, the tree, and the main
// window's close. What the endpoints themselves do is tested in the core.
#include "dialogdriver.h"
#include "scriptedcore.h"
#include "scriptedwindow.h"
#include "testsupport.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/endpointfactory.h"
#include "core/endpoints/tcpclientendpoint.h"
#include "core/endpoints/tcpconnectionendpoint.h"
#include "core/endpoints/tcpserverendpoint.h"
#include "core/endpoints/udpclientendpoint.h"
#include "core/endpoints/udpgroupendpoint.h"
#include "core/endpoints/udpserverendpoint.h"
#include "gui/datawindow.h"
#include "gui/endpointtree.h"
#include "gui/logview.h"

#include <QCheckBox>
#include <QDialog>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QNetworkDatagram>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTreeWidget>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

const QString Local = QStringLiteral("127.0.0.1");

template<class T>
T *Find(QObject *parent, const char *name)
{
    return parent->findChild<T *>(QLatin1String(name));
}

// "创建" on the "TCP Server" root with the port typed into the dialog.
Endpoint *CreateServerByDialog(ScriptedWindow &w, int port)
{
    w.window().selectKindRoot(EndpointKind::TcpServer);
    DialogDriver driver([&](QDialog *d) {
        auto *portBox = Find<QLineEdit>(d, "Edit1");
        auto *ok = Find<QPushButton>(d, "Button1");
        if (d->objectName() != QLatin1String("frmNewServerSock") || !portBox || !ok)
            return int(QDialog::Rejected);
        portBox->setText(QString::number(port));
        ok->click();
        return d->result();
    });
    Find<QPushButton>(&w.window(), "Button1")->click();
    Endpoint *r = w.window().selectedEndpoint();
    return r && r->kind() == EndpointKind::TcpServer ? r : nullptr;
}

Endpoint *ConnectionOf(ScriptedWindow &w, int peerPort)
{
    for (int i = 0; peerPort && i < w.registry().count(); ++i) {
        Endpoint *r = w.registry().at(i);
        if (r->kind() == EndpointKind::TcpConnection && r->remotePort() == peerPort)
            return r;
    }
    return nullptr;
}

// A client connected to port, and its accepted connection once set up.
struct Client
{
    std::unique_ptr<QTcpSocket> socket = std::make_unique<QTcpSocket>();
    Endpoint *record = nullptr;
};

Client Connect(ScriptedWindow &w, int port)
{
    Client c;
    c.socket->connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(port));
    WaitFor([&] { return (c.record = ConnectionOf(w, c.socket->localPort())) != nullptr; });
    return c;
}

QWidget *FrontWindow(ScriptedWindow &w)
{
    QMdiSubWindow *front = Find<QMdiArea>(&w.window(), "MdiArea")->currentSubWindow();
    return front ? front->widget() : nullptr;
}

QString LabelText(ScriptedWindow &w, const Endpoint *r, const char *name)
{
    QLabel *label = w.control<QLabel>(r, name);
    return label ? label->text() : QString();
}

TEST(TcpServerWindows, DialogServerListensAndEachConnectionHasItsOwnWindowAndNode)
{
    ScriptedWindow w;
    ASSERT_TRUE(w.built);
    const int port = FreeTcpPort();
    Endpoint *server = CreateServerByDialog(w, port);
    ASSERT_NE(server, nullptr);
    EXPECT_TRUE(w.messages.texts.isEmpty());
    EXPECT_TRUE(server->isActive());
    EXPECT_FALSE(w.window().welcomeVisible());

    Client a = Connect(w, port);
    ASSERT_NE(a.record, nullptr);
    EXPECT_EQ(w.window().tree().nodeOf(a.record)->parent(), w.window().tree().nodeOf(server));
    EXPECT_EQ(w.window().tree().nodeOf(a.record)->text(0), a.record->caption());
    ASSERT_NE(w.dataWindow(a.record), nullptr);
    EXPECT_NE(w.dataWindow(a.record), w.dataWindow(server));
}

TEST(TcpServerWindows, ABurstOfConnectionsIsShownOnceAndUnseenWindowsAreBuiltWhenFirstShown)
{
    // The burst is presented once: the last node selected and its window in
    // front; the others' windows are built when first shown, with
    // everything that happened meanwhile.
    ScriptedWindow w;
    const int port = FreeTcpPort();
    Endpoint *server = CreateServerByDialog(w, port);
    ASSERT_NE(server, nullptr);
    server->setHexMode(false);
    QTreeWidget *tree = Find<QTreeWidget>(&w.window(), "TreeView1");
    int selections = 0;
    QObject::connect(tree, &QTreeWidget::currentItemChanged, [&] { ++selections; });

    const int count = 12;
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    QList<int> peerPorts;
    for (int i = 0; i < count; ++i) {
        auto c = std::make_unique<QTcpSocket>();
        c->connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(port));
        ASSERT_TRUE(c->waitForConnected(2000));
        peerPorts << c->localPort();
        c->write("hi" + QByteArray::number(i));
        c->flush();
        c->disconnectFromHost();
        clients.push_back(std::move(c));
    }
    ASSERT_TRUE(WaitFor([&] { return w.callsOf(QStringLiteral("OnDisConnect")).size() == count; }, 10000));
    Endpoint *last = ConnectionOf(w, peerPorts.last());
    ASSERT_NE(last, nullptr);
    EXPECT_TRUE(WaitFor([&] { return tree->currentItem() == w.window().tree().nodeOf(last); }, 2000));
    EXPECT_LT(selections, count);
    ASSERT_TRUE(w.dataWindow(last)->hasUi());
    EXPECT_EQ(FrontWindow(w), w.dataWindow(last));

    Endpoint *first = ConnectionOf(w, peerPorts.first());
    ASSERT_NE(first, nullptr);
    DataWindow *unseen = w.dataWindow(first);
    ASSERT_NE(unseen, nullptr);
    EXPECT_FALSE(unseen->hasUi());
    EXPECT_FALSE(unseen->isWindow()) << "an unseen window never shows up on its own";
    tree->setCurrentItem(w.window().tree().nodeOf(first));
    ASSERT_TRUE(unseen->hasUi());
    EXPECT_EQ(FrontWindow(w), unseen);
    QMdiSubWindow *front = Find<QMdiArea>(&w.window(), "MdiArea")->currentSubWindow();
    EXPECT_EQ(front->windowType(), Qt::SubWindow);
    EXPECT_TRUE(front->isMaximized());
    ASSERT_NE(w.control<QCheckBox>(first, "CheckBox2"), nullptr);
    EXPECT_FALSE(w.control<QCheckBox>(first, "CheckBox2")->isChecked());
    EXPECT_TRUE(w.pane(first)->lastLine().endsWith(QStringLiteral(" 收到数据：hi0")))
                << w.pane(first)->lastLine().toStdString();
    EXPECT_EQ(unseen->counterText(), QStringLiteral("收：3字节，发:0字节"));
    EXPECT_EQ(LabelText(w, first, "Label1"), QStringLiteral("已断开"));
    EXPECT_EQ(LabelText(w, first, "Label4"), QStringLiteral("对方端口:%1").arg(peerPorts.first()));
}

// The status area and the start/stop buttons follow the endpoint, for each
// TCP kind.
TEST(TcpWindows, StatusAreaAndButtonsFollowTheEndpoint)
{
    ScriptedWindow w;
    QTcpServer peerServer;
    ASSERT_TRUE(peerServer.listen(QHostAddress::LocalHost, 0));
    Endpoint *client = w.tcpClient(QStringLiteral("c"), peerServer.serverPort());
    EXPECT_EQ(LabelText(w, client, "Label6"), QStringLiteral("本地端口:0"));
    w.control<QPushButton>(client, "Button_5")->click();
    ASSERT_TRUE(WaitFor([&] { return client->isActive(); }));
    ASSERT_TRUE(WaitFor([&] { return LabelText(w, client, "Label1") == QStringLiteral("已连接"); }));
    QTcpSocket *peer = peerServer.nextPendingConnection();
    ASSERT_NE(peer, nullptr);
    peer->write("AB");
    ASSERT_TRUE(WaitFor(
        [&] { return w.dataWindow(client)->counterText() == QStringLiteral("收：2字节，发:0字节"); }));

    const int port = FreeTcpPort();
    Endpoint *server = TcpServerEndpoint::create(w.registry(), port);
    Client a = Connect(w, port);
    ASSERT_NE(a.record, nullptr);

    for (Endpoint *r : {client, a.record, server}) {
        SCOPED_TRACE(r->caption().toStdString());
        w.window().selectEndpoint(r);
        QPushButton *start = w.control<QPushButton>(r, "Button_5");
        QPushButton *stop = w.control<QPushButton>(r, "Button_6");
        ASSERT_TRUE(WaitFor([&] { return stop->isEnabled(); }));
        // "断开" / "停止监听" act when the mouse button is released over them.
        QTest::mouseClick(stop, Qt::LeftButton);
        EXPECT_FALSE(r->isActive());
        EXPECT_TRUE(WaitFor([&] { return !stop->isEnabled(); }));
        if (r != a.record) {
            EXPECT_TRUE(start->isEnabled());
        }
    }
}

TEST(TcpServerWindows, ConnectionErrorsGoToTheServersSendPane)
{
    ScriptedWindow w;
    const int port = FreeTcpPort();
    Endpoint *server = TcpServerEndpoint::create(w.registry(), port);
    Client a = Connect(w, port);
    ASSERT_NE(a.record, nullptr);
    QTcpSocket *accepted = static_cast<TcpConnectionEndpoint *>(a.record)->socket();
    Q_EMIT accepted->errorOccurred(QAbstractSocket::NetworkError);
    const QString pane = w.control<QPlainTextEdit>(server, "Memo3")->toPlainText();
    EXPECT_TRUE(
        pane.endsWith(QStringLiteral("Client Socket异常,代码=%1").arg(int(QAbstractSocket::NetworkError))))
        << pane.toStdString();
    EXPECT_TRUE(w.control<QPlainTextEdit>(a.record, "Memo3")->toPlainText().isEmpty());
    EXPECT_TRUE(w.paneText(a.record).isEmpty());
}

TEST(TcpServerWindows, ClosingTheMainWindowFreesTheListeningPort)
{
    ScriptedWindow w;
    const int port = FreeTcpPort();
    ASSERT_NE(CreateServerByDialog(w, port), nullptr);
    w.window().close();
    QTcpServer again;
    EXPECT_TRUE(again.listen(QHostAddress::AnyIPv4, quint16(port)));
}

TEST(UdpWindows, NewEndpointsAreSelectedAndShowTheirAddresses)
{
    ScriptedWindow w;
    QUdpSocket peer;
    ASSERT_TRUE(peer.bind(QHostAddress::LocalHost, 0));
    const int clientPort = FreeUdpPort();
    Endpoint *c = UdpClientEndpoint::create(w.registry(), Local, peer.localPort(), clientPort);
    EXPECT_EQ(w.window().selectedEndpoint(), c);
    EXPECT_EQ(w.window().tree().nodeOf(c)->parent(), w.window().tree().kindRoot(EndpointKind::UdpClient));
    EXPECT_EQ(LabelText(w, c, "Label3"), QStringLiteral("对方IP:127.0.0.1"));
    EXPECT_EQ(LabelText(w, c, "Label4"), QStringLiteral("对方端口:%1").arg(peer.localPort()));
    EXPECT_EQ(LabelText(w, c, "Label6"), QStringLiteral("本地端口:%1").arg(clientPort));

    const int serverPort = FreeUdpPort();
    Endpoint *s = UdpServerEndpoint::create(w.registry(), serverPort);
    EXPECT_EQ(w.window().selectedEndpoint(), s);
    EXPECT_EQ(LabelText(w, s, "Label3"), QStringLiteral("对方IP:"));
    EXPECT_EQ(LabelText(w, s, "Label4"), QStringLiteral("对方端口:0"));
    peer.writeDatagram("one", QHostAddress(Local), quint16(serverPort));
    ASSERT_TRUE(WaitFor(
        [&] { return LabelText(w, s, "Label4") == QStringLiteral("对方端口:%1").arg(peer.localPort()); }));
    EXPECT_EQ(LabelText(w, s, "Label3"), QStringLiteral("对方IP:127.0.0.1"));
    EXPECT_TRUE(
        WaitFor([&] { return w.dataWindow(s)->counterText() == QStringLiteral("收：3字节，发:0字节"); }));

    Endpoint *g = UdpGroupEndpoint::create(
        w.registry(), QStringLiteral("224.1.1.1"), FreeUdpPort(), UdpGroupEndpoint::Path::Dialog);
    EXPECT_EQ(LabelText(w, g, "Label3"), QStringLiteral("组播地址:224.1.1.1"));
    EXPECT_EQ(LabelText(w, g, "Label4"), QStringLiteral("组播端口:%1").arg(g->localPort()));
}

// The data window's send button: refused (and still counted) before the
// server has a peer, answered to the peer afterwards; a send error ends up
// in a box; in hex mode the pane's hex reading is sent.
TEST(UdpWindows, SendButtonGoesThroughTheEndpoint)
{
    ScriptedWindow w;
    auto typeAndSend = [&](Endpoint *r, const QString &text) {
        w.control<QLineEdit>(r, "Edit_time")->setText(QStringLiteral("0"));
        w.control<QPlainTextEdit>(r, "Memo3")->setPlainText(text);
        w.control<QPushButton>(r, "Button_11")->click();
    };
    QUdpSocket peer;
    ASSERT_TRUE(peer.bind(QHostAddress::LocalHost, 0));
    const int localPort = FreeUdpPort();
    Endpoint *s = UdpServerEndpoint::create(w.registry(), localPort);
    s->setHexMode(false);
    typeAndSend(s, QStringLiteral("hi"));
    EXPECT_EQ(w.pane(s)->lastLine(), QStringLiteral("发送失败，连接已断开"));
    EXPECT_EQ(s->sentBytes(), 2);

    peer.writeDatagram("x", QHostAddress(Local), quint16(localPort));
    ASSERT_TRUE(WaitFor([&] { return s->isActive(); }));
    typeAndSend(s, QStringLiteral("hi"));
    ASSERT_TRUE(WaitFor([&] { return peer.hasPendingDatagrams(); }));
    EXPECT_EQ(peer.receiveDatagram().data(), QByteArray("hi"));
    EXPECT_TRUE(w.messages.texts.isEmpty());

    Endpoint *g = UdpGroupEndpoint::create(
        w.registry(), QStringLiteral("224.1.1.1"), FreeUdpPort(), UdpGroupEndpoint::Path::Dialog);
    g->setHexMode(true);
    typeAndSend(g, QStringLiteral("00FF41"));
    ASSERT_TRUE(WaitFor([&] { return g->receivedBytes() == 3; }));  // the group's loopback
    EXPECT_TRUE(w.pane(g)->lastLine().endsWith(QStringLiteral("{00 FF 41 }") + QString(QChar(0x2400))
                                                              + QChar(0xFFFD) + u'A'))
                << w.pane(g)->lastLine().toStdString();
    EXPECT_TRUE(w.messages.texts.isEmpty());

    Endpoint *c = UdpClientEndpoint::create(w.registry(), QString(), peer.localPort(), FreeUdpPort());
    typeAndSend(c, QStringLiteral("hi"));
    EXPECT_EQ(w.messages.texts, QStringList {QStringLiteral("Null Remote Address")});
}

TEST(EndpointTree, AnEndpointFromALineOpensItsKindsRoot)
{
    ScriptedWindow w;
    Endpoint *r = CreateFromLine(w.registry(),
                                 QStringLiteral("SOCKETTYPE=TCP Server,PORT=%1,HEX=1").arg(FreeTcpPort()));
    ASSERT_NE(r, nullptr);
    QTreeWidgetItem *root = w.window().tree().kindRoot(EndpointKind::TcpServer);
    EXPECT_EQ(w.window().tree().nodeOf(r)->parent(), root);
    EXPECT_TRUE(root->isExpanded());
    EXPECT_TRUE(w.control<QCheckBox>(r, "CheckBox2")->isChecked());
}

}  // namespace
