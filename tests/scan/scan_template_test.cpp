// Boxes proposed from a scan: their fonts follow the form's lines, tall cells
// take several lines, and the page keeps the file its background came from.
#include "scan/scan_template.h"

#include <gtest/gtest.h>

namespace ordavel::scan {
namespace {

// A 21 x 29.7 cm page scanned at 100 pixels per cm.
ScanAnalysis page(std::vector<ProposedField> fields)
{
    ScanAnalysis analysis;
    analysis.width = 2100;
    analysis.height = 2970;
    analysis.paper = {21.0, 29.7};
    analysis.fields = std::move(fields);
    return analysis;
}

ProposedField field(int y, int heightPx, const char* kind, const char* column)
{
    return {{100, y, 600, heightPx}, kind, column, column};
}

TEST(ScanTemplate, FontsFollowTheLineHeightUpToFourteenPointsAndTallCellsAreMultiLine)
{
    Document doc(UnitFactors::fromDpi(96));
    // Lines of 0.6 cm (17 pt: an 11 pt font), one of 1 cm (a 19 pt font
    // would fit: held at 14), a 3 cm cell, a 0.4 cm check box and a row of
    // digit boxes as tall as the lines.
    const ScanAnalysis analysis = page({field(100, 60, "cell", "姓名"), field(200, 60, "underline", "电话"),
                                        field(300, 60, "cell", "地址"), field(400, 100, "cell", "金额"),
                                        field(600, 300, "cell", "备注"), field(1000, 40, "checkbox", "同意"),
                                        field(1100, 60, "box", "邮编")});
    const std::vector<int> boxes = addFieldBoxes(doc, analysis, analysis.fields);
    ASSERT_EQ(boxes.size(), 7u);
    const auto font = [&](int k) { return doc.box(boxes[static_cast<std::size_t>(k)]).attributes.font.size; };
    const auto multi = [&](int k) { return doc.box(boxes[static_cast<std::size_t>(k)]).attributes.multiLine; };
    EXPECT_EQ(font(0), 11);
    EXPECT_EQ(font(1), 11);
    EXPECT_EQ(font(3), 14);
    EXPECT_FALSE(multi(3)); // under two lines: one line of the largest font
    EXPECT_EQ(font(4), 11); // the form's line, several times over
    EXPECT_TRUE(multi(4));
    EXPECT_EQ(font(5), 7);
    EXPECT_FALSE(multi(5));
    EXPECT_FALSE(multi(6));
    EXPECT_EQ(doc.box(boxes[4]).attributes.text, "${备注}");
    for (int k = 0; k < 7; ++k)
        EXPECT_LE(font(k), 14) << k;
}

TEST(ScanTemplate, AFormOfTallCellsOnlyWritesInFourteenPointLines)
{
    Document doc(UnitFactors::fromDpi(96));
    // Median height 2 cm: the line is held at the 14-point line (0.71 cm).
    const ScanAnalysis analysis = page({field(100, 200, "cell", "甲"), field(400, 200, "cell", "乙"), field(700, 150, "cell", "丙")});
    const std::vector<int> boxes = addFieldBoxes(doc, analysis, analysis.fields);
    ASSERT_EQ(boxes.size(), 3u);
    for (const int index : boxes) {
        EXPECT_EQ(doc.box(index).attributes.font.size, 14);
        EXPECT_TRUE(doc.box(index).attributes.multiLine);
    }
    EXPECT_EQ(fittingFontSize(0.1), 5);
    EXPECT_EQ(fittingFontSize(100.0), 14);
}

TEST(ScanTemplate, ThePageKeepsTheBackgroundsFile)
{
    Document doc(UnitFactors::fromDpi(96));
    setScanPage(doc, {23.0, 12.7}, "JPEG bytes", "/scans/waybill.jpg");
    EXPECT_EQ(doc.page().background, "JPEG bytes");
    EXPECT_EQ(doc.page().backgroundPath, "/scans/waybill.jpg");
    EXPECT_EQ(doc.page().imgShowType, 1);
    EXPECT_FALSE(doc.page().isPrintBgPic);
    EXPECT_DOUBLE_EQ(doc.page().pageWidth, 23.0);
}

} // namespace
} // namespace ordavel::scan
