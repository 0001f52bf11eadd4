// The TCP server endpoint against real clients on 127.0.0.1: listening and
// its failures, accepted connections with their names, nodes, windows and
// script events, stop, disconnect, deletion and the main window's close.
#include "scriptedform.h"

#include "datawindow/logpane.h"
#include "datawindow/tfrmdata.h"
#include "endpoints/endpointnode.h"
#include "endpoints/kinds.h"
#include "endpoints/newserversock.h"
#include "endpoints/tcpserverendpoint.h"
#include "endpoints/tmysocket.h"
#include "seamrecorder.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpSocket>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

class TcpServerTest : public ::testing::Test
{
protected:
    explicit TcpServerTest(const QString &extraScript = QString()) : f(extraScript) {}

    // "创建" on the "TCP Server" root with the port typed into the dialog.
    TMySocket *CreateByDialog(int port)
    {
        f.select(f.root(Kind::TcpServer));
        DialogDriver driver([&](QDialog *d) {
            auto *dialog = qobject_cast<TfrmNewServerSock *>(d);
            if (!dialog)
                return int(QDialog::Rejected);
            dialog->Edit1->setText(QString::number(port));
            dialog->Button1->click();
            return dialog->result();
        });
        f.form().Button1->click();
        TMySocket *r = f.wb().SelectedRecord();
        return r && r->kind == Kind::TcpServer ? r : nullptr;
    }

    // A client connected to port whose connection the server has accepted.
    struct Client
    {
        std::unique_ptr<QTcpSocket> socket;
        TMySocket *record = nullptr;
    };
    Client Connect(int port)
    {
        Client c;
        c.socket = std::make_unique<QTcpSocket>();
        c.socket->connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(port));
        WaitFor([&] {
            c.record = ConnectionOf(c.socket->localPort());
            return c.record != nullptr;
        });
        return c;
    }

    TMySocket *ConnectionOf(int peerPort)
    {
        if (peerPort == 0)
            return nullptr;
        for (int i = 0; i < f.wb().registry().count(); ++i) {
            TMySocket *r = f.wb().registry().at(i);
            if (r->kind == Kind::TcpServerClient && r->remotePort == peerPort)
                return r;
        }
        return nullptr;
    }

    static bool Listening(int port)
    {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(port));
        return probe.waitForConnected(2000);
    }

    MessageRecorder messages;  // first in, last out: covers the form's whole life
    ScriptedForm f;
};

TEST_F(TcpServerTest, DialogServerListensAndAcceptsEachClientAsItsOwnEndpoint)
{
    const int port = FreeTcpPort();
    TMySocket *server = CreateByDialog(port);
    ASSERT_NE(server, nullptr);
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_EQ(server->state, 1);
    EXPECT_EQ(StateImageOf(server->node), int(ImgListening));
    EXPECT_EQ(server->node->text(0), server->localAddress + u'[' + QString::number(port) + u']');
    EXPECT_FALSE(f.form().welcomeVisible());

    Client a = Connect(port);
    Client b = Connect(port);
    ASSERT_NE(a.record, nullptr);
    ASSERT_NE(b.record, nullptr);
    ASSERT_NE(a.record, b.record);

    const QString prefix = QStringLiteral("数据收发窗口_");
    const QList<QJsonArray> connects = f.events(QStringLiteral("OnConnect"));
    ASSERT_EQ(connects.size(), 2);
    for (const Client *c : {&a, &b}) {
        TMySocket *r = c->record;
        EXPECT_EQ(r->state, 1);
        EXPECT_EQ(r->remoteHost, QStringLiteral("127.0.0.1"));
        EXPECT_EQ(r->localPort, port);
        EXPECT_EQ(r->node->parent(), server->node);
        EXPECT_EQ(r->node->text(0), QStringLiteral("127.0.0.1[%1]").arg(c->socket->localPort()));
        EXPECT_EQ(StateImageOf(r->node), int(ImgConnected));
        ASSERT_NE(r->window, nullptr);
        EXPECT_NE(r->window, server->window);
        ASSERT_TRUE(r->name().startsWith(prefix)) << r->name().toStdString();
        const QString number = r->name().mid(prefix.size());
        bool numeric = false;
        number.toInt(&numeric);
        EXPECT_TRUE(numeric);
        // OnConnect carries the number that ends the name, not the peer port.
        const QJsonArray ev = c == &a ? connects[0] : connects[1];
        EXPECT_EQ(ev[0].toString(), r->name());
        EXPECT_EQ(ev[2].toString(), QStringLiteral("127.0.0.1"));
        EXPECT_EQ(ev[3].toString(), number);
        EXPECT_EQ(f.wb().FindEndpointByName(r->name()), r);
    }
    EXPECT_NE(a.record->name(), b.record->name());
    EXPECT_EQ(TcpServerEndpoint::LiveConnections(server), 2);
}

