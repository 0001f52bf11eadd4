#include "core/endpoints/registry.h"

#include "core/endpoints/endpoint.h"

#include <algorithm>
#include <exception>

EndpointRegistry::EndpointRegistry(QObject *parent) : QObject(parent) {}

EndpointRegistry::~EndpointRegistry() { clear(); }

Endpoint *EndpointRegistry::add(std::unique_ptr<Endpoint> owned, Endpoint *server)
{
    Endpoint *e = owned.get();
    if (!e)
        return nullptr;
    m_owned.push_back(std::move(owned));
    if (server && isShown(server)) {
        m_connections[server].append(e);
        m_serverOf.insert(e, server);
        m_shown.insert(e);
    } else if (!server) {
        m_roots[int(e->kind())].append(e);
        m_shown.insert(e);
    }
    m_byName.insert(e->name(), e);
    connect(e, &Endpoint::nameChanged, this,
            [this, e](const QString &from, const QString &to) { nameChanged(e, from, to); });
    if (m_batchDepth > 0)
        m_batchNewest = e;
    Q_EMIT added(e, server);
    return e;
}

void EndpointRegistry::tellPortBusy(Endpoint *endpoint, int port)
{
    if (endpoint)
        endpoint->logNoticeLater(tr("端口 %1 已被占用").arg(port));
    Q_EMIT portBusy(endpoint, port);
}

void EndpointRegistry::nameChanged(Endpoint *e, const QString &from, const QString &to)
{
    m_byName.remove(from, e);
    m_byName.insert(to, e);
}

bool EndpointRegistry::isShown(const Endpoint *e) const { return e && m_shown.contains(e); }

QList<Endpoint *> EndpointRegistry::endpointsOf(EndpointKind rootKind) const
{
    return m_roots.value(int(rootKind));
}

QList<Endpoint *> EndpointRegistry::connectionsOf(const Endpoint *server) const
{
    return m_connections.value(server);
}

Endpoint *EndpointRegistry::findByName(const QString &name) const
{
    // A name held by one endpoint is answered from the index; a shared
    // name (the default caption) walks the display order, where the first
    // match wins.
    // Counted along the name's own chain: stepping a hash iterator past
    // its last value walks the empty buckets that follow it.
    const qsizetype holders = m_byName.count(name);
    if (holders == 0)
        return nullptr;
    if (holders == 1) {
        Endpoint *e = m_byName.value(name);
        return isShown(e) ? e : nullptr;
    }
    for (EndpointKind kind : RootKinds) {
        for (Endpoint *e : m_roots.value(int(kind))) {
            if (e->name() == name)
                return e;
            for (Endpoint *c : m_connections.value(e)) {
                if (c->name() == name)
                    return c;
            }
        }
    }
    return nullptr;
}

bool EndpointRegistry::contains(const Endpoint *e) const
{
    return std::any_of(m_owned.begin(), m_owned.end(),
                       [e](const std::unique_ptr<Endpoint> &o) { return o.get() == e; });
}

void EndpointRegistry::hide(Endpoint *e)
{
    // Its connections leave the display order with it (they stay
    // registered, but nothing finds them any more).
    const QList<Endpoint *> connections = m_connections.take(e);
    for (Endpoint *c : connections) {
        m_serverOf.remove(c);
        m_shown.remove(c);
    }
    m_shown.remove(e);
    if (const Endpoint *server = m_serverOf.take(e))
        m_connections[server].removeAll(e);
    else
        m_roots[int(e->kind())].removeAll(e);
}

bool EndpointRegistry::remove(Endpoint *e)
{
    auto owning = [e](const std::unique_ptr<Endpoint> &o) { return o.get() == e; };
    if (std::none_of(m_owned.begin(), m_owned.end(), owning))
        return false;
    Q_EMIT removing(e);
    auto it = std::find_if(m_owned.begin(), m_owned.end(), owning);
    if (it == m_owned.end())
        return false;  // removed by a view meanwhile
    // Out of every list first: destroying an endpoint may run code that
    // walks the registry.
    std::unique_ptr<Endpoint> doomed = std::move(*it);
    m_owned.erase(it);
    hide(e);
    m_byName.remove(e->name(), e);
    disconnect(e, nullptr, this, nullptr);
    return true;
}

void EndpointRegistry::deleteEndpoint(Endpoint *endpoint)
{
    QPointer<Endpoint> e(endpoint);
    if (!e || !contains(e))
        return;
    if (m_events)
        m_events->deleting(*e);  // a script error stops the deletion here
    if (!e || !e->mayDelete())
        return;
    e->closeForDeletion();
    if (!e)
        return;  // gone while a close handler ran
    remove(e);
}

void EndpointRegistry::clear()
{
    while (!m_owned.empty())
        remove(m_owned.back().get());
}

void EndpointRegistry::endBatch(bool present)
{
    if (m_batchDepth <= 0 || --m_batchDepth > 0 || !present)
        return;
    const QPointer<Endpoint> newest = std::exchange(m_batchNewest, nullptr);
    if (newest)
        Q_EMIT presentRequested(newest);
}

EndpointBatch::EndpointBatch(EndpointRegistry &registry)
    : m_registry(registry), m_uncaught(std::uncaught_exceptions())
{
    m_registry.beginBatch();
}

EndpointBatch::~EndpointBatch() noexcept(false)
{
    if (std::uncaught_exceptions() == m_uncaught) {
        m_registry.endBatch(m_present);
        return;
    }
    try {
        m_registry.endBatch();
    } catch (...) {
        // the error that is leaving already gets reported
    }
}
