// Send path of the data window: manual send, repeated and timed send, and
// SendData by the endpoint's kind.
#include "tfrmdata.h"

#include "common/intconv.h"
#include "datawindow/displaytext.h"
#include "datawindow/hexcodec.h"
#include "datawindow/tcpsend.h"
#include "endpoints/kinds.h"
#include "endpoints/tmysocket.h"
#include "endpoints/udpendpoints.h"
#include "endpoints/udpgroupendpoint.h"
#include "endpoints/workbench.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

namespace {

QString NotConnectedLine() { return TFrmData::tr("发送失败，连接已断开"); }

// "hh:mm:ss 发送数据：{31 32 33 }123[10次]" (the hex form only in hex mode).
QString SentLine(const QByteArray &block, bool hexMode, const QString &countText)
{
    QString line = LogClockText()
        + TFrmData::tr(" 发送数据：");
    if (hexMode)
        line += HexDisplayForm(block);
    line += BytesForDisplay(block);
    line += TFrmData::tr("[%1次]").arg(countText);
    return line;
}

// Waits ms milliseconds with the event loop running, so the program stays
// responsive (and incoming datagrams keep being read) between repetitions.
void WaitResponsive(int ms)
{
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

void TFrmData::SendData(const QByteArray &block)
{
    TMySocket *r = MySocket;
    if (!r)
        return;
    if (r->state == 0) {
        AppendLine(NotConnectedLine());
        return;
    }
    const QString &kind = r->kind;
    if (kind == Kind::TcpClient || kind == Kind::TcpServerClient) {
        // The connection can be gone while the record still says active
        // (its disconnect notification not yet handled): nothing was sent.
        auto *socket = qobject_cast<QTcpSocket *>(r->component.data());
        if (!socket || socket->state() != QAbstractSocket::ConnectedState) {
            AppendLine(NotConnectedLine());
            return;
        }
        // May process events: this window may be gone when it returns.
        TcpSend::Send(socket, block);
    } else if (kind == Kind::UdpClient || kind == Kind::UdpServer) {
        UdpEndpoints::Send(r, block);
    } else if (kind == Kind::UdpGroup) {
        UdpGroupEndpoint::Send(m_wb, r, block);
    }
}

QByteArray TFrmData::TakeBlock() const
{
    if (!Memo3)
        return {};  // a window never shown has an empty send pane
    // The pane's line breaks count as CR LF in both modes.
    QString text = Memo3->toPlainText();
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    if (hexMode())
        return HexTextToStr(text);
    return text.toLocal8Bit();
}

void TFrmData::Button_11Click()
{
    ensureUi();
    const QByteArray block = TakeBlock();
    if (block.isEmpty())
        return;
    const QString countText = ComboBox2->currentText();
    AppendLine(SentLine(block, hexMode(), countText));
    Memo3->clear();
    WriteCounterText();
    sendRepeated(block, countText, false);
}

void TFrmData::suiButton1Click()
{
    ensureUi();
    const int interval = StrToInt(Edit_time->text());
    // A timer that never fires rather than one that fires continuously.
    if (interval <= 0) {
        Timer1->stop();
        return;
    }
    Timer1->start(interval);
}

void TFrmData::suiButton2Click()
{
    Timer1->stop();
}

void TFrmData::Timer1Timer()
{
    ensureUi();
    const QByteArray block = TakeBlock();
    if (block.isEmpty())
        return;
    const QString countText = ComboBox2->currentText();
    AppendLine(SentLine(block, hexMode(), countText));
    WriteCounterText();
    sendRepeated(block, countText, true);
}

void TFrmData::sendRepeated(const QByteArray &block, const QString &countText, bool processEvents)
{
    const int count = StrToInt(countText);
    QPointer<TFrmData> self(this);
    for (int i = 0; i < count; ++i) {
        SendData(block);
        if (!self)
            return;
        SentCount += block.size();
        if (processEvents) {
            // A timed tick sends its repetitions back to back.
            QCoreApplication::processEvents();
        } else {
            // The manual send spaces them by the interval (also after the
            // last one), without freezing the program meanwhile.
            WaitResponsive(StrToInt(Edit_time->text()));
        }
        if (!self)
            return;
    }
}
