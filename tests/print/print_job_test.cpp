#include "print/print_job.h"

#include "recording_surface.h"

#include <gtest/gtest.h>
#include <ostream>
#include <tuple>

namespace ordavel {
namespace {

using test::RecordingSurface;
using Calls = std::vector<std::string>;

TEST(PaperSize, IsTheTypedSizeRoundedToTheHundredthOfAMillimetre)
{
    PageSettings page;
    EXPECT_EQ(paperSize(page), (PaperSize{21000, 29000}));
    // Floats a hair below (21.2999992, 12.6999998) or above the typed value.
    for (const auto& [w, h, expected] : {std::tuple{21.3f, 29.0f, PaperSize{21300, 29000}},
                                         std::tuple{23.0f, 12.7f, PaperSize{23000, 12700}},
                                         std::tuple{0.1f, 500.0f, PaperSize{100, 500000}},
                                         std::tuple{12.345f, 9.999f, PaperSize{12345, 9999}}}) {
        page.pageWidth = w;
        page.pageHeight = h;
        EXPECT_EQ(paperSize(page), expected) << w << " x " << h;
    }
    for (const auto& [w, h] : {std::pair{0.0f, 29.0f}, std::pair{21.0f, 0.0f}, std::pair{-1.0f, 29.0f}}) {
        page.pageWidth = w;
        page.pageHeight = h;
        EXPECT_FALSE(paperSize(page).has_value()) << w << " x " << h;
    }
}

struct PlacementRow {
    const char* name;
    double dpi;
    PixelSize picture;
    int mode;
    TenthsMmRect expected;
};
// Test names in ctest and gtest output show the row name, not its bytes.
void PrintTo(const PlacementRow& row, std::ostream* os) { *os << row.name; }

class BackgroundPlacement : public ::testing::TestWithParam<PlacementRow> {};

TEST_P(BackgroundPlacement, OnA21By29Page)
{
    const PlacementRow& row = GetParam();
    EXPECT_EQ(backgroundPlacement(row.picture, row.mode, 21.0f, 29.0f, UnitFactors::fromDpi(row.dpi)),
              row.expected);
}

// 96 dpi: 378 x 189 px is 10.00 x 5.00 cm, 1134 x 756 px is 30.00 x 20.00 cm.
// 120 dpi: 945 x 236 px is 20.00 x 5.00 cm.
INSTANTIATE_TEST_SUITE_P(
    Rows, BackgroundPlacement,
    ::testing::Values(
        PlacementRow{"OwnSizeTopLeft", 96, {378, 189}, 0, {0, 0, 1000, 500}},
        PlacementRow{"OwnSizeLargerThanPaper", 96, {1134, 756}, 0, {0, 0, 3000, 2000}},
        PlacementRow{"Stretched", 96, {378, 189}, 1, {0, 0, 2100, 2900}},
        PlacementRow{"CentredSmall", 96, {378, 189}, 2, {550, 1200, 1000, 500}},
        PlacementRow{"CentredSmall120", 120, {945, 236}, 2, {50, 1200, 2000, 500}},
        PlacementRow{"CentredWiderAndTallerFitsWidth", 96, {1134, 756}, 2, {0, 750, 2100, 1400}},
        // 20 x 40 cm: taller and wider, not wider than tall -> fit the height.
        PlacementRow{"CentredWiderAndTallerFitsHeight", 96, {756, 1512}, 2, {325, 0, 1450, 2900}},
        // 10 x 58 cm: only taller -> fit the height.
        PlacementRow{"CentredOnlyTaller", 96, {378, 2192}, 2, {800, 0, 500, 2900}},
        // 42 x 10 cm: only wider -> fit the width.
        PlacementRow{"CentredOnlyWider", 96, {1587, 378}, 2, {0, 1200, 2100, 500}},
        // 254 dpi is 100 px/cm: 21 x 10 cm, width equal to the paper's -> kept at the top left.
        PlacementRow{"CentredOneSideEqual", 254, {2100, 1000}, 2, {0, 0, 2100, 1000}},
        // 20.997 cm is narrower than the paper by more than the tolerance: centred.
        PlacementRow{"CentredNearlyEqual", 120, {992, 472}, 2, {0, 950, 2100, 999}},
        PlacementRow{"UnknownModeDrawsNothing", 96, {378, 189}, 3, {0, 0, 0, 0}}),
    [](const auto& row) { return std::string(row.param.name); });

Document documentWithBoxes()
{
    Document doc;
    const int text = doc.addBox(BoxType::EditBox, 10, 10);
    doc.box(text).printRect = {1, 1, 3, 1};
    doc.box(text).attributes.text = "first";
    doc.box(text).attributes.textColor = 0x0000FF;
    const int unprinted = doc.addBox(BoxType::Label, 10, 50);
    doc.box(unprinted).isPrint = false;
    const int combo = doc.addBox(BoxType::ComboBox, 10, 90);
    doc.box(combo).printRect = {2, 3, 3, 1};
    doc.box(combo).attributes.text = "third";
    return doc;
}

TEST(PrintPage, BlackTextFirstThenBackgroundThenBoxesInSlotOrder)
{
    Document doc = documentWithBoxes();
    doc.page().background = "GIF89a";
    doc.page().isPrintBgPic = true;
    doc.page().imgShowType = 1;
    int yields = 0;
    doc.setYield([&] { ++yields; });
    RecordingSurface surface;
    printPage(doc, surface);
    ASSERT_FALSE(surface.calls.empty());
    EXPECT_EQ(surface.calls.front(), "textColor 000000");
    // The combo's text keeps the red of the text box before it.
    EXPECT_EQ(surface.drawn, (Calls{"picture GIF89a 0 0 2100 2900", "text 100 100 first",
                                         "text 200 300 third"}));
    EXPECT_EQ(yields, 3);
}

TEST(PrintPage, BackgroundOnlyWhenAskedForAndDecodable)
{
    struct Case {
        bool isPrintBgPic;
        std::string background;
    };
    for (const Case& c : {Case{false, "GIF89a"}, Case{true, ""}, Case{true, "bad bytes"}}) {
        Document doc = documentWithBoxes();
        doc.page().isPrintBgPic = c.isPrintBgPic;
        doc.page().background = c.background;
        RecordingSurface surface;
        printPage(doc, surface);
        EXPECT_EQ(surface.drawn, (Calls{"text 100 100 first", "text 200 300 third"}));
    }
}

TEST(PrintPage, ProgressCanStopTheWalkAndSeesDocumentChangesMadeWhileYielding)
{
    Document doc = documentWithBoxes();
    RecordingSurface surface;
    EXPECT_FALSE(printPage(doc, surface, [](int index) { return index < 1; }));
    EXPECT_EQ(surface.drawn, Calls{"text 100 100 first"});

    // An event handled during the walk deletes box 3: it is not drawn.
    doc.setYield([&] {
        if (doc.box(3).inUse)
            doc.deleteBox(3);
    });
    RecordingSurface again;
    EXPECT_TRUE(printPage(doc, again, {}));
    EXPECT_EQ(again.drawn, Calls{"text 100 100 first"});
}

} // namespace
} // namespace ordavel
