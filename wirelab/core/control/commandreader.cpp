#include "core/control/commandreader.h"

qsizetype CommandReader::take(const QByteArray &bytes, qsizetype from, Item &item, bool &got)
{
    const qsizetype end = bytes.indexOf('\n', from);
    const qsizetype stop = end < 0 ? bytes.size() : end;
    const qsizetype used = (end < 0 ? stop : end + 1) - from;
    if (m_discarding) {
        m_discarding = end < 0;
        return used;
    }
    const qsizetype length = m_partial.size() + (stop - from);
    if (end < 0) {
        // One more byte is allowed: it may be the CR of a CR LF. A line
        // found too long is reported at once, so a client that never ends
        // it still hears of it.
        if (length > MaxLine + 1) {
            m_partial = QByteArray();
            m_discarding = true;
            item.overlong = true;
            got = true;
        } else {
            m_partial.append(bytes.constData() + from, stop - from);
        }
        return used;
    }
    const char last = stop > from ? bytes.at(stop - 1) : (m_partial.isEmpty() ? '\0' : m_partial.back());
    const qsizetype cr = last == '\r' ? 1 : 0;
    got = true;
    if (length - cr > MaxLine) {
        m_partial = QByteArray();
        item.overlong = true;
        return used;
    }
    m_partial.append(bytes.constData() + from, stop - from - cr);
    if (cr && stop == from)
        m_partial.chop(1);
    item.line = m_partial;
    m_partial = QByteArray();
    return used;
}

void CommandReader::reset()
{
    m_partial = QByteArray();
    m_discarding = false;
}

std::optional<QStringList> CommandReader::words(const QString &line, QString *why)
{
    QStringList out;
    QString word;
    bool inWord = false;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c == u'"') {
                quoted = false;
            } else if (c == u'\\' && i + 1 < line.size()
                       && (line.at(i + 1) == u'"' || line.at(i + 1) == u'\\')) {
                word += line.at(++i);
            } else {
                word += c;
            }
        } else if (c == u' ' || c == u'\t') {
            if (inWord)
                out.append(word);
            word.clear();
            inWord = false;
        } else {
            inWord = true;
            if (c == u'"')
                quoted = true;
            else
                word += c;
        }
    }
    if (quoted) {
        if (why)
            *why = QStringLiteral("a double quote is not closed");
        return std::nullopt;
    }
    if (inWord)
        out.append(word);
    return out;
}

QString CommandReader::quoted(const QString &word)
{
    bool plain = !word.isEmpty();
    for (QChar c : word) {
        if (c == u' ' || c == u'\t' || c == u'"' || c == u'\\') {
            plain = false;
            break;
        }
    }
    if (plain)
        return word;
    QString out = QStringLiteral("\"");
    for (QChar c : word) {
        if (c == u'"' || c == u'\\')
            out += u'\\';
        out += c;
    }
    return out + u'"';
}
