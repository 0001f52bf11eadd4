#include "formfonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QWidget>

QString ResolveFontFamily(const QStringList &wanted)
{
    for (const QString &family : wanted)
        if (QFontDatabase::hasFamily(family))
            return family;
    // Prefer well-known CJK families, then anything that writes Chinese.
    static const QStringList knownCjk {QStringLiteral("Noto Sans CJK SC"),
                                                      QStringLiteral("Noto Serif CJK SC"),
                                                                     QStringLiteral("WenQuanYi Micro Hei"),
                                                                                    QStringLiteral("WenQuanYi Zen Hei"),
                                                                                                   QStringLiteral("AR PL UMing CN"),
                                                                                                                  QStringLiteral("Microsoft YaHei")};
    for (const QString &family : knownCjk)
        if (QFontDatabase::hasFamily(family))
            return family;
    const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    if (!chinese.isEmpty())
        return chinese.first();
    return QApplication::font().family();
}

QFont FormFont(FormFontKind kind)
{
    static const QString song =
        ResolveFontFamily({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun")});
    static const QString dahei = ResolveFontFamily(
        {QStringLiteral("方正大黑简体"), QStringLiteral("FZDaHei-B02S"), QStringLiteral("FZDaHei-B02")});
    QFont font;
    switch (kind) {
    case FormFontKind::Label:
    case FormFontKind::Button:
        font.setFamily(song);
        font.setPointSizeF(15.75);
        font.setBold(true);
        break;
    case FormFontKind::Field:
        font.setFamily(song);
        font.setPointSizeF(12);
        break;
    case FormFontKind::Result:
        font.setFamily(song);
        font.setPointSizeF(12);
        font.setBold(true);
        break;
    case FormFontKind::Separator:
        font.setFamily(dahei);
        font.setPointSizeF(15.75);
        font.setBold(true);
        break;
    }
    return font;
}

void ShrinkFontToFit(QWidget *widget, const QString &text, int padding)
{
    QFont font = widget->font();
    while (font.pointSizeF() > 6 && QFontMetrics(font).horizontalAdvance(text) + padding > widget->width())
        font.setPointSizeF(font.pointSizeF() - 0.5);
    widget->setFont(font);
}
