#pragma once
// HeadlessRun: a project run without a window, showing a Workbench. The
// same script semantics as the window: the scripts load, OnInit and the
// declarations build the endpoints at once (there is no window to
// activate), the executor runs, the 100 ms tick drives the script timers,
// servers accept connections as endpoints of their own, the declared panels
// are built and answer clicks and typed texts as in the window. Every line a
// receive pane would get goes to the line log; an ALERT prints
// "ALERT <socket>: <text>" on standard error and the run goes on.
//
// Control commands come from standard input (answered on standard output,
// in order with the lines) and from a control socket, once the workspace is
// built; the socket is claimed before anything loads.
//
// The run ends with an EXIT action's code once its batch is done, after
// the given duration (status 0), on SIGINT/SIGTERM (status 0) or on a quit
// command (its code): the endpoints are closed and the log flushed first.

#include "headless/linelog.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class ControlChannel;
class ControlServer;
class EndpointRegistry;
class ProjectControl;
class ScriptHost;
class StdinConnection;
class StopSignals;
class Workbench;

class HeadlessRun : public QObject
{
    Q_OBJECT
public:
    // Exit statuses besides 0 and an EXIT action's own.
    enum Status {
        Done = 0,
        ScriptsUnreadable = 2,  // project.txt or a listed script cannot be read or does not load
        ControlUnusable = 2,  // the control socket's path cannot be listened on
        NoWorkspace = 3,  // OnInit threw, or the declarations made no endpoint
        ScriptMistake = 4,  // with strict: a script error or warning
    };

    struct Options
    {
        QString dir;  // holds project.txt; empty: the current directory
        LineLog::Options log;
        double durationSeconds = 0;  // > 0: end after that long
        bool strict = false;  // the first script error or warning ends the run (ScriptMistake)
        bool controlStdin = false;  // commands on standard input
        QString controlSocket;  // the control socket's path, if any
    };

    explicit HeadlessRun(const Options &options, QObject *parent = nullptr);
    ~HeadlessRun() override;

    // Loads and builds, then runs the event loop until the run ends; the
    // exit status.
    int exec();

    Workbench &workbench() { return *m_workbench; }
    EndpointRegistry &registry();
    ScriptHost &host();

    // Loads the scripts and builds the workspace without running the loop:
    // 0, or the status to end with at once.
    int start();
    // Ends the run with code once control is back in the event loop.
    void finish(int code);

Q_SIGNALS:
    void finished(int code);

private:
    void end();
    void startControl();
    // A port already in use, named with its endpoint in the output and on
    // standard error (the message box alone names neither).
    void tellPortBusy(Endpoint *endpoint, int port);
    void writeError(const QString &text);

    Options m_options;
    std::unique_ptr<Workbench> m_workbench;
    std::unique_ptr<LineLog> m_log;
    StopSignals *m_stopSignals = nullptr;
    std::unique_ptr<ProjectControl> m_control;
    std::unique_ptr<ControlChannel> m_channel;
    std::unique_ptr<ControlServer> m_controlServer;
    std::unique_ptr<StdinConnection> m_stdin;
    QTimer m_duration;
    int m_code = 0;
    bool m_ending = false;
};
