#pragma once
// Taking an accepted query reply apart: the report for the result box and
// the texts the eight entry fields are refilled with.

#include <QByteArray>
#include <QString>
#include <array>
#include <optional>

struct QueryReplyResult
{
    // The report as far as the reply carried it: complete lines only, lines
    // ended by CR LF, the last line of a complete report without one.
    QString report;
    // New texts for Text1 .. Text8; a field the reply did not reach keeps
    // whatever it held (nullopt).
    std::array<std::optional<QString>, 8> fields;
    // False when the reply ended before everything was read.
    bool complete = false;
};

// Reads a reply that IsQueryReply() accepted. Reading stops at the first
// byte that would lie beyond the reply; nothing past its end is ever read.
QueryReplyResult ReadQueryReply(const QByteArray &reply);
