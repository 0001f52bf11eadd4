// The direct calls into the engine must behave exactly like evaluating the
// call texts: same values, same errors, same state in the script.
#include "core/errors.h"
#include "core/script/calltext.h"
#include "core/script/plainjsonreader.h"
#include "core/script/scriptengine.h"
#include "core/text/jsondoc.h"

#include <gtest/gtest.h>

namespace {
const char *const Script = R"(
var log = [];
var actions = [];
function json2str(v) { return JSON.stringify(v); }
function OnSocketEvent(name, ev, a, b) {
  log.push([name, ev, a, b, typeof b, arguments.length].join('|'));
  if (a === 'throw-string') throw 'boom';
  if (a === 'throw-error') throw new Error('bad thing');
  if (a === 'reference') return missingVariable;
  if (a === 'return-error') return new Error('as a value');
  actions.push({TYPE: 'SEND', SOCKET: name, DATA: a});
  return 'done';
}
var notAFunction = 5;
)";

QString Message(ScriptEngine &, const std::function<void()> &call)
{
    try {
        call();
    } catch (const ScriptError &e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}
}  // namespace

TEST(ScriptCalls, DirectCallMatchesTheCallText)
{
    ScriptEngine byText, byCall;
    byText.evalScript(QString::fromUtf8(Script));
    byCall.evalScript(QString::fromUtf8(Script));

    const QString name = QStringLiteral("srv_7 \"quoted\"\n");
    const QString a = QStringLiteral("00FF\\\u2028");
    EXPECT_EQ(byText.evalScript(
        CallText::OnSocketEvent(name, QStringLiteral("OnRead"), a, 12)),
        byCall.callGlobal(QStringLiteral("OnSocketEvent"),
                                         {name, QStringLiteral("OnRead"), a, QStringLiteral("12")}));
    EXPECT_EQ(byText.evalScript(QStringLiteral("log.join('#')")),
                                byCall.evalScript(QStringLiteral("log.join('#')")));
    EXPECT_EQ(byText.evalScript(CallText::JsonActions()), byCall.jsonOfGlobal(QStringLiteral("actions")));

    byText.evalScript(CallText::ClearActions());
    byCall.clearGlobalArray(QStringLiteral("actions"));
    EXPECT_EQ(byCall.jsonOfGlobal(QStringLiteral("actions")), QStringLiteral("[]"));
    EXPECT_EQ(byText.evalScript(CallText::JsonActions()), QStringLiteral("[]"));
}

TEST(ScriptCalls, DirectCallRaisesWhatTheCallTextRaises)
{
    ScriptEngine engine;
    engine.evalScript(QString::fromUtf8(Script));
    auto call = [&](const QString &fn, const QString &a) {
        return Message(engine, [&] {
            engine.callGlobal(fn, {QStringLiteral("n"), QStringLiteral("OnRead"), a, QStringLiteral("0")});
        });
    };
    EXPECT_EQ(call(QStringLiteral("OnSocketEvent"), QStringLiteral("throw-string")), QStringLiteral("boom"));
    EXPECT_TRUE(
        call(QStringLiteral("OnSocketEvent"),
                            QStringLiteral("throw-error")).startsWith(QStringLiteral("Error: bad thing")));
    EXPECT_TRUE(call(
        QStringLiteral("OnSocketEvent"),
                       QStringLiteral("reference"))
                           .startsWith(QStringLiteral("ReferenceError: missingVariable is not defined")));
    EXPECT_TRUE(call(QStringLiteral("NoSuchFunction"), QString())
                         .startsWith(QStringLiteral("ReferenceError: NoSuchFunction is not defined")));
    EXPECT_TRUE(call(QStringLiteral("notAFunction"), QString()).startsWith(QStringLiteral("TypeError")));
    // A failed call leaves nothing behind: the next one works.
    EXPECT_EQ(engine.callGlobal(QStringLiteral("OnSocketEvent"),
        {QStringLiteral("n"), QStringLiteral("OnRead"), QStringLiteral("41"), QStringLiteral("0")}),
         QStringLiteral("done"));
}

