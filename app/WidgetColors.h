#pragma once

#include "TColor.h"

#include <QColor>
#include <QPalette>
#include <QWidget>

// The background of the main window, of its inactive tabs and of LAME's help.
inline const TColor WindowColor = ColorFromText(QStringLiteral("0x00FEDEFC"));

inline QColor ToQColor(TColor color)
{
    return QColor(color.Red, color.Green, color.Blue);
}

inline void SetColor(QWidget& widget, QPalette::ColorRole role, TColor color)
{
    QPalette palette = widget.palette();
    palette.setColor(role, ToQColor(color));
    widget.setPalette(palette);
}
