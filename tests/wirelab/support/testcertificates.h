#pragma once
// Certificates for the TLS tests, made with the openssl command in a
// temporary directory: a CA, a server certificate for localhost, 127.0.0.1
// and ::1, an expired one, one for another name, one from a CA nobody
// trusts, and a client certificate. Each is NAME.pem with its NAME.key.

#include <QString>
#include <QTemporaryDir>

class TestCertificates
{
public:
    TestCertificates();
    // Whether every file was made (openssl present and working).
    bool ok() const { return m_ok; }
    // "ca", "server", "expired", "othername", "untrusted", "client".
    QString pem(const QString &name) const { return m_dir.filePath(name + QStringLiteral(".pem")); }
    QString key(const QString &name) const { return m_dir.filePath(name + QStringLiteral(".key")); }
    QString dir() const { return m_dir.path(); }
    // "AB:CD:..." as openssl prints a certificate's SHA-256 fingerprint.
    QString fingerprint(const QString &name) const;

private:
    QTemporaryDir m_dir;
    bool m_ok = false;
};
