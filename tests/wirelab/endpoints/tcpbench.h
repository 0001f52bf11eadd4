#pragma once
// A main window over a script that records every socket event as
// "name|event|a|b" in the global `calls` and hands each event to an optional
// `onEvent(name, event, a, b)` that tests define. Plus a TCP peer on
// 127.0.0.1 for the client endpoints to talk to.

#include "datawindow/logpane.h"
#include "datawindow/tfrmdata.h"
#include "endpoints/kinds.h"
#include "endpoints/mainwindow.h"
#include "endpoints/tcpclientendpoint.h"
#include "endpoints/tmysocket.h"
#include "endpoints/workbench.h"
#include "testsupport.h"

#include <QFile>
#include <QHostAddress>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <memory>

class TcpBench
{
public:
    TcpBench()
    {
        const QString script = m_dir.filePath(QStringLiteral("bench.js"));
        write(script, QStringLiteral(
            "var calls = [];\n"
            "var actions = [];\n"
            "var sockets = [];\n"
            "var onEvent = null;\n"
            "function OnInit() {}\n"
            "function OnSocketEvent(name, ev, a, b) {\n"
            "  calls.push(name + '|' + ev + '|' + a + '|' + b);\n"
            "  if (onEvent) onEvent(name, ev, a, b);\n"
            "}\n"
            "function OnTimerEvent(name, t) {}\n"
            "function OnButtonClick(name, id) {}\n"
            "function OnEditChange(name, id, text) {}\n"
            "function DeleteSocket(name) { calls.push(name + '|DeleteSocket'); }\n"
            "function json2str(v) { return JSON.stringify(v); }\n"));
        const QString project = m_dir.filePath(QStringLiteral("project.txt"));
        write(project, script + u'\n');
        m_form = std::make_unique<TForm1>(project);
        QSignalSpy built(m_form.get(), &TForm1::firstActivationDone);
        m_form->show();
        m_form->activateWindow();
        built.wait(5000);
    }

    Workbench &wb() { return m_form->workbench(); }
    TForm1 &form() { return *m_form; }

    // Every recorded call, oldest first.
    QStringList calls()
    {
        return wb().EvalScript(QStringLiteral("calls.join('\\n')"))
            .split(u'\n', Qt::SkipEmptyParts);
    }
    QStringList callsOf(const QString &event)
    {
        QStringList found;
        for (const QString &c : calls()) {
            if (c.section(u'|', 1, 1) == event)
                found << c;
        }
        return found;
    }

    // A disconnected TCP client named `name` (its window caption).
    TMySocket *client(const QString &name, quint16 port, const QString &host = QStringLiteral("127.0.0.1"))
    {
        TMySocket *r = TcpClientEndpoint::Create(wb(), host, port, wb().FindKindRoot(Kind::TcpClient));
        r->window->setName(name);
        r->window->setHexMode(false);
        return r;
    }

    // Connects r to the bench's server; returns the server side.
    QTcpSocket *connectClient(TMySocket *r)
    {
        const int before = callsOf(QStringLiteral("OnConnect")).size();
        r->window->Button_5->click();
        if (!WaitFor([&] { return server.hasPendingConnections(); }))
            return nullptr;
        QTcpSocket *peer = server.nextPendingConnection();
        WaitFor([&] { return callsOf(QStringLiteral("OnConnect")).size() > before; });
        return peer;
    }

    QTcpServer server;
    quint16 listen()
    {
        server.listen(QHostAddress::LocalHost, 0);
        return server.serverPort();
    }

private:
    static void write(const QString &path, const QString &text)
    {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(text.toUtf8());
    }

    QTemporaryDir m_dir;
    std::unique_ptr<TForm1> m_form;
};

// Reads from peer until n bytes arrived (or the timeout).
inline QByteArray ReadExactly(QTcpSocket *peer, qsizetype n, int timeoutMs = 5000)
{
    QByteArray got;
    WaitFor([&] {
        got += peer->readAll();
        return got.size() >= n;
    }, timeoutMs);
    return got;
}
