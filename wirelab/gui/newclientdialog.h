#pragma once
// "创建TCP Client": peer host and port. The host box is refilled with the
// machine's local address every time the dialog is shown.
// Objects: Label1 "对方IP:    ", Edit1 (default "127.0.0.1"),
// Label2 "对方端口:  ", Edit2 (default "60000"), Button1 "确定", Button2 "取消";
// the TLS choice (CheckTls, EditCert, EditKey, EditCa, CheckVerify): checked,
// OK makes a "TLS Client".

#include "gui/creationdialog.h"

#include <QString>

class NewClientDialog : public CreationDialog
{
    Q_OBJECT
public:
    // tls: the TLS choice starts checked (the dialog of the TLS root).
    explicit NewClientDialog(QWidget *parent = nullptr, bool tls = false);

    // Valid after OK; the host exactly as typed.
    const QString &host() const { return m_host; }
    int port() const { return m_port; }

    Endpoint *createEndpoint(EndpointRegistry &registry) const override;

protected:
    void confirm() override;
    void prepare() override;

private:
    QLineEdit *m_hostBox;  // Edit1
    QLineEdit *m_portBox;  // Edit2
    TlsBoxes m_tlsBoxes;
    QString m_host;
    int m_port = 0;
    bool m_tls = false;
    bool m_verify = true;
    TlsCredentials m_credentials;
};
