#include "core/endpoints/tlsdeclaration.h"

#include "core/errors.h"
#include "core/net/portprobe.h"
#include "core/text/intconv.h"
#include "core/text/jsondoc.h"

#include <QCoreApplication>

namespace {

// A switch: absent (or empty) is fallback, otherwise 0 or 1.
bool Switch(const JsonNode &element, const char *key, bool fallback)
{
    const QString value = jsonText(element, QLatin1String(key)).trimmed();
    if (value.isEmpty())
        return fallback;
    if (value == QLatin1String("0") || value == QLatin1String("false"))
        return false;
    if (value == QLatin1String("1") || value == QLatin1String("true"))
        return true;
    throw WireError(QCoreApplication::translate("TlsDeclaration", "%1 \"%2\" 不是 0 或 1")
                        .arg(QLatin1String(key), value));
}

}  // namespace

TlsDeclaration TlsDeclaration::read(const JsonNode &element, bool server)
{
    TlsDeclaration d;
    const QString port = jsonText(element, QStringLiteral("PORT"));
    d.port = checkedPort(QStringLiteral("PORT"), port.trimmed().isEmpty() ? 0 : strToInt(port));
    d.hex = jsonInt(element, QStringLiteral("HEX")) == 1;
    if (server) {
        d.requireClientCertificate = Switch(element, "REQUIRECLIENTCERT", false);
    } else {
        d.host = jsonText(element, QStringLiteral("HOST"));
        d.verify = Switch(element, "VERIFY", true);
    }
    TlsFiles files;
    files.cert = jsonText(element, QStringLiteral("CERT"));
    files.key = jsonText(element, QStringLiteral("KEY"));
    files.ca = jsonText(element, QStringLiteral("CA"));
    d.credentials = TlsCredentials::read(files, server);
    return d;
}
