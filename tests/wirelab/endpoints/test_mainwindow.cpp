// The main window and the registry: start-up, the welcome panel, finding
// endpoints by name, selection, deletion (stopped by the script, orphaned
// accepted connections, the welcome panel coming back), exit and close.
// Records are made by hand, as the endpoint kinds do, so these tests depend
// on nothing but the workbench.
#include "common/errors.h"
#include "datawindow/logpane.h"
#include "datawindow/tfrmdata.h"
#include "endpoints/datawindowarea.h"
#include "endpoints/endpointnode.h"
#include "endpoints/kinds.h"
#include "endpoints/mainwindow.h"
#include "endpoints/tmysocket.h"
#include "endpoints/workbench.h"
#include "seamrecorder.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <gtest/gtest.h>

#include <memory>

namespace {

const char *const Script = R"JS(
var calls = [];
var sockets = [];
var actions = [];
var refuseDelete = false;
function json2str(v) { return JSON.stringify(v); }
function OnInit() { calls.push('OnInit'); }
function OnSocketEvent(name, event, a, b) { calls.push(event + ':' + name); }
function OnTimerEvent(name, timer) {}
function OnButtonClick(name, id) {}
function OnEditChange(name, id, text) {}
function DeleteSocket(name) {
  if (refuseDelete) throw new Error('refused ' + name);
  calls.push('DeleteSocket:' + name);
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
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QFile script(dir.filePath(QStringLiteral("test.js")));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(Script);
        script.close();
        QFile project(dir.filePath(QStringLiteral("project.txt")));
        ASSERT_TRUE(project.open(QIODevice::WriteOnly));
        project.write(dir.filePath(QStringLiteral("test.js")).toUtf8() + "\n");
        project.close();

        form = std::make_unique<TForm1>(dir.filePath(QStringLiteral("project.txt")));
        QSignalSpy activated(form.get(), &TForm1::firstActivationDone);
        form->show();
        ASSERT_TRUE(activated.count() > 0 || activated.wait(5000))
            << "the first activation must come under the offscreen platform";
    }

    Workbench &wb() { return form->workbench(); }
    QString calls() { return wb().EvalScript(QStringLiteral("calls.join('|');")); }

    // A record built the way the endpoint kinds build one: data window, node
    // under parent (a kind root when none is given), then registered.
    TMySocket *make(const QString &kind, const QString &caption, const QString &name = QString(),
                    QTreeWidgetItem *parent = nullptr, int image = ImgUdp)
    {
        auto rec = std::make_unique<TMySocket>();
        rec->kind = kind;
        rec->state = 1;
        rec->created = CreationTimeText();
        TFrmData *window = wb().CreateDataWindow(rec.get());
        if (!name.isEmpty())
            window->setName(name);
        wb().AddNode(parent ? parent : wb().FindKindRoot(kind), caption, rec.get(), image);
        window->RefreshStatus();
        TMySocket *r = rec.get();
        wb().Register(std::move(rec));
        return r;
    }

    void select(TMySocket *r) { form->TreeView1->setCurrentItem(r->node); }

    QTemporaryDir dir;
    std::unique_ptr<TForm1> form;
};

TEST_F(MainWindowTest, StartsWithTheFiveKindRootsAndTheWelcomePanel)
{
    QTreeWidget *tree = form->TreeView1;
    const QStringList kinds{Kind::TcpServer, Kind::TcpClient, Kind::UdpServer, Kind::UdpClient,
                            Kind::UdpGroup};
    ASSERT_EQ(tree->topLevelItemCount(), kinds.size());
    for (int i = 0; i < kinds.size(); ++i) {
        QTreeWidgetItem *root = tree->topLevelItem(i);
        EXPECT_EQ(root->text(0), kinds.at(i));
        EXPECT_EQ(root->childCount(), 0);
        EXPECT_EQ(RecordOf(root), nullptr);
        EXPECT_EQ(StateImageOf(root), int(ImgKindRoot));
        EXPECT_EQ(wb().FindKindRoot(kinds.at(i)), root);
    }
    EXPECT_EQ(wb().FindKindRoot(QStringLiteral("udp client")), nullptr);
    EXPECT_EQ(wb().FindKindRoot(Kind::TcpServerClient), nullptr);
    EXPECT_EQ(wb().registry().count(), 0);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("TCP/UDP Socket 调试工具"));
    EXPECT_TRUE(form->Button1->isVisible());
    EXPECT_TRUE(form->Button2->isVisible());
    EXPECT_TRUE(form->Button8->isVisible());
    EXPECT_FALSE(form->Button5->isVisible());
    EXPECT_FALSE(form->Button6->isVisible());

    EXPECT_TRUE(form->welcomeVisible());
    EXPECT_TRUE(form->Panel3->isVisible());
    form->suiButton1->click();
    EXPECT_FALSE(form->welcomeVisible());
    EXPECT_FALSE(form->Panel3->isVisible());
    EXPECT_TRUE(form->MdiArea->isVisible());
}