TEST_F(TcpServerTest, ReceivedBytesGoToTheConnectionsOwnWindowAndScript)
{
    const int port = FreeTcpPort();
    TMySocket *server = CreateByDialog(port);
    ASSERT_NE(server, nullptr);
    Client a = Connect(port);
    ASSERT_NE(a.record, nullptr);

    a.socket->write(QByteArray("A\0\xff", 3));
    ASSERT_TRUE(WaitFor([&] { return !f.events(QStringLiteral("OnRead")).isEmpty(); }));
    const QJsonArray read = f.events(QStringLiteral("OnRead")).first();
    EXPECT_EQ(read[0].toString(), a.record->name());
    EXPECT_EQ(read[2].toString(), QStringLiteral("4100FF"));
    EXPECT_EQ(read[3].toString(), QStringLiteral("0"));
    EXPECT_EQ(a.record->window->RecvCount, 3);
    EXPECT_TRUE(a.record->window->Memo2->lastLine().contains(QStringLiteral("收到数据：{41 00 FF }")));
    EXPECT_EQ(server->window->RecvCount, 0);
}

TEST_F(TcpServerTest, ClientDisconnectMarksTheConnectionAndReportsThePeerPort)
{
    const int port = FreeTcpPort();
    ASSERT_NE(CreateByDialog(port), nullptr);
    Client a = Connect(port);
    ASSERT_NE(a.record, nullptr);
    const int peerPort = a.socket->localPort();
    const QString name = a.record->name();
    a.socket->disconnectFromHost();

    ASSERT_TRUE(WaitFor([&] { return a.record->state == 0; }));
    EXPECT_EQ(StateImageOf(a.record->node), int(ImgDisconnected));
    const QList<QJsonArray> gone = f.events(QStringLiteral("OnDisConnect"));
    ASSERT_EQ(gone.size(), 1);
    EXPECT_EQ(gone[0][0].toString(), name);
    EXPECT_EQ(gone[0][2].toString(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(gone[0][3].toString(), QString::number(peerPort));
    // The endpoint stays until the user deletes it.
    EXPECT_TRUE(f.wb().registry().contains(a.record));
    EXPECT_EQ(a.record->remotePort, peerPort);
}

TEST_F(TcpServerTest, ABurstOfShortLivedClientsIsSetUpWithNothingLostAndShownOnce)
{
    // Each client connects, sends and closes at once, all before the program
    // has set up the first one. Every connection still gets its node, window,
    // OnConnect, its bytes and its OnDisConnect, in that order, with the
    // peer it had. The burst is presented once: the last node selected and
    // its window in front; the others' windows are built when first shown,
    // with everything that happened meanwhile.
    const int port = FreeTcpPort();
    TMySocket *server = CreateByDialog(port);
    ASSERT_NE(server, nullptr);
    server->window->setHexMode(false);
    const int count = 12;
    int selections = 0;
    QObject::connect(f.form().TreeView1, &QTreeWidget::currentItemChanged, [&] { ++selections; });

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
    ASSERT_TRUE(WaitFor([&] { return f.events(QStringLiteral("OnDisConnect")).size() == count; }, 10000))
        << f.events(QStringLiteral("OnDisConnect")).size();
    TMySocket *last = ConnectionOf(peerPorts.last());
    ASSERT_NE(last, nullptr);
    // Presented at the latest a moment after the burst.
    EXPECT_TRUE(WaitFor([&] { return f.form().TreeView1->currentItem() == last->node; }, 2000));
    EXPECT_LT(selections, count);
    ASSERT_TRUE(last->window->hasUi());
    EXPECT_EQ(f.form().MdiArea->currentSubWindow()->widget(), last->window.data());

    TMySocket *first = ConnectionOf(peerPorts.first());
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(first->window->hasUi());
    EXPECT_FALSE(first->window->isWindow()) << "an unseen window never shows up on its own";
    EXPECT_FALSE(first->window->hexMode());   // the server's mode, kept unbuilt
    f.form().TreeView1->setCurrentItem(first->node);
    ASSERT_TRUE(first->window->hasUi());
    EXPECT_EQ(f.form().MdiArea->currentSubWindow()->widget(), first->window.data());
    EXPECT_EQ(f.form().MdiArea->currentSubWindow()->windowType(), Qt::SubWindow);
    EXPECT_TRUE(f.form().MdiArea->currentSubWindow()->isMaximized());
    EXPECT_TRUE(first->window->findChild<QCheckBox *>(QStringLiteral("CheckBox2")) != nullptr);
    EXPECT_FALSE(first->window->CheckBox2->isChecked());
    EXPECT_TRUE(first->window->Memo2->lastLine().endsWith(QStringLiteral(" 收到数据：hi0")))
        << first->window->Memo2->lastLine().toStdString();
    EXPECT_EQ(first->window->CounterText(), QStringLiteral("收：3字节，发:0字节"));
    EXPECT_EQ(first->window->Label1->text(), QStringLiteral("已断开"));
    EXPECT_EQ(first->window->Label4->text(), QStringLiteral("对方端口:%1").arg(peerPorts.first()));

    for (int i = 0; i < count; ++i) {
        TMySocket *r = ConnectionOf(peerPorts[i]);
        ASSERT_NE(r, nullptr) << i;
        EXPECT_EQ(r->node->text(0), QStringLiteral("127.0.0.1[%1]").arg(peerPorts[i]));
        EXPECT_EQ(r->state, 0);
        EXPECT_EQ(r->window->RecvCount, 2 + QByteArray::number(i).size());
        QStringList order;
        for (const QJsonValue &v : f.log()) {
            const QJsonArray e = v.toArray();
            if (e[0].toString() == r->name())
                order << e[1].toString();
        }
        EXPECT_EQ(order, QStringList({"OnConnect", "OnRead", "OnDisConnect"})) << i;
    }
}

TEST_F(TcpServerTest, PeersClosingAtOnceAreReportedInOrderOverSeveralPasses)
{
    // When a client program ends, all its connections close at once. Each
    // close is still reported after the bytes that came before it; and the
    // closes are handled over several passes of the event loop, not in one
    // that holds the window for all of them.
    const int port = FreeTcpPort();
    ASSERT_NE(CreateByDialog(port), nullptr);
    // Each close costs the script 2 ms, so 30 take well over one pass's share.
    f.wb().EvalScript(QStringLiteral(
        "var recordEvent = OnSocketEvent;\n"
        "OnSocketEvent = function (name, ev, a, b) {\n"
        "  recordEvent(name, ev, a, b);\n"
        "  if (ev == 'OnDisConnect') { var t = Date.now(); while (Date.now() - t < 2) {} }\n"
        "};\n"
        "function closesSoFar() { return log.filter(function (e) { return e[1] == 'OnDisConnect'; }).length; }"));
    const int count = 30;
    std::vector<Client> clients;
    for (int i = 0; i < count; ++i) {
        clients.push_back(Connect(port));
        ASSERT_NE(clients.back().record, nullptr) << i;
    }
    for (Client &c : clients) {
        c.socket->write("bye");
        c.socket->flush();
        c.socket->disconnectFromHost();
    }
    QList<int> seenPerPass;
    QTimer pass;
    pass.setInterval(0);
    QObject::connect(&pass, &QTimer::timeout,
                     [&] { seenPerPass << f.wb().EvalScript(QStringLiteral("closesSoFar()")).toInt(); });
    pass.start();
    ASSERT_TRUE(WaitFor([&] { return !seenPerPass.isEmpty() && seenPerPass.last() == count; }, 10000));
    pass.stop();
    EXPECT_TRUE(std::any_of(seenPerPass.cbegin(), seenPerPass.cend(), [&](int n) { return n > 0 && n < count; }))
        << "all closes were handled in one pass";

    for (Client &c : clients) {
        QStringList order;
        QString lastRead;
        for (const QJsonValue &v : f.log()) {
            const QJsonArray e = v.toArray();
            if (e[0].toString() != c.record->name())
                continue;
            if (order.isEmpty() || order.last() != e[1].toString())
                order << e[1].toString();
            if (e[1].toString() == QStringLiteral("OnRead"))
                lastRead = e[2].toString();
        }
        EXPECT_EQ(order, QStringList({"OnConnect", "OnRead", "OnDisConnect"})) << c.record->name().toStdString();
        EXPECT_EQ(lastRead, QStringLiteral("627965"));
        EXPECT_EQ(c.record->state, 0);
    }
}

TEST_F(TcpServerTest, NumbersAreNeverReusedSoNamesStayUnique)
{
    const int port = FreeTcpPort();
    ASSERT_NE(CreateByDialog(port), nullptr);
    QStringList names;
    for (int i = 0; i < 4; ++i) {
        Client c = Connect(port);
        ASSERT_NE(c.record, nullptr);
        names << c.record->name();
        c.socket->abort();
        ASSERT_TRUE(WaitFor([&] { return c.record->state == 0; }));
    }
    for (const QString &n : names)
        EXPECT_EQ(names.count(n), 1) << n.toStdString();
    // The newest connection is the one its name finds.
    Client last = Connect(port);
    ASSERT_NE(last.record, nullptr);
    EXPECT_EQ(f.wb().FindEndpointByName(last.record->name()), last.record);
}

TEST_F(TcpServerTest, StopListeningClosesEveryConnectionOnce)
{
    const int port = FreeTcpPort();
    TMySocket *server = CreateByDialog(port);
    ASSERT_NE(server, nullptr);
    Client a = Connect(port);
    Client b = Connect(port);
    Client c = Connect(port);
    ASSERT_TRUE(a.record && b.record && c.record);

    server->window->Button_6MouseUp();  // "停止监听"

    EXPECT_EQ(server->state, 0);
    EXPECT_EQ(StateImageOf(server->node), int(ImgNotListening));
    EXPECT_TRUE(server->window->Button_5->isEnabled());
    EXPECT_FALSE(server->window->Button_6->isEnabled());
    for (const Client *cl : {&a, &b, &c}) {
        EXPECT_EQ(cl->record->state, 0);
        EXPECT_EQ(StateImageOf(cl->record->node), int(ImgDisconnected));
        EXPECT_TRUE(WaitFor([&] { return cl->socket->state() == QAbstractSocket::UnconnectedState; }));
    }
    EXPECT_EQ(f.events(QStringLiteral("OnDisConnect")).size(), 3);
    EXPECT_EQ(TcpServerEndpoint::LiveConnections(server), 0);
    EXPECT_FALSE(Listening(port));
    SpinFor(50);
    EXPECT_EQ(f.events(QStringLiteral("OnDisConnect")).size(), 3);

    server->window->Button_5Click();  // "启动监听"
    EXPECT_EQ(server->state, 1);
    EXPECT_EQ(StateImageOf(server->node), int(ImgListening));
    EXPECT_TRUE(Listening(port));
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(TcpServerTest, PortInUseLeavesTheServerStoppedUntilALaterStart)
{
    QTcpServer other;
    ASSERT_TRUE(other.listen(QHostAddress::AnyIPv4, 0));
    const int port = other.serverPort();

    TMySocket *server = CreateByDialog(port);
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(messages.texts, QStringList{QStringLiteral("该端口已被占用,监听未启动!")});
    EXPECT_EQ(server->state, 0);
    EXPECT_EQ(StateImageOf(server->node), int(ImgNotListening));
    EXPECT_TRUE(f.wb().registry().contains(server));

    server->window->Button_5Click();
    EXPECT_EQ(messages.texts.last(), QStringLiteral("Socket端口已经被占用!"));
    EXPECT_EQ(server->state, 0);

    other.close();
    server->window->Button_5Click();
    EXPECT_EQ(messages.texts.size(), 2);
    EXPECT_EQ(server->state, 1);
    EXPECT_EQ(StateImageOf(server->node), int(ImgListening));
    Client a = Connect(port);
    EXPECT_NE(a.record, nullptr);
}

TEST_F(TcpServerTest, ServerWithALiveClientIsNotDeleted)
{
    const int port = FreeTcpPort();
    TMySocket *server = CreateByDialog(port);
    ASSERT_NE(server, nullptr);
    Client a = Connect(port);
    ASSERT_NE(a.record, nullptr);
    const int count = f.wb().registry().count();

    f.select(server->node);
    f.form().Button2->click();  // "删除"
    EXPECT_TRUE(f.wb().registry().contains(server));
    EXPECT_EQ(f.wb().registry().count(), count);
    EXPECT_NE(server->node, nullptr);
    EXPECT_TRUE(Listening(port));

    a.socket->disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return TcpServerEndpoint::LiveConnections(server) == 0; }));
    QPointer<TMySocket> gone(server);
    QPointer<TMySocket> connection(a.record);
    f.select(server->node);
    f.form().Button2->click();
    EXPECT_TRUE(gone.isNull());
    // The connection's node went with the server's; its record stays.
    ASSERT_FALSE(connection.isNull());
    EXPECT_EQ(connection->node, nullptr);
    EXPECT_TRUE(f.wb().registry().contains(connection));
    EXPECT_FALSE(Listening(port));
}

