#pragma once
// Common frame of the creation dialogs: a cream form with labelled edit
// boxes, "确定" (Button1) and "取消" (Button2). The dialogs are created once
// and reused, so whatever the user typed stays for the next use.
//
// Button1's handler (confirm) runs guarded: a conversion error it raises is
// reported by the default error report and the dialog stays open. Cancel and
// the close box reject.

#include "core/net/tlscredentials.h"

#include <QDialog>

class Endpoint;
class EndpointRegistry;
class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

class CreationDialog : public QDialog
{
    Q_OBJECT
public:
    // Shows the dialog modally through the dialog seam; Accepted or Rejected.
    int run();
    // Creates the dialog's endpoint from the values of the last OK.
    virtual Endpoint *createEndpoint(EndpointRegistry &registry) const = 0;

protected:
    explicit CreationDialog(const QString &caption, QWidget *parent);

    // Adds a row "label  [box]"; label and box get the given object names.
    QLineEdit *addBox(const char *labelName, const QString &label, const char *boxName, const QString &text);
    // Adds a row "label  [field]" for a field of any kind (the label gets
    // labelName and the field as its buddy); returns field.
    QWidget *addRow(const char *labelName, const QString &label, QWidget *field);
    // Adds a widget spanning the box column below the rows so far.
    void addBelow(QWidget *widget);

    // A row "本机地址:" listing the machine's addresses (IPv4, then IPv6),
    // read anew every time the dialog is shown: what a BIND may name.
    // Objects: LabelAddresses, TextAddresses.
    void addLocalAddresses();

    // The TLS choice of a TCP dialog: the switch that makes the endpoint a
    // TLS one, the certificate, key and CA files (each with a button that
    // picks a file), and the verify switch (a client's) or the
    // require-a-client-certificate switch (a server's). The files and the
    // second switch are enabled while TLS is chosen.
    struct TlsBoxes
    {
        QCheckBox *tls = nullptr;  // CheckTls
        QLineEdit *cert = nullptr;  // EditCert, ButtonCert
        QLineEdit *key = nullptr;  // EditKey, ButtonKey
        QLineEdit *ca = nullptr;  // EditCa, ButtonCa
        QCheckBox *check = nullptr;  // CheckVerify (client), CheckRequireCert (server)
    };
    TlsBoxes addTlsBoxes(bool server, bool tlsChosen);
    // The files the boxes name, read and checked; throws WireError naming
    // the file and the reason (the dialog stays open).
    static TlsCredentials readTls(const TlsBoxes &boxes, bool server);

    // The OK handler; close with accept() when the values are good.
    virtual void confirm() = 0;
    // Runs the first time the dialog becomes active after each showing.
    virtual void prepare() {}

    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void activated();

    QGridLayout *m_grid;
    QPushButton *m_okButton;  // Button1, 确定
    QPushButton *m_cancelButton;  // Button2, 取消
    QLabel *m_addresses = nullptr;  // TextAddresses
    bool m_activatePending = false;
};
