#include "print/box_render.h"

#include "recording_surface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

namespace ordavel {
namespace {

using test::RecordingSurface;
using Calls = std::vector<std::string>;

Box makeBox(BoxType type, PrintRect rect = {1.0, 2.0, 3.0, 2.0})
{
    Box box;
    box.type = type;
    box.index = 1;
    box.inUse = true;
    box.printRect = rect;
    box.attributes = defaultAttributes(type);
    return box;
}

const UnitFactors k96 = UnitFactors::fromDpi(96.0);
const UnitFactors k120 = UnitFactors::fromDpi(120.0);

// --- coordinate conversion per target ---------------------------------------

struct LeftRow {
    const char* name;
    BoxType type;
    RenderTarget target;
    double dpi;
    double leftCm;
    std::string expectedFirstDrawing;
};
// Test names in ctest and gtest output show the row name, not its bytes.
void PrintTo(const LeftRow& row, std::ostream* os) { *os << row.name; }

class LeftEdgeConversion : public ::testing::TestWithParam<LeftRow> {};

TEST_P(LeftEdgeConversion, TruncatesOrRoundsFirstByTypeAndTarget)
{
    const LeftRow& row = GetParam();
    Box box = makeBox(row.type, {row.leftCm, 0.0, 1.0, 1.0});
    box.attributes.text = "A";
    box.attributes.shape = ShapeHorizontalLine;
    RecordingSurface surface;
    drawBox(box, row.target, UnitFactors::fromDpi(row.dpi), surface);
    ASSERT_FALSE(surface.drawn.empty());
    EXPECT_EQ(surface.drawn.front(), row.expectedFirstDrawing);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LeftEdgeConversion,
    ::testing::Values(
        // 1.15 x 100 is 114.999...: text truncates, a colour block rounds first.
        LeftRow{"PrinterTextTruncates", BoxType::EditBox, RenderTarget::Printer, 96, 1.15, "text 114 0 A"},
        LeftRow{"PrinterLabelTruncates", BoxType::Label, RenderTarget::Printer, 120, 1.15, "text 114 0 A"},
        LeftRow{"PrinterColorBlockRounds", BoxType::ColorPicker, RenderTarget::Printer, 96, 1.15, "rect 115 0 215 100"},
        // Shapes only round first in the preview.
        LeftRow{"PrinterShapeTruncates", BoxType::ShapeBox, RenderTarget::Printer, 96, 1.15, "line 114 0 214 0"},
        LeftRow{"PrinterEmptyPictureTruncates", BoxType::PicBox, RenderTarget::Printer, 96, 1.15, "rect 114 0 214 100"},
        // 6.35 cm x 37.795... = 239.99999...
        LeftRow{"PreviewTextTruncates96", BoxType::EditBox, RenderTarget::Preview, 96, 6.35, "text 239 0 A"},
        LeftRow{"PreviewShapeRounds96", BoxType::ShapeBox, RenderTarget::Preview, 96, 6.35, "line 240 0 277 0"},
        LeftRow{"PreviewColorBlockRounds96", BoxType::ColorPicker, RenderTarget::Preview, 96, 6.35, "rect 240 0 277 37"},
        // 2.65 cm: 100.157 px at 96 dpi, 125.196 px at 120 dpi.
        LeftRow{"PreviewText96", BoxType::ComboBox, RenderTarget::Preview, 96, 2.65, "text 100 0 A"},
        LeftRow{"PreviewText120", BoxType::ComboBox, RenderTarget::Preview, 120, 2.65, "text 125 0 A"},
        LeftRow{"PreviewShape120", BoxType::ShapeBox, RenderTarget::Preview, 120, 2.65, "line 125 0 172 0"},
        // Numbers an int cannot hold are held at 1e9 units; NaN is 0.
        LeftRow{"HugeValueIsHeld", BoxType::EditBox, RenderTarget::Printer, 96, 1e300, "text 1000000000 0 A"},
        LeftRow{"NotANumberIsZero", BoxType::ColorPicker, RenderTarget::Preview, 96, std::nan(""), "rect 0 0 37 37"}),
    [](const auto& row) { return std::string(row.param.name); });

// --- shapes -----------------------------------------------------------------

struct ShapeRow {
    const char* name;
    int shape;
    PrintRect rect;
    std::string drawing;
};
// Test names in ctest and gtest output show the row name, not its bytes.
void PrintTo(const ShapeRow& row, std::ostream* os) { *os << row.name; }

class ShapeDrawing : public ::testing::TestWithParam<ShapeRow> {};

TEST_P(ShapeDrawing, DrawsTheShapeInPrinterUnits)
{
    Box box = makeBox(BoxType::ShapeBox, GetParam().rect);
    box.attributes.shape = GetParam().shape;
    RecordingSurface surface;
    drawBox(box, RenderTarget::Printer, k96, surface);
    EXPECT_EQ(surface.drawn, Calls{GetParam().drawing});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ShapeDrawing,
    ::testing::Values(
        ShapeRow{"Rectangle", ShapeRectangle, {1, 2, 3, 2}, "rect 100 200 400 400"},
        ShapeRow{"SquareUsesSmallerSide", ShapeSquare, {1, 2, 3, 2}, "rect 100 200 300 400"},
        ShapeRow{"SquareOfEqualSides", ShapeSquare, {1, 2, 2, 2}, "rect 100 200 300 400"},
        ShapeRow{"TallSquare", ShapeSquare, {1, 2, 1.5, 4}, "rect 100 200 250 350"},
        ShapeRow{"Ellipse", ShapeEllipse, {1, 2, 3, 2}, "ellipse 100 200 400 400"},
        ShapeRow{"Circle", ShapeCircle, {1, 2, 3, 2}, "ellipse 100 200 300 400"},
        ShapeRow{"EqualSidedCircle", ShapeCircle, {1, 2, 2, 2}, "ellipse 100 200 300 400"},
        ShapeRow{"RoundRect", ShapeRoundRect, {1, 2, 3, 2}, "roundRect 100 200 400 400 50 50"},
        ShapeRow{"RoundSquare", ShapeRoundSquare, {1, 2, 3, 2}, "roundRect 100 200 300 400 50 50"},
        ShapeRow{"HorizontalLineAlongTop", ShapeHorizontalLine, {1, 2, 3, 2}, "line 100 200 400 200"},
        ShapeRow{"VerticalLineAlongLeft", ShapeVerticalLine, {1, 2, 3, 2}, "line 100 200 100 400"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ShapeDrawing, PenWidthOnlyForSolidLinesAndToolsResetAfterwards)
{
    for (const int style : {LineNone, LineSolid, LineDot, LineDash, LineDashDot, LineDashDotDot}) {
        Box box = makeBox(BoxType::ShapeBox);
        box.attributes.lineStyle = style;
        box.attributes.lineWidth = 3;
        box.attributes.lineColor = 0x0000FF;
        box.attributes.bgColor = 0x00FF00;
        RecordingSurface surface;
        drawBox(box, RenderTarget::Printer, k96, surface);
        const std::string width = style == LineSolid ? "penWidth 3" : "penWidth 1";
        EXPECT_EQ(surface.calls, (Calls{"penStyle " + std::to_string(style), width, "penColor 0000FF",
                                        "brushStyle 1", "brushColor 00FF00", "rect 100 200 400 400",
                                        "penWidth 1", "brushStyle 0", "brushColor FFFFFF"}))
            << "line style " << style;
    }
}

TEST(ShapeDrawing, ColourBlockAndEmptyPictureFillWithoutPenAndReset)
{
    Box block = makeBox(BoxType::ColorPicker);
    block.attributes.color = 0x123456;
    Box emptyPicture = makeBox(BoxType::PicBox);
    emptyPicture.attributes.bgColor = 0xABCDEF;
    for (const auto& [box, colour] : {std::pair{block, "123456"}, std::pair{emptyPicture, "ABCDEF"}}) {
        RecordingSurface surface;
        drawBox(box, RenderTarget::Printer, k96, surface);
        EXPECT_EQ(surface.calls, (Calls{"penStyle 0", "brushStyle 1", std::string("brushColor ") + colour,
                                        "rect 100 200 400 400", "penWidth 1", "brushStyle 0",
                                        "brushColor FFFFFF"}));
    }
}

TEST(PictureDrawing, StretchesThePictureIntoThePrintRectWithoutReset)
{
    Box box = makeBox(BoxType::PicBox, {1, 2, 4, 4});
    box.attributes.picture = "GIF89a";
    RecordingSurface surface;
    drawBox(box, RenderTarget::Printer, k96, surface);
    EXPECT_EQ(surface.calls, Calls{"picture GIF89a 100 200 400 400"});

    RecordingSurface preview;
    drawBox(box, RenderTarget::Preview, k120, preview);
    EXPECT_EQ(preview.calls, Calls{"picture GIF89a 47 94 188 188"});
}

// --- text -------------------------------------------------------------------

TEST(TextDrawing, EachLineBreakAdvancesByLineHeightPlusTwoDevicePixels)
{
    Box box = makeBox(BoxType::EditBox, {1, 2, 3, 0.5});
    box.attributes.text = "one\r\ntwo\rthree\nfour\n\nsix";
    RecordingSurface pixels(16.0, 1.0);
    drawBox(box, RenderTarget::Preview, k96, pixels);
    EXPECT_EQ(pixels.drawn, (Calls{"text 37 75 one", "text 37 93 two", "text 37 111 three",
                                        "text 37 129 four", "text 37 165 six"}));

    // A 600 dpi printer: a device pixel is 0.4233 units, a 12 pt line 42.3.
    RecordingSurface printer(42.3, 254.0 / 600.0);
    box.attributes.text = "one\ntwo\nthree";
    drawBox(box, RenderTarget::Printer, k96, printer);
    EXPECT_EQ(printer.drawn, (Calls{"text 100 200 one", "text 100 243 two", "text 100 286 three"}));
}

TEST(TextDrawing, EditBoxAndLabelSetFontAndColourThenWriteUnwrapped)
{
    for (const BoxType type : {BoxType::EditBox, BoxType::Label}) {
        Box box = makeBox(type, {1, 2, 0.5, 0.5});
        box.attributes.text = "a long caption far wider than its box";
        box.attributes.font = FontSpec{"黑体", 12};
        box.attributes.textColor = 0x0000FF;
        box.attributes.hAlign = 1;
        box.attributes.wordWrap = true;
        box.attributes.inputMode = 1; // a password box prints its real text
        RecordingSurface surface;
        drawBox(box, RenderTarget::Printer, k96, surface);
        EXPECT_EQ(surface.calls, (Calls{"font 黑体 12", "textColor 0000FF",
                                        "text 100 200 a long caption far wider than its box"}));
    }
}

TEST(TextDrawing, DatesAndCombosKeepTheCurrentTextColour)
{
    Box date = makeBox(BoxType::DatePicker);
    date.attributes.dateTime = DateTime{2013, 1, 5, 8, 7, 6};
    date.dateFormat = 4;
    date.attributes.textColor = 0x00FF00; // not used when printing a date
    Box combo = makeBox(BoxType::ComboBox);
    combo.attributes.text = "选项";
    combo.attributes.textColor = 0x00FF00;
    for (const Box& box : {date, combo}) {
        RecordingSurface surface;
        drawBox(box, RenderTarget::Printer, k96, surface);
        ASSERT_EQ(surface.calls.size(), 2u);
        EXPECT_EQ(surface.calls[0], "font 宋体 9");
    }
    RecordingSurface surface;
    drawBox(date, RenderTarget::Printer, k96, surface);
    EXPECT_EQ(surface.calls.back(), "text 100 200 2013年1月5日 8:7:6");
}

TEST(TextDrawing, EmptyTextAndUnknownDateFormatDrawNothing)
{
    Box edit = makeBox(BoxType::EditBox);
    edit.attributes.text.clear();
    Box date = makeBox(BoxType::DatePicker);
    date.dateFormat = 9;
    for (const Box& box : {edit, date}) {
        RecordingSurface surface;
        drawBox(box, RenderTarget::Printer, k96, surface);
        EXPECT_TRUE(surface.drawn.empty());
    }
}

// --- gate -------------------------------------------------------------------

TEST(BoxGate, FreeSlotsAndUnprintedBoxesDrawNothingOnEitherTarget)
{
    for (int code = 1; code <= 7; ++code) {
        Box unprinted = makeBox(boxTypeFromCode(code));
        unprinted.isPrint = false;
        Box freeSlot = makeBox(boxTypeFromCode(code));
        freeSlot.inUse = false;
        for (const Box& box : {unprinted, freeSlot}) {
            for (const RenderTarget target : {RenderTarget::Printer, RenderTarget::Preview}) {
                RecordingSurface surface;
                drawBox(box, target, k96, surface);
                EXPECT_TRUE(surface.calls.empty()) << "type " << code;
            }
        }
    }
}

// --- date formats -----------------------------------------------------------

TEST(DateFormat, EveryFormatWithoutLeadingZeros)
{
    const DateTime value{2012, 12, 31, 9, 5, 0};
    const char* expected[] = {"2012年12月31日", "9时5分0秒", "2012年12月31日9时5分0秒", "9:5:0",
                              "2012年12月31日 9:5:0", "2012-12-31", "2012-12-31 9:5:0", "2012/12/31",
                              "12/31/2012"};
    for (int format = 0; format < 9; ++format)
        EXPECT_EQ(formatDate(value, format), expected[format]) << "format " << format;
    EXPECT_EQ(formatDate({2013, 1, 5, 8, 7, 6}, 4), "2013年1月5日 8:7:6");
    EXPECT_EQ(formatDate(value, -1), "");
    EXPECT_EQ(formatDate(value, 9), "");
}

} // namespace
} // namespace ordavel
