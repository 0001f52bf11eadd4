#include "core/endpoints/serialsettings.h"

#include "core/errors.h"
#include "core/text/jsondoc.h"

#include <QStringList>

namespace SerialSettings {

namespace {

// A value a declaration cannot take: named with its key and what it may be.
[[noreturn]] void Refuse(const QString &key, const QString &value, const QString &allowed)
{
    throw WireError(QStringLiteral("%1 \"%2\" is not %3").arg(key, value, allowed));
}

// "N, E, O, M or S"
template<typename Table>
QString Alternatives(const Table &table)
{
    QStringList names;
    for (const auto &choice : table)
        names.append(QLatin1String(choice.name));
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

// The choice a value names. Numbers match by value (STOPBITS 2.0 is 2),
// names exactly.
template<typename Table>
const typename Table::value_type *Find(const Table &table, const QString &value)
{
    bool isNumber = false;
    const double number = value.toDouble(&isNumber);
    for (const auto &choice : table) {
        if (value == QLatin1String(choice.name))
            return &choice;
        bool named = false;
        const double chosen = QString::fromLatin1(choice.name).toDouble(&named);
        if (isNumber && named && chosen == number)
            return &choice;
    }
    return nullptr;
}

template<typename Table>
QString NameIn(const Table &table, typename Table::value_type::Value value)
{
    for (const auto &choice : table) {
        if (choice.value == value)
            return QLatin1String(choice.name);
    }
    return QString::number(int(value));
}

}  // namespace

SerialLine::Settings fromDeclaration(const JsonNode &element)
{
    SerialLine::Settings s;
    // The text of a key the declaration gives (a number as written), or
    // nothing for one it leaves out.
    auto given = [&element](const char *key, QString *text) {
        const JsonNode *node = element.isObject() ? element.member(QString::fromLatin1(key)) : nullptr;
        if (!node || node->type == JsonNode::Type::Null)
            return false;
        *text = jsonText(element, QLatin1String(key)).trimmed();
        return true;
    };
    auto pick = [&given](const char *key, const auto &table, auto *setting) {
        QString text;
        if (!given(key, &text))
            return;
        const auto *choice = Find(table, text);
        if (!choice)
            Refuse(QLatin1String(key), text, Alternatives(table));
        *setting = choice->value;
    };

    QString baud;
    if (given("BAUD", &baud)) {
        bool ok = false;
        const qint32 value = baud.toInt(&ok);
        if (!ok || value <= 0)
            Refuse(QStringLiteral("BAUD"), baud, QStringLiteral("a positive integer"));
        s.baud = value;
    }
    pick("DATABITS", DataBits, &s.dataBits);
    pick("PARITY", Parities, &s.parity);
    pick("STOPBITS", StopBits, &s.stopBits);
    pick("FLOW", Flows, &s.flow);
    return s;
}

QString nameOf(QSerialPort::Parity parity) { return NameIn(Parities, parity); }

QString nameOf(QSerialPort::StopBits stopBits) { return NameIn(StopBits, stopBits); }

QString nameOf(QSerialPort::FlowControl flow) { return NameIn(Flows, flow); }

QString frameText(const SerialLine::Settings &settings)
{
    return QString::number(settings.baud) + u' ' + QString::number(int(settings.dataBits))
        + nameOf(settings.parity) + nameOf(settings.stopBits);
}

}  // namespace SerialSettings
