// ordavel-cli scan on a real scanned form: the analysis as JSON, the draft
// template, and the draft printed from data with each value inside its field.
#include "tool_run.h"

#include <nlohmann/json.hpp>

#include <QImage>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace ordavel::test {
namespace {

namespace fs = std::filesystem;

const fs::path kScan = fs::path(ORDAVEL_SOURCE_DIR) / "tests" / "data" / "scans" / "form_example1.png";

std::string cli() { return std::string(ORDAVEL_CLI); }

std::string readText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The scan is analysed once for all the tests here; OCR takes a while.
class ScanCli : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_scratch = new ScratchDir("ordavel-scan");
        const RunResult run = runCommand(cli() + " scan " + shellQuoted(kScan) + " --paper 21,29.7 --json -o " +
                                         shellQuoted(s_scratch->path() / "fields.json"));
        ASSERT_EQ(run.status, 0) << run.output;
        s_json = readText(s_scratch->path() / "fields.json");
    }
    static void TearDownTestSuite()
    {
        delete s_scratch;
        s_scratch = nullptr;
    }
    static ScratchDir* s_scratch;
    static std::string s_json;
};
ScratchDir* ScanCli::s_scratch = nullptr;
std::string ScanCli::s_json;

TEST_F(ScanCli, JsonHasTheAgreedLayout)
{
    const auto json = nlohmann::ordered_json::parse(s_json);
    std::vector<std::string> keys;
    for (const auto& item : json.items())
        keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"image", "paper", "skew", "fields"}));
    EXPECT_EQ(json["image"], nlohmann::json::array({1653, 2338}));
    EXPECT_DOUBLE_EQ(json["paper"][0].get<double>(), 21.0);
    EXPECT_DOUBLE_EQ(json["paper"][1].get<double>(), 29.7);
    EXPECT_LT(std::abs(json["skew"].get<double>()), 1.0);
    ASSERT_GE(json["fields"].size(), 25u);
    int checkBoxes = 0;
    for (const auto& f : json["fields"]) {
        std::vector<std::string> fieldKeys;
        for (const auto& item : f.items())
            fieldKeys.push_back(item.key());
        EXPECT_EQ(fieldKeys, (std::vector<std::string>{"x", "y", "w", "h", "kind", "caption", "column"}));
        const std::string kind = f["kind"];
        EXPECT_TRUE(kind == "cell" || kind == "underline" || kind == "checkbox" || kind == "box") << kind;
        checkBoxes += kind == "checkbox";
        EXPECT_GE(f["x"].get<int>(), 0);
        EXPECT_LE(f["x"].get<int>() + f["w"].get<int>(), 1653);
        EXPECT_LE(f["y"].get<int>() + f["h"].get<int>(), 2338);
    }
    EXPECT_EQ(checkBoxes, 2);
    // Standard output gets the same analysis when -o is left out.
    const RunResult stdoutRun = runCommand(cli() + " scan " + shellQuoted(kScan) + " --paper 21,29.7 --json 2>/dev/null");
    ASSERT_EQ(stdoutRun.status, 0);
    EXPECT_EQ(nlohmann::json::parse(stdoutRun.output), nlohmann::json::parse(s_json));
}

TEST_F(ScanCli, BadInputIsRefusedAndWritesNothing)
{
    const fs::path out = s_scratch->path() / "bad.oxf";
    RunResult run = runCommand(cli() + " scan " + shellQuoted(kScan) + " --paper 0,29.7 -o " + shellQuoted(out));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("--paper takes two sizes"), std::string::npos) << run.output;
    run = runCommand(cli() + " scan " + shellQuoted(kScan) + " --paper 21,29.7");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("-o DRAFT.oxf is needed"), std::string::npos) << run.output;
    const fs::path notPicture = s_scratch->path() / "note.png";
    std::ofstream(notPicture) << "not a picture";
    run = runCommand(cli() + " scan " + shellQuoted(notPicture) + " --paper 21,29.7 -o " + shellQuoted(out));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("not a picture"), std::string::npos) << run.output;
    run = runCommand(cli() + " scan " + shellQuoted(s_scratch->path() / "missing.png") + " --paper 21,29.7 -o " + shellQuoted(out));
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(fs::exists(out));
}

