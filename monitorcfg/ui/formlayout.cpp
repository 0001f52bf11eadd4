#include "formlayout.h"

#include <QCoreApplication>
#include <QtMath>

#include <stdexcept>

namespace {
const QString kDash = QStringLiteral("-");

// Captions are kept in Chinese here; the window translates them when it
// shows them (context Form1).
QString Caption(const char *source) { return QString::fromUtf8(source); }
}  // namespace

const std::vector<ControlPlacement> &FormPlacements()
{
    using F = FormFontKind;
    static const std::vector<ControlPlacement> placements {
        {QStringLiteral("Label7"), -1, Caption(QT_TRANSLATE_NOOP("Form1", "串口号:")), {480, 480, 1170, 315},
                        F::Label},
         {QStringLiteral("Combo1"), -1, {}, {1680, 480, 2415, 360}, F::Field},
          {QStringLiteral("Label1"), -1, QStringLiteral("ID:"), {1080, 1080, 540, 315}, F::Label},
           {QStringLiteral("Text1"), -1, {}, {1680, 1080, 1095, 375}, F::Field},
            {QStringLiteral("Label2"), 0, kDash, {2760, 1080, 225, 360}, F::Separator},
             {QStringLiteral("Text2"), -1, {}, {3000, 1080, 1095, 375}, F::Field},
              {QStringLiteral("Label3"), -1, QStringLiteral("IP:"), {1080, 1800, 540, 315}, F::Label},
               {QStringLiteral("Text3"), -1, {}, {1680, 1800, 1095, 375}, F::Field},
                {QStringLiteral("Label2"), 1, kDash, {2760, 1800, 225, 360}, F::Separator},
                 {QStringLiteral("Text4"), -1, {}, {3000, 1800, 1095, 375}, F::Field},
                  {QStringLiteral("Label2"), 2, kDash, {4080, 1800, 225, 360}, F::Separator},
                   {QStringLiteral("Text5"), -1, {}, {4320, 1800, 1095, 375}, F::Field},
                    {QStringLiteral("Label2"), 3, kDash, {5400, 1800, 225, 360}, F::Separator},
                     {QStringLiteral("Text6"), -1, {}, {5640, 1800, 1095, 375}, F::Field},
                      {QStringLiteral("Label4"), -1, Caption(QT_TRANSLATE_NOOP("Form1", "端口号:")),
                                      {480, 2520, 1170, 315}, F::Label},
                       {QStringLiteral("Text7"), -1, {}, {1680, 2520, 1095, 375}, F::Field},
                        {QStringLiteral("Label5"), -1, Caption(QT_TRANSLATE_NOOP("Form1", "在线时间:")),
                                        {120, 3240, 1500, 315}, F::Label},
                         {QStringLiteral("Text8"), -1, {}, {1680, 3240, 1215, 375}, F::Field},
                          {QStringLiteral("Label6"), -1, Caption(QT_TRANSLATE_NOOP("Form1", "秒(S)")),
                                          {3000, 3240, 870, 315}, F::Label},
                           {QStringLiteral("Text9"), -1, {}, {600, 3960, 5775, 1935}, F::Result},
                            {QStringLiteral("Command1"), -1, Caption(QT_TRANSLATE_NOOP("Form1", "配置")),
                                            {1080, 6240, 1335, 615}, F::Button},
                             {QStringLiteral("Command2"), -1, Caption(QT_TRANSLATE_NOOP("Form1", "查询")),
                                             {4560, 6240, 1335, 615}, F::Button},
                            };
    return placements;
}

const ControlPlacement &PlacementOf(const QString &name, int index)
{
    for (const ControlPlacement &p : FormPlacements())
        if (p.name == name && p.index == index)
            return p;
    throw std::out_of_range("no placement for control " + name.toStdString());
}

int TwipsToPixels(int twips, qreal dpi) { return qRound(twips * dpi / 1440.0); }

QRect TwipsToPixels(const QRect &twips, qreal dpiX, qreal dpiY)
{
    return QRect(TwipsToPixels(twips.left(), dpiX), TwipsToPixels(twips.top(), dpiY),
                 TwipsToPixels(twips.width(), dpiX), TwipsToPixels(twips.height(), dpiY));
}
