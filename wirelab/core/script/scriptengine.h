#pragma once
// The one JavaScript engine of the workbench: one global scope for the whole
// run, into which the project's script files are evaluated at start-up and in
// which every call text is evaluated afterwards.
//
// A watchdog interrupts any single evaluation that runs longer than the
// timeout (10 s by default), so a runaway script cannot hang the program; the
// interruption is raised as a ScriptError like any other script error.

#include "core/script/plainjsonreader.h"
#include "core/script/unreadarguments.h"
#include "core/text/jsondoc.h"

#include <QHash>
#include <QJSEngine>
#include <QJSValue>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>

class ScriptEngine
{
public:
    ScriptEngine();
    ~ScriptEngine();
    ScriptEngine(const ScriptEngine &) = delete;
    ScriptEngine &operator=(const ScriptEngine &) = delete;

    // Evaluates text in the global scope and returns the completion value as
    // text (undefined and null give the empty text). Throws ScriptError with
    // the engine's message and the line number on any error or throw.
    // fileName names the text in error reports (a script file's path).
    QString evalScript(const QString &text, const QString &fileName = QString());

    // The same result and the same errors as evaluating the call text
    // function("arg1","arg2",...); with every argument as a string literal,
    // without parsing a text: the event calls go this way.
    QString callGlobal(const QString &function, const QStringList &args);
    // Whether the scripts define a function of that name in the global
    // object (a handler the workbench calls only when it is there).
    bool hasGlobalFunction(const QString &function) const;
    // json2str(<global>); as a call (the value of the global as argument).
    QString jsonOfGlobal(const QString &global);
    // <global>=[]; as an assignment.
    void clearGlobalArray(const QString &global);
    // Takes the array held by the global out of the script, leaving an empty
    // one in its place; undefined (and nothing changed) when the global is no
    // array of the global object.
    QJSValue takeGlobalArray(const QString &global);
    // Puts what takeGlobalArray took back in front of what the global holds now.
    void restoreGlobalArray(const QString &global, const QJSValue &taken);

    // What callEvent read of the script's actions.
    struct EventActions
    {
        // false: `actions` is no property of the global object (declared
        // with let or const); nothing was read, read it as usual.
        bool read = false;
        // json2str(actions); as text. The list was emptied when it is not
        // empty, and left as it is when it is.
        QString json;
        // Or, where json2str is JSON.stringify of plain data, what parsing
        // that text gives (an array; json stays empty). The list is then
        // emptied by emptyReadActions(), or before anything else enters
        // the engine, so that the answer can go out first.
        JsonNode doc;
        bool parsed() const { return doc.isArray(); }
        // What json2str raised instead (the list left as it is).
        std::exception_ptr error;
    };
    // An event in one entry into the engine: function("arg1",...), then
    // json2str(actions), then actions=[] when that gave a text; the same
    // values, errors and state in the script as the three calls one after
    // the other (callGlobal, jsonOfGlobal, clearGlobalArray). Throws
    // ScriptError when the event function fails, and then reads nothing.
    EventActions callEvent(const QString &function, const QStringList &args);
    // json2str(actions), then actions=[] when that gave a text, in one entry
    // into the engine: callEvent without the event (jsonOfGlobal and
    // clearGlobalArray of "actions"); what json2str raises is in error.
    EventActions takeActions();
    // actions=[] for the list callEvent read as data, if not done yet.
    // Every other entry into the engine does it first; the caller does it
    // once the actions read are carried out.
    void emptyReadActions();

    // Evaluates the script files listed in projectFile (one path per line;
    // blank lines and lines starting with "//" after trimming are skipped).
    // A file whose evaluation fails is skipped; a file that cannot be read
    // ends the loading; a missing project file loads nothing. Each failure is
    // reported on standard error (ScriptOutput) with its file and line; none
    // stops the program. Returns whether every listed file loaded.
    bool loadScripts(const QString &projectFile = QStringLiteral("project.txt"));

    // Whether the argument at index of the named function is provably never
    // read, so that a caller may pass any value there (an empty text for a
    // costly one): the files loaded at the start say so (UnreadArguments),
    // the global still holds the function they declared, and the event call
    // would call it directly (no apply of the script's own). Costs a call
    // into the engine: for arguments worth leaving out.
    bool argumentUnread(const QString &function, int index);

    void setTimeoutMs(int ms);
    int timeoutMs() const { return m_timeoutMs; }

    // Number of evaluations so far (for tests and benchmarks).
    quint64 evalCount() const { return m_evalCount; }

private:
    QJSValue invoke(const QString &function, const QJSValueList &args);
    // What callEvent and takeActions read from the hidden function's result.
    EventActions actionsRead(QJSValue result, bool interrupted);
    // The event function's name (i 0) or argument i - 1 as a string of the
    // engine's own: the one made for the last event when the text is the
    // same (the function's, the endpoint's and the event's names, most
    // values of b), so that it is not made again each time.
    QJSValue eventArgument(qsizetype i, const QString &text);
    void throwIfFailed(const QJSValue &result, bool threw, const QStringList &stack);
    void watchdogLoop();
    // Watches the call about to start; the token names it to disarm().
    std::uint64_t arm();
    bool disarm(std::uint64_t token);  // whether the watchdog interrupted the call

    QJSEngine m_engine;
    QJSValue m_global;  // kept alive: string results are much cheaper with it
    QJSValue m_caller;  // calls a global function by name, catching what it throws
    QJSValue m_callState;  // {threw, error, stage} of the last call through m_caller or m_eventCaller
    QJSValue m_eventCaller;  // an event, json2str(actions) and actions=[] in one call
    struct EventArgument
    {
        QString text;
        QJSValue value;
    };
    EventArgument m_eventArguments[6];  // the function's name, then its arguments
    QJSValue m_eventStage;  // where an interrupted m_eventCaller was: 0 in the event, 1 after it
    QJSValue m_useDirect;  // tells m_eventCaller the json2str it may read around
    QJSValue m_jsonAfterAll;  // json2str on a list m_eventCaller returned, and the rest of the event
    QJSValue m_actionsNow;  // m_eventCaller's part after the event: json2str(actions), actions=[]
    PlainJsonReader m_plainReader;  // the engine's prototypes as they were before any script ran
    // What the first loading proved, the functions as it left them, and
    // whether a global still holds one of them, called directly.
    UnreadArguments m_unread;
    QHash<QString, QJSValue> m_declared;
    QJSValue m_stillDirect;
    bool m_loaded = false;
    bool m_readActionsFull = false;  // the list read as data is still to be emptied
    int m_timeoutMs = 10000;
    quint64 m_evalCount = 0;

    // The watched call: generation * 4 + phase (Idle, Armed, Firing, Fired).
    // The engine's thread arms and disarms it without a lock; the watchdog
    // interrupts only a call it moved from Armed to Firing, and disarm()
    // waits for Fired before it clears the interruption, so a late
    // interrupt never hits the next call.
    std::atomic<std::uint64_t> m_watched {0};
    std::atomic<std::int64_t> m_deadlineNs {0};  // steady clock
    std::uint64_t m_generation = 0;  // the engine's thread only

    // The watchdog's sleep; arming never wakes it.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_quit = false;
    int m_watchTimeoutMs = 10000;  // m_timeoutMs as the watchdog thread reads it
    std::thread m_watchdog;
};

// Reads a script file as the workbench does: 8-bit text in the locale's
// encoding, every line break made CR LF. Returns false when it cannot be read.
bool readScriptFile(const QString &path, QString &text);