// The draft printed from a CSV whose columns are the proposed names: each
// value's ink lies inside its field, and no ink lies outside every field.
TEST_F(ScanCli, DraftPrintsEachValueInsideItsField)
{
    const fs::path oxf = s_scratch->path() / "draft.oxf";
    RunResult run = runCommand(cli() + " scan " + shellQuoted(kScan) + " --paper 21,29.7 -o " + shellQuoted(oxf));
    ASSERT_EQ(run.status, 0) << run.output;

    // The template: A4, the PNG scan carried as JPEG, a box per field bound to its column.
    run = runCommand(cli() + " dump " + shellQuoted(oxf) + " 2>/dev/null");
    ASSERT_EQ(run.status, 0) << run.output;
    const auto doc = nlohmann::json::parse(run.output);
    const auto fields = nlohmann::json::parse(s_json)["fields"];
    EXPECT_DOUBLE_EQ(doc["pageWidth"].get<double>(), 21.0);
    EXPECT_NEAR(doc["pageHeight"].get<double>(), 29.7, 1e-4);
    EXPECT_EQ(doc["background"]["extension"], "jpg");
    EXPECT_EQ(doc["isPrintBgPic"], false);
    ASSERT_EQ(doc["boxes"].size(), fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i)
        EXPECT_EQ(doc["boxes"][i]["wValue"], "${" + fields[i]["column"].get<std::string>() + "}") << i;

    // One record: a short value in every column, "√" for the check boxes.
    std::string header;
    std::string values;
    for (const auto& f : fields) {
        header += (header.empty() ? "" : ",") + std::string("\"") + f["column"].get<std::string>() + "\"";
        values += (values.empty() ? "" : ",") + std::string(f["kind"] == "checkbox" ? "√" : "Ab1");
    }
    const fs::path csv = s_scratch->path() / "data.csv";
    std::ofstream(csv) << header << "\n" << values << "\n";
    const fs::path png = s_scratch->path() / "page.png";
    constexpr int kDpi = 200;
    run = runCommand(cli() + " render " + shellQuoted(oxf) + " --data " + shellQuoted(csv) + " --dpi " +
                     std::to_string(kDpi) + " -o " + shellQuoted(png));
    ASSERT_EQ(run.status, 0) << run.output;
    fs::path page = png;
    if (!fs::exists(page))
        page = s_scratch->path() / "page-0001.png";
    QImage image(QString::fromStdString(page.string()));
    ASSERT_FALSE(image.isNull()) << page;
    image = image.convertToFormat(QImage::Format_Grayscale8);

    // Field rectangles in the page's pixels, a pixel of slack for rounding.
    const double scale = kDpi / (1653 / (21.0 / 2.54));
    std::vector<QRect> areas;
    for (const auto& f : fields)
        areas.emplace_back(static_cast<int>(f["x"].get<int>() * scale) - 1, static_cast<int>(f["y"].get<int>() * scale) - 1,
                           static_cast<int>(f["w"].get<int>() * scale) + 3, static_cast<int>(f["h"].get<int>() * scale) + 3);
    std::vector<int> inkPerField(areas.size(), 0);
    int stray = 0;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            if (line[x] >= 128)
                continue;
            bool inside = false;
            for (std::size_t k = 0; k < areas.size(); ++k) {
                if (areas[k].contains(x, y)) {
                    ++inkPerField[k];
                    inside = true;
                }
            }
            stray += !inside;
        }
    }
    EXPECT_EQ(stray, 0);
    // A thin "√" leaves a few pixels, a value of three characters many more.
    for (std::size_t k = 0; k < areas.size(); ++k)
        EXPECT_GT(inkPerField[k], fields[k]["kind"] == "checkbox" ? 1 : 20)
            << "no ink in field " << k << " (" << fields[k]["column"] << ")";
}

} // namespace
} // namespace ordavel::test
