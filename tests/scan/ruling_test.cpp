// The ruled structure of drawn pages: skew, rules of every kind, regions.
#include "scan_drawing.h"

#include "scan/ruling.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace ordavel::scan {
namespace {

using test::fillRect;
using test::frame;
using test::slantedLine;
using test::whitePage;

constexpr double kPxPerMm = 200 / 25.4; // a 200 dpi scan

std::vector<Rule> horizontalRules(const Ruling& r, int minWidth)
{
    std::vector<Rule> out;
    for (const Rule& rule : r.rules)
        if (rule.horizontal && rule.rect.w >= minWidth)
            out.push_back(rule);
    return out;
}

TEST(Ruling, SkewComesFromTheLongRulesAndIsTakenOut)
{
    for (const double degrees : {1.5, -2.0}) {
        Picture page = whitePage(1200, 900);
        for (int k = 0; k < 5; ++k)
            slantedLine(page, 100, 200 + 120 * k, 1000, degrees);
        // Short strokes at another angle must not sway the estimate.
        for (int k = 0; k < 20; ++k)
            slantedLine(page, 150 + 40 * k, 100, 30, 20);
        const Ruling r = findRuling(page, kPxPerMm);
        EXPECT_NEAR(r.skewDegrees, degrees, 0.15) << degrees;
        // Level again: each long rule is one thin run across the page.
        const auto rules = horizontalRules(r, 800);
        EXPECT_EQ(rules.size(), 5u) << degrees;
        for (const Rule& rule : rules)
            EXPECT_LE(rule.rect.h, 6) << degrees;
        // A point of the level picture maps back onto the slanted original.
        const auto& m = r.toScan;
        const double x = 600;
        const double y = rules.empty() ? 0 : rules.front().rect.y + 1;
        const double backY = m[3] * x + m[4] * y + m[5];
        const double expected = 200 + (600 - 100) * std::tan(degrees * 3.14159265358979 / 180.0);
        EXPECT_NEAR(backY, expected, 4.0) << degrees;
    }
}

TEST(Ruling, FormsAtTwoSlantsOnOneSheetAreSplitIntoBands)
{
    Picture page = whitePage(1200, 1400);
    for (int k = 0; k < 4; ++k)
        slantedLine(page, 100, 100 + 100 * k, 1000, 0.0);
    for (int k = 0; k < 4; ++k)
        slantedLine(page, 100, 800 + 100 * k, 1000, 1.0);
    const auto bands = skewBands(page, kPxPerMm);
    ASSERT_EQ(bands.size(), 2u);
    EXPECT_EQ(bands[0].first, 0);
    EXPECT_EQ(bands[1].second, 1400);
    EXPECT_EQ(bands[0].second, bands[1].first);
    EXPECT_GT(bands[0].second, 420);
    EXPECT_LT(bands[0].second, 800);
    // One stray slanted line is not a form of its own.
    Picture single = whitePage(1200, 900);
    for (int k = 0; k < 4; ++k)
        slantedLine(single, 100, 100 + 150 * k, 1000, 0.0);
    slantedLine(single, 100, 820, 1000, 1.5);
    EXPECT_EQ(skewBands(single, kPxPerMm).size(), 1u);
}

TEST(Ruling, FaintDottedRulesCountButTheFeetOfLettersDoNot)
{
    Picture page = whitePage(1000, 600);
    // A faint grey dotted rule: 3 px dots every 8 px.
    for (int x = 100; x < 900; x += 8)
        fillRect(page, x, 200, 3, 2, 170);
    // A dashed rule of hyphens.
    for (int x = 100; x < 600; x += 14)
        fillRect(page, x, 300, 9, 3);
    // A word of block letters standing on one baseline, 1 mm apart.
    for (int x = 100; x < 700; x += 28)
        fillRect(page, x, 420, 20, 24);
    const Ruling r = findRuling(page, kPxPerMm);
    const auto rules = horizontalRules(r, 300);
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_NEAR(rules[0].rect.y, 200, 3);
    EXPECT_NEAR(rules[0].rect.x, 100, 12);
    EXPECT_NEAR(rules[0].rect.right(), 900, 12);
    EXPECT_NEAR(rules[1].rect.y, 300, 3);
    EXPECT_FALSE(rules[1].joinedAtStart);
    EXPECT_FALSE(rules[1].joinedAtEnd);
    // The letters stay ink, none of them a rule.
    const auto letters = std::count_if(r.blobs.begin(), r.blobs.end(), [](const Blob& b) { return b.rect.y >= 410; });
    EXPECT_EQ(letters, 22);
}

// Dots join along their own direction only: a dotted column is a vertical
// rule, while a row of upright bars (the strokes of "lll") is no horizontal one.
TEST(Ruling, DotsJoinIntoRulesAlongTheirDirectionOnly)
{
    Picture page = whitePage(1000, 600);
    for (int y = 100; y < 500; y += 8)
        fillRect(page, 700, y, 2, 3);
    for (int x = 100; x < 500; x += 7)
        fillRect(page, x, 420, 2, 14);
    const Ruling r = findRuling(page, kPxPerMm);
    EXPECT_TRUE(horizontalRules(r, 100).empty());
    std::vector<Rule> vertical;
    for (const Rule& rule : r.rules)
        if (!rule.horizontal && rule.rect.h >= 100)
            vertical.push_back(rule);
    ASSERT_EQ(vertical.size(), 1u);
    EXPECT_NEAR(vertical[0].rect.x, 700, 3);
    EXPECT_NEAR(vertical[0].rect.y, 100, 12);
    EXPECT_NEAR(vertical[0].rect.bottom(), 500, 12);
}

TEST(Ruling, BoxesEncloseRegionsAndHollowSquaresAreFoundAmongCharacters)
{
    Picture page = whitePage(1000, 600);
    // A row of 6 character boxes sharing sides, 40 px each.
    for (int k = 0; k < 6; ++k)
        frame(page, 100 + 40 * k, 100, 42, 40);
    // A glyph "□" 3 mm wide, then a filled square and a cross of the same size.
    frame(page, 100, 300, 24, 24, 2);
    fillRect(page, 140, 300, 24, 24);
    fillRect(page, 180, 311, 24, 3);
    fillRect(page, 191, 300, 3, 24);
    const Ruling r = findRuling(page, kPxPerMm);
    const auto cells = std::count_if(r.regions.begin(), r.regions.end(), [](const Region& g) {
        return g.rect.y >= 95 && g.rect.y <= 110 && g.rect.w >= 34 && g.rect.w <= 44 && g.rect.h >= 34 && g.rect.h <= 44;
    });
    EXPECT_EQ(cells, 6);
    const auto hollow = std::count_if(r.blobs.begin(), r.blobs.end(), [](const Blob& b) { return b.hollowSquare; });
    EXPECT_EQ(hollow, 1);
    const auto square = std::find_if(r.blobs.begin(), r.blobs.end(), [](const Blob& b) { return b.hollowSquare; });
    ASSERT_NE(square, r.blobs.end());
    EXPECT_EQ(square->rect.x, 100);
}

TEST(Ruling, RegionsTallerThanTheLabellingStripsAreWhole)
{
    // A frame 900 px tall, with a rule from its left side stopping short of
    // its right one: the area is one region, a "U" round the rule's end,
    // however the picture is cut while it is labelled; the cell beside it
    // is one region too.
    Picture page = whitePage(1000, 1200);
    frame(page, 100, 100, 500, 900, 3);
    fillRect(page, 100, 550, 400, 3);
    frame(page, 597, 100, 300, 900, 3);
    const Ruling r = findRuling(page, kPxPerMm);
    const auto tall = std::count_if(r.regions.begin(), r.regions.end(), [](const Region& g) { return g.rect.h >= 880; });
    ASSERT_EQ(tall, 2);
    const auto u = std::find_if(r.regions.begin(), r.regions.end(), [](const Region& g) { return g.rect.h >= 880 && g.rect.x < 200; });
    ASSERT_NE(u, r.regions.end());
    EXPECT_NEAR(u->rect.x, 103, 2);
    EXPECT_NEAR(u->rect.w, 494, 4);
    // What the rule takes from the rectangle (400 x 3 plus its fattening) is all it misses.
    EXPECT_GT(u->fill, 0.98);
    EXPECT_LT(u->fill, 1.0);
    // The regions come in the order of their first pixels, row by row.
    EXPECT_LT(u, std::find_if(r.regions.begin(), r.regions.end(), [](const Region& g) { return g.rect.h >= 880 && g.rect.x > 590; }));
}

TEST(Ruling, CropsAreScaledWithAWhiteMargin)
{
    Picture page = whitePage(100, 50);
    fillRect(page, 10, 10, 20, 10);
    const Picture crop = cropScaled(page, {10, 10, 20, 10}, 2.0, 5);
    EXPECT_EQ(crop.width, 60);
    EXPECT_EQ(crop.height, 40);
    EXPECT_EQ(crop.pixels.front(), 255);
    EXPECT_LT(crop.pixels[static_cast<std::size_t>(20) * crop.width + 30], 50);
    // Outside the picture nothing is cut.
    EXPECT_TRUE(cropScaled(page, {200, 200, 10, 10}, 1.0, 2).empty());
}

// A frame in full-strength ink with captions, and `faintBlocks` character
// blocks of a pale fill printed over the page.
Picture filledForm(int faintBlocks)
{
    Picture page = whitePage(1000, 600);
    frame(page, 60, 60, 880, 480, 3);
    fillRect(page, 60, 300, 880, 3);
    for (int k = 0; k < 6; ++k)
        fillRect(page, 100 + 30 * k, 200, 22, 24); // captions
    for (int k = 0; k < faintBlocks; ++k)
        fillRect(page, 100 + 40 * (k % 20), 380 + 40 * (k / 20), 18, 24, 190); // fill, a quarter of the rules' strength
    return page;
}

TEST(Ruling, PaleFillIsLeftOutOfTheCaptionsRulesAndTextRead)
{
    Picture page = filledForm(40);
    // The fill's own rule under its figures, as long as a short rule of the form.
    fillRect(page, 500, 470, 300, 2, 190);
    const Ruling r = findRuling(page, kPxPerMm);
    // The captions are still ink, the fill is not.
    const auto captions = std::count_if(r.blobs.begin(), r.blobs.end(), [](const Blob& b) { return b.rect.y >= 190 && b.rect.y < 240; });
    EXPECT_EQ(captions, 6);
    const auto fill = std::count_if(r.blobs.begin(), r.blobs.end(), [](const Blob& b) { return b.rect.y >= 370; });
    EXPECT_EQ(fill, 0);
    EXPECT_TRUE(std::none_of(r.rules.begin(), r.rules.end(), [](const Rule& rule) { return rule.horizontal && std::abs(rule.rect.y - 470) <= 3; }));
    EXPECT_EQ(horizontalRules(r, 800).size(), 3u);
    // What is read shows the paper where the fill was, the captions as printed.
    EXPECT_GT(r.grey.pixels[static_cast<std::size_t>(390) * r.grey.width + 110], 240);
    EXPECT_LT(r.grey.pixels[static_cast<std::size_t>(210) * r.grey.width + 110], 30);

    // A few pale marks among the print are no fill: they stay.
    const Ruling few = findRuling(filledForm(1), kPxPerMm);
    EXPECT_EQ(std::count_if(few.blobs.begin(), few.blobs.end(), [](const Blob& b) { return b.rect.y >= 370; }), 1);
}

TEST(Ruling, LetterSpacedLinesAreSqueezedToOneGap)
{
    Picture line = whitePage(200, 30);
    for (int k = 0; k < 3; ++k)
        fillRect(line, 40 + 50 * k, 5, 20, 20); // 30 px apart, 40 px of margin before
    const Picture squeezed = squeezeBlankColumns(line, 8);
    EXPECT_EQ(squeezed.height, 30);
    EXPECT_EQ(squeezed.width, 8 + 20 + 8 + 20 + 8 + 20 + 8);
    // Every glyph's columns are kept whole.
    int inkColumns = 0;
    for (int x = 0; x < squeezed.width; ++x)
        inkColumns += squeezed.pixels[static_cast<std::size_t>(15) * squeezed.width + x] == 0 ? 1 : 0;
    EXPECT_EQ(inkColumns, 60);
    // A line set tight is left as it is.
    const Picture tight = squeezeBlankColumns(line, 40);
    EXPECT_EQ(tight.width, line.width);
}

} // namespace
} // namespace ordavel::scan
