#include "designer/box_media.h"

namespace ordavel {

Color fromQColor(const QColor& color)
{
    return static_cast<Color>(color.red()) | (static_cast<Color>(color.green()) << 8)
        | (static_cast<Color>(color.blue()) << 16);
}

QFont boxFont(const FontSpec& font)
{
    QFont qfont(QString::fromStdString(font.face));
    if (font.size > 0)
        qfont.setPointSize(font.size);
    qfont.setBold(font.bold);
    qfont.setItalic(font.italic);
    qfont.setStrikeOut(font.strikeOut);
    qfont.setUnderline(font.underline);
    return qfont;
}

QImage boxPicture(std::string_view bytes)
{
    static constexpr std::string_view pngSignature("\x89PNG", 4);
    if (bytes.empty() || bytes.substr(0, pngSignature.size()) == pngSignature)
        return {};
    return QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()));
}

QString toQString(const std::string& text) { return QString::fromStdString(text); }

std::string fromQString(const QString& text) { return text.toStdString(); }

} // namespace ordavel