TEST_F(TcpServerTest, DeletingAConnectedConnectionClosesItAfterDeleteSocket)
{
    const int port = FreeTcpPort();
    ASSERT_NE(CreateByDialog(port), nullptr);
    Client a = Connect(port);
    ASSERT_NE(a.record, nullptr);
    const QString name = a.record->name();
    QPointer<TMySocket> record(a.record);
    f.select(a.record->node);
    f.form().Button2->click();
    EXPECT_TRUE(record.isNull());
    const QJsonArray log = f.log();
    ASSERT_GE(log.size(), 3);
    EXPECT_EQ(log[log.size() - 2].toArray(), (QJsonArray{name, QStringLiteral("DeleteSocket")}));
    EXPECT_EQ(log[log.size() - 1].toArray()[1].toString(), QStringLiteral("OnDisConnect"));
    EXPECT_TRUE(WaitFor([&] { return a.socket->state() == QAbstractSocket::UnconnectedState; }));
}

// Output still queued towards a peer that does not read must not hold the
// close back: the script hears OnDisConnect while the record still exists.
TEST_F(TcpServerTest, DeletingAConnectionWithQueuedOutputStillReportsTheDisconnect)
{
    const int port = FreeTcpPort();
    ASSERT_NE(CreateByDialog(port), nullptr);
    Client a = Connect(port);
    ASSERT_NE(a.record, nullptr);
    a.socket->setReadBufferSize(1);  // a reader that takes almost nothing
    auto *socket = qobject_cast<QTcpSocket *>(a.record->component.data());
    ASSERT_NE(socket, nullptr);
    socket->write(QByteArray(16 * 1024 * 1024, 'x'));
    SpinFor(50);
    ASSERT_GT(socket->bytesToWrite(), 0);

    const QString name = a.record->name();
    QPointer<TMySocket> record(a.record);
    f.select(a.record->node);
    f.form().Button2->click();
    EXPECT_TRUE(record.isNull());
    const QJsonArray log = f.log();
    ASSERT_GE(log.size(), 2);
    EXPECT_EQ(log[log.size() - 2].toArray(), (QJsonArray{name, QStringLiteral("DeleteSocket")}));
    EXPECT_EQ(log[log.size() - 1].toArray()[1].toString(), QStringLiteral("OnDisConnect"));
}

