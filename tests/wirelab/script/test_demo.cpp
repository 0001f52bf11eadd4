// The demo project that `make run` starts, run as the user would: the
// declared endpoints come up, the client talks to the echo server through its
// panel, the heartbeat runs, and the UDP server answers a ping.

#include "datawindow/logpane.h"
#include "datawindow/tfrmdata.h"
#include "endpoints/kinds.h"
#include "endpoints/mainwindow.h"
#include "endpoints/tmysocket.h"
#include "endpoints/workbench.h"
#include "script/scripttimers.h"
#include "seamrecorder.h"
#include "testsupport.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QPushButton *ButtonOf(TMySocket *r, const char *id) { return r->window->findChild<QPushButton *>(id); }

bool Received(TMySocket *r, const QString &text) { return r->window->Memo2->text().contains(text); }

} // namespace

TEST(DemoProject, EchoClientHeartbeatAndUdpServerWorkTogether)
{
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QStringLiteral(WIRELAB_DEMO_DIR)));
    MessageRecorder messages;
    TForm1 form;  // ./project.txt, as `make run` starts it
    QDir::setCurrent(previous);
    form.Timer1->stop();
    QSignalSpy built(&form, &TForm1::firstActivationDone);
    form.show();
    ASSERT_TRUE(built.count() > 0 || built.wait(10000));
    Workbench &wb = form.workbench();

    TMySocket *echo = wb.FindEndpointByName("echo");
    TMySocket *client = wb.FindEndpointByName("client");
    TMySocket *udp = wb.FindEndpointByName("udp");
    TMySocket *probe = wb.FindEndpointByName("probe");
    ASSERT_TRUE(echo && client && udp && probe);
    EXPECT_EQ(echo->state, 1);
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('\n').toStdString();

    // Connect through the panel: the echo server accepts and gets a panel
    // for the new connection.
    ButtonOf(client, "connect")->click();
    TMySocket *conn = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        for (int i = 0; i < wb.registry().count(); ++i) {
            TMySocket *r = wb.registry().at(i);
            if (r->kind == Kind::TcpServerClient && r->window && ButtonOf(r, "kick"))
                conn = r;
        }
        return conn && client->state == 1;
    }));

    ButtonOf(client, "send")->click();
    EXPECT_TRUE(WaitFor([&] { return Received(client, "echo: hello, wirelab"); }));

    // The heartbeat: once a second, that is every tenth tick.
    for (int i = 0; i < 10; ++i)
        wb.timers().Timer1Timer();
    EXPECT_EQ(ButtonOf(client, "beats")->text(), "1 beats");
    EXPECT_EQ(ButtonOf(client, "connect")->text(), "Disconnect");
    EXPECT_TRUE(WaitFor([&] { return Received(client, "echo: ping 1"); }));

    // A new prefix typed into the echo server's panel is used from then on.
    echo->window->findChild<QLineEdit *>("prefix")->setText("re: ");
    ButtonOf(conn, "greet")->click();
    EXPECT_TRUE(WaitFor([&] { return Received(client, "hello from wirelab"); }));
    ButtonOf(client, "send")->click();
    EXPECT_TRUE(WaitFor([&] { return Received(client, "re: hello, wirelab"); }));

    // The UDP server answers whoever pinged it, straight from its OnRead.
    ButtonOf(probe, "ping")->click();
    ASSERT_TRUE(WaitFor([&] { return Received(udp, "ping"); }));
    EXPECT_TRUE(WaitFor([&] { return Received(probe, "ack 1 for 127.0.0.1:"); }));

    ButtonOf(conn, "kick")->click();
    EXPECT_TRUE(WaitFor([&] { return client->state == 0; }));
    for (int i = 0; i < 10; ++i)
        wb.timers().Timer1Timer();
    EXPECT_EQ(ButtonOf(client, "connect")->text(), "Connect");
    EXPECT_EQ(ButtonOf(udp, "count")->text(), "1 datagrams");
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('\n').toStdString();
}
