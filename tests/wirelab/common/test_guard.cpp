// Handlers run guarded: an escaping exception ends the handler, its text goes
// to the error report (a message box), and the program carries on.
#include "common/errors.h"
#include "common/guard.h"
#include "seamrecorder.h"
#include "testsupport.h"

#include <QObject>
#include <QTimer>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(Guard, EscapingExceptionsAreReportedWithTheirText)
{
    MessageRecorder boxes;
    EXPECT_TRUE(Guarded([] {}));
    EXPECT_FALSE(Guarded([] { throw ScriptError(QString::fromUtf8("ReferenceError: 中文 is not defined (line 2)")); }));
    EXPECT_FALSE(Guarded([] { throw std::runtime_error("send fail"); }));
    EXPECT_FALSE(Guarded([] { throw 42; }));
    ASSERT_EQ(boxes.texts.size(), 3);
    EXPECT_EQ(boxes.texts.at(0), QString::fromUtf8("ReferenceError: 中文 is not defined (line 2)"));
    EXPECT_EQ(boxes.texts.at(1), QStringLiteral("send fail"));
    EXPECT_FALSE(boxes.texts.at(2).isEmpty());
}

TEST(Guard, ASlotThatThrowsEndsAndTheEventLoopGoesOn)
{
    MessageRecorder boxes;
    QTimer failing, counting;
    int ran = 0, after = 0, ticks = 0;
    failing.setSingleShot(true);
    QObject::connect(&failing, &QTimer::timeout, &failing, guard([&] {
                         ++ran;
                         throw WireError(QStringLiteral("连接失败!"));
                         ++after;
                     }));
    QObject::connect(&counting, &QTimer::timeout, &counting, guard([&] { ++ticks; }));
    failing.start(0);
    counting.start(5);
    EXPECT_TRUE(WaitFor([&] { return ran == 1 && ticks >= 3; }, 5000));
    EXPECT_EQ(after, 0);
    EXPECT_EQ(boxes.texts, QStringList{QStringLiteral("连接失败!")});

    // A handler that takes the signal's argument gets it through the guard.
    int value = 0;
    auto withArgument = guard([&](int v) { value = v; });
    withArgument(7);
    EXPECT_EQ(value, 7);
}

} // namespace
