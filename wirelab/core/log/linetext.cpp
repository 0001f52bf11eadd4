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
    QString text[LineKindCount];
    QByteArray utf8[LineKindCount];
    bool filled = false;
    unsigned generation = 0;  // UiLanguageGeneration() when filled
};

const Prefixes &DataPrefixes()
{
    static Prefixes prefixes;
    const unsigned generation = UiLanguageGeneration();
    if (!prefixes.filled || prefixes.generation != generation) {
        for (const LineKindInfo &info : LineKinds) {
            if (!info.prefix)
                continue;
            const size_t k = size_t(info.kind);
            prefixes.text[k] = QCoreApplication::translate(info.prefixContext, info.prefix);
            prefixes.utf8[k] = prefixes.text[k].toUtf8();
        }
        prefixes.filled = true;
        prefixes.generation = generation;
    }
    return prefixes;
}

// "收到数据：{31 32 }12" or "发送数据：...[N次]": a data line after its time.
QString DataLineBody(const LineParts &parts)
{
    QString line = DataPrefixes().text[size_t(parts.kind)];
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
    out += DataPrefixes().utf8[size_t(parts.kind)];
    if (parts.hexMode)
        AppendHexForm(out, parts.bytes);
    appendDisplayUtf8(out, parts.bytes);
}
