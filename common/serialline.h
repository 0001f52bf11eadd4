#pragma once
// SerialLine: one serial port, opened by name or device path with its line
// settings, as both programs use it. It keeps what serial devices do from
// reaching its users as failures they must handle each time:
// - an ioctl a pseudo-terminal cannot do (DTR, RTS) is not a failure: the
//   port keeps working and the error is cleared;
// - a device that goes away while open (an unplugged adapter, the other end
//   of a pseudo-terminal closed, which then reads end-of-file forever) is
//   closed once, from the event loop, and told once through lost().

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

class SerialLine : public QObject
{
    Q_OBJECT
public:
    struct Settings
    {
        qint32 baud = 9600;
        QSerialPort::DataBits dataBits = QSerialPort::Data8;
        QSerialPort::Parity parity = QSerialPort::NoParity;
        QSerialPort::StopBits stopBits = QSerialPort::OneStop;
        QSerialPort::FlowControl flow = QSerialPort::NoFlowControl;
    };

    explicit SerialLine(QObject *parent = nullptr);

    // Closes what is open, then opens name (trimmed) read-write with the
    // settings. On failure the port stays closed and errorText() says why.
    bool open(const QString &name, const Settings &settings);
    // Closes the port; nothing is signalled.
    void close();
    bool isOpen() const { return m_port.isOpen(); }
    QString portName() const { return m_port.portName(); }
    // Why the last open() failed (empty after a success).
    QString errorText() const { return m_openError; }

    // The port itself, for reading, writing and its buffers.
    QSerialPort &port() { return m_port; }

Q_SIGNALS:
    void readyRead();
    // The device went away while open; the port is already closed. reason:
    // the system's text, or "the device hung up" for an end of file.
    void lost(const QString &reason);

private:
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    QString m_openError;
    QString m_lastErrorText;
    bool m_closePending = false;
};
