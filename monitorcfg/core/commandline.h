#pragma once
// What a command-line run of monitorcfg asks for: which action, on which
// port, and the settings to write, each checked against its field's range
// before anything is sent.

#include "settingvalues.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

class CommandLine
{
    Q_DECLARE_TR_FUNCTIONS(CommandLine)

public:
    enum Status {
        Done = 0,
        MonitorFailed = 1,
        BadUsage = 2,
        PortUnavailable = 3
    };
    enum class Action {
        Help,
        Version,
        List,
        Query,
        Configure
    };

    // Whether the arguments ask for a command-line run (any option of ours)
    // rather than the window. Decided before any application object exists.
    static bool IsRequested(int argc, char **argv);

    // Reads the arguments, program name first. False on bad usage or a bad
    // value, with errorText() saying which option and why.
    bool parse(const QStringList &arguments);

    Action action() const { return m_action; }
    QString port() const { return m_port; }
    bool json() const { return m_json; }
    bool verify() const { return m_verify; }
    // The settings to write (--configure only).
    SettingValues values() const { return m_values; }
    QString errorText() const { return m_error; }
    // Usage, options and exit statuses.
    QString helpText() const { return m_help; }
    // One line: the program's name and version.
    static QString VersionText();

private:
    bool fail(const QString &text);

    Action m_action = Action::Help;
    QString m_port;
    bool m_json = false;
    bool m_verify = false;
    SettingValues m_values;
    QString m_error;
    QString m_help;
};
