// ordavel-cli render on a real template, read back with poppler: page size,
// word positions and font sizes, and the pixels of filled blocks.
#include "file/template_writer.h"
#include "model/document.h"
#include "platform/font_resolver.h"
#include "tool_run.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <regex>

namespace ordavel {
namespace {

using test::shellQuoted;
using test::areaOf;
using test::runCommand;

constexpr double kPtPerCm = 72.0 / 2.54;

struct Word {
    double xMin, yMin, xMax, yMax;
};

// Words of `pdftotext -bbox` output, first occurrence of each text.
std::map<std::string, Word> wordsOf(const std::string& html)
{
    std::map<std::string, Word> words;
    const std::regex pattern(
        R"re(<word xMin="([-0-9.]+)" yMin="([-0-9.]+)" xMax="([-0-9.]+)" yMax="([-0-9.]+)">([^<]*)</word>)re");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), pattern); it != std::sregex_iterator(); ++it) {
        const auto& m = *it;
        words.emplace(m[5].str(), Word{std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4])});
    }
    return words;
}

class RenderToPdf : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // Font metrics for the expected text heights.
        static int argc = 1;
        static char name[] = "tool_tests";
        static char* argv[] = {name, nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        if (QGuiApplication::instance() == nullptr)
            static QGuiApplication app(argc, argv);
    }

    int addText(BoxType type, PrintRect rect, std::string text, FontSpec font)
    {
        const int index = doc.addBox(type, 0, 0);
        Box& box = doc.box(index);
        box.printRect = rect;
        box.followsEdit = false;
        box.attributes.text = std::move(text);
        box.attributes.font = std::move(font);
        return index;
    }
    void addFill(BoxType type, PrintRect rect, Color colour)
    {
        const int index = doc.addBox(type, 0, 0);
        Box& box = doc.box(index);
        box.printRect = rect;
        box.followsEdit = false;
        box.attributes.color = colour;
        box.attributes.bgColor = colour;
        box.attributes.lineStyle = LineNone;
    }

    // Renders the document through a saved template; empty on failure.
    std::string render(const std::string& extension, const std::string& options = "")
    {
        test::FailOnMessage sink;
        const auto file = scratch.path() / "form.oxf";
        if (!saveDocument(doc, file.string(), sink))
            return {};
        const auto out = scratch.path() / ("form." + extension);
        const auto run = runCommand(std::string(ORDAVEL_CLI) + " render " + shellQuoted(file) + " -o "
                                    + shellQuoted(out) + " " + options);
        EXPECT_EQ(run.status, 0) << run.output;
        return out.string();
    }

    Document doc;
    test::ScratchDir scratch{"ordavel-render"};
};

TEST_F(RenderToPdf, TextLandsAtPrintRectInItsPointSize)
{
    doc.setPageSizes(20.0, 15.0, 756, 567);
    addText(BoxType::EditBox, {2.00, 3.00, 5, 1}, "Sender", FontSpec{"宋体", 12});
    addText(BoxType::Label, {11.35, 1.25, 3, 1}, "Weight", FontSpec{"黑体", 9});
    // A combo's current text is typed in edit mode; the file keeps only its list.
    const int combo = addText(BoxType::ComboBox, {4.50, 9.80, 3, 1}, "", FontSpec{"宋体", 15});
    doc.box(combo).attributes.items = {"Express", "Standard"};
    addText(BoxType::EditBox, {4.50, 8.80, 3, 1}, "Express", FontSpec{"宋体", 15});
    const int date = addText(BoxType::DatePicker, {12.00, 12.40, 5, 1}, "", FontSpec{"黑体", 10});
    doc.box(date).attributes.dateTime = DateTime{2013, 1, 5, 8, 7, 6};
    doc.box(date).dateFormat = 5;
    // Two lines: the second starts one line height (+ 2 device pixels) lower.
    addText(BoxType::EditBox, {2.00, 6.00, 5, 0.5}, "Line1\r\nLine2", FontSpec{"宋体", 12});
    const std::string pdf = render("pdf");
    ASSERT_FALSE(pdf.empty());

    const auto info = runCommand("pdfinfo " + shellQuoted(pdf));
    std::smatch size;
    ASSERT_TRUE(std::regex_search(info.output, size, std::regex(R"re(Page size:\s+([0-9.]+) x ([0-9.]+) pts)re")))
        << info.output;
    EXPECT_NEAR(std::stod(size[1]), 20.0 * kPtPerCm, 0.5);
    EXPECT_NEAR(std::stod(size[2]), 15.0 * kPtPerCm, 0.5);

    const auto text = runCommand("pdftotext -bbox " + shellQuoted(pdf) + " -");
    ASSERT_EQ(text.status, 0) << text.output;
    const auto words = wordsOf(text.output);
    const struct {
        const char* word;
        double leftCm, topCm;
        FontSpec font;
    } expected[] = {{"Sender", 2.00, 3.00, {"宋体", 12}},   {"Weight", 11.35, 1.25, {"黑体", 9}},
                    {"Express", 4.50, 8.80, {"宋体", 15}},  {"2013-1-5", 12.00, 12.40, {"黑体", 10}},
                    {"Line1", 2.00, 6.00, {"宋体", 12}}};
    const double tolerancePt = 0.1 / 10.0 * kPtPerCm; // 0.1 mm
    for (const auto& e : expected) {
        ASSERT_TRUE(words.count(e.word)) << e.word << "\n" << text.output;
        const Word& w = words.at(e.word);
        EXPECT_NEAR(w.xMin, e.leftCm * kPtPerCm, tolerancePt) << e.word;
        EXPECT_NEAR(w.yMin, e.topCm * kPtPerCm, tolerancePt) << e.word;
        // Poppler's word box is the font's ascent + descent at the used size.
        QFont font = qtFont(e.font);
        font.setPointSizeF(100.0);
        const QFontMetricsF metrics(font);
        const double heightPerPt = (metrics.ascent() + metrics.descent()) / metrics.fontDpi() * 72.0 / 100.0;
        EXPECT_NEAR((w.yMax - w.yMin) / heightPerPt, e.font.size, 0.2) << e.word;
    }
    ASSERT_TRUE(words.count("Line2"));
    const double lineHeightPt = words.at("Line1").yMax - words.at("Line1").yMin;
    EXPECT_NEAR(words.at("Line2").yMin - words.at("Line1").yMin, lineHeightPt + 2 * 72.0 / 1200, 0.1);
}

