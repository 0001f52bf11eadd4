// The control channel end to end against both front ends: two clients of
// the control socket at once, every command and every kind of bad input,
// clients that go away, and a flood of commands while an echo keeps
// answering.
#include "faultsupport.h"
#include "frontends.h"

#include "core/control/commandreader.h"
#include "core/control/controlchannel.h"
#include "core/control/controlserver.h"
#include "core/endpoints/endpoint.h"
#include "core/endpoints/tcpclientendpoint.h"
#include "core/endpoints/tcpserverendpoint.h"

#include <QFile>
#include <QHostAddress>
#include <QLocalSocket>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A UDP client with a panel; every endpoint but the client "cli" echoes
// what it receives.
const QString Script = QStringLiteral(
    "function OnInit() {\n"
    "  sockets = [{SOCKETTYPE: 'UDP Client', REMOTEPORT: '9', LOCALPORT: '0', HOST: '127.0.0.1', HEX: '0',\n"
    "              ID: 'probe', UI: [[{TYPE: 'Button', ID: 'go', TEXT: 'Go'}, {TYPE: 'Edit', ID: 'msg', TEXT: 'hi'},\n"
    "                                 {TYPE: 'Label', TEXT: 'a note'}]]}];\n"
    "}\n"
    "function onSocket(name, ev, a, b) {\n"
    "  if (ev == 'OnRead' && name != 'cli') actions.push({TYPE: 'SEND', SOCKET: name, DATA: a});\n"
    "}\n");

// A client of the control socket.
class Client
{
public:
    explicit Client(const QString &path)
    {
        socket.connectToServer(path);
        socket.waitForConnected(5000);
    }
    void write(const QByteArray &bytes) { socket.write(bytes); }
    // The lines of the next n answers (rows and the closing line each).
    QStringList answers(int n, int ms = 10000)
    {
        QStringList lines;
        int done = 0;
        WaitFor(
            [&] {
                m_in += socket.readAll();
                qsizetype end;
                while (done < n && (end = m_in.indexOf('\n')) >= 0) {
                    const QString line = QString::fromUtf8(m_in.left(end));
                    m_in.remove(0, end + 1);
                    lines.append(line);
                    if (!line.startsWith(QLatin1String("| ")))
                        ++done;
                }
                return done == n;
            },
            ms);
        return lines;
    }
    QLocalSocket socket;

private:
    QByteArray m_in;
};

class ControlTest : public ::testing::TestWithParam<FrontEnd::Kind>
{
protected:
    ControlTest() : front(FrontEnd::start(GetParam(), Script)), f(*front)
    {
        server = TcpServerEndpoint::create(f.registry(), FreeTcpPort());
        server->setName(QStringLiteral("srv"));
        server->setHexMode(false);
        client = f.tcpClient(QStringLiteral("cli"), server->listener()->serverPort());
        client->start();
        WaitFor([&] { return client->isActive() && f.registry().connectionsOf(server).size() == 1; });
        control = f.control([this](int code) {
            quitCode = code;
            channel->close();
        });
        channel = std::make_unique<ControlChannel>(*control, ControlChannel::Form::Text);
        path = dir.filePath(QStringLiteral("ctl.sock"));
        QString why;
        listening = socketServer.listen(path, &why);
        socketServer.serve(*channel);
    }

    std::unique_ptr<FrontEnd> front;
    FrontEnd &f;
    TcpServerEndpoint *server = nullptr;
    QPointer<TcpClientEndpoint> client;
    std::unique_ptr<ProjectControl> control;
    std::unique_ptr<ControlChannel> channel;
    QTemporaryDir dir;
    QString path;
    ControlServer socketServer;
    bool listening = false;
    int quitCode = -1;
};

