#pragma once
// The range each entry field is held to when the user leaves it.

#include <array>

struct FieldLimit
{
    int lo;
    int hi;
};

// Text1 .. Text8 in order: the two ID parts, four IP octets, the port number
// and the online time in seconds.
inline constexpr std::array<FieldLimit, 8> kFieldLimits {{
    {0, 255},
    {0, 255},
    {1, 255},
    {1, 255},
    {1, 255},
    {1, 255},
    {0, 65535},
    {10, 65535},
}};
