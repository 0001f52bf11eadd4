#include "core/log/endpointlog.h"

#include "core/log/logmemory.h"

#include <QDateTime>
#include <QTimerEvent>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#endif

// 24 bytes: the time, then the stream offset (48 bits) packed with the kind
// and the flags, then the lengths of the payload and of the count text that
// follows it in the stream.
struct EndpointLog::Record
{
    qint64 timeMs;
    quint64 packed;
    quint32 size;
    quint32 countSize;

    static constexpr int KindShift = 48;
    static constexpr quint64 OffsetMask = (quint64(1) << KindShift) - 1;
    static constexpr quint64 HexBit = quint64(1) << 56;
    static constexpr quint64 ExtraBit = quint64(1) << 57;
    static constexpr quint64 CountBit = quint64(1) << 58;

    qint64 offset() const { return qint64(packed & OffsetMask); }
    LineKind kind() const { return LineKind((packed >> KindShift) & 0xFF); }
    bool has(quint64 bit) const { return packed & bit; }
};

namespace {

// A block's bytes. A whole block is mapped on its own, not taken from the
// heap: a bulk stream's short-lived texts (the script's hex of every read)
// come and go there, and a block that takes the holes they leave sends the
// next texts to fresh pages, a page fault every 4 KiB of them. A growing
// first block (most endpoints log little) stays on the heap.
class BlockBytes
{
public:
    BlockBytes() = default;
    BlockBytes(BlockBytes &&other) noexcept { swap(other); }
    BlockBytes &operator=(BlockBytes &&other) noexcept
    {
        BlockBytes gone(std::move(other));
        swap(gone);
        return *this;
    }
    BlockBytes(const BlockBytes &) = delete;
    BlockBytes &operator=(const BlockBytes &) = delete;
    ~BlockBytes() { release(m_data, m_capacity, m_mapped); }

    const char *data() const { return m_data; }
    qint64 size() const { return m_size; }
    qint64 capacity() const { return m_capacity; }
    // Not a copy: valid while this block is unchanged.
    QByteArray view() const { return QByteArray::fromRawData(m_data, m_size); }

    // Room for `capacity` bytes, keeping those held; `present`: its pages
    // are made present in one call (the caller is about to fill them).
    void reserve(qint64 capacity, bool whole, bool present)
    {
        if (capacity <= m_capacity)
            return;
        bool mapped = false;
        char *grown = allocate(capacity, whole, present, &mapped);
        if (m_size > 0)
            std::memcpy(grown, m_data, size_t(m_size));
        release(m_data, m_capacity, m_mapped);
        m_data = grown;
        m_capacity = capacity;
        m_mapped = mapped;
    }
    // `size` more bytes at the end, for the caller to fill.
    char *extend(qint64 size)
    {
        Q_ASSERT(m_size + size <= m_capacity);
        char *end = m_data + m_size;
        m_size += size;
        return end;
    }
    void append(const char *data, qint64 size) { std::memcpy(extend(size), data, size_t(size)); }
    void clear() { *this = BlockBytes(); }

private:
    static char *allocate(qint64 capacity, bool whole, bool present, bool *mapped)
    {
#if defined(Q_OS_LINUX)
        if (whole) {
            void *p = ::mmap(nullptr, size_t(capacity), PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS | (present ? MAP_POPULATE : 0), -1, 0);
            if (p != MAP_FAILED) {
                *mapped = true;
                return static_cast<char *>(p);
            }
        }
#else
        Q_UNUSED(whole);
#endif
        Q_UNUSED(present);
        char *p = static_cast<char *>(std::malloc(size_t(capacity)));
        if (!p)
            qBadAlloc();
        return p;
    }
    static void release(char *data, qint64 capacity, bool mapped)
    {
#if defined(Q_OS_LINUX)
        if (mapped) {
            ::munmap(data, size_t(capacity));
            return;
        }
#else
        Q_UNUSED(capacity);
        Q_UNUSED(mapped);
#endif
        std::free(data);
    }
    void swap(BlockBytes &other) noexcept
    {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
        std::swap(m_mapped, other.m_mapped);
    }

    char *m_data = nullptr;
    qint64 m_size = 0;
    qint64 m_capacity = 0;
    bool m_mapped = false;
};

}  // namespace

