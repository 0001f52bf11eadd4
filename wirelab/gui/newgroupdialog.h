#pragma once
// "创建UDP组播": group address and port. The address is not checked here; a
// non-multicast address is reported when the endpoint is created.
// Objects: Label1 "组播地址:  ", Edit1 (default "224.1.1.1"),
// Label2 "组播端口: ", Edit2 (default "65000"), LabelInterface "接口:",
// ComboInterface (editable, the machine's multicast interfaces; empty: the
// system's choice), Button1 "确定", Button2 "取消". The interface is an IPv6
// group's zone, so the box is enabled only while the address is IPv6 and
// names no zone of its own.

#include "gui/creationdialog.h"

#include <QString>

class QComboBox;

class NewGroupDialog : public CreationDialog
{
    Q_OBJECT
public:
    explicit NewGroupDialog(QWidget *parent = nullptr);

    // Valid after OK; the address exactly as typed, with "%" and the chosen
    // interface after an IPv6 one.
    const QString &groupAddress() const { return m_groupAddress; }
    int port() const { return m_port; }

    Endpoint *createEndpoint(EndpointRegistry &registry) const override;

protected:
    void confirm() override;
    void prepare() override;

private:
    QLineEdit *m_addressBox;  // Edit1
    QLineEdit *m_portBox;  // Edit2
    QComboBox *m_interfaceBox;  // ComboInterface
    QString m_groupAddress;
    int m_port = 0;
};
