// The script engine: completion values as text, errors with message and line,
// the watchdog against runaway scripts, and the loading rules of the project
// file.
#include "core/errors.h"
#include "core/script/scriptengine.h"
#include "core/script/scriptoutput.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// The message of the ScriptError that evaluating text raises ("" if none).
QString ErrorOf(ScriptEngine &engine, const QString &text)
{
    try {
        engine.evalScript(text);
    } catch (const ScriptError &e) {
        return e.message().isEmpty() ? QStringLiteral("<empty message>") : e.message();
    }
    return QString();
}

TEST(ScriptEngineEval, CompletionValueOfTheLastStatementAsText)
{
    ScriptEngine engine;
    EXPECT_EQ(engine.evalScript(QStringLiteral("var a = 40; a + 2;")), QStringLiteral("42"));
    EXPECT_EQ(engine.evalScript(QStringLiteral("1; 'two'; 3 > 2;")), QStringLiteral("true"));
    EXPECT_EQ(engine.evalScript(QStringLiteral("a;")), QStringLiteral("40"))
                                << "globals persist between calls";
    EXPECT_EQ(engine.evalScript(QStringLiteral("function json2str(v){return JSON.stringify(v);}"
                                               "var actions=[{T:'SEND',D:'01'}]; json2str(actions);")),
                                QStringLiteral("[{\"T\":\"SEND\",\"D\":\"01\"}]"));
    EXPECT_EQ(engine.evalScript(QString::fromUtf8("'中文' + 'ok';")), QString::fromUtf8("中文ok"));
}

TEST(ScriptEngineEval, UndefinedAndNullGiveTheEmptyText)
{
    ScriptEngine engine;
    EXPECT_EQ(engine.evalScript(QString()), QString());
    EXPECT_EQ(engine.evalScript(QStringLiteral("function f() {}")), QString());
    EXPECT_EQ(engine.evalScript(QStringLiteral("f();")), QString());
    EXPECT_EQ(engine.evalScript(QStringLiteral("null;")), QString());
    EXPECT_EQ(engine.evalScript(QStringLiteral("var u; u;")), QString());
    // Strings that merely spell those values are values like any other.
    EXPECT_EQ(engine.evalScript(QStringLiteral("'undefined';")), QStringLiteral("undefined"));
    EXPECT_EQ(engine.evalScript(QStringLiteral("'null';")), QStringLiteral("null"));
    EXPECT_EQ(engine.evalScript(QStringLiteral("0;")), QStringLiteral("0"));
}

TEST(ScriptEngineEval, ErrorsCarryTheEnginesMessageAndLine)
{
    ScriptEngine engine;
    const QString missing = ErrorOf(engine, QStringLiteral("var x = 1;\n\nnoSuchFunction();"));
    EXPECT_TRUE(missing.contains(QStringLiteral("ReferenceError"))) << missing.toStdString();
    EXPECT_TRUE(missing.contains(QStringLiteral("noSuchFunction"))) << missing.toStdString();
    EXPECT_TRUE(missing.contains(QStringLiteral("line 3"))) << missing.toStdString();

    const QString syntax = ErrorOf(engine, QStringLiteral("OnEditChange(\"e\",\"x\",\"a\"b\");"));
    EXPECT_TRUE(syntax.contains(QStringLiteral("SyntaxError"))) << syntax.toStdString();

    // An error raised inside a function defined by an earlier evaluation.
    engine.evalScript(QStringLiteral("function DeleteSocket(n) {\n"
                                     "  throw new Error('cannot delete ' + n);\n"
                                     "}"));
    const QString thrown = ErrorOf(engine, QStringLiteral("DeleteSocket('a');"));
    EXPECT_TRUE(thrown.contains(QStringLiteral("cannot delete a"))) << thrown.toStdString();
    EXPECT_TRUE(thrown.contains(QStringLiteral("line 2"))) << thrown.toStdString();
}

TEST(ScriptEngineEval, AnyThrownValueIsAnError)
{
    ScriptEngine engine;
    const QString text = ErrorOf(engine, QStringLiteral("throw 'boom';"));
    EXPECT_TRUE(text.contains(QStringLiteral("boom"))) << text.toStdString();
    EXPECT_FALSE(ErrorOf(engine, QStringLiteral("throw {code: 1};")).isEmpty());
    EXPECT_FALSE(ErrorOf(engine, QStringLiteral("throw '';")).isEmpty());
    EXPECT_FALSE(ErrorOf(engine, QStringLiteral("throw undefined;")).isEmpty());
    // A throw caught by the script itself is no error.
    EXPECT_EQ(engine.evalScript(QStringLiteral("try { throw 'x'; } catch (e) { 'caught ' + e; }")),
                                QStringLiteral("caught x"));
    const QString deep = ErrorOf(engine, QStringLiteral("function r() { return r() + 1; } r();"));
    EXPECT_TRUE(deep.contains(QStringLiteral("RangeError"))) << deep.toStdString();
    EXPECT_EQ(engine.evalScript(QStringLiteral("1 + 1;")), QStringLiteral("2"));
}

