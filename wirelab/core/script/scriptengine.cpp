#include "core/script/scriptengine.h"

#include "core/errors.h"
#include "core/script/scriptoutput.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <utility>

namespace {

enum Phase : std::uint64_t {
    Idle = 0,
    Armed = 1,
    Firing = 2,
    Fired = 3
};

std::int64_t SteadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The direct calls, kept out of the global scope so that no script can see or
// replace them. A name that is not defined or not callable fails as the call
// text would; the line numbers of those two errors are part of their
// reports, so they stay on lines 5 and 7.
//
// call(name, args): one function, what it throws caught into state.
// event(n, name, ...): the event function with the n arguments after name
// (2, 4 or 5 of them, or any number in an array after name), then
// json2str(actions), then actions=[] when that gave a non-empty text; what
// the event returned is turned into text as a direct call's result is. It
// returns json2str's text, or state when anything else happened: state.threw
// with state.error, state.stage 0 for the event and 1 for json2str; stage 2
// with state.value when json2str gave no string (the caller converts it and
// empties the list); stage 3 when actions is no property of g.
// where(): the stage of the event in progress, for an interruption, which no
// catch sees.
// useDirect(f): f is a json2str that gives JSON.stringify's text of its
// argument (UnreadArguments proved it): while the global json2str is f, is
// called directly, and JSON.stringify is the engine's own and would call no
// toJSON of an array or plain object, the event returns the actions list
// itself, unread and not emptied, for the caller to read as plain data
// (PlainJsonReader) and empty. jsonAfterAll(v): json2str on that list after
// all (it was no plain data), and the rest as the event would have done.
// actionsNow(): event's part after the event function, on its own (the
// actions a timer, a click or OnInit left).
//
// An event that goes well stores nothing in state and makes no object, and
// asks the engine's runtime as little as it can: the function is read before
// asking whether the name is there at all (the question only decides which
// error it is), the functions last called (event1, json1) are known to be
// functions, and the text's emptiness is its truth, where reading its length
// would wrap it in an object.
//
// json2str(actions) and what follows it, written out in the event and on its
// own (actionsNow): a call from one to the other would cost every event.
// clang-format off
#define ActionsStage \
    "    stage = 1;\n" \
    "    try {\n" \
    "      var v = g.actions;\n" \
    "      if (v == null && !('actions' in g)) { state.threw = false; state.stage = 3; return state; }\n" \
    "      var s = g.json2str;\n" \
    "      if (s !== json1) { if (typeof s !== 'function') fail('json2str'); json1 = s; }\n" \
    "      if (s === direct && isArray0(v) && s.apply === apply && g.JSON === json0 && json0.stringify === " \
    "stringify0\n" \
    "          && !('toJSON' in ap)) return v;\n" \
    "    } catch (x) { return failed(1, x); }\n" \
    "    return json(v, s);\n"

const char EventCallers[] =
    "(function (g, state, apply, invoke) {\n"
    "  function fail(name) {\n"
    "    // lines 5 and 7\n"
    "\n"
    "    if (!(name in g)) throw new ReferenceError(name + ' is not defined');\n"
    "\n"
    "    throw new TypeError(name + ' is not a function');\n"
    "  }\n"
    "  function call(name, args) {\n"
    "    state.threw = false;\n"
    "    try { var f = g[name]; if (typeof f !== 'function') fail(name); return f.apply(undefined, args); }\n"
    "    catch (e) { state.threw = true; state.error = e; }\n"
    "  }\n"
    "  function failed(stage, x) {\n"
    "    state.threw = true; state.error = x; state.stage = stage; return state;\n"
    "  }\n"
    "  var stage = 0, event1 = fail, json1 = fail;\n"
    "  var direct = null, json0 = g.JSON, stringify0 = json0.stringify, isArray0 = Array.isArray, ap = "
    "Array.prototype;\n"
    "  function where() { return stage; }\n"
    "  function useDirect(f) { direct = f; }\n"
    "  function event(n, name, a, b, c, d, e) {\n"
    "    var r;\n"
    "    stage = 0;\n"
    "    try {\n"
    "      var f = g[name];\n"
    "      if (f !== event1) { if (typeof f !== 'function') fail(name); event1 = f; }\n"
    "      var fa = f.apply;\n"
    "      if (fa !== apply) r = invoke(fa, f, [undefined, n === 4 ? [a, b, c, d] : n === 5 ? [a, b, c, d, "
    "e] : n === 2 ? [a, b] : a]);\n"
    "      else if (n === 4) r = f(a, b, c, d);\n"
    "      else if (n === 5) r = f(a, b, c, d, e);\n"
    "      else if (n === 2) r = f(a, b);\n"
    "      else r = f.apply(undefined, a);\n"
    "    } catch (x) { return failed(0, x); }\n"
    "    if (r != null && (typeof r === 'object' || typeof r === 'function')) try { `${r}`; } catch (x) {}\n"
    ActionsStage
    "  }\n"
    "  function actionsNow() {\n"
    ActionsStage
    "  }\n"
    "  function json(v, s) {\n"
    "    var j;\n"
    "    try {\n"
    "      var sa = s.apply;\n"
    "      j = sa === apply ? s(v) : invoke(sa, s, [undefined, [v]]);\n"
    "    } catch (x) { return failed(1, x); }\n"
    "    if (typeof j === 'string') {\n"
    "      if (j) try { g.actions = []; } catch (x) {}\n"
    "      return j;\n"
    "    }\n"
    "    state.threw = false;\n"
    "    state.stage = 2;\n"
    "    state.value = j;\n"
    "    return state;\n"
    "  }\n"
    "  function jsonAfterAll(v) { stage = 1; return json(v, json1); }\n"
    "  return [call, event, where, useDirect, jsonAfterAll, actionsNow];\n"
    "})";
#undef ActionsStage
// clang-format on

// still(g, name, f): whether g[name] is still f and the event call would
// call f directly (f.apply is Function.prototype.apply as apply was), read
// from property descriptors, so that no getter of a script runs.
const char StillDirect[] =
    "(function (apply) {\n"
    "  var own = Object.getOwnPropertyDescriptor, proto = Object.getPrototypeOf, fp = Function.prototype;\n"
    "  return function (g, name, f) {\n"
    "    var d = own(g, name);\n"
    "    if (!d || d.value !== f || own(f, 'apply') || proto(f) !== fp) return false;\n"
    "    d = own(fp, 'apply');\n"
    "    return !!d && d.value === apply;\n"
    "  };\n"
    "})";

}  // namespace

