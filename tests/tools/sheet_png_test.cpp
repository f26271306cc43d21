// render to PNG on a template of several forms to a sheet: one picture a
// sheet, each form in its cell, measured in the pictures' pixels.
#include "pdf_measure.h"
#include "tool_run.h"

#include <QImage>

#include <gtest/gtest.h>

#include <fstream>

namespace ordavel {
namespace {

namespace fs = std::filesystem;
using test::runCommand;
using test::shellQuoted;

constexpr double kPxPerMm = 10.0; // 254 dpi
constexpr double kTolerance = 0.15; // mm

// A 10 x 9 cm form two across and three down on A4 from (0.5, 1) cm, stepping
// 10 cm across and 9.5 down; each form holds a red block 30 x 15 mm at (10, 20) mm.
class SheetPng : public ::testing::Test {
protected:
    void SetUp() override
    {
        const fs::path json = scratch.path() / "labels.json";
        std::ofstream(json) << R"({"pageWidth": 10, "pageHeight": 9, "sheet": "21,29.7,2,3,0.5,1,10,9.5", "boxes": [)"
                               R"({"cType": 7, "pPewW": false, "pX": 1, "pY": 2, "pW": 3, "pH": 1.5, "Color": 255},)"
                               R"({"cType": 1, "pPewW": false, "pX": 5, "pY": 1, "pW": 4, "pH": 1, "wValue": "L${#}"}]})";
        const auto built = runCommand(std::string(ORDAVEL_CLI) + " build " + shellQuoted(json) + " -o " + shellQuoted(oxf));
        ASSERT_EQ(built.status, 0) << built.output;
        std::ofstream(data) << "x\n1\n2\n3\n4\n5\n6\n7\n8\n";
    }

    test::RunResult render(const std::string& options)
    {
        return runCommand(std::string(ORDAVEL_CLI) + " render " + shellQuoted(oxf) + " --dpi 254 " + options);
    }

    // The red block's edges (mm) in the cell whose form's corner is at
    // (cornerX, cornerY) mm, moved by (dx, dy) mm; nothing when the cell is empty.
    struct Edges {
        double left, right, top, bottom;
    };
    static std::optional<Edges> blockOf(const QImage& sheet, double cornerX, double cornerY, double dx = 0,
                                        double dy = 0)
    {
        const auto red = test::coverageBy(qGreen);
        const double left = cornerX + 10 + dx;
        const double top = cornerY + 20 + dy;
        const auto px = [](double mm) { return static_cast<int>(mm * kPxPerMm); };
        const auto across = test::rowSpan(sheet, px(top + 7.5), px(left - 5), px(left + 35), red);
        const auto down = test::columnSpan(sheet, px(left + 15), px(top - 5), px(top + 20), red);
        if (!across || !down)
            return std::nullopt;
        return Edges{across->from / kPxPerMm, across->to / kPxPerMm, down->from / kPxPerMm, down->to / kPxPerMm};
    }

    // Every cell of the sheet: the block of each filled cell where it should be,
    // and which cells (0-based) are filled.
    static std::vector<int> filledCells(const QImage& sheet, double dx = 0, double dy = 0)
    {
        std::vector<int> filled;
        for (int cell = 0; cell < 6; ++cell) {
            const double cornerX = 5 + 100 * (cell % 2);
            const double cornerY = 10 + 95 * (cell / 2);
            const auto block = blockOf(sheet, cornerX, cornerY, dx, dy);
            if (!block)
                continue;
            filled.push_back(cell);
            SCOPED_TRACE(cell);
            EXPECT_NEAR(block->left, cornerX + 10 + dx, kTolerance);
            EXPECT_NEAR(block->right, cornerX + 40 + dx, kTolerance);
            EXPECT_NEAR(block->top, cornerY + 20 + dy, kTolerance);
            EXPECT_NEAR(block->bottom, cornerY + 35 + dy, kTolerance);
        }
        return filled;
    }

    test::ScratchDir scratch{"ordavel-sheet-png"};
    const fs::path oxf = scratch.path() / "labels.oxf";
    const fs::path data = scratch.path() / "labels.csv";
};

TEST_F(SheetPng, ABatchWritesOnePictureASheetWithEachFormInItsCell)
{
    const auto rendered = render("--data " + shellQuoted(data) + " --start-cell 4 -o "
                                 + shellQuoted(scratch.path() / "out.png"));
    ASSERT_EQ(rendered.status, 0) << rendered.output;
    // Eight records from cell 4: three on the first sheet, five on the second.
    EXPECT_FALSE(fs::exists(scratch.path() / "out-0003.png"));
    const QImage first(QString::fromStdString((scratch.path() / "out-0001.png").string()));
    const QImage second(QString::fromStdString((scratch.path() / "out-0002.png").string()));
    ASSERT_FALSE(first.isNull());
    ASSERT_FALSE(second.isNull());
    // The whole A4 sheet at 254 dpi.
    EXPECT_EQ(first.size(), QSize(2100, 2970));
    EXPECT_EQ(second.size(), QSize(2100, 2970));
    EXPECT_EQ(filledCells(first), (std::vector<int>{3, 4, 5}));
    EXPECT_EQ(filledCells(second), (std::vector<int>{0, 1, 2, 3, 4}));

    // A batch that fills exactly one sheet writes one picture.
    const auto six = render("--data " + shellQuoted(data) + " --records 1-6 -o " + shellQuoted(scratch.path() / "six.png"));
    ASSERT_EQ(six.status, 0) << six.output;
    EXPECT_TRUE(fs::exists(scratch.path() / "six-0001.png"));
    EXPECT_FALSE(fs::exists(scratch.path() / "six-0002.png"));
    EXPECT_EQ(filledCells(QImage(QString::fromStdString((scratch.path() / "six-0001.png").string()))),
              (std::vector<int>{0, 1, 2, 3, 4, 5}));
}

TEST_F(SheetPng, APageWithoutDataIsTheSheetWithTheFormInTheFirstCellAndTheOffsetAppliedOnce)
{
    const fs::path png = scratch.path() / "one.png";
    const auto rendered = render("-o " + shellQuoted(png));
    ASSERT_EQ(rendered.status, 0) << rendered.output;
    const QImage sheet(QString::fromStdString(png.string()));
    EXPECT_EQ(sheet.size(), QSize(2100, 2970));
    EXPECT_EQ(filledCells(sheet), std::vector<int>{0});

    // A calibration offset moves every cell's form by the offset, not by the offset once per cell.
    const auto moved = render("--data " + shellQuoted(data) + " --records 1-4 --offset 2,3 -o " + shellQuoted(png));
    ASSERT_EQ(moved.status, 0) << moved.output;
    EXPECT_EQ(filledCells(QImage(QString::fromStdString((scratch.path() / "one-0001.png").string())), 2, 3),
              (std::vector<int>{0, 1, 2, 3}));
}

} // namespace
} // namespace ordavel