TEST_F(MainWindowTest, FindByNameWalksTheTreeInDisplayOrder)
{
    const QString dflt = QStringLiteral("数据收发窗口");
    TMySocket *udp = make(Kind::UdpClient, QStringLiteral("127.0.0.1[7000]"));
    TMySocket *server = make(Kind::TcpServer, QStringLiteral("10.0.0.5[6000]"), QString(), nullptr,
                             ImgListening);
    // Both keep the default caption: the node that comes first wins, whatever
    // the order of registration.
    EXPECT_EQ(udp->name(), dflt);
    EXPECT_EQ(wb().FindEndpointByName(dflt), server);

    // An accepted connection under the server comes before a later kind, also
    // while its server's node is collapsed.
    TMySocket *udp2 = make(Kind::UdpServer, QStringLiteral("10.0.0.5[7001]"), QStringLiteral("peer"));
    TMySocket *conn = make(Kind::TcpServerClient, QStringLiteral("127.0.0.1[40000]"),
                           QStringLiteral("peer"), server->node, ImgConnected);
    server->node->setExpanded(false);
    EXPECT_EQ(wb().FindEndpointByName(QStringLiteral("peer")), conn);
    EXPECT_NE(wb().FindEndpointByName(QStringLiteral("peer")), udp2);

    // Exact, case-sensitive names only; a kind root is never a match.
    EXPECT_EQ(wb().FindEndpointByName(QStringLiteral("Peer")), nullptr);
    EXPECT_EQ(wb().FindEndpointByName(QStringLiteral("peer ")), nullptr);
    EXPECT_EQ(wb().FindEndpointByName(Kind::TcpServer), nullptr);
    EXPECT_EQ(wb().FindEndpointByName(QString()), nullptr);

    // A renamed window answers to its new name only; a window that is gone,
    // to none.
    conn->window->setName(QStringLiteral("renamed"));
    EXPECT_EQ(wb().FindEndpointByName(QStringLiteral("renamed")), conn);
    EXPECT_EQ(wb().FindEndpointByName(QStringLiteral("peer")), udp2);
    udp2->window->setName(QStringLiteral("renamed"));
    EXPECT_EQ(wb().FindEndpointByName(QStringLiteral("renamed")), conn);
    EXPECT_EQ(wb().FindEndpointByName(QStringLiteral("peer")), nullptr);
    delete conn->window.data();
    EXPECT_EQ(wb().FindEndpointByName(QStringLiteral("renamed")), udp2);

    // A node without a parent is skipped even when it carries a record.
    auto rec = std::make_unique<TMySocket>();
    rec->kind = Kind::UdpGroup;
    wb().CreateDataWindow(rec.get())->setName(QStringLiteral("top"));
    auto *top = new EndpointNode(nullptr, QStringLiteral("224.1.1.1[65000]"), rec.get());
    form->TreeView1->insertTopLevelItem(0, top);
    wb().Register(std::move(rec));
    EXPECT_EQ(wb().FindEndpointByName(QStringLiteral("top")), nullptr);
}

