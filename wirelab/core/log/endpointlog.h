#pragma once
// EndpointLog: everything an endpoint logged, kept once for every view (the
// data window, the headless output, find, save, the control channel).
//
// A record is about 24 bytes (time, kind, hex mode, where its bytes are);
// the bytes themselves are kept raw in one append-only stream cut into
// blocks of BlockSize, so a record's bytes may span two blocks. A line's
// text is made from its record only when it is read (text()). Records are
// never changed or dropped, except all at once by clear().
//
// Records are kept in chunks of about 1 MiB. The blocks and the chunks count
// against the process's log memory (LogMemory): past its limit the oldest
// full ones move to a temporary file and are read back from there; every
// reader below sees the same records and bytes either way.

#include "core/log/linetext.h"

#include <QBasicTimer>
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class EndpointLog : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 BlockSize = qint64(1) << 20;

    // A record apart from its bytes.
    struct Entry
    {
        qint64 timeMs = 0;  // milliseconds since the epoch
        LineKind kind = LineKind::Displayed;
        bool hexMode = false;  // the endpoint's hex mode when it was logged
        // Not a line of the receive pane (a script's SEND, a connection
        // failure, a script warning): the window shows it only on request;
        // the headless output and the saved forms include it.
        bool extra = false;
        // Sent by the data window: its repeat count text (countSize bytes)
        // follows its bytes in the stream.
        bool withCount = false;
        qint64 offset = 0;  // where its bytes start in the stream
        qint64 size = 0;  // its bytes (payload, or text as UTF-8)
        qint64 countSize = 0;
    };

    explicit EndpointLog(QObject *parent = nullptr);
    ~EndpointLog() override;

    qsizetype count() const { return m_count; }
    Entry record(qsizetype i) const;
    QByteArray bytes(qsizetype i) const;
    // The line as the receive pane shows it (lineText()), and without its time.
    QString text(qsizetype i) const;
    QString body(qsizetype i) const;
    LineParts parts(qsizetype i) const;
    // parts(), but bytes that lie in one block in memory are not copied:
    // they point into the log and are valid only until it next changes
    // (an append, a spill, a clear). For a writer that uses them at once.
    LineParts partsInPlace(qsizetype i) const;
    // The texts of the last n records (oldest first); extra records only
    // when asked.
    QStringList lastLines(qsizetype n, bool withExtra = false) const;

    // The byte stream: payloads and texts, back to back in record order.
    qint64 streamSize() const { return m_end; }
    // Bytes [offset, offset + size) of the stream (clipped to its end).
    QByteArray read(qint64 offset, qint64 size) const;
    // Block n of the stream (bytes [n * BlockSize, (n + 1) * BlockSize),
    // clipped to its end), without a copy: a block in memory is valid only
    // until the log next changes; a spilled one is read back (through the
    // cache of recent blocks). For a reader that scans it at once.
    QByteArray blockInPlace(qsizetype n) const;
    // The record whose bytes hold stream offset `offset` (the last record
    // starting at or before it); -1 when there is none.
    qsizetype recordAt(qint64 offset) const;

    // Each append returns the new record's index; the time is now.
    qsizetype append(LineKind kind, const QByteArray &bytes, bool hexMode, bool extra = false);
    qsizetype appendText(LineKind kind, const QString &text, bool extra = false);
    // Data sent by the data window, with the repeat count as typed.
    qsizetype appendSent(const QByteArray &block, bool hexMode, const QString &countText);

    // Empties the log (the user's "clear"); signals cleared().
    void clear();

Q_SIGNALS:
    // Each record as it is appended, for writers that keep the order of
    // lines across endpoints (the headless output).
    void recordAppended(qsizetype index);
    // Records [first, last] appended since the last signal: one per burst
    // (within BatchMs), for views.
    void appended(qsizetype first, qsizetype last);
    // Before clear() drops the records (for writers that hold indexes).
    void aboutToClear();
    void cleared();

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    struct Record;
    struct Block;
    struct Chunk;
    static constexpr int BatchMs = 10;
    // Records are kept in chunks of ChunkBytes (ChunkRecords records, the
    // unit that moves to the spill file); the first one grows from
    // FirstChunkRecords as records come (most endpoints log a few lines).
    static constexpr qint64 ChunkBytes = qint64(1) << 20;
    static constexpr qsizetype ChunkRecords = ChunkBytes / 24;
    static constexpr qsizetype FirstChunkRecords = 8;

    qsizetype add(qint64 timeMs, LineKind kind, bool hexMode, bool extra, bool withCount,
                  const QByteArray &bytes, const QByteArray &countText);
    Record &newRecord();
    // A record's line parts without its bytes.
    static LineParts headerParts(const Entry &e);
    void store(const char *data, qint64 size);
    // Moves a full block (a full chunk of records) to the spill file; false
    // if it stays in memory.
    bool spillBlock(qsizetype index);
    bool spillRecords(qsizetype chunk);
    bool spill(Block &b);
    void releaseAll();
    // A chunk's records, from memory or read back into `hold`.
    const char *chunkRecords(size_t chunk, QByteArray &hold) const;
    Record at(qsizetype i) const;
    void announce();

    std::vector<Chunk> m_chunks;
    qsizetype m_count = 0;
    std::vector<Block> m_blocks;
    qint64 m_end = 0;  // stream size
    qsizetype m_announced = 0;  // records told by appended()
    QBasicTimer m_batch;  // an endpoint's log is made for every connection: no QTimer object each
    quint64 m_memoryKey = 0;  // this log's blocks in LogMemory (a new one after clear())

    friend class LogMemory;
};
