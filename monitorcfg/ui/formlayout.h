#pragma once
// Where each control of the window sits, in twips (1/1440 inch), and the
// conversion to pixels at the screen's resolution (15 twips per pixel at
// 96 dpi).

#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

enum class FormFontKind {
    Label,
    Field,
    Separator,
    Result,
    Button
};

struct ControlPlacement
{
    QString name;  // object name of the control
    int index;  // index within a control array, -1 for none
    QString caption;  // caption of labels and buttons, untranslated
    QRect twips;  // left, top, width, height
    FormFontKind font;
};

// Client area of the window in twips.
inline constexpr QSize kFormTwips(7035, 7515);

const std::vector<ControlPlacement> &FormPlacements();
const ControlPlacement &PlacementOf(const QString &name, int index = -1);

int TwipsToPixels(int twips, qreal dpi);
QRect TwipsToPixels(const QRect &twips, qreal dpiX, qreal dpiY);
