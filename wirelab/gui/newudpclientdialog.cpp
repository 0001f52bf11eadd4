#include "gui/newudpclientdialog.h"

#include "core/endpoints/udpclientendpoint.h"
#include "core/net/adapterinfo.h"
#include "core/net/portprobe.h"
#include "core/text/intconv.h"
#include "guard.h"
#include "messageseam.h"

#include <QLineEdit>
#include <QPushButton>

NewUdpClientDialog::NewUdpClientDialog(QWidget *parent) : CreationDialog(tr("创建UDP Client"), parent)
{
    setObjectName(QStringLiteral("frmNewUdpSock"));
    m_hostBox = addBox("Label1", tr("对方IP   "), "Edit1", QStringLiteral("127.0.0.1"));
    m_broadcastButton = new QPushButton(tr("广播地址"), this);
    m_broadcastButton->setObjectName(QStringLiteral("Button3"));
    m_broadcastButton->setAutoDefault(false);
    addBelow(m_broadcastButton);
    m_remotePortBox = addBox("Label2", tr("对方端口  "), "Edit2", QStringLiteral("60000"));
    m_localPortBox = addBox("Label3", tr("本地端口    "), "Edit3", QStringLiteral("10000"));
    connect(m_broadcastButton, &QPushButton::clicked, this, guard([this] { fillBroadcastAddress(); }));
}

void NewUdpClientDialog::confirm()
{
    m_host = m_hostBox->text();
    m_remotePort = checkedPort(tr("对方端口  ").remove(u':').trimmed(), strToInt(m_remotePortBox->text()));
    m_localPort = checkedPort(tr("本地端口    ").remove(u':').trimmed(), strToInt(m_localPortBox->text()));
    if (!portProbe(m_localPort)) {
        MessageSeam::show(tr("本地端口已被占用，请重新选择本地端口号"));
        return;
    }
    accept();
}

void NewUdpClientDialog::prepare() { m_hostBox->setText(localAdapterAddress()); }

void NewUdpClientDialog::fillBroadcastAddress()
{
    bool warn = false;
    const QString broadcast = broadcastAddress(systemAdapters(), &warn);
    if (warn)
        MessageSeam::show(tr("请检查本机网络连接是否正常"));
    m_hostBox->setText(broadcast);
}

Endpoint *NewUdpClientDialog::createEndpoint(EndpointRegistry &registry) const
{
    return UdpClientEndpoint::create(registry, m_host, m_remotePort, m_localPort);
}
