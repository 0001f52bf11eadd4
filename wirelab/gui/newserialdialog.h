#pragma once
// "新建串口连接": a serial port and its line settings. The port box lists the
// ports the system reports, read again each time the dialog is shown (the
// name; its description and USB ids under the box and as the item's tip),
// and takes any typed name or device path, so a pseudo-terminal, which is
// never listed, is opened by its path. The baud box offers the common rates
// and takes any positive integer; the other boxes offer the kind's choices
// (serialsettings.h), the defaults chosen at first.
// Objects: portLabel/portCombo, portInfoLabel, baudLabel/baudCombo,
// dataBitsLabel/dataBitsCombo, parityLabel/parityCombo,
// stopBitsLabel/stopBitsCombo, flowLabel/flowCombo, Button1 "确定",
// Button2 "取消".

#include "gui/creationdialog.h"
#include "serialline.h"

#include <QString>

class QComboBox;

class NewSerialDialog : public CreationDialog
{
    Q_OBJECT
public:
    explicit NewSerialDialog(QWidget *parent = nullptr);

    // Valid after OK; the device trimmed.
    const QString &device() const { return m_device; }
    const SerialLine::Settings &settings() const { return m_settings; }

    Endpoint *createEndpoint(EndpointRegistry &registry) const override;

protected:
    void confirm() override;
    void prepare() override;

private:
    // Fills the port box from the system's list, keeping what it shows.
    void listPorts();
    void showPortInfo();

    QComboBox *m_portBox;
    QLabel *m_portInfo;
    QComboBox *m_baudBox;
    QComboBox *m_dataBitsBox;
    QComboBox *m_parityBox;
    QComboBox *m_stopBitsBox;
    QComboBox *m_flowBox;
    QString m_device;
    SerialLine::Settings m_settings;
};
