#include "core/control/controlserver.h"

#include "core/control/controlchannel.h"
#include "core/control/socketconnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <sys/stat.h>

namespace {

// How long the end of the run waits for answers to go out, in all.
constexpr int FlushMs = 1000;

}  // namespace

// Qt's server makes the socket file (atomically with its permissions) and
// accepts; the accepted descriptors are ours, so that a client that has
// closed its sending side can still be answered.
class ControlServer::Listener : public QLocalServer
{
public:
    explicit Listener(ControlServer *server) : QLocalServer(server), m_server(server) {}

protected:
    void incomingConnection(quintptr descriptor) override { m_server->accept(int(descriptor)); }

private:
    ControlServer *m_server;
};

ControlServer::ControlServer(QObject *parent) : QObject(parent), m_listener(new Listener(this)) {}

ControlServer::~ControlServer()
{
    m_clients.removeAll(nullptr);
    for (const QPointer<SocketConnection> &c : std::as_const(m_clients))
        c->flushAnswers(FlushMs / qMax(1, int(m_clients.size())));
    // Closing removes the socket file.
    m_listener->close();
}

bool ControlServer::listen(const QString &path, QString *why)
{
    const QByteArray file = QFile::encodeName(path);
    struct stat st;
    if (::lstat(file.constData(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            *why = QStringLiteral("%1: exists and is not a socket; left as it is").arg(path);
            return false;
        }
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(1000)) {
            *why = QStringLiteral("%1: another program listens on this socket").arg(path);
            return false;
        }
        // Left behind by a run that did not end cleanly.
        QLocalServer::removeServer(path);
    }
    // Qt binds it in a private directory first and moves it into place, so
    // it is never reachable with wider permissions than these.
    m_listener->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_listener->listen(path)) {
        const QFileInfo info(path);
        *why = info.dir().exists() ? QStringLiteral("%1: %2").arg(path, m_listener->errorString())
                                   : QStringLiteral("%1: no such directory").arg(path);
        return false;
    }
    ::chmod(file.constData(), S_IRUSR | S_IWUSR);
    m_path = path;
    return true;
}

void ControlServer::serve(ControlChannel &channel)
{
    m_channel = &channel;
    m_clients.removeAll(nullptr);
    for (const QPointer<SocketConnection> &c : std::as_const(m_clients))
        channel.add(c);
}

void ControlServer::accept(int fd)
{
    auto *client = new SocketConnection(fd, this);
    connect(client, &SocketConnection::connectionClosed, client, &QObject::deleteLater);
    m_clients.removeAll(nullptr);
    m_clients.append(client);
    // Until the project is built, its lines wait (read no further than the
    // queue allows).
    if (m_channel)
        m_channel->add(client);
}
