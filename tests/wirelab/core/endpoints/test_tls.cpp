// The TLS kinds against openssl's own client and server and against each
// other: what is trusted and what is refused (and said), client
// certificates, a large echo kept whole, and the declarations refused.
#include "scriptedcore.h"
#include "testcertificates.h"
#include "testsupport.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/tlsserverendpoint.h"
#include "core/log/endpointlog.h"
#include "core/script/scriptoutput.h"

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSslSocket>
#include <gtest/gtest.h>

#include <memory>

namespace {

class Tls : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { certs = new TestCertificates; }
    static void TearDownTestSuite() { delete certs; }
    void SetUp() override
    {
        if (!certs->ok())
            GTEST_SKIP() << "the openssl command could not make the test certificates";
    }

    // A project declaring the given sockets; every notice of its endpoints
    // is kept in notices, every line the script output writes in output.
    void Build(const QString &sockets, const QString &script = QString())
    {
        f = std::make_unique<ScriptedCore>(
            script + QStringLiteral("function OnInit() { sockets = [%1]; }\n").arg(sockets), false);
        QObject::connect(&f->registry(), &EndpointRegistry::added, &context, [this](Endpoint *e) {
            QObject::connect(e, &Endpoint::noticed, &context,
                             [this, e](qint64, const QString &text) { notices << e->name() + u' ' + text; });
        });
        QObject::connect(&ScriptOutput::instance(), &ScriptOutput::lineWritten, &context,
                         [this](const QString &line, ScriptOutput::Kind) { output << line; });
        f->host().buildWorkspace();
    }
    static QString Pem(const char *name) { return certs->pem(QLatin1String(name)); }
    static QString Key(const char *name) { return certs->key(QLatin1String(name)); }

    // openssl with these arguments, from the certificates' directory.
    QProcess &Openssl(const QStringList &arguments)
    {
        auto *p = new QProcess(&context);
        p->setWorkingDirectory(certs->dir());
        p->start(QStringLiteral("openssl"), arguments);
        p->waitForStarted();
        return *p;
    }
    // An `openssl s_server` echoing lines reversed, listening once it
    // returns.
    int OpensslServer(const char *cert)
    {
        const int port = FreeTcpPort();
        QProcess &p = Openssl(
            {QStringLiteral("s_server"),
                            QStringLiteral("-rev"),
                                           QStringLiteral("-accept"), QString::number(port),
                                                          QStringLiteral("-cert"), Pem(cert),
                                                                         QStringLiteral("-key"), Key(cert)});
        WaitFor(
            [&] { return p.readAllStandardOutput().contains("ACCEPT") || p.state() != QProcess::Running; });
        return port;
    }
    QString Notices() const { return notices.join(u'\n'); }
    // A TLS server on port that echoes every block, and its TLS client "c"
    // of host, started.
    Endpoint *EchoPair(const char *host, int port)
    {
        Build(QStringLiteral("{SOCKETTYPE: 'TLS Server', PORT: %1, CERT: '%2', KEY: '%3', ID: 'srv'},"
                             "{SOCKETTYPE: 'TLS Client', HOST: '%5', PORT: %1, CA: '%4', ID: 'c'}")
                .arg(port)
                .arg(Pem("server"), Key("server"), Pem("ca"), QLatin1String(host)),
            QStringLiteral("function onSocket(n, e, a) {\n"
                             "  if (e == 'OnRead' && n != 'c') actions.push({TYPE: 'SEND', SOCKET: n, DATA: a});\n"
                             "}\n"));
        Endpoint *c = f->endpoint(QStringLiteral("c"));
        if (c)
            c->start();
        return c;
    }

    static TestCertificates *certs;
    QObject context;
    std::unique_ptr<ScriptedCore> f;
    QStringList notices;
    QStringList output;
};

TestCertificates *Tls::certs = nullptr;

