#pragma once
// The monitor's settings as numbers: what a command line asks to write and
// what a query reply says is stored, in the forms a command prints.

#include "configfields.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

struct SettingValues
{
    int id1 = 0;
    int id2 = 0;
    std::array<int, 4> ip {};
    int reportPort = 0;
    int onlineTime = 0;

    // The texts a configure frame is built from: plain decimal numbers.
    ConfigFields toFields() const;

    // From the texts a query reply refills the eight fields with (digits as
    // the device sent them, zero padding included). nullopt when a field is
    // missing or is not a number.
    static std::optional<SettingValues> FromReplyFields(const std::array<std::optional<QString>, 8> &fields);

    // id1=12 id2=34 ip=192.168.1.20 report-port=6000 online=60
    QString toText() const;
    // One compact JSON object with the same keys; the IP as a string.
    QByteArray toJson() const;

    // The keys (as in toText()) whose values differ from other's.
    QStringList differences(const SettingValues &other) const;

    QString ipText() const;
};

// A text of decimal digits only (no sign, no blanks) as a number; nullopt for
// anything else or a number too large for an int.
std::optional<int> ReadDecimal(const QString &text);
