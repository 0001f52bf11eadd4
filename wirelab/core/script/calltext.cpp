#include "core/script/calltext.h"

namespace CallText {

namespace {

void AppendUnicodeEscape(QString &out, char16_t c)
{
    static const char16_t digits[] = u"0123456789ABCDEF";
    out += QLatin1String("\\u");
    out += QChar(digits[(c >> 12) & 15]);
    out += QChar(digits[(c >> 8) & 15]);
    out += QChar(digits[(c >> 4) & 15]);
    out += QChar(digits[c & 15]);
}

QString Quoted(const QString &value) { return JsString(value, u'"'); }

}  // namespace

QString JsString(const QString &value, QChar quote)
{
    QString out;
    out.reserve(value.size() + 2);
    out += quote;
    for (const QChar qc : value) {
        const char16_t c = qc.unicode();
        if (qc == quote || c == u'\\') {
            out += u'\\';
            out += qc;
        } else if (c == u'\n') {
            out += QLatin1String("\\n");
        } else if (c == u'\r') {
            out += QLatin1String("\\r");
        } else if (c == u'\t') {
            out += QLatin1String("\\t");
        } else if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029) {
            // \u form also for NUL: "\0" would turn into an octal escape
            // when a digit follows it.
            AppendUnicodeEscape(out, c);
        } else {
            out += qc;
        }
    }
    out += quote;
    return out;
}

QString OnSocketEvent(const QString &name, const QString &event, const QString &a, int b)
{
    return QLatin1String("OnSocketEvent(") + Quoted(name) + u',' + Quoted(event) + u',' + Quoted(a) + u','
        + Quoted(QString::number(b)) + QLatin1String(");");
}

QString OnRead(const QString &name, const QString &a, int b)
{
    return OnSocketEvent(name, QStringLiteral("OnRead"), a, b);
}

QString OnConnect(const QString &name, const QString &a, int b)
{
    return OnSocketEvent(name, QStringLiteral("OnConnect"), a, b);
}

QString OnDisConnect(const QString &name, const QString &a, int b)
{
    return OnSocketEvent(name, QStringLiteral("OnDisConnect"), a, b);
}

QString OnTimerEvent(const QString &name, const QString &timer)
{
    return QLatin1String("OnTimerEvent(") + Quoted(name) + u',' + Quoted(timer) + QLatin1String(");");
}

QString OnButtonClick(const QString &name, const QString &buttonId)
{
    return QLatin1String("OnButtonClick(") + Quoted(name) + u',' + Quoted(buttonId)
        + QLatin1String(");json2str(actions);");
}

QString OnEditChange(const QString &name, const QString &editId, const QString &text)
{
    return QLatin1String("OnEditChange(") + Quoted(name) + u',' + Quoted(editId) + u',' + Quoted(text)
        + QLatin1String(");json2str(actions);");
}

QString DeleteSocket(const QString &name)
{
    return QLatin1String("DeleteSocket(") + JsString(name, u'\'') + QLatin1String(");");
}

}  // namespace CallText
