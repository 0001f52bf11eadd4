#include "core/text/jsondoc.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJSEngine>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

JsonNode Parse(const QString &text)
{
    JsonNode n;
    EXPECT_TRUE(parseLenientJson(text, n)) << text.left(200).toStdString();
    return n;
}

bool Parses(const QString &text)
{
    JsonNode n;
    return parseLenientJson(text, n);
}

}  // namespace

TEST(JsonDoc, ReadsADeclarationList)
{
    const JsonNode doc = Parse(QStringLiteral(
        R"([{"SOCKETTYPE":"TCP Client","PORT":"60000","HOST":"127.0.0.1","HEX":1,"ID":"c1",)"
        R"("UI":[[{"TYPE":"Button","ID":"b1","TEXT":"Go"},{"TYPE":"Label","TEXT":"x","WIDTH":80}]]}])"));
    ASSERT_TRUE(doc.isArray());
    ASSERT_EQ(doc.items.size(), 1u);
    const JsonNode &decl = doc.items[0];
    EXPECT_EQ(jsonText(decl, "SOCKETTYPE"), "TCP Client");
    EXPECT_EQ(jsonText(decl, "PORT"), "60000");
    EXPECT_EQ(jsonText(decl, "HEX"), "1");
    EXPECT_EQ(jsonInt(decl, "HEX"), 1);
    const JsonNode *ui = jsonArray(decl, "UI");
    ASSERT_NE(ui, nullptr);
    ASSERT_EQ(ui->items.size(), 1u);
    ASSERT_EQ(ui->items[0].items.size(), 2u);
    EXPECT_EQ(jsonText(ui->items[0].items[1], "TYPE"), "Label");
    EXPECT_EQ(jsonInt(ui->items[0].items[1], "WIDTH"), 80);
    EXPECT_EQ(jsonArray(decl, "ID"), nullptr);
    EXPECT_EQ(jsonArray(decl, "MISSING"), nullptr);
}

TEST(JsonDoc, TextGetterFollowsTheReadingRules)
{
    const JsonNode o =
        Parse(QStringLiteral(
        R"({"s":"a\"b","n":8080,"f":-1.50e+2,"t":true,"z":false,"nul":null,)"
        R"("arr":[1, "x" ,{"k":[]}],"obj":{ "a" : null }})"));
    EXPECT_EQ(jsonText(o, "s"), "a\"b");
    EXPECT_EQ(jsonText(o, "n"), "8080");
    EXPECT_EQ(jsonText(o, "f"), "-1.50e+2");  // as written
    EXPECT_EQ(jsonText(o, "t"), "true");
    EXPECT_EQ(jsonText(o, "z"), "false");
    EXPECT_EQ(jsonText(o, "nul"), "");
    EXPECT_EQ(jsonText(o, "missing"), "");
    EXPECT_EQ(jsonText(o, "arr"), R"([1,"x",{"k":[]}])");
    EXPECT_EQ(jsonText(o, "obj"), R"({"a":null})");
    EXPECT_EQ(jsonText(o, "S"), "");  // keys are case-sensitive
    // Not an object: every key counts as missing.
    EXPECT_EQ(jsonText(Parse("[1]"), "0"), "");
    EXPECT_EQ(jsonInt(Parse("\"5\""), "x"), 0);
}

TEST(JsonDoc, IntegerGetterFollowsTheReadingRules)
{
    const JsonNode o =
        Parse(QStringLiteral(
        R"({"i":1000,"neg":-7,"half":2.5,"down":2.4,"mneg":-2.5,"t":true,"f":false,)"
        R"("s":"123","sb":" -4 ","sx":"12a","sf":"1.5","nul":null,"a":[1],"o":{},)"
        R"("big":1e300,"nbig":-1e400,"tiny":1e-400,"over":2147483648})"));
    EXPECT_EQ(jsonInt(o, "i"), 1000);
    EXPECT_EQ(jsonInt(o, "neg"), -7);
    EXPECT_EQ(jsonInt(o, "half"), 3);
    EXPECT_EQ(jsonInt(o, "down"), 2);
    EXPECT_EQ(jsonInt(o, "mneg"), -3);
    EXPECT_EQ(jsonInt(o, "t"), 1);
    EXPECT_EQ(jsonInt(o, "f"), 0);
    EXPECT_EQ(jsonInt(o, "s"), 123);
    EXPECT_EQ(jsonInt(o, "sb"), -4);
    EXPECT_EQ(jsonInt(o, "sx"), 0);
    EXPECT_EQ(jsonInt(o, "sf"), 0);
    EXPECT_EQ(jsonInt(o, "nul"), 0);
    EXPECT_EQ(jsonInt(o, "a"), 0);
    EXPECT_EQ(jsonInt(o, "o"), 0);
    EXPECT_EQ(jsonInt(o, "missing"), 0);
    EXPECT_EQ(jsonInt(o, "big"), 2147483647);
    EXPECT_EQ(jsonInt(o, "nbig"), -2147483647 - 1);
    EXPECT_EQ(jsonInt(o, "tiny"), 0);
    EXPECT_EQ(jsonInt(o, "over"), 2147483647);
}

