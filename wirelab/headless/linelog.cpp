#include "headless/linelog.h"

#include "core/endpoints/kinddescriptor.h"
#include "core/endpoints/registry.h"
#include "core/log/linejson.h"
#include "core/script/scriptoutput.h"
#include "core/text/displaytext.h"
#include "core/text/hexcodec.h"
#include "core/workbench/panels.h"
#include "guard.h"

#include <QAbstractEventDispatcher>
#include <QDateTime>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>

#include <algorithm>

namespace {

// Output is handed on once this much waits, or after FlushMs.
constexpr qsizetype FlushBytes = 64 * 1024;
constexpr int FlushMs = 50;
// Records wait for the event loop up to these.
constexpr qint64 HoldBytes = 4 * 1024;
constexpr size_t HoldRecords = 256;

// The lines of a text after the first, each indented by indent.
QString IndentContinuations(const QString &text, qsizetype indent)
{
    if (!text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString copy = text;
    copy.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
    return copy.replace(QLatin1String("\n"), u'\n' + QString(indent, u' '));
}

// "HH:mm:ss.zzz": the log lines' clock, with the milliseconds.
QString ClockWithMs(qint64 msecsSinceEpoch)
{
    // Only the lines that are not data lines (notices, repeat counts) come
    // here: a data line's clock is made in writeRecord().
    const int ms = int(msecsSinceEpoch % 1000);
    return logClockText(msecsSinceEpoch) + u'.' + QChar(u'0' + ms / 100) + QChar(u'0' + ms / 10 % 10)
        + QChar(u'0' + ms % 10);
}

}  // namespace

struct LineLog::RawFile
{
    QFile file;
    QByteArray waiting;
};

LineLog::LineLog(const Options &options, QObject *parent) : QObject(parent), m_options(options)
{
    if (!options.file.isEmpty()) {
        m_file.setFileName(options.file);
        m_file.open(QIODevice::WriteOnly | QIODevice::Append);
    }
    // Where the user meant it, before the run changes to the project's
    // directory.
    if (!options.rawFile.isEmpty())
        m_options.rawFile = QFileInfo(options.rawFile).absoluteFilePath();
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(FlushMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &LineLog::flush);
    if (QAbstractEventDispatcher *loop = QAbstractEventDispatcher::instance()) {
        // Told by the loop itself, outside any event's guard.
        connect(loop, &QAbstractEventDispatcher::aboutToBlock, this, guard([this] { writeHeld(); }));
        m_waitsForLoop = true;
    }
}

LineLog::~LineLog() { flush(); }

void LineLog::follow(EndpointRegistry &registry)
{
    connect(&registry, &EndpointRegistry::added, this, [this](Endpoint *e) { watch(e); });
    connect(&registry, &EndpointRegistry::removing, this, &LineLog::writeHeld);
}

// A record is written when the event loop is next about to wait, or
// before anything else is: the answer a script makes to a block goes out
// before the block's line is made, and the lines keep their order. A large
// record is written at once, with whatever waits before it.
void LineLog::hold(const Endpoint *e, qsizetype index)
{
    const EndpointLog::Entry entry = e->log().record(index);
    // Every script warning and error is written already (standard error;
    // in JSON a warning or error object of its own): not again from the
    // endpoint's log.
    if (lineKindInfo(entry.kind).scriptDiagnostic)
        return;
    m_held.push_back({e, e->name(), index});
    m_heldBytes += entry.size;
    if (!m_waitsForLoop || m_heldBytes >= HoldBytes || m_held.size() >= HoldRecords)
        writeHeld();
}

void LineLog::writeHeld()
{
    if (m_held.empty())
        return;
    // Taken first: a write can end in a flush, which writes what is held.
    std::vector<Held> held;
    held.swap(m_held);
    m_heldBytes = 0;
    for (const Held &h : held) {
        // Written before the log changes again: its bytes need no copy.
        const LineParts p = h.endpoint->log().partsInPlace(h.index);
        if (p.kind == LineKind::Received && !m_options.rawFile.isEmpty())
            writeRaw(h.name, p.bytes);
        writeRecord(h.name, p);
    }
    // The vector keeps its capacity for the next round.
    if (m_held.empty()) {
        held.clear();
        m_held.swap(held);
    }
}

void LineLog::watch(Endpoint *e)
{
    // The records that came while the endpoint was being made.
    for (qsizetype i = 0; i < e->log().count(); ++i)
        hold(e, i);
    // The status area of a window, as a notice when it changes. Told from
    // the event loop, since an endpoint being made gets its name after its
    // first status; but always before the endpoint's next line, so that a
    // connection is told connected before its first data.
    struct Status
    {
        QString last;
        bool pending = false;
        bool wasActive = false;
    };
    auto state = std::make_shared<Status>();
    const QPointer<Endpoint> endpoint(e);
    auto tell = [this, endpoint, state] {
        if (!state->pending)
            return;
        state->pending = false;
        if (!endpoint)
            return;
        const QString notice = kindDescriptor(endpoint->kind()).statusLine(*endpoint, state->wasActive);
        state->wasActive = state->wasActive || endpoint->isActive();
        if (!notice.isEmpty() && notice != state->last) {
            state->last = notice;
            write(QDateTime::currentMSecsSinceEpoch(), endpoint->name(), LineKind::Notice, notice);
        }
    };
    auto schedule = [this, state, tell] {
        if (!state->pending) {
            state->pending = true;
            QMetaObject::invokeMethod(this, tell, Qt::QueuedConnection);
        }
    };
    connect(&e->log(), &EndpointLog::recordAppended, this, [this, e, tell](qsizetype i) {
        tell();
        hold(e, i);
    });
    // Nothing held may outlive the records it names.
    connect(&e->log(), &EndpointLog::aboutToClear, this, &LineLog::writeHeld);
    // A connection's close changes its node's image but not its window's
    // status: both are watched.
    connect(e, &Endpoint::statusChanged, this, schedule);
    connect(e, &Endpoint::imageChanged, this, schedule);
}

void LineLog::follow(Panels &panels)
{
    // An edit box's first text comes as a change; a button's caption comes
    // with the button.
    connect(&panels, &Panels::itemAdded, this, [this, &panels](Endpoint *e, int index) {
        const Panels::Item item = panels.items(e).value(index);
        if (item.type == Panels::Item::Type::Button)
            writePanel(e, item.id, item.text);
    });
    connect(&panels, &Panels::textChanged, this,
            [this, &panels](Endpoint *e, int index, const QString &text) {
                writePanel(e, panels.items(e).value(index).id, text);
            });
}

void LineLog::writePanel(const Endpoint *endpoint, const QString &id, const QString &text)
{
    const qint64 at = QDateTime::currentMSecsSinceEpoch();
    if (!m_options.json) {
        write(at, endpoint->name(), LineKind::Notice,
              QStringLiteral("panel %1 %2 = %3").arg(endpoint->name(), id, text));
        return;
    }
    const QJsonObject o {
        {QStringLiteral("t"), isoTimeWithOffset(at)},
         {QStringLiteral("endpoint"), endpoint->name()},
          {QStringLiteral("event"), QStringLiteral("panel")},
           {QStringLiteral("id"), id},
            {QStringLiteral("text"), text},
           };
    emitLine(QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n');
}

void LineLog::write(qint64 at, const QString &endpoint, LineKind kind, const QString &text,
                    const QByteArray &bytes)
{
    QByteArray line;
    if (m_options.json) {
        line = lineJson(at, endpoint, kind, text, bytes);
    } else {
        const QString prefix = ClockWithMs(at) + u' ' + endpoint + QStringLiteral("  ");
        line = (prefix + IndentContinuations(text, prefix.size())).toLocal8Bit();
    }
    line += '\n';
    emitLine(line);
}

void LineLog::writeRecord(const QString &endpoint, const LineParts &p)
{
    // A data line is one line whatever its bytes (they are shown with
    // control pictures): made in UTF-8 straight from the bytes. A repeat
    // count is the user's text and takes the general path.
    if (m_options.json || !carriesBytes(p.kind) || p.withCount) {
        write(p.timeMs, endpoint, p.kind, lineBody(p), p.bytes);
        return;
    }
    // Made in place at the end of what waits for output, which keeps its
    // capacity from one flush to the next: a bulk stream's lines of a
    // quarter MiB then need no fresh buffer each.
    QByteArray *target = m_file.isOpen() ? &m_fileOut : !m_options.quiet ? &m_out : nullptr;
    if (!target)
        return;
    const qsizetype start = target->size();
    // The clock is digits and punctuation: its UTF-8 is its Latin-1.
    if (p.timeMs / 1000 != m_clockSecond) {
        m_clockSecond = p.timeMs / 1000;
        m_clockUtf8 = logClockText(p.timeMs).toLatin1();
    }
    if (endpoint != m_lineEndpoint) {
        m_lineEndpoint = endpoint;
        m_lineEndpointUtf8 = endpoint.toUtf8();
    }
    const int ms = int(p.timeMs % 1000);
    const char fraction[] = {'.', char('0' + ms / 100), char('0' + ms / 10 % 10), char('0' + ms % 10), ' '};
    *target += m_clockUtf8;
    target->append(fraction, sizeof fraction);
    *target += m_lineEndpointUtf8;
    *target += "  ";
    appendLineBodyUtf8(*target, p);
    *target += '\n';
    if (target == &m_fileOut && !m_options.quiet)
        m_out += QByteArrayView(m_fileOut).sliced(start);
    scheduleFlush(std::max(m_out.size(), m_fileOut.size()));
}

void LineLog::writeConsole(const QString &text)
{
    QByteArray line;
    if (m_options.json) {
        const QJsonObject o {
            {QStringLiteral("t"), isoTimeWithOffset(QDateTime::currentMSecsSinceEpoch())},
             {QStringLiteral("event"), QStringLiteral("console")},
              {QStringLiteral("text"), text},
             };
        line = QJsonDocument(o).toJson(QJsonDocument::Compact);
    } else {
        line = text.toLocal8Bit();
    }
    line += '\n';
    emitLine(line);
}

void LineLog::warning(const ScriptWarning &w)
{
    if (!m_options.json)
        return;
    QJsonObject o {
        {QStringLiteral("t"), isoTimeWithOffset(QDateTime::currentMSecsSinceEpoch())},
         {QStringLiteral("endpoint"), w.endpoint},
          {QStringLiteral("event"), QStringLiteral("warning")},
           {QStringLiteral("text"), w.line()},
            {QStringLiteral("from"), w.event},
           };
    if (w.action > 0)
        o.insert(QStringLiteral("action"), w.action);
    if (w.repeats > 0)
        o.insert(QStringLiteral("repeated"), w.repeats);
    emitLine(QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n');
}

void LineLog::error(const QString &text, const ScriptOutput::Place &place, int repeats)
{
    if (!m_options.json)
        return;
    QJsonObject o {
        {QStringLiteral("t"), isoTimeWithOffset(QDateTime::currentMSecsSinceEpoch())},
         {QStringLiteral("event"), QStringLiteral("error")},
          {QStringLiteral("text"), text},
         };
    if (!place.endpoint.isEmpty())
        o.insert(QStringLiteral("endpoint"), place.endpoint);
    if (!place.event.isEmpty())
        o.insert(QStringLiteral("from"), place.event);
    if (place.action > 0)
        o.insert(QStringLiteral("action"), place.action);
    if (!place.file.isEmpty())
        o.insert(QStringLiteral("file"), place.file);
    if (place.line > 0)
        o.insert(QStringLiteral("line"), place.line);
    if (repeats > 0)
        o.insert(QStringLiteral("repeated"), repeats);
    emitLine(QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n');
}

bool LineLog::openRawFiles(const EndpointRegistry &registry, QString *why)
{
    if (m_options.rawFile.isEmpty())
        return true;
    for (int i = 0; i < registry.count(); ++i) {
        if (!rawFile(registry.at(i)->name(), why))
            return false;
    }
    return true;
}

LineLog::RawFile *LineLog::rawFile(const QString &endpoint, QString *why)
{
    auto found = m_raw.find(endpoint);
    if (found != m_raw.end())
        return found->second.get();
    // An endpoint name is a file name suffix: no directory separator.
    QString suffix = endpoint;
    suffix.replace(u'/', u'_');
    auto raw = std::make_unique<RawFile>();
    raw->file.setFileName(m_options.rawFile + u'.' + suffix);
    if (!raw->file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        const QString error = QStringLiteral("%1: %2").arg(raw->file.fileName(), raw->file.errorString());
        if (why)
            *why = error;
        else
            ScriptOutput::instance().error(error);
        raw.reset();
    }
    return m_raw.emplace(endpoint, std::move(raw)).first->second.get();
}

void LineLog::writeRaw(const QString &endpoint, const QByteArray &bytes)
{
    RawFile *raw = rawFile(endpoint);
    if (!raw)
        return;
    raw->waiting += bytes;
    scheduleFlush(raw->waiting.size());
}

void LineLog::emitLine(const QByteArray &line)
{
    writeHeld();
    if (!m_options.quiet)
        m_out += line;
    if (m_file.isOpen())
        m_fileOut += line;
    scheduleFlush(std::max(m_out.size(), m_fileOut.size()));
}

void LineLog::scheduleFlush(qsizetype waiting)
{
    if (waiting >= FlushBytes)
        flush();
    else if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void LineLog::flush()
{
    writeHeld();
    m_flushTimer.stop();
    if (!m_out.isEmpty()) {
        std::fwrite(m_out.constData(), 1, size_t(m_out.size()), stdout);
        std::fflush(stdout);
        m_out.resize(0);  // the capacity stays for the next lines
    }
    if (!m_fileOut.isEmpty()) {
        m_file.write(m_fileOut);
        m_file.flush();
        m_fileOut.resize(0);
    }
    for (auto &[name, raw] : m_raw) {
        if (raw && !raw->waiting.isEmpty()) {
            raw->file.write(raw->waiting);
            raw->file.flush();
            raw->waiting.clear();
        }
    }
}
