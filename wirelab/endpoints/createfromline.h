#pragma once
// Creates an endpoint from a parameter line (see paramline.h for the reading):
// dispatch on SOCKETTYPE, the silent local-port probes, the hex box from HEX.

#include <QString>

class TMySocket;
class Workbench;

// The new record, or nullptr (unknown kind, unusable local port). A number
// value that is not a number raises ConvertError before anything is created.
TMySocket *CreateFromLine(Workbench &wb, const QString &line);
