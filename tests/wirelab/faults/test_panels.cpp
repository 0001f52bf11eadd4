// The declared panels behave the same in both front ends: the same calls
// into the script, in the same order, and the same texts shown, for the
// build, a click and its refresh, a typed text and the panel of an accepted
// connection; a name the window's own controls use ends the build in both.
#include "frontends.h"
#include "testsupport.h"

#include "core/endpoints/tcpserverendpoint.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

#include <functional>

namespace {

const char *PanelScript = R"JS(
function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: "0", ID: "srv", UI: [
               [{TYPE: "Button", ID: "go", TEXT: "Go"}, {TYPE: "Edit", ID: "ed", TEXT: "abc"}],
               [{TYPE: "Label", TEXT: "note", WIDTH: 40}, {TYPE: "Edit", ID: "blank"}]]},
             {SOCKETTYPE: "TCP Server", PORT: "0", ID: "bad", UI: [[{TYPE: "Button", ID: "MEMO2"}]]},
             {SOCKETTYPE: "TCP Server", PORT: "0", ID: "after"}];
}
function onClick(n, id) { findUi("srv", "go").TEXT = "Stop"; findUi("srv", "ed").TEXT = "xyz"; }
function onSocket(n, e, a, b) {
  if (e == "OnConnect") sockets.push({ID: n, UI: [[{TYPE: "Edit", ID: "peer", TEXT: "p"}]]});
}
)JS";

class PanelTest : public ::testing::TestWithParam<FrontEnd::Kind>
{};

TEST_P(PanelTest, BuildClickTypingAndAcceptCallTheScriptInTheSameOrder)
{
    auto f = FrontEnd::start(GetParam(), QString::fromLatin1(PanelScript));
    auto *srv = qobject_cast<TcpServerEndpoint *>(f->endpoint(QStringLiteral("srv")));
    ASSERT_TRUE(srv && srv->listener());
    EXPECT_NE(f->endpoint(QStringLiteral("bad")), nullptr);
    EXPECT_EQ(f->endpoint(QStringLiteral("after")), nullptr);

    QTcpSocket peer;
    QString connection;  // the accepted connection's name, as "C" below
    const struct
    {
        const char *step;
        std::function<void()> act;
        QStringList calls;
        const char *go, *ed;
    } steps[] = {
        {"build", [] {}, {"edit|srv|ed|abc"}, "Go", "abc"},
        {"click",
         [&] { EXPECT_TRUE(f->click(QStringLiteral("srv"), QStringLiteral("go"))); },
         {"click|srv|go", "edit|srv|ed|xyz"},
         "Stop",
         "xyz"},
        {"typing",
         [&] { EXPECT_TRUE(f->type(QStringLiteral("srv"), QStringLiteral("ed"), QStringLiteral("q"))); },
         {"edit|srv|ed|q"},
         "Stop",
         "q"},
        // The accept hook builds the panel the script declared in OnConnect,
        // then refreshes every panel.
        {"accept",
         [&] {
             peer.connectToHost(QHostAddress::LocalHost, srv->listener()->serverPort());
             EXPECT_TRUE(WaitFor([&] { return f->callsOf(QStringLiteral("edit")).size() == 2; }));
             connection = f->callsOf(QStringLiteral("OnConnect")).value(0).section(u'|', 1, 1);
         },
         {"OnConnect|C", "edit|C|peer|p", "edit|srv|ed|xyz"},
         "Stop",
         "xyz"},
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.step);
        s.act();
        QStringList calls;
        for (QString call : f->callsOf(QString())) {
            if (call.startsWith(QLatin1String("OnConnect|")))
                call = call.section(u'|', 0, 1);
            calls << (connection.isEmpty() ? call : call.replace(connection, QStringLiteral("C")));
        }
        EXPECT_EQ(calls.join(u' ').toStdString(), s.calls.join(u' ').toStdString());
        f->js(QStringLiteral("calls = [];"));
        EXPECT_EQ(f->panelText(QStringLiteral("srv"), QStringLiteral("go")), QLatin1String(s.go));
        EXPECT_EQ(f->panelText(QStringLiteral("srv"), QStringLiteral("ed")), QLatin1String(s.ed));
    }
    EXPECT_EQ(f->panelText(connection, QStringLiteral("peer")), QStringLiteral("p"));
    EXPECT_FALSE(f->click(QStringLiteral("srv"), QStringLiteral("ed")));  // no such button
    EXPECT_TRUE(f->messages().texts.isEmpty()) << f->messages().texts.join(u'|').toStdString();
}

INSTANTIATE_TEST_SUITE_P(BothFrontEnds, PanelTest,
                         ::testing::Values(FrontEnd::Kind::Window, FrontEnd::Kind::Headless),
                         [](const auto &test) { return FrontEndName(test.param); });

}  // namespace
