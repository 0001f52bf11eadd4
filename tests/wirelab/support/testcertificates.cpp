#include "testcertificates.h"

#include <QProcess>

namespace {

const char *const Script = R"(set -e
E="-newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes"
leaf() { # name cn san ca
  openssl req -x509 $E -days 2 -subj "/CN=$2" -addext "subjectAltName=$3" -CA $4.pem -CAkey $4.key \
    -keyout $1.key -out $1.pem
}
openssl req -x509 $E -days 2 -subj "/CN=wirelab test CA" -keyout ca.key -out ca.pem
openssl req -x509 $E -days 2 -subj "/CN=unknown CA" -keyout rogue.key -out rogue.pem
leaf server localhost DNS:localhost,IP:127.0.0.1,IP:::1 ca
leaf othername other.example DNS:other.example ca
leaf untrusted localhost DNS:localhost,IP:127.0.0.1 rogue
leaf client "wirelab client" DNS:client.example ca
# Expired since 2020: only "openssl ca" backdates.
openssl req $E -subj /CN=localhost -addext subjectAltName=DNS:localhost,IP:127.0.0.1 \
  -keyout expired.key -out expired.csr
: > index.txt; echo 01 > serial
printf '[ca]\ndefault_ca=c\n[c]\ndatabase=index.txt\nnew_certs_dir=.\nserial=serial\ndefault_md=sha256\npolicy=p\ncopy_extensions=copy\n[p]\ncommonName=supplied\n' > ca.cnf
openssl ca -batch -config ca.cnf -cert ca.pem -keyfile ca.key -startdate 20200101000000Z \
  -enddate 20200102000000Z -in expired.csr -out expired.pem -notext
)";

}  // namespace

TestCertificates::TestCertificates()
{
    QProcess sh;
    sh.setWorkingDirectory(m_dir.path());
    sh.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sh.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QString::fromLatin1(Script)});
    m_ok = sh.waitForFinished(60000) && sh.exitStatus() == QProcess::NormalExit && sh.exitCode() == 0;
}

QString TestCertificates::fingerprint(const QString &name) const
{
    QProcess p;
    p.start(QStringLiteral("openssl"),
        {QStringLiteral("x509"),
                        QStringLiteral("-in"), pem(name),
                                       QStringLiteral("-noout"),
                                                      QStringLiteral("-fingerprint"),
                                                                     QStringLiteral("-sha256")});
    p.waitForFinished(10000);
    const QString out = QString::fromLatin1(p.readAllStandardOutput()).trimmed();
    return out.mid(out.indexOf(u'=') + 1);
}
