#include "core/text/paramline.h"

#include "core/text/intconv.h"

QString paramValue(const QString &line, const QString &key, bool *found)
{
    const bool present = line.contains(key + u'=');
    if (found)
        *found = present;
    if (!present)
        return QString();
    // The bare word, not KEY=: lines written by the workspace rely on PORT
    // reading inside REMOTEPORT/LOCALPORT.
    const qsizetype start = line.indexOf(key) + key.size() + 1;
    if (start >= line.size())
        return QString();
    const qsizetype comma = line.indexOf(u',', start);
    return comma < 0 ? line.mid(start) : line.mid(start, comma - start);
}

namespace {

// An empty value keeps the default only where the key really stands with
// its "=" (a declaration that left the key out). An empty value that comes
// from a key word found inside another value (HOST=HEXA) is a misread line
// and fails like any other non-number.
void ReadNumber(const QString &line, const QString &key, int &value)
{
    bool found = false;
    const QString text = paramValue(line, key, &found);
    if (!found)
        return;
    if (text.isEmpty()) {
        const qsizetype at = line.indexOf(key) + key.size();
        if (at < line.size() && line.at(at) == u'=')
            return;
    }
    value = strToInt(text);
}

}  // namespace

ParamLine readParamLine(const QString &line)
{
    ParamLine p;
    p.socketType = paramValue(line, QStringLiteral("SOCKETTYPE"));
    ReadNumber(line, QStringLiteral("PORT"), p.port);
    ReadNumber(line, QStringLiteral("HEX"), p.hex);
    ReadNumber(line, QStringLiteral("LOCALPORT"), p.localPort);
    ReadNumber(line, QStringLiteral("REMOTEPORT"), p.remotePort);
    p.host = paramValue(line, QStringLiteral("HOST"));
    p.bind = paramValue(line, QStringLiteral("BIND"));
    return p;
}