ScriptEngine::ScriptEngine() : m_global(m_engine.globalObject()), m_plainReader(m_engine)
{
    // console.log and friends, reported with the script's file and line.
    m_engine.installExtensions(QJSEngine::ConsoleExtension);
    ScriptOutput::instance();
    m_callState = m_engine.newObject();
    // Function.prototype.apply as it was before any script ran: a function
    // whose apply is still that one is called directly, the same call
    // without an array of its arguments; any other apply is called as
    // f.apply(undefined, args) would call it (through Reflect.apply as it
    // was, which no script can have replaced by then).
    const QJSValue apply = m_engine.evaluate(QStringLiteral("Function.prototype.apply"));
    const QJSValue invoke = m_engine.evaluate(QStringLiteral("Reflect.apply"));
    const QJSValue callers =
        m_engine.evaluate(QString::fromLatin1(EventCallers)).call({m_global, m_callState, apply, invoke});
    m_caller = callers.property(0);
    m_eventCaller = callers.property(1);
    m_eventStage = callers.property(2);
    m_useDirect = callers.property(3);
    m_jsonAfterAll = callers.property(4);
    m_actionsNow = callers.property(5);
    m_stillDirect = m_engine.evaluate(QString::fromLatin1(StillDirect)).call({apply});
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
        std::uint64_t watched = m_watched.load(std::memory_order_acquire);
        if ((watched & 3) != Armed) {
            if (m_watchTimeoutMs > 0)
                m_wake.wait_for(lock, std::chrono::milliseconds(m_watchTimeoutMs));
            else
                m_wake.wait(lock);
            continue;
        }
        const std::int64_t left = m_deadlineNs.load(std::memory_order_relaxed) - SteadyNs();
        if (left > 0) {
            m_wake.wait_for(lock, std::chrono::nanoseconds(left));
            continue;
        }
        // Only the call that is still armed is interrupted: a call that has
        // ended (or the next one) has changed m_watched, and the exchange fails.
        if (m_watched.compare_exchange_strong(watched, (watched & ~std::uint64_t(3)) | Firing,
                                              std::memory_order_acq_rel)) {
            m_engine.setInterrupted(true);
            m_watched.store((watched & ~std::uint64_t(3)) | Fired, std::memory_order_release);
        }
    }
}

