// The serial endpoint over pseudo-terminals the test makes: what a
// declaration makes or refuses, open and its status, reads (a burst whole
// and in order), writes, the device going away, and opens that fail.
#include "ptypair.h"
#include "scriptedcore.h"
#include "testsupport.h"

#include "core/endpoints/kinddescriptor.h"
#include "core/endpoints/serialendpoint.h"
#include "core/script/scriptoutput.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <memory>

namespace {

// Echoes what it reads while `echo` is set; "quit" disconnects.
const QString Script = QStringLiteral(R"JS(
var echo = false;
function onSocket(n, e, a, b) {
  if (e != 'OnRead') return;
  if (a == '71756974') actions.push({TYPE: 'DISCONNECT', SOCKET: n});
  else if (echo) actions.push({TYPE: 'SEND', SOCKET: n, DATA: a});
}
function OnInit() { sockets = [%1]; }
)JS");

QString AfterLabel(const QString &line) { return line.mid(line.indexOf(QStringLiteral("收到数据：")) + 5); }

class SerialTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(pty.ok()); }

    // Builds a workspace from the declarations (%1: the pty's path, %2: a
    // path in a temporary folder); the lines the script output got.
    void declare(const QString &declarations)
    {
        QObject context;
        QObject::connect(&ScriptOutput::instance(), &ScriptOutput::lineWritten, &context,
                         [this](const QString &line, ScriptOutput::Kind) { output << line; });
        f = std::make_unique<ScriptedCore>(Script.arg(QString(declarations)
                                                          .replace(QLatin1String("%1"), pty.path())
                                                          .replace(QLatin1String("%2"), dir.path())));
    }
    SerialEndpoint *serial(const char *name)
    {
        return qobject_cast<SerialEndpoint *>(f->endpoint(QLatin1String(name)));
    }
    static StatusFields status(const Endpoint *e) { return kindDescriptor(e->kind()).status(*e); }
    static QString statusLine(const Endpoint *e, bool wasActive)
    {
        return kindDescriptor(e->kind()).statusLine(*e, wasActive);
    }

    PtyPair pty;
    QTemporaryDir dir;
    std::unique_ptr<ScriptedCore> f;
    QStringList output;
};

