#pragma once
// The serial link to the monitor: one port at 9600 8N1, a request sent as a
// whole frame, replies judged by the rule of the most recent request, and a
// 100 ms timer per request kind that gives up on its 13th tick.

#include "serialline.h"
#include <QByteArray>
#include <QObject>

#include <QSerialPort>
#include <QTimer>

class MonitorLink : public QObject
{
    Q_OBJECT

public:
    enum Mode : int {
        NoRequest = 0,
        Configure = 1,
        Query = 2
    };

    static constexpr int kTickMs = 100;
    static constexpr int kTicksBeforeFailure = 12;
    // Lets the rest of a reply arrive before it is judged.
    static constexpr int kReplySettleMs = 50;
    static constexpr int kConfigThreshold = 6;
    static constexpr int kQueryThreshold = 28;

    explicit MonitorLink(QObject *parent = nullptr);

    // Closes the open port, then opens name (a port name or a device path).
    // Failure is silent: the port stays closed and requests time out.
    bool openPort(const QString &name);
    bool isOpen() const;
    QString portName() const;
    // Why the last openPort() failed (empty after a success).
    QString openErrorText() const { return m_openError; }

    // Starts the mode's timer (its tick count is kept), writes the whole
    // frame and discards what was waiting to be read.
    void sendRequest(Mode mode, const QByteArray &frame);

    Mode requestMode() const { return m_mode; }
    int threshold() const { return m_threshold; }
    QByteArray replyBytes() const { return m_reply; }
    int configTicks() const { return m_configTicks; }
    int queryTicks() const { return m_queryTicks; }
    // Bytes received but not yet taken as a reply (fewer than the threshold).
    QByteArray waitingBytes();
    bool configWaiting() const { return m_configTimer.isActive(); }
    bool queryWaiting() const { return m_queryTimer.isActive(); }

signals:
    // Every read taken from the port, before it is judged.
    void replyRead(const QByteArray &bytes);
    void configAccepted();
    void configFailed();
    void queryAccepted(const QByteArray &reply);
    void queryFailed();

private:
    void onReadyRead();
    void onReplySettled();
    void onConfigTick();
    void onQueryTick();

    SerialLine m_line;
    QTimer m_configTimer;
    QTimer m_queryTimer;
    QTimer m_settleTimer;
    Mode m_mode = NoRequest;
    // Before any request every byte is read (and dropped) at once.
    int m_threshold = 1;
    QByteArray m_reply;
    QString m_openError;
    int m_configTicks = 0;
    int m_queryTicks = 0;
};
