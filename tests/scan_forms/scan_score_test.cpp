// The evaluation's arithmetic on small cases worked out by hand.
#include "scan_score.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace ordavel::scaneval {
namespace {

scan::ProposedField proposal(int x, int y, int w, int h, const std::string& caption = {}, const std::string& kind = "cell")
{
    return {{x, y, w, h}, kind, caption, caption};
}

TEST(ScanScore, AFieldCountsAsFoundFromHalfItsUnion)
{
    const std::vector<TruthField> truth = {{{0, 0, 100, 100}, "cell", ""}};
    // 100x50 inside 100x100: IoU exactly 0.5.
    Score s = score(truth, {proposal(0, 0, 100, 50)});
    EXPECT_EQ(s.found, 1);
    s = score(truth, {proposal(0, 0, 100, 49)});
    EXPECT_EQ(s.found, 0);
    EXPECT_EQ(s.proposed, 1);
    // Shifted by a third of its width: 67*100 / (2*10000 - 6700) = 0.504.
    EXPECT_EQ(score(truth, {proposal(33, 0, 100, 100)}).found, 1);
    EXPECT_EQ(score(truth, {proposal(34, 0, 100, 100)}).found, 0);
    EXPECT_EQ(score(truth, {}).found, 0);
}

TEST(ScanScore, EachProposalMatchesOneFieldBestPairFirst)
{
    // Two fields side by side; the one proposal overlaps the second better.
    const std::vector<TruthField> truth = {{{0, 0, 100, 40}, "cell", ""}, {{20, 0, 100, 40}, "cell", ""}};
    const std::vector<scan::ProposedField> one = {proposal(25, 0, 100, 40)};
    EXPECT_EQ(matchFields(truth, one), (std::vector<int>{-1, 0}));
    Score s = score(truth, one);
    EXPECT_EQ(s.found, 1);
    EXPECT_DOUBLE_EQ(ratio(s.found, s.truthCount), 0.5);
    EXPECT_DOUBLE_EQ(ratio(s.found, s.proposed), 1.0);
    // A second, worse proposal is taken by the field left over.
    const std::vector<scan::ProposedField> two = {proposal(25, 0, 100, 40), proposal(0, 0, 90, 40)};
    EXPECT_EQ(matchFields(truth, two), (std::vector<int>{1, 0}));
    // The same proposal twice over one field: the copy is a false proposal.
    s = score({truth[0]}, {proposal(0, 0, 100, 40), proposal(0, 0, 100, 40)});
    EXPECT_EQ(s.found, 1);
    EXPECT_DOUBLE_EQ(ratio(s.found, s.proposed), 0.5);
}

TEST(ScanScore, CheckBoxesAndDigitCellsAreCountedApart)
{
    const std::vector<TruthField> truth = {{{0, 0, 20, 20}, "checkbox", "Yes"},
                                           {{40, 0, 20, 20}, "checkbox", "No"},
                                           {{0, 50, 300, 30}, "digit_cells", "金额"},
                                           {{0, 100, 300, 30}, "box", "Name"},
                                           {{0, 200, 300, 30}, "underline", "签名"}};
    const Score s = score(truth, {proposal(1, 1, 19, 19, "Yes", "checkbox"), proposal(0, 100, 300, 30, "Name", "box"),
                                  proposal(0, 200, 300, 30, "签名", "underline")});
    EXPECT_EQ(s.checkBoxes, 2);
    EXPECT_EQ(s.checkBoxesFound, 1);
    EXPECT_EQ(s.digitCells, 2); // the generator's digit_cells and the hand annotations' box alike
    EXPECT_EQ(s.digitCellsFound, 1);
    EXPECT_EQ(s.found, 3);
    EXPECT_EQ(s.kindCount, (std::map<std::string, int>{{"box", 1}, {"checkbox", 2}, {"digit_cells", 1}, {"underline", 1}}));
    EXPECT_EQ(s.kindFound, (std::map<std::string, int>{{"box", 1}, {"checkbox", 1}, {"digit_cells", 0}, {"underline", 1}}));
    Score both = s;
    both += s;
    EXPECT_EQ(both.kindFound.at("checkbox"), 2);
}

TEST(ScanScore, CaptionsAreExactOnlyOnFoundFieldsAndByLanguage)
{
    const std::vector<TruthField> truth = {{{0, 0, 100, 30}, "cell", "姓名"},
                                           {{0, 50, 100, 30}, "cell", "医保类型"},
                                           {{0, 100, 100, 30}, "cell", "联系电话"},
                                           {{0, 150, 100, 30}, "cell", "Zip Code"},
                                           {{0, 200, 100, 30}, "cell", "¥"},
                                           {{0, 250, 100, 30}, "cell", ""}};
    const Score s = score(truth, {proposal(0, 0, 100, 30, "姓 名："),       // blanks and colon do not count
                                  proposal(0, 50, 100, 30, "医保类曹"),     // misread
                                  proposal(0, 400, 100, 30, "联系电话"),   // right text, wrong place
                                  proposal(0, 150, 100, 30, "Zip Code:"),
                                  proposal(0, 200, 100, 30, "¥"),
                                  proposal(0, 250, 100, 30, "Notes")});
    EXPECT_EQ(s.chineseCaptions, 3);
    EXPECT_EQ(s.chineseExact, 1);
    EXPECT_EQ(s.englishCaptions, 1);
    EXPECT_EQ(s.englishExact, 1);
    EXPECT_EQ(s.found, 5);
    EXPECT_EQ(normalisedCaption("寄件人\xEF\xBC\x9A\xE3\x80\x80"), "寄件人");
    EXPECT_TRUE(isChinese("No.号"));
    EXPECT_FALSE(isChinese("«Name»")); // two-byte sequences are not ideographs
    EXPECT_FALSE(isChinese("\xE3\x80\x80:"));
}

TEST(ScanScore, TotalsAddAndRatiosOfNothingAreUnknown)
{
    Score a;
    a.pictures = 1;
    a.truthCount = 10;
    a.found = 8;
    a.seconds = 1.5;
    a.maxSeconds = 1.5;
    a.peakKb = 2000;
    Score b = a;
    b.seconds = 2.5;
    b.maxSeconds = 2.5;
    b.peakKb = 1000;
    a += b;
    EXPECT_EQ(a.pictures, 2);
    EXPECT_EQ(a.found, 16);
    EXPECT_DOUBLE_EQ(a.seconds, 4.0);
    EXPECT_DOUBLE_EQ(a.maxSeconds, 2.5);
    EXPECT_EQ(a.peakKb, 2000);
    EXPECT_DOUBLE_EQ(ratio(0, 0), -1.0);
    EXPECT_DOUBLE_EQ(ratio(0, 4), 0.0);
}

TEST(ScanScore, ReadsHandAnnotationsAndRejectsBrokenTruth)
{
    std::string error;
    const auto real = readTruth(std::string(ORDAVEL_TEST_DATA) + "/scans/form_example1.json", &error);
    ASSERT_TRUE(real.has_value()) << error;
    EXPECT_EQ(real->family, "real");
    EXPECT_EQ(real->split, "");
    EXPECT_EQ(real->fields.size(), 29u);
    EXPECT_DOUBLE_EQ(real->paper.widthCm, 21.0);

    const auto folder = std::filesystem::temp_directory_path() / "scan_score_test";
    std::filesystem::create_directories(folder);
    const auto write = [&](const std::string& text) {
        std::ofstream(folder / "truth.json") << text;
        return readTruth((folder / "truth.json").string(), &error);
    };
    EXPECT_FALSE(write(R"({"image": "a.png", "fields": []})").has_value()); // no paper size
    EXPECT_NE(error.find("paper_cm"), std::string::npos) << error;
    EXPECT_FALSE(write(R"({"image": "a.png", "paper_cm": [21, 29.7], "fields": [{"x": 1}]})").has_value());
    EXPECT_FALSE(write("{").has_value());
    EXPECT_FALSE(readTruth((folder / "missing.json").string(), &error).has_value());
    const auto ok = write(R"({"image": "a.png", "paper_cm": [21, 29.7], "family_name": "waybill_red", "split": "measure",
        "fields": [{"x": 1, "y": 2, "w": 3, "h": 4, "kind": "cell"}]})");
    ASSERT_TRUE(ok.has_value()) << error;
    EXPECT_EQ(ok->family, "waybill_red");
    EXPECT_EQ(ok->split, "measure");
    EXPECT_EQ(ok->fields[0].rect, (scan::PixelRect{1, 2, 3, 4}));
    EXPECT_EQ(ok->fields[0].caption, "");
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace ordavel::scaneval
