#include "gui/logpane.h"

#include "guard.h"

#include <QScrollBar>
#include <QTextBlock>

#include <limits>
#include <vector>

namespace {
// userState of a paragraph that continues the line of the one before it.
constexpr int Continuation = 1;
}  // namespace

LogPane::LogPane(QWidget *parent) : QPlainTextEdit(parent)
{
    setUndoRedoEnabled(false);  // an undo stack would keep a second copy of the log
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Received blocks are often one long word (hex, binary): looking for a
    // word boundary to wrap at makes laying out such a line quadratic in its
    // length, which froze the window on large blocks.
    setWordWrapMode(QTextOption::WrapAnywhere);
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(30);
    connect(&m_flushTimer, &QTimer::timeout, this, guard([this] {
        showBatch(MaxFlushChars);
        if (!m_pending.isEmpty())
            m_flushTimer.start(0);  // the rest after the events waiting now
    }));
}

void LogPane::appendLine(const QString &line)
{
    m_pending.append(line);
    if (!m_flushTimer.isActive())
        m_flushTimer.start(30);
}

void LogPane::flush()
{
    m_flushTimer.stop();
    while (!m_pending.isEmpty())
        showBatch(std::numeric_limits<qsizetype>::max());
}

void LogPane::showBatch(qsizetype budget)
{
    QString joined;
    std::vector<bool> continues;  // per new paragraph
    qsizetype taken = 0;  // whole lines taken from m_pending
    while (taken < m_pending.size() && joined.size() < budget) {
        const QString &line = m_pending.at(taken);
        const bool head = taken == 0 && m_headContinues;
        if (!continues.empty())
            joined += u'\n';
        if (line.size() <= MaxBlockChars && !head) {
            joined += line;
            continues.push_back(false);
            ++taken;
            continue;
        }
        // In pieces of MaxBlockChars, as far as the budget goes.
        qsizetype at = 0;
        for (; at < line.size(); at += MaxBlockChars) {
            if (at > 0) {
                if (joined.size() >= budget)
                    break;
                joined += u'\n';
            }
            joined += QStringView(line).mid(at, MaxBlockChars);
            continues.push_back(at > 0 || head);
        }
        m_splitAny = true;
        if (at < line.size()) {
            // The rest of this line waits for the next batch.
            m_pending[taken] = line.mid(at);
            m_pending.erase(m_pending.begin(), m_pending.begin() + taken);
            m_headContinues = true;
            taken = -1;
            break;
        }
        ++taken;
    }
    if (taken >= 0) {
        m_pending.erase(m_pending.begin(), m_pending.begin() + taken);
        m_headContinues = false;
    }
    appendPlainText(joined);
    if (m_splitAny) {
        // The new paragraphs are the last ones of the document.
        QTextBlock block = document()->lastBlock();
        for (auto it = continues.rbegin(); it != continues.rend() && block.isValid(); ++it) {
            block.setUserState(*it ? Continuation : -1);
            block = block.previous();
        }
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
    if (m_pending.size() > 1 || (m_pending.size() == 1 && !m_headContinues))
        return m_pending.constLast();
    if (!m_pending.isEmpty())
        flush();  // the line's start is shown already, its end is not
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
