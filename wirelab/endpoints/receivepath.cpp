#include "receivepath.h"

#include "datawindow/displaytext.h"
#include "datawindow/hexcodec.h"
#include "datawindow/tfrmdata.h"
#include "tmysocket.h"
#include "workbench.h"

#include <QCoreApplication>
#include <QPointer>

namespace ReceivePath {

QString ReceivedLine(const QByteArray &data, bool hexMode)
{
    QString line = LogClockText()
        + QCoreApplication::translate("ReceivePath", " 收到数据：");
    if (hexMode)
        line += HexDisplayForm(data);
    line += BytesForDisplay(data);
    return line;
}

void Receive(Workbench &wb, TMySocket *record, const QByteArray &data, const QString &a, int b,
             Order order)
{
    if (!record || !record->window)
        return;
    QPointer<TFrmData> window(record->window);
    window->AppendLine(ReceivedLine(data, window->hexMode()));
    window->RecvCount += data.size();
    if (order == Order::CounterFirst)
        window->WriteCounterText();
    // A script error leaves here: the rest of the sequence is skipped.
    wb.ScriptEvent(record, QStringLiteral("OnRead"), a, b);
    if (order == Order::ScriptFirst && window)
        window->WriteCounterText();
}

} // namespace ReceivePath
