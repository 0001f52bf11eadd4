#include "core/script/scriptengine.h"

#include "core/errors.h"
#include "core/script/scriptoutput.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

ScriptEngine::ScriptEngine() : m_global(m_engine.globalObject())
{
    // console.log and friends, reported with the script's file and line.
    m_engine.installExtensions(QJSEngine::ConsoleExtension);
    ScriptOutput::instance();
    // Kept out of the global scope, so no script can see or replace it. A
    // name that is not defined or not callable fails as the call text would.
    m_callState = m_engine.newObject();
    m_caller = m_engine.evaluate(QStringLiteral(
        "(function (g, state) {\n"
        "  return function (name, args) {\n"
        "    state.threw = false;\n"
        "    try {\n"
        "      if (!(name in g)) throw new ReferenceError(name + ' is not defined');\n"
        "      var f = g[name];\n"
        "      if (typeof f !== 'function') throw new TypeError(name + ' is not a function');\n"
        "      return f.apply(undefined, args);\n"
        "    } catch (e) { state.threw = true; state.error = e; }\n"
        "  };\n"
        "})"));
    m_caller = m_caller.call({m_global, m_callState});
    m_watchdog = std::thread([this] { watchdogLoop(); });
}

ScriptEngine::~ScriptEngine()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_watchdog.join();
}

// Arming a call does not wake this thread (that cost a thread switch per
// event): while no call is armed it wakes at least once per timeout, so a
// call armed meanwhile is watched from no later than its deadline on.
void ScriptEngine::watchdogLoop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_quit) {
        if (!m_armed) {
            if (m_watchTimeoutMs > 0)
                m_wake.wait_for(lock, std::chrono::milliseconds(m_watchTimeoutMs));
            else
                m_wake.wait(lock);
            continue;
        }
        const std::uint64_t generation = m_generation;
        if (m_wake.wait_until(lock, m_deadline) == std::cv_status::timeout && m_armed
            && m_generation == generation && !m_quit) {
            // Under the same mutex as disarm(): a late interrupt can never
            // hit the next call.
            m_fired = true;
            m_engine.setInterrupted(true);
            m_armed = false;
        }
    }
}

void ScriptEngine::arm()
{
    if (m_timeoutMs <= 0)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_generation;
        m_armed = true;
        m_fired = false;
        m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_timeoutMs);
    }
}

void ScriptEngine::setTimeoutMs(int ms)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_timeoutMs = ms;
        m_watchTimeoutMs = ms;
    }
    m_wake.notify_all();
}

bool ScriptEngine::disarm()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_armed = false;
    ++m_generation;
    if (m_fired)
        m_engine.setInterrupted(false);
    return m_fired;
}

namespace {
[[noreturn]] void ThrowInterrupted(int timeoutMs)
{
    throw ScriptError(
        QStringLiteral("Script interrupted: the call ran longer than %1 s") .arg(timeoutMs / 1000.0));
}

QString TextOf(const QJSValue &value)
{
    if (value.isUndefined() || value.isNull())
        return QString();
    return value.toString();
}
}  // namespace

QString ScriptEngine::evalScript(const QString &text, const QString &fileName)
{
    ++m_evalCount;
    QStringList stack;
    arm();
    const QJSValue result = m_engine.evaluate(text, fileName, 1, &stack);
    if (disarm())
        ThrowInterrupted(m_timeoutMs);
    throwIfFailed(result, !stack.isEmpty(), stack);
    return TextOf(result);
}

void ScriptEngine::throwIfFailed(const QJSValue &result, bool threw, const QStringList &stack)
{
    // Only what was thrown is an error: an Error object that a call merely
    // returns is a value like any other.
    if (threw) {
        QString message = result.toString();
        if (message.isEmpty())
            message = QStringLiteral("Script error");
        const QString engineText = message;
        int line = result.isError() ? result.property(QStringLiteral("lineNumber")).toInt() : 0;
        QString file = result.isError() ? result.property(QStringLiteral("fileName")).toString() : QString();
        if (!stack.isEmpty()) {
            // "function:line:column:file" for the frame that threw
            const QStringList parts = stack.first().split(u':');
            if (line <= 0 && parts.size() >= 2)
                line = parts.at(1).toInt();
            if (file.isEmpty() && parts.size() >= 4)
                file = parts.mid(3).join(u':');
        }
        file = ScriptOutput::scriptFileName(file);
        if (line > 0)
            message += QStringLiteral(" (line %1)").arg(line);
        throw ScriptError(message, engineText, file, line);
    }
}