TEST_F(SerialTest, DeclarationsMakeTheirSettingsOrAreRefusedByKeyAndValue)
{
    const struct
    {
        const char *keys;  // after SOCKETTYPE, PORT and ID
        const char *made;  // the settings text, or "" for a refusal
        const char *refused;  // what the output line names
    } cases[] = {
        {"", "9600 8N1 无流控", ""},
        {R"(BAUD: 115200, DATABITS: 7, PARITY: "E", STOPBITS: 1.5, FLOW: "rtscts", HEX: 1)",
         "115200 7E1.5 RTS/CTS流控", ""},
        {R"(BAUD: "57600", DATABITS: "5", PARITY: "S", STOPBITS: 2.0, FLOW: "xonxoff")",
         "57600 5S2 XON/XOFF流控", ""},
        {"BAUD: 0", "", R"(BAUD "0" is not a positive integer)"},
        {"BAUD: -9600", "", R"(BAUD "-9600")"},
        {"BAUD: 9600.5", "", R"(BAUD "9600.5")"},
        {R"(BAUD: "fast")", "", R"(BAUD "fast")"},
        {"DATABITS: 9", "", R"(DATABITS "9" is not 5, 6, 7 or 8)"},
        {R"(PARITY: "X")", "", R"(PARITY "X" is not N, E, O, M or S)"},
        {"PARITY: 0", "", R"(PARITY "0")"},
        {"STOPBITS: 3", "", R"(STOPBITS "3" is not 1, 1.5 or 2)"},
        {R"(FLOW: "hw")", "", R"(FLOW "hw" is not none, rtscts or xonxoff)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.keys);
        output.clear();
        declare(QStringLiteral(R"({SOCKETTYPE: "Serial", PORT: "%1", ID: "m", )") + QString::fromUtf8(c.keys)
                               + u'}');
        SerialEndpoint *e = serial("m");
        if (*c.made) {
            ASSERT_NE(e, nullptr) << output.join(u'\n').toStdString();
            EXPECT_EQ(e->settingsText(), QString::fromUtf8(c.made));
            EXPECT_EQ(e->hexMode(), QByteArray(c.keys).contains("HEX: 1"));
            EXPECT_EQ(e->caption(), pty.path() + u'[' + QString::number(e->settings().baud) + u']');
        } else {
            EXPECT_EQ(f->registry().count(), 0);
            EXPECT_TRUE(
                output.join(u'\n').contains(QStringLiteral("sockets[0]: ") + QString::fromUtf8(c.refused)))
                << output.join(u'\n').toStdString();
        }
    }
    // Without a device there is nothing to open.
    output.clear();
    declare(QStringLiteral(R"({SOCKETTYPE: "Serial", PORT: " ", ID: "m"})"));
    EXPECT_EQ(f->registry().count(), 0);
    EXPECT_TRUE(output.join(u'\n').contains(QStringLiteral(R"(PORT "")")))
                << output.join(u'\n').toStdString();
}

TEST_F(SerialTest, OpensReadsWritesAndClosesLikeATcpClient)
{
    declare(QStringLiteral(R"({SOCKETTYPE: "Serial", PORT: "%1", BAUD: 115200, ID: "meter", HEX: 1})"));
    SerialEndpoint *e = serial("meter");
    ASSERT_NE(e, nullptr);
    EXPECT_FALSE(e->isActive());
    EXPECT_EQ(e->image(), StateImage::Disconnected);
    EXPECT_EQ(status(e).state, QStringLiteral("已关闭"));
    EXPECT_EQ(statusLine(e, false), QString());
    EXPECT_TRUE(f->calls().isEmpty());

    e->start();  // "打开"
    ASSERT_TRUE(e->isActive());
    EXPECT_EQ(e->image(), StateImage::Connected);
    EXPECT_EQ(f->calls(), QStringList {QStringLiteral("OnConnect|meter|%1|115200").arg(pty.path())});
    const StatusFields open = status(e);
    EXPECT_EQ(
        QStringList({open.state, open.first, open.second, open.third, open.startCaption, open.stopCaption}),
        QStringList(
            {QStringLiteral("已打开"),
                            QStringLiteral("设备:") + pty.path(),
                                           QStringLiteral("参数:115200 8N1 无流控"), QString(),
                                                          QStringLiteral("打开"), QStringLiteral("关闭")}));
    EXPECT_EQ(statusLine(e, true), QStringLiteral("已打开 %1，115200 8N1 无流控").arg(pty.path()));

    // The receive line, counter and OnRead of a TCP client.
    ASSERT_TRUE(pty.write("AB"));
    ASSERT_TRUE(WaitFor([&] { return e->receivedBytes() == 2; }));
    EXPECT_EQ(AfterLabel(f->lineList(e).value(0)), QStringLiteral("{41 42 }AB"));
    EXPECT_EQ(f->callsOf(QStringLiteral("OnRead")), QStringList {QStringLiteral("OnRead|meter|4142|0")});

    // SEND writes to the device.
    f->js(QStringLiteral("echo = true;"));
    ASSERT_TRUE(pty.write(QByteArray("\x00\xFFhi", 4)));
    EXPECT_EQ(pty.read(4), QByteArray("\x00\xFFhi", 4));
    f->js(QStringLiteral("echo = false;"));

    // A burst arrives whole and in order.
    QByteArray burst(64 * 1024, Qt::Uninitialized);
    for (int i = 0; i < burst.size(); ++i)
        burst[i] = char(i * 7 + i / 251);
    f->clearCalls();
    const qint64 before = e->receivedBytes();
    ASSERT_TRUE(pty.write(burst));
    ASSERT_TRUE(WaitFor([&] { return e->receivedBytes() == before + burst.size(); }, 20000));
    QByteArray got;
    for (const QString &call : f->callsOf(QStringLiteral("OnRead")))
        got += QByteArray::fromHex(call.section(u'|', 2, 2).toLatin1());
    EXPECT_EQ(QCryptographicHash::hash(got, QCryptographicHash::Sha256).toHex(),
              QCryptographicHash::hash(burst, QCryptographicHash::Sha256).toHex());

    // DISCONNECT from the script closes it, told once.
    f->clearCalls();
    ASSERT_TRUE(pty.write("quit"));
    ASSERT_TRUE(WaitFor([&] { return !e->isActive(); }));
    SpinFor(50);
    EXPECT_EQ(f->calls(),
              (QStringList {QStringLiteral("OnRead|meter|71756974|0"),
                                           QStringLiteral("OnDisConnect|meter|%1|115200").arg(pty.path())}));
    EXPECT_EQ(e->image(), StateImage::Disconnected);
    EXPECT_EQ(status(e).state, QStringLiteral("已关闭"));
    EXPECT_EQ(status(e).third, QString());
    EXPECT_EQ(statusLine(e, true), QStringLiteral("已关闭"));
    EXPECT_FALSE(e->send("x"));

    // It opens again.
    e->start();
    EXPECT_TRUE(e->isActive());
    EXPECT_EQ(f->callsOf(QStringLiteral("OnConnect")).size(), 1);
    EXPECT_TRUE(f->messages.texts.isEmpty()) << f->messages.texts.join(u'|').toStdString();
}

TEST_F(SerialTest, ADeviceThatGoesAwayIsClosedAndToldOnce)
{
    declare(QStringLiteral(R"({SOCKETTYPE: "Serial", PORT: "%1", ID: "meter"})"));
    SerialEndpoint *e = serial("meter");
    ASSERT_NE(e, nullptr);
    e->start();
    ASSERT_TRUE(e->isActive());
    QSignalSpy notices(e, &Endpoint::noticed);
    ASSERT_TRUE(pty.write("last"));
    ASSERT_TRUE(WaitFor([&] { return e->receivedBytes() == 4; }));

    pty.closeMaster();
    ASSERT_TRUE(WaitFor([&] { return !e->isActive(); }));
    SpinFor(200);
    EXPECT_EQ(f->callsOf(QStringLiteral("OnDisConnect")),
                         QStringList {QStringLiteral("OnDisConnect|meter|%1|9600").arg(pty.path())});
    EXPECT_FALSE(e->isOpen());
    EXPECT_EQ(e->image(), StateImage::Disconnected);
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices.at(0).at(1).toString().startsWith(QStringLiteral("串口%1已断开：").arg(pty.path())))
                << notices.at(0).at(1).toString().toStdString();
    EXPECT_TRUE(status(e).third.startsWith(QStringLiteral("设备已断开:"))) << status(e).third.toStdString();
    EXPECT_TRUE(f->messages.texts.isEmpty()) << f->messages.texts.join(u'|').toStdString();
}

