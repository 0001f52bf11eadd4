#include "logpane.h"

#include "common/guard.h"

#include <QScrollBar>
#include <QTextBlock>

#include <vector>

namespace {
// userState of a paragraph that continues the line of the one before it.
constexpr int Continuation = 1;
} // namespace

LogPane::LogPane(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setUndoRedoEnabled(false);  // an undo stack would keep a second copy of the log
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Received blocks are often one long word (hex, binary): looking for a
    // word boundary to wrap at makes laying out such a line quadratic in its
    // length, which froze the window on large blocks.
    setWordWrapMode(QTextOption::WrapAnywhere);
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
    QString joined;
    std::vector<bool> continues;  // per new paragraph
    continues.reserve(size_t(lines.size()));
    for (const QString &line : std::as_const(lines)) {
        if (!joined.isEmpty() || !continues.empty())
            joined += u'\n';
        if (line.size() <= MaxBlockChars) {
            joined += line;
            continues.push_back(false);
            continue;
        }
        for (qsizetype at = 0; at < line.size(); at += MaxBlockChars) {
            if (at > 0)
                joined += u'\n';
            joined += QStringView(line).mid(at, MaxBlockChars);
            continues.push_back(at > 0);
        }
        m_splitAny = true;
    }
    appendPlainText(joined);
    if (!m_splitAny)
        return;
    // The new paragraphs are the last ones of the document.
    QTextBlock block = document()->lastBlock();
    for (auto it = continues.rbegin(); it != continues.rend() && block.isValid(); ++it) {
        block.setUserState(*it ? Continuation : -1);
        block = block.previous();
    }
}

QString LogPane::text()
{
    flush();
    QString all = toPlainText();
    if (!m_splitAny)
        return all;
    // Drop the paragraph breaks that only split a long line.
    QString joined;
    joined.reserve(all.size());
    qsizetype from = 0;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
        if (b.userState() != Continuation || b.position() == 0)
            continue;
        const qsizetype brk = b.position() - 1;
        joined += QStringView(all).mid(from, brk - from);
        from = brk + 1;
    }
    joined += QStringView(all).mid(from);
    return joined;
}

QString LogPane::lastLine()
{
    if (!m_pending.isEmpty())
        return m_pending.constLast();
    QTextBlock block = document()->lastBlock();
    QString line = block.text();
    while (block.isValid() && block.userState() == Continuation) {
        block = block.previous();
        if (!block.isValid())
            break;
        line.prepend(block.text());
    }
    return line;
}
