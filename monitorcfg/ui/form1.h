#pragma once
// The tool's one window: the port choice, the eight setting fields with
// their range checks, the configure and query buttons and the result box.

#include "configfields.h"

#include <QWidget>

#include <array>

class MonitorLink;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class Form1 : public QWidget
{
    Q_OBJECT

public:
    // preferredPort, when given, is put first in the port list and opened
    // instead of the first port found (a device path the platform does not
    // list, such as a pseudo-terminal).
    explicit Form1(const QString &preferredPort = QString(), QWidget *parent = nullptr);

    MonitorLink *link() const { return m_link; }
    ConfigFields fields() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    // Shows the translated caption, made to fit where a translation is longer.
    template<class W>
    void setCaption(W *widget, const QString &source, int padding);
    void setTabOrderChain();
    void formLoad(const QString &preferredPort);
    // Widens the port list's popup to its longest entry.
    void fitPortList();
    void openSelectedPort(const QString &entry);
    void textLostFocus(int field);
    void command1Click();
    void command2Click();
    void showConfigSuccess();
    void showConfigFailure();
    void showQueryResult(const QByteArray &reply);
    void showQueryFailure();
    void setResultText(const QString &text);

    QComboBox *m_combo1 = nullptr;
    std::array<QLineEdit *, 8> m_fields {};
    QPlainTextEdit *m_text9 = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    MonitorLink *m_link = nullptr;
};
