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
    m_line.port().setReadBufferSize(1024);

    connect(&m_line, &SerialLine::readyRead, this, guard([this] { onReadyRead(); }));
    // A device that goes away is closed by the line; requests then time out
    // until the user picks a port again.
    connect(&m_settleTimer, &QTimer::timeout, this, guard([this] { onReplySettled(); }));
    connect(&m_configTimer, &QTimer::timeout, this, guard([this] { onConfigTick(); }));
    connect(&m_queryTimer, &QTimer::timeout, this, guard([this] { onQueryTick(); }));
}

bool MonitorLink::openPort(const QString &name)
{
    m_line.close();
    m_settleTimer.stop();
    if (name.trimmed().isEmpty()) {
        m_openError = tr("没有串口名");
        return false;
    }
    // 9600 8N1 without flow control: the line's defaults.
    const bool opened = m_line.open(name, SerialLine::Settings());
    m_openError = opened ? QString() : m_line.errorText();
    return opened;
}

bool MonitorLink::isOpen() const { return m_line.isOpen(); }

QString MonitorLink::portName() const { return m_line.portName(); }

QByteArray MonitorLink::waitingBytes()
{
    return m_line.port().isOpen() ? m_line.port().peek(m_line.port().bytesAvailable()) : QByteArray();
}

void MonitorLink::sendRequest(Mode mode, const QByteArray &frame)
{
    m_threshold = mode == Configure ? kConfigThreshold : kQueryThreshold;
    m_mode = mode;
    QTimer &timer = mode == Configure ? m_configTimer : m_queryTimer;
    // A second click keeps the running timer and its count.
    if (!timer.isActive())
        timer.start();
    if (!m_line.port().isOpen())
        return;
    m_line.port().write(frame);
    // Only the receive side is reset: the frame just queued must go out whole.
    m_line.port().clear(QSerialPort::Input);
}

void MonitorLink::onReadyRead()
{
    if (!m_settleTimer.isActive() && m_line.port().bytesAvailable() >= m_threshold)
        m_settleTimer.start();
}

void MonitorLink::onReplySettled()
{
    if (!m_line.port().isOpen())
        return;
    const qint64 waiting = m_line.port().bytesAvailable();
    if (waiting > kQueryThreshold)
        m_threshold = int(qMin<qint64>(waiting, INT_MAX));
    m_reply = m_line.port().readAll();
    m_line.port().clear(QSerialPort::Input);
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
