#include "core/control/projectcontrol.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/registry.h"
#include "core/net/addresstext.h"
#include "core/workbench/workbench.h"

#include <QPointer>

namespace {

QString AddressText(const QString &host, int port)
{
    if (host.isEmpty() && port <= 0)
        return QString();
    return hostPortText(host, port);
}

QString ItemTypeName(Panels::Item::Type type)
{
    switch (type) {
    case Panels::Item::Type::Button:
        return QStringLiteral("button");
    case Panels::Item::Type::Edit:
        return QStringLiteral("edit");
    case Panels::Item::Type::Label:
        return QStringLiteral("label");
    }
    return QString();
}

ControlAnswer NotOffered(const char *command, const Endpoint &e)
{
    return ControlAnswer::failure(QStringLiteral("%1 does not apply to %2 (%3)").arg(
        QLatin1String(command), e.name(), kindName(e.kind())));
}

}  // namespace

ProjectControl::ProjectControl(Workbench &workbench, Quit quit)
    : m_workbench(workbench), m_quit(std::move(quit))
{}

Endpoint *ProjectControl::find(const QString &name, ControlAnswer *failure) const
{
    Endpoint *e = m_workbench.find(name);
    if (!e)
        *failure = ControlAnswer::failure(QStringLiteral("no endpoint named \"%1\"").arg(name));
    return e;
}

ControlAnswer ProjectControl::list()
{
    QList<ControlRow> rows;
    const auto add = [&rows](const Endpoint *e) {
        const bool hasPeer = e->kind() != EndpointKind::TcpServer;
        rows.append({
            {QStringLiteral("name"), e->name()},
             {QStringLiteral("kind"), kindName(e->kind())},
              {QStringLiteral("state"), e->isActive() ? QStringLiteral("active") : QStringLiteral("inactive")},
                  {QStringLiteral("local"), AddressText(e->localAddress(), e->localPort())},
                   {QStringLiteral("peer"),
                                   hasPeer ? AddressText(e->remoteHost(), e->remotePort()) : QString()},
                    {QStringLiteral("received"), double(e->receivedBytes())},
                     {QStringLiteral("sent"), double(e->sentBytes())},
                    });
    };
    const EndpointRegistry &registry = m_workbench.registry();
    for (EndpointKind root : RootKinds) {
        for (const Endpoint *e : registry.endpointsOf(root)) {
            add(e);
            for (const Endpoint *c : registry.connectionsOf(e))
                add(c);
        }
    }
    return ControlAnswer::listing(rows);
}

ControlAnswer ProjectControl::send(const QString &name, const QByteArray &block)
{
    ControlAnswer failure;
    Endpoint *e = find(name, &failure);
    if (!e)
        return failure;
    SendRequest request;
    request.block = block;
    if (!Workbench::send(*e, request))
        return ControlAnswer::failure(QStringLiteral("nothing to send"));
    return ControlAnswer::success();
}

ControlAnswer ProjectControl::connectEndpoint(const QString &name)
{
    ControlAnswer failure;
    Endpoint *e = find(name, &failure);
    if (!e)
        return failure;
    QPointer<Endpoint> alive(e);
    if (!Workbench::connectEndpoint(*e))
        return NotOffered("connect", *e);
    // An open that fails at once (a serial port) is an error, not "ok"; a
    // TCP client's connect goes on in the background and is told later.
    if (alive && !alive->isActive() && !alive->startFailure().isEmpty())
        return ControlAnswer::failure(
            QStringLiteral("connect %1: %2").arg(alive->name(), alive->startFailure()));
    return ControlAnswer::success();
}

ControlAnswer ProjectControl::disconnectEndpoint(const QString &name)
{
    ControlAnswer failure;
    Endpoint *e = find(name, &failure);
    if (!e)
        return failure;
    if (!Workbench::disconnectEndpoint(*e))
        return NotOffered("disconnect", *e);
    return ControlAnswer::success();
}

ControlAnswer ProjectControl::listen(const QString &name, bool on)
{
    ControlAnswer failure;
    Endpoint *e = find(name, &failure);
    if (!e)
        return failure;
    if (!Workbench::listen(*e, on))
        return NotOffered("listen", *e);
    return ControlAnswer::success();
}

ControlAnswer ProjectControl::deleteEndpoint(const QString &name)
{
    ControlAnswer failure;
    Endpoint *e = find(name, &failure);
    if (!e)
        return failure;
    QPointer<Endpoint> alive(e);
    Workbench::deleteEndpoint(*e);
    // A server holding live connections stays (and says so, as in the window).
    if (alive && alive->registry().contains(alive))
        return ControlAnswer::failure(QStringLiteral("%1 was not deleted").arg(name));
    return ControlAnswer::success();
}

ControlAnswer ProjectControl::click(const QString &name, const QString &id)
{
    ControlAnswer failure;
    Endpoint *e = find(name, &failure);
    if (!e)
        return failure;
    if (!m_workbench.click(*e, id))
        return ControlAnswer::failure(QStringLiteral("%1 has no button \"%2\"").arg(name, id));
    return ControlAnswer::success();
}

ControlAnswer ProjectControl::setText(const QString &name, const QString &id, const QString &text)
{
    ControlAnswer failure;
    Endpoint *e = find(name, &failure);
    if (!e)
        return failure;
    if (!m_workbench.setText(*e, id, text))
        return ControlAnswer::failure(QStringLiteral("%1 has no edit box \"%2\"").arg(name, id));
    return ControlAnswer::success();
}

ControlAnswer ProjectControl::panel(const QString &name)
{
    ControlAnswer failure;
    Endpoint *e = find(name, &failure);
    if (!e)
        return failure;
    QList<ControlRow> rows;
    for (const Panels::Item &item : m_workbench.panelItems(*e)) {
        rows.append({
            {QStringLiteral("row"), item.row},
             {QStringLiteral("type"), ItemTypeName(item.type)},
              {QStringLiteral("id"), item.id},
               {QStringLiteral("text"), item.text},
              });
    }
    return ControlAnswer::listing(rows);
}

ControlAnswer ProjectControl::log(const QString &name, int lines)
{
    ControlAnswer failure;
    const Endpoint *e = find(name, &failure);
    if (!e)
        return failure;
    // Every record, as the headless output has them (a script's sends too).
    QList<ControlRow> rows;
    for (const QString &line : e->log().lastLines(lines, true))
        rows.append({{QStringLiteral("line"), line}});
    return ControlAnswer::listing(rows);
}

ControlAnswer ProjectControl::quit(int code)
{
    m_quit(code);
    return ControlAnswer::success();
}
