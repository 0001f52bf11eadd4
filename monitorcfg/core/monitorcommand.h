#pragma once
// Runs one command-line request against the monitor through the same link,
// frames and reply rules as the window, and says how it ended: results on
// standard output, messages on standard error, an exit status.

#include "commandline.h"
#include "monitorlink.h"
#include "settingvalues.h"

#include <QByteArray>
#include <QEventLoop>
#include <QObject>

class MonitorCommand : public QObject
{
    Q_OBJECT

public:
    explicit MonitorCommand(QObject *parent = nullptr);

    // Carries out command (parsed successfully) and returns the exit status
    // (CommandLine::Status). Waits for the monitor in an event loop of its own.
    int run(const CommandLine &command);

private:
    enum class Stage {
        Idle,
        Configuring,
        Verifying,
        Querying
    };

    int talkToMonitor(const CommandLine &command);
    void sendQuery(Stage stage);
    void onConfigAccepted();
    void onQueryAccepted(const QByteArray &reply);
    void onFailed(const QString &failureText);
    QString failureDetail();
    void finish(int status);

    MonitorLink m_link;
    QEventLoop m_loop;
    Stage m_stage = Stage::Idle;
    bool m_json = false;
    bool m_verify = false;
    SettingValues m_sent;
    QByteArray m_lastReply;
};
