#include "headless/headlessrun.h"

#include "core/control/controlchannel.h"
#include "core/control/controlserver.h"
#include "core/control/projectcontrol.h"
#include "core/control/stdinconnection.h"
#include "core/endpoints/registry.h"
#include "core/log/logmemory.h"
#include "core/script/actionexecutor.h"
#include "core/script/declarations.h"
#include "core/script/scripthost.h"
#include "core/script/scriptoutput.h"
#include "core/workbench/workbench.h"
#include "guard.h"
#include "headless/stopsignals.h"
#include "messageseam.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QPointer>

#include <cstdio>

HeadlessRun::HeadlessRun(const Options &options, QObject *parent)
    : QObject(parent),
      m_options(options),
      m_workbench(std::make_unique<Workbench>()),
      m_log(std::make_unique<LineLog>(options.log))
{
    m_log->follow(registry());
    m_log->follow(m_workbench->panels());
    host().executor().setExitHandler([this](int code) { finish(code); });
    // What the scripts print goes between the lines it belongs with.
    ScriptOutput::instance().setConsoleSink([this](const QString &line) { m_log->writeConsole(line); });

    // There is no box to show: an ALERT (titled with its socket) and every
    // other message go to standard error, and the run goes on.
    MessageSeam::setHandler([this](const QString &text, const QString &title) {
        // The error report of a script error is already on standard error,
        // with its file and line.
        if (title.isEmpty() && ScriptOutput::instance().takeToldReport(text)) {
            m_log->flush();
            return;
        }
        // A box without a title tells an error (in the JSON stream too); an
        // ALERT is the script's own message.
        if (title.isEmpty())
            m_log->error(text);
        m_log->flush();
        writeError(title.isEmpty()                   ? ScriptOutput::programName()
                       + QStringLiteral(": ") + text : QStringLiteral("ALERT %1: %2").arg(title, text));
    });
    connect(&registry(), &EndpointRegistry::portBusy, this, &HeadlessRun::tellPortBusy);

    connect(&ScriptOutput::instance(), &ScriptOutput::warned, this,
            [this](const ScriptWarning &w) { m_log->warning(w); });
    // Every error on standard error is one in the JSON stream too, so that a
    // program reading it learns of each.
    connect(&ScriptOutput::instance(), &ScriptOutput::erred, this,
            [this](const QString &text, const ScriptOutput::Place &place, int repeats) {
                m_log->error(text, place, repeats);
            });
    connect(&LogMemory::instance(), &LogMemory::spillFailed, this,
            [this](const QString &message) { m_log->error(message); });
    // A CI run fails on the first mistake of its scripts, once the batch
    // or handler that made it is done.
    if (options.strict) {
        connect(&ScriptOutput::instance(), &ScriptOutput::lineWritten, this,
                [this](const QString &, ScriptOutput::Kind kind) {
                    if (kind != ScriptOutput::Kind::Console)
                        finish(ScriptMistake);
                });
    }
    m_duration.setSingleShot(true);
    connect(&m_duration, &QTimer::timeout, this, [this] { finish(Done); });
}

HeadlessRun::~HeadlessRun()
{
    // The socket goes first (its last answers sent, its file removed).
    m_controlServer.reset();
    m_stdin.reset();
    m_channel.reset();
    MessageSeam::setHandler({});
    ScriptOutput::instance().setConsoleSink({});
    m_workbench->clear();
}