TEST_F(TcpServerTest, DisconnectButtonClosesTheSelectedConnection)
{
    const int port = FreeTcpPort();
    ASSERT_NE(CreateByDialog(port), nullptr);
    Client a = Connect(port);
    ASSERT_NE(a.record, nullptr);
    f.select(a.record->node);
    a.record->window->RefreshStatus();
    ASSERT_TRUE(a.record->window->Button_6->isEnabled());
    a.record->window->Button_6MouseUp();  // "断开"
    EXPECT_EQ(a.record->state, 0);
    EXPECT_EQ(StateImageOf(a.record->node), int(ImgDisconnected));
    EXPECT_FALSE(a.record->window->Button_6->isEnabled());
    EXPECT_EQ(f.events(QStringLiteral("OnDisConnect")).size(), 1);
    EXPECT_TRUE(WaitFor([&] { return a.socket->state() == QAbstractSocket::UnconnectedState; }));
}

TEST_F(TcpServerTest, HexBoxIsInheritedAtAcceptTimeOnly)
{
    const int port = FreeTcpPort();
    TMySocket *server = CreateByDialog(port);
    ASSERT_NE(server, nullptr);
    EXPECT_TRUE(server->window->hexMode());  // the window's default

    server->window->setHexMode(false);
    Client off = Connect(port);
    ASSERT_NE(off.record, nullptr);
    EXPECT_FALSE(off.record->window->hexMode());

    server->window->setHexMode(true);
    Client on = Connect(port);
    ASSERT_NE(on.record, nullptr);
    EXPECT_TRUE(on.record->window->hexMode());
    EXPECT_FALSE(off.record->window->hexMode());
}

