#pragma once
// The serial ports the system offers: those that can be opened, in the
// platform's names and order (COM1 .. COM16 on Windows, the serial devices
// the system reports elsewhere). Pseudo-terminals are never listed: they
// are opened by their path.

#include <QList>
#include <QSerialPortInfo>
#include <QStringList>

// Every port the system reports, once each, in the order of SortPortNames():
// with its description and USB ids, for a user to choose from.
QList<QSerialPortInfo> ListSerialPorts();

// The names worth trying, before any is opened.
QStringList CandidatePortNames();

// Orders names like ttyS2, ttyS10, ttyUSB0 by their stem, then by the number
// at their end (ttyS2 before ttyS10).
QStringList SortPortNames(QStringList names);

// The candidates that open (each is closed again at once).
QStringList DiscoverPorts();
