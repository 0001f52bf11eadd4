// The user-interface language. CTest runs this file twice: with LANG=C.UTF-8
// every text is the window's Chinese, with LANGUAGE=en it is English. The
// frames never change with the language.
#include "form1.h"
#include "formdriver.h"
#include "frames.h"
#include "guard.h"
#include "messageseam.h"
#include "testsupport.h"
#include "uilanguage.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace {

bool EnglishExpected() { return qEnvironmentVariable("LANGUAGE").startsWith(QLatin1String("en")); }

QString Expected(const char *chinese, const char *english)
{
    return EnglishExpected() ? QString::fromUtf8(english) : QString::fromUtf8(chinese);
}

class Language : public ::testing::Test
{
protected:
    // As the program does right after its application object exists.
    static void SetUpTestSuite()
    {
        ASSERT_EQ(InstallUiTranslation(QStringLiteral("monitorcfg")), EnglishExpected());
    }
};

// "context\nsource" -> translation, of every message in a .ts file; an
// unfinished or empty translation is stored as empty.
QMap<QString, QString> ReadTs(const QString &path)
{
    QMap<QString, QString> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    QXmlStreamReader xml(&file);
    QString context, source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"name") {
            context = xml.readElementText();
        } else if (xml.name() == u"source") {
            source = xml.readElementText();
        } else if (xml.name() == u"translation") {
            const bool finished = xml.attributes().value(QLatin1String("type")).isEmpty();
            const QString text = xml.readElementText();
            entries.insert(context + u'\n' + source, finished ? text : QString());
        }
    }
    return entries;
}

}  // namespace

TEST_F(Language, WindowMessageBoxAndResultBox)
{
    Form1 form(QStringLiteral("/nonexistent/monitor-port"));
    form.show();
    EXPECT_EQ(
        form.windowTitle(),
        Expected("接地电阻在线监测仪配置工具", "Grounding Resistance Online Monitor Configuration Tool"));
    EXPECT_EQ(form.findChild<QPushButton *>("Command1")->text(), Expected("配置", "Configure"));

    // The error report, the tool's one message box.
    QString shown;
    const MessageSeam::Handler previous =
        MessageSeam::setHandler([&](const QString &text, const QString &) { shown = text; });
    Guarded([] { throw 42; });
    MessageSeam::setHandler(previous);
    EXPECT_EQ(shown, Expected("未知错误", "Unknown error"));

    SetFields(form, {"1", "2", "192", "168", "1", "100", "5000", "60"});
    const QByteArray frame = BuildConfigFrame(form.fields());
    EXPECT_TRUE(frame.startsWith("dst=001-002,192.168.1.100,05000,00060\r\n"));
    Click(form, "Command1");  // no port: the request times out
    EXPECT_GE(MsUntilResult(form, Expected("配置失败！", "Configuration failed!")), 0)
        << ResultText(form).toStdString();
    EXPECT_EQ(ConfigReport(form.fields())
                  .section(QStringLiteral("\r\n"), 3),
                           Expected("端口号:5000\r\n在线时间:60秒(S)", "Port:5000\r\nOnline time:60 s"));
}

// Ours, Qt's option parser's and the system's reasons, all in one language.
TEST_F(Language, CommandLineMessages)
{
    const struct
    {
        QStringList args;
        int status;
        const char *chinese;
        const char *english;
    } cases[] = {
        {{"--port", "/nonexistent/monitor-port", "--query"},
         3,
         "无法打开串口 /nonexistent/monitor-port：此文件或目录不存在\n",
         "Cannot open the serial port /nonexistent/monitor-port: No such file or directory\n"},
        {{"--port", "/dev/null", "--query"},
         3,
         "无法打开串口 /dev/null：对设备不适当的 ioctl 操作\n",
         "Cannot open the serial port /dev/null: Inappropriate ioctl for device\n"},
        {{"--query", "--port"}, 2, "“--port”之后缺少值。\n", "Missing value after '--port'.\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        QProcess tool;
        tool.start(QStringLiteral(MONITORCFG_PATH), c.args);
        ASSERT_TRUE(tool.waitForFinished(10000));
        EXPECT_EQ(tool.exitCode(), c.status);
        EXPECT_EQ(QString::fromUtf8(tool.readAllStandardError()), Expected(c.chinese, c.english));
    }
}

// Every text the sources mark for translation has a finished English one.
TEST(Translations, EveryTextIsTranslated)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString current = dir.filePath(QStringLiteral("current.ts"));
    QProcess lupdate;
    lupdate.start(QStringLiteral(LUPDATE_PATH),
                                 {"-silent", "-locations", "none", "-source-language", "zh_CN",
                                  QStringLiteral(MONITORCFG_SOURCE_DIR), "-ts", current});
    ASSERT_TRUE(lupdate.waitForFinished(60000));
    ASSERT_EQ(lupdate.exitCode(), 0) << lupdate.readAllStandardError().toStdString();

    const QMap<QString, QString> marked = ReadTs(current);
    const QMap<QString, QString> shipped =
        ReadTs(QStringLiteral(MONITORCFG_SOURCE_DIR "/translations/monitorcfg_en.ts"));
    ASSERT_FALSE(marked.isEmpty());
    for (auto it = marked.cbegin(); it != marked.cend(); ++it)
        EXPECT_FALSE(shipped.value(it.key()).isEmpty()) << "not translated: " << it.key().toStdString();
    for (auto it = shipped.cbegin(); it != shipped.cend(); ++it)
        EXPECT_FALSE(it.value().isEmpty()) << "unfinished: " << it.key().toStdString();
}
