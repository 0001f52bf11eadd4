#pragma once
// The monitor settings as the form holds them: plain texts, exactly as typed.

#include <QString>
#include <array>

struct ConfigFields
{
    QString id1;  // Text1
    QString id2;  // Text2
    std::array<QString, 4> ip;  // Text3 .. Text6
    QString port;  // Text7
    QString onlineTime;  // Text8

    // The eight texts in field order (Text1 .. Text8).
    static ConfigFields fromTexts(const std::array<QString, 8> &texts)
    {
        return {texts[0], texts[1], {texts[2], texts[3], texts[4], texts[5]}, texts[6], texts[7]};
    }
};
