#include "gui/newgroupdialog.h"

#include "core/endpoints/udpgroupendpoint.h"
#include "core/net/portprobe.h"
#include "core/text/intconv.h"

#include <QComboBox>
#include <QLineEdit>
#include <QNetworkInterface>

namespace {

// An IPv6 address without a zone: the one kind of group the interface box
// completes.
bool TakesInterface(const QString &address) { return address.contains(u':') && !address.contains(u'%'); }

}  // namespace

NewGroupDialog::NewGroupDialog(QWidget *parent) : CreationDialog(tr("创建UDP组播"), parent)
{
    setObjectName(QStringLiteral("frmNewGroupSock"));
    m_addressBox = addBox("Label1", tr("组播地址:  "), "Edit1", QStringLiteral("224.1.1.1"));
    m_portBox = addBox("Label2", tr("组播端口: "), "Edit2", QStringLiteral("65000"));
    m_interfaceBox = new QComboBox(this);
    m_interfaceBox->setObjectName(QStringLiteral("ComboInterface"));
    m_interfaceBox->setEditable(true);
    m_interfaceBox->setInsertPolicy(QComboBox::NoInsert);
    m_interfaceBox->lineEdit()->setPlaceholderText(tr("默认接口"));
    addRow("LabelInterface", tr("接口:"), m_interfaceBox);
    const auto enable = [this](const QString &address) {
        m_interfaceBox->setEnabled(TakesInterface(address));
    };
    connect(m_addressBox, &QLineEdit::textChanged, this, enable);
    enable(m_addressBox->text());
}

void NewGroupDialog::prepare()
{
    // Interfaces come and go: the list is read anew, what was typed stays.
    const QString chosen = m_interfaceBox->currentText();
    m_interfaceBox->clear();
    m_interfaceBox->addItem(QString());
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &i : interfaces) {
        if (i.flags().testFlag(QNetworkInterface::IsUp)
            && i.flags().testFlag(QNetworkInterface::CanMulticast))
            m_interfaceBox->addItem(i.name());
    }
    m_interfaceBox->setEditText(chosen);
}

void NewGroupDialog::confirm()
{
    m_groupAddress = m_addressBox->text();
    const QString zone = m_interfaceBox->currentText().trimmed();
    if (m_interfaceBox->isEnabled() && !zone.isEmpty())
        m_groupAddress = m_groupAddress.trimmed() + u'%' + zone;
    m_port = checkedPort(tr("组播端口: ").remove(u':').trimmed(), strToInt(m_portBox->text()));
    accept();
}

Endpoint *NewGroupDialog::createEndpoint(EndpointRegistry &registry) const
{
    return UdpGroupEndpoint::create(registry, m_groupAddress, m_port, UdpGroupEndpoint::Path::Dialog);
}
