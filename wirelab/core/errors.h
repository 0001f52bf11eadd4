#pragma once
// Exceptions raised inside the workbench. Every event handler runs inside a
// guard (guard.h) that hands an escaping exception to the default error report.

#include <QByteArray>
#include <QString>
#include <exception>

class WireError : public std::exception
{
public:
    explicit WireError(const QString &message) : m_message(message), m_utf8(message.toUtf8()) {}
    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// An error raised by the script engine (syntax error, throw, missing function).
// message() is what the error box shows (the engine's text, then "(line N)"
// where the line is known); where() names the script file and line for the
// report on standard error.
class ScriptError : public WireError
{
public:
    using WireError::WireError;
    ScriptError(const QString &message, const QString &engineText, const QString &file, int line)
        : WireError(message), m_text(engineText), m_file(file), m_line(line)
    {}

    // The engine's own text, without the line.
    QString text() const { return m_text.isEmpty() ? message() : m_text; }
    QString file() const { return m_file; }
    int line() const { return m_line; }
    // "file:line: " when the error comes from a script file, else "" (a
    // line of the workbench's own call text tells the user nothing).
    QString where() const
    {
        if (m_file.isEmpty())
            return QString();
        return m_line > 0 ? QStringLiteral("%1:%2: ").arg(m_file).arg(m_line) : m_file + QStringLiteral(": ");
    }

private:
    QString m_text;
    QString m_file;
    int m_line = 0;
};

// A text that is not a valid integer: "'%s' is not a valid integer value".
class ConvertError : public WireError
{
public:
    using WireError::WireError;
};

// A number outside what it may be (a port above 65535).
class RangeError : public WireError
{
public:
    using WireError::WireError;
};

// An error of the datagram component ("Null Remote Address", ...).
class UDPSockError : public WireError
{
public:
    using WireError::WireError;
};
