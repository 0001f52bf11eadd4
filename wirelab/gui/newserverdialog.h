#pragma once
// "创建TCP Server": the listening port, and the one address to listen on.
// Objects: Label1 "监听端口:  ", Edit1 (default "60000"), LabelBind
// "绑定地址:", EditBind (empty: every address), Button1 "确定", Button2 "取消".

#include "gui/creationdialog.h"

class NewServerDialog : public CreationDialog
{
    Q_OBJECT
public:
    explicit NewServerDialog(QWidget *parent = nullptr);

    // Valid after OK.
    int port() const { return m_port; }
    QString bind() const { return m_bind; }

    Endpoint *createEndpoint(EndpointRegistry &registry) const override;

protected:
    void confirm() override;

private:
    QLineEdit *m_portBox;  // Edit1
    QLineEdit *m_bindBox;  // EditBind
    int m_port = 0;
    QString m_bind;
};
