// Barcode boxes rendered by the real ordavel-cli and read back by two decoders
// written elsewhere (ZXingReader, zbarimg), and carried by dump and build.
#include "tool_run.h"

#include <nlohmann/json.hpp>

#include <QImage>

#include <fstream>
#include <numeric>

namespace ordavel::test {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

struct Case {
    const char* name;
    const char* bcType;
    std::string data;
    std::string expected; // what the symbol carries
    bool zbar;            // zbarimg reads this symbology
    int rotation;
};

// Chinese text in QR and Data Matrix travels as UTF-8 behind an ECI marker.
const Case kCases[] = {
    {"code128", "Code128", "SF1234567890-ab", "SF1234567890-ab", true, 0},
    {"ean13", "EAN13", "690123456789", "6901234567892", true, 0},
    {"code39", "Code39", "ORDAVEL-42", "ORDAVEL-42", true, 0},
    {"qr", "QR", "运单号：SF1234567890 收件人：张三", "运单号：SF1234567890 收件人：张三", true, 0},
    {"qr-turned", "QR", "https://例子.中国/单号?id=42", "https://例子.中国/单号?id=42", true, 90},
    {"datamatrix", "DataMatrix", "数据矩阵 ABC-123 中文", "数据矩阵 ABC-123 中文", false, 0},
    {"pdf417", "PDF417", "PDF417 ORDAVEL 0123456789", "PDF417 ORDAVEL 0123456789", false, 0},
    {"code128-turned", "Code128", "WAYBILL 42", "WAYBILL 42", true, 270},
};

class BarcodeDecode : public ::testing::Test {
protected:
    std::string file(const std::string& name) const { return (dir.path() / name).string(); }

    // A 9 x 7 cm page with the barcode box at 1.5, 1.5 cm, 6 x 4 cm.
    void buildTemplate(const Case& c, const std::string& oxf, double moduleMm = 0.0) const
    {
        const json box = {{"cType", 8}, {"pPewW", false}, {"pX", 1.5}, {"pY", 1.5}, {"pW", 6.0}, {"pH", 4.0},
                          {"bcType", c.bcType}, {"wValue", c.data}, {"bcHRT", true}, {"bcModule", moduleMm},
                          {"bcECC", "M"}, {"bcRotate", c.rotation}, {"Font", "WenQuanYi Zen Hei"},
                          {"FontSize", 9}};
        const json doc = {{"pageWidth", 9}, {"pageHeight", 7}, {"boxes", json::array({box})}};
        std::ofstream(file("in.json")) << doc.dump();
        const RunResult built = runCommand(std::string(ORDAVEL_CLI) + " build " + shellQuoted(file("in.json")) +
                                           " -o " + shellQuoted(oxf));
        ASSERT_EQ(built.status, 0) << built.output;
    }

    std::string render(const std::string& oxf, const std::string& out, const std::string& options = "") const
    {
        const RunResult r = runCommand(std::string(ORDAVEL_CLI) + " render " + shellQuoted(oxf) + " -o " +
                                       shellQuoted(out) + " " + options);
        EXPECT_EQ(r.status, 0) << r.output;
        return out;
    }

    // What the decoders read, their messages on stderr left out. ZXingReader
    // 1.4 trips an assertion when a linear code is also found in its
    // downscaled pass, so it reads at full scale only.
    static std::string zxing(const std::string& png)
    {
        return runCommand("{ ZXingReader -noscale -bytes " + shellQuoted(png) + " 2>/dev/null; }").output;
    }
    static std::string zbar(const std::string& png)
    {
        std::string text = runCommand("{ zbarimg --nodbus --raw -q " + shellQuoted(png) + " 2>/dev/null; }").output;
        if (!text.empty() && text.back() == '\n')
            text.pop_back();
        return text;
    }

    ScratchDir dir{"ordavel-barcode"};
};

TEST_F(BarcodeDecode, EverySymbologyScansBackFromPicturesAndPdf)
{
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string oxf = file(std::string(c.name) + ".oxf");
        buildTemplate(c, oxf);
        std::vector<std::string> pictures;
        for (int dpi : {203, 300, 600})
            pictures.push_back(render(oxf, file(std::string(c.name) + "-" + std::to_string(dpi) + ".png"),
                                      "--dpi " + std::to_string(dpi)));
        const std::string pdf = render(oxf, file(std::string(c.name) + ".pdf"));
        const std::string fromPdf = file(std::string(c.name) + "-pdf");
        const RunResult raster = runCommand("pdftoppm -r 300 -png -singlefile " + shellQuoted(pdf) + " " +
                                            shellQuoted(fromPdf));
        ASSERT_EQ(raster.status, 0) << raster.output;
        pictures.push_back(fromPdf + ".png");
        for (const std::string& png : pictures) {
            SCOPED_TRACE(png);
            EXPECT_EQ(zxing(png), c.expected);
            if (c.zbar) {
                EXPECT_EQ(zbar(png), c.expected);
            }
        }
    }
}

