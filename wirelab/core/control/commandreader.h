#pragma once
// CommandReader: cuts what a control client writes into command lines and
// a line into its words.
//
// A line ends with LF (a CR before it is dropped). A line longer than
// MaxLine is not kept: its first MaxLine bytes are dropped at once, the
// rest up to its end as it arrives, and it is reported once, in its place
// among the lines. Bytes after the last line end are held until more
// arrive; pending() tells whether a client that went away left a line cut
// off there.
//
// Words are separated by blanks (spaces, tabs). A word, or part of one, in
// double quotes keeps its blanks; inside quotes \" stands for " and \\ for
// \ (any other backslash is itself).

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

class CommandReader
{
public:
    static constexpr qsizetype MaxLine = qsizetype(1) << 20;

    // One thing the input held, in order.
    struct Item
    {
        QByteArray line;
        bool overlong = false;  // a line over MaxLine, dropped (line is empty)
    };

    // Adds received bytes; sink(Item) is called for every line completed
    // (or found too long) by them.
    template<class Sink>
    void feed(const QByteArray &bytes, Sink &&sink)
    {
        qsizetype from = 0;
        while (from < bytes.size()) {
            Item item;
            bool got = false;
            from += take(bytes, from, item, got);
            if (got)
                sink(item);
        }
    }

    // Whether part of a line is held (the input ended inside a line).
    bool pending() const { return !m_partial.isEmpty() || m_discarding; }
    // Forgets the part of a line held.
    void reset();

    // The words of a line; nullopt with why for a quote left open.
    static std::optional<QStringList> words(const QString &line, QString *why = nullptr);
    // A word as it is written in a line: in quotes, escaped, when it is
    // empty or holds a blank, a quote or a backslash.
    static QString quoted(const QString &word);

private:
    // Consumes bytes from `from` up to a line end; got tells whether that
    // ended a line (or found one too long) and item is it.
    qsizetype take(const QByteArray &bytes, qsizetype from, Item &item, bool &got);

    QByteArray m_partial;
    bool m_discarding = false;  // inside a line already reported too long
};
