#include "model/document.h"

#include "model/alignment.h"

#include <gtest/gtest.h>

namespace ordavel {
namespace {

// Every model behaviour that depends on the factors is checked at 96 and 120 dpi.
class DocumentAtDpi : public ::testing::TestWithParam<double> {
protected:
    UnitFactors factors = UnitFactors::fromDpi(GetParam());
    Document doc{factors};
    double cmX(int px) const { return roundTo(px / factors.boxPxPerCmX, 2); }
    double cmY(int px) const { return roundTo(px / factors.boxPxPerCmY, 2); }
};

INSTANTIATE_TEST_SUITE_P(Screens, DocumentAtDpi, ::testing::Values(96.0, 120.0),
                         [](const ::testing::TestParamInfo<double>& p) { return std::to_string(int(p.param)) + "dpi"; });

TEST_P(DocumentAtDpi, NewDocumentIsAnUntitled21By29PageInDesignMode)
{
    const PageSettings& page = doc.page();
    EXPECT_EQ(page.pageWidth, 21.0f);
    EXPECT_EQ(page.pageHeight, 29.0f);
    EXPECT_EQ(page.boardWidth, int(roundTo(21.0 * factors.pagePxPerCmX, 0)));
    EXPECT_EQ(page.boardHeight, int(roundTo(29.0 * factors.pagePxPerCmY, 0)));
    EXPECT_EQ(doc.statusText(PanelPaper), "纸张:21x29厘米");
    EXPECT_EQ(doc.statusText(PanelBoard), "画板:" + std::to_string(page.boardWidth) + "x" +
                                              std::to_string(page.boardHeight) + "像素");
    EXPECT_EQ(doc.statusText(PanelMouse), "X:    Y:");
    EXPECT_EQ(doc.statusText(PanelBox), "没有选择控件");
    EXPECT_EQ(doc.title(), "Ordavel v1.65 - 未命名文档.oxf");
    EXPECT_FALSE(doc.modified());
    EXPECT_EQ(doc.appMode(), AppMode::DesignMode);
}

TEST(Document, NewDocumentAt96DpiHas794By1096Board)
{
    Document doc;
    EXPECT_EQ(doc.page().boardWidth, 794);
    EXPECT_EQ(doc.page().boardHeight, 1096);
    EXPECT_EQ(doc.statusText(PanelBoard), "画板:794x1096像素");
}

TEST_P(DocumentAtDpi, CreatedBoxTakesDefaultSizeAndConvertsItsPrintRect)
{
    const int index = doc.addBox(BoxType::EditBox, 37, 20);
    const Box& box = doc.box(index);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(box.editRect, (Rect{37, 20, 80, 28}));
    EXPECT_EQ(box.printRect, (PrintRect{cmX(37), cmY(20), cmX(80), cmY(28)}));
    EXPECT_TRUE(box.isPrint);
    EXPECT_TRUE(box.followsEdit);
    EXPECT_EQ(box.attributes.text, "编辑框");
    EXPECT_EQ(box.attributes.font, FontSpec{});
    EXPECT_EQ(doc.currentBoxIndex(), index);
    EXPECT_EQ(doc.selection(), std::vector<int>{index});
    EXPECT_TRUE(box.handlesVisible);
    EXPECT_EQ(doc.statusText(PanelBox), "X:37,Y:20,W:80,H:28");
    EXPECT_TRUE(doc.modified());
    EXPECT_EQ(doc.title(), "Ordavel v1.65 - 未命名文档.oxf *");
}

TEST(Document, CreatedBoxAt96DpiPrintsAtTheSpecifiedCentimetres)
{
    Document doc;
    const Box& box = doc.box(doc.addBox(BoxType::Label, 37, 20));
    EXPECT_EQ(box.printRect, (PrintRect{0.98, 0.53, 2.12, 0.74}));
    EXPECT_EQ(box.attributes.text, "标签");
}

TEST_P(DocumentAtDpi, FileBoxKeepsItsPrintRect)
{
    const int index = doc.allocateSlot();
    doc.box(index).printRect = PrintRect{5.5, 6.25, 3.0, 1.0};
    doc.createBox(index, BoxType::Label, 10, 10, 50, 20, /*fromFile=*/true);
    EXPECT_EQ(doc.box(index).printRect.width, 3.0);
    // The follow rule still applies to left and top when the handles are placed.
    EXPECT_EQ(doc.box(index).printRect.left, cmX(10));
}

TEST_P(DocumentAtDpi, SlotsAreReusedLowestFirstAndNeverShrink)
{
    for (int i = 0; i < 3; ++i)
        doc.addBox(BoxType::EditBox, 10 * i, 10);
    doc.deleteBox(2);
    EXPECT_EQ(doc.addBox(BoxType::Label, 0, 0), 2);
    EXPECT_EQ(doc.addBox(BoxType::Label, 0, 0), 4);

    doc.newDocument();
    EXPECT_EQ(doc.slotCount(), 4);
    EXPECT_EQ(doc.liveBoxCount(), 0);
    EXPECT_EQ(doc.addBox(BoxType::EditBox, 0, 0), 1);
    EXPECT_EQ(doc.addBox(BoxType::EditBox, 0, 0), 2);
    doc.deleteBox(1);
    doc.deleteBox(2);
    EXPECT_EQ(doc.addBox(BoxType::EditBox, 0, 0), 1);
    EXPECT_EQ(doc.slotCount(), 4);
}

TEST_P(DocumentAtDpi, DeleteRestoresInitialValuesAndTheTemplateLook)
{
    const int index = doc.addBox(BoxType::ShapeBox, 10, 10, 60, 40);
    Box& box = doc.box(index);
    box.isPrint = false;
    box.followsEdit = false;
    box.attributes.shape = ShapeCircle;
    box.attributes.lineWidth = 4;
    box.picturePath = "/tmp/a.jpg";
    box.comboItems = ",a,b";
    doc.setTitle(false);

    doc.deleteBox(index);
    EXPECT_FALSE(box.inUse);
    EXPECT_EQ(box.index, 0);
    EXPECT_EQ(box.printRect, PrintRect{});
    EXPECT_TRUE(box.isPrint);
    EXPECT_TRUE(box.followsEdit);
    EXPECT_TRUE(box.picturePath.empty());
    EXPECT_TRUE(box.comboItems.empty());
    EXPECT_EQ(box.attributes.shape, ShapeRectangle);
    EXPECT_EQ(box.attributes.lineWidth, 1);
    EXPECT_FALSE(box.visible);
    EXPECT_TRUE(doc.modified());
    EXPECT_EQ(doc.statusText(PanelBox), "没有选择控件");
}

TEST_P(DocumentAtDpi, DuplicateCopiesEveryAttributeTenPixelsAwayButNotComboItems)
{
    const int source = doc.addBox(BoxType::ComboBox, 100, 50, 90, 30);
    Box& original = doc.box(source);
    original.attributes.items = {"甲", "乙"};
    original.attributes.text = "乙";
    original.attributes.font.bold = true;
    original.comboItems = ",甲,乙";
    original.isPrint = false;
    original.printRect.width = 4.5;

    const int copy = doc.duplicateCurrent();
    ASSERT_EQ(copy, 2);
    const Box& dup = doc.box(copy);
    EXPECT_EQ(dup.editRect, (Rect{110, 60, 90, 30}));
    EXPECT_EQ(dup.attributes, original.attributes);
    EXPECT_TRUE(dup.comboItems.empty());
    EXPECT_FALSE(dup.isPrint);
    EXPECT_EQ(dup.printRect.width, 4.5);
    EXPECT_EQ(dup.printRect.left, cmX(110)); // follows: recomputed from the new place
    EXPECT_EQ(doc.selection(), std::vector<int>{copy});
    EXPECT_FALSE(doc.box(source).handlesVisible);
    EXPECT_EQ(doc.currentBoxIndex(), copy);
}

TEST_P(DocumentAtDpi, FixedPrintPositionStaysWhenTheDuplicateMoves)
{
    const int source = doc.addBox(BoxType::EditBox, 100, 50);
    doc.box(source).followsEdit = false;
    const PrintRect before = doc.box(source).printRect;
    const int copy = doc.duplicateCurrent();
    EXPECT_EQ(doc.box(copy).printRect, before);
}

TEST_P(DocumentAtDpi, HandlesSurroundTheBoxAndPrintPositionFollows)
{
    const int index = doc.addBox(BoxType::EditBox, 100, 50, 41, 20);
    doc.setEditRect(index, Rect{200, 80, 41, 20});
    doc.placeHandles(index);
    const auto& h = doc.box(index).handles;
    EXPECT_EQ(h[HandleTopLeft], (Rect{195, 75, 5, 5}));
    EXPECT_EQ(h[HandleMiddleLeft], (Rect{195, 87, 5, 5})); // 80 + 15/2
    EXPECT_EQ(h[HandleBottomLeft], (Rect{195, 100, 5, 5}));
    EXPECT_EQ(h[HandleTopMiddle], (Rect{218, 75, 5, 5})); // 200 + 36/2
    EXPECT_EQ(h[HandleBottomMiddle], (Rect{218, 100, 5, 5}));
    EXPECT_EQ(h[HandleTopRight], (Rect{241, 75, 5, 5}));
    EXPECT_EQ(h[HandleMiddleRight], (Rect{241, 87, 5, 5}));
    EXPECT_EQ(h[HandleBottomRight], (Rect{241, 100, 5, 5}));
    EXPECT_EQ(doc.box(index).printRect.left, cmX(200));
    EXPECT_EQ(doc.box(index).printRect.top, cmY(80));
    EXPECT_EQ(doc.statusText(PanelBox), "当前控件:上=80px,左=200px,宽=41px,高=20px");
}

TEST_P(DocumentAtDpi, FixedBoxMovesOnScreenOnly)
{
    const int index = doc.addBox(BoxType::EditBox, 100, 50);
    doc.box(index).followsEdit = false;
    const PrintRect before = doc.box(index).printRect;
    doc.setEditRect(index, Rect{300, 300, 80, 28});
    doc.placeHandles(index);
    EXPECT_EQ(doc.box(index).printRect, before);
    EXPECT_EQ(doc.statusText(PanelBox), "当前控件:上=300px,左=300px,宽=80px,高=28px");
}

TEST_P(DocumentAtDpi, SquareKindsBecomeSquareAfterADrag)
{
    const int index = doc.addBox(BoxType::ShapeBox, 10, 10);
    doc.box(index).attributes.shape = ShapeRoundSquare;
    doc.box(index).followsEdit = false; // squaring recomputes regardless
    doc.beginDrag(index);
    doc.setEditRect(index, Rect{20, 30, 100, 60});
    doc.endDrag(index);
    const Box& box = doc.box(index);
    EXPECT_EQ(box.editRect, (Rect{20, 30, 60, 60}));
    EXPECT_EQ(box.printRect, (PrintRect{cmX(20), cmY(30), cmX(60), cmY(60)}));
    EXPECT_EQ(doc.statusText(PanelBox), "X:20,Y:30,W:60,H:60");

    doc.box(index).attributes.shape = ShapeEllipse;
    doc.setEditRect(index, Rect{20, 30, 100, 60});
    doc.endDrag(index);
    EXPECT_EQ(doc.box(index).editRect.width, 100);
}

TEST_P(DocumentAtDpi, SelectingASelectedBoxChangesNothing)
{
    const int a = doc.addBox(BoxType::EditBox, 0, 0);
    const int b = doc.addBox(BoxType::EditBox, 100, 0);
    doc.select(a);
    doc.select(b);
    doc.select(a);
    EXPECT_EQ(doc.selection(), (std::vector<int>{b, a}));
    doc.clearSelection();
    EXPECT_TRUE(doc.selection().empty());
    EXPECT_FALSE(doc.box(a).handlesVisible);
    EXPECT_EQ(doc.statusText(PanelBox), "没有选择控件");
}

TEST_P(DocumentAtDpi, GeometryByNameMatchesNamesExactly)
{
    const int index = doc.addBox(BoxType::EditBox, 100, 50);
    const PrintRect before = doc.box(index).printRect;
    doc.setProperty(index, "宽度", 120);
    const Box& box = doc.box(index);
    EXPECT_EQ(box.editRect.width, 120);
    EXPECT_EQ(box.handles[HandleTopRight].left, 220);
    EXPECT_EQ(box.handles[HandleMiddleRight].left, 220);
    EXPECT_EQ(box.handles[HandleBottomRight].left, 220);
    EXPECT_EQ(box.printRect.width, before.width);
    EXPECT_EQ(doc.statusText(PanelBox), "当前控件:上=50px,左=100px,宽=120px,高=28px");

    doc.setProperty(index, "left", 37);
    EXPECT_EQ(box.printRect.left, cmX(37));

    int out = -1;
    EXPECT_EQ(doc.getProperty(index, "Left", &out), 0);
    EXPECT_EQ(out, -1);
    EXPECT_EQ(doc.getProperty(index, "顶边", &out), 50);
    EXPECT_EQ(out, 50);
    EXPECT_EQ(doc.getProperty(index, "Height"), 28);

    doc.setTitle(false);
    doc.setProperty(index, "Top", 999);
    EXPECT_EQ(box.editRect.top, 50);
    EXPECT_TRUE(doc.modified());
}

// Every way of sizing a box: each one takes the box from 80 x 28 to 120 x 40 px.
struct SizingPath {
    const char* name;
    void (*size)(Document& doc, int index);
};

const SizingPath kSizingPaths[] = {
    {"mouse",
     [](Document& doc, int index) {
         doc.beginDrag(index);
         doc.setEditRect(index, Rect{100, 50, 120, 40});
         doc.endDrag(index);
     }},
    {"keyboard",
     [](Document& doc, int index) {
         doc.clearSelection();
         doc.select(index);
         doc.nudgeSelection(0, 0, 40, 12);
     }},
    {"same size",
     [](Document& doc, int index) {
         const int reference = doc.addBox(BoxType::EditBox, 400, 400, 120, 40);
         doc.clearSelection();
         doc.select(index);
         doc.select(reference);
         alignSelection(doc, AlignCommand::SameSize);
     }},
    {"dialog",
     [](Document& doc, int index) {
         // What a property dialog's apply does with the edit-time fields.
         doc.setEditRect(index, Rect{100, 50, 120, 40});
         doc.placeHandles(index);
         doc.boxEdited(index);
     }},
};

TEST_P(DocumentAtDpi, PrintSizeFollowsEverySizingWhileTheBoxFollowsTheEdit)
{
    for (const BoxType type : {BoxType::PicBox, BoxType::ShapeBox, BoxType::ColorPicker, BoxType::BarcodeBox}) {
        for (const SizingPath& path : kSizingPaths) {
            for (const bool follows : {true, false}) {
                SCOPED_TRACE(std::string(path.name) + " type " + std::to_string(boxTypeCode(type))
                             + (follows ? " following" : " fixed"));
                Document d{factors};
                const int index = d.addBox(type, 100, 50);
                d.box(index).followsEdit = follows;
                const PrintRect before = d.box(index).printRect;
                ASSERT_EQ(before.width, cmX(80));
                path.size(d, index);
                const Box& box = d.box(index);
                ASSERT_EQ(box.editRect, (Rect{100, 50, 120, 40}));
                if (follows)
                    EXPECT_EQ(box.printRect, (PrintRect{cmX(100), cmY(50), cmX(120), cmY(40)}));
                else
                    EXPECT_EQ(box.printRect, before);
            }
        }
    }
}

TEST_P(DocumentAtDpi, TextBoxesAndLabelsKeepTheirPrintSizeWhenSized)
{
    for (const BoxType type : {BoxType::EditBox, BoxType::Label, BoxType::DatePicker, BoxType::ComboBox}) {
        for (const SizingPath& path : kSizingPaths) {
            SCOPED_TRACE(std::string(path.name) + " type " + std::to_string(boxTypeCode(type)));
            Document d{factors};
            const int index = d.addBox(type, 100, 50);
            const PrintRect before = d.box(index).printRect;
            path.size(d, index);
            EXPECT_EQ(d.box(index).printRect, (PrintRect{cmX(100), cmY(50), before.width, before.height}));
        }
    }
}

TEST_P(DocumentAtDpi, AFileBoxKeepsItsStoredPrintSizeUntilItIsSized)
{
    const int index = doc.allocateSlot();
    doc.box(index).printRect = PrintRect{2.0, 3.0, 7.5, 1.25};
    doc.createBox(index, BoxType::BarcodeBox, 100, 50, 80, 28, /*fromFile=*/true);
    doc.placeHandles(index);
    // Moved, selected, duplicated, nudged without a size change: the size stays.
    doc.beginDrag(index);
    doc.setEditRect(index, Rect{130, 70, 80, 28});
    doc.endDrag(index);
    EXPECT_EQ(doc.box(index).printRect, (PrintRect{cmX(130), cmY(70), 7.5, 1.25}));
    doc.nudgeSelection(1, 0, 0, 0);
    EXPECT_EQ(doc.box(index).printRect.width, 7.5);
    const int copy = doc.duplicateCurrent();
    EXPECT_EQ(doc.box(copy).printRect.width, 7.5);
    EXPECT_EQ(doc.box(copy).printRect.height, 1.25);

    // Sized by one pixel: the print size is now the board's.
    doc.clearSelection();
    doc.select(index);
    doc.nudgeSelection(0, 0, 0, 1);
    EXPECT_EQ(doc.box(index).printRect.width, cmX(80));
    EXPECT_EQ(doc.box(index).printRect.height, cmY(29));
    EXPECT_EQ(doc.box(copy).printRect.width, 7.5);
}

TEST(Document, ObserversHearTitleAndStatusChanges)
{
    struct Recorder : DocumentObserver {
        std::vector<std::string> titles;
        std::vector<int> changedBoxes;
        void titleChanged(const std::string& title, bool) override { titles.push_back(title); }
        void boxChanged(int index) override { changedBoxes.push_back(index); }
    } recorder;
    Document doc;
    doc.addObserver(&recorder);
    doc.setFileName("/forms/waybill.oxf");
    doc.addBox(BoxType::ColorPicker, 0, 0);
    ASSERT_FALSE(recorder.titles.empty());
    EXPECT_EQ(recorder.titles.back(), "Ordavel v1.65 - /forms/waybill.oxf *");
    EXPECT_FALSE(recorder.changedBoxes.empty());
    doc.removeObserver(&recorder);
    const auto heard = recorder.titles.size();
    doc.setTitle(false);
    EXPECT_EQ(recorder.titles.size(), heard);
}

TEST(Document, ManyBoxesAllocateInOrder)
{
    Document doc;
    for (int i = 1; i <= 2000; ++i)
        ASSERT_EQ(doc.addBox(BoxType::EditBox, i, i), i);
    for (int i = 2000; i >= 1; i -= 3)
        doc.deleteBox(i);
    // The lowest free slot first, exactly as a scan from 1 finds it.
    for (int expected = 2; expected <= 2000; expected += 3)
        ASSERT_EQ(doc.addBox(BoxType::Label, 0, 0), expected);
    EXPECT_EQ(doc.addBox(BoxType::Label, 0, 0), 2001);
}

} // namespace
} // namespace ordavel

namespace ordavel {
namespace {

TEST(DocumentSelectionByMouse, FreeSlotsAreNeverHitAndTheRebuiltSelectionIsInIndexOrder)
{
    Document doc;
    doc.addBox(BoxType::Label, 10, 10, 50, 30);
    doc.addBox(BoxType::Label, 100, 10, 50, 30);
    doc.addBox(BoxType::Label, 10, 100, 50, 30);
    doc.deleteBox(2); // its control is hidden where it was
    EXPECT_EQ(doc.boxesTouching(Rect{0, 0, 200, 200}), (std::vector<int>{1, 3}));
    EXPECT_TRUE(doc.boxesTouching(Rect{0, 0, 200, 0}).empty());

    doc.select(1); // after box 3, which creation selected
    EXPECT_EQ(doc.selection(), (std::vector<int>{3, 1}));
    doc.rebuildSelection();
    EXPECT_EQ(doc.selection(), (std::vector<int>{1, 3}));
    doc.toggleSelection(1);
    EXPECT_EQ(doc.selection(), std::vector<int>{3});
    EXPECT_FALSE(doc.box(1).handlesVisible);
}

} // namespace
} // namespace ordavel
