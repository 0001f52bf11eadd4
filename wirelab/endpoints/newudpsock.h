#pragma once
// "创建UDP Client": destination host and port, local port. The host box is
// refilled with the machine's local address every time the dialog is shown;
// "广播地址" puts the network's broadcast address there instead. OK keeps the
// dialog open while the local port cannot be bound.
// Objects: Label1 "对方IP   ", Edit1 (default "127.0.0.1"), Button3 "广播地址",
// Label2 "对方端口  ", Edit2 (default "60000"), Label3 "本地端口    ",
// Edit3 (default "10000"), Button1 "确定", Button2 "取消".

#include "creationdialog.h"

#include <QString>

class TfrmNewUdpSock : public CreationDialog
{
    Q_OBJECT
public:
    explicit TfrmNewUdpSock(QWidget *parent = nullptr);

    QLineEdit *Edit1;  // destination host
    QLineEdit *Edit2;  // destination port
    QLineEdit *Edit3;  // local port
    QPushButton *Button3;  // 广播地址

    // Valid after OK; the host exactly as typed.
    QString Host;
    int RemotePort = 0;
    int LocalPort = 0;

    void Button3Click();

protected:
    void OkClick() override;
    void FormActivate() override;
};
