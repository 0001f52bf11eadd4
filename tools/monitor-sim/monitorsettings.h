#pragma once
// What the simulated monitor remembers: the fields of the last well-formed
// configure command, as the characters it received.

#include <QByteArray>
#include <array>

struct MonitorSettings
{
    QByteArray id1 = "001";
    QByteArray id2 = "001";
    std::array<QByteArray, 4> ip {"192", "168", "1", "100"};
    QByteArray port = "05000";
    QByteArray onlineTime = "00060";

    // "III-III,a.b.c.d,PPPPP,TTTTT" CR LF: the answer to a query.
    QByteArray queryReply() const
    {
        return id1 + '-' + id2 + ',' + ip[0] + '.' + ip[1] + '.' + ip[2] + '.' + ip[3] + ',' + port + ','
            + onlineTime + "\r\n";
    }
};
