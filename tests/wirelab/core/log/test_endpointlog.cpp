#include "core/log/endpointlog.h"
#include "core/log/linejson.h"
#include "core/log/logmemory.h"
#include "core/log/logsavejob.h"
#include "core/log/logsearch.h"
#include "core/log/rowmap.h"
#include "core/text/displaytext.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <numeric>
#include <sys/resource.h>
#include <vector>

namespace {

// 12:34:56.789 local time.
const qint64 Noon = QDateTime(QDate(2026, 3, 4), QTime(12, 34, 56, 789)).toMSecsSinceEpoch();

// Bytes that depend on their position, so a cut or shifted range never
// compares equal.
QByteArray Pattern(qint64 size, int seed)
{
    QByteArray b(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        b[i] = char((i * 131 + i / 253 + seed) & 0xFF);
    return b;
}

// The matches a find visits, gathered.
std::vector<LogMatch> FindAll(const EndpointLog &log, const QByteArray &needle, bool caseSensitive,
                              LogMatch from = {0, 0}, qsizetype last = -1)
{
    std::vector<LogMatch> all;
    findInLog(
        log, needle, caseSensitive,
        [&](const LogMatch &m) {
            all.push_back(m);
            return true;
        },
        from, last);
    return all;
}

}  // namespace

TEST(LineText, EveryKindOfLineReadsAsThePaneShowsIt)
{
    struct Case
    {
        LineKind kind;
        bool hexMode;
        bool withCount;
        QByteArray bytes;
        QByteArray count;
        const char *text;
        const char *body;
        const char *event;  // in the JSON form
        const char *jsonText = nullptr;  // its text there, when not the body
    };
    const Case cases[] = {
        {LineKind::Received,
         true,
         false,
         "12",
         {},
         "12:34:56 收到数据：{31 32 }12",
         "收到数据：{31 32 }12",
         "recv"},
        {LineKind::Received,
         false,
         false,
         QByteArray("a\0\r\n\xff", 5),
         {},
         "12:34:56 收到数据：a␀␍␊\uFFFD",
         "收到数据：a␀␍␊\uFFFD",
         "recv"},
        {LineKind::Received, true, false, {}, {}, "12:34:56 收到数据：{}", "收到数据：{}", "recv"},
        {LineKind::Sent, true, true, "123", "10", "12:34:56 发送数据：{31 32 33 }123[10次]",
         "发送数据：{31 32 33 }123[10次]", "send"},
        {LineKind::Sent, false, true, "abc", "", "12:34:56 发送数据：abc[次]", "发送数据：abc[次]", "send"},
        // A script's SEND: no repeat count.
        {LineKind::Sent,
         true,
         false,
         "ok",
         {},
         "12:34:56 发送数据：{6F 6B }ok",
         "发送数据：{6F 6B }ok",
         "send"},
        {LineKind::Displayed, true, false, "状态 ok\n2", {}, "状态 ok\n2", "状态 ok\n2", "display"},
        {LineKind::SendFailed,
         false,
         false,
         "发送失败，连接已断开",
         {},
         "发送失败，连接已断开",
         "发送失败，连接已断开",
         "notice"},
        {LineKind::Notice, false, false, "connected", {}, "connected", "connected", "notice"},
        {LineKind::Warning, false, false, "a.js:3: x", {}, "a.js:3: x", "a.js:3: x", "warning"},
        // The line as it is; the object's text as the headless run's error objects have it.
        {LineKind::Error,
         true,
         false,
         "error: t: action 2: x; dropped",
         {},
         "error: t: action 2: x; dropped",
         "error: t: action 2: x; dropped",
         "error",
         "t: action 2: x; dropped"},
    };
    for (const Case &c : cases) {
        LineParts p;
        p.timeMs = Noon;
        p.kind = c.kind;
        p.hexMode = c.hexMode;
        p.withCount = c.withCount;
        p.bytes = c.bytes;
        p.countText = c.count;
        EXPECT_EQ(lineText(p), QString::fromUtf8(c.text)) << c.text;
        EXPECT_EQ(lineBody(p), QString::fromUtf8(c.body)) << c.text;
        // The JSON form: the body as text, the bytes as hex for data alone.
        const QJsonObject o = QJsonDocument::fromJson(
            lineJson(Noon, QStringLiteral("e"), c.kind, lineBody(p), c.bytes)).object();
        EXPECT_EQ(o.value(QStringLiteral("event")).toString(), QLatin1String(c.event)) << c.text;
        EXPECT_EQ(
            o.value(QStringLiteral("text")).toString(), QString::fromUtf8(c.jsonText ? c.jsonText : c.body))
            << c.text;
        EXPECT_EQ(o.value(QStringLiteral("hex")).toString(),
                          carriesBytes(c.kind) ? QString::fromLatin1(c.bytes.toHex().toUpper()) : QString())
                  << c.text;
        EXPECT_TRUE(
            o.value(QStringLiteral("t")).toString().startsWith(QStringLiteral("2026-03-04T12:34:56.789")));
        QByteArray utf8("x");
        appendLineBodyUtf8(utf8, p);
        EXPECT_EQ(utf8, "x" + QByteArray(c.body)) << c.text;
    }
}

// The UTF-8 form made straight from the bytes is the display text's, for
// bytes that are valid UTF-8 and for those that are not.
TEST(LineText, DisplayUtf8IsTheDisplayTextEncoded)
{
    QByteArray every;
    for (int b = 0; b < 256; ++b)
        every += char(b);
    const QByteArray cases[] = {
        "plain text, long enough for whole words \t tab",
        QByteArray("\0\x01\x1f\x7f\r\n", 6),
        "\xef\xbb\xbf"
        "BOM first",
        "\xe2\x80\xa8 \xe2\x80\xa9 \xef\xb7\x90 \xef\xb7\x91 \xef\xbf\xbe \xef\xbf\xbf",
        "\xe4\xb8\xad\xe6\x96\x87 \xf0\x9f\x98\x80 \xf4\x8f\xbf\xbf",
        "overlong \xc0\xaf \xe0\x80\xaf \xf0\x80\x80\xaf",
        "surrogate \xed\xa0\x80 past the end \xf4\x90\x80\x80 \xf5\x80",
        "cut at the end \xe4\xb8",
        "stray \x80 continuation, 12345678\xff",
        every,
        Pattern(4096, 7),
        // Long runs around characters outside ASCII, valid and not.
        QByteArray(70, 'a') + "\n\xe4\xb8\xad" + QByteArray(40, 'b') + "\xe2\x80\xa8" + QByteArray(100, 'c'),
        QByteArray(100, 'a') + "\x01\x7f\xe4\xb8" + QByteArray(100, 'b'),
    };
    for (const QByteArray &bytes : cases) {
        QByteArray out("x");
        appendDisplayUtf8(out, bytes);
        EXPECT_EQ(out, "x" + bytesForDisplay(bytes).toUtf8()) << bytes.toHex().constData();
    }
}

TEST(RowMap, RowsAndRecordsMapBothWaysAsASortedListWould)
{
    // Every record, every other, none, and rows far apart (across groups of
    // records, at the ends of 64-bit words).
    const std::vector<std::vector<qsizetype>> cases = {
        [] {
            std::vector<qsizetype> all(10000);
            std::iota(all.begin(), all.end(), 0);
            return all;
        }(),
        [] {
            std::vector<qsizetype> odd;
            for (qsizetype r = 1; r < 9000; r += 2)
                odd.push_back(r);
            return odd;
        }(),
        {},
        {0, 63, 64, 4095, 4096, 5000, 20000, 20063, 20064, 100000},
    };
    for (const std::vector<qsizetype> &records : cases) {
        SCOPED_TRACE(records.size());
        RowMap rows;
        for (qsizetype r : records)
            rows.push_back(r);
        ASSERT_EQ(rows.size(), qsizetype(records.size()));
        for (size_t row = 0; row < records.size(); ++row)
            ASSERT_EQ(rows.at(qsizetype(row)), records[row]) << row;
        const qsizetype last = records.empty() ? 0 : records.back();
        for (qsizetype r = -1; r <= last + 1; ++r) {
            const auto next = std::lower_bound(records.begin(), records.end(), r);
            ASSERT_EQ(rows.lowerBound(r), qsizetype(next - records.begin())) << r;
            ASSERT_EQ(rows.nextRecord(r), next == records.end() ? -1 : *next) << r;
        }
        rows.clear();
        EXPECT_TRUE(rows.empty());
    }
}

class EndpointLogTest : public ::testing::Test
{
protected:
    // The process's log memory as every other test expects it.
    ~EndpointLogTest() override
    {
        LogMemory::instance().setDirectory(QString());
        LogMemory::instance().setLimit(LogMemory::DefaultLimit);
    }
    // Records of every kind, across block boundaries; their bytes, back to back.
    QByteArray fill(int blocks)
    {
        QByteArray received;
        for (int i = 0; log.streamSize() < blocks * EndpointLog::BlockSize; ++i) {
            const QByteArray bytes = Pattern(150000 + i * 7919, i);
            log.append(LineKind::Received, bytes, i % 2);
            received += bytes;
            log.appendSent("123", true, QStringLiteral("10"));
            log.appendText(LineKind::Notice, QStringLiteral("连接 %1").arg(i));
        }
        return received;
    }
    QStringList texts() const
    {
        QStringList t;
        for (qsizetype i = 0; i < log.count(); ++i)
            t << log.text(i) << log.body(i) << lineText(log.partsInPlace(i));
        return t;
    }

