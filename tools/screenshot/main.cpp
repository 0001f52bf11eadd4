// Makes the README's screenshot: starts the workbench on the demo project
// (the current directory's project.txt) under any platform, enters the
// workbench, lets the demo run for a moment and saves a grab of the window.
// Usage: wirelab-screenshot <output.png> [milliseconds]
#include "common/application.h"
#include "datawindow/tfrmdata.h"
#include "endpoints/endpointnode.h"
#include "endpoints/mainwindow.h"
#include "endpoints/tmysocket.h"
#include "endpoints/workbench.h"

#include <QPushButton>
#include <QTimer>

int main(int argc, char **argv)
{
    GuardedApplication app(argc, argv);
    GuardedApplication::setApplicationName(QStringLiteral("wirelab"));
    if (argc < 2)
        return 2;
    const QString output = QString::fromLocal8Bit(argv[1]);
    const int settle = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 1500;

    TForm1 form;
    form.show();
    // Clicks a panel button of the demo's endpoint, if the project has it.
    auto click = [&form](const QString &endpoint, const QString &button) {
        if (TMySocket *r = form.workbench().FindEndpointByName(endpoint)) {
            if (r->window)
                if (auto *b = r->window->findChild<QPushButton *>(button))
                    b->click();
        }
    };
    QObject::connect(&form, &TForm1::firstActivationDone, &form, [&] {
        form.suiButton1->click();  // 进入软件
        click(QStringLiteral("client"), QStringLiteral("connect"));
        QTimer::singleShot(settle / 3, &form, [&] {
            click(QStringLiteral("client"), QStringLiteral("send"));
            click(QStringLiteral("client"), QStringLiteral("send"));
            if (TMySocket *r = form.workbench().FindEndpointByName(QStringLiteral("client")))
                if (r->node)
                    form.TreeView1->setCurrentItem(r->node);
        });
        QTimer::singleShot(settle, &form, [&] {
            const bool ok = form.grab().save(output);
            QApplication::exit(ok ? 0 : 1);
        });
    });
    QTimer::singleShot(30000, &app, [] { QApplication::exit(3); });
    return app.exec();
}