TEST(ScriptCalls, AnErrorObjectThatIsReturnedIsAValueNotAnError)
{
    ScriptEngine engine;
    engine.evalScript(QString::fromUtf8(Script));
    const QString a = QStringLiteral("return-error");
    EXPECT_EQ(engine.evalScript(CallText::OnSocketEvent(QStringLiteral("n"), QStringLiteral("OnRead"), a, 0)),
                                QStringLiteral("Error: as a value"));
    EXPECT_EQ(engine.callGlobal(QStringLiteral("OnSocketEvent"), {QStringLiteral("n"), QStringLiteral("OnRead"), a, QStringLiteral("0")}),
        QStringLiteral("Error: as a value"));
    EXPECT_EQ(engine.evalScript(QStringLiteral("new TypeError('t');")), QStringLiteral("TypeError: t"));
}

TEST(ScriptCalls, RunawayDirectCallIsInterruptedAndTheEngineGoesOn)
{
    ScriptEngine engine;
    engine.setTimeoutMs(300);
    engine.evalScript(QStringLiteral("function spin() { while (true) {} } function ok() { return 'fine'; }"));
    EXPECT_TRUE(Message(engine, [&] {
                    engine.callGlobal(QStringLiteral("spin"), {});
                }).contains(QStringLiteral("interrupted")));
    EXPECT_EQ(engine.callGlobal(QStringLiteral("ok"), {}), QStringLiteral("fine"));

    // In one entry per event: the event's interruption is the event's
    // error; json2str's comes back for the executor, the list left as it is.
    engine.evalScript(QStringLiteral("var actions = [1]; function json2str(v) { spin(); }"));
    EXPECT_TRUE(Message(engine, [&] {
                    engine.callEvent(QStringLiteral("spin"), {});
                }).contains(QStringLiteral("interrupted")));
    const ScriptEngine::EventActions read = engine.callEvent(QStringLiteral("ok"), {});
    EXPECT_TRUE(read.read && read.json.isEmpty());
    EXPECT_TRUE(
        Message(engine, [&] { std::rethrow_exception(read.error); }).contains(QStringLiteral("interrupted")));
    EXPECT_EQ(engine.evalScript(QStringLiteral("actions.length")), QStringLiteral("1"));
}

TEST(ScriptCalls, MissingActionsFailsAsTheCallTextDoes)
{
    ScriptEngine engine;
    engine.evalScript(QStringLiteral("function json2str(v) { return JSON.stringify(v); }"));
    const QString byCall = Message(engine, [&] { engine.jsonOfGlobal(QStringLiteral("actions")); });
    const QString byText = Message(engine, [&] { engine.evalScript(CallText::JsonActions()); });
    EXPECT_TRUE(byCall.startsWith(QStringLiteral("ReferenceError: actions is not defined")));
    EXPECT_EQ(byCall, byText);
}

