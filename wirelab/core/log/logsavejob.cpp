#include "core/log/logsavejob.h"

#include "core/log/endpointlog.h"
#include "core/log/linejson.h"

namespace {
// Writing per pass of the event loop: short enough to keep the window smooth.
constexpr qint64 SliceMs = 8;
}  // namespace

LogSaveJob::LogSaveJob(const EndpointLog &log, const QString &path, Format format,
                       const QString &endpointName, QObject *parent)
    : QObject(parent),
      m_log(&log),
      m_file(path),
      m_format(format),
      m_endpointName(endpointName),
      m_count(log.count())
{
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &LogSaveJob::step);
    // A log cleared and filled again between two steps has as many records
    // as before, but not the ones being saved.
    connect(&log, &EndpointLog::cleared, this, [this] { m_cleared = true; });
}

LogSaveJob::LogSaveJob(const EndpointLog &log, const QString &path, Format format,
                       const QString &endpointName, RowMap records, QObject *parent)
    : LogSaveJob(log, path, format, endpointName, parent)
{
    Q_ASSERT(records.empty() || records.back() < m_count);
    m_records = std::move(records);
    m_subset = true;
}

qsizetype LogSaveJob::total() const { return m_subset ? m_records.size() : m_count; }

void LogSaveJob::start()
{
    if (!m_file.open(QIODevice::WriteOnly)) {
        // Told after start() returns, as every other end is.
        const QString error = m_file.errorString();
        QTimer::singleShot(0, this, [this, error] { Q_EMIT finished(false, error); });
        return;
    }
    m_timer.start();
}

void LogSaveJob::cancel()
{
    if (!m_timer.isActive())
        return;
    m_file.cancelWriting();
    m_file.commit();
    finish(false, QString());
}

QByteArray LogSaveJob::jsonLine(const EndpointLog &log, qsizetype record, const QString &endpointName)
{
    const LineParts p = log.parts(record);
    return lineJson(p.timeMs, endpointName, p.kind, lineBody(p), p.bytes);
}

QByteArray LogSaveJob::chunk(qsizetype record) const
{
    switch (m_format) {
    case Format::Text:
        return m_log->text(record).toUtf8() + '\n';
    case Format::Raw:
        return m_log->record(record).kind == LineKind::Received ? m_log->bytes(record) : QByteArray();
    case Format::JsonLines:
        return jsonLine(*m_log, record, m_endpointName) + '\n';
    }
    return QByteArray();
}

void LogSaveJob::step()
{
    if (!m_log || m_cleared) {
        m_file.cancelWriting();
        m_file.commit();
        finish(false, tr("日志已被清空"));
        return;
    }
    QElapsedTimer clock;
    clock.start();
    const qsizetype end = total();
    while (m_next < end && clock.elapsed() < SliceMs) {
        const qsizetype record = m_subset ? m_records.nextRecord(m_after) : m_next;
        const QByteArray bytes = chunk(record);
        if (!bytes.isEmpty() && m_file.write(bytes) != bytes.size()) {
            const QString error = m_file.errorString();
            m_file.cancelWriting();
            m_file.commit();
            finish(false, error);
            return;
        }
        m_after = record + 1;
        ++m_next;
    }
    Q_EMIT progress(m_next, end);
    if (m_next < end)
        return;
    if (!m_file.commit()) {
        finish(false, m_file.errorString());
        return;
    }
    finish(true, QString());
}

void LogSaveJob::finish(bool ok, const QString &error)
{
    m_timer.stop();
    Q_EMIT finished(ok, error);
}
