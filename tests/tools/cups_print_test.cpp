// ordavel-cli print through a real CUPS scheduler to a cups-pdf queue; the
// queue's PDF is checked with pdftoppm (cups-pdf's Type 3 fonts hide the text).
#include "file/template_writer.h"
#include "model/document.h"
#include "cups_queue.h"
#include "pdf_pages.h"
#include "tool_run.h"

#include <QImage>

#include <gtest/gtest.h>


namespace ordavel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::areaOf;
using test::CupsPdfQueue;
using test::runCommand;
using test::shellQuoted;
using test::cups::outputFolders;
using test::cups::pdfsIn;

TEST(CupsPrint, ColourBlocksLandWithinATenthOfAMillimetrePair)
{
    CupsPdfQueue queue;
    if (const std::string why = queue.start(); !why.empty())
        GTEST_SKIP() << "no CUPS scheduler: " << why;

    Document doc;
    doc.setPageSizes(15.0, 10.0, 567, 378);
    const struct {
        Color colour;
        QColor qcolour;
        PrintRect rect;
    } blocks[] = {{0x0000FF, Qt::red, {1.15, 1.35, 3.00, 2.00}}, {0xFF0000, Qt::blue, {9.50, 6.05, 4.25, 1.50}}};
    for (const auto& b : blocks) {
        const int index = doc.addBox(BoxType::ColorPicker, 0, 0);
        doc.box(index).followsEdit = false;
        doc.box(index).printRect = b.rect;
        doc.box(index).attributes.color = b.colour;
    }
    test::ScratchDir scratch("ordavel-cups");
    const fs::path file = scratch.path() / "blocks.oxf";
    test::FailOnMessage sink;
    ASSERT_TRUE(saveDocument(doc, file.string(), sink));

    const auto folders = outputFolders();
    const auto before = pdfsIn(folders);
    const auto printed = runCommand(std::string(ORDAVEL_CLI) + " print " + shellQuoted(file) + " --printer "
                                    + queue.name);
    ASSERT_EQ(printed.status, 0) << printed.output;

    fs::path pdf;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (pdf.empty() && std::chrono::steady_clock::now() < deadline) {
        for (const auto& path : pdfsIn(folders))
            if (!before.count(path))
                pdf = path;
        std::this_thread::sleep_for(250ms);
    }
    ASSERT_FALSE(pdf.empty()) << "no PDF from the queue within 60 s in " << folders.front();
    std::this_thread::sleep_for(500ms); // cups-pdf may still be closing the file
    struct RemovePdf {
        fs::path path;
        ~RemovePdf() { std::error_code ignored; fs::remove(path, ignored); }
    } removePdf{pdf};

    test::expectPagesOf(pdf, 150, 100);

    // 508 dpi: a pixel is 0.05 mm, so 0.2 mm is 4 pixels.
    const fs::path prefix = scratch.path() / "page";
    ASSERT_EQ(runCommand("pdftoppm -r 508 -png -singlefile " + shellQuoted(pdf) + " " + shellQuoted(prefix)).status, 0);
    const QImage page(QString::fromStdString(prefix.string() + ".png"));
    ASSERT_FALSE(page.isNull());
    const double pxPerCm = 508 / 2.54;
    for (const auto& b : blocks) {
        const QRect area = areaOf(page, b.qcolour);
        const std::string name = b.qcolour.name().toStdString();
        ASSERT_TRUE(area.isValid()) << name;
        EXPECT_NEAR(area.left(), b.rect.left * pxPerCm, 4.0) << name;
        EXPECT_NEAR(area.top(), b.rect.top * pxPerCm, 4.0) << name;
        EXPECT_NEAR(area.width(), b.rect.width * pxPerCm, 4.0) << name;
        EXPECT_NEAR(area.height(), b.rect.height * pxPerCm, 4.0) << name;
    }
}

} // namespace
} // namespace ordavel
