#include "core/script/scripthost.h"

#include "core/endpoints/endpoint.h"
#include "core/script/actionexecutor.h"
#include "core/script/calltext.h"
#include "core/script/declarations.h"
#include "core/script/scriptengine.h"
#include "core/script/scriptoutput.h"
#include "core/script/scripttimers.h"

ScriptHost::ScriptHost(EndpointRegistry &registry, QObject *parent)
    : QObject(parent),
      m_registry(registry),
      m_engine(std::make_unique<ScriptEngine>()),
      m_executor(std::make_unique<ActionExecutor>(*m_engine, registry)),
      m_declarations(std::make_unique<Declarations>(*this)),
      m_timers(std::make_unique<ScriptTimers>(*this))
{
    registry.setEvents(this);
    // A new host's scripts are reported afresh.
    ScriptOutput::instance().flushRepeats();
}

ScriptHost::~ScriptHost()
{
    if (m_registry.events() == this)
        m_registry.setEvents(nullptr);
}

bool ScriptHost::loadScripts(const QString &projectFile) { return m_engine->loadScripts(projectFile); }

void ScriptHost::buildWorkspace()
{
    if (m_declarations->built())
        return;
    Q_EMIT buildStarted();
    m_declarations->build();  // swallows and reports its own errors
    Q_EMIT buildFinished();
}

bool ScriptHost::built() const { return m_declarations->built(); }

void ScriptHost::runActions(const ActionExecutor::EventName &event, const QString &endpoint)
{
    m_executor->runActions(event, endpoint);
}

void ScriptHost::tick() { m_timers->tick(); }

void ScriptHost::buttonClicked(Endpoint &endpoint, const QString &buttonId)
{
    const QString name = endpoint.name();  // the endpoint may be gone after the call
    ScriptOutput::concerning(name, endpoint.log(),
                             [&] { m_engine->evalScript(CallText::OnButtonClick(name, buttonId)); });
    refreshPanels();
    runActions([&] { return QStringLiteral("click of %1 on %2").arg(buttonId, name); }, name);
}

void ScriptHost::editChanged(Endpoint &endpoint, const QString &editId, const QString &text)
{
    // Actions queued here wait for the next executor run, whatever starts it.
    ScriptOutput::concerning(endpoint.name(), endpoint.log(), [&] {
        m_engine->evalScript(CallText::OnEditChange(endpoint.name(), editId, text));
    });
}

void ScriptHost::refreshPanels() { m_declarations->refresh(); }

void ScriptHost::socketEvent(Endpoint &endpoint, const QString &event, const QString &a, int b,
                             const std::optional<QString> &data)
{
    // Same as evaluating the OnSocketEvent call text, without parsing a
    // text that can be twice the size of the received block, and reading
    // the actions in the same entry into the engine.
    const QString name = endpoint.name();
    QStringList arguments {name, event, a, QString::number(b)};
    if (data)
        arguments.append(*data);
    ScriptOutput::concerning(name, endpoint.log(), [&] {
        m_executor->runEvent(
            QStringLiteral("OnSocketEvent"), arguments,
                           [&] { return QStringLiteral("%1 of %2").arg(event, name); }, name);
    });
}

bool ScriptHost::socketEventIgnores(int index)
{
    return m_engine->argumentUnread(QStringLiteral("OnSocketEvent"), index);
}

void ScriptHost::socketError(Endpoint &endpoint, const QString &text)
{
    // Scripts written before this event exist: without the handler, nothing.
    if (!m_engine->hasGlobalFunction(QStringLiteral("OnSocketError")))
        return;
    const QString name = endpoint.name();
    ScriptOutput::concerning(name, endpoint.log(), [&] {
        m_executor->runEvent(
            QStringLiteral("OnSocketError"), {name, text},
                           [&] { return QStringLiteral("OnSocketError of %1").arg(name); }, name);
    });
}

void ScriptHost::connectionAccepted(Endpoint &connection) { m_declarations->connectionAccepted(connection); }

void ScriptHost::deleting(Endpoint &endpoint)
{
    m_engine->evalScript(CallText::DeleteSocket(endpoint.name()));
}
