// The analysis's layout rules on small forms drawn for each: every drawn
// field is found with its caption, and what is no field is not proposed.
#include "form_sheet.h"
#include "scan_capture.h"
#include "scan_score.h"

#include "scan/caption_reader.h"
#include "scan/ruling.h"
#include "scan/scan_analysis.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <algorithm>
#include <random>

namespace ordavel::scanforms {
namespace {

constexpr double kDpi = 200;

scan::CaptionReader& reader()
{
    static scan::CaptionReader r;
    return r;
}

SheetStyle style(const char* font)
{
    SheetStyle s;
    s.captionFont = font;
    s.captionPt = 11;
    return s;
}

scan::Picture pictureOf(const QImage& image)
{
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    scan::Picture p;
    p.width = grey.width();
    p.height = grey.height();
    p.channels = 1;
    p.pixels.reserve(static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height));
    for (int y = 0; y < grey.height(); ++y)
        p.pixels.insert(p.pixels.end(), grey.constScanLine(y), grey.constScanLine(y) + grey.width());
    return p;
}

struct Result {
    std::vector<scaneval::TruthField> truth;
    scan::ScanAnalysis analysis;
    std::vector<int> match; // per true field, the proposal found for it
};

// Analyses the sheet, scanned as `how` tells when given; the fields it
// drew (moved with the paper) are the truth.
Result analyse(Sheet& sheet, const Capture* how = nullptr)
{
    Result r;
    std::vector<TruthField> fields = sheet.fields();
    QImage picture = sheet.finish();
    if (how) {
        Rng rng(7);
        picture = capture(picture, *how, rng, fields);
    }
    for (const TruthField& f : fields)
        r.truth.push_back({{static_cast<int>(std::lround(f.rect.x())), static_cast<int>(std::lround(f.rect.y())),
                            static_cast<int>(std::lround(f.rect.width())), static_cast<int>(std::lround(f.rect.height()))},
                           f.kind, f.caption});
    const scan::PaperSize paper{sheet.widthCm(), sheet.heightCm()};
    r.analysis = scan::analyseScan(pictureOf(picture), paper, reader());
    r.match = scaneval::matchFields(r.truth, r.analysis.fields);
    return r;
}

std::string proposals(const Result& r)
{
    std::string out;
    for (const scan::ProposedField& f : r.analysis.fields)
        out += "\n  " + f.kind + " " + f.caption + " at " + std::to_string(f.rect.x) + "," + std::to_string(f.rect.y) + " " +
               std::to_string(f.rect.w) + "x" + std::to_string(f.rect.h);
    out += "\nprinted:";
    for (const scan::PrintedCaption& c : r.analysis.captions)
        out += " [" + c.text + " at " + std::to_string(c.rect.x) + "," + std::to_string(c.rect.y) + "]";
    return out;
}

// Every true field found and captioned as drawn.
void expectAllFound(const Result& r)
{
    for (std::size_t i = 0; i < r.truth.size(); ++i) {
        const scan::PixelRect& t = r.truth[i].rect;
        ASSERT_GE(r.match[i], 0) << r.truth[i].kind << " " << r.truth[i].caption << " at " << t.x << "," << t.y << " " << t.w
                                 << "x" << t.h << "; proposed:" << proposals(r);
        EXPECT_EQ(r.analysis.fields[static_cast<std::size_t>(r.match[i])].caption, r.truth[i].caption);
    }
}

TEST(ScanLayout, OpenBlanksReachPastFilledValuesToTheNextCaptionOrTheMargin)
{
    ASSERT_TRUE(reader().ok());
    Sheet sheet(21.0, 8.0, kDpi, style("Noto Sans CJK SC"));
    // Two blanks on a line: the first ends before the second caption, the
    // second at the right margin (as far from the edge as the text on the left).
    sheet.openBlank(2.0, 2.0, 10.2, "姓名");
    sheet.openBlank(10.5, 2.0, 19.0, "电话");
    sheet.openBlank(2.0, 3.5, 19.0, "地址");
    // A value printed in the first blank does not end it.
    std::mt19937 rng(1);
    sheet.fillValue(sheet.pxRect({4.5, 1.6, 4.0, 0.8}), "张伟", false, rng);
    // A caption with lines of print right under it heads them; it is no blank.
    sheet.text(2.0, 5.5, "备注：", 11);
    sheet.text(2.0, 6.05, "一、本单一式两份，双方各执一份。", 11);
    sheet.text(2.0, 6.6, "二、本单经双方签字后生效。", 11);
    const Result r = analyse(sheet);
    expectAllFound(r);
    EXPECT_EQ(r.analysis.fields.size(), r.truth.size());
}

TEST(ScanLayout, BlanksBetweenUnitsAreNamedByTheUnitAfterThemTheFirstOneToo)
{
    ASSERT_TRUE(reader().ok());
    SheetStyle small = style("Noto Sans CJK SC");
    small.captionPt = 9;
    Sheet sheet(21.0, 4.0, kDpi, small);
    // "____年____月____日" with no lines: the first blank has no caption before
    // it. (At 9 pt: the long strokes of "年" in larger print are taken for rules.)
    sheet.unitRun(9.0, 2.0, {"年", "月", "日"}, 1.6, false);
    const Result r = analyse(sheet);
    expectAllFound(r);
    EXPECT_EQ(r.analysis.fields.size(), 3u);
}

TEST(ScanLayout, TableColumnsTakeTheirHeadsCaptionsAndHeadCellsProposeNothing)
{
    ASSERT_TRUE(reader().ok());
    Sheet sheet(21.0, 10.0, kDpi, style("DejaVu Sans"));
    const double widths[] = {5.0, 5.0, 3.0, 4.0};
    const char* heads[] = {"Item", "Description", "Qty", "Amount"};
    double x = 2.0;
    for (int c = 0; c < 4; ++c) {
        // Head cells with centred captions, then four empty rows.
        sheet.labelCell({x, 1.5, widths[c], 1.0}, heads[c]);
        for (int row = 0; row < 4; ++row)
            sheet.valueCell({x, 2.5 + row * 1.0, widths[c], 1.0}, heads[c]);
        x += widths[c];
    }
    const Result r = analyse(sheet);
    expectAllFound(r);
    EXPECT_EQ(r.analysis.fields.size(), r.truth.size());
}

TEST(ScanLayout, NarrowCellsSideBySideUnderUnitsAreOneRowOfBoxes)
{
    ASSERT_TRUE(reader().ok());
    Sheet sheet(21.0, 6.0, kDpi, style("Noto Sans CJK SC"));
    // The digits of an amount: a cell per unit, ruled apart, too narrow for
    // squares, the heads in a row above.
    const char* units[] = {"千", "百", "十", "万", "千", "百", "十", "元", "角", "分"};
    for (int k = 0; k < 10; ++k) {
        sheet.labelCell({8.0 + k * 0.5, 2.3, 0.5, 0.3}, units[k], 6);
        sheet.frame({8.0 + k * 0.5, 2.6, 0.5, 0.9});
    }
    sheet.labelCell({2.0, 2.25, 6.0, 1.25}, "金额");
    sheet.addField({8.0, 2.6, 5.0, 0.9}, "digit_cells", "金额");
    const Result r = analyse(sheet);
    expectAllFound(r);
    EXPECT_EQ(r.analysis.fields.size(), 1u) << proposals(r);
}

TEST(ScanLayout, DottedLeadersAreLinesToWriteOn)
{
    ASSERT_TRUE(reader().ok());
    // At 150 dpi the dots of a leader are too fine to join into a rule.
    Sheet sheet(21.0, 6.0, 150, style("DejaVu Serif"));
    sheet.underline(2.0, 2.0, 10.0, "Name", true);
    sheet.underline(11.0, 2.0, 19.0, "Phone", true);
    sheet.underline(2.0, 3.5, 19.0, "Address", true);
    const Result r = analyse(sheet);
    expectAllFound(r);
}

TEST(ScanLayout, ACellWithTwoLinesOfCaptionsIsARowOfFieldsPerLine)
{
    ASSERT_TRUE(reader().ok());
    // (At 10 pt, and without "区": the long strokes of larger characters and
    // of "区" are taken for rules and the characters misread.)
    SheetStyle small = style("Noto Sans CJK SC");
    small.captionPt = 10;
    Sheet sheet(21.0, 6.0, kDpi, small);
    const QRectF cell{2.0, 1.5, 12.0, 2.0};
    sheet.frame(cell);
    // "____省____县" over "详细地址：________".
    sheet.unitRun(2.2, 2.3, {"省", "县"}, 3.5, true);
    sheet.underline(2.2, 3.3, 13.8, "详细地址");
    const Result r = analyse(sheet);
    expectAllFound(r);
    EXPECT_EQ(r.analysis.fields.size(), 3u);
}

TEST(ScanLayout, BoldBlurredCaptionsAreReadNotTakenForPunchedHoles)
{
    ASSERT_TRUE(reader().ok());
    // Bold captions scanned out of focus fill most of their boxes, as a
    // punched hole does; only the characters show paper between strokes.
    Sheet sheet(21.0, 6.0, kDpi, style("Noto Sans CJK SC"));
    const char* captions[] = {"金额", "数量", "单价"};
    for (int row = 0; row < 3; ++row) {
        const QRectF label{2.0, 1.5 + row * 1.2, 4.0, 1.2};
        sheet.frame(label);
        sheet.centredText(label, QString::fromUtf8(captions[row]), 14, {}, true);
        sheet.valueCell({6.0, label.y(), 10.0, 1.2}, captions[row]);
    }
    Capture blurred;
    blurred.blurSigmaPx = 2.0;
    const Result r = analyse(sheet, &blurred);
    expectAllFound(r);
}

TEST(ScanLayout, LongStrokesOfLargeCharactersAreNoRules)
{
    ASSERT_TRUE(reader().ok());
    // At 14 pt the strokes of "区", "市" and "年" run past the shortest rule;
    // taken for rules, they are cut out of the characters, which are then
    // misread or lost, and the blanks before them go uncaptioned.
    SheetStyle large = style("Noto Sans CJK SC");
    large.captionPt = 14;
    Sheet sheet(21.0, 6.0, kDpi, large);
    sheet.unitRun(2.0, 2.0, {"省", "市", "区"}, 2.5, false);
    sheet.unitRun(2.0, 4.0, {"年", "月", "日"}, 2.0, false);
    const Result r = analyse(sheet);
    expectAllFound(r);
    EXPECT_EQ(r.analysis.fields.size(), r.truth.size()) << proposals(r);
}

TEST(ScanLayout, AValueFilledInBesideACaptionsCellIsNamedByTheCaption)
{
    ASSERT_TRUE(reader().ok());
    Sheet sheet(21.0, 8.0, kDpi, style("Noto Sans CJK SC"));
    // A phone, an amount and a name printed in the cells right of their
    // captions: each cell is the field, named by its caption, not by what
    // was filled in.
    const char* captions[] = {"联系电话", "金额", "姓名"};
    const char* values[] = {"3812345678", "350.00", "张伟"};
    std::mt19937 rng(3);
    for (int row = 0; row < 3; ++row) {
        const double y = 1.5 + row * 1.2;
        sheet.labelCell({2.0, y, 4.0, 1.2}, captions[row]);
        sheet.valueCell({6.0, y, 10.0, 1.2}, captions[row]);
        sheet.fillValue(sheet.pxRect({6.0, y, 10.0, 1.2}), QString::fromUtf8(values[row]), false, rng);
    }
    const Result r = analyse(sheet);
    expectAllFound(r);
    EXPECT_EQ(r.analysis.fields.size(), r.truth.size()) << proposals(r);
}

// Two forms on one sheet at slants a degree apart: each band is ruled (the
// next one while this one's captions are read) and every field of both is
// found; stopped in the first band, the analysis ends cancelled.
TEST(ScanLayout, FormsAtTwoSlantsOnOneSheetAreEachReadAndCanBeStopped)
{
    ASSERT_TRUE(reader().ok());
    auto form = [](const std::vector<const char*>& captions) {
        Sheet sheet(21.0, 7.0, kDpi, style("Noto Sans CJK SC"));
        for (std::size_t k = 0; k < captions.size(); ++k)
            sheet.underline(2.0, 2.0 + 1.5 * static_cast<double>(k), 19.0, captions[k]);
        return sheet.finish().convertToFormat(QImage::Format_Grayscale8);
    };
    const QImage upper = form({"姓名", "联系电话", "地址"});
    const QImage lower = form({"开户银行", "金额", "备注"});
    QImage page(upper.width(), upper.height() + lower.height(), QImage::Format_Grayscale8);
    page.fill(255);
    {
        QPainter painter(&page);
        painter.drawImage(0, 0, upper);
        painter.translate(lower.width() / 2.0, upper.height() + lower.height() / 2.0);
        painter.rotate(1.0);
        painter.drawImage(QPointF(-lower.width() / 2.0, -lower.height() / 2.0), lower);
    }
    const scan::Picture picture = pictureOf(page);
    const scan::PaperSize paper{21.0, 14.0};
    ASSERT_EQ(scan::skewBands(picture, picture.width / 210.0).size(), 2u);
    const scan::ScanAnalysis analysis = scan::analyseScan(picture, paper, reader());
    EXPECT_LT(analysis.skewDegrees, 0.5); // the bands are as tall; the upper one is level
    std::vector<std::string> captions;
    for (const scan::ProposedField& f : analysis.fields)
        captions.push_back(f.caption);
    for (const char* caption : {"姓名", "联系电话", "地址", "开户银行", "金额", "备注"})
        EXPECT_NE(std::find(captions.begin(), captions.end(), caption), captions.end()) << caption;
    const scan::ScanAnalysis stopped = scan::analyseScan(picture, paper, reader(), [](double done) { return done < 0.4; });
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_TRUE(stopped.fields.empty());
}

} // namespace
} // namespace ordavel::scanforms
