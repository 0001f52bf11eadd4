// Makes the README's screenshot: starts the workbench on the demo project
// (the current directory's project.txt) under any platform, enters the
// workbench, lets the demo run for a moment and saves a grab of the window.
// With a find text, the client's data window shows its find bar with it,
// the extra records shown (the script's heartbeat sends among them).
// Usage: wirelab-screenshot <output.png> [milliseconds] [find text]
#include "core/endpoints/endpoint.h"
#include "core/endpoints/registry.h"
#include "gui/application.h"
#include "gui/datawindow.h"
#include "gui/logfindbar.h"
#include "gui/mainwindow.h"
#include "gui/messagebox.h"
#include "uilanguage.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

int main(int argc, char **argv)
{
    GuardedApplication app(argc, argv);
    GuardedApplication::setApplicationName(QStringLiteral("wirelab"));
    // As the program does: an English environment gets English screenshots.
    InstallUiTranslation(QStringLiteral("wirelab"));
    installMessageBox();
    if (argc < 2)
        return 2;
    const QString output = QString::fromLocal8Bit(argv[1]);
    const int settle = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 1500;
    const QString findText = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();

    MainWindow form;
    form.show();
    // Clicks a panel button of the demo's endpoint, if the project has it.
    auto click = [&form](const QString &endpoint, const QString &button) {
        if (Endpoint *e = form.registry().findByName(endpoint)) {
            if (DataWindow *w = form.dataWindow(e)) {
                // Panel rows live in the window's controls: build them first.
                w->ensureUi();
                if (auto *b = w->findChild<QPushButton *>(button))
                    b->click();
            }
        }
    };
    QObject::connect(&form, &MainWindow::firstActivationDone, &form, [&] {
        // The welcome panel's own button: data windows have a suiButton1 too.
        if (auto *welcome = form.findChild<QWidget *>(QStringLiteral("Panel3")))
            if (auto *enter = welcome->findChild<QPushButton *>(QStringLiteral("suiButton1")))
                enter->click();  // 进入软件
        click(QStringLiteral("client"), QStringLiteral("connect"));
        QTimer::singleShot(settle / 3, &form, [&] {
            click(QStringLiteral("client"), QStringLiteral("send"));
            click(QStringLiteral("client"), QStringLiteral("send"));
            if (Endpoint *e = form.registry().findByName(QStringLiteral("client")))
                form.selectEndpoint(e);
        });
        if (!findText.isEmpty()) {
            QTimer::singleShot(settle * 2 / 3, &form, [&] {
                Endpoint *e = form.registry().findByName(QStringLiteral("client"));
                DataWindow *w = e ? form.dataWindow(e) : nullptr;
                auto *bar = w ? w->findChild<LogFindBar *>(QStringLiteral("FindBar")) : nullptr;
                if (!bar)
                    return;
                bar->activate();
                if (auto *box = bar->findChild<QLineEdit *>(QStringLiteral("FindText")))
                    box->setText(findText);
                if (auto *extra = bar->findChild<QCheckBox *>(QStringLiteral("ShowExtra")))
                    extra->setChecked(true);
            });
        }
        QTimer::singleShot(settle, &form, [&] {
            const bool ok = form.grab().save(output);
            QApplication::exit(ok ? 0 : 1);
        });
    });
    QTimer::singleShot(30000, &app, [] { QApplication::exit(3); });
    return app.exec();
}