TEST_F(TcpServerTest, ClientErrorsGoToTheServersSendPane)
{
    const int port = FreeTcpPort();
    TMySocket *server = CreateByDialog(port);
    ASSERT_NE(server, nullptr);
    Client a = Connect(port);
    ASSERT_NE(a.record, nullptr);
    auto *accepted = qobject_cast<QTcpSocket *>(a.record->component.data());
    ASSERT_NE(accepted, nullptr);

    Q_EMIT accepted->errorOccurred(QAbstractSocket::RemoteHostClosedError);
    EXPECT_TRUE(server->window->Memo3->toPlainText().isEmpty());
    Q_EMIT accepted->errorOccurred(QAbstractSocket::NetworkError);
    const QString pane = server->window->Memo3->toPlainText();
    EXPECT_TRUE(pane.endsWith(QStringLiteral("Client Socket异常,代码=%1").arg(int(QAbstractSocket::NetworkError))))
        << pane.toStdString();
    EXPECT_TRUE(a.record->window->Memo3->toPlainText().isEmpty());
    EXPECT_TRUE(a.record->window->Memo2->text().isEmpty());
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_EQ(a.record->state, 1);
}

TEST_F(TcpServerTest, ClosingTheMainWindowFreesTheListeningPort)
{
    const int port = FreeTcpPort();
    ASSERT_NE(CreateByDialog(port), nullptr);
    ASSERT_TRUE(Listening(port));
    f.form().close();
    QTcpServer again;
    EXPECT_TRUE(again.listen(QHostAddress::AnyIPv4, quint16(port)));
}

