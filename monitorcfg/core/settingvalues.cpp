#include "settingvalues.h"

#include <QJsonDocument>
#include <QJsonObject>

std::optional<int> ReadDecimal(const QString &text)
{
    if (text.isEmpty())
        return std::nullopt;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return std::nullopt;
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

ConfigFields SettingValues::toFields() const
{
    ConfigFields f;
    f.id1 = QString::number(id1);
    f.id2 = QString::number(id2);
    for (int i = 0; i < 4; ++i)
        f.ip[i] = QString::number(ip[i]);
    f.port = QString::number(reportPort);
    f.onlineTime = QString::number(onlineTime);
    return f;
}

std::optional<SettingValues>
SettingValues::FromReplyFields(const std::array<std::optional<QString>, 8> &fields)
{
    std::array<int, 8> numbers {};
    for (int i = 0; i < 8; ++i) {
        const std::optional<int> n = fields[i] ? ReadDecimal(*fields[i]) : std::nullopt;
        if (!n)
            return std::nullopt;
        numbers[i] = *n;
    }
    SettingValues v;
    v.id1 = numbers[0];
    v.id2 = numbers[1];
    v.ip = {numbers[2], numbers[3], numbers[4], numbers[5]};
    v.reportPort = numbers[6];
    v.onlineTime = numbers[7];
    return v;
}

QString SettingValues::ipText() const
{
    return QStringLiteral("%1.%2.%3.%4").arg(ip[0]).arg(ip[1]).arg(ip[2]).arg(ip[3]);
}

QString SettingValues::toText() const
{
    return QStringLiteral("id1=%1 id2=%2 ip=%3 report-port=%4 online=%5")
                              .arg(id1)
                              .arg(id2)
                              .arg(ipText())
                              .arg(reportPort)
                              .arg(onlineTime);
}

QByteArray SettingValues::toJson() const
{
    const QJsonObject o{
        {QStringLiteral("id1"), id1},
        {QStringLiteral("id2"), id2},
        {QStringLiteral("ip"), ipText()},
        {QStringLiteral("report-port"), reportPort},
        {QStringLiteral("online"), onlineTime},
    };
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QStringList SettingValues::differences(const SettingValues &other) const
{
    QStringList keys;
    if (id1 != other.id1)
        keys << QStringLiteral("id1");
    if (id2 != other.id2)
        keys << QStringLiteral("id2");
    if (ip != other.ip)
        keys << QStringLiteral("ip");
    if (reportPort != other.reportPort)
        keys << QStringLiteral("report-port");
    if (onlineTime != other.onlineTime)
        keys << QStringLiteral("online");
    return keys;
}
