#include "scriptedcore.h"

#include "contract.h"
#include "core/endpoints/endpoint.h"
#include "core/endpoints/tcpclientendpoint.h"
#include "core/script/scriptengine.h"

#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QUdpSocket>

bool WriteTextFile(const QString &path, const QString &text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(text.toUtf8()) >= 0;
}

QString WriteContractProject(const QString &dir, const QString &script)
{
    const QString contract = dir + QStringLiteral("/contract.js");
    const QString test = dir + QStringLiteral("/test.js");
    const QString project = dir + QStringLiteral("/project.txt");
    WriteTextFile(contract, QString::fromLatin1(ContractScript));
    WriteTextFile(test, script);
    WriteTextFile(project, contract + u'\n' + test + u'\n');
    return project;
}

int FreeTcpPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::AnyIPv4, 0);
    return probe.serverPort();
}

int FreeUdpPort()
{
    QUdpSocket s;
    return s.bind(QHostAddress::AnyIPv4, 0) ? s.localPort() : 0;
}

ScriptedCore::ScriptedCore(const QString &script, bool build)
    : m_registry(std::make_unique<EndpointRegistry>())
{
    m_lines = std::make_unique<LineCollector>(*m_registry);
    m_host = std::make_unique<ScriptHost>(*m_registry);
    m_host->loadScripts(WriteContractProject(m_dir.path(), script));
    if (build)
        m_host->buildWorkspace();
}

ScriptedCore::~ScriptedCore() { m_registry->clear(); }

QString ScriptedCore::js(const QString &text) { return m_host->engine().evalScript(text); }

QStringList ScriptedCore::calls() { return RecordedCalls(*m_host); }

QStringList ScriptedCore::callsOf(const QString &event) { return RecordedCalls(*m_host, event); }

void ScriptedCore::clearCalls() { js(QStringLiteral("calls = [];")); }

QString ScriptedCore::lines(const Endpoint *endpoint) const { return m_lines->of(endpoint).join(u'\n'); }

TcpClientEndpoint *ScriptedCore::tcpClient(const QString &name, int port, const QString &host)
{
    return TextTcpClient(*m_registry, name, port, host);
}

LineCollector::LineCollector(EndpointRegistry &registry)
{
    QObject::connect(&registry, &EndpointRegistry::added, &registry, [this](Endpoint *e) {
        // The receive pane's lines: the extra records are not among them.
        auto collect = [this, e](qsizetype i) {
            if (!e->log().record(i).extra)
                m_lines[e] << e->log().text(i);
        };
        for (qsizetype i = 0; i < e->log().count(); ++i)
            collect(i);
        QObject::connect(&e->log(), &EndpointLog::recordAppended, e, collect);
    });
}

QStringList RecordedCalls(ScriptHost &host, const QString &event)
{
    const QStringList calls =
        host.engine().evalScript(QStringLiteral("calls.join('\\n')")).split(u'\n', Qt::SkipEmptyParts);
    if (event.isEmpty())
        return calls;
    QStringList found;
    for (const QString &c : calls) {
        if (c.section(u'|', 0, 0) == event)
            found << c;
    }
    return found;
}

TcpClientEndpoint *TextTcpClient(EndpointRegistry &registry, const QString &name, int port,
                                 const QString &host)
{
    TcpClientEndpoint *c = TcpClientEndpoint::create(registry, host, port);
    c->setName(name);
    c->setHexMode(false);
    return c;
}
