#pragma once
// ProjectControl: the control commands bound to one running project (a
// Workbench). The one place that knows which of the project's operations a
// command calls; the front ends create it with their workbench and say how
// the run ends.

#include "core/control/controltarget.h"

#include <functional>

class Endpoint;
class Workbench;

class ProjectControl : public ControlTarget
{
public:
    // Ends the run with a status once control is back in the event loop.
    using Quit = std::function<void(int code)>;

    ProjectControl(Workbench &workbench, Quit quit);

    ControlAnswer list() override;
    ControlAnswer send(const QString &name, const QByteArray &block) override;
    ControlAnswer connectEndpoint(const QString &name) override;
    ControlAnswer disconnectEndpoint(const QString &name) override;
    ControlAnswer listen(const QString &name, bool on) override;
    ControlAnswer deleteEndpoint(const QString &name) override;
    ControlAnswer click(const QString &name, const QString &id) override;
    ControlAnswer setText(const QString &name, const QString &id, const QString &text) override;
    ControlAnswer panel(const QString &name) override;
    ControlAnswer log(const QString &name, int lines) override;
    ControlAnswer quit(int code) override;

private:
    // The endpoint named name, or nullptr with why in *failure.
    Endpoint *find(const QString &name, ControlAnswer *failure) const;

    Workbench &m_workbench;
    Quit m_quit;
};
