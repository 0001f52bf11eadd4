#pragma once
// ControlServer: the control socket, a Unix-domain socket at a path given
// on the command line. Any number of clients; each is a connection of the
// channel and is answered on its own connection.
//
// The socket is made with mode 0600 (only our user may connect) and removed
// when the server goes. A path that holds anything but a socket is left as
// it is and the server does not listen; a socket left behind by a run that
// did not end cleanly is replaced, one that another run still listens on
// is not.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class ControlChannel;
class SocketConnection;

class ControlServer : public QObject
{
    Q_OBJECT
public:
    explicit ControlServer(QObject *parent = nullptr);
    // Stops listening and removes the socket, once the answers written
    // have gone out.
    ~ControlServer() override;

    // Listens at path; false, with why (naming the path), when it cannot.
    // Clients may connect from now on; their commands wait for serve().
    bool listen(const QString &path, QString *why);
    // Hands every client, from now on, to the channel.
    void serve(ControlChannel &channel);
    QString path() const { return m_path; }

private:
    class Listener;
    void accept(int fd);

    QPointer<ControlChannel> m_channel;
    Listener *m_listener;
    QString m_path;
    QList<QPointer<SocketConnection>> m_clients;
};
