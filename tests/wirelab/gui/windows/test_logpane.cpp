// The receive pane keeps every line, pending ones included in what it reads
// back, and keeps long lines in bounded paragraphs: what it reads back is
// still exactly the lines that were appended, in order.
#include "gui/logpane.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

namespace {

QString LongLine(int chars, char16_t first)
{
    QString s;
    for (int i = 0; i < chars; ++i)
        s += QChar(char16_t(first + i % 26));
    return s;
}

TEST(LogPane, KeepsEveryLineAndShowsPendingOnesInItsText)
{
    LogPane pane;
    EXPECT_EQ(pane.lastLine(), QString());
    pane.appendLine(QStringLiteral("first"));
    pane.appendLine(QStringLiteral("second"));
    // Nothing has been shown yet, but text() and lastLine() see the lines.
    EXPECT_EQ(pane.lastLine(), QStringLiteral("second"));
    EXPECT_EQ(pane.text(), QStringLiteral("first\nsecond"));

    const int lines = 20000;
    for (int i = 0; i < lines; ++i)
        pane.appendLine(QStringLiteral("line %1").arg(i));
    EXPECT_EQ(pane.lastLine(), QStringLiteral("line %1").arg(lines - 1));
    // The batching timer shows them without anyone asking.
    EXPECT_TRUE(QTest::qWaitFor([&] { return pane.pendingCount() == 0; }, 5000));
    EXPECT_EQ(pane.document()->blockCount(), lines + 2);
    const QStringList all = pane.text().split(u'\n');
    ASSERT_EQ(all.size(), lines + 2);
    EXPECT_EQ(all.first(), QStringLiteral("first"));
    EXPECT_EQ(all.at(2), QStringLiteral("line 0"));
    EXPECT_EQ(all.last(), QStringLiteral("line %1").arg(lines - 1));

    // Empty lines are lines too.
    pane.appendLine(QString());
    pane.appendLine(QStringLiteral("after"));
    EXPECT_TRUE(pane.text().endsWith(QStringLiteral("line 19999\n\nafter")));
}

TEST(LogPane, LongLinesReadBackWholeAmongShortOnes)
{
    LogPane pane;
    const QString big = LongLine(LogPane::MaxBlockChars * 3 + 17, u'a');
    const QString exact = LongLine(LogPane::MaxBlockChars, u'A');
    pane.appendLine(QStringLiteral("first"));
    pane.appendLine(big);
    pane.appendLine(exact);
    pane.appendLine(QString());
    pane.flush();
    pane.appendLine(QStringLiteral("later"));
    pane.appendLine(big);

    EXPECT_EQ(pane.lastLine(), big);  // still pending
    const QString expected = QStringList {QStringLiteral("first"), big, exact, QString(),
                                                         QStringLiteral("later"), big}.join(u'\n');
    EXPECT_EQ(pane.text(), expected);
    EXPECT_EQ(pane.lastLine(), big);  // from the shown paragraphs
    // Stored in pieces: no paragraph is longer than the bound.
    for (QTextBlock b = pane.document()->begin(); b.isValid(); b = b.next())
        EXPECT_LE(b.length() - 1, LogPane::MaxBlockChars);
    EXPECT_EQ(pane.document()->blockCount(), 1 + 4 + 1 + 1 + 1 + 4);
}

TEST(LogPane, ClearedPaneStartsAFreshLog)
{
    LogPane pane;
    pane.appendLine(LongLine(LogPane::MaxBlockChars + 1, u'a'));
    pane.flush();
    pane.clear();
    pane.appendLine(QStringLiteral("x"));
    pane.appendLine(QStringLiteral("y"));
    EXPECT_EQ(pane.text(), QStringLiteral("x\ny"));
    EXPECT_EQ(pane.lastLine(), QStringLiteral("y"));
}

TEST(LogPane, AFloodIsShownInBoundedBatchesAndReadsBackExactly)
{
    // More than one batch of lines, one of them longer than a whole batch.
    LogPane pane;
    QStringList lines;
    for (int i = 0; i < 300; ++i)
        lines << LongLine(1000 + i, u'a');
    lines << LongLine(LogPane::MaxFlushChars + 3 * LogPane::MaxBlockChars + 5, u'A');
    lines << QStringLiteral("tail");
    for (const QString &line : std::as_const(lines))
        pane.appendLine(line);

    // Each pass of the event loop shows one bounded batch.
    qsizetype shown = 0;
    int batches = 0;
    QElapsedTimer clock;
    clock.start();
    while (pane.pendingCount() > 0 && clock.elapsed() < 10000) {
        QCoreApplication::processEvents();
        const qsizetype now = pane.document()->characterCount();
        if (now != shown) {
            ++batches;
            EXPECT_LE(now - shown, LogPane::MaxFlushChars + 2 * LogPane::MaxBlockChars) << batches;
            shown = now;
        }
    }
    ASSERT_EQ(pane.pendingCount(), 0);
    EXPECT_GE(batches, 3);
    EXPECT_EQ(pane.text(), lines.join(u'\n'));
    EXPECT_EQ(pane.lastLine(), QStringLiteral("tail"));
}

TEST(LogPane, ALineCutBetweenBatchesReadsBackWholeAtAnyTime)
{
    LogPane pane;
    const QString big = LongLine(LogPane::MaxFlushChars * 2 + 7, u'a');
    pane.appendLine(QStringLiteral("before"));
    pane.appendLine(big);
    // One timer batch: "before" and the start of the big line are shown.
    QElapsedTimer clock;
    clock.start();
    while (pane.document()->characterCount() < 100 && clock.elapsed() < 5000)
        QCoreApplication::processEvents();
    ASSERT_GT(pane.pendingCount(), 0) << "the line should still be partly waiting";
    EXPECT_EQ(pane.lastLine(), big);
    pane.appendLine(QStringLiteral("after"));
    EXPECT_EQ(pane.text(), QStringList({QStringLiteral("before"), big, QStringLiteral("after")}).join(u'\n'));
}

}  // namespace
