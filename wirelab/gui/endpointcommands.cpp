#include "gui/endpointcommands.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/registry.h"
#include "core/endpoints/tcpclientendpoint.h"
#include "core/endpoints/tcpserverendpoint.h"
#include "core/endpoints/udpclientendpoint.h"
#include "core/endpoints/udpgroupendpoint.h"
#include "core/endpoints/udpserverendpoint.h"
#include "core/workbench/workbench.h"
#include "gui/endpointtree.h"
#include "gui/newclientdialog.h"
#include "gui/newgroupdialog.h"
#include "gui/newserverdialog.h"
#include "gui/newudpclientdialog.h"
#include "gui/newudpserverdialog.h"

#include <QPointer>
#include <QTreeWidget>

EndpointCommands::EndpointCommands(EndpointRegistry &registry, EndpointTree &tree, QWidget *dialogParent)
    : QObject(dialogParent), m_registry(registry), m_tree(tree)
{
    m_newServer = new NewServerDialog(dialogParent);
    m_newClient = new NewClientDialog(dialogParent);
    m_newUdpClient = new NewUdpClientDialog(dialogParent);
    m_newGroup = new NewGroupDialog(dialogParent);
    m_newUdpServer = new NewUdpServerDialog(dialogParent);
}

EndpointCommands::~EndpointCommands()
{
    delete m_newUdpServer;
    delete m_newGroup;
    delete m_newUdpClient;
    delete m_newClient;
    delete m_newServer;
}

void EndpointCommands::create()
{
    QPointer<QTreeWidget> view(m_tree.view());
    if (!view || !view->currentItem())
        return;
    if (QTreeWidgetItem *parent = view->currentItem()->parent())
        view->setCurrentItem(parent);

    // Each comparison looks at the node selected at that moment: a creation
    // selects its new node, so no later kind matches.
    auto rootSelected = [&](EndpointKind kind) {
        return view && EndpointTree::rootKindOf(view->currentItem()) == kind;
    };

    if (rootSelected(EndpointKind::TcpServer)) {
        if (m_newServer->run() == QDialog::Accepted)
            TcpServerEndpoint::create(m_registry, m_newServer->port());
    }
    if (rootSelected(EndpointKind::TcpClient)) {
        if (m_newClient->run() == QDialog::Accepted)
            TcpClientEndpoint::create(m_registry, m_newClient->host(), m_newClient->port());
    }
    if (rootSelected(EndpointKind::UdpClient)) {
        if (m_newUdpClient->run() == QDialog::Accepted)
            UdpClientEndpoint::create(m_registry, m_newUdpClient->host(), m_newUdpClient->remotePort(),
                                      m_newUdpClient->localPort());
    }
    if (rootSelected(EndpointKind::UdpServer)) {
        if (m_newUdpServer->run() == QDialog::Accepted)
            UdpServerEndpoint::create(m_registry, m_newUdpServer->localPort());
    }
    if (rootSelected(EndpointKind::UdpGroup)) {
        if (m_newGroup->run() == QDialog::Accepted)
            UdpGroupEndpoint::create(m_registry, m_newGroup->groupAddress(), m_newGroup->port(),
                                     UdpGroupEndpoint::Path::Dialog);
    }

    if (m_registry.count() > 0)
        Q_EMIT welcomeWanted(false);
}

void EndpointCommands::deleteSelected()
{
    Endpoint *selected = m_tree.selectedEndpoint();
    if (!selected)
        return;
    Workbench::deleteEndpoint(*selected);
    if (m_registry.count() == 0)
        Q_EMIT welcomeWanted(true);
}

void EndpointCommands::stop(QWidget *sender)
{
    const QPointer<QWidget> button(sender);
    Endpoint *e = m_tree.selectedEndpoint();
    if (!e)
        return;
    if (!Workbench::disconnectEndpoint(*e))
        Workbench::listen(*e, false);
    if (button)
        button->setEnabled(false);
}
