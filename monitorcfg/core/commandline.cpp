#include "commandline.h"

#include "appversion.h"
#include "fieldlimits.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace {

// Where each setting's range comes from: the form field that holds it.
enum FieldIndex {
    Id1Field = 0,
    Id2Field = 1,
    FirstOctetField = 2,
    PortField = 6,
    OnlineField = 7
};

std::optional<int> InRange(const QString &text, FieldLimit limit)
{
    const std::optional<int> value = ReadDecimal(text);
    if (!value || *value < limit.lo || *value > limit.hi)
        return std::nullopt;
    return value;
}

// Usage with the name the program was started by, the options, the exit
// statuses.
QString HelpText(const QList<QCommandLineOption> &options)
{
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    QString text;
    const QStringList forms {
        QString(),
        QStringLiteral("--list"),
            QStringLiteral("--port <device> --query [--json]"),
                QStringLiteral("--port <device> --configure --id1 <n> --id2 <n> --ip <a.b.c.d> --report-port <n> "
                       "--online <s> [--verify]"),
                    QStringLiteral("--help | --version"),
                };
    // "Usage: a", then "   or: b" under it, as synopses are written (and read
    // by the tool that makes the manual page).
    const QString usage = CommandLine::tr("用法：");
    for (qsizetype i = 0; i < forms.size(); ++i) {
        const QString head = i == 0 ? usage : CommandLine::tr("或：").rightJustified(usage.size());
        text += head + u' ' + program + (forms[i].isEmpty() ? QString() : u' ' + forms[i]) + u'\n';
    }
    text += u'\n' + CommandLine::tr("配置或查询接地电阻在线监测仪；不带参数时打开窗口。")
        + QStringLiteral("\n\n") + CommandLine::tr("选项：") + u'\n';
    for (const QCommandLineOption &o : options) {
        QStringList names;
        for (const QString &name : o.names())
            names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        QString left = names.join(QStringLiteral(", "));
        if (!o.valueName().isEmpty())
            left += QStringLiteral(" <%1>").arg(o.valueName());
        text += QStringLiteral("  %1  %2\n").arg(left, -20).arg(o.description());
    }
    return text + u'\n' + CommandLine::tr("退出状态：") + u'\n'
        + CommandLine::tr("  0  完成\n"
                          "  1  监测仪没有应答、应答失败，或 --verify 发现不同\n"
                          "  2  用法或取值错误\n"
                          "  3  串口无法打开\n");
}

// A value as typed, with what would not show on a terminal spelled out: a
// CR left by a DOS-format file reads \r instead of moving the cursor.
QString Visible(const QString &text)
{
    QString shown;
    for (const QChar c : text) {
        if (c == u'\\')
            shown += QStringLiteral("\\\\");
        else if (c == u'\r')
            shown += QStringLiteral("\\r");
        else if (c == u'\n')
            shown += QStringLiteral("\\n");
        else if (c == u'\t')
            shown += QStringLiteral("\\t");
        else if (!c.isPrint())
            shown += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

QString RangeText(FieldLimit limit) { return QStringLiteral("%1-%2").arg(limit.lo).arg(limit.hi); }

}  // namespace

bool CommandLine::IsRequested(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg.startsWith("--") || arg == "-h" || arg == "-?" || arg == "-v")
            return true;
    }
    return false;
}

QString CommandLine::VersionText()
{
    return QCoreApplication::applicationName() + u' ' + QStringLiteral(APP_VERSION);
}

bool CommandLine::fail(const QString &text)
{
    m_error = text;
    return false;
}

