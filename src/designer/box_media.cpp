#include "designer/box_media.h"

#include "platform/font_resolver.h"
#include "platform/picture_decoder.h"

namespace ordavel {

QFont boxFont(const FontSpec& font) { return qtFont(font); }

QImage boxPicture(std::string_view bytes) { return decodePictureForScreen(bytes); }

QString toQString(const std::string& text) { return QString::fromStdString(text); }

std::string fromQString(const QString& text) { return text.toStdString(); }

} // namespace ordavel
