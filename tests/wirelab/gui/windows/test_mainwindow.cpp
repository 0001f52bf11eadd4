// The main window and the registry: start-up, the welcome panel, finding
// endpoints by name, selection, the data windows in and out of the MDI area,
// deletion (stopped by the script, orphaned accepted connections, the
// welcome panel coming back), exit and close, and the status bar's report
// of a log that could not move to its temporary file.
#include "core/endpoints/endpoint.h"
#include "core/endpoints/endpointkind.h"
#include "core/endpoints/registry.h"
#include "core/endpoints/tcpserverendpoint.h"
#include "core/endpoints/udpclientendpoint.h"
#include "core/endpoints/udpserverendpoint.h"
#include "core/log/endpointlog.h"
#include "core/log/logmemory.h"
#include "gui/datawindow.h"
#include "gui/datawindowarea.h"
#include "gui/endpointcommands.h"
#include "gui/endpointtree.h"
#include "gui/logpane.h"
#include "gui/logview.h"
#include "scriptedcore.h"
#include "scriptedwindow.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QHostAddress>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <gtest/gtest.h>

namespace {

// DeleteSocket refuses while the script says so.
const char *const Script = R"JS(
var refuseDelete = false;
function DeleteSocket(n) {
  if (refuseDelete) throw new Error('refused ' + n);
  calls.push('delete|' + n);
}
)JS";

// Processes events, including the deferred deletions of closed windows.
void Settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

class MainWindowTest : public ::testing::Test
{
protected:
    MainWindow &form() { return f.window(); }
    EndpointRegistry &reg() { return f.registry(); }
    template<class T = QWidget>
    T *child(const char *name)
    {
        return form().findChild<T *>(QLatin1String(name));
    }
    QTreeWidget *treeView() { return child<QTreeWidget>("TreeView1"); }
    QMdiArea *mdi() { return child<QMdiArea>("MdiArea"); }
    // The welcome panel's button (a data window has a suiButton1 too).
    void enter() { child("Panel3")->findChild<QPushButton *>(QStringLiteral("suiButton1"))->click(); }
    void deleteButton() { child<QPushButton>("Button2")->click(); }
    QTreeWidgetItem *node(const Endpoint *e) { return form().tree().nodeOf(e); }
    QTreeWidgetItem *root(EndpointKind kind) { return form().tree().kindRoot(kind); }
    QMdiSubWindow *frameOf(const Endpoint *e)
    {
        DataWindow *w = f.dataWindow(e);
        return w ? qobject_cast<QMdiSubWindow *>(w->parentWidget()) : nullptr;
    }
    QString label4(const Endpoint *e) { return f.control<QLabel>(e, "Label4")->text(); }
    int deleteCalls() { return f.callsOf(QStringLiteral("delete")).size(); }

    // A UDP client (no peer needed) named name.
    Endpoint *udpClient(const QString &name = QString(), int remotePort = 7000)
    {
        Endpoint *e = UdpClientEndpoint::create(reg(), QStringLiteral("127.0.0.1"), remotePort, 0);
        if (!name.isEmpty())
            e->setName(name);
        return e;
    }
    // A listening TCP server and its accepted connection from client.
    Endpoint *acceptFrom(TcpServerEndpoint *server, QTcpSocket &client)
    {
        const int before = reg().connectionsOf(server).size();
        client.connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(server->localPort()));
        if (!WaitFor([&] { return reg().connectionsOf(server).size() == before + 1; }))
            return nullptr;
        return reg().connectionsOf(server).last();
    }

    ScriptedWindow f {QString::fromUtf8(Script)};
};

