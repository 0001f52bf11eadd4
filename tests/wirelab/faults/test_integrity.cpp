// Random bytes echoed by the script (OnRead -> SEND of the same data) through
// a TCP server endpoint, a TCP client endpoint and a TLS server endpoint come
// back whole:
// same length, same SHA-256. 10 MB each; 100 MB with WIRELAB_SOAK=1. Both
// front ends: the main window and a headless run.
#include "faultsupport.h"
#include "frontends.h"
#include "scriptedcore.h"
#include "testcertificates.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/tcpclientendpoint.h"
#include "core/endpoints/tcpserverendpoint.h"
#include "core/endpoints/tlsserverendpoint.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QSslSocket>
#include <QTcpServer>
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
    back.complete = WaitFor(
        [&] {
            drain();
            return back.bytes >= data.size();
        },
        timeoutMs);
    back.sha256 = hash.result();
    std::cout << back.bytes << " bytes echoed in " << clock.elapsed() << " ms\n";
    return back;
}

class IntegrityTest : public ::testing::TestWithParam<FrontEnd::Kind>
{
protected:
    IntegrityTest() : front(FrontEnd::start(GetParam(), EchoScript)), f(*front) {}

    const qint64 size = qint64(Scaled(10, 100)) * 1024 * 1024;
    const int timeoutMs = Scaled(120000, 1500000);
    std::unique_ptr<FrontEnd> front;
    FrontEnd &f;
};

TEST_P(IntegrityTest, RandomBytesEchoedThroughAServerEndpointArriveUnchanged)
{
    const QByteArray data = RandomBytes(size, 1);
    TcpServerEndpoint *server = TcpServerEndpoint::create(f.registry(), FreeTcpPort());
    server->setName(QStringLiteral("srv"));
    server->setHexMode(false);
    ASSERT_NE(server->listener(), nullptr);
    QTcpSocket peer;
    peer.connectToHost(QHostAddress(QHostAddress::LocalHost), server->listener()->serverPort());
    ASSERT_TRUE(WaitFor([&] { return f.js(QStringLiteral("counts.OnConnect")) == u'1'; }));

    const Echoed back = RoundTrip(peer, data, timeoutMs);
    EXPECT_TRUE(back.complete);
    EXPECT_EQ(back.bytes, data.size());
    EXPECT_EQ(back.sha256.toHex(), QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
    const QList<Endpoint *> connections = f.registry().connectionsOf(server);
    ASSERT_EQ(connections.size(), 1);
    EXPECT_EQ(connections[0]->receivedBytes(), data.size());
    EXPECT_TRUE(f.messages().texts.isEmpty());
}

TEST_P(IntegrityTest, RandomBytesEchoedThroughAClientEndpointArriveUnchanged)
{
    const QByteArray data = RandomBytes(size, 2);
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost, 0));
    TcpClientEndpoint *r =
        TcpClientEndpoint::create(f.registry(), QStringLiteral("127.0.0.1"), listener.serverPort());
    r->setName(QStringLiteral("cli"));
    r->setHexMode(false);
    r->start();  // "连接"
    ASSERT_TRUE(WaitFor([&] { return listener.hasPendingConnections() && r->isActive(); }));
    std::unique_ptr<QTcpSocket> peer(listener.nextPendingConnection());

    const Echoed back = RoundTrip(*peer, data, timeoutMs);
    EXPECT_TRUE(back.complete);
    EXPECT_EQ(back.bytes, data.size());
    EXPECT_EQ(back.sha256.toHex(), QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
    EXPECT_EQ(r->receivedBytes(), data.size());
    EXPECT_TRUE(f.messages().texts.isEmpty());
}

TEST_P(IntegrityTest, RandomBytesEchoedThroughATlsServerEndpointArriveUnchanged)
{
    const TestCertificates certs;
    ASSERT_TRUE(certs.ok());
    const QByteArray data = RandomBytes(size, 3);
    const TlsCredentials credentials = TlsCredentials::read(
        {certs.pem(QStringLiteral("server")), certs.key(QStringLiteral("server")), QString()}, true);
    TlsServerEndpoint *server = TlsServerEndpoint::create(f.registry(), FreeTcpPort(), credentials, false);
    server->setName(QStringLiteral("srv"));
    server->setHexMode(false);
    ASSERT_NE(server->listener(), nullptr);
    QSslSocket peer;
    QSslConfiguration trust = peer.sslConfiguration();
    trust.setCaCertificates(QSslCertificate::fromPath(certs.pem(QStringLiteral("ca"))));
    peer.setSslConfiguration(trust);
    peer.connectToHostEncrypted(QStringLiteral("localhost"), server->listener()->serverPort());
    ASSERT_TRUE(
        WaitFor([&] { return peer.isEncrypted() && f.js(QStringLiteral("counts.OnConnect")) == u'1'; }));

    const Echoed back = RoundTrip(peer, data, timeoutMs);
    EXPECT_TRUE(back.complete);
    EXPECT_EQ(back.sha256.toHex(), QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
    EXPECT_TRUE(f.messages().texts.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(BothFrontEnds, IntegrityTest,
                         ::testing::Values(FrontEnd::Kind::Window, FrontEnd::Kind::Headless),
                         [](const auto &test) { return FrontEndName(test.param); });

}  // namespace
