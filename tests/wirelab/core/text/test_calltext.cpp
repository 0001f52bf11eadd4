#include "core/script/calltext.h"

#include <QJSEngine>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

QString Nasty()
{
    QString s = QStringLiteral("a\"b'c\\d\re\nf\tg");
    s += QChar(0);
    s += QStringLiteral("1");  // NUL before a digit must not become an octal escape
    s += QChar(0x2028);
    s += QChar(0x2029);
    s += QChar(0x1B);
    s += QChar(0x7F);
    s += QChar(0xD800);  // lone surrogates
    s += QStringLiteral("x");
    s += QChar(0xDC00);
    s += QString::fromUtf8("中文😀");
    s += QStringLiteral("\\u0041 */ // ${x} `");
    return s;
}

// Evaluates text in a fresh engine whose script functions return their
// arguments, so the test sees exactly what the script would receive.
QStringList ArgumentsSeen(const QString &callText)
{
    QJSEngine engine;
    const QJSValue setup = engine.evaluate(
        QStringLiteral(
        "var seen = null; var actions = [];"
        "function record() { seen = Array.prototype.slice.call(arguments); }"
        "var OnSocketEvent = record, OnTimerEvent = record, OnButtonClick = record,"
        "    OnEditChange = record, DeleteSocket = record;"
        "function json2str(v) { return JSON.stringify(v); }"));
    EXPECT_FALSE(setup.isError());
    QStringList stack;
    const QJSValue r = engine.evaluate(callText, QString(), 1, &stack);
    EXPECT_TRUE(stack.isEmpty()) << r.toString().toStdString();
    const QJSValue seen = engine.globalObject().property(QStringLiteral("seen"));
    QStringList args;
    const int n = seen.property(QStringLiteral("length")).toInt();
    for (int i = 0; i < n; ++i) {
        const QJSValue v = seen.property(quint32(i));
        EXPECT_TRUE(v.isString());
        args << v.toString();
    }
    return args;
}

}  // namespace

TEST(CallText, PlainValuesGiveTheKnownTexts)
{
    EXPECT_EQ(CallText::OnRead("c1", "01ABFF", 0), R"(OnSocketEvent("c1","OnRead","01ABFF","0");)");
    EXPECT_EQ(CallText::OnRead("u", "192.0.2.5", 4000), R"(OnSocketEvent("u","OnRead","192.0.2.5","4000");)");
    EXPECT_EQ(CallText::OnConnect("s_3", "127.0.0.1", 3),
              R"(OnSocketEvent("s_3","OnConnect","127.0.0.1","3");)");
    EXPECT_EQ(CallText::OnDisConnect("c", "10.0.0.1", -1),
              R"(OnSocketEvent("c","OnDisConnect","10.0.0.1","-1");)");
    EXPECT_EQ(CallText::OnTimerEvent("c", "t1"), R"(OnTimerEvent("c","t1");)");
    EXPECT_EQ(CallText::OnButtonClick("c", "b1"), R"(OnButtonClick("c","b1");json2str(actions);)");
    EXPECT_EQ(CallText::OnEditChange("c", "e1", "abc"), R"(OnEditChange("c","e1","abc");json2str(actions);)");
    EXPECT_EQ(CallText::DeleteSocket("c"), "DeleteSocket('c');");
}

TEST(CallText, JsStringEscapesOnlyWhatBreaksALiteral)
{
    EXPECT_EQ(CallText::JsString("plain 中文"), "\"plain 中文\"");
    EXPECT_EQ(CallText::JsString("a\"b'c"), R"("a\"b'c")");
    EXPECT_EQ(CallText::JsString("a\"b'c", u'\''), R"('a"b\'c')");
    EXPECT_EQ(CallText::JsString("\\\r\n"), R"("\\\r\n")");
    EXPECT_EQ(CallText::JsString(QString(QChar(0)) + u'7'), R"("\u00007")");
    EXPECT_EQ(CallText::JsString(QString(QChar(0x2028))), R"("\u2028")");
}

TEST(CallText, EvaluatedLiteralGivesBackExactlyTheValue)
{
    QJSEngine engine;
    QStringList values {QString(), QStringLiteral("\""), QStringLiteral("\\"), Nasty()};
    QString allCodeUnits;
    for (int c = 0; c < 0x10000; ++c)
        allCodeUnits += QChar(char16_t(c));
    values << allCodeUnits;
    for (const QString &v : values) {
        for (const QChar quote : {QChar(u'"'), QChar(u'\'')}) {
            QStringList stack;
            const QJSValue r = engine.evaluate(CallText::JsString(v, quote), QString(), 1, &stack);
            ASSERT_TRUE(stack.isEmpty()) << r.toString().toStdString();
            ASSERT_TRUE(r.isString());
            EXPECT_EQ(r.toString(), v);
        }
    }
}

TEST(CallText, ScriptReceivesEveryArgumentUnchanged)
{
    const QString v = Nasty();
    EXPECT_EQ(ArgumentsSeen(CallText::OnSocketEvent(v, "OnRead", v, 42)),
              (QStringList {v, "OnRead", v, "42"}));
    EXPECT_EQ(ArgumentsSeen(CallText::OnTimerEvent(v, v)), (QStringList {v, v}));
    EXPECT_EQ(ArgumentsSeen(CallText::OnButtonClick(v, v)), (QStringList {v, v}));
    EXPECT_EQ(ArgumentsSeen(CallText::OnEditChange(v, v, v)), (QStringList {v, v, v}));
    EXPECT_EQ(ArgumentsSeen(CallText::DeleteSocket(v)), (QStringList {v}));
}
