// The creation dialogs driven through the dialog seam: texts and
// defaults, the conversion error that keeps a dialog open, the port probe
// of the UDP dialogs, the host refill of the client dialogs and results.
#include "core/endpoints/registry.h"
#include "core/endpoints/tlsclientendpoint.h"
#include "core/net/adapterinfo.h"
#include "dialogdriver.h"
#include "gui/newclientdialog.h"
#include "gui/newgroupdialog.h"
#include "gui/newserialdialog.h"
#include "gui/newserverdialog.h"
#include "gui/newudpclientdialog.h"
#include "gui/newudpserverdialog.h"
#include "seamrecorder.h"
#include "testcertificates.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace {

// Shows the dialog as a modal run would, lets steps type and press buttons,
// and ends the run with whatever result the dialog reached.
int Drive(CreationDialog &dialog, const std::function<void()> &steps)
{
    DialogDriver driver([&](QDialog *d) {
        d->show();
        WaitFor([&] { return d->isActiveWindow(); }, 2000);
        steps();
        const int result = d->result();
        d->hide();
        return result;
    });
    return dialog.run();
}

QString LabelText(QWidget &w, const char *name)
{
    auto *label = w.findChild<QLabel *>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<missing>");
}

QString BoxText(QWidget &w, const char *name)
{
    auto *box = w.findChild<QLineEdit *>(QLatin1String(name));
    return box ? box->text() : QStringLiteral("<missing>");
}

// A control by object name; a missing one fails the test at once.
template<class T = QLineEdit>
T &Find(QWidget &w, const char *name)
{
    T *child = w.findChild<T *>(QLatin1String(name));
    if (!child)
        throw std::runtime_error(std::string("no control ") + name);
    return *child;
}

QPushButton &Button(QWidget &w, const char *name) { return Find<QPushButton>(w, name); }

// A UDP port held by another socket for the life of the object.
struct HeldUdpPort
{
    HeldUdpPort() { socket.bind(QHostAddress::AnyIPv4, 0); }
    int port() const { return socket.localPort(); }
    QUdpSocket socket;
};

