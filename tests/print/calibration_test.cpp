#include "print/calibration.h"
#include "print/calibrated_surface.h"
#include "print/calibration_page.h"
#include "print/print_job.h"

#include "recording_surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <regex>
#include <sstream>

namespace ordavel {
namespace {

using test::RecordingSurface;

// A printer that maps designed d (mm) to printed a + b d on each axis.
struct Printer {
    double aX = 0, bX = 1, aY = 0, bY = 1;
    PointMm print(PointMm designed) const { return {aX + bX * designed.x, aY + bY * designed.y}; }
};

MeasuredCrosses measure(const Printer& printer, double widthMm, double heightMm)
{
    return {printer.print({10, 10}), printer.print({widthMm - 10, heightMm - 10})};
}

TEST(SolveCalibration, UndoesAPrinterTwoMillimetresRightOneAndAHalfLowAndThreeTenthsPercentLong)
{
    // A4: the crosses at (10, 10) and (200, 287) print at (12.0, 11.53) and (202.0, 289.361).
    const Printer printer{2.0, 1.0, 1.5, 1.003};
    const MeasuredCrosses measured = measure(printer, 210, 297);
    EXPECT_NEAR(measured.bottomRight.y, 289.361, 1e-12);
    const CalibrationSolution solution = solveCalibration(measured, 210, 297);
    ASSERT_TRUE(solution.calibration) << calibrationFaultTextEnglish(*solution.fault);
    const Calibration& c = *solution.calibration;
    EXPECT_NEAR(c.offsetXMm, -2.0, 1e-12);
    EXPECT_NEAR(c.scaleXPercent, 100.0, 1e-12);
    EXPECT_NEAR(c.offsetYMm, -1.5 / 1.003, 1e-12); // -1.49551...
    EXPECT_NEAR(c.scaleYPercent, 100.0 / 1.003, 1e-12); // 99.70089...
    EXPECT_EQ(c.pageLengthMm, 0.0);
    // Corrected, then printed: every point of the page lands where it was designed.
    for (const PointMm designed : {PointMm{10, 10}, PointMm{200, 287}, PointMm{105, 148.5}, PointMm{0, 0}}) {
        const PointMm landed = printer.print({c.printedXMm(designed.x), c.printedYMm(designed.y)});
        EXPECT_NEAR(landed.x, designed.x, 1e-9);
        EXPECT_NEAR(landed.y, designed.y, 1e-9);
    }
}

TEST(SolveCalibration, ExactCrossesGiveTheIdentityAndOtherPapersTheirOwnCrosses)
{
    const auto exact = solveCalibration({{10, 10}, {203, 280}}, 213, 290);
    ASSERT_TRUE(exact.calibration);
    EXPECT_TRUE(exact.calibration->isIdentity());

    // 21.3 x 29 cm, printer 0.5 % short across, 1 mm left, 2.5 mm high.
    const Printer printer{-1.0, 0.995, -2.5, 1.0};
    const auto solved = solveCalibration(measure(printer, 213, 290), 213, 290);
    ASSERT_TRUE(solved.calibration);
    EXPECT_NEAR(solved.calibration->scaleXPercent, 100.0 / 0.995, 1e-12);
    EXPECT_NEAR(solved.calibration->offsetXMm, 1.0 / 0.995, 1e-12);
    EXPECT_NEAR(solved.calibration->offsetYMm, 2.5, 1e-12);
}

TEST(SolveCalibration, RefusesCrossesOutOfOrderAndCorrectionsBeyondTheLimits)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const MeasuredCrosses& bad : {MeasuredCrosses{{10, 10}, {10, 287}}, MeasuredCrosses{{200, 10}, {10, 287}},
                                       MeasuredCrosses{{10, 287}, {200, 10}}, MeasuredCrosses{{nan, 10}, {200, 287}}}) {
        const auto solution = solveCalibration(bad, 210, 297);
        EXPECT_FALSE(solution.calibration);
        ASSERT_TRUE(solution.fault);
        EXPECT_EQ(solution.fault->field, CalibrationField::Crosses);
    }
    // 35 mm to the right: the correction would be -35 mm.
    const auto far = solveCalibration(measure({35.0, 1.0, 0.0, 1.0}, 210, 297), 210, 297);
    ASSERT_TRUE(far.fault);
    EXPECT_EQ(far.fault->field, CalibrationField::OffsetX);
    EXPECT_NEAR(far.fault->value, -35.0, 1e-9);
    EXPECT_EQ(calibrationFaultText(*far.fault), "水平偏移 -35.00 毫米超出范围（-30 到 30 毫米）");
    // 20 % long down the page: the correction would be 83.33 %.
    const auto stretched = solveCalibration(measure({0.0, 1.0, 0.0, 1.2}, 210, 297), 210, 297);
    ASSERT_TRUE(stretched.fault);
    EXPECT_EQ(stretched.fault->field, CalibrationField::ScaleY);
    EXPECT_EQ(calibrationFaultText(*stretched.fault), "垂直比例 83.33% 超出范围（90% 到 110%）");
    EXPECT_EQ(calibrationFaultTextEnglish(*stretched.fault), "scale Y 83.33 % is outside 90 to 110 %");
}

