#pragma once
// HeadlessRun: a project run without a window, showing a Workbench. The
// same script semantics as the window: the scripts load, OnInit and the
// declarations build the endpoints at once (there is no window to
// activate), the executor runs, the 100 ms tick drives the script timers,
// servers accept connections as endpoints of their own. Panel rows are accepted and ignored. Every line a
// receive pane would get goes to the line log; an ALERT prints
// "ALERT <socket>: <text>" on standard error and the run goes on.
//
// The run ends with an EXIT action's code once its batch is done, after
// the given duration (status 0), or on SIGINT/SIGTERM (status 0): the
// endpoints are closed and the log flushed first.

#include "headless/linelog.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class EndpointRegistry;
class ScriptHost;
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
        NoWorkspace = 3,  // OnInit threw, or the declarations made no endpoint
    };

    struct Options
    {
        QString dir;  // holds project.txt; empty: the current directory
        LineLog::Options log;
        double durationSeconds = 0;  // > 0: end after that long
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

    Options m_options;
    std::unique_ptr<Workbench> m_workbench;
    std::unique_ptr<LineLog> m_log;
    StopSignals *m_stopSignals = nullptr;
    QTimer m_duration;
    int m_code = 0;
    bool m_ending = false;
};
