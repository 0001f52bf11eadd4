#pragma once
// Endpoint: what one endpoint is, whatever shows it. Its kind and state,
// name, addresses and ports, creation time, hex mode, byte counters, script
// timers and its log (the lines of its receive pane and more). Views (a data window, the
// headless log) draw from its signals and ask it to act through the
// commands below; it knows none of them.
//
// One subclass per kind carries the traffic (TcpServerEndpoint,
// TcpConnectionEndpoint, TcpClientEndpoint, UdpServerEndpoint,
// UdpClientEndpoint, UdpGroupEndpoint, SerialEndpoint). The registry owns
// every endpoint.

#include "core/endpoints/endpointkind.h"
#include "core/endpoints/scripttimer.h"
#include "core/log/endpointlog.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class EndpointRegistry;

class Endpoint : public QObject
{
    Q_OBJECT
public:
    ~Endpoint() override;

    EndpointKind kind() const { return m_kind; }
    EndpointRegistry &registry() const { return m_registry; }

    // The name the scripts address it by; "数据收发窗口" until it is named.
    const QString &name() const { return m_name; }
    void setName(const QString &name);
    // The text of its tree node ("127.0.0.1[60000]"), fixed at creation.
    const QString &caption() const { return m_caption; }
    // Local short date and long time of creation.
    const QString &created() const { return m_created; }

    EndpointState state() const { return m_state; }
    bool isActive() const { return m_state == EndpointState::Active; }
    // The views see a new state with the next refreshStatus().
    void setState(EndpointState state) { m_state = state; }

    QString localAddress() const { return m_localAddress; }
    int localPort() const { return m_localPort; }
    QString remoteHost() const { return m_remoteHost; }
    int remotePort() const { return m_remotePort; }

    StateImage image() const { return m_image; }
    void setImage(StateImage image);

    // Received and sent data are shown (and typed) in hexadecimal as well.
    bool hexMode() const { return m_hexMode; }
    void setHexMode(bool on);

    // Bytes received, and bytes handed to the send routine, since creation
    // or the last reset.
    qint64 receivedBytes() const { return m_received; }
    qint64 sentBytes() const { return m_sent; }
    void countSent(qint64 bytes);
    void resetCounters();
    // Tells the views that the counters changed: the receive sequence and
    // the data window's send decide when (countSent() alone does not).
    void announceCounters() { Q_EMIT countersChanged(); }

    // Everything the endpoint logged: every view reads it from here.
    EndpointLog &log() { return m_log; }
    const EndpointLog &log() const { return m_log; }
    // Logs a line of text (a DISPLAY action's by default).
    void appendLine(const QString &text, LineKind kind = LineKind::Displayed)
    {
        m_log.appendText(kind, text);
    }

    // A notice about the endpoint ("Client Socket异常,代码=10053"), told
    // with the time it happened: a data window puts it into its send pane
    // after the date and time. It is logged as an extra record too.
    void notice(const QString &text);
    // A failure the send pane does not show (a port in use, a datagram the
    // system refused): an extra record of the log alone.
    void logNotice(const QString &text) { m_log.appendText(LineKind::Notice, text, true); }
    // The same from the event loop, for a failure while the endpoint is
    // being made: it is named after that, and its log's readers name it.
    void logNoticeLater(const QString &text);

    std::vector<std::unique_ptr<ScriptTimer>> &timers() { return m_timers; }
    const std::vector<std::unique_ptr<ScriptTimer>> &timers() const { return m_timers; }