TEST(CheckCalibration, AcceptsTheLimitsThemselvesAndNamesTheFirstValueBeyond)
{
    EXPECT_FALSE(checkCalibration(Calibration{}));
    EXPECT_FALSE(checkCalibration(Calibration{30, -30, 90, 110, -10}));
    EXPECT_FALSE(checkCalibration(Calibration{-30, 30, 110, 90, 10}));
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        Calibration calibration;
        CalibrationField field;
        const char* text;
    } rows[] = {
        {{30.01, 0, 100, 100, 0}, CalibrationField::OffsetX, "水平偏移 30.01 毫米超出范围（-30 到 30 毫米）"},
        {{0, -31, 100, 100, 0}, CalibrationField::OffsetY, "垂直偏移 -31.00 毫米超出范围（-30 到 30 毫米）"},
        {{0, 0, 89.99, 100, 0}, CalibrationField::ScaleX, "水平比例 89.99% 超出范围（90% 到 110%）"},
        {{0, 0, 100, 110.5, 0}, CalibrationField::ScaleY, "垂直比例 110.50% 超出范围（90% 到 110%）"},
        {{0, 0, 100, 100, -10.5}, CalibrationField::PageLength, "页长修正 -10.50 毫米超出范围（-10 到 10 毫米）"},
        {{0, inf, 100, 100, 0}, CalibrationField::OffsetY, "垂直偏移 inf 毫米超出范围（-30 到 30 毫米）"},
        // Both wrong: the first in field order is named.
        {{0, 0, 120, 80, 0}, CalibrationField::ScaleX, "水平比例 120.00% 超出范围（90% 到 110%）"},
    };
    for (const auto& row : rows) {
        const auto fault = checkCalibration(row.calibration);
        ASSERT_TRUE(fault) << row.text;
        EXPECT_EQ(fault->field, row.field) << row.text;
        EXPECT_EQ(calibrationFaultText(*fault), row.text);
    }
    const auto nan = checkCalibration({0, 0, std::numeric_limits<double>::quiet_NaN(), 100, 0});
    ASSERT_TRUE(nan);
    EXPECT_EQ(nan->field, CalibrationField::ScaleX);
}

// Every primitive's coordinates, in 0.01 mm, for offset (1.5, -0.8) mm and
// scale (100.2, 99.8) %: x -> 150 + 10.02 x, y -> -80 + 9.98 y, rounded.
TEST(CalibratedSurface, TransformsEveryPrimitiveFromTheSheetCorner)
{
    RecordingSurface inner(200.0, 2.5);
    CalibratedSurface surface(inner, Calibration{1.5, -0.8, 100.2, 99.8, 0.0});
    surface.drawTextLine(100, 200, "Sender");
    const TextPiece cells[] = {{100, "1"}, {200, "2"}};
    surface.drawTextPieces(200, cells);
    surface.drawRectangle(0, 0, 2129, 2900);
    surface.drawEllipse(-10, 5, 15, 24);
    surface.drawRoundedRectangle(100, 100, 600, 400, 50, 50);
    surface.drawLine(500, 1000, 1500, 1000);
    surface.drawPicture("pic", 200, 300, 1000, 500);
    surface.setPenWidth(3);
    surface.setPenWidth(0);
    surface.setFont(FontSpec{"黑体", 12});
    surface.setTextColor(0x0000FF);
    const std::vector<std::string> expected{
        "text 1152 1916 Sender",
        "text 1152 1916 1",
        "text 2154 1916 2",                        // 150 + 2004
        "rect 150 -80 21483 28862",                // 150 + 21332.58
        "ellipse 50 -30 300 160",                  // 150 - 100.2 = 49.8; -80 + 49.9 = -30.1
        "roundRect 1152 918 6162 3912 501 499",
        "line 5160 9900 15180 9900",
        "picture pic 2154 2914 10020 4990",
    };
    EXPECT_EQ(inner.drawn, expected);
    // Pen widths scale by the mean scale (10.00 per unit); below 1 draws 1 wide.
    const std::vector<std::string> settings{"penWidth 30", "penWidth 10", "font 黑体 12", "textColor 0000FF"};
    EXPECT_TRUE(std::equal(settings.begin(), settings.end(), inner.calls.end() - 4));
    // Line height and device pixel come back in designed 0.1 mm.
    EXPECT_NEAR(surface.textLineHeight(), 200.0 / 9.98, 1e-12);
    EXPECT_NEAR(surface.devicePixel(), 2.5 / 9.98, 1e-12);
    EXPECT_EQ(surface.pictureSize("pic"), (PixelSize{100, 50}));
    EXPECT_FALSE(surface.pictureSize("bad"));
}

