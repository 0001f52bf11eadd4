// The send path of a data window over a connected TCP client: the block
// taken from the pane, the log line, repetitions, counters, timed send, the
// failures, and big blocks that must arrive whole at a slow reader.
#include "core/endpoints/tcpclientendpoint.h"
#include "core/net/tcpsend.h"
#include "gui/datawindow.h"
#include "gui/logview.h"
#include "scriptedwindow.h"
#include "testsupport.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QString AfterLabel(const QString &line)
{
    const int at = line.indexOf(QStringLiteral(" 发送数据："));
    return at < 0 ? QString() : line.mid(at + 6);
}

// The data window of a TCP client "c" and its controls.
struct Window
{
    explicit Window(int port) : r(f.tcpClient(QStringLiteral("c"), port)), w(f.dataWindow(r))
    {
        if (w)
            w->ensureUi();
    }
    template<class T>
    T *control(const char *name)
    {
        return f.control<T>(r, name);
    }
    QPlainTextEdit *memo3() { return control<QPlainTextEdit>("Memo3"); }
    LogView *memo2() { return f.pane(r); }
    QLineEdit *editTime() { return control<QLineEdit>("Edit_time"); }
    void click(const char *button) { control<QPushButton>(button)->click(); }
    QTimer *sendTimer() { return w->findChild<QTimer *>(QStringLiteral("Timer1")); }
    void type(const QString &text, const QString &count, bool hex)
    {
        r->setHexMode(hex);
        memo3()->setPlainText(text);
        control<QComboBox>("ComboBox2")->setCurrentText(count);
    }

    ScriptedWindow f;
    TcpClientEndpoint *r;
    DataWindow *w;
};

// A local listener; a base of Connected so that it exists before the window.
struct Listener
{
    int listen()
    {
        server.listen(QHostAddress::LocalHost, 0);
        return server.serverPort();
    }
    QTcpServer server;
};

// The window's client connected to a local listener; peer is the accepted side.
struct Connected : Listener, Window
{
    Connected() : Window(listen())
    {
        r->start();
        if (server.waitForNewConnection(5000))
            peer = server.nextPendingConnection();
        WaitFor([&] { return r->isActive(); });
    }
    QTcpSocket *socket() { return r->socket(); }

    QTcpSocket *peer = nullptr;
};

TEST(SendPath, ManualSendLogsClearsSendsAndCounts)
{
    Connected c;
    ASSERT_NE(c.peer, nullptr);
    c.type(QStringLiteral("313233"), QStringLiteral("1"), true);
    c.click("Button_11");
    EXPECT_EQ(AfterLabel(c.memo2()->lastLine()), QStringLiteral("{31 32 33 }123[1次]"));
    EXPECT_TRUE(c.memo3()->toPlainText().isEmpty());
    EXPECT_EQ(ReadExactly(c.peer, 3), QByteArray("123"));
    EXPECT_EQ(c.r->sentBytes(), 3);
    // The counter text shows the totals as they stood before this send.
    EXPECT_EQ(c.w->counterText(), QStringLiteral("收：0字节，发:0字节"));

    // Text mode: line breaks go out as CR LF; the count text is logged as typed.
    c.type(QStringLiteral("ab\nc"), QStringLiteral(" 2"), false);
    c.editTime()->setText(QStringLiteral("0"));
    c.click("Button_11");
    EXPECT_EQ(AfterLabel(c.memo2()->lastLine()), QStringLiteral("ab␍␊c[ 2次]"));
    EXPECT_EQ(ReadExactly(c.peer, 10), QByteArray("ab\r\ncab\r\nc"));
    EXPECT_EQ(c.r->sentBytes(), 13);
    EXPECT_EQ(c.w->counterText(), QStringLiteral("收：0字节，发:3字节"));
}

TEST(SendPath, NothingToSendAndZeroCount)
{
    Connected c;
    ASSERT_NE(c.peer, nullptr);
    const int lines = c.memo2()->text().count(u'\n');
    c.type(QStringLiteral("7"), QStringLiteral("1"), true);
    c.click("Button_11");
    EXPECT_EQ(c.memo3()->toPlainText(), QStringLiteral("7"));
    EXPECT_EQ(c.memo2()->text().count(u'\n'), lines);

    c.type(QStringLiteral("abc"), QStringLiteral("0"), false);
    c.click("Button_11");
    EXPECT_EQ(AfterLabel(c.memo2()->lastLine()), QStringLiteral("abc[0次]"));
    EXPECT_TRUE(c.memo3()->toPlainText().isEmpty());
    SpinFor(50);
    EXPECT_EQ(c.peer->bytesAvailable(), 0);
    EXPECT_EQ(c.r->sentBytes(), 0);
}

