#pragma once
// What a declaration of a TLS kind says, read and checked before anything
// is made: a bad value or an unusable file is refused (WireError naming
// the key, the value or file, and the reason).

#include "core/net/tlscredentials.h"

#include <QString>

class JsonNode;

struct TlsDeclaration
{
    QString host;
    int port = 0;
    bool hex = false;
    bool verify = true;  // VERIFY, a client's; 1 unless 0 is written
    bool requireClientCertificate = false;  // REQUIRECLIENTCERT, a server's
    TlsCredentials credentials;

    // server: CERT and KEY are required, HOST is not read.
    static TlsDeclaration read(const JsonNode &element, bool server);
};