QJSValue ScriptEngine::invoke(const QString &function, const QJSValueList &args)
{
    ++m_evalCount;
    QJSValue array = m_engine.newArray(uint(args.size()));
    for (int i = 0; i < args.size(); ++i)
        array.setProperty(quint32(i), args.at(i));
    arm();
    QJSValue result = m_caller.call({QJSValue(function), array});
    if (disarm())
        ThrowInterrupted(m_timeoutMs);
    if (m_callState.property(QStringLiteral("threw")).toBool()) {
        const QJSValue error = m_callState.property(QStringLiteral("error"));
        m_callState.setProperty(QStringLiteral("error"), QJSValue());
        throwIfFailed(error, true, {});
    }
    return result;
}

QString ScriptEngine::callGlobal(const QString &function, const QStringList &args)
{
    QJSValueList values;
    values.reserve(args.size());
    for (const QString &a : args)
        values.append(QJSValue(a));
    return TextOf(invoke(function, values));
}

bool ScriptEngine::hasGlobalFunction(const QString &function) const
{
    return m_global.property(function).isCallable();
}

QString ScriptEngine::jsonOfGlobal(const QString &global)
{
    // A global declared with let/const is no property of the global object:
    // evaluate the text then, which finds it (or fails the same way).
    if (!m_global.hasProperty(global))
        return evalScript(QStringLiteral("json2str(%1);").arg(global));
    return TextOf(invoke(QStringLiteral("json2str"), {m_global.property(global)}));
}

void ScriptEngine::clearGlobalArray(const QString &global)
{
    if (!m_global.hasProperty(global)) {
        evalScript(QStringLiteral("%1=[];").arg(global));
        return;
    }
    ++m_evalCount;
    m_global.setProperty(global, m_engine.newArray());
}

QJSValue ScriptEngine::takeGlobalArray(const QString &global)
{
    const QJSValue taken = m_global.property(global);
    if (!taken.isArray())
        return QJSValue();
    m_global.setProperty(global, m_engine.newArray());
    return taken;
}

void ScriptEngine::restoreGlobalArray(const QString &global, const QJSValue &taken)
{
    if (!taken.isArray() || taken.property(QStringLiteral("length")).toInt() == 0)
        return;
    const QJSValue now = m_global.property(global);
    if (!now.isArray()) {
        m_global.setProperty(global, taken);
        return;
    }
    const QJSValue joined = taken.property(QStringLiteral("concat")).callWithInstance(taken, {now});
    if (joined.isArray())
        m_global.setProperty(global, joined);
}

bool readScriptFile(const QString &path, QString &text)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray bytes = file.readAll();
    if (file.error() != QFile::NoError)
        return false;
    QString s = QString::fromLocal8Bit(bytes);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(u'\r', u'\n');
    s.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    text = s;
    return true;
}

bool ScriptEngine::loadScripts(const QString &projectFile)
{
    ScriptOutput &out = ScriptOutput::instance();
    QString project;
    if (!readScriptFile(projectFile, project)) {
        const QFileInfo info(projectFile);
        out.error(QStringLiteral("%1 %2 in %3; no scripts loaded") .arg(
            info.fileName(),
            info.exists()
            ? QStringLiteral("cannot be read")
                             : QStringLiteral("not found"), QDir::toNativeSeparators(info.absolutePath())),
            ScriptOutput::Kind::StartupError);
        return false;
    }
    bool allLoaded = true;
    const QStringList lines = project.split(QStringLiteral("\r\n"));
    for (int i = 0; i < lines.size(); ++i) {
        const QString path = lines.at(i).trimmed();
        if (path.isEmpty() || path.startsWith(QStringLiteral("//")))
            continue;
        QString code;
        if (!readScriptFile(path, code)) {
            out.error(QStringLiteral("%1:%2: %3 %4; loading stopped")
                                         .arg(QFileInfo(projectFile).fileName())
                                         .arg(i + 1)
                                         .arg(path,
                                              QFileInfo::exists(path) ? QStringLiteral("cannot be read") : QStringLiteral("not found")),
                                              ScriptOutput::Kind::StartupError);
            return false;
        }
        try {
            evalScript(code, path);
        } catch (const ScriptError &e) {
            // A broken file is skipped; the next one still loads.
            out.scriptError(e, QString(), ScriptOutput::Kind::StartupError);
            allLoaded = false;
        }
    }
    return allLoaded;
}
