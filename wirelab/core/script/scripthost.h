#pragma once
// ScriptHost: the user's scripts and everything that talks to them. It
// owns the engine, the action executor, the declarations reader and the
// script timers, and hears the endpoints' events (EndpointEvents). Front
// ends drive it: the window (first activation, 100 ms tick, clicks and
// edits of the declared panels) or a run without a window.

#include "core/endpoints/registry.h"
#include "core/script/actionexecutor.h"

#include <QObject>
#include <QString>

#include <memory>

class Declarations;
class PanelBuilder;
class ScriptEngine;
class ScriptTimers;

class ScriptHost : public QObject, public EndpointEvents
{
    Q_OBJECT
public:
    // Becomes the registry's event handler.
    explicit ScriptHost(EndpointRegistry &registry, QObject *parent = nullptr);
    ~ScriptHost() override;

    EndpointRegistry &registry() { return m_registry; }
    ScriptEngine &engine() { return *m_engine; }
    ActionExecutor &executor() { return *m_executor; }
    Declarations &declarations() { return *m_declarations; }
    ScriptTimers &timers() { return *m_timers; }

    // Evaluates the script files listed in projectFile; every failure is
    // reported on standard error (ScriptOutput). Whether all loaded.
    bool loadScripts(const QString &projectFile);

    // The workspace build: OnInit, the declared endpoints and panels, then
    // the actions. Runs once; never throws.
    void buildWorkspace();
    bool built() const;

    // One run of the action executor; event and endpoint name what its
    // warnings come from (ActionExecutor::runActions).
    void runActions(const ActionExecutor::EventName &event = {}, const QString &endpoint = QString());
    // One 100 ms tick of the script timers.
    void tick();

    // The declared panels' side. Without a builder, rows are ignored.
    void setPanelBuilder(PanelBuilder *builder) { m_panels = builder; }
    PanelBuilder *panelBuilder() const { return m_panels; }
    // OnButtonClick(name, id), the panels' refresh, then the actions.
    void buttonClicked(Endpoint &endpoint, const QString &buttonId);
    // OnEditChange(name, id, text); its actions wait for the next run.
    void editChanged(Endpoint &endpoint, const QString &editId, const QString &text);
    // Brings the panels in step with `sockets` (nothing without a builder).
    void refreshPanels();

    // EndpointEvents
    void socketEvent(Endpoint &endpoint, const QString &event, const QString &a, int b,
                     const std::optional<QString> &data) override;
    void socketError(Endpoint &endpoint, const QString &text) override;
    bool socketEventIgnores(int index) override;
    void connectionAccepted(Endpoint &connection) override;
    void deleting(Endpoint &endpoint) override;

Q_SIGNALS:
    // Around the workspace build: the window disables itself and hides
    // its tree meanwhile.
    void buildStarted();
    void buildFinished();

private:
    EndpointRegistry &m_registry;
    std::unique_ptr<ScriptEngine> m_engine;
    std::unique_ptr<ActionExecutor> m_executor;
    std::unique_ptr<Declarations> m_declarations;
    std::unique_ptr<ScriptTimers> m_timers;
    PanelBuilder *m_panels = nullptr;
};
