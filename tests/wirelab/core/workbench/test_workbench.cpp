// A whole project driven through the workbench alone, as any front end
// drives it: load, build, run, the endpoint operations, clear.
#include "core/endpoints/endpoint.h"
#include "core/endpoints/tcpclientendpoint.h"
#include "core/workbench/workbench.h"
#include "scriptedcore.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(Workbench, DrivesAProjectWithoutAFrontEnd)
{
    QTemporaryDir dir;
    const int port = FreeTcpPort();
    const QString script = QStringLiteral(R"JS(
function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: "%1", ID: "srv", HEX: "0"}];
  actions.push({TYPE: "ADDTIMER", SOCKET: "srv", TIMERNAME: "t", INTERVAL: 1});
}
function onSocket(n, e, a, b) { if (e == "OnRead" && n != "c") actions.push({TYPE: "SEND", SOCKET: n, DATA: a}); }
)JS")
                                              .arg(port);
    Workbench wb;
    ASSERT_TRUE(wb.load(WriteContractProject(dir.path(), script)));
    wb.build();
    ASSERT_TRUE(wb.built());
    Endpoint *srv = wb.find(QStringLiteral("srv"));
    ASSERT_NE(srv, nullptr);
    EXPECT_TRUE(srv->isActive());
    wb.run();
    EXPECT_TRUE(WaitFor([&] { return !RecordedCalls(wb.host(), QStringLiteral("timer")).isEmpty(); }));

    // A kind is asked only for the commands it offers.
    TcpClientEndpoint *c = TextTcpClient(wb.registry(), QStringLiteral("c"), port);
    EXPECT_FALSE(Workbench::listen(*c, true));
    EXPECT_FALSE(Workbench::connectEndpoint(*srv));
    ASSERT_TRUE(Workbench::connectEndpoint(*c));
    ASSERT_TRUE(WaitFor([&] { return c->isActive(); }));

    // Sent twice back to back, counted, logged once with the typed count,
    // echoed by the server.
    QStringList lines;
    QObject::connect(&c->log(), &EndpointLog::recordAppended, c,
                     [&](qsizetype i) { lines << c->log().text(i); });
    SendRequest request;
    request.block = Workbench::blockOf(QStringLiteral("hi\n"), false);
    request.countText = QStringLiteral("2");
    EXPECT_TRUE(Workbench::send(*c, request));
    EXPECT_EQ(c->sentBytes(), 8);
    EXPECT_TRUE(WaitFor([&] { return c->receivedBytes() == 8; }));
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.first().endsWith(QStringLiteral(" 发送数据：hi␍␊[2次]")))
                << lines.first().toStdString();
    EXPECT_FALSE(Workbench::send(*c, {}));
    Workbench::resetCounters(*c);
    EXPECT_EQ(c->sentBytes(), 0);

    EXPECT_TRUE(Workbench::disconnectEndpoint(*c));
    EXPECT_FALSE(c->isActive());
    EXPECT_TRUE(Workbench::listen(*srv, false));
    EXPECT_FALSE(srv->isActive());
    Workbench::deleteEndpoint(*c);
    EXPECT_EQ(wb.find(QStringLiteral("c")), nullptr);
    EXPECT_EQ(RecordedCalls(wb.host(), QStringLiteral("delete")), QStringList {QStringLiteral("delete|c")});

    wb.clear();
    EXPECT_FALSE(wb.running());
    EXPECT_EQ(wb.registry().count(), 0);
}

}  // namespace
