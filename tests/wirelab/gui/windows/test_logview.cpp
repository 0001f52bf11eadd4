// The receive pane over an endpoint's log: rows and following the end under
// a flood, selection, copy and clear; find and filter through the bar; save
// through a replaced file dialog, and a save that fails.
#include "core/log/endpointlog.h"
#include "dialogdriver.h"
#include "gui/logfindbar.h"
#include "gui/logsaving.h"
#include "gui/logview.h"
#include "gui/rowtextpainter.h"
#include "seamrecorder.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QFontDatabase>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

struct LogViewTest : ::testing::Test
{
    EndpointLog log;
    QWidget window;
    LogView *view = new LogView(&window);
    LogFindBar *bar = new LogFindBar(view, &window);
    QProgressBar *progress = new QProgressBar(&window);
    LogSaving saving {view, progress, &window};

    LogViewTest()
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(view, 1);
        layout->addWidget(bar);
        layout->addWidget(progress);
        window.resize(500, 400);
        view->setLog(&log);
        window.show();
    }
    // Waits until the view has been told of every record and has taken
    // them (it takes new rows at most every few tens of milliseconds).
    void settle()
    {
        QSignalSpy told(&log, &EndpointLog::appended);
        QSignalSpy taken(view, &LogView::rowsChanged);
        if (told.wait(2000) && taken.isEmpty())
            taken.wait(2000);
        QCoreApplication::processEvents();
    }
    template<class T>
    T *bar_(const char *name)
    {
        return bar->findChild<T *>(QLatin1String(name));
    }
    void find(const QString &text, bool hex = false, bool caseSensitive = false)
    {
        bar->activate();
        bar_<QCheckBox>("FindHex")->setChecked(hex);
        bar_<QCheckBox>("FindCase")->setChecked(caseSensitive);
        bar_<QLineEdit>("FindText")->setText(text);
    }
};

TEST_F(LogViewTest, AFloodIsFollowedAtTheEndAndCountedWhenScrolledUp)
{
    constexpr int Lines = 200000;
    for (int i = 0; i < Lines; ++i)
        log.append(LineKind::Received, QByteArray::number(i), false);
    log.appendText(LineKind::Warning, QStringLiteral("not a pane line"), true);
    settle();
    EXPECT_EQ(view->rowCount(), Lines);  // the extra record is hidden
    EXPECT_TRUE(view->isAtEnd());
    EXPECT_TRUE(view->lastLine().endsWith(QStringLiteral("收到数据：199999")))
                << view->lastLine().toStdString();
    // Only the rows on screen are laid out: a screenful, not the log.
    EXPECT_LT(view->visibleRowCount(), 100);

    view->verticalScrollBar()->setValue(0);
    EXPECT_FALSE(view->isAtEnd());
    for (int i = 0; i < 50; ++i)
        log.append(LineKind::Sent, "x", false);
    settle();
    EXPECT_EQ(view->topRow(), 0);  // stays where the user is
    auto *mark = view->findChild<QToolButton *>(QStringLiteral("NewLines"));
    ASSERT_NE(mark, nullptr);
    EXPECT_TRUE(mark->isVisible());
    EXPECT_TRUE(mark->text().contains(QStringLiteral("50")));
    mark->click();
    EXPECT_TRUE(view->isAtEnd());
    EXPECT_FALSE(mark->isVisible());

    // A line of megabytes is one row, read back whole.
    const QByteArray big(3 << 20, 'a');
    log.append(LineKind::Received, big, false);
    settle();
    EXPECT_TRUE(view->isAtEnd());
    EXPECT_TRUE(view->lastLine().endsWith(QString::fromLatin1(big)));
    EXPECT_EQ(view->rowCount(), Lines + 51);
}

// The pane draws most lines from glyph tables instead of laying each out:
// they must look as a laid-out line does, and where the tables cannot
// draw a line (marks, right-to-left text) the pane must be told.
TEST(RowTextPainterTest, DrawsLinesAsLaidOutOrDeclines)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setHintingPreference(QFont::PreferFullHinting);  // whole-pixel cells, as in the pane
    RowTextPainter painter;
    painter.setFont(font);
    painter.setLineBox(20, 30);
    QImage blank(600, 40, QImage::Format_ARGB32_Premultiplied);
    blank.fill(Qt::white);
    // The line drawn by the painter (from tiles when told the background),
    // or laid out; null when the painter declines.
    const auto render = [&](const QString &text, bool laidOut, const QColor &under = QColor()) {
        QImage image = blank;
        QPainter p(&image);
        p.setFont(font);
        p.setPen(QColor(0, 60, 160));
        QPointF at(3, 25);
        if (laidOut) {
            p.drawText(at, text);
            return image;
        }
        if (!painter.draw(p, at, text, under))
            return QImage();
        EXPECT_NEAR(at.x() - 3, QFontMetricsF(font).horizontalAdvance(text), 0.01) << qPrintable(text);
        return image;
    };
    for (const QString &text :
         {QStringLiteral("12:34:56.789 "),
                         QStringLiteral("收到数据：{41 42 7E }AB~ é±"),
                                        QStringLiteral("发送数据：x[3次]"),
                                                       QStringLiteral("\u2400\u2401A\u2424\u2400")}) {
        const QImage drawn = render(text, false);
        EXPECT_NE(drawn, blank) << qPrintable(text);
        EXPECT_EQ(drawn, render(text, true)) << qPrintable(text);
        // Twice: the second from tiles made by the first.
        for (int pass = 0; pass < 2; ++pass)
            EXPECT_EQ(render(text, false, Qt::white), drawn) << qPrintable(text) << pass;
    }
    for (const QString &text :
         {QStringLiteral("e\u0301"),
                         QStringLiteral("\u05E9\u05DC\u05D5\u05DD"),
                                        QStringLiteral("a\tb"), QStringLiteral("\U0001F600")})
        EXPECT_TRUE(render(text, false).isNull()) << qPrintable(text);
}

