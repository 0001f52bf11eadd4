// The five creation dialogs driven through the dialog seam: texts and
// defaults, the conversion error that keeps a dialog open, the port probe
// of the UDP dialogs, the host refill of the client dialogs and results.
#include "endpoints/adapterinfo.h"
#include "endpoints/newclientsock.h"
#include "endpoints/newgroupsock.h"
#include "endpoints/newserversock.h"
#include "endpoints/newudpserver.h"
#include "endpoints/newudpsock.h"
#include "seamrecorder.h"
#include "testsupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUdpSocket>
#include <gtest/gtest.h>

namespace {

// Shows the dialog as a modal run would, lets steps type and press buttons,
// and ends the run with whatever result the dialog reached.
int Drive(CreationDialog &dialog, const std::function<void()> &steps)
{
    DialogDriver driver([&](QDialog *d) {
        d->show();
        WaitFor([&] { return d->isActiveWindow(); }, 2000);
        steps();
        const int result = d->result();
        d->hide();
        return result;
    });
    return dialog.Run();
}

QString LabelText(QWidget &w, const char *name)
{
    auto *label = w.findChild<QLabel *>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<missing>");
}

QString BoxText(QWidget &w, const char *name)
{
    auto *box = w.findChild<QLineEdit *>(QLatin1String(name));
    return box ? box->text() : QStringLiteral("<missing>");
}

// A UDP port held by another socket for the life of the object.
struct HeldUdpPort
{
    HeldUdpPort() { socket.bind(QHostAddress::AnyIPv4, 0); }
    int port() const { return socket.localPort(); }
    QUdpSocket socket;
};

TEST(CreationDialogs, CaptionsLabelsDefaultsAndButtons)
{
    TfrmNewServerSock server;
    TfrmNewClientSock client;
    TfrmNewUdpSock udp;
    TfrmNewGroupSock group;
    TfrmNewUDPServer udpServer;

    EXPECT_EQ(server.windowTitle(), QStringLiteral("创建TCP Server"));
    EXPECT_EQ(LabelText(server, "Label1"), QStringLiteral("监听端口:  "));
    EXPECT_EQ(BoxText(server, "Edit1"), QStringLiteral("60000"));

    EXPECT_EQ(client.windowTitle(), QStringLiteral("创建TCP Client"));
    EXPECT_EQ(LabelText(client, "Label1"), QStringLiteral("对方IP:    "));
    EXPECT_EQ(BoxText(client, "Edit1"), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(LabelText(client, "Label2"), QStringLiteral("对方端口:  "));
    EXPECT_EQ(BoxText(client, "Edit2"), QStringLiteral("60000"));

    EXPECT_EQ(udp.windowTitle(), QStringLiteral("创建UDP Client"));
    EXPECT_EQ(LabelText(udp, "Label1"), QStringLiteral("对方IP   "));
    EXPECT_EQ(BoxText(udp, "Edit1"), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(LabelText(udp, "Label2"), QStringLiteral("对方端口  "));
    EXPECT_EQ(BoxText(udp, "Edit2"), QStringLiteral("60000"));
    EXPECT_EQ(LabelText(udp, "Label3"), QStringLiteral("本地端口    "));
    EXPECT_EQ(BoxText(udp, "Edit3"), QStringLiteral("10000"));
    EXPECT_EQ(udp.Button3->text(), QStringLiteral("广播地址"));

    EXPECT_EQ(group.windowTitle(), QStringLiteral("创建UDP组播"));
    EXPECT_EQ(LabelText(group, "Label1"), QStringLiteral("组播地址:  "));
    EXPECT_EQ(BoxText(group, "Edit1"), QStringLiteral("224.1.1.1"));
    EXPECT_EQ(LabelText(group, "Label2"), QStringLiteral("组播端口: "));
    EXPECT_EQ(BoxText(group, "Edit2"), QStringLiteral("65000"));

    EXPECT_EQ(udpServer.windowTitle(), QStringLiteral("创建UDP Server"));
    EXPECT_EQ(LabelText(udpServer, "Label1"), QStringLiteral("本地端口    "));
    EXPECT_EQ(BoxText(udpServer, "Edit1"), QStringLiteral("60000"));

    for (CreationDialog *d : std::initializer_list<CreationDialog *>{&server, &client, &udp, &group, &udpServer}) {
        EXPECT_EQ(d->findChild<QPushButton *>(QStringLiteral("Button1"))->text(), QStringLiteral("确定"));
        EXPECT_EQ(d->findChild<QPushButton *>(QStringLiteral("Button2"))->text(), QStringLiteral("取消"));
    }
}

TEST(CreationDialogs, NonNumericPortIsReportedAndTheDialogStaysOpen)
{
    MessageRecorder messages;
    TfrmNewServerSock server;
    const int result = Drive(server, [&] {
        server.Edit1->setText(QStringLiteral("6a"));
        server.Button1->click();
        EXPECT_EQ(messages.texts, QStringList{QStringLiteral("'6a' is not a valid integer value")});
        EXPECT_TRUE(server.isVisible());
        EXPECT_NE(server.result(), int(QDialog::Accepted));
        // No range check: the socket layer takes the low 16 bits.
        server.Edit1->setText(QStringLiteral("70000"));
        server.Button1->click();
    });
    EXPECT_EQ(result, int(QDialog::Accepted));
    EXPECT_EQ(server.Port, 70000);
    EXPECT_EQ(messages.texts.size(), 1);
}

TEST(CreationDialogs, CancelAndCloseBoxRejectAfterAnEarlierOk)
{
    TfrmNewGroupSock group;
    EXPECT_EQ(Drive(group, [&] { group.Button1->click(); }), int(QDialog::Accepted));
    EXPECT_EQ(group.GroupAddress, QStringLiteral("224.1.1.1"));
    EXPECT_EQ(group.Port, 65000);
    EXPECT_EQ(Drive(group, [&] { group.Button2->click(); }), int(QDialog::Rejected));
    EXPECT_EQ(Drive(group, [&] { group.close(); }), int(QDialog::Rejected));
    // A run that ends without any button does not report the old OK.
    EXPECT_EQ(Drive(group, [] {}), int(QDialog::Rejected));
}

TEST(CreationDialogs, ValuesAreKeptExactlyAsTypedAndStayForTheNextUse)
{
    TfrmNewGroupSock group;
    // Not a group address: only the creation reports that.
    ASSERT_EQ(Drive(group, [&] {
                  group.Edit1->setText(QStringLiteral(" 10.1.1.1 "));
                  group.Edit2->setText(QStringLiteral(" 7000 "));
                  group.Button1->click();
              }),
              int(QDialog::Accepted));
    EXPECT_EQ(group.GroupAddress, QStringLiteral(" 10.1.1.1 "));
    EXPECT_EQ(group.Port, 7000);
    EXPECT_EQ(Drive(group, [&] { group.Button1->click(); }), int(QDialog::Accepted));
    EXPECT_EQ(group.GroupAddress, QStringLiteral(" 10.1.1.1 "));
}

TEST(CreationDialogs, ClientDialogsRefillTheHostOnEveryShowing)
{
    const QString local = LocalAddress();
    TfrmNewClientSock client;
    TfrmNewUdpSock udp;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(Drive(client, [&] {
                      EXPECT_EQ(client.Edit1->text(), local);
                      client.Edit1->setText(QStringLiteral("10.9.9.9 "));
                      client.Edit2->setText(QStringLiteral("7"));
                      client.Button1->click();
                  }),
                  int(QDialog::Accepted));
        EXPECT_EQ(client.Host, QStringLiteral("10.9.9.9 "));
        EXPECT_EQ(client.Port, 7);
        EXPECT_EQ(Drive(udp, [&] {
                      EXPECT_EQ(udp.Edit1->text(), local);
                      udp.Edit1->setText(QStringLiteral("10.9.9.9"));
                      udp.Button2->click();
                  }),
                  int(QDialog::Rejected));
    }
}

TEST(CreationDialogs, UdpDialogsKeepTheDialogOpenWhileTheLocalPortIsBound)
{
    MessageRecorder messages;
    HeldUdpPort held;
    const QString busy = QStringLiteral("本地端口已被占用，请重新选择本地端口号");

    TfrmNewUdpSock udp;
    const int udpResult = Drive(udp, [&] {
        udp.Edit1->setText(QStringLiteral("127.0.0.1"));
        udp.Edit2->setText(QStringLiteral("9"));
        udp.Edit3->setText(QString::number(held.port()));
        udp.Button1->click();
        EXPECT_EQ(messages.texts, QStringList{busy});
        EXPECT_TRUE(udp.isVisible());
        EXPECT_EQ(udp.Edit3->text(), QString::number(held.port()));
        udp.Edit3->setText(QStringLiteral("0"));
        udp.Button1->click();
    });
    EXPECT_EQ(udpResult, int(QDialog::Accepted));
    EXPECT_EQ(udp.Host, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(udp.RemotePort, 9);
    EXPECT_EQ(udp.LocalPort, 0);

    messages.texts.clear();
    TfrmNewUDPServer server;
    const int serverResult = Drive(server, [&] {
        server.Edit1->setText(QString::number(held.port()));
        server.Button1->click();
        EXPECT_EQ(messages.texts, QStringList{busy});
        EXPECT_TRUE(server.isVisible());
        server.Edit1->setText(QStringLiteral("0"));
        server.Button1->click();
    });
    EXPECT_EQ(serverResult, int(QDialog::Accepted));
    EXPECT_EQ(server.LocalPort, 0);
}

TEST(CreationDialogs, BroadcastButtonPutsTheBroadcastAddressInTheHostBox)
{
    MessageRecorder messages;
    bool warn = false;
    const QString expected = BroadcastAddress(SystemAdapters(), &warn);
    TfrmNewUdpSock udp;
    Drive(udp, [&] {
        udp.Button3->click();
        EXPECT_EQ(udp.Edit1->text(), expected);
        EXPECT_TRUE(udp.isVisible());
        udp.Button2->click();
    });
    EXPECT_EQ(messages.texts.size(), warn ? 1 : 0);
}

} // namespace
