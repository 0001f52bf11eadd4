#pragma once
// The certificate, key and CA files of a TLS endpoint, read and checked
// when it is declared, and the TLS configurations made from them. A file
// that is missing or unreadable, a key that does not belong to its
// certificate or that is protected by a passphrase is refused then, with
// the key, the file and the reason, so that nothing half-usable is made.
//
// Relative paths are read from the working directory, which is the
// project's directory (the script files are read the same way).

#include <QList>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QString>

// The files as the declaration (or the dialog) names them; empty: none.
struct TlsFiles
{
    QString cert;
    QString key;
    QString ca;
};

class TlsCredentials
{
public:
    // Reads and checks the files; throws WireError naming the key, the file
    // and the reason. needCertificate: a server, which cannot do without.
    static TlsCredentials read(const TlsFiles &files, bool needCertificate);

    bool hasCertificate() const { return !m_certificate.isNull(); }

    // Minimum TLS 1.2, otherwise Qt's defaults. verify: the peer's
    // certificate must chain to the system's roots or to the CA file and
    // match the name connected to; otherwise any certificate is taken.
    QSslConfiguration clientConfiguration(bool verify) const;
    // requireClientCertificate: a client without a certificate that chains
    // to the CA file (or the system's roots) is refused; otherwise one is
    // asked for and shown, and any (or none) is taken.
    QSslConfiguration serverConfiguration(bool requireClientCertificate) const;

private:
    QSslCertificate m_certificate;
    QSslKey m_key;
    QList<QSslCertificate> m_ca;
};
