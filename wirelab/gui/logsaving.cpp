#include "gui/logsaving.h"

#include "guard.h"
#include "gui/dialogseam.h"
#include "gui/logview.h"
#include "messageseam.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QProgressBar>

namespace {
// A save shorter than this shows no progress bar.
constexpr qsizetype ProgressFrom = 20000;
}  // namespace

LogSaving::LogSaving(LogView *view, QProgressBar *progress, QWidget *parent)
    : QObject(parent), m_window(parent), m_view(view), m_progress(progress)
{
    m_saveAction = new QAction(tr("保存日志…"), parent);
    m_saveAction->setObjectName(QStringLiteral("SaveLog"));
    m_saveAction->setShortcut(QKeySequence::Save);
    m_saveAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    parent->addAction(m_saveAction);
    connect(m_saveAction, &QAction::triggered, this, guard([this] { save(); }));
    m_logToFileAction = new QAction(tr("记录到文件…"), parent);
    m_logToFileAction->setObjectName(QStringLiteral("LogToFile"));
    m_logToFileAction->setCheckable(true);
    connect(m_logToFileAction, &QAction::triggered, this, guard([this](bool on) { setLogToFile(on); }));
    view->addMenuAction(m_saveAction);
    view->addMenuAction(m_logToFileAction);
    m_progress->hide();
}

LogSaving::~LogSaving()
{
    if (m_job)
        m_job->cancel();
}

QString LogSaving::chooseFile(const QString &caption, bool withFormats, LogSaveJob::Format *format)
{
    QFileDialog dialog(m_window, caption);
    dialog.setObjectName(QStringLiteral("SaveLogDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    const QStringList filters {tr("文本 (*.txt *.log)"), tr("收到的原始数据 (*.bin)"),
                               tr("JSON 行 (*.jsonl)")};
    if (withFormats)
        dialog.setNameFilters(filters);
    else
        dialog.setNameFilter(filters.first());
    if (DialogSeam::exec(&dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    if (format) {
        const qsizetype which = filters.indexOf(dialog.selectedNameFilter());
        *format = which == 1 ? LogSaveJob::Format::Raw
            : which == 2     ? LogSaveJob::Format::JsonLines
                             : LogSaveJob::Format::Text;
    }
    return dialog.selectedFiles().constFirst();
}

void LogSaving::save()
{
    if (m_job || !m_view->log())
        return;
    LogSaveJob::Format format = LogSaveJob::Format::Text;
    const QString path = chooseFile(tr("保存日志"), true, &format);
    if (path.isEmpty() || !m_view->log())
        return;  // the dialog runs events: the log may be gone
    // Text is the lines as shown; the other forms hold every record.
    LogSaveJob *job = nullptr;
    if (format == LogSaveJob::Format::Text) {
        job = new LogSaveJob(*m_view->log(), path, format, m_endpointName, m_view->shownRows(), this);
    } else {
        job = new LogSaveJob(*m_view->log(), path, format, m_endpointName, this);
    }
    m_job = job;
    connect(job, &LogSaveJob::progress, this, guard([this](qint64 done, qint64 total) {
                if (total < ProgressFrom)
                    return;
                m_progress->setRange(0, 1000);
                m_progress->setValue(int(done * 1000 / std::max<qint64>(1, total)));
                m_progress->show();
            }));
    connect(job, &LogSaveJob::finished, this, guard([this, job, path](bool ok, const QString &error) {
                m_progress->hide();
                job->deleteLater();
                if (!ok && !error.isEmpty())
                    fail(path, error);
            }));
    job->start();
}

void LogSaving::fail(const QString &path, const QString &why)
{
    MessageSeam::show(tr("无法写入日志文件 %1：%2").arg(QDir::toNativeSeparators(path), why));
}

void LogSaving::setLogToFile(bool on)
{
    if (m_logFile.isOpen()) {
        m_logFile.close();
        if (EndpointLog *log = m_view->log())
            disconnect(log, nullptr, this, nullptr);  // appended and cleared
    }
    if (!on || !m_view->log()) {
        m_logToFileAction->setChecked(false);
        return;
    }
    const QString path = chooseFile(tr("记录到文件"), false, nullptr);
    EndpointLog *log = m_view->log();
    if (path.isEmpty() || !log) {
        m_logToFileAction->setChecked(false);
        return;
    }
    m_logFile.setFileName(path);
    if (!m_logFile.open(QIODevice::WriteOnly | QIODevice::Append)) {
        m_logToFileAction->setChecked(false);
        fail(path, m_logFile.errorString());
        return;
    }
    m_logToFileAction->setChecked(true);
    m_logged = log->count();  // from now on
    connect(log, &EndpointLog::appended, this, guard([this] { writeNewLines(); }));
    connect(log, &EndpointLog::cleared, this, guard([this] { m_logged = 0; }));
}

void LogSaving::writeNewLines()
{
    EndpointLog *log = m_view->log();
    if (!m_logFile.isOpen() || !log)
        return;
    QByteArray lines;
    // Every record, the extra ones too: a capture left running does not
    // depend on what the pane shows at the moment.
    for (; m_logged < log->count(); ++m_logged)
        lines += log->text(m_logged).toUtf8() + '\n';
    if (lines.isEmpty())
        return;
    if (m_logFile.write(lines) != lines.size() || !m_logFile.flush()) {
        const QString why = m_logFile.errorString();
        const QString path = m_logFile.fileName();
        setLogToFile(false);  // told once, not for every line after
        fail(path, why);
    }
}
