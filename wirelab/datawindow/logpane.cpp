#include "logpane.h"

#include "common/guard.h"

#include <QScrollBar>
#include <QTextBlock>

LogPane::LogPane(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setUndoRedoEnabled(false);  // an undo stack would keep a second copy of the log
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(30);
    connect(&m_flushTimer, &QTimer::timeout, this, guard([this] { flush(); }));
}

void LogPane::appendLine(const QString &line)
{
    m_pending.append(line);
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void LogPane::flush()
{
    m_flushTimer.stop();
    if (m_pending.isEmpty())
        return;
    QStringList lines;
    lines.swap(m_pending);
    appendPlainText(lines.join(u'\n'));
}

QString LogPane::text()
{
    flush();
    return toPlainText();
}

QString LogPane::lastLine()
{
    if (!m_pending.isEmpty())
        return m_pending.constLast();
    return document()->lastBlock().text();
}
