#include "serialports.h"

#include <QHash>
#include <QSerialPort>

#include <algorithm>

namespace {

struct NameKey
{
    QString stem;
    qulonglong number = 0;
    bool hasNumber = false;
};

NameKey KeyOf(const QString &name)
{
    qsizetype digitsFrom = name.size();
    while (digitsFrom > 0 && name.at(digitsFrom - 1).isDigit())
        --digitsFrom;
    NameKey key;
    key.stem = name.left(digitsFrom);
    key.hasNumber = digitsFrom < name.size();
    key.number = name.mid(digitsFrom).toULongLong();
    return key;
}

}  // namespace

QStringList SortPortNames(QStringList names)
{
    std::stable_sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const NameKey ka = KeyOf(a), kb = KeyOf(b);
        if (ka.stem != kb.stem)
            return ka.stem < kb.stem;
        if (ka.hasNumber != kb.hasNumber)
            return !ka.hasNumber;
        return ka.number < kb.number;
    });
    return names;
}

QList<QSerialPortInfo> ListSerialPorts()
{
    QHash<QString, QSerialPortInfo> byName;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        byName.insert(info.portName(), info);
    QList<QSerialPortInfo> ports;
    ports.reserve(byName.size());
    for (const QString &name : SortPortNames(byName.keys()))
        ports << byName.value(name);
    return ports;
}

QStringList CandidatePortNames()
{
#ifdef Q_OS_WIN
    QStringList names;
    for (int n = 1; n <= 16; ++n)
        names << QStringLiteral("COM%1").arg(n);
    return names;
#else
    QStringList names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names << info.portName();
    names.removeDuplicates();
    return SortPortNames(names);
#endif
}

QStringList DiscoverPorts()
{
    QStringList usable;
    const QStringList candidates = CandidatePortNames();
    for (const QString &name : candidates) {
        QSerialPort port;
        port.setPortName(name);
        if (port.open(QIODevice::ReadWrite)) {
            usable << name;
            port.close();
        }
    }
    return usable;
}
