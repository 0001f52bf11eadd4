#include "serialline.h"

#include "guard.h"

#include <QMetaObject>
#include <QPointer>

SerialLine::SerialLine(QObject *parent) : QObject(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialLine::readyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this,
            guard([this](QSerialPort::SerialPortError e) { onError(e); }));
}

bool SerialLine::open(const QString &name, const Settings &settings)
{
    close();
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty()) {
        m_openError = QStringLiteral("no port name");
        return false;
    }
    m_port.setPortName(trimmed);
    m_port.setBaudRate(settings.baud);
    m_port.setDataBits(settings.dataBits);
    m_port.setParity(settings.parity);
    m_port.setStopBits(settings.stopBits);
    m_port.setFlowControl(settings.flow);
    m_lastErrorText.clear();
    const bool opened = m_port.open(QIODevice::ReadWrite);
    // onError() has already cleared the error the failed open raised.
    m_openError = opened ? QString() : m_lastErrorText;
    m_port.clearError();
    return opened;
}

void SerialLine::close()
{
    m_closePending = false;
    if (m_port.isOpen())
        m_port.close();
}

void SerialLine::onError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError)
        return;
    m_lastErrorText = m_port.errorString();
    // A read that fails after the port said it was readable is a hang-up too:
    // a pseudo-terminal whose other side closed reads end-of-file forever.
    if ((error == QSerialPort::ResourceError || error == QSerialPort::ReadError) && m_port.isOpen()) {
        // Closed after this notification, so it cannot keep firing; told
        // once however often the port complains meanwhile.
        if (m_closePending)
            return;
        m_closePending = true;
        // A read error is a read that got nothing: end-of-file, whose errno
        // (and so the port's error text) is left over from something else.
        const QString reason =
            error == QSerialPort::ReadError ? QStringLiteral("the device hung up") : m_lastErrorText;
        QMetaObject::invokeMethod(this, guard([this, reason] {
                                      if (!m_closePending)
                                          return;  // closed (or reopened) in between: nothing was lost
                                      m_closePending = false;
                                      if (!m_port.isOpen())
                                          return;
                                      m_port.close();
                                      Q_EMIT lost(reason);
                                  }),
                                  Qt::QueuedConnection);
        return;
    }
    // Ioctls a pseudo-terminal cannot do, a failed write, a missing port:
    // not fatal to the port.
    m_port.clearError();
}
