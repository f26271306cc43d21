// Several forms to a sheet: where each form of a batch goes, and the
// layout's text in the template file.
#include "print/job_paper.h"
#include "print/sheet_layout.h"

#include <gtest/gtest.h>

namespace ordavel {
namespace {

// Two across and three down on A4, the first form at (1, 1.5) cm, 10 and 9 cm apart.
const SheetLayout kTwoByThree{21.0, 29.7, 2, 3, 1.0, 1.5, 10.0, 9.0};

TEST(SheetLayout, FormsFillTheCellsAcrossThenDownFromTheStartCell)
{
    EXPECT_EQ(sheetSlot(kTwoByThree, 0), (SheetSlot{0, 0, 1.0, 1.5}));
    EXPECT_EQ(sheetSlot(kTwoByThree, 1), (SheetSlot{0, 1, 11.0, 1.5}));
    EXPECT_EQ(sheetSlot(kTwoByThree, 5), (SheetSlot{0, 5, 11.0, 19.5}));
    EXPECT_EQ(sheetSlot(kTwoByThree, 6), (SheetSlot{1, 0, 1.0, 1.5}));
    // Eight forms from cell 4: cells 4 to 6 of the first sheet, then 1 to 5 of the second.
    EXPECT_EQ(sheetSlot(kTwoByThree, 0, 4), (SheetSlot{0, 3, 11.0, 10.5}));
    EXPECT_EQ(sheetSlot(kTwoByThree, 2, 4), (SheetSlot{0, 5, 11.0, 19.5}));
    EXPECT_EQ(sheetSlot(kTwoByThree, 3, 4), (SheetSlot{1, 0, 1.0, 1.5}));
    EXPECT_EQ(sheetSlot(kTwoByThree, 7, 4), (SheetSlot{1, 4, 1.0, 19.5}));
    // One form a page without a layout.
    EXPECT_EQ(sheetSlot(SheetLayout{}, 3), (SheetSlot{3, 0, 0, 0}));
}

TEST(SheetLayout, IsKeptAsOneTextAndRefusedOutOfRange)
{
    EXPECT_EQ(sheetLayoutText(kTwoByThree), "21,29.7,2,3,1,1.5,10,9");
    EXPECT_EQ(readSheetLayout("21,29.7,2,3,1,1.5,10,9"), kTwoByThree);
    for (const char* bad : {"", "21,29.7,2,3,1,1.5,10", "21,29.7,0,3,1,1.5,10,9", "21,29.7,2.5,3,1,1.5,10,9",
                            "21,29.7,2,51,1,1.5,10,9", "0,29.7,2,3,1,1.5,10,9", "21,29.7,2,3,1,1.5,-1,9",
                            "21,29.7,2,3,1,1.5,10,9,", "a,29.7,2,3,1,1.5,10,9"})
        EXPECT_FALSE(readSheetLayout(bad)) << bad;

    // A template printed to sheets goes out on the sheet's paper.
    PageSettings page;
    page.pageWidth = 10.0f;
    page.pageHeight = 9.0f;
    page.sheet = kTwoByThree;
    EXPECT_EQ(jobPaper(page, 0.5), (JobPaper{21000, 29750}));
}

} // namespace
} // namespace ordavel