    EndpointLog log;
};

TEST_F(EndpointLogTest, RecordsKeepTheirBytesAcrossBlocksAndReadBackAsLines)
{
    const qint64 block = EndpointLog::BlockSize;
    // Sizes that end short of, exactly at and across block boundaries, and
    // one record longer than a whole block.
    const QList<qint64> sizes {100, block - 100, 7, block + 3, 0, block / 2, block};
    QList<QByteArray> payloads;
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        payloads << Pattern(sizes[i], int(i));
        EXPECT_EQ(log.append(LineKind::Received, payloads.last(), i % 2), i);
    }
    log.appendSent("123", true, QStringLiteral("10"));
    log.appendText(LineKind::Displayed, QStringLiteral("显示"), true);

    ASSERT_EQ(log.count(), sizes.size() + 2);
    qint64 offset = 0;
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        const EndpointLog::Entry e = log.record(i);
        EXPECT_EQ(e.kind, LineKind::Received);
        EXPECT_EQ(e.hexMode, bool(i % 2));
        EXPECT_FALSE(e.extra);
        EXPECT_EQ(e.offset, offset);
        EXPECT_EQ(e.size, sizes[i]);
        EXPECT_TRUE(log.bytes(i) == payloads[i]) << i;
        EXPECT_TRUE(log.partsInPlace(i).bytes == payloads[i]) << i;
        if (sizes[i] > 0) {
            EXPECT_EQ(log.recordAt(offset + sizes[i] - 1), i);
        }
        offset += sizes[i];
    }
    EXPECT_EQ(log.read(block - 100, 200), payloads[1].right(100) + payloads[2] + payloads[3].left(93));

    const qsizetype sent = sizes.size();
    EXPECT_TRUE(log.text(sent).endsWith(QStringLiteral(" 发送数据：{31 32 33 }123[10次]")));
    EXPECT_EQ(log.bytes(sent), "123");
    EXPECT_EQ(lineText(log.partsInPlace(sent)), log.text(sent));
    EXPECT_TRUE(log.record(sent + 1).extra);
    EXPECT_EQ(log.text(sent + 1), QStringLiteral("显示"));
    EXPECT_EQ(log.lastLines(2), (QStringList {log.text(sent - 1), log.text(sent)}));
    EXPECT_EQ(log.lastLines(1, true), QStringList {QStringLiteral("显示")});
}

