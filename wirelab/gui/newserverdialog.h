#pragma once
// "创建TCP Server": the listening port, and the one address to listen on.
// Objects: Label1 "监听端口:  ", Edit1 (default "60000"), LabelBind
// "绑定地址:", EditBind (empty: every address), LabelAddresses "本机地址:",
// TextAddresses (the machine's addresses), Button1 "确定", Button2 "取消";
// the TLS choice (CheckTls, EditCert, EditKey, EditCa, CheckRequireCert):
// checked, OK makes a "TLS Server".

#include "gui/creationdialog.h"

class NewServerDialog : public CreationDialog
{
    Q_OBJECT
public:
    // tls: the TLS choice starts checked (the dialog of the TLS root).
    explicit NewServerDialog(QWidget *parent = nullptr, bool tls = false);

    // Valid after OK.
    int port() const { return m_port; }
    QString bind() const { return m_bind; }

    Endpoint *createEndpoint(EndpointRegistry &registry) const override;

protected:
    void confirm() override;

private:
    QLineEdit *m_portBox;  // Edit1
    QLineEdit *m_bindBox;  // EditBind
    TlsBoxes m_tlsBoxes;
    int m_port = 0;
    QString m_bind;
    bool m_tls = false;
    bool m_requireClientCertificate = false;
    TlsCredentials m_credentials;
};
