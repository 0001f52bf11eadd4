// The manual pages say what the programs say: every option --help lists is
// in the generated page, and no template placeholder is left in it.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QString EnglishHelp(const QString &program)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LANGUAGE"), QStringLiteral("en"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(env);
    process.start(program, {QStringLiteral("--help")});
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The page as a reader sees it: no font changes, plain hyphens.
QString PageText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(file.readAll());
    static const QRegularExpression escapes(QStringLiteral(R"(\\f(\(..|\[[^]]*\]|.)|\\[,/&])"));
    text.remove(escapes);
    return text.replace(QLatin1String("\\-"), QLatin1String("-"));
}

}  // namespace

TEST(ManPages, EveryOptionOfHelpIsInThePage)
{
    const struct
    {
        const char *program;
        const char *page;
    } cases[] = {
        {WIRELAB_BIN, MAN_DIR "/wirelab.1"},
        {MONITORCFG_BIN, MAN_DIR "/monitorcfg.1"},
        {MONITOR_SIM_BIN, MAN_DIR "/monitorcfg-sim.1"},
    };
    static const QRegularExpression option(QStringLiteral(R"((?<![\w-])--?[A-Za-z?][\w-]*)"));
    static const QRegularExpression placeholder(QStringLiteral("@[A-Z_]+@"));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.page);
        const QString help = EnglishHelp(QString::fromUtf8(c.program));
        const QString page = PageText(QString::fromUtf8(c.page));
        ASSERT_FALSE(help.isEmpty());
        ASSERT_FALSE(page.isEmpty());
        int options = 0;
        for (const QRegularExpressionMatch &m : option.globalMatch(help)) {
            ++options;
            EXPECT_TRUE(page.contains(m.captured())) << m.captured().toStdString();
        }
        EXPECT_GT(options, 3);
        EXPECT_TRUE(page.contains(QLatin1String("\n.SH \"EXIT STATUS\"\n")));
        EXPECT_FALSE(page.contains(placeholder)) << placeholder.match(page).captured().toStdString();
    }
}
