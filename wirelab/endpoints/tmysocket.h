#pragma once
// TMySocket: the record of one endpoint. It ties the kind, the socket object
// that carries the traffic, the tree node, the data window and the addresses
// together. The registry owns records; a record refers to, but does not own,
// its component, node and window.

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <vector>

class TFrmData;
class EndpointNode;
class TNMUDP;
class GroupSocket;
struct TSocketTimer;

// A QObject only so that QPointer<TMySocket> can tell whether a record is
// still alive after nested event processing; it has no signals of its own.
class TMySocket : public QObject
{
    Q_OBJECT
public:
    TMySocket();
    ~TMySocket() override;

    QString created;             // local short date + " " + long time
    QString kind;                // one of Kind::*
    QPointer<QObject> component; // QTcpServer, QTcpSocket or TNMUDP; null for groups
    EndpointNode *node = nullptr;  // cleared when the node is deleted
    int state = 0;               // 1 active (listening, connected, able to send)
    int localPort = 0;
    QString localAddress;
    int remotePort = 0;
    QString remoteHost;
    QPointer<TFrmData> window;
    QPointer<TNMUDP> udpClient;
    QPointer<TNMUDP> udpServer;
    QPointer<GroupSocket> groupSocket;
    int groupPort = 0;
    QString groupAddress;
    std::vector<std::unique_ptr<TSocketTimer>> timers;

    // The endpoint name: the caption of the data window ("" without one).
    QString name() const;
};

// Current local date and time as the record's creation text.
QString CreationTimeText();
