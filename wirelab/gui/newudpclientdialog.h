#pragma once
// "创建UDP Client": destination host and port, local port. The host box is
// refilled with the machine's local address every time the dialog is shown;
// "广播地址" puts the network's broadcast address there instead. OK keeps the
// dialog open while the local port cannot be bound.
// Objects: Label1 "对方IP   ", Edit1 (default "127.0.0.1"), Button3 "广播地址",
// Label2 "对方端口  ", Edit2 (default "60000"), Label3 "本地端口    ",
// Edit3 (default "10000"), Button1 "确定", Button2 "取消".

#include "gui/creationdialog.h"

#include <QString>

class NewUdpClientDialog : public CreationDialog
{
    Q_OBJECT
public:
    explicit NewUdpClientDialog(QWidget *parent = nullptr);

    // Valid after OK; the host exactly as typed.
    const QString &host() const { return m_host; }
    int remotePort() const { return m_remotePort; }
    int localPort() const { return m_localPort; }

    Endpoint *createEndpoint(EndpointRegistry &registry) const override;

protected:
    void confirm() override;
    void prepare() override;

private:
    void fillBroadcastAddress();

    QLineEdit *m_hostBox;  // Edit1
    QLineEdit *m_remotePortBox;  // Edit2
    QLineEdit *m_localPortBox;  // Edit3
    QPushButton *m_broadcastButton;  // Button3
    QString m_host;
    int m_remotePort = 0;
    int m_localPort = 0;
};
