#pragma once
// Parameter lines: "SOCKETTYPE=TCP Client,PORT=60000,HOST=127.0.0.1,HEX=1".
//
// Each key is read the way the workbench always has: if the line holds KEY=,
// the value starts one character after the first occurrence of the bare word
// KEY (so PORT reads inside REMOTEPORT/LOCALPORT, HEX inside a host "HEXA")
// and ends before the next ',' or at the end of the line; it is not trimmed.
// Number keys go through strToInt (intconv.h); an empty number value keeps
// the key's default 0; any other non-number raises ConvertError.

#include <QString>

struct ParamLine
{
    QString socketType;
    int port = 0;
    int hex = 0;
    int localPort = 0;
    int remotePort = 0;
    QString host;
    QString bind;  // the one address a server listens on; empty: all
};

// Keys are read in the order SOCKETTYPE, PORT, HEX, LOCALPORT, REMOTEPORT, HOST,
// BIND.
ParamLine readParamLine(const QString &line);  // throws ConvertError

// The raw value of one key as described above; found is false when the line
// does not hold KEY=.
QString paramValue(const QString &line, const QString &key, bool *found = nullptr);
