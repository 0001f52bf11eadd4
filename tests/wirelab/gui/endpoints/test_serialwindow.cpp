// A serial port in the window: made by its dialog over a pseudo-terminal
// that the test plays the device on, opened and closed with the data
// window's buttons, its bytes in the receive pane and its sends on the line.
// What the endpoint itself does is tested in the core.
#include "dialogdriver.h"
#include "ptypair.h"
#include "scriptedwindow.h"
#include "testsupport.h"

#include "core/endpoints/endpoint.h"
#include "gui/datawindow.h"
#include "gui/logview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QString LabelText(ScriptedWindow &w, const Endpoint *e, const char *name)
{
    auto *label = w.control<QLabel>(e, name);
    return label ? label->text() : QStringLiteral("<missing>");
}

TEST(SerialWindow, TheDialogsPortOpensReceivesSendsAndClosesFromItsDataWindow)
{
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    ScriptedWindow w;
    ASSERT_TRUE(w.built);

    w.window().selectKindRoot(EndpointKind::Serial);
    DialogDriver driver([&](QDialog *d) {
        auto *port = d->findChild<QComboBox *>(QStringLiteral("portCombo"));
        auto *baud = d->findChild<QComboBox *>(QStringLiteral("baudCombo"));
        auto *ok = d->findChild<QPushButton *>(QStringLiteral("Button1"));
        if (!port || !baud || !ok)
            return int(QDialog::Rejected);
        port->setEditText(pty.path());
        baud->setEditText(QStringLiteral("115200"));
        ok->click();
        return d->result();
    });
    w.window().findChild<QPushButton *>(QStringLiteral("Button1"))->click();
    Endpoint *e = w.window().selectedEndpoint();
    ASSERT_NE(e, nullptr);
    ASSERT_EQ(e->kind(), EndpointKind::Serial);
    EXPECT_FALSE(e->isActive()) << "created closed";
    auto *open = w.control<QPushButton>(e, "Button_5");
    auto *close = w.control<QPushButton>(e, "Button_6");
    ASSERT_TRUE(open && close);
    EXPECT_EQ(open->text(), QStringLiteral("打开"));
    EXPECT_EQ(close->text(), QStringLiteral("关闭"));
    EXPECT_TRUE(open->isEnabled());
    EXPECT_FALSE(close->isEnabled());
    EXPECT_TRUE(LabelText(w, e, "Label3").contains(pty.path()));
    EXPECT_TRUE(LabelText(w, e, "Label4").contains(QStringLiteral("115200")));

    open->click();
    ASSERT_TRUE(WaitFor([&] { return e->isActive() && close->isEnabled(); }));
    EXPECT_FALSE(open->isEnabled());
    EXPECT_EQ(w.callsOf(QStringLiteral("OnConnect")).size(), 1);

    ASSERT_TRUE(pty.write("hello"));
    ASSERT_TRUE(WaitFor([&] {
        return w.pane(e)->lastLine().endsWith(QStringLiteral(" 收到数据：{68 65 6C 6C 6F }hello"));
    })) << w.pane(e)->lastLine().toStdString();
    EXPECT_EQ(w.callsOf(QStringLiteral("OnRead")).value(0),
                        QStringLiteral("OnRead|%1|68656C6C6F|0").arg(e->name()));

    // A new endpoint is in hex mode: the pane's hex reading goes out, as
    // often as asked.
    EXPECT_TRUE(w.control<QCheckBox>(e, "CheckBox2")->isChecked());
    w.control<QComboBox>(e, "ComboBox2")->setCurrentText(QStringLiteral("3"));
    w.control<QLineEdit>(e, "Edit_time")->setText(QStringLiteral("0"));
    w.control<QPlainTextEdit>(e, "Memo3")->setPlainText(QStringLiteral("410D"));
    w.control<QPushButton>(e, "Button_11")->click();
    EXPECT_EQ(pty.read(6), QByteArray("A\rA\rA\r"));
    EXPECT_EQ(e->sentBytes(), 6);

    // "关闭" acts when the mouse button is released over it.
    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_FALSE(e->isActive());
    EXPECT_TRUE(WaitFor([&] { return open->isEnabled() && !close->isEnabled(); }));
    EXPECT_EQ(w.callsOf(QStringLiteral("OnDisConnect")).size(), 1);
    EXPECT_TRUE(w.messages.texts.isEmpty()) << w.messages.texts.join(u'\n').toStdString();
}

}  // namespace
