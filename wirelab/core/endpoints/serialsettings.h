#pragma once
// A serial endpoint's line settings by the names scripts write: the
// choices of each key (a table the creation dialog can list too), the
// settings one declaration asks for, and their short text ("9600 8N1").

#include "serialline.h"

#include <QSerialPort>
#include <QString>

#include <array>

class JsonNode;

namespace SerialSettings {

template<typename T>
struct Choice
{
    using Value = T;
    const char *name;  // as scripts write it
    T value;
};

inline constexpr std::array<Choice<QSerialPort::DataBits>, 4> DataBits = {{
    {"5", QSerialPort::Data5},
    {"6", QSerialPort::Data6},
    {"7", QSerialPort::Data7},
    {"8", QSerialPort::Data8},
}};
inline constexpr std::array<Choice<QSerialPort::Parity>, 5> Parities = {{
    {"N", QSerialPort::NoParity},
    {"E", QSerialPort::EvenParity},
    {"O", QSerialPort::OddParity},
    {"M", QSerialPort::MarkParity},
    {"S", QSerialPort::SpaceParity},
}};
inline constexpr std::array<Choice<QSerialPort::StopBits>, 3> StopBits = {{
    {"1", QSerialPort::OneStop},
    {"1.5", QSerialPort::OneAndHalfStop},
    {"2", QSerialPort::TwoStop},
}};
inline constexpr std::array<Choice<QSerialPort::FlowControl>, 3> Flows = {{
    {"none", QSerialPort::NoFlowControl},
    {"rtscts", QSerialPort::HardwareControl},
    {"xonxoff", QSerialPort::SoftwareControl},
}};

// The settings of one element of `sockets` (BAUD, DATABITS, PARITY,
// STOPBITS, FLOW; a key left out or null keeps its default). Throws
// WireError naming the key and the value it refuses.
SerialLine::Settings fromDeclaration(const JsonNode &element);

// The name scripts write for a value ("N", "1.5", "rtscts").
QString nameOf(QSerialPort::Parity parity);
QString nameOf(QSerialPort::StopBits stopBits);
QString nameOf(QSerialPort::FlowControl flow);

// "9600 8N1", "115200 7E1.5": baud, data bits, parity, stop bits.
QString frameText(const SerialLine::Settings &settings);

}  // namespace SerialSettings
