// The two user-interface languages: Chinese without a translation, English
// with the built wirelab_en.qm, for a dialog, a message box, a log line, the
// main window and a data window;
// names that scripts see stay as they are in both. Also: the translation
// file is complete, and the program answers --help and --version without a
// display.
#include "appversion.h"
#include "core/endpoints/endpoint.h"
#include "core/endpoints/registry.h"
#include "core/endpoints/tcpclientendpoint.h"
#include "gui/newserverdialog.h"
#include "scriptedwindow.h"
#include "seamrecorder.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTranslator>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace {

struct Language
{
    const char *name;
    bool english;
    const char *dialogCaption;
    const char *dialogLabel;
    const char *connectFailed;
    const char *receivedLine;  // without the time
    const char *createButton;  // the main window's Button1
    const char *sendButton;  // a data window's Button_11
};

const Language Languages[] = {
    {"Chinese", false, "创建TCP Server", "监听端口:  ", "连接失败!", " 收到数据：ab", "创建", "发送数据"},
    {"English", true, "New TCP Server", "Listening port:", "Connection failed!", " Received: ab", "Create",
     "Send"},
};

class UiLanguage : public ::testing::TestWithParam<Language>
{
protected:
    void SetUp() override
    {
        if (!GetParam().english)
            return;
        ASSERT_TRUE(m_translator.load(QStringLiteral("wirelab_en"), QStringLiteral(TRANSLATIONS_DIR)))
                    << "no wirelab_en.qm in " TRANSLATIONS_DIR;
        ASSERT_TRUE(QCoreApplication::installTranslator(&m_translator));
    }
    void TearDown() override { QCoreApplication::removeTranslator(&m_translator); }

private:
    QTranslator m_translator;
};

TEST_P(UiLanguage, DialogMessageBoxAndLogLine)
{
    const Language &lang = GetParam();

    NewServerDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(lang.dialogCaption));
    auto *label = dialog.findChild<QLabel *>(QStringLiteral("Label1"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QString::fromUtf8(lang.dialogLabel));

    // A client without a host cannot connect: the failure box.
    EndpointRegistry registry;
    TcpClientEndpoint *client = TcpClientEndpoint::create(registry, QString(), 0);
    MessageRecorder boxes;
    client->start();
    EXPECT_EQ(boxes.texts, QStringList {QString::fromUtf8(lang.connectFailed)});

    EXPECT_EQ(u' ' + receivedLine("ab", false), QString::fromUtf8(lang.receivedLine));

    // The default name is an endpoint name that scripts address.
    EXPECT_EQ(client->name(), QStringLiteral("数据收发窗口"));

    // The main window and a data window.
    ScriptedWindow f;
    auto *create = f.window().findChild<QPushButton *>(QStringLiteral("Button1"));
    ASSERT_NE(create, nullptr);
    EXPECT_EQ(create->text(), QString::fromUtf8(lang.createButton));
    auto *send = f.control<QPushButton>(f.tcpClient(QStringLiteral("c"), 9), "Button_11");
    ASSERT_NE(send, nullptr);
    EXPECT_EQ(send->text(), QString::fromUtf8(lang.sendButton));
}

INSTANTIATE_TEST_SUITE_P(Both, UiLanguage, ::testing::ValuesIn(Languages),
                         [](const auto &test) { return std::string(test.param.name); });

// Every entry has a finished, non-empty translation that keeps the source's
// %n places (a lost %1 would drop a port or a count from the English text).
TEST(Translations, EveryEntryIsTranslated)
{
    QFile file(QStringLiteral(WIRELAB_TS));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << WIRELAB_TS;
    QXmlStreamReader xml(&file);
    const QRegularExpression place(QStringLiteral("%\\d"));
    const auto places = [&](const QString &text) {
        QStringList found;
        for (auto it = place.globalMatch(text); it.hasNext();)
            found << it.next().captured();
        found.sort();
        return found;
    };
    int entries = 0;
    QString source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            ++entries;
            const QString type = xml.attributes().value(QLatin1String("type")).toString();
            const QString text = xml.readElementText();
            EXPECT_TRUE(type.isEmpty()) << "type=\"" << type.toStdString() << "\": " << source.toStdString();
            EXPECT_FALSE(text.isEmpty()) << source.toStdString();
            EXPECT_EQ(places(text), places(source)) << source.toStdString();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_GT(entries, 0);
}

struct Invocation
{
    const char *argument;  // none when null
    int status;
    const char *stdoutPattern;  // whole output
    const char *stderrPattern;  // whole output
};

// Run without a display: these must not need one, and the window must say it
// has none instead of aborting.
TEST(CommandLine, HelpVersionUnknownOptionsAndNoDisplay)
{
    const Invocation cases[] = {
        {"--version", 0, "wirelab " APP_VERSION "\n", ""},
        {"--help", 0, "Usage: wirelab .*--help.*--version.*Exit status:.*", ""},
        {"--no-such-option", 2, "", ".+"},
        {nullptr, 2, "", "no display: run wirelab --headless, or set DISPLAY\n"},
    };
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    for (const Invocation &c : cases) {
        SCOPED_TRACE(c.argument ? c.argument : "(none)");
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(WIRELAB_BIN),
                                     c.argument ? QStringList {QLatin1String(c.argument)} : QStringList());
        ASSERT_TRUE(program.waitForFinished(10000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), c.status);
        const auto matches = [](const char *pattern, const QByteArray &output) {
            const QRegularExpression expected(QRegularExpression::anchoredPattern(QString::fromUtf8(pattern)),
                                              QRegularExpression::DotMatchesEverythingOption);
            return expected.match(QString::fromLocal8Bit(output)).hasMatch();
        };
        const QByteArray out = program.readAllStandardOutput();
        const QByteArray err = program.readAllStandardError();
        EXPECT_TRUE(matches(c.stdoutPattern, out)) << out.toStdString();
        EXPECT_TRUE(matches(c.stderrPattern, err)) << err.toStdString();
    }
}

}  // namespace
