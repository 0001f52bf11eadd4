#include "endpointnode.h"

#include "kinds.h"
#include "tmysocket.h"

#include <QColor>
#include <QHash>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

EndpointNode::EndpointNode(QTreeWidgetItem *parent, const QString &caption, TMySocket *record)
    : QTreeWidgetItem(parent, QStringList{caption}, NodeType), m_record(record)
{
    if (record)
        record->node = this;
}

EndpointNode::~EndpointNode()
{
    if (m_record && m_record->node == this)
        m_record->node = nullptr;
}

void EndpointNode::setStateImage(int image)
{
    m_image = image;
    setIcon(0, StateIcon(image));
}

TMySocket *RecordOf(QTreeWidgetItem *item)
{
    if (!item || item->type() != EndpointNode::NodeType)
        return nullptr;
    return static_cast<EndpointNode *>(item)->record();
}

int StateImageOf(QTreeWidgetItem *item)
{
    if (!item)
        return 0;
    if (item->type() == EndpointNode::NodeType)
        return static_cast<EndpointNode *>(item)->stateImage();
    return item->parent() ? 0 : ImgKindRoot;
}

QIcon StateIcon(int image)
{
    static QHash<int, QIcon> cache;
    auto it = cache.constFind(image);
    if (it != cache.constEnd())
        return *it;

    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (image) {
    case ImgConnected:  // green plug
        p.setBrush(QColor(40, 170, 60)); p.setPen(Qt::darkGreen);
        p.drawEllipse(2, 2, 12, 12);
        break;
    case ImgDisconnected:  // grey ring
        p.setBrush(Qt::NoBrush); p.setPen(QPen(QColor(130, 130, 130), 2));
        p.drawEllipse(3, 3, 10, 10);
        break;
    case ImgListening:  // blue square with an ear
        p.setBrush(QColor(30, 110, 220)); p.setPen(Qt::darkBlue);
        p.drawRect(2, 2, 12, 12);
        p.setBrush(Qt::white); p.drawEllipse(6, 6, 4, 4);
        break;
    case ImgNotListening:  // red square
        p.setBrush(QColor(210, 60, 50)); p.setPen(Qt::darkRed);
        p.drawRect(2, 2, 12, 12);
        break;
    case ImgUdp:  // orange diamond
        p.setBrush(QColor(240, 150, 30)); p.setPen(QColor(150, 90, 10));
        p.drawPolygon(QPolygon({QPoint(8, 1), QPoint(15, 8), QPoint(8, 15), QPoint(1, 8)}));
        break;
    case ImgGroup:  // purple triple dots
        p.setBrush(QColor(140, 60, 190)); p.setPen(Qt::NoPen);
        p.drawEllipse(1, 9, 6, 6); p.drawEllipse(9, 9, 6, 6); p.drawEllipse(5, 1, 6, 6);
        break;
    default:  // kind root: folder
        p.setBrush(QColor(250, 210, 90)); p.setPen(QColor(170, 130, 30));
        p.drawRect(1, 4, 14, 10);
        p.drawRect(1, 2, 6, 3);
        break;
    }
    p.end();
    QIcon icon(pm);
    cache.insert(image, icon);
    return icon;
}