// Lengths of the dark and light runs along row y between the first and last dark pixel.
std::vector<int> runsAlong(const QImage& image, int y)
{
    std::vector<int> runs;
    int first = -1, last = -1;
    for (int x = 0; x < image.width(); ++x)
        if (qGray(image.pixel(x, y)) < 128) {
            if (first < 0)
                first = x;
            last = x;
        }
    if (first < 0)
        return runs;
    bool dark = true;
    int length = 0;
    for (int x = first; x <= last; ++x) {
        const bool isDark = qGray(image.pixel(x, y)) < 128;
        if (isDark == dark) {
            ++length;
        } else {
            runs.push_back(length);
            dark = isDark;
            length = 1;
        }
    }
    runs.push_back(length);
    return runs;
}

TEST_F(BarcodeDecode, ModulesAreWholeDotsAt600Dpi)
{
    // 0.33 mm is 7.8 dots at 600 dpi: every bar and space is a multiple of 8 dots.
    const Case code128{"code128", "Code128", "SF1234567890", "SF1234567890", true, 0};
    buildTemplate(code128, file("c.oxf"), 0.33);
    const QImage image(QString::fromStdString(render(file("c.oxf"), file("c.png"), "--dpi 600")));
    ASSERT_FALSE(image.isNull());
    // 2 cm from the top lies inside the bars (1.5 cm + the centred symbol).
    const std::vector<int> runs = runsAlong(image, static_cast<int>(2.0 / 2.54 * 600));
    ASSERT_GT(runs.size(), 20u);
    for (int run : runs)
        EXPECT_EQ(run % 8, 0) << run;
    EXPECT_EQ(*std::min_element(runs.begin(), runs.end()), 8);
    // Start B through stop: (1 + 12 + 1) x 11 + 13 modules at most; the width in modules is whole.
    const int total = std::accumulate(runs.begin(), runs.end(), 0);
    EXPECT_EQ(total % 8, 0);

    // Automatic width in a QR: the largest whole number of dots that fits.
    const Case qr{"qr", "QR", "中文", "中文", true, 0};
    buildTemplate(qr, file("q.oxf"));
    const QImage square(QString::fromStdString(render(file("q.oxf"), file("q.png"), "--dpi 600")));
    const std::vector<int> qrRuns = runsAlong(square, static_cast<int>(3.5 / 2.54 * 600));
    ASSERT_FALSE(qrRuns.empty());
    // 21 + 8 modules in 4 cm (944.9 dots): 32 dots each.
    for (int run : qrRuns)
        EXPECT_EQ(run % 32, 0) << run;
}

TEST_F(BarcodeDecode, DumpAndBuildCarryTheBox)
{
    const json box = {{"index", 3}, {"cType", 8}, {"pPewW", false}, {"pX", 2.5}, {"pY", 1.25}, {"pW", 5.0},
                      {"pH", 2.5}, {"isPrint", true}, {"wX", 10}, {"wY", 20}, {"wW", 150}, {"wH", 80},
                      {"bcType", "DataMatrix"}, {"wValue", "中文 ABC"}, {"bcHRT", false}, {"bcModule", 0.5},
                      {"bcECC", "Q"}, {"bcRotate", 180}, {"Color", 255}, {"bgColor", 16777215}, {"B", true},
                      {"I", false}, {"T", false}, {"U", false}, {"Font", "黑体"}, {"FontSize", 12}};
    std::ofstream(file("in.json")) << json{{"boxes", json::array({box})}}.dump();
    RunResult r = runCommand(std::string(ORDAVEL_CLI) + " build " + shellQuoted(file("in.json")) + " -o " +
                             shellQuoted(file("out.oxf")));
    ASSERT_EQ(r.status, 0) << r.output;
    r = runCommand(std::string(ORDAVEL_CLI) + " dump " + shellQuoted(file("out.oxf")));
    ASSERT_EQ(r.status, 0) << r.output;
    json dumped = json::parse(r.output)["boxes"][0];
    json expected = box;
    expected["index"] = 1; // the file keeps no slot gaps
    EXPECT_EQ(dumped, expected);

    for (const char* bad : {R"({"cType": 8, "bcType": "Aztec"})", R"({"cType": 8, "bcECC": "X"})",
                            R"({"cType": 8, "bcRotate": 45})", R"({"cType": 8, "bcModule": -1})",
                            R"({"cType": 8, "cboItems": ",A"})"}) {
        std::ofstream(file("bad.json")) << std::string(R"({"boxes": [)") + bad + "]}";
        r = runCommand(std::string(ORDAVEL_CLI) + " build " + shellQuoted(file("bad.json")) + " -o " +
                       shellQuoted(file("bad.oxf")));
        EXPECT_EQ(r.status, 1) << bad;
        EXPECT_FALSE(fs::exists(file("bad.oxf"))) << bad;
    }
}

} // namespace
} // namespace ordavel::test