TEST_F(EndpointLogTest, AppendsAreAnnouncedOncePerBurstAndClearStartsAgain)
{
    QSignalSpy each(&log, &EndpointLog::recordAppended);
    QSignalSpy burst(&log, &EndpointLog::appended);
    for (int i = 0; i < 1000; ++i)
        log.append(LineKind::Received, "x", false);
    EXPECT_EQ(each.size(), 1000);
    ASSERT_TRUE(burst.wait(2000));
    ASSERT_EQ(burst.size(), 1);
    EXPECT_EQ(burst.at(0).at(0).value<qsizetype>(), 0);
    EXPECT_EQ(burst.at(0).at(1).value<qsizetype>(), 999);

    QSignalSpy cleared(&log, &EndpointLog::cleared);
    log.clear();
    EXPECT_EQ(cleared.size(), 1);
    EXPECT_EQ(log.count(), 0);
    EXPECT_EQ(log.streamSize(), 0);
    log.appendText(LineKind::Notice, QStringLiteral("again"));
    ASSERT_TRUE(burst.wait(2000));
    EXPECT_EQ(burst.at(1).at(0).value<qsizetype>(), 0);
    EXPECT_EQ(log.text(0), QStringLiteral("again"));
}

TEST_F(EndpointLogTest, PastTheMemoryLimitOldBlocksAndRecordsMoveToAFileAndReadBackTheSame)
{
    LogMemory &memory = LogMemory::instance();
    const qint64 block = EndpointLog::BlockSize;
    // Large records across blocks, where two blocks stay (the last full one
    // and the one being filled, with the records); and a flood of tiny
    // records, whose full chunks of records move out with the full blocks.
    const struct
    {
        const char *name;
        bool tiny;
        qint64 limit;
        qint64 spilledSlots;
    } cases[] = {{"large", false, 3 * block, 6}, {"tiny", true, 0, 2 + 2}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray received;
        if (c.tiny) {
            for (int i = 0; i < 120000; ++i) {
                const QByteArray bytes = Pattern(i % 41, i);
                if (i % 7 == 0) {
                    log.appendSent(bytes, i % 2, QStringLiteral("ab"));
                } else {
                    log.append(LineKind::Received, bytes, i % 2, i % 5 == 0);
                    received += bytes;
                }
            }
        } else {
            received = fill(7);
        }
        const QByteArray stream = log.read(0, log.streamSize());
        const QStringList before = texts();
        std::vector<EndpointLog::Entry> entries;
        for (qsizetype i = 0; i < log.count(); ++i)
            entries.push_back(log.record(i));
        // Needles across the boundaries of two blocks that move out and of
        // the last one out and the first kept, and one inside a block (tiny
        // records: the first one of 8 bytes or more from there).
        const auto needleAt = [&](qint64 at, qint64 size) {
            if (!c.tiny)
                return stream.mid(at, size);
            qsizetype r = log.recordAt(at);
            while (log.record(r).size < 8)
                ++r;
            return log.bytes(r);
        };
        const qint64 last = (log.streamSize() / block - 1) * block;
        const QByteArray needles[] = {needleAt(block - 3, 7), needleAt(last - 4, 9),
                                      needleAt(block / 3 + 100, 12)};
        std::vector<std::vector<LogMatch>> found;
        for (const QByteArray &n : needles)
            found.push_back(FindAll(log, n, true));

        memory.setLimit(c.limit);
        EXPECT_EQ(memory.spilled(), c.spilledSlots * block);
        // Compared whole, printed not at all: megabytes of bytes and lines.
        EXPECT_TRUE(log.read(0, log.streamSize()) == stream);
        EXPECT_TRUE(texts() == before);
        for (qsizetype i = 0; i < log.count(); ++i) {
            const EndpointLog::Entry e = log.record(i);
            const EndpointLog::Entry &was = entries[size_t(i)];
            ASSERT_TRUE(e.timeMs == was.timeMs && e.kind == was.kind && e.hexMode == was.hexMode
                        && e.extra == was.extra && e.withCount == was.withCount && e.offset == was.offset
                        && e.size == was.size && e.countSize == was.countSize)
                << i;
            if (e.size > 0) {
                ASSERT_EQ(log.recordAt(e.offset + e.size - 1), i);
            }
        }
        for (size_t i = 0; i < std::size(needles); ++i) {
            const std::vector<LogMatch> now = FindAll(log, needles[i], true);
            EXPECT_FALSE(now.empty()) << i;
            EXPECT_TRUE(now == found[i]) << i;
        }

        // The raw save of a log mostly in the file is the stream received.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("raw.bin"));
        LogSaveJob job(log, path, LogSaveJob::Format::Raw, QStringLiteral("c"));
        QSignalSpy finished(&job, &LogSaveJob::finished);
        job.start();
        ASSERT_TRUE(finished.wait(10000));
        EXPECT_TRUE(finished.at(0).at(0).toBool());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex(),
                  QCryptographicHash::hash(received, QCryptographicHash::Sha256).toHex());

        // A save whose log is cleared, even if filled again before its next
        // step, fails instead of writing other records.
        LogSaveJob cut(log, path, LogSaveJob::Format::Text, QStringLiteral("c"));
        QSignalSpy cutFinished(&cut, &LogSaveJob::finished);
        cut.start();
        const qsizetype count = log.count();
        log.clear();
        EXPECT_EQ(memory.spilled(), 0);
        EXPECT_EQ(memory.inMemory(), 0);
        for (qsizetype i = 0; i < count; ++i)
            log.appendText(LineKind::Notice, QStringLiteral("new"));
        ASSERT_TRUE(cutFinished.wait(10000));
        EXPECT_FALSE(cutFinished.at(0).at(0).toBool());
        EXPECT_EQ(cutFinished.at(0).at(1).toString(), QStringLiteral("日志已被清空"));
        memory.setLimit(LogMemory::DefaultLimit);
    }
}

