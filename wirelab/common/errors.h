#pragma once
// Exceptions raised inside the workbench. Every event handler runs inside a
// guard (guard.h) that hands an escaping exception to the default error report.

#include <QByteArray>
#include <QString>
#include <exception>

class WireError : public std::exception
{
public:
    explicit WireError(const QString &message)
        : m_message(message), m_utf8(message.toUtf8()) {}
    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// An error raised by the script engine (syntax error, throw, missing function).
class ScriptError : public WireError
{
public:
    using WireError::WireError;
};

// A text that is not a valid integer: "'%s' is not a valid integer value".
class ConvertError : public WireError
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
