#pragma once
// TForm1: the main window of wirelab. Toolbar with the commands, the endpoint
// tree with its five kind roots on the left, the MDI area of the data windows
// on the right under a welcome panel, and the 100 ms tick of the script
// timers. Its creation makes the registry and the script engine and loads
// the project's scripts; its first activation builds the script workspace.

#include <QWidget>
#include <memory>

class LogPane;
class QLabel;
class QMdiArea;
class QPushButton;
class QStackedLayout;
class QStatusBar;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class Workbench;
class EndpointCommands;

class TForm1 : public QWidget
{
    Q_OBJECT
public:
    // projectFile: the list of script files (./project.txt by default).
    explicit TForm1(const QString &projectFile = QStringLiteral("project.txt"),
                    QWidget *parent = nullptr);
    ~TForm1() override;

    Workbench &workbench() { return *m_wb; }
    EndpointCommands &commands() { return *m_commands; }

    bool welcomeVisible() const;
    void setWelcomeVisible(bool visible);

    // Handlers, named after their controls.
    void Button1Click();   // 创建
    void Button2Click();   // 删除
    void Button6Click(QWidget *sender);  // the hidden stop button
    void Button8Click();   // 退出
    void suiButton1Click();  // 进入软件
    void Timer1Timer();
    void TreeView1Change(QTreeWidgetItem *node);
    // Shows or hides the script output pane.
    void toggleScriptOutput();

    QPushButton *Button1;
    QPushButton *Button2;
    QPushButton *Button5;
    QPushButton *Button6;
    QPushButton *Button8;
    QWidget *Panel2;
    QLabel *LoadingLabel;
    QTreeWidget *TreeView1;
    QWidget *Panel3;
    QPushButton *suiButton1;
    QMdiArea *MdiArea;
    QStatusBar *StatusBar1;
    // What the scripts print and how they fail, as on standard output and
    // error; hidden until the user shows it or loading the scripts or
    // building the workspace fails. It never takes the focus.
    LogPane *ScriptOutputPane;
    QPushButton *ScriptOutputButton;
    QTimer *Timer1;

Q_SIGNALS:
    void firstActivationDone();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildUi();
    void buildWelcomePanel();
    void firstActivation();

    std::unique_ptr<Workbench> m_wb;
    std::unique_ptr<EndpointCommands> m_commands;
    QStackedLayout *m_rightStack = nullptr;
    bool m_activatedOnce = false;
};
