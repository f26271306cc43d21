#pragma once
// Draws a background picture the way the board shows it: display mode 0 at its
// own size from the top-left corner, 1 stretched over the area, 2 centred.

#include <QImage>

#include <string>

class QPainter;
class QRect;

namespace ordavel {

// Decodes picture file bytes (BMP, JPEG, GIF); a null image when they are
// empty or not such a picture.
QImage decodeBackground(const std::string& bytes);

void paintBackgroundPicture(QPainter& painter, const QImage& picture, int mode, const QRect& area);

} // namespace ordavel
