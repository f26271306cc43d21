#pragma once
// Conversions between the model's colours, fonts and picture bytes and Qt's.

#include "model/box.h"
#include "platform/painter_surface.h" // toQColor and fromQColor, shared with the printer surface

#include <QColor>
#include <QFont>
#include <QImage>

#include <string_view>

namespace ordavel {

// The on-screen font of a box: the platform's printing font, so screen and paper agree.
QFont boxFont(const FontSpec& font);

// Decodes picture bytes with the platform's decoder (BMP, JPEG, GIF). PNG and
// undecodable bytes give a null image.
QImage boxPicture(std::string_view bytes);

// UTF-8 model text <-> widget text.
QString toQString(const std::string& text);
std::string fromQString(const QString& text);

} // namespace ordavel
