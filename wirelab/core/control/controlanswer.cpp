#include "core/control/controlanswer.h"

#include "core/control/commandreader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString FieldText(const QJsonValue &value)
{
    if (value.isDouble())
        return QString::number(value.toInteger());
    if (value.isBool())
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    return value.toString();
}

// A whole line as one row: readable, but never more than one line.
QString Escaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c == u'\r')
            out += QLatin1String("\\r");
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

}  // namespace

ControlAnswer ControlAnswer::success(const QString &value)
{
    ControlAnswer a;
    a.value = value;
    return a;
}

ControlAnswer ControlAnswer::listing(const QList<ControlRow> &rows)
{
    ControlAnswer a;
    a.rows = rows;
    a.lists = true;
    return a;
}

ControlAnswer ControlAnswer::failure(const QString &why)
{
    ControlAnswer a;
    a.ok = false;
    a.why = why;
    return a;
}

QByteArray ControlAnswer::text() const
{
    QString out;
    for (const ControlRow &row : rows) {
        out += QLatin1String("| ");
        if (row.size() == 1) {
            out += Escaped(FieldText(row.first().second));
        } else {
            QStringList words;
            for (const auto &field : row)
                words.append(Escaped(CommandReader::quoted(FieldText(field.second))));
            out += words.join(u' ');
        }
        out += u'\n';
    }
    if (ok)
        out += value.isEmpty() ? QStringLiteral("ok\n") : QStringLiteral("ok %1\n").arg(Escaped(value));
    else
        out += QStringLiteral("error: %1\n").arg(Escaped(why));
    return out.toUtf8();
}

QByteArray ControlAnswer::json() const
{
    QJsonObject o;
    o.insert(QStringLiteral("answer"), ok ? QStringLiteral("ok") : QStringLiteral("error"));
    if (!ok) {
        o.insert(QStringLiteral("why"), why);
    } else {
        if (!value.isEmpty())
            o.insert(QStringLiteral("value"), value);
        if (lists || !rows.isEmpty()) {
            QJsonArray array;
            for (const ControlRow &row : rows) {
                QJsonObject fields;
                for (const auto &field : row)
                    fields.insert(field.first, field.second);
                array.append(fields);
            }
            o.insert(QStringLiteral("rows"), array);
        }
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}
