#include "platform/font_resolver.h"

#include <QFontInfo>

#include <gtest/gtest.h>

namespace ordavel {
namespace {

TEST(FontResolver, ChineseFaceNamesResolveToInstalledCjkFonts)
{
    const struct {
        const char* face;
        const char* family;
    } rows[] = {{"宋体", "AR PL UMing"}, {"仿宋", "AR PL UMing"}, {"楷体", "AR PL UMing"},
                {"黑体", "WenQuanYi Zen Hei"}, {"微软雅黑", "WenQuanYi Zen Hei"}};
    for (const auto& row : rows) {
        const QFontInfo info(qtFont(FontSpec{row.face, 12}));
        EXPECT_TRUE(info.family().startsWith(QString::fromUtf8(row.family)))
            << row.face << " -> " << info.family().toStdString();
    }
}

} // namespace
} // namespace ordavel
