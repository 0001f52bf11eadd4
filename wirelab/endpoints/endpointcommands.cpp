#include "endpointcommands.h"

#include "kinds.h"
#include "newclientsock.h"
#include "newgroupsock.h"
#include "newserversock.h"
#include "newudpserver.h"
#include "newudpsock.h"
#include "tcpclientendpoint.h"
#include "tcpserverendpoint.h"
#include "udpendpoints.h"
#include "udpgroupendpoint.h"
#include "workbench.h"

#include <QPointer>
#include <QTreeWidget>

EndpointCommands::EndpointCommands(Workbench &wb, QWidget *dialogParent)
    : m_wb(wb)
{
    frmNewServerSock = new TfrmNewServerSock(dialogParent);
    frmNewClientSock = new TfrmNewClientSock(dialogParent);
    frmNewUdpSock = new TfrmNewUdpSock(dialogParent);
    frmNewGroupSock = new TfrmNewGroupSock(dialogParent);
    frmNewUDPServer = new TfrmNewUDPServer(dialogParent);
}

EndpointCommands::~EndpointCommands()
{
    delete frmNewUDPServer;
    delete frmNewGroupSock;
    delete frmNewUdpSock;
    delete frmNewClientSock;
    delete frmNewServerSock;
}

void EndpointCommands::Create()
{
    QPointer<QTreeWidget> tree(m_wb.tree());
    if (!tree || !tree->currentItem())
        return;
    if (QTreeWidgetItem *parent = tree->currentItem()->parent())
        tree->setCurrentItem(parent);

    // Each comparison looks at the node selected at that moment: a creation
    // selects its new node, so no later kind matches.
    auto selectedRoot = [&](const QString &kind) -> QTreeWidgetItem * {
        if (!tree)
            return nullptr;
        QTreeWidgetItem *current = tree->currentItem();
        return current && current->text(0) == kind ? current : nullptr;
    };

    if (QTreeWidgetItem *root = selectedRoot(Kind::TcpServer)) {
        if (frmNewServerSock->Run() == QDialog::Accepted)
            TcpServerEndpoint::Create(m_wb, frmNewServerSock->Port, root);
    }
    if (QTreeWidgetItem *root = selectedRoot(Kind::TcpClient)) {
        if (frmNewClientSock->Run() == QDialog::Accepted)
            TcpClientEndpoint::Create(m_wb, frmNewClientSock->Host, frmNewClientSock->Port, root);
    }
    if (QTreeWidgetItem *root = selectedRoot(Kind::UdpClient)) {
        if (frmNewUdpSock->Run() == QDialog::Accepted)
            UdpEndpoints::CreateClient(m_wb, frmNewUdpSock->Host, frmNewUdpSock->RemotePort,
                                       frmNewUdpSock->LocalPort, root);
    }
    if (QTreeWidgetItem *root = selectedRoot(Kind::UdpServer)) {
        if (frmNewUDPServer->Run() == QDialog::Accepted)
            UdpEndpoints::CreateServer(m_wb, frmNewUDPServer->LocalPort, root);
    }
    if (QTreeWidgetItem *root = selectedRoot(Kind::UdpGroup)) {
        if (frmNewGroupSock->Run() == QDialog::Accepted)
            UdpGroupEndpoint::Create(m_wb, frmNewGroupSock->GroupAddress, frmNewGroupSock->Port, root,
                                     UdpGroupEndpoint::Path::Dialog);
    }

    if (m_wb.registry().count() > 0)
        m_wb.setWelcomeVisible(false);
}

void EndpointCommands::Delete() { m_wb.DeleteSelected(); }
