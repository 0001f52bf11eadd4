#include "gui/endpointtree.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/registry.h"
#include "guard.h"

#include <QColor>
#include <QHash>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QTreeWidget>

namespace {
constexpr int RootType = QTreeWidgetItem::UserType + 1;
constexpr int NodeType = QTreeWidgetItem::UserType + 2;
constexpr int KindRole = Qt::UserRole;
}  // namespace

// A node carrying its endpoint. It tells the tree when it goes, whoever
// deletes it.
class EndpointTree::Node : public QTreeWidgetItem
{
public:
    Node(QTreeWidgetItem *parent, Endpoint *endpoint, EndpointTree *owner)
        : QTreeWidgetItem(parent, QStringList {endpoint->caption()}, NodeType),
          m_endpoint(endpoint),
          m_key(endpoint),
          m_owner(owner)
    {}
    ~Node() override
    {
        if (m_owner)
            m_owner->nodeGone(m_key, this);
    }

    Endpoint *endpoint() const { return m_endpoint; }
    void forgetOwner() { m_owner = nullptr; }

private:
    QPointer<Endpoint> m_endpoint;
    const Endpoint *m_key;  // the index key, also once the endpoint is gone
    QPointer<EndpointTree> m_owner;
};

EndpointTree::EndpointTree(EndpointRegistry &registry, QTreeWidget *tree, QObject *parent)
    : QObject(parent), m_registry(registry), m_view(tree)
{
    for (EndpointKind kind : RootKinds) {
        auto *root = new QTreeWidgetItem(tree, QStringList {kindName(kind)}, RootType);
        root->setData(0, KindRole, int(kind));
        root->setIcon(0, stateIcon(StateImage::KindRoot));
    }
    connect(&registry, &EndpointRegistry::added, this,
            guard([this](Endpoint *endpoint, Endpoint *server) { add(endpoint, server); }));
    connect(&registry, &EndpointRegistry::removing, this,
            guard([this](Endpoint *endpoint) { remove(endpoint); }));
}

EndpointTree::~EndpointTree()
{
    for (Node *node : std::as_const(m_nodes))
        node->forgetOwner();
}

QTreeWidget *EndpointTree::view() const { return m_view; }

Endpoint *EndpointTree::endpointOf(const QTreeWidgetItem *item)
{
    if (!item || item->type() != NodeType)
        return nullptr;
    return static_cast<const Node *>(item)->endpoint();
}

std::optional<EndpointKind> EndpointTree::rootKindOf(const QTreeWidgetItem *item)
{
    if (!item || item->type() != RootType)
        return std::nullopt;
    return EndpointKind(item->data(0, KindRole).toInt());
}

QTreeWidgetItem *EndpointTree::nodeOf(const Endpoint *endpoint) const
{
    return endpoint ? m_nodes.value(endpoint) : nullptr;
}

QTreeWidgetItem *EndpointTree::kindRoot(EndpointKind kind) const
{
    if (!m_view)
        return nullptr;
    for (int i = 0; i < m_view->topLevelItemCount(); ++i) {
        QTreeWidgetItem *root = m_view->topLevelItem(i);
        if (rootKindOf(root) == kind)
            return root;
    }
    return nullptr;
}

Endpoint *EndpointTree::selectedEndpoint() const
{
    return m_view ? endpointOf(m_view->currentItem()) : nullptr;
}

void EndpointTree::selectEndpoint(Endpoint *endpoint)
{
    if (QTreeWidgetItem *node = nodeOf(endpoint); node && m_view)
        m_view->setCurrentItem(node);
}

void EndpointTree::selectKindRoot(EndpointKind kind)
{
    if (QTreeWidgetItem *root = kindRoot(kind); root && m_view)
        m_view->setCurrentItem(root);
}

void EndpointTree::add(Endpoint *endpoint, Endpoint *server)
{
    if (!endpoint || !m_view)
        return;
    QTreeWidgetItem *parent = server ? nodeOf(server) : kindRoot(endpoint->kind());
    if (!parent)
        return;  // a connection whose server's node went: nowhere to show it
    auto *node = new Node(parent, endpoint, this);
    node->setIcon(0, stateIcon(endpoint->image()));
    m_nodes.insert(endpoint, node);
    connect(endpoint, &Endpoint::imageChanged, this, guard([this, endpoint](StateImage image) {
                if (QTreeWidgetItem *n = nodeOf(endpoint))
                    n->setIcon(0, stateIcon(image));
            }));
    parent->setExpanded(true);
    // In a burst the registry asks for the last one to be shown at its end.
    if (!m_registry.inBatch())
        m_view->setCurrentItem(node);
}

void EndpointTree::remove(Endpoint *endpoint)
{
    // With the nodes of its accepted connections.
    delete nodeOf(endpoint);
}

void EndpointTree::nodeGone(const Endpoint *endpoint, const Node *node)
{
    const auto it = m_nodes.constFind(endpoint);
    if (it != m_nodes.constEnd() && it.value() == node)
        m_nodes.remove(endpoint);
}

QIcon EndpointTree::stateIcon(StateImage image)
{
    static QHash<int, QIcon> cache;
    const auto it = cache.constFind(int(image));
    if (it != cache.constEnd())
        return *it;

    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (image) {
    case StateImage::Connected:  // green plug
        p.setBrush(QColor(40, 170, 60));
        p.setPen(Qt::darkGreen);
        p.drawEllipse(2, 2, 12, 12);
        break;
    case StateImage::Disconnected:  // grey ring
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(130, 130, 130), 2));
        p.drawEllipse(3, 3, 10, 10);
        break;
    case StateImage::Listening:  // blue square with an ear
        p.setBrush(QColor(30, 110, 220));
        p.setPen(Qt::darkBlue);
        p.drawRect(2, 2, 12, 12);
        p.setBrush(Qt::white);
        p.drawEllipse(6, 6, 4, 4);
        break;
    case StateImage::NotListening:  // red square
        p.setBrush(QColor(210, 60, 50));
        p.setPen(Qt::darkRed);
        p.drawRect(2, 2, 12, 12);
        break;
    case StateImage::Udp:  // orange diamond
        p.setBrush(QColor(240, 150, 30));
        p.setPen(QColor(150, 90, 10));
        p.drawPolygon(QPolygon({QPoint(8, 1), QPoint(15, 8), QPoint(8, 15), QPoint(1, 8)}));
        break;
    case StateImage::Group:  // purple triple dots
        p.setBrush(QColor(140, 60, 190));
        p.setPen(Qt::NoPen);
        p.drawEllipse(1, 9, 6, 6);
        p.drawEllipse(9, 9, 6, 6);
        p.drawEllipse(5, 1, 6, 6);
        break;
    default:  // kind root (and no image): folder
        p.setBrush(QColor(250, 210, 90));
        p.setPen(QColor(170, 130, 30));
        p.drawRect(1, 4, 14, 10);
        p.drawRect(1, 2, 6, 3);
        break;
    }
    p.end();
    QIcon icon(pm);
    cache.insert(int(image), icon);
    return icon;
}