TEST_F(MainWindowTest, SelectingANodeShowsItsWindowWithFreshStatus)
{
    form->suiButton1->click();
    TMySocket *a = make(Kind::UdpClient, QStringLiteral("127.0.0.1[7000]"), QStringLiteral("a"));
    TMySocket *b = make(Kind::UdpServer, QStringLiteral("10.0.0.5[7001]"), QStringLiteral("b"));
    auto frameOf = [](TMySocket *r) { return qobject_cast<QMdiSubWindow *>(r->window->parentWidget()); };
    ASSERT_NE(frameOf(a), nullptr);
    ASSERT_NE(frameOf(b), nullptr);

    a->remoteHost = QStringLiteral("127.0.0.1");
    a->remotePort = 1234;
    select(a);
    EXPECT_EQ(a->window->Label4->text(), QStringLiteral("对方端口:1234"));
    EXPECT_EQ(form->MdiArea->currentSubWindow(), frameOf(a));

    // The close box only minimizes; selecting the node brings the window back.
    QPointer<TFrmData> bWindow = b->window;
    EXPECT_FALSE(frameOf(b)->close());
    Settle();
    ASSERT_TRUE(bWindow);
    EXPECT_TRUE(frameOf(b)->isMinimized());
    // Also when it is the window in front.
    select(a);
    EXPECT_FALSE(frameOf(a)->close());
    Settle();
    EXPECT_TRUE(frameOf(a)->isMinimized());
    b->remotePort = 4321;
    select(b);
    EXPECT_FALSE(frameOf(b)->isMinimized());
    EXPECT_EQ(form->MdiArea->currentSubWindow(), frameOf(b));
    EXPECT_EQ(b->window->Label4->text(), QStringLiteral("对方端口:4321"));

    // A kind root changes nothing.
    a->remotePort = 9;
    form->TreeView1->setCurrentItem(wb().FindKindRoot(Kind::UdpClient));
    EXPECT_EQ(form->MdiArea->currentSubWindow(), frameOf(b));
    EXPECT_EQ(a->window->Label4->text(), QStringLiteral("对方端口:1234"));
}

TEST_F(MainWindowTest, OlderWindowsLeaveTheAreaAndComeBackWhenSelected)
{
    // A server with thousands of connections has as many windows; only the
    // recent ones stay in the MDI area, the others wait hidden, unchanged.
    form->suiButton1->click();
    const int total = DataWindowArea::kKeptInArea + 5;
    QList<TMySocket *> records;
    for (int i = 0; i < total; ++i)
        records << make(Kind::UdpClient, QStringLiteral("127.0.0.1[%1]").arg(7000 + i), QStringLiteral("w%1").arg(i));
    auto frameOf = [](TMySocket *r) { return qobject_cast<QMdiSubWindow *>(r->window->parentWidget()); };
    DataWindowArea *area = wb().windowArea();
    Settle();
    EXPECT_EQ(area->count(), total);
    EXPECT_EQ(form->MdiArea->subWindowList().size(), DataWindowArea::kKeptInArea);
    EXPECT_EQ(form->MdiArea->currentSubWindow(), frameOf(records.last()));
    EXPECT_TRUE(frameOf(records.last())->isMaximized());
    for (int i = 0; i < 5; ++i) {
        QMdiSubWindow *parked = frameOf(records.at(i));
        ASSERT_NE(parked, nullptr) << i;
        EXPECT_TRUE(area->isParked(parked)) << i;
        EXPECT_FALSE(parked->isVisible()) << i;
        EXPECT_FALSE(parked->isWindow()) << "a parked frame must never turn into a window of its own";
    }

    // Still updated while parked, and back in front, maximized, when selected.
    records.first()->window->Memo2->appendLine(QStringLiteral("kept"));
    records.first()->remotePort = 4321;
    select(records.first());
    Settle();
    QMdiSubWindow *back = frameOf(records.first());
    EXPECT_FALSE(area->isParked(back));
    EXPECT_EQ(form->MdiArea->currentSubWindow(), back);
    EXPECT_TRUE(back->isMaximized());
    EXPECT_TRUE(back->isVisible());
    EXPECT_EQ(back->windowType(), Qt::SubWindow);
    EXPECT_EQ(records.first()->window->Label4->text(), QStringLiteral("对方端口:4321"));
    EXPECT_EQ(records.first()->window->Memo2->lastLine(), QStringLiteral("kept"));
    EXPECT_EQ(area->count(), total);
    EXPECT_EQ(form->MdiArea->subWindowList().size(), DataWindowArea::kKeptInArea);

    // Deleting an endpoint whose window was parked, and exit with parked windows.
    TMySocket *second = records.at(1);
    ASSERT_TRUE(area->isParked(frameOf(second)));
    QPointer<TFrmData> secondWindow = second->window;
    select(second);
    form->Button2->click();
    Settle();
    EXPECT_FALSE(secondWindow);
    EXPECT_EQ(area->count(), total - 1);
    // (The selection moved to the next node, whose window came back.)
    QPointer<TFrmData> stillParked = records.at(3)->window;
    ASSERT_TRUE(area->isParked(frameOf(records.at(3))));
    wb().DestroyAll();
    Settle();
    EXPECT_FALSE(stillParked);
    EXPECT_EQ(area->count(), 0);
}

