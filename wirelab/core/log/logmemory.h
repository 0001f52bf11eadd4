#pragma once
// LogMemory: the memory budget of every endpoint's log in the process. The
// logs' byte blocks and their records' chunks count against one limit
// (default 256 MiB, set from the command line); past it the oldest full
// blocks and chunks, whichever log holds them, move to one temporary file
// that has no name (unlinked at once, so nothing outlives the process) and
// are read back when someone reads them. A flood of tiny datagrams, whose
// records outweigh their bytes, is bounded as a bulk stream is.
//
// Reading back goes through a small cache of the blocks read last, so a
// view painting a screenful, a find or a save walking the stream reads each
// block from the file once, not once per row.
//
// If the file cannot be made or written (disk full, an I/O error) this is
// told once (spillFailed and standard error) and every log keeps its blocks
// in memory from then on: nothing is dropped. A block released by a cleared
// or deleted log frees its place in the file for the next one (and its
// disk space at once, where the file system can punch holes); the file is
// closed when it holds no block any more.

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <deque>
#include <utility>
#include <vector>

class EndpointLog;

class LogMemory : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 DefaultLimit = qint64(256) << 20;

    static LogMemory &instance();

    qint64 limit() const { return m_limit; }
    // Moves blocks out at once if the logs hold more. A new limit also tries
    // the file again after a failure.
    void setLimit(qint64 bytes);
    // Where the file is made (default: the system's temporary folder, which
    // follows TMPDIR); used for the next file made.
    void setDirectory(const QString &dir) { m_dir = dir; }
    QString directory() const;

    // Bytes of log blocks and record chunks held in memory and in the file.
    qint64 inMemory() const { return m_inMemory; }
    qint64 spilled() const { return qint64(m_usedSlots) * SlotSize; }

Q_SIGNALS:
    // The file could not be made, written or read (message says which and
    // why); told once.
    void spillFailed(const QString &message);

private:
    friend class EndpointLog;
    static constexpr qint64 SlotSize = qint64(1) << 20;  // one log block or record chunk

    explicit LogMemory(QObject *parent = nullptr);
    ~LogMemory() override;

    // For EndpointLog. A log takes a key when it starts and after each
    // clear; its full blocks and record chunks are queued under it, oldest
    // first.
    quint64 enrol(EndpointLog *log);
    void withdraw(quint64 key);
    void resized(qint64 delta) { m_inMemory += delta; }
    void sealed(quint64 key, qsizetype index, bool records = false);
    // Moves the oldest queued blocks and chunks out while the logs hold more
    // than the limit.
    void enforce();
    // A full block or chunk (SlotSize bytes) into the file: its slot, or -1
    // (it stays).
    qint64 write(const QByteArray &block);
    // A slot's bytes; zeros (told once) if the file cannot be read.
    QByteArray load(qint64 slot);
    void release(qint64 slot);

    bool open();
    void failWrite(int error);
    void tell(const QString &message);
    void compactQueue();

    struct Enrolled
    {
        EndpointLog *log;
        qsizetype queued;  // its entries in m_queue
    };
    // A log's full block (or its chunk of records) waiting in memory.
    struct Sealed
    {
        quint64 key;
        qsizetype index;
        bool records;
    };

    qint64 m_limit = DefaultLimit;
    QString m_dir;
    qint64 m_inMemory = 0;
    bool m_failed = false;  // no more blocks go out
    bool m_readFailed = false;
    int m_fd = -1;
    qint64 m_slots = 0;  // slots the file has room for
    qsizetype m_usedSlots = 0;
    std::vector<qint64> m_freeSlots;
    quint64 m_nextKey = 1;
    QHash<quint64, Enrolled> m_logs;
    // Full blocks and chunks in memory, oldest first, by their log's key;
    // entries of withdrawn keys are skipped.
    std::deque<Sealed> m_queue;
    qsizetype m_queuedLive = 0;  // entries of enrolled logs
    // The blocks read back last, most recent first.
    static constexpr int CachedBlocks = 3;
    std::deque<std::pair<qint64, QByteArray>> m_cache;
};
