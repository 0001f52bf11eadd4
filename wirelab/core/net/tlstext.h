#pragma once
// What is said about a TLS connection: its session (protocol, cipher, the
// peer's certificate), a certificate taken without checking, and why a
// handshake failed, in words a user understands.

#include <QList>
#include <QSslError>
#include <QString>

class QSslCertificate;
class QSslSocket;

// "TLSv1.3, TLS_AES_256_GCM_SHA384, peer CN=device.local, valid until
// 2027-01-01 00:00 UTC"; empty while the socket is not encrypted.
QString tlsSessionText(const QSslSocket &socket);
// A certificate taken without checking: subject, issuer, expiry and the
// SHA-256 fingerprint.
QString tlsUncheckedText(const QSslCertificate &certificate);
// Why the certificate of peerName was refused: one reason per failed check.
QString tlsRefusalText(const QList<QSslError> &errors, const QString &peerName);
