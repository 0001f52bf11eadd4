#include "core/net/tlscredentials.h"

#include "core/errors.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <memory>

namespace {

QString tlsText(const char *text) { return QCoreApplication::translate("TlsCredentials", text); }

[[noreturn]] void Refuse(const char *key, const QString &path, const QString &reason)
{
    throw WireError(QStringLiteral("%1 \"%2\": %3").arg(QLatin1String(key), path, reason));
}

QByteArray ReadFile(const char *key, const QString &path)
{
    QFile file(path);
    if (!QFileInfo::exists(path))
        Refuse(key, path, tlsText(QT_TRANSLATE_NOOP("TlsCredentials", "文件不存在")));
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        Refuse(key, path, tlsText(QT_TRANSLATE_NOOP("TlsCredentials", "文件无法读取")));
    return file.readAll();
}

struct BioFree
{
    void operator()(BIO *b) const { BIO_free(b); }
};
struct KeyFree
{
    void operator()(EVP_PKEY *k) const { EVP_PKEY_free(k); }
};
struct X509Free
{
    void operator()(X509 *x) const { X509_free(x); }
};

std::unique_ptr<BIO, BioFree> MemoryBio(const QByteArray &bytes)
{
    return std::unique_ptr<BIO, BioFree>(BIO_new_mem_buf(bytes.constData(), int(bytes.size())));
}

// Refuses instead of asking: a key needing a passphrase cannot be used by
// a program that runs unattended.
int NoPassphrase(char *, int, int, void *asked)
{
    *static_cast<bool *>(asked) = true;
    return -1;
}

// The private key of a PEM file, read by the library the TLS back end uses
// (Qt cannot tell a key from its certificate's or say why a key failed).
std::unique_ptr<EVP_PKEY, KeyFree> ReadKey(const QString &path, const QByteArray &pem)
{
    bool asked = false;
    auto bio = MemoryBio(pem);
    std::unique_ptr<EVP_PKEY, KeyFree> key(PEM_read_bio_PrivateKey(bio.get(), nullptr, NoPassphrase, &asked));
    if (asked || pem.contains("ENCRYPTED"))
        Refuse("KEY", path, tlsText(QT_TRANSLATE_NOOP("TlsCredentials", "私钥受口令保护，无法使用")));
    if (!key)
        Refuse("KEY", path, tlsText(QT_TRANSLATE_NOOP("TlsCredentials", "文件中没有 PEM 格式的私钥")));
    return key;
}

QSsl::KeyAlgorithm AlgorithmOf(const EVP_PKEY *key)
{
    switch (EVP_PKEY_base_id(key)) {
    case EVP_PKEY_RSA:
        return QSsl::Rsa;
    case EVP_PKEY_EC:
        return QSsl::Ec;
    case EVP_PKEY_DSA:
        return QSsl::Dsa;
    default:
        return QSsl::Opaque;
    }
}

QList<QSslCertificate> ReadCertificates(const char *key, const QString &path)
{
    const QList<QSslCertificate> certificates = QSslCertificate::fromData(ReadFile(key, path), QSsl::Pem);
    if (certificates.isEmpty())
        Refuse(key, path, tlsText(QT_TRANSLATE_NOOP("TlsCredentials", "文件中没有 PEM 格式的证书")));
    return certificates;
}

}  // namespace

TlsCredentials TlsCredentials::read(const TlsFiles &files, bool needCertificate)
{
    TlsCredentials c;
    if (needCertificate && files.cert.isEmpty())
        throw WireError(tlsText(QT_TRANSLATE_NOOP("TlsCredentials", "缺少 CERT：TLS 服务器需要证书和私钥")));
    if (files.cert.isEmpty() != files.key.isEmpty()) {
        throw WireError(files.cert.isEmpty()
                            ? tlsText(QT_TRANSLATE_NOOP("TlsCredentials", "KEY 需要与之配对的证书 CERT"))
                            : tlsText(QT_TRANSLATE_NOOP("TlsCredentials", "CERT 需要与之配对的私钥 KEY")));
    }
    if (!files.cert.isEmpty()) {
        const QByteArray certPem = ReadFile("CERT", files.cert);
        const QByteArray keyPem = ReadFile("KEY", files.key);
        const QList<QSslCertificate> chain = ReadCertificates("CERT", files.cert);
        std::unique_ptr<EVP_PKEY, KeyFree> key = ReadKey(files.key, keyPem);
        auto bio = MemoryBio(certPem);
        std::unique_ptr<X509, X509Free> x509(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
        if (!x509 || X509_check_private_key(x509.get(), key.get()) != 1) {
            Refuse("KEY", files.key,
                   tlsText(QT_TRANSLATE_NOOP("TlsCredentials", "私钥与证书 %1 不匹配")).arg(files.cert));
        }
        c.m_certificate = chain.first();
        const QSsl::KeyAlgorithm algorithm = AlgorithmOf(key.get());
        if (algorithm == QSsl::Opaque)
            c.m_key = QSslKey(Qt::HANDLE(key.release()), QSsl::PrivateKey);  // takes the key over
        else
            c.m_key = QSslKey(keyPem, algorithm, QSsl::Pem, QSsl::PrivateKey);
        if (c.m_key.isNull())
            Refuse("KEY", files.key,
                   tlsText(QT_TRANSLATE_NOOP("TlsCredentials", "文件中没有 PEM 格式的私钥")));
    }
    if (!files.ca.isEmpty())
        c.m_ca = ReadCertificates("CA", files.ca);
    return c;
}

namespace {

// The system's trusted roots, read once: reading them takes a second or so.
const QList<QSslCertificate> &SystemRoots()
{
    static const QList<QSslCertificate> roots = QSslConfiguration::systemCaCertificates();
    return roots;
}

QSslConfiguration Base()
{
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setProtocol(QSsl::TlsV1_2OrLater);
    return config;
}

}  // namespace

QSslConfiguration TlsCredentials::clientConfiguration(bool verify) const
{
    QSslConfiguration config = Base();
    if (!m_certificate.isNull()) {
        config.setLocalCertificate(m_certificate);
        config.setPrivateKey(m_key);
    }
    config.setPeerVerifyMode(verify ? QSslSocket::VerifyPeer : QSslSocket::QueryPeer);
    // Setting any CA replaces the system's roots: they are kept beside it.
    if (!m_ca.isEmpty())
        config.setCaCertificates(SystemRoots() + m_ca);
    return config;
}

QSslConfiguration TlsCredentials::serverConfiguration(bool requireClientCertificate) const
{
    QSslConfiguration config = Base();
    config.setLocalCertificate(m_certificate);
    config.setPrivateKey(m_key);
    config.setPeerVerifyMode(requireClientCertificate ? QSslSocket::VerifyPeer : QSslSocket::QueryPeer);
    if (!m_ca.isEmpty())
        config.setCaCertificates(SystemRoots() + m_ca);
    return config;
}
