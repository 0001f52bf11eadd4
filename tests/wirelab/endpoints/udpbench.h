#pragma once
// A shown main window with a recording script, for the UDP endpoint tests:
// every OnSocketEvent call is kept as "name|event|a|b" in the script's
// `events` array; setting `failNext` makes the next call throw "boom".

#include "endpoints/mainwindow.h"
#include "endpoints/workbench.h"
#include "seamrecorder.h"
#include "testsupport.h"

#include <QByteArray>
#include <QFile>
#include <QHostAddress>
#include <QList>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QStringList>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// Readable failure output for texts.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

inline int FreeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress);
    return probe.localPort();
}

// Bytes that depend on their position, so a cut or merged datagram never
// compares equal.
inline QByteArray Pattern(int size)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 7 + i / 251) & 0xFF);
    return b;
}

// A test socket that collects every datagram it receives.
struct Peer
{
    QUdpSocket socket;
    QList<QNetworkDatagram> received;

    explicit Peer(const QHostAddress &bindTo = QHostAddress(QHostAddress::LocalHost), int port = 0,
                  QAbstractSocket::BindMode mode = QAbstractSocket::DefaultForPlatform)
    {
        EXPECT_TRUE(socket.bind(bindTo, quint16(port), mode));
        QObject::connect(&socket, &QUdpSocket::readyRead, &socket, [this] {
            while (socket.hasPendingDatagrams())
                received.append(socket.receiveDatagram());
        });
    }
    int port() const { return socket.localPort(); }
    void sendTo(const QString &host, int port, const QByteArray &data)
    {
        EXPECT_EQ(socket.writeDatagram(data, QHostAddress(host), quint16(port)), data.size());
    }
    bool waitCount(int n) { return WaitFor([&] { return received.size() >= n; }); }
};

class UdpBench : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        const QString script = dir.filePath(QStringLiteral("bench.js"));
        QFile js(script);
        ASSERT_TRUE(js.open(QIODevice::WriteOnly));
        js.write("var sockets = []; var actions = []; var events = []; var failNext = false;\n"
                 "var replyOnRead = false;\n"
                 "function OnInit() {}\n"
                 "function json2str(v) { return JSON.stringify(v); }\n"
                 "function DeleteSocket(name) {}\n"
                 "function OnTimerEvent() {}\n"
                 "function OnSocketEvent(name, ev, a, b) {\n"
                 "  events.push([name, ev, a, b].join('|'));\n"
                 "  if (failNext) { failNext = false; throw new Error('boom'); }\n"
                 "  if (replyOnRead && ev == 'OnRead') actions.push({TYPE: 'SEND', SOCKET: name, DATA: '6F6B'});\n"
                 "}\n");
        js.close();
        const QString project = dir.filePath(QStringLiteral("project.txt"));
        QFile list(project);
        ASSERT_TRUE(list.open(QIODevice::WriteOnly));
        list.write(script.toLocal8Bit() + "\n");
        list.close();

        form = std::make_unique<TForm1>(project);
        QSignalSpy built(form.get(), &TForm1::firstActivationDone);
        form->show();
        form->activateWindow();
        ASSERT_TRUE(WaitFor([&] { return built.count() > 0; }));
    }

    void TearDown() override { form.reset(); }

    Workbench &wb() { return form->workbench(); }
    QStringList events() { return wb().EvalScript(QStringLiteral("events.join('\\n')")).split(u'\n', Qt::SkipEmptyParts); }
    void clearEvents() { wb().EvalScript(QStringLiteral("events = [];")); }
    void failNextEvent() { wb().EvalScript(QStringLiteral("failNext = true;")); }

    QTemporaryDir dir;
    MessageRecorder messages;
    std::unique_ptr<TForm1> form;
};
