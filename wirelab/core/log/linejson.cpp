#include "core/log/linejson.h"

#include "core/text/hexcodec.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

QString lineEventName(LineKind kind) { return QString::fromLatin1(lineKindInfo(kind).eventName); }

QString isoTimeWithOffset(qint64 msecsSinceEpoch)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

QByteArray lineJson(qint64 timeMs, const QString &endpoint, LineKind kind, const QString &text,
                    const QByteArray &bytes)
{
    // An error's line is "error: " and the error as standard error tells
    // it; its object says "error" as its event, and its text is the
    // error's, as in the error objects of a run without a window.
    static const QString ErrorPrefix = QStringLiteral("error: ");
    const bool prefixed = kind == LineKind::Error && text.startsWith(ErrorPrefix);
    QJsonObject o {
        {QStringLiteral("t"), isoTimeWithOffset(timeMs)},
         {QStringLiteral("endpoint"), endpoint},
          {QStringLiteral("event"), lineEventName(kind)},
           {QStringLiteral("text"), prefixed ? text.mid(ErrorPrefix.size()) : text},
          };
    if (carriesBytes(kind))
        o.insert(QStringLiteral("hex"), strToHexCompact(bytes));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}
