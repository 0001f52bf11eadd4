#pragma once
// DataWindow: the data window of one endpoint, a child of the main window's
// MDI area. Status area, receive pane Memo2, send pane Memo3, hex box
// CheckBox2, repeat count, interval, timed send and the byte counters. Its
// caption is the endpoint's name.
//
// A view: what it shows comes from the endpoint's signals and its buttons
// run the workbench's operations on the endpoint; the endpoint's data (lines, counters, hex mode,
// state) stays in the endpoint. A window can be created without its
// controls (one of a burst of accepted connections, parked unseen): it
// builds them when it is first shown or ensureUi() is called.

#include "core/workbench/workbench.h"

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QWidget>

class Endpoint;
class LogFindBar;
class LogSaving;
class LogView;
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
class TimedSend;

class DataWindow : public QWidget
{
    Q_OBJECT
public:
    enum class Build {
        Now,
        WhenShown
    };
    DataWindow(Endpoint &endpoint, Build build, QWidget *parent = nullptr);
    ~DataWindow() override;

    // Null once the endpoint is gone.
    Endpoint *endpoint() const;

    // Builds the controls if they are not built yet.
    void ensureUi();
    bool hasUi() const { return m_hexBox != nullptr; }

    // "收：<received>字节，发:<sent>字节", as of the endpoint's last change.
    // The label itself is repainted at most every CounterDelayMs: a label
    // redrawn per received message cost more than the message.
    QString counterText() const;
    static constexpr int CounterDelayMs = 30;

    // Where the script's panel rows go (added at the top of the receive
    // area); both build the controls.
    QWidget *panelHost();
    QVBoxLayout *panelRowsLayout();

Q_SIGNALS:
    // "断开" of a TCP client or connection: the main window's stop command
    // runs on the selected endpoint, with sender as the button it disables.
    void stopRequested(QWidget *sender);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildUi();
    void followEndpoint();

    // Drawn from the endpoint.
    void refreshStatus();
    void showHexMode(bool on);
    void writeCounterText();
    void showCounter();
    void showNotice(const QString &text);

    // Handlers.
    void start();
    void stop();
    void toggleHexMode(bool on);
    void resetCounters();
    void sendTyped();
    void startTimedSend();
    void stopTimedSend();

    bool hexMode() const;
    // What the send pane holds, as the workbench sends it: its block, the
    // repeat count and the interval.
    SendRequest paneRequest();

    QPointer<Endpoint> m_endpoint;
    // The counters as of the endpoint's last change; their text is made
    // when the label is drawn (or asked for), not for every block.
    qint64 m_countedReceived = 0;
    qint64 m_countedSent = 0;
    QTimer *m_counterTimer;
    TimedSend *m_timedSend;  // its timer is Timer1
    bool m_statusPending = false;  // a refresh asked for before the controls existed

    // Controls (object names as the user knows them); null until built.
    QGroupBox *m_statusBox = nullptr;  // GroupBox1
    QLabel *m_stateLabel = nullptr;  // Label1
    QLabel *m_peerAddressLabel = nullptr;  // Label3
    QLabel *m_peerPortLabel = nullptr;  // Label4
    QLabel *m_localPortLabel = nullptr;  // Label6
    QLabel *m_securityLabel = nullptr;  // TlsSession: an encrypted connection's session
    QPushButton *m_startButton = nullptr;  // Button_5
    QPushButton *m_stopButton = nullptr;  // Button_6
    QWidget *m_panelHost = nullptr;  // Panel4
    QVBoxLayout *m_rowsLayout = nullptr;
    LogView *m_receivePane = nullptr;  // Memo2
    LogFindBar *m_findBar = nullptr;  // FindBar
    LogSaving *m_saving = nullptr;  // its progress bar is SaveProgress
    QGroupBox *m_sendBox = nullptr;  // GroupBox2
    QPlainTextEdit *m_sendPane = nullptr;  // Memo3
    QPushButton *m_sendButton = nullptr;  // Button_11
    QComboBox *m_repeatBox = nullptr;  // ComboBox2
    QLineEdit *m_intervalBox = nullptr;  // Edit_time
    QPushButton *m_timedSendButton = nullptr;  // suiButton1
    QPushButton *m_stopTimedSendButton = nullptr;  // suiButton2
    QLabel *m_counterLabel = nullptr;  // StatusBar2Panel0
    QCheckBox *m_hexBox = nullptr;  // CheckBox2
    QPushButton *m_resetButton = nullptr;  // Button_2
};
