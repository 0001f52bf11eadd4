// Which arguments of a script function no code can read: proved from the
// files' text, then kept only while the global still holds that function.
#include "core/script/scriptengine.h"
#include "core/script/unreadarguments.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const char Common[] =
    "var sockets = [], actions = [];\nvar reads = 0, limits = {max: -1, names: ['a', \"b\"], on: "
    "true, off: null};\n\"use strict\";\nfunction json2str(v) { return JSON.stringify(v); }\n";

struct Case
{
    const char *name;
    const char *code;  // after Common
    int index;
    bool unread;
};

TEST(UnreadArguments, ReadsOnlyWhatItCanTellForSure)
{
    const Case cases[] = {
        {"unnamed in the body", "function OnSocketEvent(n, e, a, b) { if (e == 'OnRead') reads++; }", 2,
         true},
        {"named", "function OnSocketEvent(n, e, a, b) { if (e == 'OnRead') reads++; }", 1, false},
        {"only in strings and comments",
         "function OnSocketEvent(n, e, a, b) { // a\n /* a */ reads += 'a'.length; }", 2, true},
        {"past the parameters", "function OnSocketEvent(n, e) { reads++; }", 2, true},
        {"a nested function names it",
         "function OnSocketEvent(n, e, a, b) { [1].forEach(function () { a; }); }", 2, false},
        {"arguments", "function OnSocketEvent(n, e) { var f = () => arguments; }", 2, false},
        {"eval", "function OnSocketEvent(n, e, x, b) { eval('x'); }", 2, false},
        {"named elsewhere too", "function OnSocketEvent(n, e, a, b) {}\nvar f = OnSocketEvent;", 2, false},
        {"declared twice", "function OnSocketEvent(n, e, a, b) {}\nfunction OnSocketEvent(n, e, a, b) {}", 2,
         false},
        {"a statement that runs code", "function OnSocketEvent(n, e, a, b) {}\nreads = f();", 2, false},
        {"a value that is no literal", "function OnSocketEvent(n, e, a, b) {}\nvar t = Date.now();", 2,
         false},
        {"after a line break no literal", "function OnSocketEvent(n, e, a, b) {}\nvar t = 1\n(reads)", 2,
         false},
        {"a slash that may start an expression",
         "function OnSocketEvent(n, e, a, b) { if (e) /'/.test(n); a; '' }", 2, false},
        {"a keyword as a property divides", "function OnSocketEvent(n, e, a, b) { reads = e.in / a / 2; }", 2,
         false},
        {"a template", "function OnSocketEvent(n, e, a, b) { reads = `${e}`; }", 2, false},
        {"an HTML comment", "function OnSocketEvent(n, e, a, b) {}\n<!-- '\na; '", 2, false},
        {"a default value", "function OnSocketEvent(n, e, a = 1, b) {}", 2, false},
    };
    for (const Case &c : cases) {
        const UnreadArguments facts({QString::fromLatin1(Common), QString::fromLatin1(c.code)});
        EXPECT_EQ(facts.unread(QStringLiteral("OnSocketEvent"), c.index), c.unread) << c.name;
    }
}

// json2str is known to give JSON.stringify's text only where nothing in the
// files can make a value that JSON.stringify reads otherwise than as data.
TEST(UnreadArguments, Json2strIsStringifyOnlyWhileNoTextReachesReflection)
{
    const QByteArray stock = "function json2str(v) { return JSON.stringify(v); }\n";
    const struct
    {
        const char *name;
        QByteArray code;
        bool proved;
    } cases[] = {
        {"as written", stock, true},
        {"no semicolon", "function json2str(x) { return JSON.stringify(x) }", true},
        {"another body", "function json2str(v) { return JSON.stringify(v, null, 1); }", false},
        {"another parameter", "function json2str(v, w) { return JSON.stringify(w); }", false},
        {"named elsewhere", stock + "var j = json2str;", false},
        {"Object.keys", stock + "function f(o) { return Object.keys(o).length; }", true},
        {"Math.max", stock + "function f(a) { return Math.max(a, 1); }", true},
        {"a map's get", stock + "function f(m) { return m.get('x'); }", true},
        {"defineProperty", stock + "function f(o) { Object.defineProperty(o, 'x', {value: 1}); }", false},
        {"an accessor", stock + "function f() { return {get x() { return 1; }}; }", false},
        {"constructor in a string", stock + "function f(o) { return o['constructor']; }", false},
        {"an escape in a string", stock + "function f(o) { return o['\\x63onstructor']; }", false},
        {"JSON as a value", stock + "function f() { var j = JSON; }", false},
        {"Math as a value", stock + "function f() { return Math; }", false},
        {"this", stock + "function f() { return this; }", false},
        {"a prototype", stock + "function f() { return Date.prototype; }", false},
        {"toJSON", stock + "function f(o) { o.toJSON = 1; }", false},
    };
    for (const auto &c : cases) {
        const UnreadArguments facts({QStringLiteral("var actions = [];\n"), QString::fromLatin1(c.code)});
        EXPECT_EQ(facts.json2strIsStringify(), c.proved) << c.name;
    }
}

