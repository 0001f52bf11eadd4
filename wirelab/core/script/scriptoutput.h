#pragma once
// Where what the scripts print and what goes wrong with them is told: every
// line goes to standard output or standard error, and to whoever listens
// (the main window's script output pane). Script failures that the program
// otherwise goes on from without a word (a file that does not load, an
// OnInit that throws, a declaration that stops the build, a batch of
// actions cut short) are reported here, and so is every error of an event
// call besides its box.
//
// console.log/info/debug of a script print to standard output, console.warn
// and console.error to standard error, each as "<file>:<line>: <text>".
//
// An error or warning line that comes again within a second of the last
// time it was written is counted instead (a throwing OnTimerEvent fires ten
// times a second): once a second the count is told as "<line> (repeated N
// times in the last second)"; a line quiet for a second is written in full
// again.

#include "core/log/endpointlog.h"
#include "core/script/scriptwarning.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <exception>
#include <functional>

class ScriptError;

class ScriptOutput : public QObject
{
    Q_OBJECT
public:
    enum class Kind {
        Console,  // what a script printed
        Error,  // an error of an event call or of the actions
        StartupError,  // loading the scripts or building the workspace failed
        Warning,  // a mistake the program went on from (ScriptWarning)
    };
    Q_ENUM(Kind)

    static ScriptOutput &instance();

    // What a reporter knows of where an error came from (the fields that
    // are set), for a reader that wants them apart from the line: the JSON
    // form of a run without a window.
    struct Place
    {
        QString endpoint;  // the endpoint it concerns
        QString event;  // the event whose handling failed: "OnRead of echo_1"
        int action = 0;  // the failed action's 1-based place in its batch
        QString file;  // the script file and line
        int line = 0;
    };

    // "wirelab: <text>" on standard error. Each returns whether the line
    // was written in full (false: counted as a repeat).
    // With a log, an error written in full is also recorded there as an
    // extra record, "error: <text>" (the log of the endpoint it concerns).
    bool error(const QString &text, Kind kind, const Place &place, EndpointLog *log = nullptr);
    bool error(const QString &text, Kind kind = Kind::Error) { return error(text, kind, Place()); }
    // The same for a script error: "wirelab: <file>:<line>: <prefix><engine text>".
    bool scriptError(const ScriptError &e, const QString &prefix = QString(), Kind kind = Kind::Error,
                     const QString &endpoint = QString(), EndpointLog *log = nullptr);

    // Runs a script call made for an endpoint. A script error escaping it
    // goes on to the error report as before; when the report tells it here,
    // it is also recorded in that endpoint's log (an extra record, as often
    // as it is written) and names the endpoint in its place. Where such
    // calls nest, the innermost keeps it.
    template<class F>
    static void concerning(const QString &endpoint, EndpointLog &log, F &&call)
    {
        const QPointer<EndpointLog> held(&log);  // the call may delete the endpoint
        try {
            std::forward<F>(call)();
        } catch (...) {
            instance().concerns(std::current_exception(), endpoint, held);
            throw;
        }
    }
    // A line printed by the script's console (output: standard output, else
    // standard error).
    void console(bool output, const QString &location, const QString &text);
    // "wirelab: warning: ..." on standard error (ScriptWarning::line()).
    bool warning(const ScriptWarning &warning);

    // Whether text is the error report that the error guard has just told
    // here with its file and line; forgets it. A front end whose message
    // box is itself a line on standard error leaves that one out.
    bool takeToldReport(const QString &text);

    // Tells the repeats counted so far and forgets every line written: what
    // comes next is written in full (the end of a run, a new script host).
    void flushRepeats();

    // Where the console lines meant for standard output go instead (a run
    // without a window writes them into its own output stream, in order
    // with its other lines); none: standard output.
    using ConsoleSink = std::function<void(const QString &line)>;
    void setConsoleSink(ConsoleSink sink) { m_consoleSink = std::move(sink); }

    // A script's file name as the engine reports it ("file:a.js",
    // "file:///abs/a.js") made the name it was given again.
    static QString scriptFileName(const QString &engineName);

    // The program's name before each error line.
    static QString programName();

Q_SIGNALS:
    // Every line as it is written, without the program's name.
    void lineWritten(const QString &line, ScriptOutput::Kind kind);
    // Every warning as it is written (its repeats as one with repeats set).
    void warned(const ScriptWarning &warning);
    // Every error as it is written, text as on standard error without the
    // program's name (its repeats as one: repeats > 0).
    void erred(const QString &text, const ScriptOutput::Place &place, int repeats);

private:
    ScriptOutput();
    void write(bool toStdout, const QString &line, Kind kind);
    // Whether line came within the last second: then it is counted.
    bool counted(const QString &line, Kind kind, const ScriptWarning *warning = nullptr,
                 const Place *place = nullptr);
    void tellRepeats(bool forget);
    void concerns(const std::exception_ptr &error, const QString &endpoint, const QPointer<EndpointLog> &log);

    // The endpoint whose script call the error being reported escaped from.
    struct Concerned
    {
        std::exception_ptr error;
        QString endpoint;
        QPointer<EndpointLog> log;
    };
    Concerned m_concerned;

    struct Recent
    {
        Kind kind = Kind::Error;
        ScriptWarning warning;  // for Kind::Warning
        Place place;  // for the errors
        int repeats = 0;
        quint64 order = 0;
    };
    QHash<QString, Recent> m_recent;
    quint64 m_order = 0;
    QTimer m_repeatTimer;
    QString m_toldReport;

    ConsoleSink m_consoleSink;
};
