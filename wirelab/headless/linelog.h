#pragma once
// What a run without a window shows of its endpoints: every record of
// their logs (the lines a data window's receive pane gets, and the extra
// records: a script's SEND, notices and connection failures) and their
// status as it changes, one line each on standard output ("HH:MM:SS.mmm
// <endpoint>  <text>", the lines of a text with line breaks indented under
// the first) and, when asked, appended to a file; or one JSON object per
// record ({"t" with its UTC offset, "endpoint", "event":
// recv|send|display|notice, "text", "hex" of the bytes}). The record's time
// is the line's own; its text is the line without the pane's time. Notices
// are in the UI language. A log's script warnings and errors are left out:
// the run writes every one itself (see warning() and error()).
//
// A declared panel's button caption or edit text, when it is set or
// changes, is a notice of its own: "panel <endpoint> <id> = <text>"
// ({"event": "panel", "id", "text"} in JSON).
//
// What the scripts print with console.log/info/debug goes into the same
// stream, in order ({"t", "event": "console", "text"} in JSON); --quiet
// leaves it out. Output is buffered and flushed within a short time, and
// at the end.
//
// When asked, the bytes each endpoint receives are also written raw, as
// they arrive, to a file of the endpoint's own: "<rawFile>.<endpoint>"
// (emptied when the run first writes it), for a capture of the stream.

#include "core/endpoints/endpoint.h"
#include "core/script/scriptoutput.h"
#include "core/script/scriptwarning.h"

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QTimer>

#include <cstdio>
#include <map>
#include <memory>
#include <vector>

class EndpointRegistry;
class Panels;

class LineLog : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        bool json = false;
        bool quiet = false;  // nothing on standard output (the file still gets it)
        QString file;  // appended to, when not empty
        QString rawFile;  // the raw received bytes go to <rawFile>.<endpoint>, when not empty
    };

    explicit LineLog(const Options &options, QObject *parent = nullptr);
    ~LineLog() override;

    // Whether the file (if any) could be opened.
    bool isOpen() const { return m_options.file.isEmpty() || m_file.isOpen(); }
    QString fileError() const { return m_file.errorString(); }
    // Opens the raw file of every endpoint the registry has (the declared
    // ones, at the start): false and why (naming the file) when one cannot
    // be opened. Later endpoints get theirs with their first bytes.
    bool openRawFiles(const EndpointRegistry &registry, QString *why);

    // Logs every endpoint the registry gets from now on.
    void follow(EndpointRegistry &registry);
    // Logs the texts of the panels' buttons and edit boxes as they change.
    void follow(Panels &panels);
    // One record for an endpoint, written at the time at (milliseconds
    // since the epoch).
    void write(qint64 at, const QString &endpoint, LineKind kind, const QString &text,
               const QByteArray &bytes = {});
    // A line a script printed to standard output.
    void writeConsole(const QString &text);
    // A script warning: in the JSON form an object of its own ("event":
    // "warning", "from": the event it came from, "action": its place, and
    // "repeated" for a count); the text form leaves it to standard error.
    void warning(const ScriptWarning &warning);
    // An error as standard error tells it (text: the line without the
    // program's name): in the JSON form an object of its own ("event":
    // "error", with what place knows: "endpoint", "from", "action", "file",
    // "line"; and "repeated" for a count); the text form leaves it to
    // standard error.
    void error(const QString &text, const ScriptOutput::Place &place = {}, int repeats = 0);
    void flush();

private:
    void watch(Endpoint *endpoint);
    void hold(const Endpoint *endpoint, qsizetype index);
    void writeHeld();
    void writeRecord(const QString &endpoint, const LineParts &parts);
    void writePanel(const Endpoint *endpoint, const QString &id, const QString &text);
    void emitLine(const QByteArray &line);
    // The raw file of an endpoint, opened when first asked; null when it
    // cannot be opened (said once, on standard error, unless why is given).
    struct RawFile;
    RawFile *rawFile(const QString &endpoint, QString *why = nullptr);
    void writeRaw(const QString &endpoint, const QByteArray &bytes);
    void scheduleFlush(qsizetype waiting);

    Options m_options;
    QFile m_file;
    QByteArray m_out;  // waiting for standard output
    QByteArray m_fileOut;
    // A data line's clock to the second and its endpoint's name, in UTF-8 as
    // last written: the next line of the same second and endpoint copies them.
    qint64 m_clockSecond = -1;
    QByteArray m_clockUtf8;
    QString m_lineEndpoint;
    QByteArray m_lineEndpointUtf8;
    std::map<QString, std::unique_ptr<RawFile>> m_raw;  // by endpoint name; null: unusable
    QTimer m_flushTimer;
    // Records not written yet, oldest first, with their endpoint's name when
    // they came; held until the event loop is about to wait.
    struct Held
    {
        const Endpoint *endpoint;
        QString name;
        qsizetype index;
    };
    std::vector<Held> m_held;
    qint64 m_heldBytes = 0;
    bool m_waitsForLoop = false;  // whether a loop tells when it is about to wait
};
