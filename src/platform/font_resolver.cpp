#include "platform/font_resolver.h"

#include <QString>
#include <QStringList>

namespace ordavel {

namespace {

// Serif (Song/Ming and Fangsong, Kai) faces go to the Ming font, sans (Hei,
// YaHei) to Zen Hei; each list falls back to the other CJK font.
void installSubstitutions()
{
    const QStringList serif{QStringLiteral("AR PL UMing CN"), QStringLiteral("WenQuanYi Zen Hei")};
    const QStringList sans{QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("AR PL UMing CN")};
    const char* serifFaces[] = {"宋体", "新宋体", "仿宋", "仿宋_GB2312", "楷体", "楷体_GB2312",
                                "SimSun", "NSimSun", "FangSong", "KaiTi"};
    const char* sansFaces[] = {"黑体", "微软雅黑", "幼圆", "SimHei", "Microsoft YaHei"};
    for (const char* face : serifFaces)
        QFont::insertSubstitutions(QString::fromUtf8(face), serif);
    for (const char* face : sansFaces)
        QFont::insertSubstitutions(QString::fromUtf8(face), sans);
}

} // namespace

QFont qtFont(const FontSpec& fontSpec)
{
    static const bool installed = (installSubstitutions(), true);
    (void)installed;
    QFont font(QString::fromStdString(fontSpec.face));
    font.setPointSize(fontSpec.size > 0 ? fontSpec.size : 9);
    font.setBold(fontSpec.bold);
    font.setItalic(fontSpec.italic);
    font.setStrikeOut(fontSpec.strikeOut);
    font.setUnderline(fontSpec.underline);
    return font;
}

} // namespace ordavel
