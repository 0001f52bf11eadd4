#include "support.h"

#include "core/script/scriptengine.h"
#include "core/script/scripthost.h"
#include "gui/mainwindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace Bench {

bool SpinUntil(const std::function<bool()> &pred, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    // Sleeps in the event loop between checks (a busy loop would take a core
    // from the load generator); the poll timer bounds each sleep.
    QTimer poll;
    poll.start(5);
    while (!pred()) {
        if (t.elapsed() >= timeoutMs)
            return pred();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void SpinFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QString RunChild(const QStringList &command, int timeoutMs, bool *ok)
{
    *ok = false;
    if (command.isEmpty())
        return {};
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QEventLoop loop;
    QObject::connect(&child, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&child, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(timeoutMs);
    child.start(command.first(), command.mid(1));
    loop.exec();
    if (child.state() != QProcess::NotRunning) {
        child.kill();
        child.waitForFinished(2000);
        std::printf("error=child-timeout\n");
        return QString::fromLocal8Bit(child.readAllStandardOutput());
    }
    *ok = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
    return QString::fromLocal8Bit(child.readAllStandardOutput());
}

long long ScriptNumber(MainWindow &form, const QString &global)
{
    try {
        return form.scriptHost().engine().evalScript(global).toLongLong();
    } catch (...) {
        return 0;
    }
}

bool StartForm(MainWindow *&form, const QString &projectFile, qint64 *activationNs)
{
    const QFileInfo info(projectFile);
    QDir::setCurrent(info.absolutePath());
    QElapsedTimer t;
    t.start();
    form = new MainWindow(info.fileName());
    form->resize(1024, 700);
    bool activated = false;
    QObject::connect(form, &MainWindow::firstActivationDone, form, [&] { activated = true; });
    form->show();
    if (!SpinUntil([&] { return activated; }, 120000))
        return false;
    if (activationNs)
        *activationNs = t.nsecsElapsed();
    // The welcome panel's own button: data windows have a suiButton1 too.
    if (auto *welcome = form->findChild<QWidget *>(QStringLiteral("Panel3")))
        if (auto *enter = welcome->findChild<QPushButton *>(QStringLiteral("suiButton1")))
            enter->click();  // 进入软件
    return true;
}

void Print(const QString &key, double value, int decimals)
{
    std::printf("%s=%.*f\n", qPrintable(key), decimals, value);
    std::fflush(stdout);
}

void Print(const QString &key, const QString &value)
{
    std::printf("%s=%s\n", qPrintable(key), qPrintable(value));
    std::fflush(stdout);
}

}  // namespace Bench
