#pragma once
// The colours, fonts and pictures of boxes as Qt values, for the box widgets.
// Colour, font and picture decoding are the platform's, shared with printing.

#include "model/box.h"
#include "platform/font_resolver.h"
#include "platform/painter_surface.h"
#include "platform/picture_decoder.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>

#include <string>
#include <string_view>

namespace ordavel {

// The on-screen font of a box: the printing font, so screen and paper agree.
inline QFont boxFont(const FontSpec& font) { return qtFont(font); }

// BMP, JPEG or GIF bytes; PNG and undecodable bytes give a null image.
inline QImage boxPicture(std::string_view bytes) { return decodePicture(bytes); }

// UTF-8 model text <-> widget text.
inline QString toQString(const std::string& text) { return QString::fromStdString(text); }
inline std::string fromQString(const QString& text) { return text.toStdString(); }

} // namespace ordavel
