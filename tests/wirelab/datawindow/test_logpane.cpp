// The receive pane keeps long lines in bounded paragraphs: what it reads back
// is still exactly the lines that were appended, in order.
#include "datawindow/logpane.h"

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
    const QString expected = QStringList{QStringLiteral("first"), big, exact, QString(),
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

} // namespace