// The kind of a recorded call and its numbers (a picture's name and a
// text's words left out).
std::pair<std::string, std::vector<int>> parseCall(const std::string& call)
{
    std::istringstream in(call);
    std::string kind;
    in >> kind;
    if (kind == "picture") {
        std::string name;
        in >> name;
    }
    const int count = kind == "text" ? 2 : kind == "roundRect" ? 6 : kind == "penWidth" ? 1 : 4;
    std::vector<int> numbers;
    int value = 0;
    while (static_cast<int>(numbers.size()) < count && in >> value)
        numbers.push_back(value);
    return {kind, numbers};
}

// A page with one box of every kind and a background picture.
Document everyKindOfBox()
{
    Document doc;
    doc.page().isPrintBgPic = 1;
    doc.page().background = "background";
    doc.page().imgShowType = 1;
    const struct {
        BoxType type;
        PrintRect rect;
        int shape;
    } boxes[] = {{BoxType::EditBox, {1.15, 2.35, 3, 1}, 0},   {BoxType::Label, {5.0, 1.0, 2, 1}, 0},
                 {BoxType::PicBox, {2.0, 8.0, 4, 4}, 0},      {BoxType::ColorPicker, {10.0, 20.0, 4.25, 2}, 0},
                 {BoxType::ShapeBox, {3.0, 3.0, 3, 2}, 4},    {BoxType::ShapeBox, {1.0, 25.0, 15, 0.5}, 6},
                 {BoxType::ShapeBox, {12.0, 4.0, 2, 2}, 2},   {BoxType::DatePicker, {12.0, 12.4, 5, 1}, 0}};
    for (const auto& b : boxes) {
        const int index = doc.addBox(b.type, 0, 0);
        Box& box = doc.box(index);
        box.followsEdit = false;
        box.printRect = b.rect;
        box.attributes.text = "First\r\nSecond";
        box.attributes.shape = b.shape;
        box.attributes.lineStyle = LineSolid;
        box.attributes.lineWidth = 3;
        if (b.type == BoxType::PicBox)
            box.attributes.picture = "photo";
    }
    return doc;
}

TEST(CalibratedSurface, IdentityDrawsThePageTenTimesFinerAndNothingElse)
{
    const Document doc = everyKindOfBox();
    RecordingSurface plain(40.0, 0.5);
    printPage(doc, plain);
    RecordingSurface inner(400.0, 5.0);
    CalibratedSurface surface(inner, Calibration{});
    printPage(doc, surface);

    // The same calls with every coordinate and width ten times larger.
    ASSERT_EQ(inner.calls.size(), plain.calls.size());
    for (std::size_t i = 0; i < plain.calls.size(); ++i) {
        auto [kind, numbers] = parseCall(plain.calls[i]);
        if (kind != "text" && kind != "rect" && kind != "ellipse" && kind != "roundRect" && kind != "line"
            && kind != "picture" && kind != "penWidth") {
            EXPECT_EQ(inner.calls[i], plain.calls[i]);
            continue;
        }
        for (int& n : numbers)
            n *= 10;
        EXPECT_EQ(parseCall(inner.calls[i]), std::pair(kind, numbers)) << plain.calls[i];
    }
    // Every kind drew: background, text (two lines), pictures, fills and shapes.
    EXPECT_GE(inner.drawn.size(), 10u);
}

