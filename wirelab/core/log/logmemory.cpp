#include "core/log/logmemory.h"

#include "core/log/endpointlog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

static_assert(LogMemory::DefaultLimit > 0);

namespace {

void TellStandardError(const QString &message)
{
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty())
        name = QStringLiteral("wirelab");
    const QByteArray line = (name + QStringLiteral(": ") + message + u'\n').toLocal8Bit();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

// A file with no name in dir: O_TMPFILE where the file system has it, else
// a named one removed at once.
int OpenUnnamed(const QString &dir, int *error)
{
    const QByteArray path = QFile::encodeName(dir);
#ifdef O_TMPFILE
    const int unnamed = ::open(path.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (unnamed >= 0)
        return unnamed;
#endif
    QByteArray name = path + "/wirelab-log-XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
        return -1;
    }
    ::unlink(name.constData());
    return fd;
}

// A logged bulk stream hands the script the hex text of every read (about
// 1 MiB each), which the script engine frees in bursts when it collects.
// glibc's defaults would give each burst's memory back to the system and
// fault it in again page by page for the next texts (about 65,000 faults
// per 256 MiB, a sixth of the CPU time), or map each text on its own: keep
// up to 32 MiB of freed heap for reuse instead. The log's own blocks are
// mapped apart from the heap, so this is what the texts come and go in.
void KeepFreedHeapForReuse()
{
#if defined(__GLIBC__)
    constexpr int Keep = 32 << 20;
    mallopt(M_MMAP_THRESHOLD, Keep);
    mallopt(M_TRIM_THRESHOLD, Keep);
#endif
}

// Reads or writes all of [data, data + size) at offset of fd, going on
// after interruptions: 0, or the error that stopped it (EIO/ENOSPC when the
// file simply ended or took nothing); *done says how far it got.
int TransferAll(bool writing, int fd, char *data, qint64 size, qint64 offset, qint64 *done)
{
    *done = 0;
    while (*done < size) {
        const ssize_t n = writing ? ::pwrite(fd, data + *done, size_t(size - *done), off_t(offset + *done))
                                  : ::pread(fd, data + *done, size_t(size - *done), off_t(offset + *done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : (writing ? ENOSPC : EIO);
        *done += n;
    }
    return 0;
}

}  // namespace

LogMemory &LogMemory::instance()
{
    // Never destroyed: a log may outlive any static object.
    static LogMemory *memory = [] {
        KeepFreedHeapForReuse();
        return new LogMemory;
    }();
    return *memory;
}

LogMemory::LogMemory(QObject *parent) : QObject(parent) {}

LogMemory::~LogMemory()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void LogMemory::setLimit(qint64 bytes)
{
    m_limit = std::max<qint64>(0, bytes);
    m_failed = false;
    m_readFailed = false;
    enforce();
}

QString LogMemory::directory() const { return m_dir.isEmpty() ? QDir::tempPath() : m_dir; }

quint64 LogMemory::enrol(EndpointLog *log)
{
    const quint64 key = m_nextKey++;
    m_logs.insert(key, {log, 0});
    return key;
}

void LogMemory::withdraw(quint64 key)
{
    const auto it = m_logs.constFind(key);
    if (it == m_logs.cend())
        return;
    m_queuedLive -= it->queued;
    m_logs.erase(it);
    // Entries of a withdrawn log are skipped when reached; a queue that is
    // mostly such entries is compacted so it stays as long as the data.
    if (qsizetype(m_queue.size()) > 2 * m_queuedLive + 64)
        compactQueue();
}

void LogMemory::compactQueue()
{
    std::deque<Sealed> live;
    for (const Sealed &entry : m_queue) {
        if (m_logs.contains(entry.key))
            live.push_back(entry);
    }
    m_queue.swap(live);
}

void LogMemory::sealed(quint64 key, qsizetype index, bool records)
{
    const auto it = m_logs.find(key);
    if (it == m_logs.end())
        return;
    ++it->queued;
    ++m_queuedLive;
    m_queue.push_back({key, index, records});
}

void LogMemory::enforce()
{
    while (m_inMemory > m_limit && !m_failed && !m_queue.empty()) {
        const Sealed oldest = m_queue.front();
        m_queue.pop_front();
        const auto it = m_logs.find(oldest.key);
        if (it == m_logs.end())
            continue;
        --it->queued;
        --m_queuedLive;
        const bool out =
            oldest.records ? it->log->spillRecords(oldest.index) : it->log->spillBlock(oldest.index);
        if (!out) {
            // Kept in memory, still first in line should the file work again.
            m_queue.push_front(oldest);
            ++it->queued;
            ++m_queuedLive;
            return;
        }
    }
}

bool LogMemory::open()
{
    if (m_fd >= 0)
        return true;
    int error = 0;
    m_fd = OpenUnnamed(directory(), &error);
    if (m_fd >= 0)
        return true;
    failWrite(error);
    return false;
}

qint64 LogMemory::write(const QByteArray &block)
{
    Q_ASSERT(block.size() == SlotSize);
    if (m_failed || !open())
        return -1;
    const bool reused = !m_freeSlots.empty();
    const qint64 slot = reused ? m_freeSlots.back() : m_slots;
    qint64 done = 0;
    if (const int error = TransferAll(true, m_fd, const_cast<char *>(block.constData()), SlotSize,
                                      slot * SlotSize, &done)) {
        failWrite(error);
        return -1;
    }
    if (reused)
        m_freeSlots.pop_back();
    else
        ++m_slots;
    ++m_usedSlots;
    return slot;
}

QByteArray LogMemory::load(qint64 slot)
{
    for (auto it = m_cache.begin(); it != m_cache.end(); ++it) {
        if (it->first == slot) {
            if (it != m_cache.begin()) {
                auto entry = std::move(*it);
                m_cache.erase(it);
                m_cache.push_front(std::move(entry));
            }
            return m_cache.front().second;
        }
    }
    // The evicted block's buffer is reused when no reader still holds it.
    QByteArray data;
    if (qsizetype(m_cache.size()) >= CachedBlocks) {
        data = std::move(m_cache.back().second);
        m_cache.pop_back();
    }
    if (data.size() != SlotSize || !data.isDetached())
        data = QByteArray(SlotSize, Qt::Uninitialized);
    char *to = data.data();
    qint64 done = 0;
    if (const int error = TransferAll(false, m_fd, to, SlotSize, slot * SlotSize, &done)) {
        std::memset(to + done, 0, size_t(SlotSize - done));
        if (!std::exchange(m_readFailed, true))
            tell(tr("日志无法从临时文件读回（%1）：%2")
                     .arg(QDir::toNativeSeparators(directory()), qt_error_string(error)));
    }
    m_cache.emplace_front(slot, data);
    return data;
}

void LogMemory::release(qint64 slot)
{
    for (auto it = m_cache.begin(); it != m_cache.end(); ++it) {
        if (it->first == slot) {
            m_cache.erase(it);
            break;
        }
    }
    if (--m_usedSlots == 0) {
        // Nothing left in the file: closing it gives all of it back.
        ::close(m_fd);
        m_fd = -1;
        m_slots = 0;
        m_freeSlots.clear();
        m_cache.clear();
        return;
    }
#ifdef FALLOC_FL_PUNCH_HOLE
    // The disk space now; the place is taken by the next block out.
    ::fallocate(m_fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, off_t(slot * SlotSize), off_t(SlotSize));
#endif
    m_freeSlots.push_back(slot);
}

void LogMemory::failWrite(int error)
{
    m_failed = true;
    tell(tr("日志无法移入临时文件（%1）：%2；此后日志留在内存中")
             .arg(QDir::toNativeSeparators(directory()), qt_error_string(error)));
}

void LogMemory::tell(const QString &message)
{
    TellStandardError(message);
    Q_EMIT spillFailed(message);
}
