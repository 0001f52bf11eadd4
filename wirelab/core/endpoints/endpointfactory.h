#pragma once
// Creates an endpoint from a parameter line (see paramline.h for the
// reading): dispatch on SOCKETTYPE, the silent local-port probes, the hex
// mode from HEX.

#include <QString>

class Endpoint;
class EndpointRegistry;

// The new endpoint, registered, or nullptr (unknown kind, unusable local
// port, or gone while a message box was open). A number value that is not
// a number raises ConvertError, a port outside 0-65535 RangeError, before
// anything is created.
Endpoint *CreateFromLine(EndpointRegistry &registry, const QString &line);