void HeadlessRun::writeError(const QString &line)
{
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

void HeadlessRun::tellPortBusy(Endpoint *endpoint, int port)
{
    if (!endpoint) {
        // Nothing was made: the declaration being built names it.
        const QString name = host().declarations().declaringId();
        const QString text = tr("端口 %1 已被占用，未创建").arg(port);
        m_log->write(QDateTime::currentMSecsSinceEpoch(), name, LineKind::Notice, text);
        m_log->flush();
        writeError(QStringLiteral("%1: %2: %3").arg(ScriptOutput::programName(), name, text));
        return;
    }
    // A declared endpoint is named after it is made: told from the event
    // loop, by the name it has then, after the registry logged it with the
    // endpoint (its line comes from there).
    const QPointer<Endpoint> e(endpoint);
    QTimer::singleShot(
        0, this, guard([this, e, port] {
            if (!e)
                return;
            const QString text = tr("端口 %1 已被占用").arg(port);
            m_log->flush();
            writeError(QStringLiteral("%1: %2: %3").arg(ScriptOutput::programName(), e->name(), text));
        }));
}

EndpointRegistry &HeadlessRun::registry() { return m_workbench->registry(); }

ScriptHost &HeadlessRun::host() { return m_workbench->host(); }

int HeadlessRun::start()
{
    if (!m_log->isOpen()) {
        ScriptOutput::instance().error(QStringLiteral("%1: %2").arg(m_options.log.file, m_log->fileError()));
        return ScriptsUnreadable;
    }
    // Claimed before anything runs (and before the directory changes, so
    // a relative path is where the user meant it).
    if (!m_options.controlSocket.isEmpty()) {
        m_controlServer = std::make_unique<ControlServer>();
        QString why;
        if (!m_controlServer->listen(m_options.controlSocket, &why)) {
            m_controlServer.reset();
            ScriptOutput::instance().error(why);
            return ControlUnusable;
        }
    }
    if (!m_options.dir.isEmpty() && !QDir::setCurrent(m_options.dir)) {
        ScriptOutput::instance().error(QStringLiteral("%1: no such directory").arg(m_options.dir));
        return ScriptsUnreadable;
    }
    // Script paths in project.txt are relative to its directory, as when
    // the window is started there.
    if (!m_workbench->load(QStringLiteral("project.txt")))
        return ScriptsUnreadable;
    m_workbench->build();
    QString rawError;
    if (!m_log->openRawFiles(registry(), &rawError)) {
        ScriptOutput::instance().error(rawError);
        return ScriptsUnreadable;
    }
    const Declarations::Outcome outcome = host().declarations().outcome();
    if (outcome != Declarations::Outcome::Created) {
        if (outcome == Declarations::Outcome::NothingCreated)
            ScriptOutput::instance().error(QStringLiteral("the declarations made no endpoint"));
        return NoWorkspace;
    }
    m_workbench->run();
    if (m_options.durationSeconds > 0)
        m_duration.start(int(m_options.durationSeconds * 1000));
    m_stopSignals = new StopSignals(this);
    connect(m_stopSignals, &StopSignals::stopRequested, this, [this] { finish(Done); });
    startControl();
    return Done;
}

void HeadlessRun::startControl()
{
    if (!m_options.controlStdin && !m_controlServer)
        return;
    m_control = std::make_unique<ProjectControl>(*m_workbench, [this](int code) { finish(code); });
    m_channel = std::make_unique<ControlChannel>(
        *m_control, m_options.log.json ? ControlChannel::Form::Json : ControlChannel::Form::Text);
    if (m_options.controlStdin) {
        // Answers go where the lines go, after the lines logged before them.
        m_stdin = std::make_unique<StdinConnection>(0, [this](const QByteArray &answer) {
            m_log->flush();
            std::fwrite(answer.constData(), 1, size_t(answer.size()), stdout);
            std::fflush(stdout);
        });
        m_channel->add(m_stdin.get());
    }
    if (m_controlServer)
        m_controlServer->serve(*m_channel);
}

int HeadlessRun::exec()
{
    const int early = start();
    if (early != Done || m_ending) {
        m_log->flush();
        return early != Done ? early : m_code;
    }
    QEventLoop loop;
    connect(this, &HeadlessRun::finished, &loop, [&loop](int code) { loop.exit(code); });
    const int code = loop.exec();
    return code;
}

void HeadlessRun::finish(int code)
{
    if (m_ending)
        return;
    m_ending = true;
    m_code = code;
    if (m_channel)
        m_channel->close();
    // From the event loop, after the batch (or handler) that asked.
    QMetaObject::invokeMethod(
        this, [this] { end(); }, Qt::QueuedConnection);
}

void HeadlessRun::end()
{
    m_duration.stop();
    // Endpoints closed (their sockets with them), then the log flushed.
    m_workbench->clear();
    ScriptOutput::instance().flushRepeats();
    m_log->flush();
    Q_EMIT finished(m_code);
}