TEST_F(MainWindowTest, StartsWithTheFiveKindRootsAndTheWelcomePanel)
{
    ASSERT_TRUE(f.built) << "the first activation must come under the offscreen platform";
    QTreeWidget *tree = treeView();
    ASSERT_EQ(tree->topLevelItemCount(), int(RootKinds.size()));
    const QImage rootImage = EndpointTree::stateIcon(StateImage::KindRoot).pixmap(16).toImage();
    for (int i = 0; i < int(RootKinds.size()); ++i) {
        QTreeWidgetItem *item = tree->topLevelItem(i);
        EXPECT_EQ(item->text(0), kindName(RootKinds.at(size_t(i))));
        EXPECT_EQ(item->childCount(), 0);
        EXPECT_EQ(EndpointTree::endpointOf(item), nullptr);
        EXPECT_EQ(item->icon(0).pixmap(16).toImage(), rootImage);
        EXPECT_EQ(root(RootKinds.at(size_t(i))), item);
    }
    EXPECT_EQ(kindName(RootKinds.at(3)), QStringLiteral("UDP Client"));
    EXPECT_EQ(root(EndpointKind::TcpConnection), nullptr);
    EXPECT_EQ(reg().count(), 0);
    EXPECT_EQ(form().windowTitle(), QStringLiteral("TCP/UDP Socket 调试工具"));
    EXPECT_TRUE(child("Button1")->isVisible());
    EXPECT_TRUE(child("Button2")->isVisible());
    EXPECT_TRUE(child("Button8")->isVisible());
    EXPECT_FALSE(child("Button5")->isVisible());
    EXPECT_FALSE(child("Button6")->isVisible());

    EXPECT_TRUE(form().welcomeVisible());
    EXPECT_TRUE(child("Panel3")->isVisible());
    enter();
    EXPECT_FALSE(form().welcomeVisible());
    EXPECT_FALSE(child("Panel3")->isVisible());
    EXPECT_TRUE(mdi()->isVisible());
}

TEST_F(MainWindowTest, FindByNameFollowsTheDisplayOrder)
{
    const QString dflt = QStringLiteral("数据收发窗口");
    Endpoint *udp = udpClient();
    auto *server = TcpServerEndpoint::create(reg(), FreeTcpPort());
    // Both keep the default name: the one shown first wins, whatever the
    // order of registration.
    EXPECT_EQ(udp->name(), dflt);
    EXPECT_EQ(reg().findByName(dflt), server);

    // An accepted connection under the server comes before a later kind, also
    // while its server's node is collapsed.
    Endpoint *udp2 = UdpServerEndpoint::create(reg(), 0);
    udp2->setName(QStringLiteral("peer"));
    QTcpSocket client;
    Endpoint *conn = acceptFrom(server, client);
    ASSERT_NE(conn, nullptr);
    conn->setName(QStringLiteral("peer"));
    node(server)->setExpanded(false);
    EXPECT_EQ(reg().findByName(QStringLiteral("peer")), conn);

    // Exact, case-sensitive names only; a kind root is never a match.
    EXPECT_EQ(reg().findByName(QStringLiteral("Peer")), nullptr);
    EXPECT_EQ(reg().findByName(QStringLiteral("peer ")), nullptr);
    EXPECT_EQ(reg().findByName(kindName(EndpointKind::TcpServer)), nullptr);
    EXPECT_EQ(reg().findByName(QString()), nullptr);

    // A renamed endpoint answers to its new name only; one that is gone, to none.
    conn->setName(QStringLiteral("renamed"));
    EXPECT_EQ(reg().findByName(QStringLiteral("renamed")), conn);
    EXPECT_EQ(reg().findByName(QStringLiteral("peer")), udp2);
    udp2->setName(QStringLiteral("renamed"));
    EXPECT_EQ(reg().findByName(QStringLiteral("renamed")), conn);
    EXPECT_EQ(reg().findByName(QStringLiteral("peer")), nullptr);
    ASSERT_TRUE(reg().remove(conn));
    EXPECT_EQ(reg().findByName(QStringLiteral("renamed")), udp2);
}

