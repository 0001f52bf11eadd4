#include "scriptedwindow.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/tcpclientendpoint.h"
#include "core/script/scriptengine.h"
#include "gui/datawindow.h"
#include "gui/logview.h"
#include "scriptedcore.h"

#include <QSignalSpy>
#include <QTimer>

ScriptedWindow::ScriptedWindow(const QString &script) : ScriptedWindow(script, Options()) {}

ScriptedWindow::ScriptedWindow(const QString &script, Options options)
{
    if (options.onMessage)
        messages.onMessage = [this, hook = options.onMessage](const QString &) { hook(*this); };
    m_window = std::make_unique<MainWindow>(WriteContractProject(m_dir.path(), script));
    if (!options.tick) {
        if (auto *tick = m_window->findChild<QTimer *>(QStringLiteral("Timer1")))
            tick->stop();
    }
    QSignalSpy done(m_window.get(), &MainWindow::firstActivationDone);
    m_window->show();
    m_window->activateWindow();
    built = done.count() > 0 || done.wait(10000);
}

ScriptedWindow::~ScriptedWindow() = default;

QString ScriptedWindow::js(const QString &text) { return host().engine().evalScript(text); }

QStringList ScriptedWindow::calls() { return RecordedCalls(host()); }

QStringList ScriptedWindow::callsOf(const QString &event) { return RecordedCalls(host(), event); }

void ScriptedWindow::clearCalls() { js(QStringLiteral("calls = [];")); }

QWidget *ScriptedWindow::dataWindowWidget(const Endpoint *endpoint)
{
    DataWindow *w = dataWindow(endpoint);
    if (w)
        w->ensureUi();
    return w;
}

LogView *ScriptedWindow::pane(const Endpoint *endpoint) { return control<LogView>(endpoint, "Memo2"); }

QString ScriptedWindow::paneText(const Endpoint *endpoint)
{
    LogView *p = pane(endpoint);
    return p ? p->text() : QString();
}

TcpClientEndpoint *ScriptedWindow::tcpClient(const QString &name, int port, const QString &host)
{
    return TextTcpClient(registry(), name, port, host);
}
