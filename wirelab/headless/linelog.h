#pragma once
// What a run without a window shows of its endpoints: every line a data
// window's receive pane would get, and the endpoint's notices, one line
// each on standard output ("HH:MM:SS.mmm <endpoint>  <line>") and, when
// asked, appended to a file; or one JSON object per line ({"t", "endpoint",
// "event": recv|send|display|notice, "text", "hex" of the bytes}).
// Output is buffered and flushed within a short time, and at the end.

#include "core/endpoints/endpoint.h"

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QTimer>

#include <cstdio>

class EndpointRegistry;

class LineLog : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        bool json = false;
        bool quiet = false;  // nothing on standard output (the file still gets it)
        QString file;  // appended to, when not empty
    };

    explicit LineLog(const Options &options, QObject *parent = nullptr);
    ~LineLog() override;

    // Whether the file (if any) could be opened.
    bool isOpen() const { return m_options.file.isEmpty() || m_file.isOpen(); }
    QString fileError() const { return m_file.errorString(); }

    // Logs every endpoint the registry gets from now on.
    void follow(EndpointRegistry &registry);
    // One line for an endpoint.
    void write(const QString &endpoint, LineKind kind, const QString &text, const QByteArray &bytes = {});
    void flush();

private:
    void watch(Endpoint *endpoint);
    void emitLine(const QByteArray &line);

    Options m_options;
    QFile m_file;
    QByteArray m_out;  // waiting for standard output
    QByteArray m_fileOut;
    QTimer m_flushTimer;
};