TEST_F(MainWindowTest, SelectingANodeShowsItsWindow)
{
    enter();
    Endpoint *a = udpClient(QStringLiteral("a"), 1234);
    Endpoint *b = udpClient(QStringLiteral("b"), 4321);
    ASSERT_NE(frameOf(a), nullptr);
    ASSERT_NE(frameOf(b), nullptr);

    form().selectEndpoint(a);
    EXPECT_EQ(label4(a), QStringLiteral("对方端口:1234"));
    EXPECT_EQ(mdi()->currentSubWindow(), frameOf(a));

    // The close box only minimizes; selecting the node brings the window back.
    QPointer<DataWindow> bWindow = f.dataWindow(b);
    EXPECT_FALSE(frameOf(b)->close());
    Settle();
    ASSERT_TRUE(bWindow);
    EXPECT_TRUE(frameOf(b)->isMinimized());
    // Also when it is the window in front.
    form().selectEndpoint(a);
    EXPECT_FALSE(frameOf(a)->close());
    Settle();
    EXPECT_TRUE(frameOf(a)->isMinimized());
    form().selectEndpoint(b);
    EXPECT_FALSE(frameOf(b)->isMinimized());
    EXPECT_EQ(mdi()->currentSubWindow(), frameOf(b));
    EXPECT_EQ(label4(b), QStringLiteral("对方端口:4321"));

    // A kind root changes nothing.
    form().selectKindRoot(EndpointKind::UdpClient);
    EXPECT_EQ(mdi()->currentSubWindow(), frameOf(b));
}

TEST_F(MainWindowTest, OlderWindowsLeaveTheAreaAndComeBackWhenSelected)
{
    // A server with thousands of connections has as many windows; only the
    // recent ones stay in the MDI area, the others wait hidden, unchanged.
    enter();
    const int total = DataWindowArea::kKeptInArea + 5;
    QList<Endpoint *> endpoints;
    for (int i = 0; i < total; ++i)
        endpoints << udpClient(QStringLiteral("w%1").arg(i), 7000 + i);
    DataWindowArea *area = form().dataWindowArea();
    Settle();
    EXPECT_EQ(area->count(), total);
    EXPECT_EQ(mdi()->subWindowList().size(), DataWindowArea::kKeptInArea);
    EXPECT_EQ(mdi()->currentSubWindow(), frameOf(endpoints.last()));
    EXPECT_TRUE(frameOf(endpoints.last())->isMaximized());
    for (int i = 0; i < 5; ++i) {
        QMdiSubWindow *parked = frameOf(endpoints.at(i));
        ASSERT_NE(parked, nullptr) << i;
        EXPECT_TRUE(area->isParked(parked)) << i;
        EXPECT_FALSE(parked->isVisible()) << i;
        EXPECT_FALSE(parked->isWindow()) << "a parked frame must never turn into a window of its own";
    }

    // Still updated while parked, and back in front, maximized, when selected.
    Endpoint *first = endpoints.first();
    first->appendLine(QStringLiteral("kept"));
    form().selectEndpoint(first);
    Settle();
    QMdiSubWindow *back = frameOf(first);
    EXPECT_FALSE(area->isParked(back));
    EXPECT_EQ(mdi()->currentSubWindow(), back);
    EXPECT_TRUE(back->isMaximized());
    EXPECT_TRUE(back->isVisible());
    EXPECT_EQ(back->windowType(), Qt::SubWindow);
    EXPECT_EQ(label4(first), QStringLiteral("对方端口:7000"));
    EXPECT_EQ(f.pane(first)->lastLine(), QStringLiteral("kept"));
    EXPECT_EQ(area->count(), total);
    EXPECT_EQ(mdi()->subWindowList().size(), DataWindowArea::kKeptInArea);

    // Deleting an endpoint whose window was parked, and exit with parked windows.
    Endpoint *second = endpoints.at(1);
    ASSERT_TRUE(area->isParked(frameOf(second)));
    QPointer<DataWindow> secondWindow = f.dataWindow(second);
    form().selectEndpoint(second);
    deleteButton();
    Settle();
    EXPECT_FALSE(secondWindow);
    EXPECT_EQ(area->count(), total - 1);
    // (The selection moved to the next node, whose window came back.)
    QPointer<DataWindow> stillParked = f.dataWindow(endpoints.at(3));
    ASSERT_TRUE(area->isParked(frameOf(endpoints.at(3))));
    reg().clear();
    Settle();
    EXPECT_FALSE(stillParked);
    EXPECT_EQ(area->count(), 0);
}