// An event in one entry into the engine gives what the event call, then
// json2str(actions), then emptying a non-empty list give one after the
// other: the same errors (message, file, line), texts and script state.
TEST(ScriptCalls, OneEntryPerEventMatchesTheSeparateCalls)
{
    const struct
    {
        const char *name;
        const char *script;  // after the common part
    } cases[] = {
        {"queues", ""},
        {"throws a string", "function OnSocketEvent(n) { actions.push(1); throw 'boom'; }"},
        {"throws an error", "function OnSocketEvent(n) {\n actions.push(1);\n throw new Error('bad'); }"},
        {"no event function", "delete OnSocketEvent;"},
        {"event no function", "OnSocketEvent = 3;"},
        {"json2str throws", "function json2str(v) {\n throw new TypeError('no json'); }"},
        {"no json2str", "delete json2str;"},
        {"json2str redefined",
         "function json2str(v) { seen.push(v.length); return JSON.stringify(v) + ' '; }"},
        {"json2str empty", "function json2str(v) { return ''; }"},
        {"json2str a number", "function json2str(v) { return 7; }"},
        {"json2str undefined", "function json2str(v) {}"},
        {"json2str an object",
         "function json2str(v) { return {toString: function() { seen.push('t'); return '[]'; }}; }"},
        {"event returns an object",
         "var base = OnSocketEvent; OnSocketEvent = function() { base.apply(this, arguments);"
         " return {toString: function() { seen.push('r'); return 'x'; }}; };"},
        {"actions declared with let", "delete this.actions; let actions = [5];"},
        {"apply redefined",
         "var ap = Function.prototype.apply; Function.prototype.apply = function(t, a) {"
         " seen.push('apply'); return ap.call(this, t, a); };"},
    };
    const QString common =
        QStringLiteral(
        "seen = [];\nactions = [];\njson2str = function(v) { return JSON.stringify(v); };\n"
        "OnSocketEvent = function(n, e, a, b, d) { seen.push(arguments.length, d); actions.push({D: a}); };\n");
    const QStringList args {
        QStringLiteral("n"), QStringLiteral("OnRead"), QStringLiteral("41"), QStringLiteral("0")};
    auto describe = [](const ScriptError &e) {
        return QStringLiteral("error %1|%2|%3").arg(e.message(), e.file()).arg(e.line());
    };
    for (const auto &c : cases) {
        for (const QStringList &a : {args, args + QStringList {QStringLiteral("4142")}}) {
            SCOPED_TRACE(std::string(c.name) + " with " + std::to_string(a.size()) + " arguments");
            ScriptEngine separate, joined;
            for (ScriptEngine *e : {&separate, &joined}) {
                e->evalScript(common, QStringLiteral("t.js"));
                e->evalScript(QString::fromUtf8(c.script), QStringLiteral("t.js"));
            }
            QStringList bySeparate, byJoined;
            try {
                separate.callGlobal(QStringLiteral("OnSocketEvent"), a);
                try {
                    const QString json = separate.jsonOfGlobal(QStringLiteral("actions"));
                    bySeparate << json;
                    if (!json.isEmpty())
                        separate.clearGlobalArray(QStringLiteral("actions"));
                } catch (const ScriptError &e) {
                    bySeparate << describe(e);
                }
            } catch (const ScriptError &e) {
                bySeparate << QStringLiteral("event ") + describe(e);
            }
            try {
                ScriptEngine::EventActions read = joined.callEvent(QStringLiteral("OnSocketEvent"), a);
                if (!read.read) {
                    const QString json = joined.jsonOfGlobal(QStringLiteral("actions"));
                    byJoined << json;
                    if (!json.isEmpty())
                        joined.clearGlobalArray(QStringLiteral("actions"));
                } else if (read.error) {
                    try {
                        std::rethrow_exception(read.error);
                    } catch (const ScriptError &e) {
                        byJoined << describe(e);
                    }
                } else {
                    byJoined << read.json;
                }
            } catch (const ScriptError &e) {
                byJoined << QStringLiteral("event ") + describe(e);
            }
            const QString state =
                QStringLiteral("JSON.stringify([seen, typeof actions == 'undefined' ? 0 : actions])");
            bySeparate << separate.evalScript(state);
            byJoined << joined.evalScript(state);
            EXPECT_EQ(byJoined, bySeparate);
        }
    }
}