TEST(ScriptEngineWatchdog, InterruptsARunawayCallAndTheNextCallWorks)
{
    ScriptEngine engine;
    engine.setTimeoutMs(300);
    engine.evalScript(QStringLiteral("var ticks = 0;"));

    QElapsedTimer clock;
    clock.start();
    const QString error = ErrorOf(engine, QStringLiteral("while (true) { ticks++; }"));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_GE(clock.elapsed(), 250);
    EXPECT_LT(clock.elapsed(), 5000);

    // The interruption must not leak into the following calls.
    EXPECT_EQ(engine.evalScript(QStringLiteral("ticks > 0;")), QStringLiteral("true"));
    EXPECT_EQ(engine.evalScript(QStringLiteral("var s = 0; for (var i = 0; i < 1000; i++) s += i; s;")),
                                QStringLiteral("499500"));

    // A second runaway is caught as well.
    EXPECT_FALSE(ErrorOf(engine, QStringLiteral("for (;;) {}")).isEmpty());
    EXPECT_EQ(engine.evalScript(QStringLiteral("'alive';")), QStringLiteral("alive"));
}

TEST(ScriptEngineWatchdog, ADeadlinePassedAfterACallHasReturnedHitsNothing)
{
    ScriptEngine engine;
    engine.setTimeoutMs(300);
    // Busy for most of the allowance, then well past the old deadline in idle.
    EXPECT_EQ(
        engine.evalScript(QStringLiteral(
                  "var t0 = Date.now(); while (Date.now() - t0 < 200) {} 'done';")),
                          QStringLiteral("done"));
    QThread::msleep(400);
    EXPECT_EQ(engine.evalScript(
        QStringLiteral(
                  "var t1 = Date.now(); while (Date.now() - t1 < 150) {} 'still fine';")),
        QStringLiteral("still fine"));
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(engine.evalScript(QStringLiteral("1;")), QStringLiteral("1")) << i;
}

class LoadScriptsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QObject::connect(&ScriptOutput::instance(), &ScriptOutput::lineWritten, &context,
                         [this](const QString &line) { reported << line; });
    }

    QString write(const QString &name, const QByteArray &content)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return path;
    }
    // A project file from lines; "@name" stands for the absolute path of name.
    QString project(const QStringList &lines, const QByteArray &eol = "\n")
    {
        QByteArray text;
        for (QString line : lines) {
            line.replace(QStringLiteral("@"), dir.path() + u'/');
            text += line.toUtf8() + eol;
        }
        return write(QStringLiteral("project.txt"), text);
    }
    QString loaded(ScriptEngine &engine)
    {
        return engine.evalScript(QStringLiteral("typeof seen == 'undefined' ? '' : seen.join(',');"));
    }

    QTemporaryDir dir;
    QObject context;
    QStringList reported;  // what went to standard output and error
};

TEST_F(LoadScriptsTest, SkipsBlankAndCommentLinesAndEvaluatesInOrder)
{
    write(QStringLiteral("a.js"), "var seen = ['a']; function OnInit() { return 'a'; }");
    write(QStringLiteral("b.js"), "seen.push('b'); function OnInit() { return 'b'; }");
    write(QStringLiteral("c.js"), "seen.push('c');");
    const QString file = project({QStringLiteral("// comment"), QString(),
        QStringLiteral("@a.js"),
                       QStringLiteral("   "), QStringLiteral("   // @c.js"), QStringLiteral("\t@b.js  ")},
                                      "\r\n");
    ScriptEngine engine;
    engine.loadScripts(file);
    EXPECT_EQ(loaded(engine), QStringLiteral("a,b"));
    EXPECT_EQ(engine.evalScript(QStringLiteral("OnInit();")), QStringLiteral("b"))
                                << "the file listed later overrides";
}

