#pragma once
// QApplication whose notify() is the last line of defence: an exception that
// some handler failed to guard is reported instead of terminating the program.
// It counts the changes of its translators (uilanguage.h).

#include "uilanguage.h"

#include <QApplication>

class GuardedApplication : public LanguageCountingApplication<QApplication>
{
public:
    GuardedApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};
