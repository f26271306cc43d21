// The analysis measured on real scans annotated by hand. The figures asserted
// are those reached, so that a change which finds fewer fields, proposes false
// ones or misreads captions fails here.
#include "scan_truth.h"

#include "scan/caption_reader.h"
#include "scan/scan_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace ordavel::scan {
namespace {

using test::readTruth;
using test::score;

std::string join(const std::vector<std::string>& lines)
{
    std::string out;
    for (const auto& line : lines)
        out += line + "\n";
    return out;
}

// One engine for every scan, as the tool uses it.
CaptionReader& reader()
{
    static CaptionReader shared;
    return shared;
}

test::Score measure(const std::filesystem::path& truthFile, ScanAnalysis* out = nullptr)
{
    const test::Truth truth = readTruth(truthFile.string());
    std::string error;
    const auto image = readScanFile((truthFile.parent_path() / truth.image).string(), &error);
    EXPECT_TRUE(image.has_value()) << error;
    if (!image)
        return {};
    ScanAnalysis analysis = analyseScan(image->picture, truth.paper, reader());
    const test::Score s = score(truth.fields, analysis.fields);
    std::printf("%s: %d/%d fields found, %d/%d proposals true, %d/%d check boxes, %d/%d captions exact, skew %.2f\n",
                truth.image.c_str(), s.found, s.truthCount, s.found, s.proposed, s.checkBoxesFound, s.checkBoxes,
                s.captionsExact, s.found, analysis.skewDegrees);
    if (out)
        *out = std::move(analysis);
    return s;
}

TEST(ScanMeasure, EnglishFormWithCharacterBoxesCheckBoxesAndUnderlines)
{
    ASSERT_TRUE(reader().ok()) << "the chi_sim and eng models are not installed";
    ScanAnalysis analysis;
    const test::Score s = measure(std::filesystem::path(ORDAVEL_TEST_DATA) / "scans" / "form_example1.json", &analysis);
    const std::string detail = join(s.misses);
    EXPECT_EQ(s.truthCount, 29);
    EXPECT_GE(s.found, 29) << detail;
    EXPECT_LE(s.proposed, 29) << detail;
    EXPECT_EQ(s.checkBoxesFound, 2) << detail;
    EXPECT_GE(s.captionsExact, 28) << detail;
    EXPECT_NEAR(analysis.skewDegrees, -0.17, 0.1);
    // The scan is the size it was read at, the paper as given.
    EXPECT_EQ(analysis.width, 1653);
    EXPECT_EQ(analysis.height, 2338);
    // Columns are unique and made from the captions.
    std::vector<std::string> columns;
    for (const ProposedField& f : analysis.fields)
        columns.push_back(f.column);
    std::sort(columns.begin(), columns.end());
    EXPECT_EQ(std::adjacent_find(columns.begin(), columns.end()), columns.end());
    // Top to bottom, and left to right within a row.
    for (std::size_t i = 1; i < analysis.fields.size(); ++i) {
        const PixelRect& a = analysis.fields[i - 1].rect;
        const PixelRect& b = analysis.fields[i].rect;
        EXPECT_TRUE(b.y + b.h / 2 > a.y + a.h / 2 - std::min(a.h, b.h) / 2 || b.x > a.x) << i;
    }
}

// More annotated scans that may not be copied here (no licence) are measured
// when ORDAVEL_SCAN_MEASURE names their folder; their figures are printed only.
TEST(ScanMeasure, FurtherScansNamedByTheEnvironment)
{
    const char* folder = std::getenv("ORDAVEL_SCAN_MEASURE");
    if (folder == nullptr || *folder == '\0')
        GTEST_SKIP() << "ORDAVEL_SCAN_MEASURE names no folder";
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".json")
            measure(entry.path());
}

TEST(ScanMeasure, CancellingStopsTheAnalysis)
{
    std::string error;
    const auto image = readScanFile(std::string(ORDAVEL_TEST_DATA) + "/scans/form_example1.png", &error);
    ASSERT_TRUE(image.has_value()) << error;
    int calls = 0;
    const ScanAnalysis stopped = analyseScan(image->picture, {21.0, 29.7}, reader(), [&](double done) {
        ++calls;
        return done < 0.5;
    });
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_TRUE(stopped.fields.empty());
    EXPECT_GE(calls, 2);
    // Bad input gives no fields rather than a crash.
    EXPECT_TRUE(analyseScan(Picture{}, {21.0, 29.7}, reader()).fields.empty());
    EXPECT_TRUE(analyseScan(image->picture, {0.0, 29.7}, reader()).fields.empty());
}

} // namespace
} // namespace ordavel::scan
