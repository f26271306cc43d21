#pragma once
// Model colours (0x00BBGGRR, red in the low byte) to and from QColor.

#include "model/box.h"

#include <QColor>

namespace ordavel {

inline QColor toQColor(Color color)
{
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

inline Color fromQColor(const QColor& color)
{
    return Color(color.red()) | (Color(color.green()) << 8) | (Color(color.blue()) << 16);
}

} // namespace ordavel