QByteArray ReceivedBytes(const Endpoint *e)
{
    QByteArray all;
    for (qsizetype i = 0; i < e->log().count(); ++i) {
        if (e->log().record(i).kind == LineKind::Received)
            all += e->log().bytes(i);
    }
    return all;
}

TEST_F(Tls, ClientTrustsOnlyAValidCertificateForItsHostAndSaysWhyNot)
{
    struct Row
    {
        const char *cert;
        const char *host;
        const char *keys;  // besides SOCKETTYPE, HOST, PORT, ID
        bool trusted;
        const char *notice;  // what a notice of the handshake says
    };
    // Relative paths are the project directory's, the working directory.
    const QString oldDir = QDir::currentPath();
    QDir::setCurrent(certs->dir());
    const Row rows[] = {
        {"server", "localhost", "CA: 'ca.pem'", true, "TLSv1.3, TLS_"},
        {"server", "127.0.0.1", "CA: '%1', HEX: 1", true, "对方证书 CN=localhost，有效期至"},
        {"expired", "localhost", "CA: '%1'", false, "证书 CN=localhost 已于 2020-01-02 00:00 UTC 过期"},
        {"othername", "localhost", "CA: '%1'", false,
         "证书不是颁发给名称 localhost 的（它适用于 other.example）"},
        {"untrusted", "localhost", "CA: '%1'", false,
         "证书 CN=localhost 不是由受信任的机构签发的（签发者 CN=unknown CA）"},
        {"server", "localhost", "VERIFY: 1", false, "不是由受信任的机构签发的（签发者 CN=wirelab test CA）"},
        {"expired", "localhost", "VERIFY: 0", true,
         "未验证证书（VERIFY: 0）：主体 CN=localhost，签发者 CN=wirelab test CA，有效期至 2020-01-02 00:00 "
         "UTC，SHA-256 "},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.cert) + " " + row.keys);
        notices.clear();
        const int port = OpensslServer(row.cert);
        Build(QStringLiteral("{SOCKETTYPE: 'TLS Client', HOST: '%1', PORT: %2, ID: 'c', %3}")
                                 .arg(QLatin1String(row.host))
                                 .arg(port)
                                 .arg(QString::fromLatin1(row.keys).arg(Pem("ca"))));
        Endpoint *c = f->endpoint(QStringLiteral("c"));
        ASSERT_NE(c, nullptr) << output.join(u'\n').toStdString();
        c->start();
        ASSERT_TRUE(WaitFor([&] { return Notices().contains(QString::fromUtf8(row.notice)); }))
            << Notices().toStdString();
        if (row.trusted) {
            ASSERT_TRUE(WaitFor([&] { return c->isActive(); }));
            EXPECT_EQ(f->callsOf(QStringLiteral("OnConnect")),
                                 QStringList {QStringLiteral("OnConnect|c|127.0.0.1|%1").arg(port)});
            // The unchecked certificate is described whole.
            if (QByteArray(row.keys) == "VERIFY: 0") {
                EXPECT_TRUE(Notices().contains(certs->fingerprint(QStringLiteral("expired"))));
            }
            c->send("abc\n");
            EXPECT_TRUE(WaitFor([&] { return ReceivedBytes(c) == "cba\n"; })) << ReceivedBytes(c).constData();
        } else {
            SpinFor(100);
            EXPECT_FALSE(c->isActive());
            EXPECT_EQ(f->calls().filter(QStringLiteral("Connect|")), QStringList());
            EXPECT_EQ(notices.filter(
                QStringLiteral("失败")),
                QStringList {notices.filter(QStringLiteral("TLS 握手失败（localhost）：")).value(0)});
        }
        f.reset();
    }
    QDir::setCurrent(oldDir);
}

