#pragma once
// EndpointRegistry: owns every endpoint, in order of registration, and
// keeps them in display order: the kind roots in their order, each root's
// endpoints in the order they came, a server's accepted connections under
// it. Endpoints are found by name in display order, the first match
// winning, from an index of names.
//
// Views follow it through its signals: added (a new endpoint, to be shown
// and selected), removing (one that goes) and presentRequested (the newest
// endpoint of a burst, shown once the burst ends).

#include "core/endpoints/endpointkind.h"

#include <QHash>
#include <QList>
#include <QMultiHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class Endpoint;

// What the script host hears from the endpoints. Script errors leave these
// calls as exceptions (ScriptError).
class EndpointEvents
{
public:
    virtual ~EndpointEvents() = default;
    // OnSocketEvent(name, event, a, b[, data]), then the action executor.
    virtual void socketEvent(Endpoint &endpoint, const QString &event, const QString &a, int b,
                             const std::optional<QString> &data) = 0;
    // OnSocketError(name, text), then the action executor, when the scripts
    // define it; nothing otherwise.
    virtual void socketError(Endpoint &endpoint, const QString &text) = 0;
    // Whether OnSocketEvent provably never reads its argument at index (0
    // the name, 1 the event, 2 a, 3 b): any value may stand there then.
    virtual bool socketEventIgnores(int index)
    {
        Q_UNUSED(index);
        return false;
    }
    // A connection accepted and set up: its declared panel and the panels'
    // refresh.
    virtual void connectionAccepted(Endpoint &connection) = 0;
    // DeleteSocket(name), before the endpoint is deleted.
    virtual void deleting(Endpoint &endpoint) = 0;
};

class EndpointRegistry : public QObject
{
    Q_OBJECT
public:
    explicit EndpointRegistry(QObject *parent = nullptr);
    ~EndpointRegistry() override;

    // Takes the endpoint, places it last under its kind's root or, for an
    // accepted connection, last under server, and tells the views (added).
    Endpoint *add(std::unique_ptr<Endpoint> endpoint, Endpoint *server = nullptr);
    // add() for a new endpoint of a known kind, handed back as that kind.
    template<class T>
    T *adopt(T *endpoint, Endpoint *server = nullptr)
    {
        return static_cast<T *>(add(std::unique_ptr<Endpoint>(endpoint), server));
    }
    // Deletes an endpoint: DeleteSocket first (a script error stops the
    // deletion with nothing freed), nothing when it may not be deleted yet,
    // then its close; events may be handled meanwhile. Its accepted
    // connections leave the display order with it, but stay registered.
    void deleteEndpoint(Endpoint *endpoint);
    // Destroys the endpoint at once, without calling the script.
    bool remove(Endpoint *endpoint);
    // Destroys every endpoint (exit).
    void clear();

    bool contains(const Endpoint *endpoint) const;
    int count() const { return int(m_owned.size()); }
    Endpoint *at(int index) const { return m_owned.at(size_t(index)).get(); }

    // The first endpoint in display order whose name is exactly name.
    Endpoint *findByName(const QString &name) const;
    // In display order: the endpoints under a kind's root, or a server's
    // connections.
    QList<Endpoint *> endpointsOf(EndpointKind rootKind) const;
    QList<Endpoint *> connectionsOf(const Endpoint *server) const;
    // Whether the endpoint is still in display order (a connection whose
    // server was deleted is not).
    bool isShown(const Endpoint *endpoint) const;

    void setEvents(EndpointEvents *events) { m_events = events; }
    EndpointEvents *events() const { return m_events; }

    // A burst of new endpoints (a backlog of accepted connections) is shown
    // once: between begin and end, added endpoints are not selected or
    // shown one by one; the end presents the newest of them (unless present
    // is false: then the next batch that presents does). Batches nest.
    void beginBatch() { ++m_batchDepth; }
    void endBatch(bool present = true);
    bool inBatch() const { return m_batchDepth > 0; }

    // Tells the front ends that a port was already in use (portBusy), and
    // logs it with the endpoint (if one was made) from the event loop, by
    // the name the endpoint has then.
    void tellPortBusy(Endpoint *endpoint, int port);

Q_SIGNALS:
    // A new endpoint; server is its server for an accepted connection.
    // Views show and select it unless a batch is in progress.
    void added(Endpoint *endpoint, Endpoint *server);
    // The endpoint is about to be destroyed.
    void removing(Endpoint *endpoint);
    // The newest endpoint of a batch is to be selected and shown.
    void presentRequested(Endpoint *endpoint);
    // The port was already in use: endpoint does not listen or receive on
    // it, or is null when nothing was made. Told before the message box; a
    // declared endpoint gets its name only after this.
    void portBusy(Endpoint *endpoint, int port);

private:
    void nameChanged(Endpoint *endpoint, const QString &from, const QString &to);
    void hide(Endpoint *endpoint);

    std::vector<std::unique_ptr<Endpoint>> m_owned;
    // Display order: per root kind, and per server.
    QHash<int, QList<Endpoint *>> m_roots;
    QHash<const Endpoint *, QList<Endpoint *>> m_connections;
    QHash<const Endpoint *, const Endpoint *> m_serverOf;
    // Membership of the display order, answered without walking it: every
    // SEND looks its endpoint up by name.
    QSet<const Endpoint *> m_shown;
    QMultiHash<QString, Endpoint *> m_byName;
    EndpointEvents *m_events = nullptr;
    int m_batchDepth = 0;
    QPointer<Endpoint> m_batchNewest;
};

// Begin/endBatch for a scope. An error leaving the scope still ends the
// batch; an error of the presentation itself is then dropped.
class EndpointBatch
{
public:
    explicit EndpointBatch(EndpointRegistry &registry);
    ~EndpointBatch() noexcept(false);
    // Ends without presenting (more of the burst follows at once), unless
    // an error leaves the scope.
    void keepPending() { m_present = false; }
    EndpointBatch(const EndpointBatch &) = delete;
    EndpointBatch &operator=(const EndpointBatch &) = delete;

private:
    EndpointRegistry &m_registry;
    int m_uncaught;
    bool m_present = true;
};