TEST(CalibratedSurface, MovesEveryBoxOfAPageByTheFormula)
{
    const Document doc = everyKindOfBox();
    RecordingSurface plain(40.0, 0.5);
    printPage(doc, plain);
    const Calibration calibration{-2.0, 1.5, 99.7, 100.3, 0.0};
    RecordingSurface inner(40.0 * 10 * 1.003, 0.5 * 10 * 1.003);
    CalibratedSurface surface(inner, calibration);
    printPage(doc, surface);
    ASSERT_EQ(inner.drawn.size(), plain.drawn.size());
    // The first two numbers of every drawing are a point; it moves by the formula.
    for (std::size_t i = 0; i < plain.drawn.size(); ++i) {
        const auto before = parseCall(plain.drawn[i]).second;
        const auto after = parseCall(inner.drawn[i]).second;
        ASSERT_GE(before.size(), 2u);
        ASSERT_GE(after.size(), 2u);
        EXPECT_NEAR(after[0] / 100.0, calibration.printedXMm(before[0] / 10.0), 0.005) << inner.drawn[i];
        EXPECT_NEAR(after[1] / 100.0, calibration.printedYMm(before[1] / 10.0), 0.005) << inner.drawn[i];
    }
}

TEST(CalibrationPage, CrossesSitOneCentimetreInFromEachCornerAndAtTheCentre)
{
    const auto crosses = calibrationCrosses(212.9, 290.0);
    const std::vector<PointMm> expected{{10, 10}, {202.9, 10}, {10, 280}, {202.9, 280}, {106.5, 145}};
    ASSERT_EQ(crosses.size(), expected.size());
    for (std::size_t i = 0; i < crosses.size(); ++i) {
        EXPECT_NEAR(crosses[i].x, expected[i].x, 1e-9) << i;
        EXPECT_NEAR(crosses[i].y, expected[i].y, 1e-9) << i;
    }
    EXPECT_EQ(crossLabel({202.9, 10}), "(202.9, 10.0) mm");
}

TEST(CalibrationPage, DrawsRulersCrossesLabelsPrinterAndDate)
{
    RecordingSurface surface(30.0, 1.0);
    drawCalibrationPage({210.0, 297.0, "Tractor-1", "2026-12-08"}, surface);
    const auto has = [&](const std::string& call) {
        return std::find(surface.drawn.begin(), surface.drawn.end(), call) != surface.drawn.end();
    };
    // Rulers: a tick every millimetre, a centimetre tick labelled in centimetres.
    const std::regex tick(R"(line (\d+ 0 \d+ (15|25|40)|0 \d+ (15|25|40) \d+))");
    const auto ticks = std::count_if(surface.drawn.begin(), surface.drawn.end(),
                                     [&](const std::string& call) { return std::regex_match(call, tick); });
    EXPECT_EQ(ticks, 211 + 298);
    EXPECT_TRUE(has("line 100 0 100 40"));
    EXPECT_TRUE(has("line 50 0 50 25"));
    EXPECT_TRUE(has("line 0 2960 15 2960"));
    EXPECT_TRUE(has("text 105 45 1"));
    EXPECT_TRUE(has("text 45 2905 29"));
    // Each cross: two 6 mm lines through its centre, its nominal position beside it.
    for (const PointMm& cross : calibrationCrosses(210.0, 297.0)) {
        const int x = static_cast<int>(std::lround(cross.x * 10));
        const int y = static_cast<int>(std::lround(cross.y * 10));
        EXPECT_TRUE(has("line " + std::to_string(x - 30) + " " + std::to_string(y) + " " + std::to_string(x + 30) + " "
                        + std::to_string(y)));
        EXPECT_TRUE(has("line " + std::to_string(x) + " " + std::to_string(y - 30) + " " + std::to_string(x) + " "
                        + std::to_string(y + 30)));
        const auto label = std::find_if(surface.drawn.begin(), surface.drawn.end(), [&](const std::string& call) {
            return call.size() > crossLabel(cross).size()
                && call.compare(call.size() - crossLabel(cross).size(), std::string::npos, crossLabel(cross)) == 0;
        });
        EXPECT_NE(label, surface.drawn.end()) << crossLabel(cross);
    }
    EXPECT_TRUE(has("text 140 120 (10.0, 10.0) mm"));
    const auto text = [&](const std::string& part) {
        return std::any_of(surface.drawn.begin(), surface.drawn.end(),
                           [&](const std::string& call) { return call.find(part) != std::string::npos; });
    };
    EXPECT_TRUE(text("打印机：Tractor-1"));
    EXPECT_TRUE(text("日期：2026-12-08"));
    EXPECT_TRUE(text("纸张：210.0 × 297.0 毫米"));
}

} // namespace
} // namespace ordavel
