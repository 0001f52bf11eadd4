// wirelab: a TCP/UDP socket workbench that hosts the user's JavaScript.
// It reads ./project.txt (the list of script files) from the current directory.
#include "common/application.h"
#include "endpoints/mainwindow.h"

int main(int argc, char **argv)
{
    GuardedApplication app(argc, argv);
    GuardedApplication::setApplicationName(QStringLiteral("wirelab"));
    TForm1 form;
    form.show();
    return app.exec();
}
