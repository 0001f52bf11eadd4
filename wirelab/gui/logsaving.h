#pragma once
// LogSaving: saving the receive pane's log to a file, all at once ("保存日志…",
// Ctrl+S) or line by line as it arrives ("记录到文件"). The file is chosen in
// a dialog shown through the dialog seam; a long save runs in steps with
// the progress bar shown; a failed write is told through the message seam.

#include "core/log/logsavejob.h"

#include <QFile>
#include <QObject>
#include <QPointer>

class LogView;
class QAction;
class QProgressBar;
class QWidget;

class LogSaving : public QObject
{
    Q_OBJECT
public:
    // progress: shown while a save runs (hidden otherwise).
    LogSaving(LogView *view, QProgressBar *progress, QWidget *parent);
    ~LogSaving() override;

    QAction *saveAction() const { return m_saveAction; }  // SaveLog
    QAction *logToFileAction() const { return m_logToFileAction; }  // LogToFile

    void save();
    void setLogToFile(bool on);
    bool isSaving() const { return m_job != nullptr; }

    // The name the saved JSON lines give the endpoint.
    void setEndpointName(const QString &name) { m_endpointName = name; }

private:
    QString chooseFile(const QString &caption, bool withFormats, LogSaveJob::Format *format);
    void writeNewLines();
    void fail(const QString &path, const QString &why);

    QWidget *m_window;
    LogView *m_view;
    QProgressBar *m_progress;
    QAction *m_saveAction;
    QAction *m_logToFileAction;
    QPointer<LogSaveJob> m_job;
    QString m_endpointName;
    QFile m_logFile;  // "记录到文件"
    qsizetype m_logged = 0;  // records of the log looked at for it
};