TEST(JsonDoc, StringEscapesIncludingSurrogates)
{
    const JsonNode s = Parse(QStringLiteral(R"("\"\\\/\b\f\n\r\t\u0041\u00e9\ud83d\ude00\uD800")"));
    QString expected = QStringLiteral("\"\\/\b\f\n\r\tA");
    expected += QChar(0xE9);
    expected += QString::fromUtf8("😀");
    expected += QChar(0xD800);
    EXPECT_EQ(s.type, JsonNode::Type::String);
    EXPECT_EQ(s.text, expected);
    EXPECT_EQ(Parse(R"("\u0000")").text, QString(QChar(0)));
    EXPECT_FALSE(Parses(R"("\u12")"));
    EXPECT_FALSE(Parses(R"("\u12G4")"));
    EXPECT_FALSE(Parses(R"("abc)"));
    EXPECT_FALSE(Parses(R"("abc\)"));
}

TEST(JsonDoc, AcceptsTheLenientSyntax)
{
    const JsonNode o = Parse(QStringLiteral(
        "/* head */ { // line comment\n"
        "  TYPE: 'SEND', $x_1 : 'it\\'s \"q\"', 'SOCKET':\"c\",\n"
        "  list: [1, 2, ], /* inner */ }  // tail"));
    EXPECT_EQ(jsonText(o, "TYPE"), "SEND");
    EXPECT_EQ(jsonText(o, "$x_1"), "it's \"q\"");
    EXPECT_EQ(jsonText(o, "SOCKET"), "c");
    EXPECT_EQ(jsonText(o, "list"), "[1,2]");
    EXPECT_TRUE(Parse("[]").items.empty());
    EXPECT_TRUE(Parse(" {} ").members.empty());
    EXPECT_EQ(Parse("-0").text, QStringLiteral("-0"));
}

TEST(JsonDoc, RejectsWhatIsNotExactlyOneValue)
{
    for (const char *bad : {"",          "   ",     "// only a comment",
                            "[1] [2]",   "{} x",    "[1,,2]",
                            "[,]",       "{,}",     "{\"a\" 1}",
                            "{\"a\":}",  "{1:2}",   "[1",
                            "{\"a\":1",  "/* open", "tru",
                            "nul",       "truex",   "01",
                            "1.",        ".5",      "+1",
                            "1e",        "1e+",     "--1",
                            "0x10",      "NaN",     "Infinity",
                            "undefined", "[1 2]",   "\"a\" \"b\""}) {
        JsonNode n;
        n.text = u"untouched";
        EXPECT_FALSE(parseLenientJson(QString::fromUtf8(bad), n)) << bad;
        EXPECT_EQ(n.text, QStringLiteral("untouched")) << bad;
    }
}

TEST(JsonDoc, DuplicateKeysKeepTheFirst)
{
    const JsonNode o = Parse(R"({"a":1,"a":2})");
    EXPECT_EQ(jsonInt(o, "a"), 1);
    EXPECT_EQ(o.members.size(), 2u);
}

// What the scripts hand back comes from JSON.stringify; whatever it writes
// must read back to the same JSON text.
TEST(JsonDoc, ReadsWhatJsonStringifyWrites)
{
    QJSEngine engine;
    const QJSValue v = engine.evaluate(QStringLiteral(
        "JSON.stringify([{TYPE:'DISPLAY',SOCKET:'c\"1\\\\',DATA:'line\\nnext\\u0001\\u2028 中',"
        "INTERVAL:1.25e-7,N:-0.5,BIG:12345678901234567890,T:true,U:null,"
        "UI:[[{TYPE:'Edit',ID:'e'}],[]]}, 'x\\ud800y', [], {}])"));
    ASSERT_TRUE(v.isString());
    const QString json = v.toString();
    const JsonNode doc = Parse(json);
    EXPECT_EQ(doc.toJson(), json);
    ASSERT_EQ(doc.items.size(), 4u);
    EXPECT_EQ(jsonText(doc.items[0], "SOCKET"), "c\"1\\");
    EXPECT_EQ(jsonText(doc.items[0], "DATA"), QString::fromUtf8("line\nnext\x01\u2028 中"));
    EXPECT_EQ(doc.items[1].text, QStringLiteral("x") + QChar(0xD800) + u'y');
}

TEST(JsonDoc, DeepNestingFailsWithoutRecursingForever)
{
    const int deep = 1000000;
    EXPECT_FALSE(Parses(QString(deep, u'[') + QString(deep, u']')));
    EXPECT_FALSE(Parses(QString(deep, u'[')));
    EXPECT_FALSE(Parses(QString(deep, u'{')));
    QString objects;
    for (int i = 0; i < 100000; ++i)
        objects += QLatin1String("{\"a\":");
    EXPECT_FALSE(Parses(objects + u'1' + QString(100000, u'}')));
    // Moderate nesting is still fine.
    EXPECT_TRUE(Parses(QString(100, u'[') + QString(100, u']')));
}

TEST(JsonDoc, HostileInputNeverCrashes)
{
    QRandomGenerator rng(12345);
    const QString alphabet = QStringLiteral("[]{}\",:'\\/*\n 0123456789.eE+-truefalsnl\"u");
    for (int round = 0; round < 2000; ++round) {
        QString s;
        const int len = int(rng.bounded(64));
        for (int i = 0; i < len; ++i)
            s += (round % 2) ? alphabet[int(rng.bounded(alphabet.size()))]
                             : QChar(char16_t(rng.bounded(0x10000)));
        JsonNode n, fast;
        parseLenientJson(s, n);
        if (parsePlainJson(s, fast)) {
            EXPECT_EQ(fast.toJson(), n.toJson());
        }
    }

    // Ten megabytes of text: a long string and a long array parse in one go.
    QElapsedTimer t;
    t.start();
    const QString longString = u'"' + QString(10 * 1024 * 1024, u'x') + u'"';
    EXPECT_EQ(Parse(longString).text.size(), 10 * 1024 * 1024);
    QString longArray = QStringLiteral("[");
    for (int i = 0; i < 500000; ++i)
        longArray += QLatin1String("12345678,\"abcdefg\",");
    longArray += u']';
    EXPECT_EQ(Parse(longArray).items.size(), 1000000u);
    EXPECT_FALSE(Parses(QString(10 * 1024 * 1024, u'a')));
    EXPECT_LT(t.elapsed(), 20000);
}

// Plain JSON takes the fast path and gives what the lenient rules give; the
// lenient syntax fails it (and is read by the lenient rules alone).
TEST(JsonDoc, TheFastPathGivesWhatTheLenientRulesGive)
{
    const struct
    {
        const char *text;
        bool plain;
    } cases[] = {
        {R"([{"TYPE":"SEND","SOCKET":"srv","DATA":"41"}])", true},
        {R"({"k\"ey":"\u00e9\n\"\\\/","n":[-0.5e+3,0,1E2,true,false,null]})", true},
        {" \t\r\n[ ]\n", true},
        {"\"raw\ttab\"", true},
        {"\"\\v\"", false},
        {"\"\\0\"", false},
        {"\"\\'\"", false},
        {"'x'", false},
        {"{a:1}", false},
        {"[1,]", false},
        {"{\"a\":1,}", false},
        {"[1] // c", false},
        {"/* c */ 1", false},
        {"\u00a0[1]", false},
        {"\f1", false},
    };
    std::vector<std::pair<QString, bool>> inputs;
    for (const auto &c : cases)
        inputs.emplace_back(QString::fromUtf8(c.text), c.plain);
    const QDir corpus(QStringLiteral(JSON_CORPUS));
    for (const QString &name : corpus.entryList(QDir::Files)) {
        QFile f(corpus.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
        inputs.emplace_back(QString::fromUtf8(f.readAll()), false);
    }
    ASSERT_GT(inputs.size(), std::size(cases));
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const auto &[text, plain] = inputs[i];
        SCOPED_TRACE(text.toStdString());
        JsonNode fast, lenient;
        const bool fastRead = parsePlainJson(text, fast);
        if (i < std::size(cases)) {
            EXPECT_EQ(fastRead, plain);
        }
        ASSERT_TRUE(parseLenientJson(text, lenient));
        if (fastRead) {
            EXPECT_EQ(fast.toJson(), lenient.toJson());
        }
    }

    // A node holds what it views: a member taken out outlives its document.
    JsonNode kept;
    {
        JsonNode doc;
        ASSERT_TRUE(parseLenientJson(QString::fromUtf8(cases[1].text), doc));
        kept = doc;
    }
    EXPECT_EQ(jsonText(kept, QStringLiteral("k\"ey")), QStringLiteral("\u00e9\n\"\\/"));
    EXPECT_EQ(jsonText(kept, QStringLiteral("n")), QStringLiteral("[-0.5e+3,0,1E2,true,false,null]"));
}
