#include "gui/newclientdialog.h"

#include "core/endpoints/tcpclientendpoint.h"
#include "core/endpoints/tlsclientendpoint.h"
#include "core/net/adapterinfo.h"
#include "core/net/portprobe.h"
#include "core/text/intconv.h"

#include <QCheckBox>
#include <QLineEdit>

NewClientDialog::NewClientDialog(QWidget *parent, bool tls) : CreationDialog(tr("创建TCP Client"), parent)
{
    setObjectName(QStringLiteral("frmNewClientSock"));
    m_hostBox = addBox("Label1", tr("对方IP:    "), "Edit1", QStringLiteral("127.0.0.1"));
    m_portBox = addBox("Label2", tr("对方端口:  "), "Edit2", QStringLiteral("60000"));
    m_tlsBoxes = addTlsBoxes(false, tls);
}

void NewClientDialog::confirm()
{
    m_host = m_hostBox->text();
    m_port = checkedPort(tr("对方端口:  ").remove(u':').trimmed(), strToInt(m_portBox->text()));
    m_tls = m_tlsBoxes.tls->isChecked();
    m_verify = m_tlsBoxes.check->isChecked();
    if (m_tls)
        m_credentials = readTls(m_tlsBoxes, false);
    accept();
}

void NewClientDialog::prepare() { m_hostBox->setText(localAdapterAddress()); }

Endpoint *NewClientDialog::createEndpoint(EndpointRegistry &registry) const
{
    if (m_tls)
        return TlsClientEndpoint::create(registry, m_host, m_port, m_credentials, m_verify);
    return TcpClientEndpoint::create(registry, m_host, m_port);
}