TEST(CreationDialogs, CaptionsLabelsDefaultsAndButtons)
{
    NewServerDialog server;
    NewClientDialog client;
    NewUdpClientDialog udp;
    NewGroupDialog group;
    NewUdpServerDialog udpServer;

    EXPECT_EQ(server.windowTitle(), QStringLiteral("创建TCP Server"));
    EXPECT_EQ(LabelText(server, "Label1"), QStringLiteral("监听端口:  "));
    EXPECT_EQ(BoxText(server, "Edit1"), QStringLiteral("60000"));
    EXPECT_EQ(LabelText(server, "LabelBind"), QStringLiteral("绑定地址:"));
    EXPECT_EQ(BoxText(server, "EditBind"), QString());

    EXPECT_EQ(client.windowTitle(), QStringLiteral("创建TCP Client"));
    EXPECT_EQ(LabelText(client, "Label1"), QStringLiteral("对方IP:    "));
    EXPECT_EQ(BoxText(client, "Edit1"), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(LabelText(client, "Label2"), QStringLiteral("对方端口:  "));
    EXPECT_EQ(BoxText(client, "Edit2"), QStringLiteral("60000"));

    EXPECT_EQ(udp.windowTitle(), QStringLiteral("创建UDP Client"));
    EXPECT_EQ(LabelText(udp, "Label1"), QStringLiteral("对方IP   "));
    EXPECT_EQ(BoxText(udp, "Edit1"), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(LabelText(udp, "Label2"), QStringLiteral("对方端口  "));
    EXPECT_EQ(BoxText(udp, "Edit2"), QStringLiteral("60000"));
    EXPECT_EQ(LabelText(udp, "Label3"), QStringLiteral("本地端口    "));
    EXPECT_EQ(BoxText(udp, "Edit3"), QStringLiteral("10000"));
    EXPECT_EQ(Button(udp, "Button3").text(), QStringLiteral("广播地址"));

    EXPECT_EQ(group.windowTitle(), QStringLiteral("创建UDP组播"));
    EXPECT_EQ(LabelText(group, "Label1"), QStringLiteral("组播地址:  "));
    EXPECT_EQ(BoxText(group, "Edit1"), QStringLiteral("224.1.1.1"));
    EXPECT_EQ(LabelText(group, "Label2"), QStringLiteral("组播端口: "));
    EXPECT_EQ(BoxText(group, "Edit2"), QStringLiteral("65000"));

    EXPECT_EQ(udpServer.windowTitle(), QStringLiteral("创建UDP Server"));
    EXPECT_EQ(LabelText(udpServer, "Label1"), QStringLiteral("本地端口    "));
    EXPECT_EQ(BoxText(udpServer, "Edit1"), QStringLiteral("60000"));
    EXPECT_EQ(LabelText(udpServer, "LabelBind"), QStringLiteral("绑定地址:"));

    for (CreationDialog *d :
         std::initializer_list<CreationDialog *> {&server, &client, &udp, &group, &udpServer}) {
        EXPECT_EQ(d->findChild<QPushButton *>(QStringLiteral("Button1"))->text(), QStringLiteral("确定"));
        EXPECT_EQ(d->findChild<QPushButton *>(QStringLiteral("Button2"))->text(), QStringLiteral("取消"));
    }
}

TEST(CreationDialogs, ANonNumericOrOutOfRangePortIsReportedAndTheDialogStaysOpen)
{
    MessageRecorder messages;
    NewServerDialog server;
    const int result = Drive(server, [&] {
        Find(server, "Edit1").setText(QStringLiteral("6a"));
        Button(server, "Button1").click();
        EXPECT_EQ(messages.texts, QStringList {QStringLiteral("'6a' is not a valid integer value")});
        EXPECT_TRUE(server.isVisible());
        EXPECT_NE(server.result(), int(QDialog::Accepted));
        // A port out of range is refused as well, naming the field and the value.
        Find(server, "Edit1").setText(QStringLiteral("70000"));
        Button(server, "Button1").click();
        EXPECT_EQ(messages.texts.value(1), QStringLiteral("监听端口 70000 不是 0–65535 之间的端口号"));
        EXPECT_TRUE(server.isVisible());
        // So is a bind field that holds no address.
        Find(server, "Edit1").setText(QStringLiteral("65535"));
        Find(server, "EditBind").setText(QStringLiteral("::1x"));
        Button(server, "Button1").click();
        EXPECT_EQ(messages.texts.value(2), QStringLiteral("BIND ::1x 不是 IPv4 或 IPv6 地址"));
        EXPECT_TRUE(server.isVisible());
        Find(server, "EditBind").setText(QStringLiteral(" ::1 "));
        Button(server, "Button1").click();
    });
    EXPECT_EQ(result, int(QDialog::Accepted));
    EXPECT_EQ(server.port(), 65535);
    EXPECT_EQ(server.bind(), QStringLiteral("::1"));
    EXPECT_EQ(messages.texts.size(), 3);
}

TEST(CreationDialogs, CancelAndCloseBoxRejectAfterAnEarlierOk)
{
    NewGroupDialog group;
    EXPECT_EQ(Drive(group, [&] { Button(group, "Button1").click(); }), int(QDialog::Accepted));
    EXPECT_EQ(group.groupAddress(), QStringLiteral("224.1.1.1"));
    EXPECT_EQ(group.port(), 65000);
    EXPECT_EQ(Drive(group, [&] { Button(group, "Button2").click(); }), int(QDialog::Rejected));
    EXPECT_EQ(Drive(group, [&] { group.close(); }), int(QDialog::Rejected));
    // A run that ends without any button does not report the old OK.
    EXPECT_EQ(Drive(group, [] {}), int(QDialog::Rejected));
}

TEST(CreationDialogs, ValuesAreKeptExactlyAsTypedAndStayForTheNextUse)
{
    NewGroupDialog group;
    // Not a group address: only the creation reports that.
    ASSERT_EQ(Drive(group,
                    [&] {
                        Find(group, "Edit1").setText(QStringLiteral(" 10.1.1.1 "));
                        Find(group, "Edit2").setText(QStringLiteral(" 7000 "));
                        Button(group, "Button1").click();
                    }),
              int(QDialog::Accepted));
    EXPECT_EQ(group.groupAddress(), QStringLiteral(" 10.1.1.1 "));
    EXPECT_EQ(group.port(), 7000);
    EXPECT_EQ(Drive(group, [&] { Button(group, "Button1").click(); }), int(QDialog::Accepted));
    EXPECT_EQ(group.groupAddress(), QStringLiteral(" 10.1.1.1 "));

    // The interface is an IPv6 group's zone: taken only for an IPv6 address
    // that names none itself.
    const struct
    {
        const char *address;
        const char *interface;
        const char *result;
    } zones[] = {
        {"ff15::1 ", "lo", "ff15::1%lo"},
        {"ff02::1:3%v0", "lo", "ff02::1:3%v0"},
        {"224.1.1.1", "lo", "224.1.1.1"},
        {"ff15::1", " ", "ff15::1"},
    };
    for (const auto &z : zones) {
        SCOPED_TRACE(z.address);
        ASSERT_EQ(Drive(group,
                        [&] {
                            Find(group, "Edit1").setText(QLatin1String(z.address));
                            Find<QComboBox>(group, "ComboInterface").setEditText(QLatin1String(z.interface));
                            Button(group, "Button1").click();
                        }),
                  int(QDialog::Accepted));
        EXPECT_EQ(group.groupAddress(), QLatin1String(z.result));
    }
}

TEST(CreationDialogs, ClientDialogsRefillTheHostOnEveryShowing)
{
    const QString local = localAdapterAddress();
    NewClientDialog client;
    NewUdpClientDialog udp;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(Drive(client,
                        [&] {
                            EXPECT_EQ(Find(client, "Edit1").text(), local);
                            Find(client, "Edit1").setText(QStringLiteral("10.9.9.9 "));
                            Find(client, "Edit2").setText(QStringLiteral("7"));
                            Button(client, "Button1").click();
                        }),
                  int(QDialog::Accepted));
        EXPECT_EQ(client.host(), QStringLiteral("10.9.9.9 "));
        EXPECT_EQ(client.port(), 7);
        EXPECT_EQ(Drive(udp,
                        [&] {
                            EXPECT_EQ(Find(udp, "Edit1").text(), local);
                            Find(udp, "Edit1").setText(QStringLiteral("10.9.9.9"));
                            Button(udp, "Button2").click();
                        }),
                  int(QDialog::Rejected));
    }
}

TEST(CreationDialogs, UdpDialogsKeepTheDialogOpenWhileTheLocalPortIsBound)
{
    MessageRecorder messages;
    HeldUdpPort held;
    const QString busy = QStringLiteral("本地端口已被占用，请重新选择本地端口号");

    NewUdpClientDialog udp;
    const int udpResult = Drive(udp, [&] {
        Find(udp, "Edit1").setText(QStringLiteral("127.0.0.1"));
        Find(udp, "Edit2").setText(QStringLiteral("9"));
        Find(udp, "Edit3").setText(QString::number(held.port()));
        Button(udp, "Button1").click();
        EXPECT_EQ(messages.texts, QStringList {busy});
        EXPECT_TRUE(udp.isVisible());
        EXPECT_EQ(Find(udp, "Edit3").text(), QString::number(held.port()));
        Find(udp, "Edit3").setText(QStringLiteral("0"));
        Button(udp, "Button1").click();
    });
    EXPECT_EQ(udpResult, int(QDialog::Accepted));
    EXPECT_EQ(udp.host(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(udp.remotePort(), 9);
    EXPECT_EQ(udp.localPort(), 0);

    messages.texts.clear();
    NewUdpServerDialog server;
    const int serverResult = Drive(server, [&] {
        // The addresses a BIND may name are listed, IPv6 ones after IPv4.
        EXPECT_EQ(LabelText(server, "TextAddresses"), localAddresses(systemAdapters()).join(u'\n'));
        Find(server, "Edit1").setText(QString::number(held.port()));
        Button(server, "Button1").click();
        EXPECT_EQ(messages.texts, QStringList {busy});
        EXPECT_TRUE(server.isVisible());
        // An address this machine lacks is said as such, not as a port in use.
        Find(server, "Edit1").setText(QStringLiteral("0"));
        Find(server, "EditBind").setText(QStringLiteral("192.0.2.1"));
        Button(server, "Button1").click();
        EXPECT_EQ(messages.texts.value(1), QStringLiteral("BIND 192.0.2.1 不是本机的地址"));
        EXPECT_TRUE(server.isVisible());
        Find(server, "EditBind").clear();
        Button(server, "Button1").click();
    });
    EXPECT_EQ(serverResult, int(QDialog::Accepted));
    EXPECT_EQ(server.localPort(), 0);
}

TEST(CreationDialogs, BroadcastButtonPutsTheBroadcastAddressInTheHostBox)
{
    MessageRecorder messages;
    bool warn = false;
    const QString expected = broadcastAddress(systemAdapters(), &warn);
    NewUdpClientDialog udp;
    Drive(udp, [&] {
        Button(udp, "Button3").click();
        EXPECT_EQ(Find(udp, "Edit1").text(), expected);
        EXPECT_TRUE(udp.isVisible());
        Button(udp, "Button2").click();
    });
    EXPECT_EQ(messages.texts.size(), warn ? 1 : 0);
}

// The TLS choice of the TCP dialogs: OK reads the files and the endpoint
// made is a TLS one with the chosen switch; a missing file is refused by
// name and the dialog stays open.
TEST(CreationDialogs, TlsChoiceReadsTheFilesAtOkAndMakesATlsEndpoint)
{
    TestCertificates certs;
    if (!certs.ok())
        GTEST_SKIP() << "the openssl command could not make the test certificates";
    MessageRecorder messages;
    EndpointRegistry registry;
    const QString missing = certs.dir() + QStringLiteral("/missing.pem");
    struct Row
    {
        bool server;
        QString cert, key, ca;
        bool check;  // verify (client), require a client certificate (server)
        QString refused;
    };
    const Row rows[] = {
        {false, {}, {}, certs.pem("ca"), true, {}},
        {false, certs.pem("client"), certs.key("client"), {}, false, {}},
        {false, {}, {}, missing, true, QStringLiteral("CA \"%1\": 文件不存在").arg(missing)},
         {true, certs.pem("server"), certs.key("server"), certs.pem("ca"), true, {}},
         {true,
          missing,
          certs.key("server"),
          {},
          false,
          QStringLiteral("CERT \"%1\": 文件不存在").arg(missing)},
        };
    for (const Row &r : rows) {
        SCOPED_TRACE((r.cert + u' ' + r.ca).toStdString());
        messages.texts.clear();
        std::unique_ptr<CreationDialog> dialog;
        if (r.server)
            dialog = std::make_unique<NewServerDialog>();
        else
            dialog = std::make_unique<NewClientDialog>();
        const int result = Drive(*dialog, [&] {
            QWidget &d = *dialog;
            Find(d, "Edit1").setText(r.server ? QStringLiteral("0") : QStringLiteral("localhost"));
            if (r.server)
                Find(d, "EditBind").setText(QStringLiteral("127.0.0.1"));
            Find<QCheckBox>(d, "CheckTls").setChecked(true);
            Find(d, "EditCert").setText(r.cert);
            Find(d, "EditKey").setText(r.key);
            Find(d, "EditCa").setText(r.ca);
            Find<QCheckBox>(d, r.server ? "CheckRequireCert" : "CheckVerify").setChecked(r.check);
            Button(d, "Button1").click();
            EXPECT_EQ(messages.texts, r.refused.isEmpty() ? QStringList() : QStringList {r.refused});
            EXPECT_EQ(d.isVisible(), !r.refused.isEmpty());
        });
        ASSERT_EQ(result, r.refused.isEmpty() ? int(QDialog::Accepted) : int(QDialog::Rejected));
        if (!r.refused.isEmpty())
            continue;
        Endpoint *e = dialog->createEndpoint(registry);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->kind(), r.server ? EndpointKind::TlsServer : EndpointKind::TlsClient);
        if (!r.server) {
            EXPECT_EQ(static_cast<TlsClientEndpoint *>(e)->verifies(), r.check);
        }
        EXPECT_TRUE(messages.texts.isEmpty());  // a server listening on 127.0.0.1 as asked
    }
}

// The serial dialog refuses a missing port or a baud that is not a positive
// integer and stays open; otherwise the typed path and the chosen settings.
TEST(CreationDialogs, SerialDialogRefusesAMissingPortOrABadBaudAndReadsItsChoices)
{
    MessageRecorder messages;
    NewSerialDialog serial;
    EXPECT_EQ(serial.windowTitle(), QStringLiteral("新建串口连接"));
    struct Refused
    {
        const char *port;
        const char *baud;
        const char *message;
    };
    const Refused refused[] = {
        {" ", "9600", "请选择或输入串口"},
        {"/dev/pts/99", "0", "波特率 0 不是正整数"},
        {"/dev/pts/99", "96a", "'96a' is not a valid integer value"},
    };
    auto choose = [&](const char *box, int index) { Find<QComboBox>(serial, box).setCurrentIndex(index); };
    const int result = Drive(serial, [&] {
        for (const Refused &r : refused) {
            Find<QComboBox>(serial, "portCombo").setEditText(QString::fromUtf8(r.port));
            Find<QComboBox>(serial, "baudCombo").setEditText(QString::fromUtf8(r.baud));
            Button(serial, "Button1").click();
            EXPECT_EQ(messages.texts.value(0), QString::fromUtf8(r.message));
            EXPECT_TRUE(serial.isVisible());
            messages.texts.clear();
        }
        Find<QComboBox>(serial, "portCombo").setEditText(QStringLiteral(" /dev/pts/99 "));
        Find<QComboBox>(serial, "baudCombo").setEditText(QStringLiteral("250000"));
        choose("dataBitsCombo", 2);
        choose("parityCombo", 3);
        choose("stopBitsCombo", 1);
        choose("flowCombo", 2);
        Button(serial, "Button1").click();
    });
    EXPECT_EQ(result, int(QDialog::Accepted));
    EXPECT_EQ(serial.device(), QStringLiteral("/dev/pts/99"));
    const SerialLine::Settings &s = serial.settings();
    EXPECT_EQ(s.baud, 250000);
    EXPECT_EQ(s.dataBits, QSerialPort::Data7);
    EXPECT_EQ(s.parity, QSerialPort::MarkParity);
    EXPECT_EQ(s.stopBits, QSerialPort::OneAndHalfStop);
    EXPECT_EQ(s.flow, QSerialPort::SoftwareControl);
}

}  // namespace
