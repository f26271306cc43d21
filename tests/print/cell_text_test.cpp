// Text printed one character a cell: what goes into each cell, and where
// each character is drawn.
#include "print/box_render.h"
#include "print/cell_text.h"

#include "recording_surface.h"

#include <gtest/gtest.h>

namespace ordavel {
namespace {

using Cells = std::vector<std::string>;

TEST(CellText, AmountsGiveTheirDigitsFromTheRightAndOtherTextsItsCharacters)
{
    // 亿千百十万千百十元角分: 1 under 万, 0 under 分.
    EXPECT_EQ(cellCharacters("12345.60", 11, false), (Cells{"", "", "", "", "1", "2", "3", "4", "5", "6", "0"}));
    EXPECT_EQ(cellCharacters("¥1,234.50", 8, true), (Cells{"", "¥", "1", "2", "3", "4", "5", "0"}));
    EXPECT_EQ(cellCharacters("0.60", 3, true), (Cells{"¥", "6", "0"}));
    EXPECT_EQ(cellCharacters("0.5", 4, false), (Cells{"", "", "5", "0"}));
    EXPECT_EQ(cellCharacters("1000.5", 6, false), (Cells{"1", "0", "0", "0", "5", "0"}));
    EXPECT_EQ(cellCharacters("100050", 6, false), (Cells{"1", "0", "0", "0", "5", "0"})); // digits as they stand
    EXPECT_EQ(cellCharacters("北京\n市", 4, false), (Cells{"", "北", "京", "市"}));
    EXPECT_EQ(cellCharacters("", 3, true), (Cells{"", "", ""}));
    EXPECT_EQ(cellCharacters("123", 3, false), (Cells{"1", "2", "3"}));

    // More characters than cells: nothing.
    EXPECT_FALSE(cellCharacters("1234", 3, false));
    EXPECT_FALSE(cellCharacters("123", 3, true));
}

TEST(CellText, EachCharacterIsCentredInItsCellOnTheTextsFirstLine)
{
    Box box;
    box.type = BoxType::EditBox;
    box.index = 1;
    box.inUse = true;
    box.printRect = {1.0, 2.0, 4.0, 1.0}; // 400 x 100 printer units: cells of 100
    box.attributes = defaultAttributes(BoxType::EditBox);
    box.attributes.text = "1.5";
    box.attributes.cellCount = 4;
    box.attributes.yenBeforeFirst = true;
    test::RecordingSurface surface;
    drawBox(box, RenderTarget::Printer, UnitFactors::fromDpi(96.0), surface);
    // The recording surface's characters are 10 units a byte wide ("¥" is two bytes).
    EXPECT_EQ(surface.drawn,
              (std::vector<std::string>{"text 140 200 ¥", "text 245 200 1", "text 345 200 5", "text 445 200 0"}));

    box.attributes.text = "12345";
    test::RecordingSurface tooLong;
    drawBox(box, RenderTarget::Printer, UnitFactors::fromDpi(96.0), tooLong);
    EXPECT_TRUE(tooLong.drawn.empty());
}

} // namespace
} // namespace ordavel
