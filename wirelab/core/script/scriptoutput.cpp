#include "core/script/scriptoutput.h"

#include "core/errors.h"
#include "guard.h"

#include <QCoreApplication>
#include <QMessageLogContext>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

QtMessageHandler g_previousHandler = nullptr;

// The JavaScript console reports through Qt's messages, in the category
// "js", with the script's file and line; every other message goes on to the
// handler that was there before.
void HandleMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (context.category && qstrcmp(context.category, "js") == 0) {
        QString location = ScriptOutput::scriptFileName(QString::fromUtf8(context.file));
        if (context.line > 0)
            location += u':' + QString::number(context.line);
        const bool output = type == QtDebugMsg || type == QtInfoMsg;
        ScriptOutput::instance().console(output, location, message);
        return;
    }
    if (g_previousHandler)
        g_previousHandler(type, context, message);
    else
        qt_message_output(type, context, message);
}

}  // namespace

ScriptOutput::ScriptOutput()
{
    g_previousHandler = qInstallMessageHandler(HandleMessage);
    // A failed script call that reaches the error report is told on
    // standard error too, with its place.
    SetErrorObserver([](std::exception_ptr error) {
        ScriptOutput &out = ScriptOutput::instance();
        Concerned concerned = std::exchange(out.m_concerned, Concerned());
        if (concerned.error != error)
            concerned = Concerned();  // another error's, left behind by a catch that kept it
        try {
            std::rethrow_exception(error);
        } catch (const ScriptError &e) {
            out.scriptError(e, QString(), Kind::Error, concerned.endpoint, concerned.log);
            out.m_toldReport = e.message();
        } catch (...) {}
    });
    m_repeatTimer.setInterval(1000);
    connect(&m_repeatTimer, &QTimer::timeout, this, [this] { tellRepeats(false); });
}

ScriptOutput &ScriptOutput::instance()
{
    static ScriptOutput *output = new ScriptOutput;  // lives as long as the process
    return *output;
}

QString ScriptOutput::scriptFileName(const QString &engineName)
{
    if (engineName.startsWith(QLatin1String("file://")))
        return QUrl(engineName).toLocalFile();
    if (engineName.startsWith(QLatin1String("file:")))
        return engineName.mid(5);
    return engineName;
}

QString ScriptOutput::programName()
{
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("wirelab") : name;
}

void ScriptOutput::write(bool toStdout, const QString &line, Kind kind)
{
    if (toStdout && kind == Kind::Console && m_consoleSink) {
        m_consoleSink(line);
        Q_EMIT lineWritten(line, kind);
        return;
    }
    FILE *stream = toStdout ? stdout : stderr;
    const QByteArray bytes =
        (kind == Kind::Console ? line : programName() + QStringLiteral(": ") + line).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
    Q_EMIT lineWritten(line, kind);
}

bool ScriptOutput::counted(const QString &line, Kind kind, const ScriptWarning *warning, const Place *place)
{
    if (kind != Kind::Error && kind != Kind::Warning)
        return false;
    const auto it = m_recent.find(line);
    if (it != m_recent.end()) {
        ++it->repeats;
        return true;
    }
    Recent recent;
    recent.kind = kind;
    if (warning)
        recent.warning = *warning;
    if (place)
        recent.place = *place;
    recent.order = ++m_order;
    m_recent.insert(line, recent);
    if (!m_repeatTimer.isActive())
        m_repeatTimer.start();
    return false;
}

void ScriptOutput::tellRepeats(bool forget)
{
    std::vector<std::pair<QString, Recent>> told;
    for (auto it = m_recent.begin(); it != m_recent.end();) {
        if (it->repeats > 0)
            told.emplace_back(it.key(), *it);
        // A line that did not come again in the last second is written in
        // full the next time.
        if (forget || it->repeats == 0) {
            it = m_recent.erase(it);
        } else {
            it->repeats = 0;
            ++it;
        }
    }
    if (m_recent.isEmpty())
        m_repeatTimer.stop();
    std::sort(told.begin(), told.end(),
              [](const auto &a, const auto &b) { return a.second.order < b.second.order; });
    for (const auto &[line, recent] : told) {
        if (recent.kind == Kind::Warning) {
            ScriptWarning w = recent.warning;
            w.repeats = recent.repeats;
            write(false, w.line(), Kind::Warning);
            Q_EMIT warned(w);
        } else {
            const QString text =
                QStringLiteral("%1 (repeated %2 times in the last second)").arg(line).arg(recent.repeats);
            write(false, text, recent.kind);
            Q_EMIT erred(text, recent.place, recent.repeats);
        }
    }
}

void ScriptOutput::flushRepeats() { tellRepeats(true); }

bool ScriptOutput::error(const QString &text, Kind kind, const Place &place, EndpointLog *log)
{
    if (counted(text, kind, nullptr, &place))
        return false;
    // Held across the listeners, which may delete its endpoint.
    const QPointer<EndpointLog> held(log);
    write(false, text, kind);
    Q_EMIT erred(text, place, 0);
    if (held)
        held->appendText(LineKind::Error, QStringLiteral("error: ") + text, true);
    return true;
}

bool ScriptOutput::scriptError(const ScriptError &e, const QString &prefix, Kind kind,
                               const QString &endpoint, EndpointLog *log)
{
    Place place;
    place.endpoint = endpoint;
    place.file = e.file();
    place.line = e.line();
    return error(e.where() + prefix + e.text(), kind, place, log);
}

void ScriptOutput::concerns(const std::exception_ptr &error, const QString &endpoint,
                            const QPointer<EndpointLog> &log)
{
    if (m_concerned.error == error)
        return;  // an inner call's
    m_concerned = {error, endpoint, log};
}

bool ScriptOutput::warning(const ScriptWarning &w)
{
    const QString line = w.line();
    if (counted(line, Kind::Warning, &w))
        return false;
    write(false, line, Kind::Warning);
    Q_EMIT warned(w);
    return true;
}

bool ScriptOutput::takeToldReport(const QString &text)
{
    if (m_toldReport.isEmpty() || text != m_toldReport)
        return false;
    m_toldReport.clear();
    return true;
}

QString ScriptWarning::line() const
{
    QString line = QStringLiteral("warning: ");
    if (!event.isEmpty())
        line += event + QStringLiteral(": ");
    if (action > 0)
        line += QStringLiteral("action %1: ").arg(action);
    line += text;
    if (repeats > 0)
        line += QStringLiteral(" (repeated %1 times in the last second)").arg(repeats);
    return line;
}

void ScriptOutput::console(bool output, const QString &location, const QString &text)
{
    write(output, location.isEmpty() ? text : location + QStringLiteral(": ") + text, Kind::Console);
}
