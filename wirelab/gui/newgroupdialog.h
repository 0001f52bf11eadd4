#pragma once
// "创建UDP组播": group address and port. The address is not checked here; a
// non-multicast address is reported when the endpoint is created.
// Objects: Label1 "组播地址:  ", Edit1 (default "224.1.1.1"),
// Label2 "组播端口: ", Edit2 (default "65000"), Button1 "确定", Button2 "取消".

#include "gui/creationdialog.h"

#include <QString>

class NewGroupDialog : public CreationDialog
{
    Q_OBJECT
public:
    explicit NewGroupDialog(QWidget *parent = nullptr);

    // Valid after OK; the address exactly as typed.
    const QString &groupAddress() const { return m_groupAddress; }
    int port() const { return m_port; }

    Endpoint *createEndpoint(EndpointRegistry &registry) const override;

protected:
    void confirm() override;

private:
    QLineEdit *m_addressBox;  // Edit1
    QLineEdit *m_portBox;  // Edit2
    QString m_groupAddress;
    int m_port = 0;
};