TEST_F(LogViewTest, KeysSelectAndCopyAndClearEmptiesTheLog)
{
    for (const char *line : {"one", "two", "three", "four"})
        log.appendText(LineKind::Displayed, QString::fromLatin1(line));
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Home);
    QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("one\ntwo\nthree"));
    // Assistive technology reads the rows on screen, offsets clamped.
    QAccessibleInterface *a11y = QAccessible::queryAccessibleInterface(view);
    ASSERT_TRUE(a11y && a11y->textInterface());
    EXPECT_EQ(a11y->textInterface()->text(-5, 1 << 30), QStringLiteral("one\ntwo\nthree\nfour"));
    int from = -1, to = -1;
    a11y->textInterface()->selection(0, &from, &to);
    EXPECT_EQ(QStringView(view->text()).mid(from, to - from), QStringLiteral("one\ntwo\nthree"));
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(view->selectedText(), view->text());
    // Typing does not change the log.
    QTest::keyClicks(view, QStringLiteral("xyz"));
    EXPECT_EQ(view->text(), QStringLiteral("one\ntwo\nthree\nfour"));

    view->clearLog();
    EXPECT_EQ(log.count(), 0);
    EXPECT_EQ(view->rowCount(), 0);
    EXPECT_FALSE(view->hasSelection());
    log.appendText(LineKind::Displayed, QStringLiteral("after"));
    EXPECT_EQ(view->text(), QStringLiteral("after"));
}

TEST_F(LogViewTest, FindCountsMatchesInTheBytesAndFilterHidesRows)
{
    log.append(LineKind::Received, "Hello world", false);
    log.append(LineKind::Sent, QByteArray("\x00\xff\x41", 3), true);
    log.appendText(LineKind::Notice, QStringLiteral("hello again and hello"));
    log.append(LineKind::Sent, "sent by a script: hello", false, true);
    // A match across the log's blocks within one record.
    QByteArray across(EndpointLog::BlockSize + 10, '.');
    across.replace(EndpointLog::BlockSize - log.streamSize() - 2, 5, "HELLO");
    log.append(LineKind::Received, across, false);

    struct Case
    {
        QString text;
        bool hex, caseSensitive;
        qsizetype matches;
    } cases[] = {
        {QStringLiteral("hello"), false, false, 4},  // not the hidden record
        {QStringLiteral("hello"), false, true, 2},
        {QStringLiteral("FF 41"), true, false, 1},
        {QStringLiteral("ff41"), true, false, 1},
        {QStringLiteral("nowhere"), false, false, 0},
    };
    for (const Case &c : cases) {
        find(c.text, c.hex, c.caseSensitive);
        EXPECT_EQ(bar->matchCount(), c.matches) << c.text.toStdString();
    }
    // Enter and Shift+Enter move within a record (the notice holds two),
    // across records and round either end.
    find(QStringLiteral("hello"));
    const struct
    {
        bool back;
        qsizetype index;
    } moves[] = {{false, 1}, {false, 2}, {false, 3}, {false, 0}, {true, 3}, {true, 2}, {true, 1}, {false, 2}};
    for (const auto &m : moves) {
        QTest::keyClick(bar_<QLineEdit>("FindText"), Qt::Key_Return,
                        m.back ? Qt::ShiftModifier : Qt::NoModifier);
        EXPECT_EQ(bar->currentMatch(), m.index);
    }
    // New rows are counted; the current match keeps its place.
    log.append(LineKind::Received, "hello", false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->matchCount() == 5; }, 5000));
    EXPECT_EQ(bar_<QLabel>("FindCount")->text(), QStringLiteral("3/5"));
    QTest::keyClick(bar_<QLineEdit>("FindText"), Qt::Key_Return);
    QTest::keyClick(bar_<QLineEdit>("FindText"), Qt::Key_Return);
    EXPECT_EQ(bar_<QLabel>("FindCount")->text(), QStringLiteral("5/5"));

    bar_<QCheckBox>("OnlyMatching")->setChecked(true);
    EXPECT_EQ(view->rowCount(), 4);
    bar_<QCheckBox>("ShowExtra")->setChecked(true);
    EXPECT_EQ(view->rowCount(), 5);
    EXPECT_EQ(bar->matchCount(), 6);
    bar_<QCheckBox>("OnlyMatching")->setChecked(false);
    bar_<QCheckBox>("ShowReceived")->setChecked(false);
    EXPECT_EQ(view->rowCount(), 3);
    bar_<QCheckBox>("ShowSent")->setChecked(false);  // the script's SEND too
    EXPECT_EQ(view->rowCount(), 1);
    EXPECT_EQ(log.count(), 6);  // hidden, not deleted
}