class TcpServerAlertingScriptTest : public TcpServerTest
{
protected:
    // Every OnRead answers with an ALERT, whose box runs a nested event loop.
    TcpServerAlertingScriptTest()
        : TcpServerTest(QStringLiteral(
            "function OnSocketEvent(name, ev, a, b) {\n"
            "  log.push([name, ev, a, b]);\n"
            "  if (ev == 'OnRead') actions.push({SOCKET: name, TYPE: 'ALERT', TEXT: a});\n"
            "}\n"))
    {
    }
};

TEST_F(TcpServerAlertingScriptTest, CloseDuringTheReadHandlersBoxReportsEveryByteBeforeTheDisconnect)
{
    const int port = FreeTcpPort();
    ASSERT_NE(CreateByDialog(port), nullptr);
    Client a = Connect(port);
    ASSERT_NE(a.record, nullptr);
    QPointer<QObject> accepted(a.record->component);

    // While the first block's box is open, more bytes and the close arrive.
    bool first = true;
    messages.onMessage = [&](const QString &) {
        if (!first)
            return;
        first = false;
        a.socket->write("more");
        a.socket->disconnectFromHost();
        WaitFor([&] { return a.record->state == 0; });
    };
    a.socket->write("hi");
    ASSERT_TRUE(WaitFor([&] { return a.record->state == 0; }));
    SpinFor(50);

    EXPECT_EQ(a.record->window->RecvCount, 6);
    QStringList order;
    for (const QJsonValue &v : f.log())
        order << v.toArray()[1].toString() + u':' + v.toArray()[2].toString();
    EXPECT_EQ(order, (QStringList{QStringLiteral("OnConnect:127.0.0.1"), QStringLiteral("OnRead:6869"),
                                  QStringLiteral("OnRead:6D6F7265"),
                                  QStringLiteral("OnDisConnect:127.0.0.1")}));
    // The socket is freed once its handlers have all returned.
    EXPECT_TRUE(WaitFor([&] { return accepted.isNull(); }));
}

