#include "headless/linelog.h"

#include "core/endpoints/registry.h"
#include "core/text/displaytext.h"
#include "core/text/hexcodec.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>

namespace {

// Output is handed on once this much waits, or after FlushMs.
constexpr qsizetype FlushBytes = 64 * 1024;
constexpr int FlushMs = 50;

QString EventName(LineKind kind)
{
    switch (kind) {
    case LineKind::Received:
        return QStringLiteral("recv");
    case LineKind::Sent:
        return QStringLiteral("send");
    case LineKind::Displayed:
        return QStringLiteral("display");
    case LineKind::Notice:
        return QStringLiteral("notice");
    }
    return QString();
}

QString StateNotice(const Endpoint &e)
{
    const QString peer = e.remoteHost() + u':' + QString::number(e.remotePort());
    switch (e.kind()) {
    case EndpointKind::TcpServer:
        return e.isActive() ? QStringLiteral("listening on port %1").arg(e.localPort())
                            : QStringLiteral("not listening (port %1)").arg(e.localPort());
    case EndpointKind::TcpClient:
    case EndpointKind::TcpConnection:
        return e.isActive() ? QStringLiteral("connected, peer %1").arg(peer) : QStringLiteral("disconnected");
    case EndpointKind::UdpServer:
        return e.isActive() ? QStringLiteral("answering %1").arg(peer)
                            : QStringLiteral("bound to port %1").arg(e.localPort());
    case EndpointKind::UdpClient:
        return QStringLiteral("port %1, sending to %2").arg(e.localPort()).arg(peer);
    case EndpointKind::UdpGroup:
        return QStringLiteral("group %1:%2").arg(e.localAddress()).arg(e.localPort());
    }
    return QString();
}

// "HH:mm:ss.zzz": the log lines' clock, with the milliseconds.
QString ClockWithMs(qint64 msecsSinceEpoch)
{
    const int ms = int(msecsSinceEpoch % 1000);
    return logClockText(msecsSinceEpoch) + u'.' + QChar(u'0' + ms / 100) + QChar(u'0' + ms / 10 % 10)
        + QChar(u'0' + ms % 10);
}

}  // namespace

LineLog::LineLog(const Options &options, QObject *parent) : QObject(parent), m_options(options)
{
    if (!options.file.isEmpty()) {
        m_file.setFileName(options.file);
        m_file.open(QIODevice::WriteOnly | QIODevice::Append);
    }
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(FlushMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &LineLog::flush);
}

LineLog::~LineLog() { flush(); }

void LineLog::follow(EndpointRegistry &registry)
{
    connect(&registry, &EndpointRegistry::added, this, [this](Endpoint *e) { watch(e); });
}

void LineLog::watch(Endpoint *e)
{
    // Nothing waits for a window here: the lines are only passed on.
    for (const QString &line : e->takeLines())
        write(e->name(), LineKind::Displayed, line);
    connect(e, &Endpoint::lineLogged, this,
            [this, e](const QString &line, LineKind kind, const QByteArray &bytes) {
                write(e->name(), kind, line, bytes);
            });
    connect(e, &Endpoint::noticed, this,
            [this, e](const QString &text) { write(e->name(), LineKind::Notice, text); });
    // The status area of a window, as a notice when it changes. Told from
    // the event loop: an endpoint being made gets its name after its first
    // status.
    struct Status
    {
        QString last;
        bool pending = false;
    };
    auto state = std::make_shared<Status>();
    const QPointer<Endpoint> endpoint(e);
    auto tell = [this, endpoint, state] {
        state->pending = false;
        if (!endpoint)
            return;
        const QString notice = StateNotice(*endpoint);
        if (notice != state->last) {
            state->last = notice;
            write(endpoint->name(), LineKind::Notice, notice);
        }
    };
    auto schedule = [this, state, tell] {
        if (!state->pending) {
            state->pending = true;
            QMetaObject::invokeMethod(this, tell, Qt::QueuedConnection);
        }
    };
    // A connection's close changes its node's image but not its window's
    // status: both are watched.
    connect(e, &Endpoint::statusChanged, this, schedule);
    connect(e, &Endpoint::imageChanged, this, schedule);
}

void LineLog::write(const QString &endpoint, LineKind kind, const QString &text, const QByteArray &bytes)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QByteArray line;
    if (m_options.json) {
        QJsonObject o {
            {QStringLiteral("t"), QDateTime::fromMSecsSinceEpoch(now).toString(Qt::ISODateWithMs)},
             {QStringLiteral("endpoint"), endpoint},
              {QStringLiteral("event"), EventName(kind)},
               {QStringLiteral("text"), text},
              };
        if (kind == LineKind::Received || kind == LineKind::Sent)
            o.insert(QStringLiteral("hex"), strToHexCompact(bytes));
        line = QJsonDocument(o).toJson(QJsonDocument::Compact);
    } else {
        line = (ClockWithMs(now) + u' ' + endpoint + QStringLiteral("  ") + text).toLocal8Bit();
    }
    line += '\n';
    emitLine(line);
}

void LineLog::emitLine(const QByteArray &line)
{
    if (!m_options.quiet)
        m_out += line;
    if (m_file.isOpen())
        m_fileOut += line;
    if (m_out.size() >= FlushBytes || m_fileOut.size() >= FlushBytes)
        flush();
    else if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void LineLog::flush()
{
    m_flushTimer.stop();
    if (!m_out.isEmpty()) {
        std::fwrite(m_out.constData(), 1, size_t(m_out.size()), stdout);
        std::fflush(stdout);
        m_out.clear();
    }
    if (!m_fileOut.isEmpty()) {
        m_file.write(m_fileOut);
        m_file.flush();
        m_fileOut.clear();
    }
}