// The found text is marked where it shows in the row, in the case asked.
TEST_F(LogViewTest, FoundTextIsMarkedInTheCaseAsked)
{
    log.append(LineKind::Received, "hello HELLO", false);
    settle();
    const auto marked = [&](bool caseSensitive) {
        find(QStringLiteral("hello"), false, caseSensitive);
        const QImage image = view->viewport()->grab().toImage();
        qsizetype n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += image.pixelColor(x, y) == QColor(255, 180, 60) ? 1 : 0;
        return n;
    };
    const qsizetype either = marked(false), exact = marked(true);
    EXPECT_GT(exact, 0);
    EXPECT_LT(exact, either * 3 / 4);
}

TEST_F(LogViewTest, SavesInEachFormThroughTheDialogAndTellsAFailure)
{
    log.append(LineKind::Received, "ab", false);
    log.append(LineKind::Sent, "zz", false);
    log.append(LineKind::Received, QByteArray("\x00\n", 2), true);
    log.append(LineKind::Sent, "by script", false, true);
    saving.setEndpointName(QStringLiteral("c1"));
    QTemporaryDir dir;
    struct Case
    {
        int filter;
        const char *file;
        unsigned shown = LogView::ShowDefault;
    } cases[] = {{0, "t.txt"}, {1, "r.bin"}, {2, "j.jsonl"}, {0, "sent.txt", LogView::ShowSent}};
    QStringList filters;
    for (const Case &c : cases) {
        const QString path = dir.filePath(QLatin1String(c.file));
        view->setShown(c.shown);
        const QString shownText = view->text();
        DialogDriver driver([&](QDialog *d) {
            auto *fd = qobject_cast<QFileDialog *>(d);
            filters = fd->nameFilters();
            fd->selectNameFilter(filters.at(c.filter));
            fd->selectFile(path);
            return int(QDialog::Accepted);
        });
        saving.saveAction()->trigger();
        if (c.shown != LogView::ShowDefault) {
            // The filtered lines as they were when the save began, whatever
            // the filter and the log do while it runs.
            view->setShown(LogView::ShowDefault | LogView::ShowExtra);
            log.append(LineKind::Sent, "later", false);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!saving.isSaving(), 5000);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.file;
        const QByteArray content = file.readAll();
        switch (c.filter) {
        case 0:
            EXPECT_EQ(content, (shownText + u'\n').toUtf8());  // the lines shown
            break;
        case 1:
            EXPECT_EQ(content, QByteArray("ab\x00\n", 4));
            break;
        default:
            EXPECT_EQ(content.count('\n'), 4);  // every record, the script's too
            EXPECT_TRUE(content.contains("\"event\":\"send\""));
            EXPECT_TRUE(content.contains("\"hex\":\"000A\"") || content.contains("\"hex\":\"000a\""));
            EXPECT_TRUE(content.contains("\"endpoint\":\"c1\""));
        }
    }

    MessageRecorder messages;
    DialogDriver driver([&](QDialog *d) {
        auto *fd = qobject_cast<QFileDialog *>(d);
        fd->selectFile(dir.filePath(QStringLiteral("missing/dir/x.txt")));
        return int(QDialog::Accepted);
    });
    saving.saveAction()->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!saving.isSaving(), 5000);
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(messages.texts.first().contains(QStringLiteral("x.txt")));

    const QString live = dir.filePath(QStringLiteral("live.log"));
    DialogDriver liveDriver([&](QDialog *d) {
        qobject_cast<QFileDialog *>(d)->selectFile(live);
        return int(QDialog::Accepted);
    });
    saving.logToFileAction()->trigger();
    ASSERT_TRUE(saving.logToFileAction()->isChecked());
    // Logging to a file appends each new line as it arrives, extra records too.
    const qsizetype first = log.appendText(LineKind::Displayed, QStringLiteral("new one"));
    log.appendText(LineKind::Notice, QStringLiteral("refused"), true);
    settle();
    QFile file(live);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), (log.text(first) + QStringLiteral("\nrefused\n")).toUtf8());
}

}  // namespace