TEST_F(MainWindowTest, AFailingDeleteSocketStopsTheDeletionWithNothingFreed)
{
    MessageRecorder boxes;
    form->suiButton1->click();
    TMySocket *g = make(Kind::UdpGroup, QStringLiteral("224.1.1.1[65000]"), QStringLiteral("it's \"g\""),
                        nullptr, ImgGroup);
    QPointer<TFrmData> window = g->window;
    EndpointNode *node = g->node;
    wb().EvalScript(QStringLiteral("refuseDelete = true;"));
    select(g);

    form->Button2->click();
    Settle();
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts.first().contains(QStringLiteral("refused it's \"g\""))) << boxes.texts.first().toStdString();
    EXPECT_TRUE(wb().registry().contains(g));
    EXPECT_EQ(g->node, node);
    EXPECT_EQ(RecordOf(node), g);
    EXPECT_TRUE(window);
    EXPECT_EQ(wb().FindEndpointByName(QStringLiteral("it's \"g\"")), g);
    EXPECT_FALSE(form->welcomeVisible());

    // Allowed now: the script hears the exact name, then everything goes.
    wb().EvalScript(QStringLiteral("refuseDelete = false;"));
    select(g);
    form->Button2->click();
    Settle();
    EXPECT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(calls().endsWith(QStringLiteral("DeleteSocket:it's \"g\""))) << calls().toStdString();
    EXPECT_EQ(calls().count(QStringLiteral("DeleteSocket")), 1);
    EXPECT_EQ(wb().registry().count(), 0);
    EXPECT_FALSE(window);
    EXPECT_EQ(form->TreeView1->topLevelItem(4)->childCount(), 0);
    EXPECT_TRUE(form->welcomeVisible()) << "deleting the last endpoint brings the welcome panel back";
}

TEST_F(MainWindowTest, NothingOrAKindRootSelectedDeletesNothing)
{
    TMySocket *c = make(Kind::UdpClient, QStringLiteral("127.0.0.1[7000]"));
    form->TreeView1->setCurrentItem(wb().FindKindRoot(Kind::UdpClient));
    wb().DeleteSelected();
    form->TreeView1->setCurrentItem(nullptr);
    wb().DeleteSelected();
    EXPECT_FALSE(calls().contains(QStringLiteral("DeleteSocket")));
    EXPECT_TRUE(wb().registry().contains(c));
}

TEST_F(MainWindowTest, WelcomePanelComesBackOnlyWithTheLastEndpoint)
{
    form->suiButton1->click();
    TMySocket *a = make(Kind::UdpClient, QStringLiteral("127.0.0.1[7000]"), QStringLiteral("a"));
    TMySocket *b = make(Kind::UdpGroup, QStringLiteral("224.1.1.1[65000]"), QStringLiteral("b"), nullptr,
                        ImgGroup);
    select(a);
    wb().DeleteSelected();
    EXPECT_FALSE(form->welcomeVisible());
    EXPECT_EQ(wb().registry().count(), 1);
    select(b);
    wb().DeleteSelected();
    EXPECT_EQ(wb().registry().count(), 0);
    EXPECT_TRUE(form->welcomeVisible());
    EXPECT_TRUE(calls().endsWith(QStringLiteral("DeleteSocket:a|DeleteSocket:b"))) << calls().toStdString();
}

