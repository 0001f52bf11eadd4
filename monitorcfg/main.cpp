// monitorcfg: configures a grounding-resistance online monitor over a serial
// port. The program takes no arguments. MONITORCFG_PORT, when set, names a
// port or device path to list first and open (used by the simulator demo).

#include "form1.h"
#include "messagebox.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("monitorcfg"));
    InstallMessageBox();
    Form1 form(qEnvironmentVariable("MONITORCFG_PORT"));
    form.show();
    return app.exec();
}
