#include "monitorlink.h"

#include "guard.h"
#include "replyrules.h"

#include <climits>

MonitorLink::MonitorLink(QObject *parent) : QObject(parent)
{
    m_configTimer.setInterval(kTickMs);
    m_queryTimer.setInterval(kTickMs);
    m_settleTimer.setInterval(kReplySettleMs);
    m_settleTimer.setSingleShot(true);
    // The receive side holds at most 1 KiB, like the monitor's own tool did.
    m_port.setReadBufferSize(1024);

    connect(&m_port, &QSerialPort::readyRead, this, guard([this] { onReadyRead(); }));
    connect(&m_port, &QSerialPort::errorOccurred, this,
            guard([this](QSerialPort::SerialPortError e) { onPortError(e); }));
    connect(&m_settleTimer, &QTimer::timeout, this, guard([this] { onReplySettled(); }));
    connect(&m_configTimer, &QTimer::timeout, this, guard([this] { onConfigTick(); }));
    connect(&m_queryTimer, &QTimer::timeout, this, guard([this] { onQueryTick(); }));
}

bool MonitorLink::openPort(const QString &name)
{
    if (m_port.isOpen())
        m_port.close();
    m_settleTimer.stop();
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty()) {
        m_openError = tr("没有串口名");
        return false;
    }
    m_port.setPortName(trimmed);
    m_port.setBaudRate(QSerialPort::Baud9600);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_lastErrorText.clear();
    const bool opened = m_port.open(QIODevice::ReadWrite);
    // onPortError() has already cleared the error the failed open raised.
    m_openError = opened ? QString() : m_lastErrorText;
    m_port.clearError();
    return opened;
}

bool MonitorLink::isOpen() const { return m_port.isOpen(); }

QString MonitorLink::portName() const { return m_port.portName(); }

QByteArray MonitorLink::waitingBytes()
{
    return m_port.isOpen() ? m_port.peek(m_port.bytesAvailable()) : QByteArray();
}

void MonitorLink::sendRequest(Mode mode, const QByteArray &frame)
{
    m_threshold = mode == Configure ? kConfigThreshold : kQueryThreshold;
    m_mode = mode;
    QTimer &timer = mode == Configure ? m_configTimer : m_queryTimer;
    // A second click keeps the running timer and its count.
    if (!timer.isActive())
        timer.start();
    if (!m_port.isOpen())
        return;
    m_port.write(frame);
    // Only the receive side is reset: the frame just queued must go out whole.
    m_port.clear(QSerialPort::Input);
}

void MonitorLink::onReadyRead()
{
    if (!m_settleTimer.isActive() && m_port.bytesAvailable() >= m_threshold)
        m_settleTimer.start();
}

void MonitorLink::onReplySettled()
{
    if (!m_port.isOpen())
        return;
    const qint64 waiting = m_port.bytesAvailable();
    if (waiting > kQueryThreshold)
        m_threshold = int(qMin<qint64>(waiting, INT_MAX));
    m_reply = m_port.readAll();
    m_port.clear(QSerialPort::Input);
    if (m_reply.isEmpty())
        return;
    emit replyRead(m_reply);

    if (m_mode == Configure) {
        if (IsConfigReply(m_reply)) {
            m_configTimer.stop();
            m_configTicks = 0;
            emit configAccepted();
        }
    } else if (m_mode == Query) {
        if (IsQueryReply(m_reply)) {
            m_queryTimer.stop();
            m_queryTicks = 0;
            emit queryAccepted(m_reply);
        } else {
            emit queryFailed();
        }
    }
    // With no request sent yet the bytes are simply dropped.
}

void MonitorLink::onConfigTick()
{
    if (m_configTicks < kTicksBeforeFailure) {
        ++m_configTicks;
        return;
    }
    m_configTimer.stop();
    m_configTicks = 0;
    emit configFailed();
}

void MonitorLink::onQueryTick()
{
    if (m_queryTicks < kTicksBeforeFailure) {
        ++m_queryTicks;
        return;
    }
    m_queryTimer.stop();
    m_queryTicks = 0;
    emit queryFailed();
}

void MonitorLink::onPortError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError)
        return;
    m_lastErrorText = m_port.errorString();
    // A read that fails after the port said it was readable is a hang-up too:
    // a pseudo-terminal whose other side closed reads end-of-file forever.
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError) {
        // The device went away (a closed line, an unplugged adapter): close it
        // after this notification so it cannot keep firing. Requests then time
        // out until the user picks a port again.
        QMetaObject::invokeMethod(this, guard([this] {
                                      if (m_port.isOpen())
                                          m_port.close();
                                  }),
                                  Qt::QueuedConnection);
        return;
    }
    // Ioctls a pseudo-terminal cannot do, a failed write, a missing port: the
    // outcome shows only as a timeout, never as a message.
    m_port.clearError();
}