TEST_F(RenderToPdf, FilledBlocksCoverTheirPrintRect)
{
    doc.setPageSizes(21.3f, 29.0, 805, 1096);
    addFill(BoxType::ColorPicker, {1.15, 2.35, 3.00, 1.50}, 0x0000FF);  // red
    addFill(BoxType::ShapeBox, {10.00, 20.00, 4.25, 2.00}, 0xFF0000);   // blue rectangle
    addFill(BoxType::PicBox, {15.50, 5.05, 2.00, 3.10}, 0x00C000);      // green, no picture
    addText(BoxType::EditBox, {1.0, 1.0, 3, 1}, "Title", FontSpec{"黑体", 20});
    const std::string pdf = render("pdf");
    ASSERT_FALSE(pdf.empty());
    // 213 x 290 mm; Qt keeps custom PDF page sizes in whole points.
    const auto info = runCommand("pdfinfo " + shellQuoted(pdf));
    std::smatch size;
    ASSERT_TRUE(std::regex_search(info.output, size, std::regex(R"re(Page size:\s+([0-9.]+) x ([0-9.]+) pts)re")));
    EXPECT_NEAR(std::stod(size[1]), 21.3 * kPtPerCm, 0.5);
    EXPECT_NEAR(std::stod(size[2]), 29.0 * kPtPerCm, 0.5);

    // 508 dpi: one pixel is 0.05 mm.
    const auto prefix = scratch.path() / "page";
    ASSERT_EQ(runCommand("pdftoppm -r 508 -png -singlefile " + shellQuoted(pdf) + " " + shellQuoted(prefix)).status, 0);
    const QImage page(QString::fromStdString(prefix.string() + ".png"));
    ASSERT_FALSE(page.isNull());
    const double pxPerCm = 508 / 2.54;
    const struct {
        QColor colour;
        double left, top, width, height;
    } blocks[] = {{Qt::red, 1.15, 2.35, 3.00, 1.50}, {Qt::blue, 10.00, 20.00, 4.25, 2.00},
                  {QColor(0, 0xC0, 0), 15.50, 5.05, 2.00, 3.10}};
    for (const auto& b : blocks) {
        const QRect area = areaOf(page, b.colour);
        ASSERT_TRUE(area.isValid()) << b.colour.name().toStdString();
        EXPECT_NEAR(area.left(), b.left * pxPerCm, 2.0) << b.colour.name().toStdString();
        EXPECT_NEAR(area.top(), b.top * pxPerCm, 2.0) << b.colour.name().toStdString();
        EXPECT_NEAR(area.width(), b.width * pxPerCm, 2.0) << b.colour.name().toStdString();
        EXPECT_NEAR(area.height(), b.height * pxPerCm, 2.0) << b.colour.name().toStdString();
    }
}

TEST_F(RenderToPdf, PngAtTheAskedResolutionAndNoOutputOnFailure)
{
    doc.setPageSizes(10.0, 5.0, 378, 189);
    addFill(BoxType::ColorPicker, {1.0, 1.0, 2.0, 1.0}, 0x000000);
    const std::string png = render("png", "--dpi 254");
    const QImage image(QString::fromStdString(png));
    ASSERT_EQ(image.size(), QSize(1000, 500));
    EXPECT_EQ(areaOf(image, Qt::black), QRect(100, 100, 200, 100));

    const auto out = scratch.path() / "never.pdf";
    const std::string cli = ORDAVEL_CLI;
    for (const std::string& args :
         {" render " + shellQuoted(scratch.path() / "missing.oxf") + " -o " + shellQuoted(out),
          " render " + shellQuoted(png) + " -o " + shellQuoted(out), // not a template
          " render " + shellQuoted(scratch.path() / "form.oxf") + " -o " + shellQuoted(scratch.path() / "x.txt"),
          " render " + shellQuoted(scratch.path() / "form.oxf") + " -o " + shellQuoted(out) + " --dpi 0",
          " render " + shellQuoted(scratch.path() / "form.oxf"),
          " render " + shellQuoted(scratch.path() / "form.oxf") + " -o /nonexistent-folder/out.pdf",
          " print " + shellQuoted(scratch.path() / "form.oxf") + " --printer no-such-printer-here"}) {
        const auto run = runCommand(cli + args);
        EXPECT_EQ(run.status, 1) << args;
        EXPECT_FALSE(run.output.empty()) << args;
        EXPECT_FALSE(std::filesystem::exists(out)) << args;
    }
    EXPECT_FALSE(std::filesystem::exists("/nonexistent-folder/out.pdf.part"));
}

} // namespace
} // namespace ordavel