TEST_F(EndpointLogTest, AFileThatCannotBeWrittenIsToldOnceAndTheLogStaysInMemory)
{
    LogMemory &memory = LogMemory::instance();
    const qint64 block = EndpointLog::BlockSize;
    QTemporaryDir dir;
    // A file that cannot be made, and one that fills up after two blocks
    // (the file size limit fails a write as a full disk does).
    const struct
    {
        QString directory;
        rlim_t fileSize;
        qint64 spilled;
    } cases[] = {{dir.filePath(QStringLiteral("missing")), RLIM_INFINITY, 0},
                  {dir.path(), 2 * block, 2 * block}};
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit unlimited {};
    ::getrlimit(RLIMIT_FSIZE, &unlimited);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.directory.toStdString());
        memory.setDirectory(c.directory);
        memory.setLimit(0);
        rlimit limit = unlimited;
        limit.rlim_cur = std::min(c.fileSize, unlimited.rlim_max);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        QSignalSpy told(&memory, &LogMemory::spillFailed);
        testing::internal::CaptureStderr();
        const QByteArray received = fill(6);
        const QString error = QString::fromLocal8Bit(testing::internal::GetCapturedStderr());
        ::setrlimit(RLIMIT_FSIZE, &unlimited);

        ASSERT_EQ(told.size(), 1);
        const QString message = told.at(0).at(0).toString();
        EXPECT_TRUE(message.contains(QDir::toNativeSeparators(c.directory)));
        EXPECT_EQ(error.count(message), 1);
        EXPECT_EQ(memory.spilled(), c.spilled);
        EXPECT_GE(memory.inMemory(), 4 * block);
        QByteArray saved;
        for (qsizetype i = 0; i < log.count(); ++i) {
            if (log.record(i).kind == LineKind::Received)
                saved += log.bytes(i);
        }
        EXPECT_TRUE(saved == received);
        log.clear();
    }
}

