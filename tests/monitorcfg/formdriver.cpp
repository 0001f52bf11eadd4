#include "formdriver.h"

#include "testsupport.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

QLineEdit *Field(Form1 &form, int n) { return form.findChild<QLineEdit *>(QStringLiteral("Text%1").arg(n)); }

void SetFields(Form1 &form, const std::array<QString, 8> &texts)
{
    for (int i = 0; i < 8; ++i)
        Field(form, i + 1)->setText(texts[i]);
}

std::array<QString, 8> FieldTexts(Form1 &form)
{
    std::array<QString, 8> texts;
    for (int i = 0; i < 8; ++i)
        texts[i] = Field(form, i + 1)->text();
    return texts;
}

void Click(Form1 &form, const char *button)
{
    QTest::mouseClick(form.findChild<QPushButton *>(QString::fromLatin1(button)), Qt::LeftButton);
}

QString ResultText(Form1 &form)
{
    return form.findChild<QPlainTextEdit *>("Text9")->toPlainText().replace(
        QStringLiteral("\n"), QStringLiteral("\r\n"));
}

void ClearResult(Form1 &form) { form.findChild<QPlainTextEdit *>("Text9")->clear(); }

qint64 MsUntilResult(Form1 &form, const QString &text, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    if (!WaitFor([&] { return ResultText(form) == text; }, timeoutMs))
        return -1;
    return clock.elapsed();
}
