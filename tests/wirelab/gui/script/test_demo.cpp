// The demo project that `make run` starts, run as the user would: the
// declared endpoints come up, the client talks to the echo server through its
// panel, the heartbeat runs, and the UDP server answers a ping.

#include "seamrecorder.h"
#include "testsupport.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/registry.h"
#include "core/script/scripthost.h"
#include "gui/datawindow.h"
#include "gui/logview.h"
#include "gui/mainwindow.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

template<class T>
T *Control(MainWindow &w, const Endpoint *e, const char *name)
{
    DataWindow *d = w.dataWindow(e);
    if (!d)
        return nullptr;
    d->ensureUi();
    return d->findChild<T *>(QLatin1String(name));
}

QPushButton *ButtonOf(MainWindow &w, const Endpoint *e, const char *id)
{
    return Control<QPushButton>(w, e, id);
}

bool Received(MainWindow &w, const Endpoint *e, const QString &text)
{
    auto *pane = Control<LogView>(w, e, "Memo2");
    return pane && pane->text().contains(text);
}

}  // namespace

TEST(DemoProject, EchoClientHeartbeatAndUdpServerWorkTogether)
{
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QStringLiteral(WIRELAB_DEMO_DIR)));
    MessageRecorder messages;
    MainWindow form;  // ./project.txt, as `make run` starts it
    QDir::setCurrent(previous);
    auto *tick = form.findChild<QTimer *>(QStringLiteral("Timer1"));
    ASSERT_NE(tick, nullptr);
    tick->stop();  // the test ticks itself
    QSignalSpy built(&form, &MainWindow::firstActivationDone);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(built.count() > 0 || built.wait(10000));
    EndpointRegistry &registry = form.registry();

    Endpoint *echo = registry.findByName("echo");
    Endpoint *client = registry.findByName("client");
    Endpoint *udp = registry.findByName("udp");
    Endpoint *probe = registry.findByName("probe");
    ASSERT_TRUE(echo && client && udp && probe);
    EXPECT_TRUE(echo->isActive());
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('\n').toStdString();

    // Connect through the panel: the echo server accepts and gets a panel
    // for the new connection.
    ButtonOf(form, client, "connect")->click();
    Endpoint *conn = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        for (Endpoint *e : registry.connectionsOf(echo)) {
            if (ButtonOf(form, e, "kick"))
                conn = e;
        }
        return conn && client->isActive();
    }));

    ButtonOf(form, client, "send")->click();
    EXPECT_TRUE(WaitFor([&] { return Received(form, client, "echo: hello, wirelab"); }));

    // The heartbeat: once a second, that is every tenth tick.
    for (int i = 0; i < 10; ++i)
        form.scriptHost().tick();
    EXPECT_EQ(ButtonOf(form, client, "beats")->text(), "1 beats");
    EXPECT_EQ(ButtonOf(form, client, "connect")->text(), "Disconnect");
    EXPECT_TRUE(WaitFor([&] { return Received(form, client, "echo: ping 1"); }));

    // A new prefix typed into the echo server's panel is used from then on.
    Control<QLineEdit>(form, echo, "prefix")->setText("re: ");
    ButtonOf(form, conn, "greet")->click();
    EXPECT_TRUE(WaitFor([&] { return Received(form, client, "hello from wirelab"); }));
    ButtonOf(form, client, "send")->click();
    EXPECT_TRUE(WaitFor([&] { return Received(form, client, "re: hello, wirelab"); }));

    // The UDP server answers whoever pinged it, straight from its OnRead.
    ButtonOf(form, probe, "ping")->click();
    ASSERT_TRUE(WaitFor([&] { return Received(form, udp, "ping"); }));
    EXPECT_TRUE(WaitFor([&] { return Received(form, probe, "ack 1 for 127.0.0.1:"); }));

    ButtonOf(form, conn, "kick")->click();
    EXPECT_TRUE(WaitFor([&] { return !client->isActive(); }));
    for (int i = 0; i < 10; ++i)
        form.scriptHost().tick();
    EXPECT_EQ(ButtonOf(form, client, "connect")->text(), "Connect");
    EXPECT_EQ(ButtonOf(form, udp, "count")->text(), "1 datagrams");
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('\n').toStdString();
}