TEST_F(Tls, ServerAsksForClientCertificatesOnlyWhenRequiredAndGoesOnListening)
{
    const int port = FreeTcpPort();
    Build(QStringLiteral("{SOCKETTYPE: 'TLS Server', PORT: %1, CERT: '%2', KEY: '%3', CA: '%4', "
                         "REQUIRECLIENTCERT: 1, ID: 'srv'}")
                             .arg(port)
                             .arg(Pem("server"), Key("server"), Pem("ca")));
    ASSERT_TRUE(f->endpoint(QStringLiteral("srv"))->isActive());
    struct Row
    {
        const char *client;  // its certificate, or none
        bool accepted;
    };
    for (const Row &row : {Row {nullptr, false}, Row {"client", true}}) {
        QStringList args {QStringLiteral("s_client"),
            QStringLiteral("-connect"),
                QStringLiteral("127.0.0.1:%1").arg(port),
                    QStringLiteral("-servername"),
                                   QStringLiteral("localhost"),
                                                  QStringLiteral("-CAfile"), Pem("ca"),
                                                                 QStringLiteral("-verify_return_error"),
                                                                                QStringLiteral("-quiet")};
        if (row.client)
            args << QStringLiteral("-cert") << Pem(row.client) << QStringLiteral("-key") << Key(row.client);
        QProcess &client = Openssl(args);
        client.write("ping\n");
        if (row.accepted) {
            ASSERT_TRUE(WaitFor([&] { return !f->callsOf(QStringLiteral("OnRead")).isEmpty(); }))
                << Notices().toStdString();
            EXPECT_EQ(f->callsOf(QStringLiteral("OnConnect")).size(), 1);
            EXPECT_TRUE(
                f->callsOf(QStringLiteral("OnRead")).first().endsWith(QStringLiteral("|70696E670A|0")));
            EXPECT_TRUE(Notices().contains(QStringLiteral("，对方证书 CN=wirelab client，有效期至")));
        } else {
            ASSERT_TRUE(WaitFor([&] {
                return Notices().contains(QStringLiteral("srv TLS 握手失败（127.0.0.1:"));
            })) << Notices().toStdString();
            EXPECT_TRUE(Notices().contains(QStringLiteral("对方没有提供证书"))) << Notices().toStdString();
            EXPECT_EQ(f->callsOf(QStringLiteral("OnConnect")), QStringList());
        }
        client.closeWriteChannel();
        client.kill();
        client.waitForFinished();
    }
    EXPECT_TRUE(f->endpoint(QStringLiteral("srv"))->isActive());
}

