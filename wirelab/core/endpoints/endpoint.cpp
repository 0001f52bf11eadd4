#include "core/endpoints/endpoint.h"

#include "core/endpoints/registry.h"
#include "core/text/hexcodec.h"

#include <QDateTime>
#include <QLocale>
#include <QPointer>
#include <QTimer>

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

void Endpoint::notice(const QString &text)
{
    // The record first: a run without a window writes its line from there.
    const qsizetype record = m_log.appendText(LineKind::Notice, text, true);
    Q_EMIT noticed(m_log.record(record).timeMs, text);
}

void Endpoint::logNoticeLater(const QString &text)
{
    QTimer::singleShot(0, this, [this, text] { logNotice(text); });
}

void Endpoint::receive(const QByteArray &data, const QString &a, int b, CounterOrder order, bool withBytes)
{
    receiveWith(data, &a, b, order, withBytes);
}

void Endpoint::receiveStream(const QByteArray &data)
{
    receiveWith(data, nullptr, 0, CounterOrder::BeforeScript, false);
}

// OnRead's a for a block of a stream: its hex text, four bytes written per
// byte received. A script that provably never reads a gets an empty text
// for a large block instead; asked just before the call, after everything
// else the block caused, so nothing runs in between.
QString Endpoint::streamText(const QByteArray &data) const
{
    // Below this, asking costs about as much as making the text.
    constexpr qsizetype LargeBlock = 16 * 1024;
    if (data.size() >= LargeBlock) {
        if (EndpointEvents *events = m_registry.events(); events && events->socketEventIgnores(2))
            return QString();
    }
    return strToHexCompact(data);
}

void Endpoint::receiveWith(const QByteArray &data, const QString *a, int b, CounterOrder order,
                           bool withBytes)
{
    QPointer<Endpoint> self(this);
    m_log.append(LineKind::Received, data, m_hexMode);
    m_received += data.size();
    if (order == CounterOrder::BeforeScript)
        Q_EMIT countersChanged();
    // A script error leaves here: the rest of the sequence is skipped.
    socketEvent(QStringLiteral("OnRead"), a ? *a : streamText(data), b,
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
    LineParts parts;
    parts.kind = LineKind::Received;
    parts.hexMode = hexMode;
    parts.bytes = data;
    return lineBody(parts);
}

QString creationTimeText() { return creationTimeText(QDateTime::currentMSecsSinceEpoch()); }

QString creationTimeText(qint64 msecsSinceEpoch)
{
    const QLocale locale;
    const QDateTime now = QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch);
    return locale.toString(now.date(), QLocale::ShortFormat) + u' '
        + locale.toString(now.time(), QLocale::LongFormat);
}