bool CommandLine::parse(const QStringList &arguments)
{
    const FieldLimit idLimit = kFieldLimits[Id1Field];
    const FieldLimit octetLimit = kFieldLimits[FirstOctetField];
    const FieldLimit portLimit = kFieldLimits[PortField];
    const FieldLimit onlineLimit = kFieldLimits[OnlineField];

    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("?"), QStringLiteral("help")},
                                                  tr("显示帮助并退出"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, tr("显示版本并退出"));
    const QCommandLineOption list(QStringLiteral("list"), tr("列出能打开的串口，每行一个"));
    const QCommandLineOption port(QStringLiteral("port"), tr("串口名或设备路径"), QStringLiteral("device"));
    const QCommandLineOption query(QStringLiteral("query"), tr("读取监测仪的设置并打印"));
    const QCommandLineOption json(QStringLiteral("json"), tr("与 --query 一起：打印为一个 JSON 对象"));
    const QCommandLineOption configure(
        QStringLiteral("configure"), tr("把 --id1、--id2、--ip、--report-port、--online 写入监测仪"));
    const QCommandLineOption id1(QStringLiteral("id1"), tr("ID 第一部分（%1）").arg(RangeText(idLimit)),
                                                QStringLiteral("n"));
    const QCommandLineOption id2(QStringLiteral("id2"), tr("ID 第二部分（%1）").arg(RangeText(kFieldLimits[Id2Field])), QStringLiteral("n"));
    const QCommandLineOption ip(QStringLiteral("ip"), tr("上报的 IP 地址，每段 %1").arg(RangeText(octetLimit)), QStringLiteral("a.b.c.d"));
    const QCommandLineOption reportPort(QStringLiteral("report-port"), tr("上报的端口号（%1）").arg(RangeText(portLimit)), QStringLiteral("n"));
    const QCommandLineOption online(QStringLiteral("online"), tr("在线时间，单位秒（%1）").arg(RangeText(onlineLimit)), QStringLiteral("s"));
    const QCommandLineOption verify(QStringLiteral("verify"), tr("与 --configure 一起：写入后查询并核对"));

    const QList<QCommandLineOption> options {help, version, list, port,       query,  json,  configure,
                                             id1,  id2,     ip,   reportPort, online, verify};
    QCommandLineParser parser;
    parser.addOptions(options);
    m_help = HelpText(options);

    if (!parser.parse(arguments)) {
        if (!parser.unknownOptionNames().isEmpty())
            return fail(tr("未知选项：%1").arg(parser.unknownOptionNames().join(QStringLiteral(", "))));
        return fail(parser.errorText());
    }
    if (parser.isSet(help)) {
        m_action = Action::Help;
        return true;
    }
    if (parser.isSet(version)) {
        m_action = Action::Version;
        return true;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(tr("多余的参数：%1").arg(Visible(parser.positionalArguments().join(u' '))));

    const int actions = int(parser.isSet(list)) + int(parser.isSet(query)) + int(parser.isSet(configure));
    if (actions != 1)
        return fail(tr("请选择 --list、--query、--configure 中的一个（用法见 --help）"));
    m_action = parser.isSet(list) ? Action::List : parser.isSet(query) ? Action::Query : Action::Configure;

    if (m_action == Action::List && parser.isSet(port))
        return fail(tr("%1 只能与 --query 或 --configure 一起使用").arg(QStringLiteral("--port")));
    if (m_action != Action::Query && parser.isSet(json))
        return fail(tr("%1 只能与 --query 一起使用").arg(QStringLiteral("--json")));
    const QList<const QCommandLineOption *> settingOptions {&id1, &id2, &ip, &reportPort, &online, &verify};
    if (m_action != Action::Configure) {
        for (const QCommandLineOption *o : settingOptions)
            if (parser.isSet(*o))
                return fail(
                    tr("%1 只能与 --configure 一起使用").arg(QStringLiteral("--") + o->names().constFirst()));
    }
    if (m_action == Action::List)
        return true;

    m_port = parser.value(port).trimmed();
    if (m_port.isEmpty())
        return fail(
            tr("%1 需要 --port")
                .arg(m_action == Action::Query ? QStringLiteral("--query") : QStringLiteral("--configure")));
    m_json = parser.isSet(json);
    m_verify = parser.isSet(verify);
    if (m_action == Action::Query)
        return true;

    // A frame always carries every setting, so every one must be given.
    QStringList missing;
    for (const QCommandLineOption *o : settingOptions.mid(0, 5))
        if (!parser.isSet(*o))
            missing << QStringLiteral("--") + o->names().constFirst();
    if (!missing.isEmpty())
        return fail(tr("--configure 还需要 %1").arg(missing.join(QStringLiteral(", "))));

    // Refused rather than clamped: a command must send exactly what was typed.
    const auto number = [&](const QCommandLineOption &o, FieldLimit limit, int *out) {
        const QString text = parser.value(o);
        const std::optional<int> value = InRange(text, limit);
        if (!value)
            return fail(tr("%1 须为 %2 到 %3 之间的整数，不能是“%4”")
                            .arg(QStringLiteral("--") + o.names().constFirst())
                                     .arg(limit.lo)
                                     .arg(limit.hi)
                                     .arg(Visible(text)));
        *out = *value;
        return true;
    };
    if (!number(id1, idLimit, &m_values.id1) || !number(id2, kFieldLimits[Id2Field], &m_values.id2)
        || !number(reportPort, portLimit, &m_values.reportPort)
        || !number(online, onlineLimit, &m_values.onlineTime))
        return false;

    const QString ipText = parser.value(ip);
    const QStringList octets = ipText.split(u'.');
    bool ipOk = octets.size() == 4;
    for (int i = 0; ipOk && i < 4; ++i) {
        const std::optional<int> octet = InRange(octets[i], kFieldLimits[FirstOctetField + i]);
        ipOk = octet.has_value();
        if (ipOk)
            m_values.ip[i] = *octet;
    }
    if (!ipOk)
        return fail(
            tr("%1 须为以点分隔的四个 %2 到 %3 之间的整数（a.b.c.d），不能是“%4”")
                .arg(QStringLiteral("--ip")).arg(octetLimit.lo).arg(octetLimit.hi).arg(Visible(ipText)));
    return true;
}