// A block of the stream, or the bytes of a chunk of records.
struct EndpointLog::Block
{
    BlockBytes data;  // empty once spilled
    qint64 slot = -1;  // its place in the spill file
};

namespace {

// A record stored in (or read back into) a chunk's bytes. Copied out, so
// bytes read back need no particular alignment.
template<typename Record>
Record RecordIn(const char *chunk, qsizetype k)
{
    Record r;
    std::memcpy(&r, chunk + k * qsizetype(sizeof(Record)), sizeof(Record));
    return r;
}

}  // namespace

// ChunkRecords records (the first chunk fewer while it grows); the stream
// offset of its first record stays in memory when the chunk moves out, so
// finding the record of an offset reads back one chunk at most.
struct EndpointLog::Chunk
{
    Block records;
    qint64 firstOffset = 0;
};

namespace {

// Past this a record's text would not fit the record; longer blocks are
// never received in one piece (reads are at most 256 KiB), so this only
// cuts a pathological DISPLAY text.
constexpr qint64 MaxRecordBytes = 0xFFFFFFFF;

// A record at least this large that starts a whole block fills it (a bulk
// stream's reads): its pages are made present in one call instead of one
// page fault per 4 KiB as the bytes arrive.
constexpr qint64 PrefaultFrom = 64 * 1024;

}  // namespace

EndpointLog::EndpointLog(QObject *parent) : QObject(parent)
{
    static_assert(sizeof(Record) == 24, "a record stays at 24 bytes");
    static_assert(ChunkRecords * qint64(sizeof(Record)) <= ChunkBytes && ChunkBytes == LogMemory::SlotSize);
    m_memoryKey = LogMemory::instance().enrol(this);
}

EndpointLog::~EndpointLog() { releaseAll(); }

void EndpointLog::releaseAll()
{
    LogMemory &memory = LogMemory::instance();
    memory.withdraw(m_memoryKey);
    const auto release = [&memory](const Block &b) {
        if (b.slot >= 0)
            memory.release(b.slot);
        else
            memory.resized(-b.data.capacity());
    };
    for (const Block &b : m_blocks)
        release(b);
    m_blocks.clear();
    for (const Chunk &c : m_chunks)
        release(c.records);
    m_chunks.clear();
}

bool EndpointLog::spillBlock(qsizetype index) { return spill(m_blocks[size_t(index)]); }

bool EndpointLog::spillRecords(qsizetype chunk) { return spill(m_chunks[size_t(chunk)].records); }

bool EndpointLog::spill(Block &b)
{
    Q_ASSERT(b.slot < 0 && b.data.size() == LogMemory::SlotSize);
    LogMemory &memory = LogMemory::instance();
    b.slot = memory.write(b.data.view());
    if (b.slot < 0)
        return false;
    memory.resized(-b.data.capacity());
    b.data.clear();
    return true;
}

const char *EndpointLog::chunkRecords(size_t chunk, QByteArray &hold) const
{
    const Block &c = m_chunks[chunk].records;
    if (c.slot < 0)
        return c.data.data();
    // Through the cache of recent blocks: a view, find or save reads a
    // chunk back once for its many records.
    hold = LogMemory::instance().load(c.slot);
    return hold.constData();
}

EndpointLog::Record EndpointLog::at(qsizetype i) const
{
    Q_ASSERT(i >= 0 && i < m_count);
    QByteArray hold;
    return RecordIn<Record>(chunkRecords(size_t(i / ChunkRecords), hold), i % ChunkRecords);
}

EndpointLog::Entry EndpointLog::record(qsizetype i) const
{
    const Record r = at(i);
    Entry e;
    e.timeMs = r.timeMs;
    e.kind = r.kind();
    e.hexMode = r.has(Record::HexBit);
    e.extra = r.has(Record::ExtraBit);
    e.withCount = r.has(Record::CountBit);
    e.offset = r.offset();
    e.size = r.size;
    e.countSize = r.countSize;
    return e;
}

QByteArray EndpointLog::bytes(qsizetype i) const
{
    const Record r = at(i);
    return read(r.offset(), r.size);
}

LineParts EndpointLog::parts(qsizetype i) const
{
    const Entry e = record(i);
    LineParts p = headerParts(e);
    p.bytes = read(e.offset, e.size);
    if (e.countSize)
        p.countText = read(e.offset + e.size, e.countSize);
    return p;
}

