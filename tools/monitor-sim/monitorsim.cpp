#include "monitorsim.h"

#include <QRegularExpression>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QByteArray kQueryCommand = "get dst=?";
// Fails both reply rules: no "SET?OK" at the start, no "-" at byte 3.
const QByteArray kGarbage = "garbage!garbage!garbage!garbage!\r\n";

void WriteAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            ::usleep(1000);
        } else {
            return;
        }
    }
}

}  // namespace

MonitorSim::MonitorSim(QObject *parent) : QObject(parent) {}

MonitorSim::~MonitorSim()
{
    delete m_notifier;
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
}

bool MonitorSim::start()
{
    m_pending.clear();
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        m_error = QStringLiteral("cannot open a pseudo-terminal: %1").arg(
            QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    const char *name = ::ptsname(m_master);
    if (!name) {
        m_error = QStringLiteral("no name for the pseudo-terminal");
        return false;
    }
    m_devicePath = QString::fromLocal8Bit(name);
    // Keeping a slave descriptor open means the line stays up while the tool
    // closes and reopens its port; raw mode keeps every byte as sent.
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave >= 0) {
        termios tio {};
        if (::tcgetattr(m_slave, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(m_slave, TCSANOW, &tio);
        }
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    // A program started from here (the tool under test) must not inherit the
    // line's descriptors, or it would keep the line up after a hang-up.
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    if (m_slave >= 0)
        ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &MonitorSim::onReadable);
    return true;
}

void MonitorSim::sendRaw(const QByteArray &bytes)
{
    if (m_master >= 0)
        WriteAll(m_master, bytes);
}

void MonitorSim::closeLine()
{
    if (m_master < 0)
        return;
    delete m_notifier;
    m_notifier = nullptr;
    ::close(m_master);
    m_master = -1;
    if (m_slave >= 0) {
        ::close(m_slave);
        m_slave = -1;
    }
    emit lineClosed();
}

bool MonitorSim::ParseBehaviour(const QString &name, Behaviour *behaviour)
{
    static const QList<QPair<QString, Behaviour>> names {
        {QStringLiteral("normal"), Behaviour::Normal},
         {QStringLiteral("silent"), Behaviour::Silent},
          {QStringLiteral("garbage"), Behaviour::Garbage},
           {QStringLiteral("short"), Behaviour::Short},
            {QStringLiteral("close"), Behaviour::Close},
             {QStringLiteral("store-wrong"), Behaviour::StoreWrong}};
    for (const auto &entry : names) {
        if (entry.first == name) {
            *behaviour = entry.second;
            return true;
        }
    }
    return false;
}

void MonitorSim::onReadable()
{
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            m_pending.append(buffer, n);
            m_bytesReceived += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            break;
        // EIO: nobody holds the other side any more. Wait for the next open.
        break;
    }
    while (m_master >= 0) {
        // A request frame is zero-padded after its CR LF.
        qsizetype start = 0;
        while (start < m_pending.size() && m_pending.at(start) == '\0')
            ++start;
        m_pending.remove(0, start);
        const qsizetype end = m_pending.indexOf("\r\n");
        if (end < 0) {
            if (m_pending.size() > 4096)
                m_pending.clear();
            break;
        }
        const QByteArray command = m_pending.left(end);
        m_pending.remove(0, end + 2);
        handleCommand(command);
    }
}

void MonitorSim::handleCommand(const QByteArray &command)
{
    if (m_behaviour == Behaviour::Close) {
        emit commandHandled(command, QByteArray());
        closeLine();
        return;
    }
    QByteArray answer = answerFor(command);
    switch (m_behaviour) {
    case Behaviour::Silent:
        answer.clear();
        break;
    case Behaviour::Garbage:
        if (!answer.isEmpty())
            answer = kGarbage;
        break;
    case Behaviour::Short:
        answer = answer.left(m_shortLength);
        break;
    case Behaviour::Normal:
    case Behaviour::Close:
    case Behaviour::StoreWrong:
        break;
    }
    if (!answer.isEmpty())
        WriteAll(m_master, answer);
    emit commandHandled(command, answer);
}

QByteArray MonitorSim::answerFor(const QByteArray &command)
{
    if (command == kQueryCommand)
        return m_settings.queryReply();
    if (command.startsWith("dst="))
        return storeConfiguration(command) ? QByteArray("SET OK") : QByteArray("SET NO");
    return QByteArray();
}

bool MonitorSim::storeConfiguration(const QByteArray &command)
{
    static const QRegularExpression form(QStringLiteral(
        "^dst=(\\d{3})-(\\d{3}),(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3}),(\\d{5}),(\\d{5})$"));
    const QRegularExpressionMatch m = form.match(QString::fromLatin1(command));
    if (!m.hasMatch())
        return false;
    MonitorSettings s;
    s.id1 = m.captured(1).toLatin1();
    s.id2 = m.captured(2).toLatin1();
    for (int i = 0; i < 4; ++i)
        s.ip[i] = m.captured(3 + i).toLatin1();
    s.port = m.captured(7).toLatin1();
    s.onlineTime = m.captured(8).toLatin1();
    if (m_behaviour == Behaviour::StoreWrong)
        s.port = QByteArray::number((s.port.toInt() + 1) % 65536).rightJustified(5, '0');
    m_settings = s;
    return true;
}
