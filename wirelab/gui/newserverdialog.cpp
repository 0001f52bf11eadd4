#include "gui/newserverdialog.h"

#include "core/endpoints/tcpserverendpoint.h"
#include "core/endpoints/tlsserverendpoint.h"
#include "core/net/addresstext.h"
#include "core/net/portprobe.h"
#include "core/text/intconv.h"

#include <QCheckBox>
#include <QLineEdit>

NewServerDialog::NewServerDialog(QWidget *parent, bool tls) : CreationDialog(tr("创建TCP Server"), parent)
{
    setObjectName(QStringLiteral("frmNewServerSock"));
    m_portBox = addBox("Label1", tr("监听端口:  "), "Edit1", QStringLiteral("60000"));
    m_bindBox = addBox("LabelBind", tr("绑定地址:"), "EditBind", QString());
    m_bindBox->setPlaceholderText(tr("全部地址"));
    addLocalAddresses();
    m_tlsBoxes = addTlsBoxes(true, tls);
}

void NewServerDialog::confirm()
{
    m_port = checkedPort(tr("监听端口:  ").remove(u':').trimmed(), strToInt(m_portBox->text()));
    bindAddress(m_bindBox->text());  // refused here, the dialog stays open
    m_bind = m_bindBox->text().trimmed();
    m_tls = m_tlsBoxes.tls->isChecked();
    m_requireClientCertificate = m_tlsBoxes.check->isChecked();
    if (m_tls)
        m_credentials = readTls(m_tlsBoxes, true);
    accept();
}

Endpoint *NewServerDialog::createEndpoint(EndpointRegistry &registry) const
{
    if (m_tls)
        return TlsServerEndpoint::create(registry, m_port, m_credentials, m_requireClientCertificate, m_bind);
    return TcpServerEndpoint::create(registry, m_port, m_bind);
}
