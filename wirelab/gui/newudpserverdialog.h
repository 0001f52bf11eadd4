#pragma once
// "创建UDP Server": the local port, and the one address to bind it on. OK
// keeps the dialog open while the port cannot be bound.
// Objects: Label1 "本地端口    ", Edit1 (default "60000"), LabelBind
// "绑定地址:", EditBind (empty: every address), LabelAddresses "本机地址:",
// TextAddresses (the machine's addresses), Button1 "确定", Button2 "取消".

#include "gui/creationdialog.h"

class NewUdpServerDialog : public CreationDialog
{
    Q_OBJECT
public:
    explicit NewUdpServerDialog(QWidget *parent = nullptr);

    // Valid after OK.
    int localPort() const { return m_localPort; }
    QString bind() const { return m_bind; }

    Endpoint *createEndpoint(EndpointRegistry &registry) const override;

protected:
    void confirm() override;

private:
    QLineEdit *m_localPortBox;  // Edit1
    QLineEdit *m_bindBox;  // EditBind
    int m_localPort = 0;
    QString m_bind;
};
