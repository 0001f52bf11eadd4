#include "core/endpoints/endpoint.h"

#include "core/endpoints/registry.h"
#include "core/text/displaytext.h"
#include "core/text/hexcodec.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QPointer>

Endpoint::Endpoint(EndpointKind kind, EndpointRegistry &registry)
    : m_kind(kind),
      m_registry(registry),
      // The name scripts see until the endpoint is named: never translated.
      m_name(QStringLiteral("数据收发窗口")), m_created(creationTimeText())
{}

Endpoint::~Endpoint() = default;

void Endpoint::setName(const QString &name)
{
    if (name == m_name)
        return;
    const QString from = std::exchange(m_name, name);
    Q_EMIT nameChanged(from, m_name);
}

void Endpoint::setImage(StateImage image)
{
    m_image = image;
    Q_EMIT imageChanged(image);
}

void Endpoint::setHexMode(bool on)
{
    if (on == m_hexMode)
        return;
    m_hexMode = on;
    Q_EMIT hexModeChanged(on);
}

void Endpoint::countSent(qint64 bytes)
{
    // The sender writes the counter text itself, once before its
    // repetitions: the total shows with the next write.
    m_sent += bytes;
}

void Endpoint::resetCounters()
{
    m_sent = 0;
    m_received = 0;
    Q_EMIT countersChanged();
}

void Endpoint::appendLine(const QString &line, LineKind kind, const QByteArray &bytes)
{
    if (!m_linesTaken)
        m_lines.append(line);
    Q_EMIT lineAppended(line);
    Q_EMIT lineLogged(QDateTime::currentMSecsSinceEpoch(), line, kind, bytes);
}

void Endpoint::appendTimedLine(const QString &text, LineKind kind, const QByteArray &bytes)
{
    const qint64 at = QDateTime::currentMSecsSinceEpoch();
    const QString line = logClockText(at) + u' ' + text;
    if (!m_linesTaken)
        m_lines.append(line);
    Q_EMIT lineAppended(line);
    Q_EMIT lineLogged(at, text, kind, bytes);
}

void Endpoint::notice(const QString &text) { Q_EMIT noticed(QDateTime::currentMSecsSinceEpoch(), text); }

QStringList Endpoint::takeLines()
{
    m_linesTaken = true;
    return std::exchange(m_lines, {});
}

void Endpoint::receive(const QByteArray &data, const QString &a, int b, CounterOrder order, bool withBytes)
{
    QPointer<Endpoint> self(this);
    appendTimedLine(receivedLine(data, m_hexMode), LineKind::Received, data);
    m_received += data.size();
    if (order == CounterOrder::BeforeScript)
        Q_EMIT countersChanged();
    // A script error leaves here: the rest of the sequence is skipped.
    socketEvent(QStringLiteral("OnRead"), a, b,
                               withBytes ? std::optional<QString>(strToHexCompact(data)) : std::nullopt);
    if (order == CounterOrder::AfterScript && self)
        Q_EMIT countersChanged();
}

void Endpoint::socketEvent(const QString &event, const QString &a, int b, const std::optional<QString> &data)
{
    if (EndpointEvents *events = m_registry.events())
        events->socketEvent(*this, event, a, b, data);
}

void Endpoint::socketError(const QString &noticeText, const QString &reason)
{
    notice(noticeText);
    if (EndpointEvents *events = m_registry.events())
        events->socketError(*this, reason);
}

QString receivedLine(const QByteArray &data, bool hexMode)
{
    QString line = QCoreApplication::translate("ReceivePath", "收到数据：");
    if (hexMode)
        line += hexDisplayForm(data);
    line += bytesForDisplay(data);
    return line;
}

QString creationTimeText() { return creationTimeText(QDateTime::currentMSecsSinceEpoch()); }

QString creationTimeText(qint64 msecsSinceEpoch)
{
    const QLocale locale;
    const QDateTime now = QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch);
    return locale.toString(now.date(), QLocale::ShortFormat) + u' '
        + locale.toString(now.time(), QLocale::LongFormat);
}
