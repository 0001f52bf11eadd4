#include "gui/logfindbar.h"

#include "core/workbench/workbench.h"
#include "guard.h"
#include "gui/logview.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
template<class T>
T *Named(T *w, const char *name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}
}  // namespace

LogFindBar::LogFindBar(LogView *view, QWidget *parent) : QWidget(parent), m_view(view)
{
    auto *rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 2, 0, 0);
    rows->setSpacing(2);
    auto *findRow = new QHBoxLayout;
    rows->addLayout(findRow);
    auto *filterRow = new QHBoxLayout;
    rows->addLayout(filterRow);

    findRow->addWidget(new QLabel(tr("查找"), this));
    m_text = Named(new QLineEdit(this), "FindText");
    m_text->installEventFilter(this);
    findRow->addWidget(m_text, 1);
    m_hex = Named(new QCheckBox(tr("十六进制"), this), "FindHex");
    m_case = Named(new QCheckBox(tr("区分大小写"), this), "FindCase");
    findRow->addWidget(m_hex);
    findRow->addWidget(m_case);
    auto *previous = Named(new QToolButton(this), "FindPrevious");
    previous->setArrowType(Qt::UpArrow);
    previous->setToolTip(tr("上一个 (Shift+Enter)"));
    auto *next = Named(new QToolButton(this), "FindNext");
    next->setArrowType(Qt::DownArrow);
    next->setToolTip(tr("下一个 (Enter)"));
    findRow->addWidget(previous);
    findRow->addWidget(next);
    m_count = Named(new QLabel(this), "FindCount");
    m_count->setMinimumWidth(m_count->fontMetrics().horizontalAdvance(QStringLiteral("000000/000000")));
    findRow->addWidget(m_count);
    auto *close = Named(new QToolButton(this), "FindClose");
    close->setText(QStringLiteral("×"));
    close->setToolTip(tr("关闭 (Esc)"));
    findRow->addWidget(close);

    filterRow->addWidget(new QLabel(tr("显示:"), this));
    m_received = Named(new QCheckBox(tr("收到"), this), "ShowReceived");
    m_sent = Named(new QCheckBox(tr("发送"), this), "ShowSent");
    m_notices = Named(new QCheckBox(tr("提示"), this), "ShowNotices");
    m_script = Named(new QCheckBox(tr("脚本"), this), "ShowScript");
    m_extra = Named(new QCheckBox(tr("附加记录"), this), "ShowExtra");
    m_extra->setToolTip(tr("脚本发送的数据、连接失败、脚本警告和错误"));
    m_onlyMatching = Named(new QCheckBox(tr("只显示含查找内容的行"), this), "OnlyMatching");
    const unsigned shown = view->shown();
    m_received->setChecked(shown & LogView::ShowReceived);
    m_sent->setChecked(shown & LogView::ShowSent);
    m_notices->setChecked(shown & LogView::ShowNotices);
    m_script->setChecked(shown & LogView::ShowScript);
    m_extra->setChecked(shown & LogView::ShowExtra);
    for (QCheckBox *box : {m_received, m_sent, m_notices, m_script, m_extra, m_onlyMatching}) {
        filterRow->addWidget(box);
        connect(box, &QCheckBox::toggled, this, guard([this] { applyFilter(); }));
    }
    filterRow->addStretch();

    m_research.setSingleShot(true);
    m_research.setInterval(200);
    connect(&m_research, &QTimer::timeout, this, guard([this] { search(); }));
    connect(m_view, &LogView::rowsChanged, this, guard([this] {
                m_stale = true;
                if (isVisible() && !m_text->text().isEmpty() && !m_research.isActive())
                    m_research.start();
            }));
    // Filtering by the find text searches too: one pass over the log.
    connect(m_text, &QLineEdit::textChanged, this, guard([this] {
                if (m_onlyMatching->isChecked())
                    applyFilter();
                else
                    search();
            }));
    for (QCheckBox *box : {m_hex, m_case})
        connect(box, &QCheckBox::toggled, this, guard([this] {
                    if (m_onlyMatching->isChecked())
                        applyFilter();
                    else
                        search();
                }));
    connect(next, &QToolButton::clicked, this, guard([this] { findNext(); }));
    connect(previous, &QToolButton::clicked, this, guard([this] { findPrevious(); }));
    connect(close, &QToolButton::clicked, this, guard([this] {
                hide();
                m_view->setMatches({}, -1, QString());
                m_view->setFocus();
            }));
}

QByteArray LogFindBar::needle() const
{
    if (!m_hex->isChecked())
        return m_text->text().toUtf8();
    // Digits as the send pane takes them; blanks between byte pairs are
    // allowed here, since a pasted hex form has them ("31 32").
    QString digits = m_text->text();
    digits.remove(QLatin1Char(' '));
    return Workbench::blockOf(digits, true);
}

void LogFindBar::activate()
{
    show();
    m_text->setFocus();
    m_text->selectAll();
    search();
}

