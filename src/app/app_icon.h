#pragma once
// The product picture (two overlaid form sheets) for the splash window and the
// window icon, drawn from the same SVG as the installed icons.

#include <QIcon>
#include <QRectF>

class QPainter;

namespace ordavel {

// Draws the logo with its top-left corner at area's; it takes about 112 x 124 units.
void paintLogo(QPainter& painter, const QRectF& area);
// The window icon at 16 to 256 pixels; a null icon if the picture is missing.
QIcon applicationIcon();

} // namespace ordavel