TEST_P(ControlTest, EveryCommandAndEveryBadInputOnTwoClientsAtOnce)
{
    ASSERT_TRUE(listening);
    Client a(path), b(path);
    ASSERT_EQ(a.socket.state(), QLocalSocket::ConnectedState);
    TcpClientEndpoint *spare = f.tcpClient(QStringLiteral("spare"), 9);

    // b's lines, all written at once; none of them changes anything.
    const struct
    {
        QByteArray line;
        const char *answer;
    } bad[] = {
        {"frobnicate cli", "error: unknown command \"frobnicate\""},
        {"send", "error: missing argument: send NAME TEXT"},
        {"send cli", "error: missing argument: send NAME TEXT"},
        {"send cli two words", "error: too many arguments"},
        {"send nobody x", "error: no endpoint named \"nobody\""},
        {"send cli \"open", "error: a double quote is not closed"},
        {"sendhex cli 4G", "error: bad hex \"4G\""},
        {"sendhex cli 486", "error: bad hex"},
        {"connect srv", "error: connect does not apply to srv (TCP Server)"},
        {"listen cli on", "error: listen does not apply to cli"},
        {"listen srv maybe", "error: listen takes on or off"},
        {"log cli many", "error: log takes a number"},
        {"quit 300", "error: quit takes an exit status from 0 to 255"},
        {QByteArray(CommandReader::MaxLine + 1, 'x'), "error: line over 1 MiB discarded"},
        {"delete nobody", "error: no endpoint named"},
        {"click probe", "error: missing argument: click NAME ID"},
        {"click probe nope", "error: probe has no button \"nope\""},
        {"set probe go x", "error: probe has no edit box \"go\""},
        {"panel nobody", "error: no endpoint named"},
    };
    for (const auto &c : bad)
        b.write(c.line + '\n');
    b.write("list\n");

    // a's commands, one after the other, each with its answer (a pattern
    // over its lines) and what it must have done.
    const auto called = [&](const char *event, const char *call) {
        return [=] { return f.callsOf(QLatin1String(event)).contains(QLatin1String(call)); };
    };
    const struct
    {
        QByteArray line;
        const char *answer;
        std::function<bool()> done;
    } good[] = {
        {"panel probe", "^\\| 0 button go Go\\n\\| 0 edit msg hi\\n\\| 0 label \"\" \"a note\"\\nok$",
         [] { return true; }},
        {"click probe go", "^ok$", called("click", "click|probe|go")},
        {"set probe msg \"new text\"", "^ok$",
         [&] {
             return called("edit", "edit|probe|msg|new text")()
                 && f.panelText(QStringLiteral("probe"), QStringLiteral("msg")) == QStringLiteral("new text");
         }},
        {"send cli \"a \\\"b\\\" \\\\c\"", "^ok$", [&] { return client->receivedBytes() == 8; }},
        {"sendhex cli \"48 69\"", "^ok$",
         [&] { return client->receivedBytes() == 10 && client->sentBytes() == 10; }},
        {"disconnect cli", "^ok$", [&] { return !client->isActive(); }},
        {"connect cli", "^ok$", [&] { return client->isActive(); }},
        {"listen srv off", "^ok$", [&] { return !server->isActive(); }},
        {"listen srv on", "^ok$", [&] { return server->isActive(); }},
        {"delete spare", "^ok$", [&] { return !f.endpoint(QStringLiteral("spare")); }},
    };
    // b's answers first: its list must not meet a's disconnects and
    // reconnects half-way (commands of two clients are taken in turn).
    const QStringList answers = b.answers(int(std::size(bad)) + 1);
    ASSERT_EQ(answers.size(), int(std::size(bad)) + 6) << answers.join(u'\n').toStdString();
    for (size_t i = 0; i < std::size(bad); ++i)
        EXPECT_TRUE(answers.at(int(i)).startsWith(QString::fromUtf8(bad[i].answer)))
            << answers.at(int(i)).toStdString();
    // The connection outlived the long line; list shows every endpoint.
    const QStringList rows = answers.mid(int(std::size(bad)));
    EXPECT_TRUE(rows.at(0).startsWith(QLatin1String("| srv \"TCP Server\" ")));
    EXPECT_TRUE(
        QRegularExpression(
            QStringLiteral("^\\| srv_\\S+ \"TCP ServerClient\" active \\S*:\\d+ 127.0.0.1:\\d+ \\d+ \\d+$"))
                .match(rows.at(1))
                .hasMatch())
        << rows.at(1).toStdString();
    EXPECT_TRUE(rows.at(2).startsWith(QLatin1String("| cli \"TCP Client\" active ")));
    EXPECT_TRUE(rows.at(3).startsWith(QLatin1String("| spare \"TCP Client\" inactive ")));
    EXPECT_TRUE(rows.at(4).startsWith(QLatin1String("| probe \"UDP Client\" active ")));
    EXPECT_EQ(rows.at(5), QStringLiteral("ok"));

    for (const auto &c : good) {
        SCOPED_TRACE(c.line.toStdString());
        a.write(c.line + '\n');
        const QString answer = a.answers(1).join(u'\n');
        EXPECT_TRUE(QRegularExpression(QString::fromUtf8(c.answer)).match(answer).hasMatch())
            << answer.toStdString();
        EXPECT_TRUE(WaitFor(c.done));
    }
    Q_UNUSED(spare);

    // A client that goes away mid-line has nothing carried out; one that
    // stops sending after whole lines (echo ... | socat) has them carried
    // out and still reads the answers.
    {
        Client cut(path);
        cut.write("send cli partial");
        cut.socket.flush();
        cut.socket.abort();
    }
    const int halfClosed = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
    ASSERT_EQ(::connect(halfClosed, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(::write(halfClosed, "send cli whole\n", 15), 15);
    ::shutdown(halfClosed, SHUT_WR);
    ::fcntl(halfClosed, F_SETFL, O_NONBLOCK);
    QByteArray answer;
    EXPECT_TRUE(WaitFor([&] {
        char buffer[64];
        const ssize_t n = ::read(halfClosed, buffer, sizeof buffer);
        if (n > 0)
            answer.append(buffer, n);
        return n == 0;  // the answer, then the end: the server closed it
    }));
    ::close(halfClosed);
    EXPECT_EQ(answer, QByteArray("ok\n"));
    EXPECT_EQ(client->sentBytes(), 15);
    SpinFor(100);
    EXPECT_EQ(client->sentBytes(), 15);

    a.write("quit 7\n");
    EXPECT_EQ(a.answers(1), QStringList {QStringLiteral("ok")});
    EXPECT_EQ(quitCode, 7);
    EXPECT_TRUE(f.messages().texts.isEmpty()) << f.messages().texts.join(u'|').toStdString();
}

TEST_P(ControlTest, AFloodOfCommandsDoesNotStarveAnEcho)
{
    ASSERT_TRUE(listening);
    const int commands = 100000;
    Client flood(path);
    QByteArray lines;
    for (int i = 0; i < commands; ++i)
        lines += "list\n";
    flood.write(lines);

    // The echo keeps answering while the commands are handled.
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, quint16(server->listener()->serverPort()));
    ASSERT_TRUE(peer.waitForConnected(5000));
    int answered = 0;
    int echoesDuringFlood = 0;
    bool waiting = false;
    QByteArray in;
    const bool allAnswered = WaitFor(
        [&] {
            in += flood.socket.readAll();
            for (qsizetype at; (at = in.indexOf("\nok\n")) >= 0; in.remove(0, at + 3))
                ++answered;
            if (waiting && peer.bytesAvailable() >= 4) {
                peer.read(4);
                waiting = false;
                if (answered < commands)
                    ++echoesDuringFlood;
            }
            if (!waiting && answered < commands) {
                peer.write("ping");
                waiting = true;
            }
            return answered == commands;
        },
        120000);
    EXPECT_TRUE(allAnswered) << answered;
    EXPECT_GE(echoesDuringFlood, 10) << "echoes answered while " << commands << " commands were handled";
}

INSTANTIATE_TEST_SUITE_P(BothFrontEnds, ControlTest,
                         ::testing::Values(FrontEnd::Kind::Window, FrontEnd::Kind::Headless),
                         [](const auto &test) { return FrontEndName(test.param); });

}  // namespace
