#pragma once
// The MDI frame of a data window: its close box only minimizes it; the window
// lives as long as its endpoint.

#include <QMdiSubWindow>

class DataSubWindow : public QMdiSubWindow
{
    Q_OBJECT
public:
    using QMdiSubWindow::QMdiSubWindow;

protected:
    void closeEvent(QCloseEvent *event) override;
};