TEST_F(EndpointLogTest, FindGivesEveryPlaceWithinOneRecordInEitherCase)
{
    // Short records of a few bytes, so matches overlap and run on across
    // records' ends (not matches); letters in both cases and the bytes 0x20
    // away from letters (which do not fold). A sent record's count text
    // follows its bytes in the stream and is not searched.
    const QByteArray alphabet("aAbB@`[{");
    quint32 seed = 1;
    auto next = [&seed] { return (seed = seed * 1103515245 + 12345) >> 16; };
    QList<QByteArray> payloads;
    for (int i = 0; i < 3000; ++i) {
        QByteArray b(next() % 9, Qt::Uninitialized);
        for (char &c : b)
            c = alphabet[next() % alphabet.size()];
        payloads << b;
        if (i % 7 == 0)
            log.appendSent(b, false, QStringLiteral("ab"));
        else
            log.append(LineKind::Received, b, false);
    }
    auto fold = [](QByteArray b) { return b.toLower(); };  // ASCII letters alone
    for (const QByteArray needle : {"a", "ab", "AB", "@", "a`", "b[A", "bbbb", "{aBa@", "aaaaaaaaa"}) {
        for (const bool caseSensitive : {true, false}) {
            const QByteArray n = caseSensitive ? needle : fold(needle);
            std::vector<std::pair<qsizetype, qint64>> expected;
            for (qsizetype i = 0; i < payloads.size(); ++i) {
                const QByteArray hay = caseSensitive ? payloads[i] : fold(payloads[i]);
                for (qsizetype at = hay.indexOf(n); at >= 0; at = hay.indexOf(n, at + 1))
                    expected.emplace_back(i, at);
                EXPECT_EQ(findBytes(payloads[i], needle, caseSensitive) >= 0, hay.contains(n));
            }
            std::vector<std::pair<qsizetype, qint64>> found;
            for (const LogMatch &m : FindAll(log, needle, caseSensitive))
                found.emplace_back(m.record, m.at);
            EXPECT_EQ(found, expected) << needle.constData() << caseSensitive;
            // From just after a match within its record through a later
            // record: the matches in between.
            if (expected.empty())
                continue;
            const auto [record, at] = expected[expected.size() / 3];
            const qsizetype last = record + 40;
            std::vector<std::pair<qsizetype, qint64>> between;
            for (const auto &e : expected) {
                if (e > std::make_pair(record, at) && e.first <= last)
                    between.push_back(e);
            }
            found.clear();
            for (const LogMatch &m : FindAll(log, needle, caseSensitive, {record, at + 1}, last))
                found.emplace_back(m.record, m.at);
            EXPECT_EQ(found, between) << needle.constData() << caseSensitive;
        }
    }
}