TEST_F(MainWindowTest, RecordsWhoseNodesWentWithTheirParentCanNoLongerBeReached)
{
    form->suiButton1->click();
    // A parent whose deletion needs no socket, with two children below it.
    TMySocket *parent = make(Kind::UdpGroup, QStringLiteral("224.1.1.1[65000]"), QStringLiteral("p"), nullptr,
                             ImgGroup);
    TMySocket *c1 = make(Kind::TcpServerClient, QStringLiteral("127.0.0.1[40001]"), QStringLiteral("p_1"),
                         parent->node, ImgDisconnected);
    TMySocket *c2 = make(Kind::TcpServerClient, QStringLiteral("127.0.0.1[40002]"), QStringLiteral("p_2"),
                         parent->node, ImgDisconnected);
    c1->state = 0;
    c2->state = 0;
    QPointer<TFrmData> w1 = c1->window;
    select(parent);
    wb().DeleteSelected();
    Settle();

    EXPECT_FALSE(wb().registry().contains(parent));
    ASSERT_TRUE(wb().registry().contains(c1));
    ASSERT_TRUE(wb().registry().contains(c2));
    EXPECT_EQ(c1->node, nullptr);
    EXPECT_EQ(c2->node, nullptr);
    EXPECT_TRUE(w1) << "their data windows stay until exit";
    EXPECT_EQ(wb().FindEndpointByName(QStringLiteral("p_1")), nullptr);
    EXPECT_EQ(wb().FindEndpointByName(QStringLiteral("p_2")), nullptr);
    for (QTreeWidgetItemIterator it(form->TreeView1); *it; ++it) {
        EXPECT_NE(RecordOf(*it), c1);
        EXPECT_NE(RecordOf(*it), c2);
    }
    EXPECT_NE(wb().SelectedRecord(), c1);
    EXPECT_NE(wb().SelectedRecord(), c2);
    EXPECT_FALSE(form->welcomeVisible()) << "the orphans are still registered";

    // What the kinds still do with such a record must be harmless.
    wb().SetStateImage(c1, ImgDisconnected);
    c1->window->RefreshStatus();
    wb().DeleteSelected();  // nothing selected that carries a record
    EXPECT_TRUE(wb().registry().contains(c1));

    // Exit destroys their windows like every other.
    wb().DestroyAll();
    EXPECT_EQ(wb().registry().count(), 0);
    EXPECT_FALSE(w1);
}

TEST_F(MainWindowTest, ExitDestroysEveryWindowAndLeavesTheTreeHarmless)
{
    TMySocket *a = make(Kind::UdpClient, QStringLiteral("127.0.0.1[7000]"), QStringLiteral("a"));
    TMySocket *b = make(Kind::TcpServerClient, QStringLiteral("127.0.0.1[40000]"), QStringLiteral("b"),
                        a->node, ImgConnected);
    QPointer<TFrmData> wa = a->window, wbw = b->window;
    wb().DestroyAll();
    EXPECT_FALSE(wa);
    EXPECT_FALSE(wbw);
    EXPECT_EQ(wb().registry().count(), 0);
    // Nodes left behind no longer lead to a record.
    EXPECT_EQ(wb().FindEndpointByName(QStringLiteral("a")), nullptr);
    for (QTreeWidgetItemIterator it(form->TreeView1); *it; ++it)
        EXPECT_EQ(RecordOf(*it), nullptr);
    form->TreeView1->setCurrentItem(form->TreeView1->topLevelItem(3)->child(0));
    wb().DeleteSelected();
    EXPECT_FALSE(calls().contains(QStringLiteral("DeleteSocket")));
}

TEST_F(MainWindowTest, ClosingTheWindowFreesEveryListeningPort)
{
    auto rec = std::make_unique<TMySocket>();
    rec->kind = Kind::TcpServer;
    auto *server = new QTcpServer(&wb());
    ASSERT_TRUE(server->listen(QHostAddress::LocalHost, 0));
    const quint16 port = server->serverPort();
    rec->component = server;
    rec->localPort = port;
    wb().CreateDataWindow(rec.get());
    wb().AddNode(wb().FindKindRoot(Kind::TcpServer), QStringLiteral("127.0.0.1[%1]").arg(port), rec.get(),
                 ImgListening);
    wb().Register(std::move(rec));

    form->close();
    EXPECT_FALSE(server->isListening());
    QTcpServer again;
    EXPECT_TRUE(again.listen(QHostAddress::LocalHost, port)) << "the port is free again";
}

} // namespace