TEST_F(SerialTest, AFailedOpenLeavesItClosedWithTheReasonAndNoEvent)
{
    {
        QFile plain(dir.filePath(QStringLiteral("plain")));
        ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    }
    declare(QStringLiteral(R"({SOCKETTYPE: "Serial", PORT: "%1", ID: "holder"},
                              {SOCKETTYPE: "Serial", PORT: "%1", ID: "busy"},
                              {SOCKETTYPE: "Serial", PORT: "%2/absent", ID: "absent"},
                              {SOCKETTYPE: "Serial", PORT: "%2/plain", ID: "plain"})"));
    serial("holder")->start();
    ASSERT_TRUE(serial("holder")->isActive());
    f->clearCalls();
    for (const char *name : {"busy", "absent", "plain"}) {
        SCOPED_TRACE(name);
        SerialEndpoint *e = serial(name);
        ASSERT_NE(e, nullptr);
        QSignalSpy notices(e, &Endpoint::noticed);
        e->start();
        EXPECT_FALSE(e->isActive());
        EXPECT_FALSE(e->isOpen());
        ASSERT_EQ(notices.size(), 1);
        const QString notice = notices.at(0).at(1).toString();
        EXPECT_TRUE(notice.startsWith(QStringLiteral("打开串口%1失败：").arg(e->device())))
                    << notice.toStdString();
        EXPECT_GT(notice.size(), notice.indexOf(u'：') + 1) << "no reason: " << notice.toStdString();
        EXPECT_TRUE(status(e).third.startsWith(QStringLiteral("打开失败:"))) << status(e).third.toStdString();
        EXPECT_EQ(status(e).state, QStringLiteral("已关闭"));
    }
    SpinFor(50);
    EXPECT_TRUE(f->calls().isEmpty()) << f->calls().join(u' ').toStdString();
    EXPECT_TRUE(f->messages.texts.isEmpty()) << f->messages.texts.join(u'|').toStdString();
}

}  // namespace