std::uint64_t ScriptEngine::arm()
{
    if (m_timeoutMs <= 0)
        return 0;
    const std::uint64_t token = (++m_generation << 2) | Armed;
    m_deadlineNs.store(SteadyNs() + std::int64_t(m_timeoutMs) * 1000000, std::memory_order_relaxed);
    m_watched.store(token, std::memory_order_release);
    return token;
}

bool ScriptEngine::disarm(std::uint64_t token)
{
    if (!token)
        return false;
    std::uint64_t watched = token;
    const std::uint64_t idle = token & ~std::uint64_t(3);
    if (m_watched.compare_exchange_strong(watched, idle, std::memory_order_acq_rel))
        return false;
    if ((watched & ~std::uint64_t(3)) != idle)
        return false;  // a call nested in this one was watched since
    // The watchdog is interrupting this call: wait until it has, then clear it.
    while ((m_watched.load(std::memory_order_acquire) & 3) == Firing)
        std::this_thread::yield();
    m_engine.setInterrupted(false);
    m_watched.store(idle, std::memory_order_release);
    return true;
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
    emptyReadActions();
    ++m_evalCount;
    QStringList stack;
    const std::uint64_t token = arm();
    const QJSValue result = m_engine.evaluate(text, fileName, 1, &stack);
    if (disarm(token))
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
    emptyReadActions();
    ++m_evalCount;
    QJSValue array = m_engine.newArray(uint(args.size()));
    for (int i = 0; i < args.size(); ++i)
        array.setProperty(quint32(i), args.at(i));
    const std::uint64_t token = arm();
    QJSValue result = m_caller.call({QJSValue(function), array});
    if (disarm(token))
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

ScriptEngine::EventActions ScriptEngine::callEvent(const QString &function, const QStringList &args)
{
    emptyReadActions();
    ++m_evalCount;
    // The usual counts go as they are: no array to build on this side, and
    // no arguments object on the other.
    const qsizetype n = args.size();
    QJSValueList values;
    values.reserve(n + 2);
    values.append(QJSValue(int(n)));
    // The name as a string of the engine's own, kept: one string less per
    // event, and one the engine has already hashed to look it up.
    values.append(eventArgument(0, function));
    if (n == 2 || n == 4 || n == 5) {
        for (qsizetype i = 0; i < n; ++i)
            values.append(eventArgument(i + 1, args.at(i)));
    } else {
        QJSValue array = m_engine.newArray(uint(n));
        for (qsizetype i = 0; i < n; ++i)
            array.setProperty(quint32(i), args.at(i));
        values.append(array);
    }
    const std::uint64_t token = arm();
    const QJSValue result = m_eventCaller.call(values);
    return actionsRead(result, disarm(token));
}

ScriptEngine::EventActions ScriptEngine::takeActions()
{
    emptyReadActions();
    const std::uint64_t token = arm();
    const QJSValue result = m_actionsNow.call();
    return actionsRead(result, disarm(token));
}

ScriptEngine::EventActions ScriptEngine::actionsRead(QJSValue result, bool interrupted)
{
    EventActions read;
    if (!interrupted && result.isObject() && !result.strictlyEquals(m_callState)) {
        // The list itself: json2str would have given JSON.stringify's text
        // of it, and then actions=[].
        if (JsonNode doc; result.isArray() && m_plainReader.read(result, doc)) {
            read.read = true;
            read.doc = std::move(doc);
            // actions=[] comes later (emptyReadActions()): nothing can see
            // the list until the engine is entered again, and the answer
            // the actions make goes out sooner.
            m_evalCount += 2;
            m_readActionsFull = true;
            return read;
        }
        const std::uint64_t token = arm();
        result = m_jsonAfterAll.call({result});
        interrupted = disarm(token);
    }
    if (result.isString() && !interrupted) {
        read.read = true;
        read.json = result.toString();
        m_evalCount += read.json.isEmpty() ? 1 : 2;
        return read;
    }
    // What went wrong is in m_callState, unless an interruption (which no
    // catch sees) cut the call short: then the wrapper tells how far it got.
    // A text that came back although the watchdog fired is json2str's.
    int stage = 1;
    if (result.strictlyEquals(m_callState))
        stage = m_callState.property(QStringLiteral("stage")).toInt();
    else if (!result.isString())
        stage = m_eventStage.call().toInt();
    if (stage == 0) {
        if (interrupted)
            ThrowInterrupted(m_timeoutMs);
        const QJSValue error = m_callState.property(QStringLiteral("error"));
        m_callState.setProperty(QStringLiteral("error"), QJSValue());
        throwIfFailed(error, true, {});  // throws
    }
    if (stage == 3)
        return read;  // actions is read the usual way
    read.read = true;
    ++m_evalCount;
    try {
        if (interrupted)
            ThrowInterrupted(m_timeoutMs);
        if (m_callState.property(QStringLiteral("threw")).toBool()) {
            const QJSValue error = m_callState.property(QStringLiteral("error"));
            m_callState.setProperty(QStringLiteral("error"), QJSValue());
            throwIfFailed(error, true, {});
        }
    } catch (...) {
        read.error = std::current_exception();
        return read;
    }
    // json2str gave no string: converted as its direct call's value is, and
    // the list emptied as clearGlobalArray does.
    const QJSValue value = m_callState.property(QStringLiteral("value"));
    m_callState.setProperty(QStringLiteral("value"), QJSValue());
    read.json = TextOf(value);
    if (!read.json.isEmpty())
        clearGlobalArray(QStringLiteral("actions"));
    return read;
}

QJSValue ScriptEngine::eventArgument(qsizetype i, const QString &text)
{
    // Made once the same text comes twice in a row: a block's text seldom
    // does, and a long one is not kept at all.
    constexpr qsizetype KeptChars = 64;
    if (text.size() > KeptChars)
        return QJSValue(text);
    EventArgument &kept = m_eventArguments[i];
    if (kept.text != text) {
        kept.text = text;
        kept.value = QJSValue();
        return QJSValue(text);
    }
    if (kept.value.isUndefined())
        kept.value = m_engine.toScriptValue(text);
    return kept.value;
}

void ScriptEngine::emptyReadActions()
{
    // actions=[] as clearGlobalArray makes it, without its question whether
    // the global has the property: the list was read from it.
    if (std::exchange(m_readActionsFull, false))
        m_global.setProperty(QStringLiteral("actions"), m_engine.newArray());
}

bool ScriptEngine::argumentUnread(const QString &function, int index)
{
    emptyReadActions();
    if (!m_unread.unread(function, index))
        return false;
    const auto declared = m_declared.constFind(function);
    if (declared == m_declared.cend() || !declared->isCallable())
        return false;
    const QJSValue still = m_stillDirect.call({m_global, QJSValue(function), *declared});
    return still.isBool() && still.toBool();
}

bool ScriptEngine::hasGlobalFunction(const QString &function) const
{
    return m_global.property(function).isCallable();
}

QString ScriptEngine::jsonOfGlobal(const QString &global)
{
    emptyReadActions();
    // A global declared with let/const is no property of the global object:
    // evaluate the text then, which finds it (or fails the same way).
    if (!m_global.hasProperty(global))
        return evalScript(QStringLiteral("json2str(%1);").arg(global));
    return TextOf(invoke(QStringLiteral("json2str"), {m_global.property(global)}));
}

void ScriptEngine::clearGlobalArray(const QString &global)
{
    emptyReadActions();
    if (!m_global.hasProperty(global)) {
        evalScript(QStringLiteral("%1=[];").arg(global));
        return;
    }
    ++m_evalCount;
    m_global.setProperty(global, m_engine.newArray());
}

QJSValue ScriptEngine::takeGlobalArray(const QString &global)
{
    emptyReadActions();
    const QJSValue taken = m_global.property(global);
    if (!taken.isArray())
        return QJSValue();
    m_global.setProperty(global, m_engine.newArray());
    return taken;
}

void ScriptEngine::restoreGlobalArray(const QString &global, const QJSValue &taken)
{
    emptyReadActions();
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
    emptyReadActions();
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
    // Only a first loading into an engine no code has run in proves anything:
    // then nothing but these files can have set what they declare.
    const bool first = !std::exchange(m_loaded, true) && m_evalCount == 0;
    m_unread = UnreadArguments();
    m_declared.clear();
    m_useDirect.call({QJSValue(QJSValue::NullValue)});
    QStringList sources;
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
            sources.append(code);
        } catch (const ScriptError &e) {
            // A broken file is skipped; the next one still loads.
            out.scriptError(e, QString(), ScriptOutput::Kind::StartupError);
            allLoaded = false;
        }
    }
    if (first && allLoaded) {
        m_unread = UnreadArguments(sources);
        for (const QString &function : m_unread.functions())
            m_declared.insert(function, m_global.property(function));
    }
    if (m_unread.json2strIsStringify())
        m_useDirect.call({m_declared.value(QStringLiteral("json2str"))});
    return allLoaded;
}
