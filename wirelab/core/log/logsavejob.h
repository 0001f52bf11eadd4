#pragma once
// LogSaveJob: writes an endpoint's log to a file in steps, so a long log
// never holds the event loop: a few milliseconds of writing per pass, with
// progress. The file is replaced only when everything was written
// (QSaveFile); a cancelled or failed save leaves any old file as it was.
//
// The records are taken as they are when the job is made; records logged
// while it runs are not part of it. A save of the rows a view shows keeps
// a copy of the view's RowMap (a bit per record), so a filter changed
// meanwhile does not change what is written.

#include "core/log/rowmap.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QSaveFile>
#include <QString>
#include <QTimer>

class EndpointLog;

class LogSaveJob : public QObject
{
    Q_OBJECT
public:
    enum class Format {
        Text,  // the lines' texts, UTF-8, one per line
        Raw,  // the received bytes alone, back to back, as they arrived
        JsonLines,  // one JSON object per record: t, endpoint, event, text, hex for data
    };

    // Writes every record of the log.
    LogSaveJob(const EndpointLog &log, const QString &path, Format format, const QString &endpointName,
               QObject *parent = nullptr);
    // Writes these records, in record order (the rows a view shows).
    LogSaveJob(const EndpointLog &log, const QString &path, Format format, const QString &endpointName,
               RowMap records, QObject *parent = nullptr);

    void start();
    void cancel();
    bool isRunning() const { return m_timer.isActive(); }
    // One JSON line of a record (without the newline).
    static QByteArray jsonLine(const EndpointLog &log, qsizetype record, const QString &endpointName);

Q_SIGNALS:
    void progress(qint64 done, qint64 total);
    // ok false: error says why (empty when cancelled).
    void finished(bool ok, const QString &error);

private:
    void step();
    void finish(bool ok, const QString &error);
    QByteArray chunk(qsizetype record) const;
    qsizetype total() const;

    QPointer<const EndpointLog> m_log;
    QSaveFile m_file;
    Format m_format;
    QString m_endpointName;
    RowMap m_records;
    bool m_subset = false;  // m_records, not every record
    qsizetype m_count = 0;  // records in the log at the start
    qsizetype m_next = 0;  // position of the next record to write
    qsizetype m_after = 0;  // the next record is this one or later
    bool m_cleared = false;  // the log was cleared since the start
    QTimer m_timer;
};
