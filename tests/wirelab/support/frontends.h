#pragma once
// A project started by either front end, for the end-to-end tests: they
// run once against the main window and once against a headless run
// (TEST_P over FrontEnd::Kind).

#include "core/control/projectcontrol.h"
#include "core/endpoints/registry.h"
#include "core/script/scripthost.h"
#include "scriptedcore.h"
#include "seamrecorder.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <string>

class Endpoint;
class TcpClientEndpoint;
class Workbench;

class FrontEnd
{
public:
    enum class Kind {
        Window,
        Headless
    };

    // The contract script plus script, loaded and built by that front end.
    static std::unique_ptr<FrontEnd> start(Kind kind, const QString &script);
    virtual ~FrontEnd() = default;

    virtual EndpointRegistry &registry() = 0;
    virtual ScriptHost &host() = 0;
    virtual Workbench &workbench() = 0;
    QString js(const QString &text);
    // The contract's recorded calls, those whose first field is event.
    QStringList callsOf(const QString &event);
    Endpoint *endpoint(const QString &name) { return registry().findByName(name); }
    // A TCP client made by hand (disconnected), named, in text mode.
    TcpClientEndpoint *tcpClient(const QString &name, int port);
    // Every receive-pane line of an endpoint added after the start.
    QStringList lineList(const Endpoint *endpoint) const { return m_lines->of(endpoint); }

    // The control commands bound to this front end's project, as the
    // program binds them; quit is called for the quit command.
    std::unique_ptr<ProjectControl> control(ProjectControl::Quit quit)
    {
        return std::make_unique<ProjectControl>(workbench(), std::move(quit));
    }

    // Boxes (the window's) or messages to standard error (headless), recorded.
    virtual MessageRecorder &messages() = 0;

    // A press of a panel button and a text typed into a panel edit box, as
    // that front end's user makes them (the window's controls, the headless
    // workbench's operations); false when there is no such item.
    virtual bool click(const QString &endpoint, const QString &id) = 0;
    virtual bool type(const QString &endpoint, const QString &id, const QString &text) = 0;
    // The caption or text a panel item shows ("<none>" without the item).
    virtual QString panelText(const QString &endpoint, const QString &id) = 0;

protected:
    // Keeps the lines of every endpoint the registry gets from now on.
    void collectLines();

private:
    std::unique_ptr<LineCollector> m_lines;
};

// For INSTANTIATE_TEST_SUITE_P: both kinds, named.
std::string FrontEndName(FrontEnd::Kind kind);
