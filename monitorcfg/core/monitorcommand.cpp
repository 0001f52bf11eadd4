#include "monitorcommand.h"

#include "frames.h"
#include "guard.h"
#include "messageseam.h"
#include "serialports.h"
#include "queryreply.h"
#include "systemtexts.h"

#include <QTextStream>

namespace {

void Print(FILE *stream, const QString &text)
{
    QTextStream out(stream);
    out << text << Qt::endl;
}

// Bytes as a quoted ASCII text, anything unprintable as \xNN.
QString Quoted(const QByteArray &bytes)
{
    QString text = QStringLiteral("\"");
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\r')
            text += QStringLiteral("\\r");
        else if (b == '\n')
            text += QStringLiteral("\\n");
        else if (b == '"' || b == '\\')
            text += u'\\' + QChar(b);
        else if (b >= 0x20 && b < 0x7F)
            text += QChar(b);
        else
            text += QStringLiteral("\\x%1").arg(b, 2, 16, QLatin1Char('0'));
    }
    return text + u'"';
}

// The reports end their lines with CR LF; a terminal wants line feeds.
QString PlainLines(QString text) { return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

}  // namespace

MonitorCommand::MonitorCommand(QObject *parent) : QObject(parent)
{
    connect(&m_link, &MonitorLink::replyRead, this,
            guard([this](const QByteArray &bytes) { m_lastReply = bytes; }));
    connect(&m_link, &MonitorLink::configAccepted, this, guard([this] { onConfigAccepted(); }));
    connect(&m_link, &MonitorLink::configFailed, this, guard([this] {
        if (m_stage == Stage::Configuring)
            onFailed(ConfigFailureText());
    }));
    connect(&m_link, &MonitorLink::queryAccepted, this,
            guard([this](const QByteArray &reply) { onQueryAccepted(reply); }));
    connect(&m_link, &MonitorLink::queryFailed, this, guard([this] {
        if (m_stage == Stage::Querying || m_stage == Stage::Verifying)
            onFailed(QueryFailureText());
    }));
}

int MonitorCommand::run(const CommandLine &command)
{
    switch (command.action()) {
    case CommandLine::Action::Help:
        Print(stdout, command.helpText().trimmed());
        return CommandLine::Done;
    case CommandLine::Action::Version:
        Print(stdout, CommandLine::VersionText());
        return CommandLine::Done;
    case CommandLine::Action::List: {
        const QStringList ports = DiscoverPorts();
        for (const QString &port : ports)
            Print(stdout, port);
        return CommandLine::Done;
    }
    case CommandLine::Action::Query:
    case CommandLine::Action::Configure:
        break;
    }
    // An error report from a guarded handler ends the run instead of being
    // lost while the loop waits.
    MessageSeam::Handler previous = MessageSeam::setHandler([this](const QString &text, const QString &) {
        Print(stderr, text);
        finish(CommandLine::MonitorFailed);
    });
    const int status = talkToMonitor(command);
    MessageSeam::setHandler(std::move(previous));
    return status;
}

int MonitorCommand::talkToMonitor(const CommandLine &command)
{
    if (!m_link.openPort(command.port())) {
        Print(stderr, tr("无法打开串口 %1：%2").arg(command.port(), SystemErrorText(m_link.openErrorText())));
        return CommandLine::PortUnavailable;
    }
    m_json = command.json();
    m_verify = command.verify();
    if (command.action() == CommandLine::Action::Query) {
        sendQuery(Stage::Querying);
    } else {
        m_sent = command.values();
        m_stage = Stage::Configuring;
        m_lastReply.clear();
        m_link.sendRequest(MonitorLink::Configure, BuildConfigFrame(m_sent.toFields()));
    }
    // MonitorLink gives up on its 13th tick, so the loop always ends.
    return m_loop.exec();
}

void MonitorCommand::sendQuery(Stage stage)
{
    m_stage = stage;
    m_lastReply.clear();
    m_link.sendRequest(MonitorLink::Query, BuildQueryFrame());
}

void MonitorCommand::onConfigAccepted()
{
    if (m_stage != Stage::Configuring)
        return;
    Print(stderr, PlainLines(ConfigReport(m_sent.toFields())));
    if (m_verify)
        sendQuery(Stage::Verifying);
    else
        finish(CommandLine::Done);
}

void MonitorCommand::onQueryAccepted(const QByteArray &reply)
{
    if (m_stage != Stage::Querying && m_stage != Stage::Verifying)
        return;
    const QueryReplyResult result = ReadQueryReply(reply);
    if (!result.complete) {
        Print(stderr, QueryFailureText() + u'\n' + tr("应答在所有设置之前就结束了：%1").arg(Quoted(reply)));
        finish(CommandLine::MonitorFailed);
        return;
    }
    const std::optional<SettingValues> got = SettingValues::FromReplyFields(result.fields);
    if (!got) {
        Print(stderr, QueryFailureText() + u'\n' + tr("应答中的设置不全是数字：%1").arg(Quoted(reply)));
        finish(CommandLine::MonitorFailed);
        return;
    }
    if (m_stage == Stage::Querying) {
        Print(stdout, m_json ? QString::fromUtf8(got->toJson()) : got->toText());
        finish(CommandLine::Done);
        return;
    }
    const QStringList differ = m_sent.differences(*got);
    if (differ.isEmpty()) {
        Print(stderr, tr("核对一致：监测仪报告的设置与写入的相同"));
        finish(CommandLine::Done);
        return;
    }
    Print(stderr,
          tr("核对不符（%1）：写入 %2，监测仪报告 %3")
              .arg(differ.join(QStringLiteral(", ")), m_sent.toText(), got->toText()));
    finish(CommandLine::MonitorFailed);
}

void MonitorCommand::onFailed(const QString &failureText)
{
    Print(stderr, failureText + u'\n' + failureDetail());
    finish(CommandLine::MonitorFailed);
}

QString MonitorCommand::failureDetail()
{
    if (!m_link.isOpen())
        return tr("线路已断开，串口已关闭");
    if (!m_lastReply.isEmpty())
        return tr("监测仪的应答不符合规则：%1").arg(Quoted(m_lastReply));
    const QByteArray waiting = m_link.waitingBytes();
    if (!waiting.isEmpty())
        return tr("只收到不完整的应答：%1").arg(Quoted(waiting));
    const double seconds = (MonitorLink::kTicksBeforeFailure + 1) * MonitorLink::kTickMs / 1000.0;
    return tr("监测仪在 %1 秒内没有应答").arg(seconds);
}

void MonitorCommand::finish(int status)
{
    m_stage = Stage::Idle;
    m_loop.exit(status);
}