    // The commands. Each kind does what applies to it; the rest do nothing.
    // "启动监听" / "连接": shows its failure in a message box.
    virtual void start() {}
    // The stop command ("停止监听" / "断开").
    virtual void stop() {}
    // The CONNECT action: throws WireError when the connect cannot start.
    virtual void open() {}
    // The DISCONNECT action: closes a connected TCP client or connection.
    virtual void closeConnection() {}
    // Sends one block (the SEND action and the data window's send): a
    // notice line instead when the endpoint cannot send. Events may be
    // handled while it waits; the endpoint may be gone afterwards. Returns
    // whether the block went out (was handed to the system).
    virtual bool send(const QByteArray &block) = 0;
    // Why the last start failed, while the endpoint is still inactive; ""
    // when it did not fail, or when the kind tells it later (a connect
    // going on in the background).
    virtual QString startFailure() const { return QString(); }
    // Whether the endpoint may be deleted now (a server holding live
    // connections may not).
    virtual bool mayDelete() const { return true; }
    // Closes and frees the endpoint's socket before it is deleted; events
    // may be handled (an OnDisConnect), so the endpoint may be gone after.
    virtual void closeForDeletion() {}

    // Tells the views to redraw the status area from the endpoint now.
    void refreshStatus() { Q_EMIT statusChanged(); }

    // The port a notice names: the one in use, which differs from
    // localPort() when the system chose it (port 0).
    virtual int portInUse() const { return m_localPort; }

Q_SIGNALS:
    void countersChanged();
    void statusChanged();
    void hexModeChanged(bool on);
    void imageChanged(StateImage image);
    void nameChanged(const QString &from, const QString &to);
    void noticed(qint64 at, const QString &text);

protected:
    Endpoint(EndpointKind kind, EndpointRegistry &registry);

    void setCaption(const QString &caption) { m_caption = caption; }
    void setLocal(const QString &address, int port)
    {
        m_localAddress = address;
        m_localPort = port;
    }
    void setLocalPort(int port) { m_localPort = port; }
    void setRemote(const QString &host, int port)
    {
        m_remoteHost = host;
        m_remotePort = port;
    }

    // Where the counter text is written in the receive sequence.
    enum class CounterOrder {
        BeforeScript,  // TCP kinds, UDP client
        AfterScript,  // UDP server, group
    };
    // The receive sequence of every receiving kind: the log line (time,
    // "收到数据：", hex form in hex mode, the bytes), the received counter,
    // then OnRead(a, b) and the actions. A script error leaves here.
    // withBytes: OnRead also gets the bytes as compact hex, fifth (the
    // datagram kinds, whose a and b name the sender).
    void receive(const QByteArray &data, const QString &a, int b, CounterOrder order, bool withBytes = false);
    // The receive sequence of a stream (the TCP kinds, the serial port): a
    // is the block as compact hex, b is 0, the counter comes before the
    // script. The hex of a large block is made only when the scripts may
    // read it.
    void receiveStream(const QByteArray &data);
    // OnSocketEvent(name, event, a, b[, data]) and the actions, through the
    // registry's event handler; a script error leaves here.
    void socketEvent(const QString &event, const QString &a, int b,
                     const std::optional<QString> &data = std::nullopt);
    // A connect that failed or an error the socket reported: a notice with
    // the reason, then OnSocketError(name, reason) when the scripts define
    // it; a script error leaves here.
    void socketError(const QString &notice, const QString &reason);

private:
    void receiveWith(const QByteArray &data, const QString *a, int b, CounterOrder order, bool withBytes);
    QString streamText(const QByteArray &data) const;

    const EndpointKind m_kind;
    EndpointRegistry &m_registry;
    QString m_name;
    QString m_caption;
    QString m_created;
    EndpointState m_state = EndpointState::Inactive;
    QString m_localAddress;
    int m_localPort = 0;
    QString m_remoteHost;
    int m_remotePort = 0;
    StateImage m_image = StateImage::None;
    bool m_hexMode = true;  // the data window's hex box starts checked
    qint64 m_received = 0;
    qint64 m_sent = 0;
    EndpointLog m_log;
    std::vector<std::unique_ptr<ScriptTimer>> m_timers;
};

// The text of a received-data line, after its time: "收到数据：" + (hex
// form) + the bytes as text.
QString receivedLine(const QByteArray &data, bool hexMode);
// Current local date and time as an endpoint's creation text.
QString creationTimeText();
// The same for a given time (milliseconds since the epoch).
QString creationTimeText(qint64 msecsSinceEpoch);