TEST(SendPath, BadCountOrIntervalIsReportedWhereItIsFound)
{
    Connected c;
    ASSERT_NE(c.peer, nullptr);
    MessageRecorder boxes;
    c.type(QStringLiteral("abc"), QStringLiteral("x"), false);
    c.click("Button_11");
    EXPECT_EQ(boxes.texts, QStringList {QStringLiteral("'x' is not a valid integer value")});
    EXPECT_EQ(AfterLabel(c.memo2()->lastLine()), QStringLiteral("abc[x次]"));
    EXPECT_TRUE(c.memo3()->toPlainText().isEmpty());

    // A bad interval is found after the first repetition went out.
    c.type(QStringLiteral("abc"), QStringLiteral("5"), false);
    c.editTime()->setText(QStringLiteral("1.5"));
    c.click("Button_11");
    EXPECT_EQ(boxes.texts.last(), QStringLiteral("'1.5' is not a valid integer value"));
    EXPECT_EQ(ReadExactly(c.peer, 3), QByteArray("abc"));
    SpinFor(50);
    EXPECT_EQ(c.peer->bytesAvailable(), 0);
    EXPECT_EQ(c.r->sentBytes(), 3);

    // Timed send with a bad interval leaves the timer as it was.
    c.click("suiButton1");
    EXPECT_EQ(boxes.texts.last(), QStringLiteral("'1.5' is not a valid integer value"));
    EXPECT_FALSE(c.sendTimer()->isActive());
}

TEST(SendPath, RepetitionsAreSpacedWithoutFreezingTheProgram)
{
    Connected c;
    ASSERT_NE(c.peer, nullptr);
    c.type(QStringLiteral("abc"), QStringLiteral("3"), false);
    c.editTime()->setText(QStringLiteral("60"));
    bool ticked = false;
    QTimer::singleShot(20, [&] { ticked = true; });
    bool tickedDuringSend = false;
    QObject::connect(c.peer, &QTcpSocket::readyRead, [&] { tickedDuringSend = ticked; });
    QElapsedTimer clock;
    clock.start();
    c.click("Button_11");
    EXPECT_GE(clock.elapsed(), 170);
    EXPECT_TRUE(ticked);
    EXPECT_TRUE(tickedDuringSend);  // the peer was served while the send went on
    EXPECT_EQ(ReadExactly(c.peer, 9), QByteArray("abcabcabc"));
    EXPECT_EQ(c.r->sentBytes(), 9);
}

