// The toolbar commands on the tree selection: "创建" through the kind's
// dialog, the welcome panel, and the stop command on the selected endpoint.
#include "core/endpoints/endpoint.h"
#include "core/endpoints/endpointkind.h"
#include "dialogdriver.h"
#include "gui/endpointcommands.h"
#include "gui/endpointtree.h"
#include "gui/newserverdialog.h"
#include "scriptedcore.h"
#include "scriptedwindow.h"
#include "testsupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTcpSocket>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

class CommandsTest : public ::testing::Test
{
protected:
    // Presses "创建"; each dialog shown is recorded by its class and handled
    // by answer (cancel when none is given).
    void Create(const std::function<int(QDialog *)> &answer = {})
    {
        DialogDriver driver([&](QDialog *d) {
            shown << QString::fromLatin1(d->metaObject()->className());
            return answer ? answer(d) : int(QDialog::Rejected);
        });
        f.window().findChild<QPushButton *>(QStringLiteral("Button1"))->click();
    }

    Endpoint *CreateServer(int port)
    {
        Create([port](QDialog *d) {
            d->findChild<QLineEdit *>(QStringLiteral("Edit1"))->setText(QString::number(port));
            d->findChild<QPushButton *>(QStringLiteral("Button1"))->click();
            return d->result();
        });
        return f.window().selectedEndpoint();
    }

    QTreeWidgetItem *node(const Endpoint *e) { return f.window().tree().nodeOf(e); }
    QTreeWidgetItem *root(EndpointKind kind) { return f.window().tree().kindRoot(kind); }
    QTreeWidget *treeView() { return f.window().findChild<QTreeWidget *>(QStringLiteral("TreeView1")); }

    ScriptedWindow f;
    QStringList shown;
};

TEST_F(CommandsTest, EachKindRootOpensItsOwnDialogAndNothingSelectedOpensNone)
{
    treeView()->setCurrentItem(nullptr);
    Create();
    EXPECT_TRUE(shown.isEmpty());

    const QList<QPair<EndpointKind, QString>> expected = {
        {EndpointKind::TcpServer, QStringLiteral("NewServerDialog")},
         {EndpointKind::TcpClient, QStringLiteral("NewClientDialog")},
          {EndpointKind::UdpServer, QStringLiteral("NewUdpServerDialog")},
           {EndpointKind::UdpClient, QStringLiteral("NewUdpClientDialog")},
            {EndpointKind::UdpGroup, QStringLiteral("NewGroupDialog")},
           };
    for (const auto &[kind, dialog] : expected) {
        shown.clear();
        f.window().selectKindRoot(kind);
        Create();
        EXPECT_EQ(shown, QStringList {dialog}) << dialog.toStdString();
    }
    EXPECT_EQ(f.registry().count(), 0);
    EXPECT_TRUE(f.window().welcomeVisible());
    EXPECT_TRUE(f.messages.texts.isEmpty());
}

TEST_F(CommandsTest, SelectedEndpointCreatesAnotherOfItsKindUnderTheRoot)
{
    f.window().selectKindRoot(EndpointKind::TcpServer);
    Endpoint *first = CreateServer(FreeTcpPort());
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(first->kind(), EndpointKind::TcpServer);
    EXPECT_EQ(node(first)->parent(), root(EndpointKind::TcpServer));

    shown.clear();
    f.window().selectEndpoint(first);
    Endpoint *second = CreateServer(FreeTcpPort());
    EXPECT_EQ(shown, QStringList {QStringLiteral("NewServerDialog")});
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(node(second)->parent(), root(EndpointKind::TcpServer));
    EXPECT_EQ(treeView()->currentItem(), node(second));
    EXPECT_EQ(f.registry().count(), 2);
}

TEST_F(CommandsTest, AcceptedConnectionSelectedCreatesNothing)
{
    f.window().selectKindRoot(EndpointKind::TcpServer);
    Endpoint *server = CreateServer(FreeTcpPort());
    ASSERT_NE(server, nullptr);
    QTcpSocket client;
    client.connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(server->localPort()));
    ASSERT_TRUE(WaitFor([&] { return node(server)->childCount() == 1; }));

    shown.clear();
    treeView()->setCurrentItem(node(server)->child(0));
    ASSERT_NE(f.window().selectedEndpoint(), server);
    Create();
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(f.registry().count(), 2);
}

TEST_F(CommandsTest, WelcomePanelHidesAfterCreateWhenEndpointsExist)
{
    f.window().selectKindRoot(EndpointKind::UdpGroup);
    Create();  // cancelled, nothing registered
    EXPECT_TRUE(f.window().welcomeVisible());

    f.window().selectKindRoot(EndpointKind::TcpServer);
    ASSERT_NE(CreateServer(FreeTcpPort()), nullptr);
    EXPECT_FALSE(f.window().welcomeVisible());

    // The panel back (as the commands ask for it when none is left).
    Q_EMIT f.window().commands().welcomeWanted(true);
    ASSERT_TRUE(f.window().welcomeVisible());
    f.window().selectKindRoot(EndpointKind::UdpGroup);
    Create();  // cancelled again: endpoints exist, so the panel goes
    EXPECT_FALSE(f.window().welcomeVisible());
}

TEST_F(CommandsTest, ConversionErrorInADialogCreatesNothingAndKeepsItOpen)
{
    f.window().selectKindRoot(EndpointKind::TcpServer);
    bool stayedOpen = false;
    Create([&](QDialog *d) {
        d->findChild<QLineEdit *>(QStringLiteral("Edit1"))->setText(QStringLiteral("port"));
        d->findChild<QPushButton *>(QStringLiteral("Button1"))->click();
        stayedOpen = d->result() != QDialog::Accepted;
        d->findChild<QPushButton *>(QStringLiteral("Button2"))->click();
        return d->result();
    });
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(f.messages.texts, QStringList {QStringLiteral("'port' is not a valid integer value")});
    EXPECT_EQ(f.registry().count(), 0);
}

TEST_F(CommandsTest, StopActsOnTheSelectedEndpointAndDisablesTheSender)
{
    f.window().selectKindRoot(EndpointKind::TcpServer);
    Endpoint *server = CreateServer(FreeTcpPort());
    ASSERT_NE(server, nullptr);
    QTcpSocket client;
    client.connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(server->localPort()));
    ASSERT_TRUE(WaitFor([&] { return node(server)->childCount() == 1; }));
    Endpoint *connection = EndpointTree::endpointOf(node(server)->child(0));
    ASSERT_NE(connection, nullptr);
    auto *disconnect = f.control<QPushButton>(connection, "Button_6");
    ASSERT_NE(disconnect, nullptr);
    ASSERT_TRUE(disconnect->isEnabled());

    // "断开" in the connection's window while the server's node is selected:
    // the connection's state drops, the selected server is what stops.
    f.window().selectEndpoint(server);
    QTest::mouseClick(disconnect, Qt::LeftButton);  // it acts on the release
    EXPECT_FALSE(server->isActive());
    EXPECT_EQ(server->image(), StateImage::NotListening);
    EXPECT_FALSE(connection->isActive());
    EXPECT_FALSE(disconnect->isEnabled());

    // With nothing that carries an endpoint selected, stop does nothing at all.
    f.control<QPushButton>(server, "Button_5")->click();
    ASSERT_TRUE(server->isActive());
    QPushButton sender;
    f.window().selectKindRoot(EndpointKind::TcpServer);
    f.window().commands().stop(&sender);
    EXPECT_TRUE(sender.isEnabled());
    EXPECT_TRUE(server->isActive());
}

}  // namespace
