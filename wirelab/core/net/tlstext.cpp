#include "core/net/tlstext.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSslCertificate>
#include <QSslCipher>
#include <QSslSocket>
#include <QStringList>

namespace {

QString text(const char *source) { return QCoreApplication::translate("TlsText", source); }

QString Expiry(const QSslCertificate &c)
{
    return c.expiryDate().toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"));
}

QString Subject(const QSslCertificate &c)
{
    const QString cn = c.subjectInfo(QSslCertificate::CommonName).join(u' ');
    return cn.isEmpty() ? c.subjectDisplayName() : QStringLiteral("CN=") + cn;
}

QString Issuer(const QSslCertificate &c)
{
    const QString cn = c.issuerInfo(QSslCertificate::CommonName).join(u' ');
    return cn.isEmpty() ? c.issuerDisplayName() : QStringLiteral("CN=") + cn;
}

// The names a certificate is for: its DNS and IP alternative names, else
// its common name.
QString NamesOf(const QSslCertificate &c)
{
    QStringList names;
    const auto alternatives = c.subjectAlternativeNames();
    for (auto it = alternatives.cbegin(); it != alternatives.cend(); ++it)
        names << it.value();
    if (names.isEmpty())
        names = c.subjectInfo(QSslCertificate::CommonName);
    return names.join(QStringLiteral(", "));
}

QString Reason(const QSslError &e, const QString &peerName)
{
    const QSslCertificate c = e.certificate();
    switch (e.error()) {
    case QSslError::CertificateExpired:
        return text(QT_TRANSLATE_NOOP("TlsText", "证书 %1 已于 %2 过期")).arg(Subject(c), Expiry(c));
    case QSslError::CertificateNotYetValid:
        return text(QT_TRANSLATE_NOOP("TlsText", "证书 %1 在 %2 之前无效"))
            .arg(Subject(c), c.effectiveDate().toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'")));
    case QSslError::HostNameMismatch:
        return text(QT_TRANSLATE_NOOP("TlsText", "证书不是颁发给名称 %1 的（它适用于 %2）"))
            .arg(peerName, NamesOf(c));
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
    case QSslError::CertificateRejected:
        return text(QT_TRANSLATE_NOOP("TlsText", "证书 %1 不是由受信任的机构签发的（签发者 %2）"))
            .arg(Subject(c), Issuer(c));
    case QSslError::NoPeerCertificate:
        return text(QT_TRANSLATE_NOOP("TlsText", "对方没有提供证书"));
    default:
        return e.errorString();
    }
}

}  // namespace

QString tlsSessionText(const QSslSocket &socket)
{
    if (!socket.isEncrypted())
        return QString();
    const QSslCipher cipher = socket.sessionCipher();
    const QSslCertificate peer = socket.peerCertificate();
    QString session = cipher.protocolString() + QStringLiteral(", ") + cipher.name();
    if (peer.isNull())
        return session + text(QT_TRANSLATE_NOOP("TlsText", "，对方无证书"));
    return session
        + text(QT_TRANSLATE_NOOP("TlsText", "，对方证书 %1，有效期至 %2")).arg(Subject(peer), Expiry(peer));
}

QString tlsUncheckedText(const QSslCertificate &c)
{
    return text(QT_TRANSLATE_NOOP("TlsText",
                                  "未验证证书（VERIFY: 0）：主体 %1，签发者 %2，有效期至 %3，SHA-256 %4"))
        .arg(Subject(c), Issuer(c), Expiry(c),
             QString::fromLatin1(c.digest(QCryptographicHash::Sha256).toHex(':').toUpper()));
}

QString tlsRefusalText(const QList<QSslError> &errors, const QString &peerName)
{
    QStringList reasons;
    for (const QSslError &e : errors) {
        const QString reason = Reason(e, peerName);
        if (!reasons.contains(reason))
            reasons << reason;
    }
    return reasons.join(QStringLiteral("; "));
}