// The engine: true only while the loaded function is the one called, directly.
TEST(UnreadArguments, TheEngineKeepsItOnlyWhileTheFunctionIsCalledDirectly)
{
    QTemporaryDir dir;
    const auto load = [&](ScriptEngine &engine, const QByteArray &code) {
        QFile js(dir.filePath(QStringLiteral("a.js")));
        js.open(QIODevice::WriteOnly | QIODevice::Truncate);
        js.write(Common + code);
        js.close();
        QFile project(dir.filePath(QStringLiteral("project.txt")));
        project.open(QIODevice::WriteOnly | QIODevice::Truncate);
        project.write(QFile::encodeName(js.fileName()) + "\r\n");
        project.close();
        engine.loadScripts(project.fileName());
    };
    const QString event = QStringLiteral("OnSocketEvent");
    const QByteArray handler = "function OnSocketEvent(n, e, a, b) { if (e == 'OnRead') reads++; }";
    const struct
    {
        const char *name;
        const char *before;  // evaluated before loading
        const char *after;  // after loading
        bool unread;
    } cases[] = {
        {"as loaded", nullptr, nullptr, true},
        {"replaced", nullptr, "OnSocketEvent = function (n, e, a, b) { reads = a; };", false},
        {"replaced by a computed name", nullptr, "this['OnSocket' + 'Event'] = function () {};", false},
        {"apply replaced", nullptr, "Function.prototype.apply = function (t, args) { reads = args[2]; };",
         false},
        {"apply of its own", nullptr, "Object.defineProperty(OnSocketEvent, 'apply', {get: function () {}});",
         false},
        {"code ran before loading", "var early = 1;", nullptr, false},
    };
    for (const auto &c : cases) {
        ScriptEngine engine;
        if (c.before)
            engine.evalScript(QString::fromLatin1(c.before));
        load(engine, handler);
        if (c.after)
            engine.evalScript(QString::fromLatin1(c.after));
        EXPECT_EQ(engine.argumentUnread(event, 2), c.unread) << c.name;
        EXPECT_FALSE(engine.argumentUnread(event, 1)) << c.name;
    }
    ScriptEngine twice;
    load(twice, handler);
    load(twice, handler);
    EXPECT_FALSE(twice.argumentUnread(event, 2)) << "only the first loading proves anything";
}

// Where json2str is proved to be JSON.stringify, an event's actions are read
// as the parse of its text would give them, the list emptied as json2str's
// text would have had it; JSON.stringify's text is made after all where the
// list is no plain data or JSON.stringify is not the engine's own.
TEST(UnreadArguments, ActionsOfPlainDataAreReadAsTheirJsonWouldParse)
{
    QTemporaryDir dir;
    QFile js(dir.filePath(QStringLiteral("a.js")));
    js.open(QIODevice::WriteOnly);
    js.write(QByteArray(Common) + "function OnSocketEvent(n, e, a, b) { actions.push(make(a)); }\n");
    js.close();
    QFile project(dir.filePath(QStringLiteral("project.txt")));
    project.open(QIODevice::WriteOnly);
    project.write(QFile::encodeName(js.fileName()) + "\r\n");
    project.close();
    const struct
    {
        const char *after;  // evaluated after loading (make(a) gives the action)
        bool parsed;
        const char *json;
    } cases[] = {
        {"make = function (a) { return {TYPE: 'SEND', DATA: a, N: 1.5}; };", true,
         R"([{"TYPE":"SEND","DATA":"41","N":1.5}])"},
        {"make = function (a) { return {D: new Date(0)}; };", false, R"([{"D":"1970-01-01T00:00:00.000Z"}])"},
        {"make = function (a) { return a; }; JSON.stringify = function () { return '[7]'; };", false, "[7]"},
        {"make = function (a) { return a; }; Array.prototype.toJSON = function () { return 'x'; };", false,
         R"("x")"},
        // This engine's JSON.stringify writes a proxy of a list as an object.
        {"make = function (a) { return a; }; actions = new Proxy([], {});", false, "{}"},
    };
    // The same from an event and from the list alone (a timer's, a click's).
    for (const auto &c : cases) {
        for (const bool fromEvent : {true, false}) {
            SCOPED_TRACE(fromEvent ? "from an event" : "from the list");
            ScriptEngine engine;
            engine.loadScripts(project.fileName());
            engine.evalScript(QString::fromLatin1(c.after));
            ScriptEngine::EventActions read;
            if (fromEvent) {
                read = engine.callEvent(QStringLiteral("OnSocketEvent"),
                    {QStringLiteral("n"),
                                    QStringLiteral("OnRead"), QStringLiteral("41"), QStringLiteral("0")});
            } else {
                engine.evalScript(QStringLiteral("actions.push(make('41'));"));
                read = engine.takeActions();
            }
            EXPECT_TRUE(read.read && !read.error) << c.after;
            EXPECT_EQ(read.parsed(), c.parsed) << c.after;
            EXPECT_EQ((read.parsed() ? read.doc.toJson() : read.json).toStdString(), c.json) << c.after;
            EXPECT_EQ(engine.evalScript(QStringLiteral("actions.length")), QStringLiteral("0")) << c.after;
        }
    }
}

}  // namespace
