#pragma once
// The monitor's side of the serial line on a pseudo-terminal: the tool opens
// devicePath() as its port; the simulator reads commands from the master
// side and answers through it.

#include "monitorsettings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

class MonitorSim : public QObject
{
    Q_OBJECT

public:
    enum class Behaviour {
        Normal,  // answer like the monitor
        Silent,  // read commands, never answer
        Garbage,  // answer every command with bytes that fit no reply rule
        Short,  // answer with only the first shortLength() bytes of the reply
        Close,  // hang up the line on the next command
        StoreWrong,  // acknowledge a configure command but store another report port
    };

    explicit MonitorSim(QObject *parent = nullptr);
    ~MonitorSim() override;

    // Opens the pseudo-terminal (again after closeLine(), usually on the same
    // path); false with errorText() on failure.
    bool start();
    QString errorText() const { return m_error; }
    QString devicePath() const { return m_devicePath; }
    bool isOpen() const { return m_master >= 0; }

    void setBehaviour(Behaviour behaviour) { m_behaviour = behaviour; }
    Behaviour behaviour() const { return m_behaviour; }
    void setShortLength(int bytes) { m_shortLength = bytes; }
    int shortLength() const { return m_shortLength; }

    // Every byte the tool has written to the line so far.
    qint64 bytesReceived() const { return m_bytesReceived; }

    MonitorSettings settings() const { return m_settings; }
    void setSettings(const MonitorSettings &settings) { m_settings = settings; }

    // Writes bytes to the tool as they are (unsolicited data).
    void sendRaw(const QByteArray &bytes);
    // Hangs up: closes both sides of the pseudo-terminal.
    void closeLine();

    static bool ParseBehaviour(const QString &name, Behaviour *behaviour);

signals:
    // One command line (without CR LF) and the bytes answered to it.
    void commandHandled(const QByteArray &command, const QByteArray &answer);
    void lineClosed();

private:
    void onReadable();
    void handleCommand(const QByteArray &command);
    QByteArray answerFor(const QByteArray &command);
    bool storeConfiguration(const QByteArray &command);

    int m_master = -1;
    int m_slave = -1;
    QSocketNotifier *m_notifier = nullptr;
    QString m_devicePath;
    QString m_error;
    QByteArray m_pending;
    Behaviour m_behaviour = Behaviour::Normal;
    int m_shortLength = 5;
    qint64 m_bytesReceived = 0;
    MonitorSettings m_settings;
};
