#include "core/control/controlconnection.h"

ControlConnection::Item ControlConnection::takeItem()
{
    Item item = std::move(m_items.front());
    m_items.pop_front();
    if (!m_ended && qsizetype(m_items.size()) == MaxQueued - 1)
        readMore();
    return item;
}

void ControlConnection::answer(const QByteArray &bytes)
{
    if (!bytes.isEmpty())
        write(bytes);
    if (drained())
        Q_EMIT finished();
}

void ControlConnection::received(const QByteArray &bytes)
{
    const bool wasEmpty = m_items.empty();
    m_reader.feed(bytes, [this](const CommandReader::Item &item) {
        if (item.overlong)
            m_items.push_back({{}, QStringLiteral("line over 1 MiB discarded")});
        else if (!item.line.trimmed().isEmpty())
            m_items.push_back({item.line, {}});
    });
    if (wasEmpty && !m_items.empty())
        Q_EMIT ready();
}

void ControlConnection::inputEnded(const QString &cutOffError)
{
    if (m_ended)
        return;
    m_ended = true;
    if (m_reader.pending() && !cutOffError.isEmpty()) {
        m_items.push_back({{}, cutOffError});
        Q_EMIT ready();
    }
    m_reader.reset();
    if (drained())
        Q_EMIT finished();
}