TEST_F(LoadScriptsTest, AFileThatFailsIsSkippedAndLoadingGoesOn)
{
    write(QStringLiteral("a.js"), "var seen = ['a'];");
    write(QStringLiteral("broken.js"), "seen.push('broken'); this is not javascript (");
    write(QStringLiteral("throws.js"), "seen.push('throws'); throw 'at load';");
    write(QStringLiteral("c.js"), "seen.push('c');");
    const QString file = project({QStringLiteral("@a.js"), QStringLiteral("@broken.js"), QStringLiteral("@throws.js"), QStringLiteral("@c.js")});
    ScriptEngine engine;
    engine.loadScripts(file);
    // A syntax error stops the file before any of it runs; a throw after its
    // first statement keeps what ran.
    EXPECT_EQ(loaded(engine), QStringLiteral("a,throws,c"));
    ASSERT_EQ(reported.size(), 2);
    EXPECT_TRUE(reported[0].startsWith(dir.filePath(QStringLiteral("broken.js:1: SyntaxError: "))))
                << reported[0].toStdString();
    EXPECT_EQ(reported[1], dir.filePath(QStringLiteral("throws.js:1: at load")));
}

TEST_F(LoadScriptsTest, AFileThatCannotBeReadStopsTheLoading)
{
    write(QStringLiteral("a.js"), "var seen = ['a'];");
    write(QStringLiteral("c.js"), "seen.push('c');");
    const QString file =
        project({QStringLiteral("@a.js"), QStringLiteral("@missing.js"), QStringLiteral("@c.js")});
    ScriptEngine engine;
    engine.loadScripts(file);
    EXPECT_EQ(loaded(engine), QStringLiteral("a"));
    EXPECT_EQ(reported,
              QStringList {QStringLiteral("project.txt:2: %1 not found; loading stopped") .arg(
                  dir.filePath(QStringLiteral("missing.js")))});
}

TEST_F(LoadScriptsTest, AMissingOrEmptyProjectLoadsNothing)
{
    ScriptEngine engine;
    engine.loadScripts(dir.filePath(QStringLiteral("no-project.txt")));
    EXPECT_EQ(loaded(engine), QString());
    EXPECT_EQ(
        reported,
        QStringList {QStringLiteral("no-project.txt not found in %1; no scripts loaded").arg(dir.path())});
    engine.loadScripts(project({QStringLiteral("// only a comment"), QStringLiteral("  ")}));
    EXPECT_EQ(loaded(engine), QString());
    const QString err = ErrorOf(engine, QStringLiteral("OnInit();json2str(sockets);"));
    EXPECT_TRUE(err.contains(QStringLiteral("OnInit"))) << err.toStdString();
}

TEST_F(LoadScriptsTest, ScriptFilesWithAnyLineBreaksAndUtf8Text)
{
    // Old Mac line ends, Unix line ends and a "//" comment that must end at
    // its line break, whatever form the break has.
    write(QStringLiteral("a.js"), "var seen = [];\r// comment\rseen.push('cr');\r");
    write(QStringLiteral("b.js"), "// comment\nseen.push('lf');\n");
    write(QStringLiteral("c.js"), "// comment\r\nseen.push('\xe4\xb8\xad\xe6\x96\x87');\r\n");
    ScriptEngine engine;
    engine.loadScripts(project({QStringLiteral("@a.js"), QStringLiteral("@b.js"), QStringLiteral("@c.js")}));
    EXPECT_EQ(loaded(engine), QString::fromUtf8("cr,lf,中文"));
}

TEST_F(LoadScriptsTest, TheConsolePrintsWithFileAndLine)
{
    write(QStringLiteral("a.js"), "var n = 2;\nfunction f() { console.error('bad', n); }\nconsole.log('hi', n);\nf();\n");
    ScriptEngine engine;
    EXPECT_TRUE(engine.loadScripts(project({QStringLiteral("@a.js")})));
    const QString a = dir.filePath(QStringLiteral("a.js"));
    EXPECT_EQ(reported, (QStringList {a + QStringLiteral(":3: hi 2"), a + QStringLiteral(":2: bad 2")}));
}

TEST_F(LoadScriptsTest, AScriptThatHangsAtLoadIsInterruptedAndTheRestLoads)
{
    write(QStringLiteral("a.js"), "var seen = ['a'];");
    write(QStringLiteral("hang.js"), "seen.push('hang'); while (true) {}");
    write(QStringLiteral("c.js"), "seen.push('c');");
    ScriptEngine engine;
    engine.setTimeoutMs(300);
    engine.loadScripts(
        project({QStringLiteral("@a.js"), QStringLiteral("@hang.js"), QStringLiteral("@c.js")}));
    EXPECT_EQ(loaded(engine), QStringLiteral("a,hang,c"));
}

}  // namespace
