// Handlers run guarded: an escaping exception ends the handler, its text
// (ErrorText) goes to the error report, a box through the message seam, and
// the program carries on.
#include "guard.h"
#include "messageseam.h"
#include "testsupport.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <gtest/gtest.h>

#include <exception>
#include <functional>
#include <new>
#include <stdexcept>

namespace {

// Records the boxes instead of showing them, while alive.
struct BoxRecorder
{
    QStringList texts;
    QStringList titles;
    std::function<void()> inBox;  // runs inside the "box"
    MessageSeam::Handler previous;

    BoxRecorder()
        : previous(MessageSeam::setHandler([this](const QString &text, const QString &title) {
              texts << text;
              titles << title;
              if (inBox)
                  inBox();
          }))
    {}
    ~BoxRecorder() { MessageSeam::setHandler(std::move(previous)); }
};

// Replaces the error observer while alive.
struct ObserverScope
{
    explicit ObserverScope(ErrorObserver o) { SetErrorObserver(std::move(o)); }
    ~ObserverScope() { SetErrorObserver({}); }
};

// A std::exception with any bytes as what(), like the programs' own errors
// (their what() is the message in UTF-8).
class BytesError : public std::exception
{
public:
    explicit BytesError(QByteArray bytes) : m_bytes(std::move(bytes)) {}
    const char *what() const noexcept override { return m_bytes.constData(); }

private:
    QByteArray m_bytes;
};

const QString Unknown = QString::fromUtf8("未知错误");
const QString Chinese = QString::fromUtf8("ReferenceError: 中文 is not defined (line 2)");

struct Case
{
    const char *name;
    std::function<void()> raise;
    QString text;  // what the box shows
};

const Case Cases[] = {
    {"utf8 what()", [] { throw BytesError(Chinese.toUtf8()); }, Chinese},
    {"runtime_error", [] { throw std::runtime_error("send fail"); }, QStringLiteral("send fail")},
     {"utf8 runtime_error", [] { throw std::runtime_error(QString::fromUtf8("连接失败!").toStdString()); },
      QString::fromUtf8("连接失败!")},
     {"empty what()", [] { throw BytesError(QByteArray()); }, QString()},
     {"bad_alloc", [] { throw std::bad_alloc(); }, QString::fromUtf8(std::bad_alloc().what())},
     {"int", [] { throw 42; }, Unknown},
     {"QString", [] { throw QStringLiteral("not a std::exception"); }, Unknown},
};

TEST(Guard, ErrorTextIsWhatInUtf8OrUnknownError)
{
    for (const Case &c : Cases) {
        SCOPED_TRACE(c.name);
        std::exception_ptr error;
        try {
            c.raise();
        } catch (...) {
            error = std::current_exception();
        }
        ASSERT_TRUE(error);
        EXPECT_EQ(ErrorText(error), c.text);
    }
}

TEST(Guard, EscapingExceptionsAreReportedWithTheirTextInABox)
{
    BoxRecorder boxes;
    EXPECT_TRUE(Guarded([] {}));
    EXPECT_TRUE(boxes.texts.isEmpty());

    QStringList expected;
    for (const Case &c : Cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(Guarded(c.raise));
        expected << c.text;
    }
    EXPECT_EQ(boxes.texts, expected);
    // No title of its own: the box bears the program's name.
    EXPECT_EQ(boxes.titles, QStringList(int(expected.size()), QString()));
}

TEST(Guard, TheObserverSeesEveryReportedExceptionBeforeItsBox)
{
    BoxRecorder boxes;
    QStringList order;
    boxes.inBox = [&] { order << QStringLiteral("box"); };
    ObserverScope scope([&](std::exception_ptr error) {
        order << QStringLiteral("observer: ") + ErrorText(error);
        // The exception itself, not a copy of its text.
        try {
            std::rethrow_exception(error);
        } catch (const std::out_of_range &) {
            order << QStringLiteral("out_of_range");
        } catch (...) {}
    });

    EXPECT_TRUE(Guarded([] {}));
    EXPECT_FALSE(Guarded([] { throw std::out_of_range("index"); }));
    EXPECT_FALSE(Guarded([] { throw 42; }));
    EXPECT_EQ(order,
              (QStringList {QStringLiteral("observer: index"),
                  QStringLiteral("out_of_range"),
                      QStringLiteral("box"), QStringLiteral("observer: ") + Unknown, QStringLiteral("box")}));

    // A new observer replaces the previous one.
    int second = 0;
    SetErrorObserver([&](std::exception_ptr) { ++second; });
    order.clear();
    EXPECT_FALSE(Guarded([] { throw std::runtime_error("again"); }));
    EXPECT_EQ(second, 1);
    EXPECT_EQ(order, QStringList {QStringLiteral("box")});
    EXPECT_EQ(boxes.texts.last(), QStringLiteral("again"));
}

TEST(Guard, ReportingItselfNeverThrows)
{
    {
        BoxRecorder boxes;
        boxes.inBox = [] { throw std::runtime_error("the box failed"); };
        EXPECT_FALSE(Guarded([] { throw std::runtime_error("first"); }));
        EXPECT_EQ(boxes.texts, QStringList {QStringLiteral("first")});
    }
    {
        BoxRecorder boxes;
        ObserverScope scope([](std::exception_ptr) { throw 1; });
        EXPECT_FALSE(Guarded([] { throw std::runtime_error("second"); }));
    }
}

TEST(Guard, ASlotThatThrowsEndsAndTheEventLoopGoesOn)
{
    BoxRecorder boxes;
    QTimer failing, counting;
    int ran = 0, after = 0, ticks = 0;
    failing.setSingleShot(true);
    QObject::connect(&failing, &QTimer::timeout, &failing, guard([&] {
        ++ran;
        throw BytesError(QString::fromUtf8("连接失败!").toUtf8());
        ++after;
    }));
    QObject::connect(&counting, &QTimer::timeout, &counting, guard([&] { ++ticks; }));
    failing.start(0);
    counting.start(5);
    EXPECT_TRUE(WaitFor([&] { return ran == 1 && ticks >= 3; }, 5000));
    EXPECT_EQ(after, 0);
    EXPECT_EQ(boxes.texts, QStringList {QString::fromUtf8("连接失败!")});

    // A handler that takes the signal's argument gets it through the guard.
    int value = 0;
    auto withArgument = guard([&](int v) { value = v; });
    withArgument(7);
    EXPECT_EQ(value, 7);
}

}  // namespace
