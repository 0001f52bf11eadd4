#pragma once
// The window's fonts: 宋体 and 方正大黑简体 where installed, otherwise a
// Chinese-capable font of the system, so the captions never show as boxes.

#include "formlayout.h"

#include <QFont>
#include <QString>
#include <QStringList>

// The first of the wanted families that is installed, else the system's
// Simplified Chinese fallback, else the application font's family.
QString ResolveFontFamily(const QStringList &wanted);

QFont FormFont(FormFontKind kind);

// Makes widget's font smaller until text fits its width less padding: the
// window's sizes were made for the Chinese captions, not for translations.
void ShrinkFontToFit(QWidget *widget, const QString &text, int padding);