TEST_F(MainWindowTest, AFailingDeleteSocketStopsTheDeletionWithNothingFreed)
{
    enter();
    const QString name = QStringLiteral("it's \"g\"");
    Endpoint *g = udpClient(name);
    QPointer<DataWindow> window = f.dataWindow(g);
    QTreeWidgetItem *gNode = node(g);
    f.js(QStringLiteral("refuseDelete = true;"));
    f.messages.texts.clear();
    form().selectEndpoint(g);

    deleteButton();
    Settle();
    ASSERT_EQ(f.messages.texts.size(), 1);
    EXPECT_TRUE(f.messages.texts.first().contains(QStringLiteral("refused ") + name))
                << f.messages.texts.first().toStdString();
    EXPECT_TRUE(reg().contains(g));
    EXPECT_EQ(node(g), gNode);
    EXPECT_EQ(EndpointTree::endpointOf(gNode), g);
    EXPECT_TRUE(window);
    EXPECT_EQ(reg().findByName(name), g);
    EXPECT_FALSE(form().welcomeVisible());

    // Allowed now: the script hears the exact name, then everything goes.
    f.js(QStringLiteral("refuseDelete = false;"));
    form().selectEndpoint(g);
    deleteButton();
    Settle();
    EXPECT_EQ(f.messages.texts.size(), 1);
    EXPECT_EQ(f.callsOf(QStringLiteral("delete")), QStringList {QStringLiteral("delete|") + name});
    EXPECT_EQ(reg().count(), 0);
    EXPECT_FALSE(window);
    EXPECT_EQ(root(EndpointKind::UdpClient)->childCount(), 0);
    EXPECT_TRUE(form().welcomeVisible()) << "deleting the last endpoint brings the welcome panel back";
}

TEST_F(MainWindowTest, NothingOrAKindRootSelectedDeletesNothing)
{
    Endpoint *c = udpClient();
    form().selectKindRoot(EndpointKind::UdpClient);
    form().commands().deleteSelected();
    treeView()->setCurrentItem(nullptr);
    form().commands().deleteSelected();
    EXPECT_EQ(deleteCalls(), 0);
    EXPECT_TRUE(reg().contains(c));
}

TEST_F(MainWindowTest, WelcomePanelComesBackOnlyWithTheLastEndpoint)
{
    enter();
    Endpoint *a = udpClient(QStringLiteral("a"));
    Endpoint *b = UdpServerEndpoint::create(reg(), 0);
    b->setName(QStringLiteral("b"));
    form().selectEndpoint(a);
    form().commands().deleteSelected();
    EXPECT_FALSE(form().welcomeVisible());
    EXPECT_EQ(reg().count(), 1);
    form().selectEndpoint(b);
    form().commands().deleteSelected();
    EXPECT_EQ(reg().count(), 0);
    EXPECT_TRUE(form().welcomeVisible());
    EXPECT_EQ(f.callsOf(QStringLiteral("delete")),
                        (QStringList {QStringLiteral("delete|a"), QStringLiteral("delete|b")}));
}

