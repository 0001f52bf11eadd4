#pragma once
// TFrmData: the data window of one endpoint, a child of the main window's MDI
// area. Status area with RefreshStatus, receive pane Memo2, send pane Memo3,
// hex mode CheckBox2, repeat count, interval, timed send and the byte
// counters. Its caption is the endpoint's name.

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTimer;
class QVBoxLayout;
class LogPane;
class TMySocket;
class Workbench;

class TFrmData : public QWidget
{
    Q_OBJECT
public:
    explicit TFrmData(Workbench &wb, QWidget *parent = nullptr);
    ~TFrmData() override;

    // The endpoint that owns this window; cleared when the record goes.
    TMySocket *MySocket = nullptr;
    // Bytes received / handed to the send routine since creation or reset.
    qint64 RecvCount = 0;
    qint64 SentCount = 0;

    QString name() const { return windowTitle(); }
    void setName(const QString &name) { setWindowTitle(name); }

    bool hexMode() const;
    void setHexMode(bool on);

    // Rewrites the status area from the record.
    void RefreshStatus();
    // Appends one line to the receive pane.
    void AppendLine(const QString &line);
    // "收：<RecvCount>字节，发:<SentCount>字节" into the counter panel. The
    // panel itself is repainted at most every CounterDelayMs (a label redrawn
    // per received message cost more than the message); CounterText() is
    // always the text of the last write.
    void WriteCounterText();
    QString CounterText() const { return m_counterText; }
    static constexpr int CounterDelayMs = 30;

    // Sends one block through the endpoint, by its kind.
    void SendData(const QByteArray &block);
    // The block in the send pane: text as locale 8-bit with CR LF line
    // breaks, or HexTextToStr of it in hex mode.
    QByteArray TakeBlock() const;

    // Where the script's panel rows go (rows are added at the top).
    QWidget *panelHost() const;
    QVBoxLayout *panelRowsLayout() const { return m_rowsLayout; }

    Workbench &workbench() { return m_wb; }

    // Handlers, named after their controls.
    void Button_5Click();
    void Button_6MouseUp();
    void Button_2Click();
    void CheckBox2Change();
    void Button_11Click();
    void suiButton1Click();
    void suiButton2Click();
    void Timer1Timer();

    // Controls (object names as the user knows them).
    QGroupBox *GroupBox1;
    QLabel *Label1;
    QLabel *Label3;
    QLabel *Label4;
    QLabel *Label6;
    QPushButton *Button_5;
    QPushButton *Button_6;
    QWidget *Panel4;
    QGroupBox *GroupBox3;
    LogPane *Memo2;
    QGroupBox *GroupBox2;
    QPlainTextEdit *Memo3;
    QPushButton *Button_11;
    QComboBox *ComboBox2;
    QLineEdit *Edit_time;
    QPushButton *suiButton1;
    QPushButton *suiButton2;
    QStatusBar *StatusBar2;
    QLabel *CounterPanel;
    QCheckBox *CheckBox2;
    QPushButton *Button_2;
    QTimer *Timer1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildUi();
    void showCounter();
    // One repetition loop of a send (manual or timed); see senddata.cpp.
    void sendRepeated(const QByteArray &block, const QString &countText, bool processEvents);

    Workbench &m_wb;
    QVBoxLayout *m_rowsLayout = nullptr;
    int m_sendDepth = 0;
    QString m_counterText;
    QTimer *m_counterTimer = nullptr;
};
