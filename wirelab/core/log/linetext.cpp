#include "core/log/linetext.h"

#include "core/text/displaytext.h"
#include "core/text/hexcodec.h"
#include "uilanguage.h"

#include <QCoreApplication>

namespace {

// The data lines' prefixes in the UI language, looked up once per language
// rather than for every line: the next line after the translators change
// looks them up again.
struct Prefixes
{
    QString received, sent;
    QByteArray receivedUtf8, sentUtf8;
    bool filled = false;
    unsigned generation = 0;  // UiLanguageGeneration() when filled
};

const Prefixes &DataPrefixes()
{
    static Prefixes prefixes;
    const unsigned generation = UiLanguageGeneration();
    if (!prefixes.filled || prefixes.generation != generation) {
        prefixes.received = QCoreApplication::translate("ReceivePath", "收到数据：");
        prefixes.sent = QCoreApplication::translate("SendPath", "发送数据：");
        prefixes.receivedUtf8 = prefixes.received.toUtf8();
        prefixes.sentUtf8 = prefixes.sent.toUtf8();
        prefixes.filled = true;
        prefixes.generation = generation;
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
