#include "gui/application.h"
#include "guard.h"

GuardedApplication::GuardedApplication(int &argc, char **argv)
    : LanguageCountingApplication<QApplication>(argc, argv)
{}

bool GuardedApplication::notify(QObject *receiver, QEvent *event)
{
    bool result = false;
    Guarded([&] { result = QApplication::notify(receiver, event); });
    return result;
}
