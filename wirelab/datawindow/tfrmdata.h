#pragma once
// TFrmData: the data window of one endpoint, a child of the main window's MDI
// area. Status area with RefreshStatus, receive pane Memo2, send pane Memo3,
// hex mode CheckBox2, repeat count, interval, timed send and the byte
// counters. Its caption is the endpoint's name.
//
// A window can be created without its controls (one of a burst of accepted
// connections, parked unseen): it then keeps its state (lines, counters, hex
// mode) and builds the controls when it is first shown or ensureUi() is
// called. Until then the control pointers below are null.

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QStringList>
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
    enum class Build { Now, WhenShown };
    explicit TFrmData(Workbench &wb, QWidget *parent = nullptr, Build build = Build::Now);
    ~TFrmData() override;

    // Builds the controls if they are not built yet, with the state kept.
    void ensureUi();
    bool hasUi() const { return CheckBox2 != nullptr; }

    // The endpoint that owns this window; cleared when the record goes.
    TMySocket *MySocket = nullptr;
    // Bytes received / handed to the send routine since creation or reset.
    qint64 RecvCount = 0;
    qint64 SentCount = 0;

    // The caption, kept beside the window title and in the workbench's index
    // of names: endpoints are looked up by it for every action naming one.
    const QString &name() const { return m_name; }
    void setName(const QString &name);

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

    // Where the script's panel rows go (rows are added at the top); builds
    // the controls.
    QWidget *panelHost();
    QVBoxLayout *panelRowsLayout();

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
    QGroupBox *GroupBox1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label6 = nullptr;
    QPushButton *Button_5 = nullptr;
    QPushButton *Button_6 = nullptr;
    QWidget *Panel4 = nullptr;
    QGroupBox *GroupBox3 = nullptr;
    LogPane *Memo2 = nullptr;
    QGroupBox *GroupBox2 = nullptr;
    QPlainTextEdit *Memo3 = nullptr;
    QPushButton *Button_11 = nullptr;
    QComboBox *ComboBox2 = nullptr;
    QLineEdit *Edit_time = nullptr;
    QPushButton *suiButton1 = nullptr;
    QPushButton *suiButton2 = nullptr;
    QStatusBar *StatusBar2 = nullptr;
    QLabel *CounterPanel = nullptr;
    QCheckBox *CheckBox2 = nullptr;
    QPushButton *Button_2 = nullptr;
    QTimer *Timer1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildUi();
    void showCounter();
    // One repetition loop of a send (manual or timed); see senddata.cpp.
    void sendRepeated(const QByteArray &block, const QString &countText, bool processEvents);

    Workbench &m_wb;
    QPointer<Workbench> m_names;   // the index of names, while it exists
    QVBoxLayout *m_rowsLayout = nullptr;
    int m_sendDepth = 0;
    QString m_name;
    QString m_counterText;
    QTimer *m_counterTimer = nullptr;
    // State kept while the controls are not built.
    bool m_hex = true;               // the design's hex box is checked
    bool m_statusPending = false;    // a RefreshStatus asked for meanwhile
    QStringList m_pendingLines;
};
