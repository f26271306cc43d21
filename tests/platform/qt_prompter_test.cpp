#include "platform/qt_prompter.h"

#include <gtest/gtest.h>

namespace ordavel {
namespace {

TEST(QtFileFilter, ConvertsTheProgramsFilterTextsToQtForm)
{
    EXPECT_EQ(qtFileFilter("Ordavel文件(*.oxf)|*.oxf|所有文件(*.*)|*.*"),
              QStringLiteral("Ordavel文件(*.oxf);;所有文件(*)"));
    EXPECT_EQ(qtFileFilter("图片文件|*.bmp;*.jpg;*.gif"), QStringLiteral("图片文件 (*.bmp *.jpg *.gif)"));
    // A trailing description without its pattern is dropped rather than guessed.
    EXPECT_EQ(qtFileFilter("位图(*.bmp)|*.bmp|半截"), QStringLiteral("位图(*.bmp)"));
}

} // namespace
} // namespace ordavel
