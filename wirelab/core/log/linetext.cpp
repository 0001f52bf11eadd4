#include "core/log/linetext.h"

#include "core/text/displaytext.h"
#include "core/text/hexcodec.h"

#include <QCoreApplication>

namespace {

// "收到数据：{31 32 }12" or "发送数据：...[N次]": a data line after its time.
QString DataLineBody(const LineParts &parts)
{
    QString line = parts.kind == LineKind::Received ? QCoreApplication::translate("ReceivePath", "收到数据：")
                                                    : QCoreApplication::translate("SendPath", "发送数据：");
    if (parts.hexMode)
        line += hexDisplayForm(parts.bytes);
    line += bytesForDisplay(parts.bytes);
    if (parts.kind == LineKind::Sent && parts.withCount)
        line += QCoreApplication::translate("SendPath", "[%1次]").arg(QString::fromUtf8(parts.countText));
    return line;
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
