// The preview of a template printed several forms to a sheet: the whole
// sheet, the form in each cell from the start cell on, and with data each
// record in the cell it prints in.
#include "window_fixture.h"

#include "designer/data_panel.h"
#include "designer/paper_panel.h"
#include "designer/work_area.h"

#include <QComboBox>
#include <QSpinBox>

#include <fstream>

namespace ordavel {
namespace {

// A 10 x 9 cm form two across and three down on A4 from (0.5, 1) cm,
// stepping 10 cm across and 9.5 down. Each form has a red block
// 3 x 1.5 cm at (1, 2) cm and the record's name at (5, 1) cm.
class SheetPreviewTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        const std::string oxf = writeTemplate(QStringLiteral("labels.oxf"), [](Document& d) {
            d.setPageSizes(10.0f, 9.0f, d.factors().boardPxX(10.0), d.factors().boardPxY(9.0));
            d.page().sheet = SheetLayout{21.0, 29.7, 2, 3, 0.5, 1.0, 10.0, 9.5};
            const int block = d.addBox(BoxType::ColorPicker, 0, 0, 40, 20);
            d.box(block).followsEdit = false;
            d.box(block).printRect = {1.0, 2.0, 3.0, 1.5};
            d.box(block).attributes.color = 0x0000FF;
            const int name = d.addBox(BoxType::Label, 0, 0, 200, 40);
            d.box(name).followsEdit = false;
            d.box(name).printRect = {5.0, 1.0, 4.0, 1.0};
            d.box(name).attributes.text = "${收件人}";
            d.box(name).attributes.font = FontSpec{"WenQuanYi Zen Hei", 20};
        });
        ASSERT_TRUE(window->openTemplate(oxf));
        data = folder.filePath(QStringLiteral("names.csv")).toStdString();
        std::ofstream(data) << "收件人,份数\nAnn,2\nBob,0\nCyd,1\nDan,1\nEve,1\nFay,1\nGus,1\nHal,1\n";
    }

    PaperPanel* paper() { return window->workArea()->paperPanel(); }
    QSpinBox* startCell() { return paper()->findChild<QSpinBox*>(QStringLiteral("数字框_起始格")); }
    QImage preview()
    {
        QApplication::processEvents();
        return paper()->grab().toImage();
    }

    // A cell's corner on the sheet, preview pixels.
    QPointF corner(int cell)
    {
        const UnitFactors& f = doc().factors();
        return {(0.5 + 10.0 * (cell % 2)) * f.boxPxPerCmX, (1.0 + 9.5 * (cell / 2)) * f.boxPxPerCmY};
    }
    // Whether the red block of the form in `cell` is drawn: its middle red,
    // just outside its corners white.
    bool blockIn(const QImage& sheet, int cell)
    {
        const UnitFactors& f = doc().factors();
        const QPointF at = corner(cell);
        const auto colour = [&](double xCm, double yCm) {
            return sheet.pixelColor(static_cast<int>(at.x() + xCm * f.boxPxPerCmX),
                                    static_cast<int>(at.y() + yCm * f.boxPxPerCmY));
        };
        const bool red = colour(2.5, 2.75) == QColor(Qt::red);
        if (red) {
            EXPECT_EQ(colour(0.9, 1.9), QColor(Qt::white)) << cell;
            EXPECT_EQ(colour(4.1, 3.6), QColor(Qt::white)) << cell;
            EXPECT_EQ(colour(1.05, 2.05), QColor(Qt::red)) << cell;
            EXPECT_EQ(colour(3.95, 3.45), QColor(Qt::red)) << cell;
        }
        return red;
    }
    std::vector<int> filledCells(const QImage& sheet)
    {
        std::vector<int> cells;
        for (int cell = 0; cell < 6; ++cell)
            if (blockIn(sheet, cell))
                cells.push_back(cell);
        return cells;
    }
    // The part of the preview where the form in `cell` writes its name.
    QImage nameIn(const QImage& sheet, int cell)
    {
        const UnitFactors& f = doc().factors();
        const QPointF at = corner(cell);
        return sheet.copy(static_cast<int>(at.x() + 5 * f.boxPxPerCmX), static_cast<int>(at.y() + 1 * f.boxPxPerCmY),
                          static_cast<int>(4 * f.boxPxPerCmX), static_cast<int>(1 * f.boxPxPerCmY));
    }

    std::string data;
};

