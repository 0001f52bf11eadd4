#include "messageseam.h"

#include <QCoreApplication>

#include <cstdio>

namespace MessageSeam {

namespace {
Handler &current()
{
    static Handler handler;
    return handler;
}
}  // namespace

Handler setHandler(Handler handler)
{
    Handler previous = std::move(current());
    current() = std::move(handler);
    return previous;
}

void show(const QString &text, const QString &title)
{
    if (current()) {
        // A copy: the handler may replace itself while its box is open.
        const Handler handler = current();
        handler(text, title);
        return;
    }
    QString line = QCoreApplication::applicationName();
    if (!line.isEmpty())
        line += QStringLiteral(": ");
    if (!title.isEmpty())
        line += title + QStringLiteral(": ");
    line += text;
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

}  // namespace MessageSeam
