#include "core/control/controlconnection.h"

#include <QSocketNotifier>

#include <cerrno>
#include <unistd.h>

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

ControlConnection::Read ControlConnection::readFrom(int fd, QSocketNotifier *notifier)
{
    char buffer[64 * 1024];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
        received(QByteArray(buffer, qsizetype(n)));
        if (full())
            notifier->setEnabled(false);
        return Read::Some;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
        return Read::Nothing;
    notifier->setEnabled(false);
    return n == 0 ? Read::End : Read::Failure;
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
