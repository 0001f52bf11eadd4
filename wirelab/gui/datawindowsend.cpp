// The send path of the data window: the typed send, repeated and timed
// sends. The endpoint sends each block (or writes why it cannot) and counts
// what it was handed.
#include "gui/datawindow.h"

#include "core/endpoints/endpoint.h"
#include "core/text/displaytext.h"
#include "core/text/hexcodec.h"
#include "core/text/intconv.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>

namespace {

// "hh:mm:ss 发送数据：{31 32 33 }123[10次]" (the hex form only in hex mode).
QString SentLine(const QByteArray &block, bool hexMode, const QString &countText)
{
    QString line = logClockText() + DataWindow::tr(" 发送数据：");
    if (hexMode)
        line += hexDisplayForm(block);
    line += bytesForDisplay(block);
    line += DataWindow::tr("[%1次]").arg(countText);
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

}  // namespace

void DataWindow::sendBlock(const QByteArray &block)
{
    // May let events run: this window and the endpoint may be gone after.
    if (Endpoint *e = m_endpoint)
        e->send(block);
}

QByteArray DataWindow::takeBlock() const
{
    if (!m_sendPane)
        return {};  // a window never shown has an empty send pane
    // The pane's line breaks count as CR LF in both modes.
    QString text = m_sendPane->toPlainText();
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    if (hexMode())
        return hexTextToStr(text);
    return text.toLocal8Bit();
}

void DataWindow::sendTyped() { sendFromPane(false); }

// The send pane's block, logged as sent, then sent as often as the repeat
// count says: a typed send empties the pane, a timed one sends it again on
// every tick.
void DataWindow::sendFromPane(bool timed)
{
    ensureUi();
    const QByteArray block = takeBlock();
    if (block.isEmpty())
        return;
    const QString countText = m_repeatBox->currentText();
    if (m_endpoint)
        m_endpoint->appendLine(SentLine(block, hexMode(), countText), LineKind::Sent, block);
    if (!timed)
        m_sendPane->clear();
    writeCounterText();
    sendRepeated(block, countText, timed);
}

void DataWindow::startTimedSend()
{
    ensureUi();
    const int interval = strToInt(m_intervalBox->text());
    // A timer that never fires rather than one that fires continuously.
    if (interval <= 0) {
        m_sendTimer->stop();
        return;
    }
    m_sendTimer->start(interval);
}

void DataWindow::stopTimedSend() { m_sendTimer->stop(); }

void DataWindow::sendTimed() { sendFromPane(true); }

void DataWindow::sendRepeated(const QByteArray &block, const QString &countText, bool processEvents)
{
    const int count = strToInt(countText);
    QPointer<DataWindow> self(this);
    for (int i = 0; i < count; ++i) {
        sendBlock(block);
        if (!self || !m_endpoint)
            return;
        m_endpoint->countSent(block.size());
        if (processEvents) {
            // A timed tick sends its repetitions back to back.
            QCoreApplication::processEvents();
        } else {
            // The manual send spaces them by the interval (also after the
            // last one), without freezing the program meanwhile.
            WaitResponsive(strToInt(m_intervalBox->text()));
        }
        if (!self)
            return;
    }
}