LineParts EndpointLog::partsInPlace(qsizetype i) const
{
    const Entry e = record(i);
    const qint64 within = e.offset % BlockSize;
    if (e.size == 0 || e.countSize || within + e.size > BlockSize)
        return parts(i);
    const Block &b = m_blocks[size_t(e.offset / BlockSize)];
    if (b.slot >= 0)
        return parts(i);
    LineParts p = headerParts(e);
    p.bytes = QByteArray::fromRawData(b.data.data() + within, e.size);
    return p;
}

LineParts EndpointLog::headerParts(const Entry &e)
{
    LineParts p;
    p.timeMs = e.timeMs;
    p.kind = e.kind;
    p.hexMode = e.hexMode;
    p.withCount = e.withCount;
    return p;
}

QString EndpointLog::text(qsizetype i) const { return lineText(parts(i)); }

QString EndpointLog::body(qsizetype i) const { return lineBody(parts(i)); }

QStringList EndpointLog::lastLines(qsizetype n, bool withExtra) const
{
    QStringList lines;
    for (qsizetype i = m_count - 1; i >= 0 && lines.size() < n; --i) {
        if (withExtra || !at(i).has(Record::ExtraBit))
            lines.append(text(i));
    }
    std::reverse(lines.begin(), lines.end());
    return lines;
}

QByteArray EndpointLog::read(qint64 offset, qint64 size) const
{
    offset = std::clamp<qint64>(offset, 0, m_end);
    size = std::clamp<qint64>(size, 0, m_end - offset);
    QByteArray out(size, Qt::Uninitialized);
    char *dst = out.data();
    while (size > 0) {
        const Block &b = m_blocks[size_t(offset / BlockSize)];
        const qint64 within = offset % BlockSize;
        const qint64 take = std::min(size, BlockSize - within);
        // A spilled block comes back through the cache of recent blocks.
        const QByteArray spilled = b.slot >= 0 ? LogMemory::instance().load(b.slot) : QByteArray();
        std::memcpy(dst, (b.slot >= 0 ? spilled.constData() : b.data.data()) + within, size_t(take));
        dst += take;
        offset += take;
        size -= take;
    }
    return out;
}

QByteArray EndpointLog::blockInPlace(qsizetype n) const
{
    const Block &b = m_blocks[size_t(n)];
    if (b.slot < 0)
        return b.data.view();
    // Spilled blocks are full: the cache's buffer is the block, shared.
    return LogMemory::instance().load(b.slot);
}

qsizetype EndpointLog::recordAt(qint64 offset) const
{
    // The last chunk starting at or before offset holds the record.
    const auto after = std::upper_bound(m_chunks.begin(), m_chunks.end(), offset,
                                        [](qint64 o, const Chunk &c) { return o < c.firstOffset; });
    if (after == m_chunks.begin() || m_count == 0)
        return -1;
    const size_t chunk = size_t(after - m_chunks.begin()) - 1;
    const qsizetype first = qsizetype(chunk) * ChunkRecords;
    QByteArray hold;
    const char *records = chunkRecords(chunk, hold);
    qsizetype lo = 0;
    qsizetype hi = std::min(ChunkRecords, m_count - first);  // first record starting after offset
    while (lo < hi) {
        const qsizetype mid = lo + (hi - lo) / 2;
        if (RecordIn<Record>(records, mid).offset() <= offset)
            lo = mid + 1;
        else
            hi = mid;
    }
    return first + lo - 1;
}

qsizetype EndpointLog::append(LineKind kind, const QByteArray &bytes, bool hexMode, bool extra)
{
    return add(QDateTime::currentMSecsSinceEpoch(), kind, hexMode, extra, false, bytes, {});
}

qsizetype EndpointLog::appendText(LineKind kind, const QString &text, bool extra)
{
    return add(QDateTime::currentMSecsSinceEpoch(), kind, false, extra, false, text.toUtf8(), {});
}

qsizetype EndpointLog::appendSent(const QByteArray &block, bool hexMode, const QString &countText)
{
    return add(QDateTime::currentMSecsSinceEpoch(), LineKind::Sent, hexMode, false, true, block,
               countText.toUtf8());
}