void LogFindBar::applyFilter()
{
    unsigned shown = 0;
    shown |= m_received->isChecked() ? unsigned(LogView::ShowReceived) : 0u;
    shown |= m_sent->isChecked() ? unsigned(LogView::ShowSent) : 0u;
    shown |= m_notices->isChecked() ? unsigned(LogView::ShowNotices) : 0u;
    shown |= m_script->isChecked() ? unsigned(LogView::ShowScript) : 0u;
    shown |= m_extra->isChecked() ? unsigned(LogView::ShowExtra) : 0u;
    m_view->setShown(shown);
    m_view->setContainsFilter(m_onlyMatching->isChecked() ? needle() : QByteArray(), m_case->isChecked());
    search();
}

void LogFindBar::search()
{
    const QByteArray bytes = needle();
    if (m_view->log())
        m_view->rowCount();  // takes the records not announced yet
    m_research.stop();
    m_stale = false;
    m_records.clear();
    m_total = 0;
    // The current match stays where it was when it is still one, else the
    // next one after it becomes current (the first when none is after it).
    LogMatch first;
    LogMatch next;
    qsizetype before = 0;
    if (!bytes.isEmpty() && m_view->log()) {
        qsizetype record = -1;
        bool shown = false;
        findInLog(*m_view->log(), bytes, m_case->isChecked(), [&](const LogMatch &m) {
            if (m.record != record) {
                record = m.record;
                shown = m_view->isShown(record);
                if (shown)
                    m_records.push_back(record);
            }
            if (shown) {
                if (m_total++ == 0)
                    first = m;
                if (m < m_current)
                    ++before;
                else if (next.record < 0)
                    next = m;
            }
            return true;
        });
    }
    if (m_total == 0) {
        m_current = LogMatch();
        m_index = -1;
    } else if (next.record < 0) {
        m_current = first;
        m_index = 0;
    } else {
        m_current = next;
        m_index = before;
    }
    showCurrent();
}

void LogFindBar::showCurrent()
{
    // How the match shows in a row: its text, or the hex form of its bytes.
    const QString shown =
        m_hex->isChecked() ? QString::fromLatin1(needle().toHex(' ').toUpper()) : m_text->text();
    // Hex digits show in one case whatever was typed.
    const bool exact = !m_hex->isChecked() && m_case->isChecked();
    m_view->setMatches(m_records, m_current.record, shown, exact ? Qt::CaseSensitive : Qt::CaseInsensitive);
    if (m_current.record >= 0)
        m_view->showRecord(m_current.record);
    if (m_text->text().isEmpty())
        m_count->clear();
    else if (m_total == 0)
        m_count->setText(tr("无匹配"));
    else
        m_count->setText(QStringLiteral("%1/%2").arg(m_index + 1).arg(m_total));
}

LogMatch LogFindBar::firstIn(qsizetype record, qint64 from) const
{
    LogMatch found;
    if (m_view->log() && m_records.contains(record)) {
        findInLog(
            *m_view->log(), needle(), m_case->isChecked(),
            [&](const LogMatch &m) {
                found = m;
                return false;
            },
            {record, from}, record);
    }
    return found;
}

LogMatch LogFindBar::lastIn(qsizetype record, qint64 before) const
{
    LogMatch found;
    if (m_view->log() && m_records.contains(record)) {
        findInLog(
            *m_view->log(), needle(), m_case->isChecked(),
            [&](const LogMatch &m) {
                if (before >= 0 && m.at >= before)
                    return false;
                found = m;
                return true;
            },
            {record, 0}, record);
    }
    return found;
}

void LogFindBar::findNext()
{
    if (m_stale)
        search();  // the records counted may be gone (a clear), or others shown
    if (m_total == 0)
        return;
    LogMatch to = firstIn(m_current.record, m_current.at + 1);
    if (to.record < 0) {
        const qsizetype row = m_records.lowerBound(m_current.record + 1);
        to = firstIn(m_records[row < m_records.size() ? row : 0], 0);
    }
    if (to.record < 0) {
        search();  // the log is not what was counted
        return;
    }
    m_index = m_current < to ? m_index + 1 : 0;  // else round to the first
    m_current = to;
    showCurrent();
}

void LogFindBar::findPrevious()
{
    if (m_stale)
        search();
    if (m_total == 0)
        return;
    LogMatch to = lastIn(m_current.record, m_current.at);
    if (to.record < 0) {
        const qsizetype row = m_records.lowerBound(m_current.record) - 1;
        to = lastIn(row >= 0 ? m_records[row] : m_records.back(), -1);
    }
    if (to.record < 0) {
        search();
        return;
    }
    m_index = to < m_current ? m_index - 1 : m_total - 1;
    m_current = to;
    showCurrent();
}

bool LogFindBar::eventFilter(QObject *watched, QEvent *event)
{
    bool eaten = false;
    Guarded([&] {
        if (watched != m_text || event->type() != QEvent::KeyPress)
            return;
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (key->modifiers() & Qt::ShiftModifier)
                findPrevious();
            else
                findNext();
            eaten = true;
        } else if (key->key() == Qt::Key_Escape) {
            hide();
            m_view->setMatches({}, -1, QString());
            m_view->setFocus();
            eaten = true;
        }
    });
    return eaten || QWidget::eventFilter(watched, event);
}
