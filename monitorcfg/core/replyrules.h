#pragma once
// Whether received bytes answer the request that is waiting. Both rules look
// only at a few fixed positions; a reply too short to hold one of them is
// not accepted.

#include <QByteArray>

// "S" "E" "T" <any byte> "O" "K" at the start; nothing after byte 5 counts.
bool IsConfigReply(const QByteArray &reply);

// "-" at byte 3 and "," at byte 7.
bool IsQueryReply(const QByteArray &reply);
