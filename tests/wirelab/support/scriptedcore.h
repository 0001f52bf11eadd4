#pragma once
// A registry and a script host over the contract script (contract.h) and
// the test's own script (later definitions win), loaded from a project
// file in a temporary directory and built as a front end builds it. No
// widgets: the fixture itself is the only view, keeping every line each
// endpoint's receive pane gets.

#include "core/endpoints/registry.h"
#include "core/script/scripthost.h"
#include "seamrecorder.h"

#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class Endpoint;
class TcpClientEndpoint;

// Keeps every receive-pane line of the endpoints a registry gets from now
// on, read from their logs as a view reads them.
class LineCollector
{
public:
    explicit LineCollector(EndpointRegistry &registry);
    QStringList of(const Endpoint *endpoint) const { return m_lines.value(endpoint); }

private:
    QHash<const Endpoint *, QStringList> m_lines;
};

// The contract's recorded calls (contract.h), oldest first; with an event,
// only those whose first field is that event.
QStringList RecordedCalls(ScriptHost &host, const QString &event = QString());
// A TCP client made by hand (disconnected), named, in text mode.
TcpClientEndpoint *TextTcpClient(EndpointRegistry &registry, const QString &name, int port,
                                 const QString &host = QStringLiteral("127.0.0.1"));

class ScriptedCore
{
public:
    // build: run the workspace build (OnInit and the declarations) now.
    explicit ScriptedCore(const QString &script = QString(), bool build = true);
    ~ScriptedCore();

    EndpointRegistry &registry() { return *m_registry; }
    ScriptHost &host() { return *m_host; }

    // Evaluates text in the script engine; its completion value as text.
    QString js(const QString &text);
    // The recorded calls ("OnRead|name|a|b", "timer|name|t", ...), oldest first.
    QStringList calls();
    // Those whose first field is event.
    QStringList callsOf(const QString &event);
    void clearCalls();

    Endpoint *endpoint(const QString &name) { return m_registry->findByName(name); }
    // The receive-pane lines of an endpoint so far, joined by '\n'.
    QString lines(const Endpoint *endpoint) const;
    QStringList lineList(const Endpoint *endpoint) const { return m_lines->of(endpoint); }

    // A TCP client made by hand (disconnected), named, in text mode.
    TcpClientEndpoint *tcpClient(const QString &name, int port,
                                 const QString &host = QStringLiteral("127.0.0.1"));

    QString dirPath() const { return m_dir.path(); }

    MessageRecorder messages;  // before the host: boxes of the build are recorded

private:
    QTemporaryDir m_dir;
    std::unique_ptr<EndpointRegistry> m_registry;
    std::unique_ptr<ScriptHost> m_host;
    std::unique_ptr<LineCollector> m_lines;
};

// Writes text (UTF-8) to path; false when it cannot.
bool WriteTextFile(const QString &path, const QString &text);
// A project file in dir that lists the contract script and then one with
// the given text; returns its path.
QString WriteContractProject(const QString &dir, const QString &script);
// A TCP port that nothing listens on right now (alone in the namespace).
int FreeTcpPort();
// A UDP port that nothing is bound to right now.
int FreeUdpPort();
