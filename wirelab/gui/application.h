#pragma once
// QApplication whose notify() is the last line of defence: an exception that
// some handler failed to guard is reported instead of terminating the program.

#include <QApplication>

class GuardedApplication : public QApplication
{
public:
    GuardedApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};