TEST(SendPath, InactiveEndpointLogsEveryRepetitionAndStillCounts)
{
    Window w(9);
    w.type(QStringLiteral("ab"), QStringLiteral("2"), false);
    w.editTime()->setText(QStringLiteral("0"));
    w.click("Button_11");
    const QStringList lines = w.memo2()->text().split(u'\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(AfterLabel(lines.at(lines.size() - 3)), QStringLiteral("ab[2次]"));
    EXPECT_EQ(lines.at(lines.size() - 2), QStringLiteral("发送失败，连接已断开"));
    EXPECT_EQ(lines.last(), QStringLiteral("发送失败，连接已断开"));
    EXPECT_EQ(w.r->sentBytes(), 4);
}

TEST(SendPath, TimedSendRepeatsThePaneUntilStopped)
{
    Connected c;
    ASSERT_NE(c.peer, nullptr);
    c.type(QStringLiteral("abc"), QStringLiteral("2"), false);
    c.editTime()->setText(QStringLiteral("0"));
    c.click("suiButton1");  // no ticks at all
    SpinFor(60);
    EXPECT_EQ(c.peer->bytesAvailable(), 0);

    c.editTime()->setText(QStringLiteral("30"));
    c.click("suiButton1");
    const QByteArray got = ReadExactly(c.peer, 12, 5000);
    EXPECT_EQ(got.left(12), QByteArray("abcabcabcabc"));
    c.click("suiButton2");
    EXPECT_FALSE(c.sendTimer()->isActive());
    EXPECT_EQ(c.memo3()->toPlainText(), QStringLiteral("abc"));
    EXPECT_EQ(AfterLabel(c.memo2()->lastLine()), QStringLiteral("abc[2次]"));
    SpinFor(50);
    c.peer->readAll();
    const qint64 sent = c.r->sentBytes();
    EXPECT_EQ(sent % 6, 0);
    SpinFor(100);
    EXPECT_EQ(c.peer->bytesAvailable(), 0);
    EXPECT_EQ(c.r->sentBytes(), sent);
}

// A reader that takes at most `chunk` bytes every few milliseconds.
struct SlowReader
{
    QTcpSocket *peer;
    QByteArray got;
    QTimer timer;
    explicit SlowReader(QTcpSocket *p, qint64 chunk) : peer(p)
    {
        peer->setReadBufferSize(chunk);
        QObject::connect(&timer, &QTimer::timeout, [this, chunk] { got += peer->read(chunk); });
        timer.start(2);
    }
};

TEST(SendPath, ABigBlockArrivesWholeAtASlowReaderWithBoundedQueue)
{
    Connected c;
    ASSERT_NE(c.peer, nullptr);
    // 10 MB, each byte a function of its position, as one SEND action.
    c.f.js(QStringLiteral(
        "var h = []; for (var i = 0; i < 256; i++) h.push((i < 16 ? '0' : '') + i.toString(16));\n"
        "var unit = h.join('') + h.reverse().join('');\n"
        "actions.push({TYPE: 'SEND', SOCKET: 'c', DATA: unit.repeat(10 * 1024 * 1024 / 512)});"));
    QByteArray expected;
    for (int i = 0; i < 256; ++i)
        expected += char(i);
    for (int i = 255; i >= 0; --i)
        expected += char(i);
    expected = expected.repeated(10 * 1024 * 1024 / 512);

    SlowReader reader(c.peer, 256 * 1024);
    c.f.host().runActions();
    QTcpSocket *socket = c.socket();
    // Back from the send with at most the limit still queued, the rest out.
    EXPECT_LE(socket->bytesToWrite(), TcpSend::PendingLimit);
    EXPECT_GT(reader.got.size(), 0);
    EXPECT_TRUE(WaitFor([&] { return reader.got.size() >= expected.size(); }, 20000));
    EXPECT_TRUE(reader.got == expected) << reader.got.size();
}

// Small blocks go to the kernel directly only while nothing is queued: sent
// behind a block that is still partly queued, they keep their place.
TEST(SendPath, BlocksSentBehindAQueuedOneKeepTheirOrder)
{
    Connected c;
    ASSERT_NE(c.peer, nullptr);
    QTcpSocket *socket = c.socket();
    QByteArray expected;
    auto send = [&](const QByteArray &block) {
        expected += block;
        // A high limit: back at once, with whatever the kernel did not take queued.
        ASSERT_TRUE(TcpSend::Send(socket, block, qint64(1) << 30));
    };
    send(QByteArray(8 * 1024 * 1024, 'a'));
    EXPECT_GT(socket->bytesToWrite(), 0);
    for (int i = 0; i < 200; ++i)
        send(QByteArray::number(i) + ';');
    SlowReader reader(c.peer, 1024 * 1024);
    EXPECT_TRUE(WaitFor([&] { return reader.got.size() >= expected.size(); }, 20000));
    EXPECT_TRUE(reader.got == expected) << reader.got.size();

    // Queue empty again: the next ones go straight out, still in order.
    reader.got.clear();
    expected.clear();
    for (int i = 0; i < 200; ++i)
        send(QByteArray::number(i) + ',');
    EXPECT_EQ(socket->bytesToWrite(), 0);
    EXPECT_TRUE(WaitFor([&] { return reader.got.size() >= expected.size(); }));
    EXPECT_EQ(reader.got, expected);
}

// (The data window's send goes through the endpoint's.)
TEST(SendPath, ALostConnectionEndsTheWaitOfABlockedSend)
{
    Connected c;
    ASSERT_NE(c.peer, nullptr);
    c.peer->setReadBufferSize(1);  // never reads
    bool timedOut = false;
    QTcpSocket *socket = c.socket();
    QTimer::singleShot(300, c.peer, [&] { c.peer->abort(); });
    QTimer::singleShot(10000, socket, [&] {
        timedOut = true;
        socket->abort();
    });
    QElapsedTimer clock;
    clock.start();
    c.r->send(QByteArray(64 * 1024 * 1024, 'x'));
    EXPECT_FALSE(timedOut);
    EXPECT_LT(clock.elapsed(), 5000);
}

}  // namespace
