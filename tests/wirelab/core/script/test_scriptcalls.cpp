// The direct calls into the engine must behave exactly like evaluating the
// call texts: same values, same errors, same state in the script.
#include "core/errors.h"
#include "core/script/calltext.h"
#include "core/script/scriptengine.h"

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
