// The toolbar commands on the tree selection: "创建" through the kind's
// dialog, the welcome panel, and the stop command on the selected endpoint.
#include "scriptedform.h"

#include "datawindow/tfrmdata.h"
#include "endpoints/endpointnode.h"
#include "endpoints/kinds.h"
#include "endpoints/newclientsock.h"
#include "endpoints/newgroupsock.h"
#include "endpoints/newserversock.h"
#include "endpoints/newudpserver.h"
#include "endpoints/newudpsock.h"
#include "endpoints/tmysocket.h"
#include "seamrecorder.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTcpSocket>
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
        f.form().Button1->click();
    }

    TMySocket *CreateServer(int port)
    {
        Create([port](QDialog *d) {
            auto *dialog = qobject_cast<TfrmNewServerSock *>(d);
            dialog->Edit1->setText(QString::number(port));
            dialog->Button1->click();
            return dialog->result();
        });
        return f.wb().SelectedRecord();
    }

    MessageRecorder messages;
    ScriptedForm f;
    QStringList shown;
};

TEST_F(CommandsTest, EachKindRootOpensItsOwnDialogAndNothingSelectedOpensNone)
{
    f.form().TreeView1->setCurrentItem(nullptr);
    Create();
    EXPECT_TRUE(shown.isEmpty());

    const QList<QPair<QString, QString>> expected = {
        {Kind::TcpServer, QStringLiteral("TfrmNewServerSock")},
        {Kind::TcpClient, QStringLiteral("TfrmNewClientSock")},
        {Kind::UdpServer, QStringLiteral("TfrmNewUDPServer")},
        {Kind::UdpClient, QStringLiteral("TfrmNewUdpSock")},
        {Kind::UdpGroup, QStringLiteral("TfrmNewGroupSock")},
    };
    for (const auto &[kind, dialog] : expected) {
        shown.clear();
        f.select(f.root(kind));
        Create();
        EXPECT_EQ(shown, QStringList{dialog}) << kind.toStdString();
    }
    EXPECT_EQ(f.wb().registry().count(), 0);
    EXPECT_TRUE(f.form().welcomeVisible());
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(CommandsTest, SelectedEndpointCreatesAnotherOfItsKindUnderTheRoot)
{
    QTreeWidgetItem *root = f.root(Kind::TcpServer);
    f.select(root);
    TMySocket *first = CreateServer(FreeTcpPort());
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(first->kind, Kind::TcpServer);
    EXPECT_EQ(first->node->parent(), root);

    shown.clear();
    f.select(first->node);
    TMySocket *second = CreateServer(FreeTcpPort());
    EXPECT_EQ(shown, QStringList{QStringLiteral("TfrmNewServerSock")});
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(second->node->parent(), root);
    EXPECT_EQ(f.form().TreeView1->currentItem(), second->node);
    EXPECT_EQ(f.wb().registry().count(), 2);
}

TEST_F(CommandsTest, AcceptedConnectionSelectedCreatesNothing)
{
    f.select(f.root(Kind::TcpServer));
    TMySocket *server = CreateServer(FreeTcpPort());
    ASSERT_NE(server, nullptr);
    QTcpSocket client;
    client.connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(server->localPort));
    ASSERT_TRUE(WaitFor([&] { return server->node->childCount() == 1; }));

    shown.clear();
    f.select(server->node->child(0));
    Create();
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(f.wb().registry().count(), 2);
}

TEST_F(CommandsTest, WelcomePanelHidesAfterCreateWhenEndpointsExist)
{
    f.select(f.root(Kind::UdpGroup));
    Create();  // cancelled, nothing registered
    EXPECT_TRUE(f.form().welcomeVisible());

    f.select(f.root(Kind::TcpServer));
    ASSERT_NE(CreateServer(FreeTcpPort()), nullptr);
    EXPECT_FALSE(f.form().welcomeVisible());

    f.form().setWelcomeVisible(true);
    f.select(f.root(Kind::UdpGroup));
    Create();  // cancelled again: endpoints exist, so the panel goes
    EXPECT_FALSE(f.form().welcomeVisible());
}

TEST_F(CommandsTest, ConversionErrorInADialogCreatesNothingAndKeepsItOpen)
{
    f.select(f.root(Kind::TcpServer));
    bool stayedOpen = false;
    Create([&](QDialog *d) {
        auto *dialog = qobject_cast<TfrmNewServerSock *>(d);
        dialog->Edit1->setText(QStringLiteral("port"));
        dialog->Button1->click();
        stayedOpen = dialog->result() != QDialog::Accepted;
        dialog->Button2->click();
        return dialog->result();
    });
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(messages.texts, QStringList{QStringLiteral("'port' is not a valid integer value")});
    EXPECT_EQ(f.wb().registry().count(), 0);
}

TEST_F(CommandsTest, StopActsOnTheSelectedEndpointAndDisablesTheSender)
{
    f.select(f.root(Kind::TcpServer));
    TMySocket *server = CreateServer(FreeTcpPort());
    ASSERT_NE(server, nullptr);
    QTcpSocket client;
    client.connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(server->localPort));
    ASSERT_TRUE(WaitFor([&] { return server->node->childCount() == 1; }));
    TMySocket *connection = RecordOf(server->node->child(0));
    ASSERT_NE(connection, nullptr);
    connection->window->RefreshStatus();

    // "断开" in the connection's window while the server's node is selected:
    // the connection's state drops, the selected server is what stops.
    f.select(server->node);
    connection->window->Button_6MouseUp();
    EXPECT_EQ(server->state, 0);
    EXPECT_EQ(StateImageOf(server->node), int(ImgNotListening));
    EXPECT_EQ(connection->state, 0);
    EXPECT_FALSE(connection->window->Button_6->isEnabled());

    // With nothing that carries a record selected, stop does nothing at all.
    server->window->Button_5Click();
    ASSERT_EQ(server->state, 1);
    QPushButton sender;
    f.select(f.root(Kind::TcpServer));
    f.form().Button6Click(&sender);
    EXPECT_TRUE(sender.isEnabled());
    EXPECT_EQ(server->state, 1);
}

} // namespace