TEST_F(Tls, TenMegabytesEchoedBetweenTwoEndpointsArriveWhole)
{
    const int port = FreeTcpPort();
    Endpoint *c = EchoPair("localhost", port);
    ASSERT_NE(c, nullptr) << output.join(u'\n').toStdString();
    ASSERT_TRUE(WaitFor([&] { return c->isActive(); })) << Notices().toStdString();
    ASSERT_TRUE(WaitFor([&] { return f->callsOf(QStringLiteral("OnConnect")).size() == 2; }));
    QByteArray sent(10 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator(25).fillRange(reinterpret_cast<quint32 *>(sent.data()), sent.size() / 4);
    for (qsizetype at = 0; at < sent.size(); at += 256 * 1024)
        ASSERT_TRUE(c->send(sent.mid(at, 256 * 1024)));
    ASSERT_TRUE(WaitFor([&] { return c->receivedBytes() >= sent.size(); }, 60000)) << c->receivedBytes();
    EXPECT_EQ(QCryptographicHash::hash(ReceivedBytes(c), QCryptographicHash::Sha256),
              QCryptographicHash::hash(sent, QCryptographicHash::Sha256));
}

// Over IPv6: the server listens on both families, the client names ::1
// (which the certificate holds) and both sides see the peer as ::1.
TEST_F(Tls, ClientAndServerTalkOverIpv6)
{
    const int port = FreeTcpPort();
    Endpoint *c = EchoPair("::1", port);
    ASSERT_NE(c, nullptr) << output.join(u'\n').toStdString();
    ASSERT_TRUE(WaitFor([&] { return f->callsOf(QStringLiteral("OnConnect")).size() == 2; }))
        << Notices().toStdString();
    QStringList connects = f->callsOf(QStringLiteral("OnConnect"));
    connects.sort();
    ASSERT_EQ(connects.size(), 2);
    EXPECT_EQ(connects[0], QStringLiteral("OnConnect|c|::1|%1").arg(port));
    // The accepted connection's number is the one its name ends with.
    EXPECT_TRUE(QRegularExpression(
                    QStringLiteral("^OnConnect\\|srv_(\\d+)\\|::1\\|\\1$")).match(connects[1]).hasMatch())
                << connects[1].toStdString();
    c->send("over six\n");
    EXPECT_TRUE(WaitFor([&] { return ReceivedBytes(c) == "over six\n"; })) << ReceivedBytes(c).constData();
}

TEST_F(Tls, DeclarationsWithUnusableFilesAreRefusedNamingTheFile)
{
    const QString encrypted = certs->dir() + QStringLiteral("/encrypted.key");
    QProcess p;
    p.start(QStringLiteral("openssl"),
        {QStringLiteral("pkey"),
            QStringLiteral("-in"), Key("client"),
                           QStringLiteral("-aes256"),
                                          QStringLiteral("-passout"),
                                                         QStringLiteral("pass:secret"),
                                                                        QStringLiteral("-out"), encrypted});
    ASSERT_TRUE(p.waitForFinished() && p.exitCode() == 0);
    struct Row
    {
        QString keys;
        QString refusal;
    };
    const QString missing = certs->dir() + QStringLiteral("/missing.pem");
    const Row rows[] = {
        {QStringLiteral("CERT: '%1', KEY: '%2'").arg(missing, Key("client")),
                        QStringLiteral("CERT \"%1\": 文件不存在").arg(missing)},
         {QStringLiteral("CERT: '%1', KEY: '%2'").arg(Pem("client"), Key("server")),
                         QStringLiteral("KEY \"%1\": 私钥与证书 %2 不匹配").arg(Key("server"),
                                                                                Pem("client"))},
          {QStringLiteral("CERT: '%1', KEY: '%2'").arg(Pem("client"), encrypted),
                          QStringLiteral("KEY \"%1\": 私钥受口令保护，无法使用").arg(encrypted)},
           {QStringLiteral("CERT: '%1', KEY: '%1'").arg(Pem("client")),
                           QStringLiteral("KEY \"%1\": 文件中没有 PEM 格式的私钥").arg(Pem("client"))},
            {QStringLiteral("CA: '%1'").arg(Key("ca")),
                            QStringLiteral("CA \"%1\": 文件中没有 PEM 格式的证书").arg(Key("ca"))},
             {QStringLiteral("CA: '%1'").arg(certs->dir()),
                             QStringLiteral("CA \"%1\": 文件无法读取").arg(certs->dir())},
              {QStringLiteral("CERT: '%1'").arg(Pem("client")),
                              QStringLiteral("CERT 需要与之配对的私钥 KEY")},
               {QStringLiteral("VERIFY: 2"), QStringLiteral("VERIFY \"2\" 不是 0 或 1")},
              };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.keys.toStdString());
        output.clear();
        Build(QStringLiteral("{SOCKETTYPE: 'TLS Client', HOST: 'localhost', PORT: 1, ID: 'c', %1}").arg(
            row.keys));
        EXPECT_EQ(f->registry().count(), 0);
        EXPECT_TRUE(output.join(u'\n').contains(row.refusal)) << output.join(u'\n').toStdString();
        f.reset();
    }
    // A server cannot do without its certificate.
    output.clear();
    Build(QStringLiteral("{SOCKETTYPE: 'TLS Server', PORT: 0, ID: 's'}"));
    EXPECT_EQ(f->registry().count(), 0);
    EXPECT_TRUE(output.join(u'\n').contains(QStringLiteral("缺少 CERT")));
}

}  // namespace