// Every event looks its function and json2str up again: one redefined,
// deleted or made a non-function between events is seen at the next one.
TEST(ScriptCalls, EachEventFindsTheFunctionsAsTheyAreThen)
{
    ScriptEngine engine;
    // Assigned, not declared: a declared function cannot be deleted.
    engine.evalScript(QStringLiteral("actions = []; json2str = function(v) { return JSON.stringify(v); };"
                                     "A = function(x, y) { actions.push(x); }; B = function(x, y) { actions.push('b' + x); };"));
    const struct
    {
        const char *script;  // run before the event
        const char *function;
        const char *read;  // what the event gave (the start of an error's message)
    } steps[] = {
        {"", "A", R"(["1"])"},
        {"", "B", R"(["b2"])"},
        {"json2str = function(v) { return 'x' + JSON.stringify(v); };", "B", R"(x["b3"])"},
        {"json2str = 4;", "A", "json2str TypeError: json2str is not a function"},
        {"delete json2str;", "A", "json2str ReferenceError: json2str is not defined"},
        {"json2str = function(v) { return JSON.stringify(v); }; A = 5;", "A",
         "event TypeError: A is not a function"},
        {"delete A;", "A", "event ReferenceError: A is not defined"},
        {"A = function(x, y) { actions.push('a' + x); };", "A", R"(["4","5","a8"])"},
    };
    int i = 0;
    for (const auto &step : steps) {
        SCOPED_TRACE(step.script);
        engine.evalScript(QString::fromUtf8(step.script));
        QString read;
        try {
            const ScriptEngine::EventActions taken = engine.callEvent(
                QString::fromLatin1(step.function), {QString::number(++i), QStringLiteral("0")});
            read = taken.json;
            if (taken.error)
                read = QStringLiteral("json2str ")
                                      + Message(engine, [&] { std::rethrow_exception(taken.error); });
        } catch (const ScriptError &e) {
            read = QStringLiteral("event ") + e.message();
        }
        EXPECT_TRUE(read.startsWith(QString::fromUtf8(step.read))) << read.toStdString();
    }
}

// Plain data read from the engine is what JSON.stringify's text parses to;
// anything else is left to JSON.stringify.
TEST(ScriptCalls, PlainDataReadsAsItsJsonTextParses)
{
    const struct
    {
        const char *value;
        bool plain;
    } cases[] = {
        {"[{TYPE: 'SEND', SOCKET: 'srv_1', DATA: '0A1B'}]", true},
        {"['\"\\\\\\u0001\\n\\ud800\\u00e9\\u4e2d', '']", true},
        {"[1, -0, 1.5, 1e21, 1e-7, 0.1 + 0.2, -3, NaN, Infinity, -Infinity]", true},
        {"[true, false, null, undefined, function () {}, [1, , 3]]", true},
        {"[{b: 1, a: 2, 10: 3, 2: 4, u: undefined, f: function () {}, n: null}]", true},
        {"[[[]], {x: {y: [1, {z: 'w'}]}}, {}]", true},
        {"[Object.freeze({a: 1}), JSON.parse('{\"a\":[1,2.50]}'), Object.assign({}, {q: 'x'})]", true},
        {"[new Date(0)]", false},
        {"[new Number(5)]", false},
        {"[Object.create(null)]", false},
        {"[Symbol('s')]", false},
        {"[new (function F() { this.a = 1; })()]", false},
        {"[/re/, new Error('e')]", false},
        {"[{toJSON: function () { return 1; }}]", false},
        {"(function () { var a = []; for (var i = 0; i < 600; i++) a = [a]; return a; })()", false},
        {"(function () { var a = [{}]; a[0].self = a; return a; })()", false},
        {"(function () { var a = []; a[1e9] = 1; return a; })()", false},
    };
    QJSEngine engine;
    const PlainJsonReader reader(engine);
    const QJSValue stringify =
        engine.evaluate(QStringLiteral("(function (v) { return JSON.stringify(v); })"));
    for (const auto &c : cases) {
        const QJSValue value = engine.evaluate(QString::fromUtf8(c.value));
        JsonNode read;
        EXPECT_EQ(reader.read(value, read), c.plain) << c.value;
        if (!c.plain)
            continue;
        JsonNode parsed;
        ASSERT_TRUE(parsePlainJson(stringify.call({value}).toString(), parsed)) << c.value;
        EXPECT_EQ(read.toJson(), parsed.toJson()) << c.value;
        EXPECT_EQ(jsonText(read.items[0], QStringLiteral("a")),
                           jsonText(parsed.items[0], QStringLiteral("a"))) << c.value;
    }
}
