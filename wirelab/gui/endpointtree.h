#pragma once
// EndpointTree: the tree view over the registry. Five kind roots, then one
// node per endpoint under its kind's root, or under its server's node for
// an accepted connection; each node shows the endpoint's caption and state
// image. A node and its endpoint may each go first: the node holds the
// endpoint by QPointer and the index of nodes forgets a node when it is
// deleted (with its parent, or with the view).

#include "core/endpoints/endpointkind.h"

#include <QHash>
#include <QObject>
#include <QPointer>

#include <optional>

class Endpoint;
class EndpointRegistry;
class QIcon;
class QTreeWidget;
class QTreeWidgetItem;

class EndpointTree : public QObject
{
    Q_OBJECT
public:
    // Fills tree with the kind roots and follows the registry from now on.
    EndpointTree(EndpointRegistry &registry, QTreeWidget *tree, QObject *parent = nullptr);
    ~EndpointTree() override;

    QTreeWidget *view() const;

    // The endpoint of a node; nullptr for a root or a node whose endpoint went.
    static Endpoint *endpointOf(const QTreeWidgetItem *item);
    // The kind of a root node; nothing for any other node.
    static std::optional<EndpointKind> rootKindOf(const QTreeWidgetItem *item);

    QTreeWidgetItem *nodeOf(const Endpoint *endpoint) const;
    QTreeWidgetItem *kindRoot(EndpointKind kind) const;

    // The endpoint of the current node, or nullptr.
    Endpoint *selectedEndpoint() const;
    // Makes the endpoint's node current, if it has one.
    void selectEndpoint(Endpoint *endpoint);
    void selectKindRoot(EndpointKind kind);

    // The icon of a state image (drawn once, cached).
    static QIcon stateIcon(StateImage image);

private:
    class Node;

    void add(Endpoint *endpoint, Endpoint *server);
    void remove(Endpoint *endpoint);
    void nodeGone(const Endpoint *endpoint, const Node *node);

    EndpointRegistry &m_registry;
    QPointer<QTreeWidget> m_view;
    QHash<const Endpoint *, Node *> m_nodes;
};
