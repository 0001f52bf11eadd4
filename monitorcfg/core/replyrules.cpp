#include "replyrules.h"

bool IsConfigReply(const QByteArray &reply)
{
    return reply.size() >= 6 && reply[0] == 'S' && reply[1] == 'E' && reply[2] == 'T' && reply[4] == 'O'
        && reply[5] == 'K';
}

bool IsQueryReply(const QByteArray &reply) { return reply.size() >= 8 && reply[3] == '-' && reply[7] == ','; }
