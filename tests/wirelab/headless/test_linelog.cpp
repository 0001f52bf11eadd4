// The headless output holds a record's line until the event loop is about
// to wait: a log cleared or an endpoint removed before then still gets its
// lines written, in order.
#include "scriptedcore.h"

#include "core/endpoints/registry.h"
#include "core/endpoints/tcpclientendpoint.h"
#include "headless/linelog.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

TEST(LineLog, HeldLinesAreWrittenBeforeTheirRecordsGo)
{
    const struct
    {
        const char *what;
        std::function<void(EndpointRegistry &, Endpoint *)> drop;
    } cases[] = {
        {"log cleared", [](EndpointRegistry &, Endpoint *e) { e->log().clear(); }},
        {"endpoint removed", [](EndpointRegistry &r, Endpoint *e) { r.remove(e); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.log"));
        EndpointRegistry registry;
        LineLog log({false, true, path, QString()});
        log.follow(registry);
        Endpoint *e = TextTcpClient(registry, QStringLiteral("c"), 9);
        e->log().appendText(LineKind::Displayed, QStringLiteral("first"));
        e->log().appendText(LineKind::Displayed, QStringLiteral("second"));
        c.drop(registry, e);
        log.flush();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString out = QString::fromUtf8(file.readAll());
        EXPECT_TRUE(out.contains(QRegularExpression(QStringLiteral("c  first\n\\S+ c  second\n"))))
                    << out.toStdString();
    }
}
