#include "form1.h"
#include "formlayout.h"
#include "testsupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class FormTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }
    QLineEdit *text(int n) { return form.findChild<QLineEdit *>(QStringLiteral("Text%1").arg(n)); }

    // Types into field n, then moves the focus on as a user would.
    QString leave(int n, const QString &typed)
    {
        QLineEdit *field = text(n);
        field->setFocus();
        field->setText(typed);
        form.findChild<QPushButton *>("Command2")->setFocus();
        return field->text();
    }

    Form1 form;
};

}  // namespace

TEST(FormLayout, TwipsBecomePixelsAtTheScreenResolution)
{
    EXPECT_EQ(TwipsToPixels(QRect(1680, 1080, 1095, 375), 96, 96), QRect(112, 72, 73, 25));
    EXPECT_EQ(TwipsToPixels(QRect(1680, 1080, 1095, 375), 192, 144), QRect(224, 108, 146, 38));
    EXPECT_EQ(TwipsToPixels(kFormTwips.width(), 96), 469);
}

TEST_F(FormTest, CaptionControlsAndStartTexts)
{
    EXPECT_EQ(form.windowTitle(), QStringLiteral("接地电阻在线监测仪配置工具"));
    const std::array<QString, 8> start {"(0-255)", "(0-255)", "", "", "", "", "", "(10-65535)"};
    for (int n = 1; n <= 8; ++n) {
        ASSERT_NE(text(n), nullptr) << n;
        EXPECT_EQ(text(n)->text(), start[n - 1]) << n;
    }
    ASSERT_NE(form.findChild<QComboBox *>("Combo1"), nullptr);
    ASSERT_NE(form.findChild<QPlainTextEdit *>("Text9"), nullptr);
    EXPECT_TRUE(form.findChild<QPlainTextEdit *>("Text9")->toPlainText().isEmpty());
    EXPECT_EQ(form.findChild<QPushButton *>("Command1")->text(), QStringLiteral("配置"));
    EXPECT_EQ(form.findChild<QPushButton *>("Command2")->text(), QStringLiteral("查询"));
    EXPECT_EQ(form.findChild<QLabel *>("Label7")->text(), QStringLiteral("串口号:"));
    EXPECT_EQ(form.findChild<QLabel *>("Label5")->text(), QStringLiteral("在线时间:"));
    EXPECT_EQ(form.findChild<QLabel *>("Label6")->text(), QStringLiteral("秒(S)"));
    const QList<QLabel *> dashes = form.findChildren<QLabel *>("Label2");
    ASSERT_EQ(dashes.size(), 4);
    for (QLabel *dash : dashes)
        EXPECT_EQ(dash->text(), "-");
}

TEST_F(FormTest, EveryControlSitsWhereItsTwipsSay)
{
    const qreal dx = form.logicalDpiX(), dy = form.logicalDpiY();
    for (const ControlPlacement &p : FormPlacements()) {
        QWidget *found = nullptr;
        const QList<QWidget *> named = form.findChildren<QWidget *>(p.name);
        for (QWidget *w : named)
            if (p.index < 0 || w->property("index").toInt() == p.index)
                found = w;
        ASSERT_NE(found, nullptr) << p.name.toStdString();
        EXPECT_EQ(found->geometry(), TwipsToPixels(p.twips, dx, dy)) << p.name.toStdString();
    }
}

TEST_F(FormTest, FontsAreSizedAndCanShowChinese)
{
    const QFont label = form.findChild<QLabel *>("Label7")->font();
    EXPECT_DOUBLE_EQ(label.pointSizeF(), 15.75);
    EXPECT_TRUE(label.bold());
    const QFont field = text(1)->font();
    EXPECT_DOUBLE_EQ(field.pointSizeF(), 12);
    EXPECT_FALSE(field.bold());
    EXPECT_TRUE(form.findChild<QPlainTextEdit *>("Text9")->font().bold());
    if (!QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty()) {
        EXPECT_TRUE(QFontDatabase::writingSystems(label.family()).contains(QFontDatabase::SimplifiedChinese))
            << label.family().toStdString();
    }
}

TEST_F(FormTest, TabWalksTheFocusOrder)
{
    const QStringList order {"Text1", "Text2",    "Text3",    "Text4", "Text5",  "Text6", "Text7",
                             "Text8", "Command1", "Command2", "Text9", "Combo1", "Text1"};
    text(1)->setFocus();
    ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() == text(1); }, 2000));
    for (int i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *now = QApplication::focusWidget();
        // The editable port choice gives the focus to its line edit.
        if (now && now->parentWidget() && now->parentWidget()->objectName() == "Combo1")
            now = now->parentWidget();
        ASSERT_NE(now, nullptr);
        EXPECT_EQ(now->objectName(), order[i]) << "after " << order[i - 1].toStdString();
    }
}

TEST_F(FormTest, LeavingAFieldClampsItToItsRange)
{
    EXPECT_EQ(leave(1, "300"), "255");
    EXPECT_EQ(leave(1, "-7"), "0");
    EXPECT_EQ(leave(5, "0"), "1");
    EXPECT_EQ(leave(5, "256"), "255");
    EXPECT_EQ(leave(7, "70000"), "65535");
    EXPECT_EQ(leave(8, "5"), "10");
    EXPECT_EQ(leave(3, "abc"), "1");
    EXPECT_EQ(leave(8, "(10-65535)"), "10");
}

TEST_F(FormTest, LeavingAFieldKeepsWhatIsInRangeOrEmpty)
{
    EXPECT_EQ(leave(1, "(0-255)"), "(0-255)");
    EXPECT_EQ(leave(1, "007"), "007");
    EXPECT_EQ(leave(2, "12.5x"), "12.5x");
    EXPECT_EQ(leave(4, ""), "");
    EXPECT_EQ(leave(7, "abc"), "abc");
}

TEST_F(FormTest, ThePortBoxShowsAWholeDevicePath)
{
    auto *combo = form.findChild<QComboBox *>("Combo1");
    ASSERT_NE(combo, nullptr);
    const QString usual = QStringLiteral("/dev/ttyUSB10");
    const QString longest = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    combo->addItem(usual);
    combo->addItem(longest);
    combo->setCurrentText(usual);
    EXPECT_GE(combo->lineEdit()->width(), combo->lineEdit()->fontMetrics().horizontalAdvance(usual));
    combo->setCurrentIndex(combo->findText(longest));
    EXPECT_EQ(combo->toolTip(), longest);
    EXPECT_GE(combo->view()->minimumWidth(), combo->view()->fontMetrics().horizontalAdvance(longest));
}
