#pragma once
// The two requests the monitor understands, byte for byte, and the report
// shown after an accepted configure request.

#include "configfields.h"

#include <QByteArray>
#include <QString>

inline constexpr int kFrameSize = 41;

// "dst=III-III,a.b.c.d,PPPPP,TTTTT" CR LF, zero-padded to 41 bytes. Fields
// go out as the characters typed; a character outside one byte, and every
// position of an empty field, stays 0x00.
QByteArray BuildConfigFrame(const ConfigFields &fields);

// "get dst=?" CR LF, zero-padded to 41 bytes.
QByteArray BuildQueryFrame();

// The configure report: it echoes the form's values, lines ended by CR LF,
// the last line without one. Report texts are in the user-interface language;
// the frames never are.
QString ConfigReport(const ConfigFields &fields);

// What the result box shows when a request fails.
QString ConfigFailureText();
QString QueryFailureText();
