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
    QObject::connect(m_registry.get(), &EndpointRegistry::added, m_registry.get(), [this](Endpoint *e) {
        m_lines[e] = e->takeLines();
        QObject::connect(e, &Endpoint::lineAppended, e,
                         [this, e](const QString &line) { m_lines[e] << line; });
    });
    m_host = std::make_unique<ScriptHost>(*m_registry);
    m_host->loadScripts(WriteContractProject(m_dir.path(), script));
    if (build)
        m_host->buildWorkspace();
}

ScriptedCore::~ScriptedCore() { m_registry->clear(); }

QString ScriptedCore::js(const QString &text) { return m_host->engine().evalScript(text); }

QStringList ScriptedCore::calls()
{
    return js(QStringLiteral("calls.join('\\n')")).split(u'\n', Qt::SkipEmptyParts);
}

QStringList ScriptedCore::callsOf(const QString &event)
{
    QStringList found;
    for (const QString &c : calls()) {
        if (c.section(u'|', 0, 0) == event)
            found << c;
    }
    return found;
}

void ScriptedCore::clearCalls() { js(QStringLiteral("calls = [];")); }

QString ScriptedCore::lines(const Endpoint *endpoint) const { return m_lines.value(endpoint).join(u'\n'); }

TcpClientEndpoint *ScriptedCore::tcpClient(const QString &name, int port, const QString &host)
{
    TcpClientEndpoint *c = TcpClientEndpoint::create(*m_registry, host, port);
    c->setName(name);
    c->setHexMode(false);
    return c;
}
