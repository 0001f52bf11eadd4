#include "core/log/linetext.h"

#include "core/text/displaytext.h"
#include "core/text/hexcodec.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

namespace {

// The data lines' prefixes in the UI language, looked up once per language
// rather than for every line: installing or removing a translator tells
// the application, and the next line looks them up again.
struct Prefixes
{
    QString received, sent;
    QByteArray receivedUtf8, sentUtf8;
};

class LanguageWatch : public QObject
{
public:
    bool current = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::LanguageChange)
            current = false;
        return QObject::eventFilter(watched, event);
    }
};

const Prefixes &DataPrefixes()
{
    static Prefixes prefixes;
    static QPointer<LanguageWatch> watch;
    QCoreApplication *app = QCoreApplication::instance();
    if (app && !watch) {
        watch = new LanguageWatch;
        watch->setParent(app);
        app->installEventFilter(watch);
    }
    if (!watch || !watch->current) {
        prefixes.received = QCoreApplication::translate("ReceivePath", "收到数据：");
        prefixes.sent = QCoreApplication::translate("SendPath", "发送数据：");
        prefixes.receivedUtf8 = prefixes.received.toUtf8();
        prefixes.sentUtf8 = prefixes.sent.toUtf8();
        if (watch)
            watch->current = true;
    }
    return prefixes;
}

// "收到数据：{31 32 }12" or "发送数据：...[N次]": a data line after its time.
QString DataLineBody(const LineParts &parts)
{
    const Prefixes &prefixes = DataPrefixes();
    QString line = parts.kind == LineKind::Received ? prefixes.received : prefixes.sent;
    if (parts.hexMode)
        line += hexDisplayForm(parts.bytes);
    line += bytesForDisplay(parts.bytes);
    if (parts.kind == LineKind::Sent && parts.withCount)
        line += QCoreApplication::translate("SendPath", "[%1次]").arg(QString::fromUtf8(parts.countText));
    return line;
}

// "{31 32 }": the hex form of a data line in hex mode, appended to out.
void AppendHexForm(QByteArray &out, const QByteArray &bytes)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    const qsizetype start = out.size();
    out.resize(start + 3 * bytes.size() + 2);
    char *d = out.data() + start;
    *d++ = '{';
    for (const char b : bytes) {
        *d++ = Digits[uchar(b) >> 4];
        *d++ = Digits[uchar(b) & 0x0F];
        *d++ = ' ';
    }
    *d = '}';
}

}  // namespace

QString lineText(const LineParts &parts)
{
    if (carriesBytes(parts.kind))
        return logClockText(parts.timeMs) + u' ' + DataLineBody(parts);
    return QString::fromUtf8(parts.bytes);
}

QString lineBody(const LineParts &parts)
{
    if (carriesBytes(parts.kind))
        return DataLineBody(parts);
    return QString::fromUtf8(parts.bytes);
}

void appendLineBodyUtf8(QByteArray &out, const LineParts &parts)
{
    if (!carriesBytes(parts.kind) || parts.withCount) {
        out += lineBody(parts).toUtf8();
        return;
    }
    const Prefixes &prefixes = DataPrefixes();
    out += parts.kind == LineKind::Received ? prefixes.receivedUtf8 : prefixes.sentUtf8;
    if (parts.hexMode)
        AppendHexForm(out, parts.bytes);
    appendDisplayUtf8(out, parts.bytes);
}
