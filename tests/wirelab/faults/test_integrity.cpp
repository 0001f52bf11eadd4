// Random bytes echoed by the script (OnRead -> SEND of the same data) through
// a TCP server endpoint and through a TCP client endpoint come back whole:
// same length, same SHA-256. 10 MB each; 100 MB with WIRELAB_SOAK=1.
#include "../endpoints/scriptedform.h"
#include "faultsupport.h"

#include "datawindow/tfrmdata.h"
#include "endpoints/kinds.h"
#include "endpoints/tcpclientendpoint.h"
#include "endpoints/tcpserverendpoint.h"
#include "endpoints/tmysocket.h"
#include "seamrecorder.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTcpSocket>
#include <gtest/gtest.h>

#include <iostream>
#include <random>

namespace {

QByteArray RandomBytes(qint64 size, unsigned seed)
{
    QByteArray data(size, Qt::Uninitialized);
    std::mt19937 gen(seed);
    auto *words = reinterpret_cast<quint32 *>(data.data());
    for (qint64 i = 0; i < size / 4; ++i)
        words[i] = gen();
    for (qint64 i = size / 4 * 4; i < size; ++i)
        data[i] = char(gen());
    return data;
}

struct Echoed
{
    qint64 bytes = 0;
    QByteArray sha256;
    bool complete = false;
};

// Writes data to peer a megabyte at a time as it drains and hashes what comes
// back, until as many bytes came back as went out (or the timeout).
Echoed RoundTrip(QTcpSocket &peer, const QByteArray &data, int timeoutMs)
{
    constexpr qint64 chunk = 1 << 20;
    qint64 written = 0;
    Echoed back;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    auto feed = [&] {
        while (written < data.size() && peer.bytesToWrite() < chunk) {
            const qint64 n = qMin(chunk, data.size() - written);
            peer.write(data.constData() + written, n);
            written += n;
        }
    };
    auto drain = [&] {
        const QByteArray got = peer.readAll();
        hash.addData(got);
        back.bytes += got.size();
    };
    // Connected to the peer itself so that they also run inside the nested
    // waits of the endpoint's send.
    QObject ctx;
    QObject::connect(&peer, &QTcpSocket::bytesWritten, &ctx, feed);
    QObject::connect(&peer, &QTcpSocket::readyRead, &ctx, drain);
    feed();
    QElapsedTimer clock;
    clock.start();
    back.complete = WaitFor([&] {
        drain();
        return back.bytes >= data.size();
    }, timeoutMs);
    back.sha256 = hash.result();
    std::cout << back.bytes << " bytes echoed in " << clock.elapsed() << " ms\n";
    return back;
}

class IntegrityTest : public ::testing::Test
{
protected:
    IntegrityTest() : f(EchoScript) {}

    const qint64 size = qint64(Scaled(10, 100)) * 1024 * 1024;
    const int timeoutMs = Scaled(120000, 1500000);
    MessageRecorder messages;
    ScriptedForm f;
};

TEST_F(IntegrityTest, RandomBytesEchoedThroughAServerEndpointArriveUnchanged)
{
    const QByteArray data = RandomBytes(size, 1);
    TMySocket *server = TcpServerEndpoint::Create(f.wb(), FreeTcpPort(), f.root(Kind::TcpServer));
    server->window->setName(QStringLiteral("srv"));
    server->window->setHexMode(false);
    auto *listener = qobject_cast<QTcpServer *>(server->component.data());
    ASSERT_NE(listener, nullptr);
    QTcpSocket peer;
    peer.connectToHost(QHostAddress(QHostAddress::LocalHost), listener->serverPort());
    ASSERT_TRUE(WaitFor([&] { return f.wb().EvalScript(QStringLiteral("counts.OnConnect")) == u'1'; }));

    const Echoed back = RoundTrip(peer, data, timeoutMs);
    EXPECT_TRUE(back.complete);
    EXPECT_EQ(back.bytes, data.size());
    EXPECT_EQ(back.sha256.toHex(), QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
    TMySocket *c = f.wb().registry().at(f.wb().registry().count() - 1);
    ASSERT_EQ(c->kind, Kind::TcpServerClient);
    EXPECT_EQ(c->window->RecvCount, data.size());
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(IntegrityTest, RandomBytesEchoedThroughAClientEndpointArriveUnchanged)
{
    const QByteArray data = RandomBytes(size, 2);
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost, 0));
    TMySocket *r = TcpClientEndpoint::Create(f.wb(), QStringLiteral("127.0.0.1"), listener.serverPort(),
                                             f.root(Kind::TcpClient));
    r->window->setName(QStringLiteral("cli"));
    r->window->setHexMode(false);
    r->window->Button_5->click();  // "连接"
    ASSERT_TRUE(WaitFor([&] { return listener.hasPendingConnections() && r->state == 1; }));
    std::unique_ptr<QTcpSocket> peer(listener.nextPendingConnection());

    const Echoed back = RoundTrip(*peer, data, timeoutMs);
    EXPECT_TRUE(back.complete);
    EXPECT_EQ(back.bytes, data.size());
    EXPECT_EQ(back.sha256.toHex(), QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
    EXPECT_EQ(r->window->RecvCount, data.size());
    EXPECT_TRUE(messages.texts.isEmpty());
}

} // namespace