class TcpServerFailingScriptTest : public TcpServerTest
{
protected:
    TcpServerFailingScriptTest()
        : TcpServerTest(QStringLiteral(
            "function OnSocketEvent(name, ev, a, b) {\n"
            "  log.push([name, ev, a, b]);\n"
            "  if (ev == 'OnConnect') throw new Error('connect handler broken');\n"
            "}\n"))
    {
    }
};

TEST_F(TcpServerFailingScriptTest, FailingOnConnectStillLeavesARegisteredConnection)
{
    const int port = FreeTcpPort();
    ASSERT_NE(CreateByDialog(port), nullptr);
    Client a = Connect(port);
    ASSERT_NE(a.record, nullptr);
    ASSERT_TRUE(WaitFor([&] { return !messages.texts.isEmpty(); }));
    EXPECT_TRUE(messages.texts.first().contains(QStringLiteral("connect handler broken")));
    EXPECT_EQ(f.wb().FindEndpointByName(a.record->name()), a.record);
    EXPECT_EQ(a.record->remoteHost, QStringLiteral("127.0.0.1"));

    a.socket->write("hi");
    ASSERT_TRUE(WaitFor([&] { return a.record->window->RecvCount == 2; }));
    a.socket->disconnectFromHost();
    EXPECT_TRUE(WaitFor([&] { return a.record->state == 0; }));
}

class TcpServerFailingReadTest : public TcpServerTest
{
protected:
    TcpServerFailingReadTest()
        : TcpServerTest(QStringLiteral(
            "function OnSocketEvent(name, ev, a, b) {\n"
            "  log.push([name, ev, a, b]);\n"
            "  if (ev == 'OnRead' && a == '6869') throw new Error('read handler broken');\n"
            "}\n"))
    {
    }
};

TEST_F(TcpServerFailingReadTest, BytesArrivingWhileTheErrorIsShownAreNotLeftBehind)
{
    const int port = FreeTcpPort();
    ASSERT_NE(CreateByDialog(port), nullptr);
    Client a = Connect(port);
    ASSERT_NE(a.record, nullptr);
    // While the error box is open more bytes come in.
    messages.onMessage = [&](const QString &) {
        a.socket->write("more");
        a.socket->flush();
        SpinFor(200);
    };
    a.socket->write("hi");
    ASSERT_TRUE(WaitFor([&] { return a.record->window->RecvCount == 6; }, 2000));
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(messages.texts.first().contains(QStringLiteral("read handler broken")));
    EXPECT_EQ(f.events(QStringLiteral("OnRead")).size(), 2);
}

} // namespace