TEST_F(MainWindowTest, ConnectionsWhoseServerWentCanNoLongerBeReached)
{
    enter();
    // A server whose connections are closed may go; they stay registered.
    auto *server = TcpServerEndpoint::create(reg(), FreeTcpPort());
    server->setName(QStringLiteral("p"));
    QTcpSocket client1, client2;
    Endpoint *c1 = acceptFrom(server, client1);
    Endpoint *c2 = acceptFrom(server, client2);
    ASSERT_TRUE(c1 && c2);
    c1->setName(QStringLiteral("p_1"));
    c2->setName(QStringLiteral("p_2"));
    client1.abort();
    client2.abort();
    ASSERT_TRUE(WaitFor([&] { return server->liveConnections() == 0; }));
    QPointer<DataWindow> w1 = f.dataWindow(c1);
    form().selectEndpoint(server);
    form().commands().deleteSelected();
    Settle();

    EXPECT_FALSE(reg().contains(server));
    ASSERT_TRUE(reg().contains(c1));
    ASSERT_TRUE(reg().contains(c2));
    EXPECT_FALSE(reg().isShown(c1));
    EXPECT_EQ(node(c1), nullptr);
    EXPECT_EQ(node(c2), nullptr);
    EXPECT_TRUE(w1) << "their data windows stay until exit";
    EXPECT_EQ(reg().findByName(QStringLiteral("p_1")), nullptr);
    EXPECT_EQ(reg().findByName(QStringLiteral("p_2")), nullptr);
    for (QTreeWidgetItemIterator it(treeView()); *it; ++it) {
        EXPECT_NE(EndpointTree::endpointOf(*it), c1);
        EXPECT_NE(EndpointTree::endpointOf(*it), c2);
    }
    EXPECT_NE(form().selectedEndpoint(), c1);
    EXPECT_NE(form().selectedEndpoint(), c2);
    EXPECT_FALSE(form().welcomeVisible()) << "the orphans are still registered";

    // What the kinds still do with such an endpoint must be harmless.
    c1->setImage(StateImage::Disconnected);
    c1->refreshStatus();
    form().commands().deleteSelected();  // nothing selected that carries an endpoint
    EXPECT_TRUE(reg().contains(c1));

    // Exit destroys their windows like every other.
    reg().clear();
    Settle();
    EXPECT_EQ(reg().count(), 0);
    EXPECT_FALSE(w1);
}

TEST_F(MainWindowTest, ExitDestroysEveryWindowAndLeavesTheTreeHarmless)
{
    Endpoint *a = udpClient(QStringLiteral("a"));
    Endpoint *b = UdpServerEndpoint::create(reg(), 0);
    QPointer<DataWindow> wa = f.dataWindow(a), wbw = f.dataWindow(b);
    ASSERT_TRUE(wa && wbw);
    reg().clear();
    Settle();  // windows go with the event loop's next pass
    EXPECT_FALSE(wa);
    EXPECT_FALSE(wbw);
    EXPECT_EQ(reg().count(), 0);
    // Nodes left behind no longer lead to an endpoint.
    EXPECT_EQ(reg().findByName(QStringLiteral("a")), nullptr);
    for (QTreeWidgetItemIterator it(treeView()); *it; ++it)
        EXPECT_EQ(EndpointTree::endpointOf(*it), nullptr);
    treeView()->setCurrentItem(treeView()->topLevelItem(3)->child(0));
    form().commands().deleteSelected();
    EXPECT_EQ(deleteCalls(), 0);
}

TEST_F(MainWindowTest, ClosingTheWindowFreesEveryListeningPort)
{
    const int port = FreeTcpPort();
    auto *server = TcpServerEndpoint::create(reg(), port);
    ASSERT_TRUE(server->listener() && server->listener()->isListening());

    QPointer<TcpServerEndpoint> alive = server;
    form().close();
    // Gone with the window, or still there but no longer listening.
    EXPECT_FALSE(alive && alive->listener() && alive->listener()->isListening());
    QTcpServer again;
    EXPECT_TRUE(again.listen(QHostAddress::Any, quint16(port))) << "the port is free again";
}

}  // namespace

TEST_F(MainWindowTest, ALogThatCannotMoveToItsFileIsToldInTheStatusBar)
{
    auto *status = child<QStatusBar>("StatusBar1");
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->isHidden());
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing"));
    LogMemory &memory = LogMemory::instance();
    const qint64 limit = memory.limit();
    memory.setDirectory(missing);
    memory.setLimit(0);
    {
        EndpointLog log;
        for (int i = 0; i < 3; ++i)
            log.append(LineKind::Received, QByteArray(EndpointLog::BlockSize, 'x'), false);
    }
    memory.setDirectory(QString());
    memory.setLimit(limit);
    EXPECT_FALSE(status->isHidden());
    EXPECT_TRUE(status->currentMessage().contains(QDir::toNativeSeparators(missing)));
}
