#include "core/control/controlcommands.h"

#include "core/control/commandreader.h"
#include "core/control/controltarget.h"

namespace {

constexpr int DefaultLogLines = 20;

// "send NAME TEXT"
QString Usage(const ControlCommand &c)
{
    return QString::fromLatin1(c.name) + (*c.arguments ? u' ' + QString::fromLatin1(c.arguments) : QString());
}

bool IsHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Hex digits in pairs, blanks allowed between the pairs; nullopt for
// anything else (the data window's send pane is more lenient, but a
// command that would send other bytes than meant must not send at all).
std::optional<QByteArray> ParseHex(const QString &text)
{
    QByteArray digits;
    for (QChar c : text) {
        if (c == u' ' || c == u'\t') {
            if (digits.size() % 2 != 0)
                return std::nullopt;
            continue;
        }
        if (!IsHexDigit(c))
            return std::nullopt;
        digits.append(char(c.unicode()));
    }
    if (digits.isEmpty() || digits.size() % 2 != 0)
        return std::nullopt;
    return QByteArray::fromHex(digits);
}

ControlAnswer Help(ControlTarget &, const QStringList &)
{
    QList<ControlRow> rows;
    for (const ControlCommand &c : controlCommands()) {
        rows.append({{QStringLiteral("usage"), Usage(c)}});
    }
    return ControlAnswer::listing(rows);
}

ControlAnswer List(ControlTarget &target, const QStringList &) { return target.list(); }

ControlAnswer Send(ControlTarget &target, const QStringList &a)
{
    // The text as typed into the send pane in text mode.
    return target.send(a.at(0), a.at(1).toLocal8Bit());
}

ControlAnswer SendHex(ControlTarget &target, const QStringList &a)
{
    const std::optional<QByteArray> block = ParseHex(a.at(1));
    if (!block)
        return ControlAnswer::failure(
            QStringLiteral("bad hex \"%1\": hex digits in pairs, as 48 69 or 4869").arg(a.at(1)));
    return target.send(a.at(0), *block);
}

ControlAnswer Connect(ControlTarget &target, const QStringList &a) { return target.connectEndpoint(a.at(0)); }

ControlAnswer Disconnect(ControlTarget &target, const QStringList &a)
{
    return target.disconnectEndpoint(a.at(0));
}

ControlAnswer Listen(ControlTarget &target, const QStringList &a)
{
    if (a.at(1) != QLatin1String("on") && a.at(1) != QLatin1String("off"))
        return ControlAnswer::failure(QStringLiteral("listen takes on or off, not \"%1\"").arg(a.at(1)));
    return target.listen(a.at(0), a.at(1) == QLatin1String("on"));
}

ControlAnswer Delete(ControlTarget &target, const QStringList &a) { return target.deleteEndpoint(a.at(0)); }

ControlAnswer Click(ControlTarget &target, const QStringList &a) { return target.click(a.at(0), a.at(1)); }

ControlAnswer Set(ControlTarget &target, const QStringList &a)
{
    return target.setText(a.at(0), a.at(1), a.at(2));
}

ControlAnswer Panel(ControlTarget &target, const QStringList &a) { return target.panel(a.at(0)); }

ControlAnswer Log(ControlTarget &target, const QStringList &a)
{
    int lines = DefaultLogLines;
    if (a.size() > 1) {
        bool ok = false;
        lines = a.at(1).toInt(&ok);
        if (!ok || lines < 0)
            return ControlAnswer::failure(
                QStringLiteral("log takes a number of lines (0 or more), not \"%1\"").arg(a.at(1)));
    }
    return target.log(a.at(0), lines);
}

ControlAnswer Quit(ControlTarget &target, const QStringList &a)
{
    int code = 0;
    if (!a.isEmpty()) {
        bool ok = false;
        code = a.at(0).toInt(&ok);
        if (!ok || code < 0 || code > 255)
            return ControlAnswer::failure(
                QStringLiteral("quit takes an exit status from 0 to 255, not \"%1\"").arg(a.at(0)));
    }
    return target.quit(code);
}

}  // namespace

const QList<ControlCommand> &controlCommands()
{
    static const QList<ControlCommand> commands = {
        {"list", "", 0, 0, List},
        {"send", "NAME TEXT", 2, 0, Send},
        {"sendhex", "NAME HEX", 2, 0, SendHex},
        {"connect", "NAME", 1, 0, Connect},
        {"disconnect", "NAME", 1, 0, Disconnect},
        {"listen", "NAME on|off", 2, 0, Listen},
        {"delete", "NAME", 1, 0, Delete},
        {"click", "NAME ID", 2, 0, Click},
        {"set", "NAME ID TEXT", 3, 0, Set},
        {"panel", "NAME", 1, 0, Panel},
        {"log", "NAME [N]", 1, 1, Log},
        {"quit", "[CODE]", 0, 1, Quit},
        {"help", "", 0, 0, Help},
    };
    return commands;
}

std::optional<ControlAnswer> runControlLine(ControlTarget &target, const QString &line)
{
    QString why;
    const std::optional<QStringList> words = CommandReader::words(line, &why);
    if (!words)
        return ControlAnswer::failure(why);
    if (words->isEmpty())
        return std::nullopt;
    const QString &name = words->first();
    for (const ControlCommand &c : controlCommands()) {
        if (name != QLatin1String(c.name))
            continue;
        const QStringList arguments = words->mid(1);
        const QString usage = Usage(c);
        if (arguments.size() < c.required)
            return ControlAnswer::failure(QStringLiteral("missing argument: %1").arg(usage));
        if (arguments.size() > c.required + c.optional)
            return ControlAnswer::failure(
                QStringLiteral("too many arguments (quote a text with blanks): %1").arg(usage));
        return c.run(target, arguments);
    }
    return ControlAnswer::failure(
        QStringLiteral("unknown command \"%1\" (help lists the commands)").arg(name));
}