qsizetype EndpointLog::add(qint64 timeMs, LineKind kind, bool hexMode, bool extra, bool withCount,
                           const QByteArray &bytes, const QByteArray &countText)
{
    const qint64 size = std::min<qint64>(bytes.size(), MaxRecordBytes);
    const qint64 countSize = std::min<qint64>(countText.size(), MaxRecordBytes);
    const qsizetype index = m_count;
    Record &r = newRecord();
    r.timeMs = timeMs;
    r.packed = quint64(m_end) | (quint64(kind) << Record::KindShift) | (hexMode ? Record::HexBit : 0)
        | (extra ? Record::ExtraBit : 0) | (withCount ? Record::CountBit : 0);
    r.size = quint32(size);
    r.countSize = quint32(countSize);
    store(bytes.constData(), size);
    store(countText.constData(), countSize);
    LogMemory &memory = LogMemory::instance();
    if ((index + 1) % ChunkRecords == 0) {
        // What no record fills still goes to the file with the chunk.
        BlockBytes &records = m_chunks.back().records.data;
        const qint64 tail = ChunkBytes - records.size();
        std::memset(records.extend(tail), 0, size_t(tail));
        memory.sealed(m_memoryKey, index / ChunkRecords, true);
    }
    memory.enforce();
    m_count = index + 1;
    Q_EMIT recordAppended(index);
    if (!m_batch.isActive())
        m_batch.start(BatchMs, this);
    return index;
}

EndpointLog::Record &EndpointLog::newRecord()
{
    const size_t chunk = size_t(m_count / ChunkRecords);
    if (chunk == m_chunks.size())
        m_chunks.push_back(Chunk {Block(), m_end});
    BlockBytes &records = m_chunks[chunk].records.data;
    if (records.size() == records.capacity()) {
        // The first chunk doubles until it is whole; the others are made
        // whole at once. Records stay on the heap, as a growing block does.
        const qsizetype within = m_count % ChunkRecords;
        const qsizetype size =
            chunk > 0 ? ChunkRecords : std::clamp<qsizetype>(2 * within, FirstChunkRecords, ChunkRecords);
        const qint64 before = records.capacity();
        records.reserve(size == ChunkRecords ? ChunkBytes : size * qint64(sizeof(Record)), false, false);
        LogMemory::instance().resized(records.capacity() - before);
    }
    return *reinterpret_cast<Record *>(records.extend(sizeof(Record)));
}

void EndpointLog::store(const char *data, qint64 size)
{
    const bool large = size >= PrefaultFrom;
    while (size > 0) {
        const size_t index = size_t(m_end / BlockSize);
        if (index == m_blocks.size())
            m_blocks.emplace_back();
        BlockBytes &block = m_blocks[index].data;
        const qint64 take = std::min(size, BlockSize - m_end % BlockSize);
        const qint64 needed = block.size() + take;
        if (needed > block.capacity()) {
            // The first block grows with the log (most endpoints log little);
            // once a block is full, the next is made whole at once. Either
            // way a block never holds more than BlockSize.
            const qint64 grown = index == 0 ? std::max<qint64>(needed, 2 * block.capacity()) : BlockSize;
            const qint64 before = block.capacity();
            const qint64 capacity = std::min(BlockSize, std::max<qint64>(grown, 256));
            block.reserve(capacity, capacity == BlockSize, large && before == 0 && index > 0);
            LogMemory::instance().resized(block.capacity() - before);
        }
        block.append(data, take);
        data += take;
        size -= take;
        m_end += take;
        if (block.size() == BlockSize)
            LogMemory::instance().sealed(m_memoryKey, qsizetype(index));
    }
}

void EndpointLog::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_batch.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    m_batch.stop();  // once per burst
    announce();
}

void EndpointLog::announce()
{
    if (m_announced >= m_count)
        return;
    const qsizetype first = std::exchange(m_announced, m_count);
    Q_EMIT appended(first, m_count - 1);
}

void EndpointLog::clear()
{
    Q_EMIT aboutToClear();
    m_batch.stop();
    releaseAll();
    m_memoryKey = LogMemory::instance().enrol(this);
    m_count = 0;
    m_end = 0;
    m_announced = 0;
    Q_EMIT cleared();
}