TEST_F(SheetPreviewTest, ThePreviewIsTheWholeSheetWithTheFormInEachCellFromTheStartCell)
{
    const QSize board(doc().page().boardWidth, doc().page().boardHeight);
    EXPECT_EQ(paper()->size(), board);
    ASSERT_NE(startCell(), nullptr);
    EXPECT_TRUE(startCell()->isHidden());

    window->switchMode(AppMode::PreviewMode);
    const QSize sheet(doc().factors().boardPxX(21.0), doc().factors().boardPxY(29.7));
    EXPECT_EQ(paper()->size(), sheet);
    EXPECT_FALSE(startCell()->isHidden());
    EXPECT_EQ(startCell()->maximum(), 6);
    EXPECT_EQ(filledCells(preview()), (std::vector<int>{0, 1, 2, 3, 4, 5}));

    // Cells already used on a partly used sheet stay empty.
    startCell()->setValue(4);
    EXPECT_EQ(paper()->startCell(), 4);
    EXPECT_EQ(filledCells(preview()), (std::vector<int>{3, 4, 5}));

    // Back to design: the board is the form again.
    window->switchMode(AppMode::DesignMode);
    EXPECT_EQ(paper()->size(), board);
    EXPECT_TRUE(startCell()->isHidden());
    EXPECT_FALSE(doc().modified());

    // A template of one form a page, opened during the preview, previews its own page.
    window->switchMode(AppMode::PreviewMode);
    ASSERT_TRUE(window->openTemplate(writeTextTemplate(QStringLiteral("single.oxf"), "plain")));
    window->switchMode(AppMode::PreviewMode);
    EXPECT_EQ(paper()->size(), QSize(doc().page().boardWidth, doc().page().boardHeight));
    EXPECT_TRUE(startCell()->isHidden());
}

TEST_F(SheetPreviewTest, WithDataEachRecordIsInTheCellItPrintsInOnTheSheetOfTheCurrentRecord)
{
    ASSERT_TRUE(window->openDataFile(data));
    window->switchMode(AppMode::PreviewMode);
    startCell()->setValue(4);
    // Records 1 to 3 on the first sheet in cells 4 to 6, 4 to 8 on the second in cells 1 to 5.
    EXPECT_EQ(paper()->recordsInCells(), (std::vector<int>{-1, -1, -1, 0, 1, 2}));
    const QImage first = preview();
    EXPECT_EQ(filledCells(first), (std::vector<int>{3, 4, 5}));
    EXPECT_NE(nameIn(first, 3), nameIn(first, 4)) << "each cell its own record";

    window->dataPanel()->setCurrentRow(4);
    EXPECT_EQ(paper()->recordsInCells(), (std::vector<int>{3, 4, 5, 6, 7, -1}));
    const QImage second = preview();
    EXPECT_EQ(filledCells(second), (std::vector<int>{0, 1, 2, 3, 4}));
    // The same sheet whichever of its records is current.
    window->dataPanel()->setCurrentRow(7);
    EXPECT_EQ(preview(), second);

    // From cell 1 the first six records share the first sheet.
    startCell()->setValue(1);
    window->dataPanel()->setCurrentRow(0);
    EXPECT_EQ(paper()->recordsInCells(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    const QImage full = preview();
    EXPECT_EQ(filledCells(full), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(doc().box(2).attributes.text, "${收件人}");

    // With a copies column each copy takes a cell, and a record of no copies none.
    auto* copies = window->dataPanel()->findChild<QComboBox*>(QStringLiteral("组合框_份数列"));
    copies->setCurrentIndex(copies->findText(QStringLiteral("份数")));
    EXPECT_EQ(paper()->recordsInCells(), (std::vector<int>{0, 0, 2, 3, 4, 5}));
    const QImage twice = preview();
    EXPECT_EQ(filledCells(twice), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(nameIn(twice, 0), nameIn(full, 0));
    EXPECT_NE(nameIn(twice, 1), nameIn(full, 1)) << "Ann's second copy where Bob was";
    // Bob prints nothing: his sheet is that of the next record printed.
    window->dataPanel()->setCurrentRow(1);
    EXPECT_EQ(paper()->recordsInCells(), (std::vector<int>{0, 0, 2, 3, 4, 5}));
    window->dataPanel()->setCurrentRow(6);
    EXPECT_EQ(paper()->recordsInCells(), (std::vector<int>{6, 7, -1, -1, -1, -1}));
}

} // namespace
} // namespace ordavel
