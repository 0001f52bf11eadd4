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

#include <QObject>
#include <QString>

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
    };
    Q_ENUM(Kind)

    static ScriptOutput &instance();

    // "wirelab: <text>" on standard error.
    void error(const QString &text, Kind kind = Kind::Error);
    // The same for a script error: "wirelab: <file>:<line>: <prefix><engine text>".
    void scriptError(const ScriptError &e, const QString &prefix = QString(), Kind kind = Kind::Error);
    // A line printed by the script's console (output: standard output, else
    // standard error).
    void console(bool output, const QString &location, const QString &text);

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

private:
    ScriptOutput();
    void write(bool toStdout, const QString &line, Kind kind);

    ConsoleSink m_consoleSink;
};
