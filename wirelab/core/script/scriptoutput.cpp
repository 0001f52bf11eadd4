#include "core/script/scriptoutput.h"

#include "core/errors.h"
#include "guard.h"

#include <QCoreApplication>
#include <QMessageLogContext>
#include <QUrl>

#include <cstdio>

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
        try {
            std::rethrow_exception(error);
        } catch (const ScriptError &e) {
            ScriptOutput::instance().scriptError(e);
        } catch (...) {}
    });
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

void ScriptOutput::error(const QString &text, Kind kind) { write(false, text, kind); }

void ScriptOutput::scriptError(const ScriptError &e, const QString &prefix, Kind kind)
{
    write(false, e.where() + prefix + e.text(), kind);
}

void ScriptOutput::console(bool output, const QString &location, const QString &text)
{
    write(output, location.isEmpty() ? text : location + QStringLiteral(": ") + text, Kind::Console);
}
