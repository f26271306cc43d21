// Reviewing a scan's proposals: dropped ones leave the scan readable, a click
// in an empty ruled cell or a drag along a printed line adds the field the
// analysis missed, and a second scan asks what to do with the boxes there.

#include "designer/scan_proposals_dialog.h"
#include "designer/scan_review.h"
#include "designer/undo_controller.h"
#include "window_fixture.h"

#include <QPainter>
#include <QTest>
#include <QTimer>

#include <cstdlib>

namespace ordavel {
namespace {

const char* kScan = ORDAVEL_TEST_DATA "/scans/form_example1.png";

// A 15 × 10 cm form at 6 pixels a millimetre: a two-by-two table of 3-pixel
// rules from (60, 60) to (843, 303), divided at x = 300 and y = 180, and two
// free lines 100 mm long, at y = 450 and y = 520.
QImage drawnForm()
{
    QImage form(900, 600, QImage::Format_Grayscale8);
    form.fill(Qt::white);
    QPainter painter(&form);
    for (const int y : {60, 180, 300})
        painter.fillRect(60, y, 783, 3, Qt::black);
    for (const int x : {60, 300, 840})
        painter.fillRect(x, 60, 3, 243, Qt::black);
    painter.fillRect(100, 450, 600, 3, Qt::black);
    painter.fillRect(100, 520, 600, 3, Qt::black);
    return form;
}

scan::Picture pictureOf(const QImage& grey)
{
    scan::Picture picture;
    picture.width = grey.width();
    picture.height = grey.height();
    picture.channels = 1;
    for (int y = 0; y < grey.height(); ++y)
        picture.pixels.insert(picture.pixels.end(), grey.constScanLine(y), grey.constScanLine(y) + grey.width());
    return picture;
}

void expectNear(const scan::PixelRect& got, const scan::PixelRect& want, int slack)
{
    EXPECT_LE(std::abs(got.x - want.x), slack) << got.x << " vs " << want.x;
    EXPECT_LE(std::abs(got.y - want.y), slack) << got.y << " vs " << want.y;
    EXPECT_LE(std::abs(got.right() - want.right()), slack) << got.right() << " vs " << want.right();
    EXPECT_LE(std::abs(got.bottom() - want.bottom()), slack) << got.bottom() << " vs " << want.bottom();
}

TEST(ScanReview, DroppedProposalsLeaveTheScanUnderThemAsItIs)
{
    ScriptedPrompter prompter;
    QImage form = drawnForm().convertToFormat(QImage::Format_RGB888);
    {
        QPainter painter(&form);
        painter.setPen(Qt::black);
        painter.drawText(QRect(110, 90, 200, 60), Qt::AlignLeft, QStringLiteral("姓名 Name 电话"));
    }
    // A cell over printed text and a thin underline field over a rule.
    std::vector<scan::ProposedField> fields{{{100, 80, 300, 60}, "cell", "姓名", "姓名"},
                                            {{100, 446, 500, 8}, "underline", "地址", "地址"}};
    ScanProposalsDialog dialog(form, fields, prompter);
    dialog.show();
    const QImage plain = form.convertToFormat(QImage::Format_RGB32);
    const auto interiorDiffers = [&](const QImage& shown, const scan::PixelRect& r) {
        int differing = 0;
        for (int y = r.y + 2; y < r.bottom() - 2; ++y)
            for (int x = r.x + 2; x < r.right() - 2; ++x)
                differing += shown.pixel(x, y) != plain.pixel(x, y);
        return differing;
    };
    // Kept ones are tinted and named over the scan.
    QImage shown = dialog.view()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), plain.size());
    EXPECT_GT(interiorDiffers(shown, fields[0].rect), 1000);
    EXPECT_GT(interiorDiffers(shown, fields[1].rect), 500);

    QTest::mouseClick(dialog.view(), Qt::LeftButton, {}, dialog.centreOnView(0));
    QTest::mouseClick(dialog.view(), Qt::LeftButton, {}, dialog.centreOnView(1));
    ASSERT_FALSE(dialog.isKept(0));
    ASSERT_FALSE(dialog.isKept(1));
    shown = dialog.view()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(interiorDiffers(shown, fields[0].rect), 0);
    EXPECT_EQ(interiorDiffers(shown, fields[1].rect), 0);
    // Yet the dashed outline is there.
    int outline = 0;
    for (int x = 100; x < 400; ++x)
        outline += shown.pixel(x, 80) != plain.pixel(x, 80);
    EXPECT_GT(outline, 100);
    EXPECT_LT(outline, 250);
}

class ScanReviewOnForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        analysis = scan::analyseScan(pictureOf(drawnForm()), {15.0, 10.0});
        ASSERT_FALSE(analysis.cells.empty());
        ASSERT_GE(analysis.lines.size(), 2u);
        EXPECT_EQ(analysis.ruleWidth, 3);
        dialog = std::make_unique<ScanProposalsDialog>(drawnForm(), analysis.fields, prompter);
        dialog->useRules(analysis);
        dialog->show();
        before = dialog->fields().size();
    }

    void drag(QPoint from, QPoint to)
    {
        QTest::mousePress(dialog->view(), Qt::LeftButton, {}, dialog->toView(from));
        QTest::mouseMove(dialog->view(), dialog->toView((from + to) / 2));
        QTest::mouseRelease(dialog->view(), Qt::LeftButton, {}, dialog->toView(to));
    }

    ScriptedPrompter prompter;
    scan::ScanAnalysis analysis;
    std::unique_ptr<ScanProposalsDialog> dialog;
    std::size_t before = 0;
};

TEST_F(ScanReviewOnForm, AClickInAnEmptyCellAddsABoxFillingItInsideItsRules)
{
    // The upper left cell lies between the rules' inner edges 63 and 300, 63 and 180.
    QTest::mouseClick(dialog->view(), Qt::LeftButton, {}, dialog->toView({150, 120}));
    ASSERT_EQ(dialog->fields().size(), before + 1);
    const scan::ProposedField& added = dialog->fields().back();
    EXPECT_EQ(added.kind, "cell");
    EXPECT_EQ(added.column, "字段");
    EXPECT_TRUE(dialog->isKept(static_cast<int>(before)));
    expectNear(added.rect, {63 + 3, 63 + 3, 237 - 6, 117 - 6}, 1);

    // The lower right cell, and nothing from the open page outside the table.
    QTest::mouseClick(dialog->view(), Qt::LeftButton, {}, dialog->toView({600, 250}));
    ASSERT_EQ(dialog->fields().size(), before + 2);
    expectNear(dialog->fields().back().rect, {303 + 3, 183 + 3, 537 - 6, 117 - 6}, 1);
    QTest::mouseClick(dialog->view(), Qt::LeftButton, {}, dialog->toView({450, 380}));
    EXPECT_EQ(dialog->fields().size(), before + 2);

    // A click on the added box drops it like any proposal, and it is left out.
    QTest::mouseClick(dialog->view(), Qt::LeftButton, {}, dialog->toView({150, 120}));
    EXPECT_EQ(dialog->fields().size(), before + 2);
    EXPECT_FALSE(dialog->isKept(static_cast<int>(before)));
    EXPECT_EQ(dialog->keptFields().size(), before + 1);
}

TEST_F(ScanReviewOnForm, ADragAlongALineAddsAnUnderlineFieldStandingOnIt)
{
    // A hand's wobble above and below the upper line: the field spans the drag.
    drag({150, 446}, {520, 453});
    ASSERT_EQ(dialog->fields().size(), before + 1);
    const scan::ProposedField& added = dialog->fields().back();
    EXPECT_EQ(added.kind, "underline");
    // 6 mm tall, standing on the line's top.
    expectNear(added.rect, {150, 450 - 36, 370, 36}, 1);

    // Right to left past both ends of the lower line: held to the line.
    drag({780, 519}, {40, 521});
    ASSERT_EQ(dialog->fields().size(), before + 2);
    expectNear(dialog->fields().back().rect, {100, 520 - 36, 600, 36}, 1);

    // A drag over open paper or across the lines adds nothing.
    drag({150, 380}, {600, 382});
    drag({300, 430}, {310, 540});
    EXPECT_EQ(dialog->fields().size(), before + 2);
}

// The table with captions in its left column and a caption before a line.
QImage captionedForm()
{
    QImage form = drawnForm();
    QPainter painter(&form);
    painter.fillRect(0, 500, 900, 100, Qt::white); // the lower line goes
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(30);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(80, 63, 200, 117), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("姓名"));
    painter.drawText(QRect(80, 183, 200, 117), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("电话"));
    painter.fillRect(0, 440, 900, 20, Qt::white);
    painter.drawText(QRect(600, 380, 250, 40), Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("Address"));
    return form;
}

TEST(ScanReviewCaptions, ShiftClickNamesAFieldAfterTheCaptionLeftOfItOrAbove)
{
    const QImage form = captionedForm();
    scan::ScanAnalysis analysis = scan::analyseScan(pictureOf(form), {15.0, 10.0});
    ASSERT_GE(analysis.captions.size(), 3u);
    // Every caption read again from the scan, as for one the analysis had no use for.
    for (scan::PrintedCaption& caption : analysis.captions)
        caption.text.clear();
    // The two empty cells, the blank under "Address", a box under the table's
    // lowest caption, and one with no caption beside it or above it.
    std::vector<scan::ProposedField> fields{{{306, 66, 531, 111}, "cell", "", "字段"},
                                            {{306, 186, 531, 111}, "cell", "", "字段"},
                                            {{560, 440, 300, 50}, "box", "", "字段"},
                                            {{90, 330, 100, 30}, "box", "", "字段"},
                                            {{20, 500, 30, 30}, "box", "", "字段"}};
    ScriptedPrompter prompter;
    ScanProposalsDialog dialog(form.convertToFormat(QImage::Format_RGB888), fields, prompter);
    dialog.useRules(analysis);
    dialog.show();
    for (int i = 0; i < static_cast<int>(fields.size()); ++i)
        QTest::mouseClick(dialog.view(), Qt::LeftButton, Qt::ShiftModifier, dialog.centreOnView(i));
    std::vector<std::string> columns;
    for (const scan::ProposedField& field : dialog.fields())
        columns.push_back(field.column);
    EXPECT_EQ(columns, (std::vector<std::string>{"姓名", "电话", "Address", "电话", "字段"}));
    EXPECT_TRUE(dialog.isKept(0));
    EXPECT_TRUE(prompter.requests.empty());
}

TEST(ScanReviewSplitMerge, CtrlClickSplitsAProposalAndCtrlDragMergesNeighbours)
{
    ScriptedPrompter prompter;
    QImage blank(600, 400, QImage::Format_RGB888);
    blank.fill(Qt::white);
    std::vector<scan::ProposedField> fields{{{100, 100, 400, 40}, "cell", "金额", "金额"},
                                            {{100, 200, 40, 150}, "cell", "备注", "备注"},
                                            {{300, 300, 100, 40}, "underline", "日期", "日期"}};
    ScanProposalsDialog dialog(blank, fields, prompter);
    dialog.show();
    const auto ctrlDrag = [&](QPoint from, QPoint to) {
        QTest::mousePress(dialog.view(), Qt::LeftButton, Qt::ControlModifier, dialog.toView(from));
        QTest::mouseRelease(dialog.view(), Qt::LeftButton, Qt::ControlModifier, dialog.toView(to));
    };

    // Wide: cut across where clicked, both halves kept, named as before.
    QTest::mouseClick(dialog.view(), Qt::LeftButton, Qt::ControlModifier, dialog.toView({300, 120}));
    ASSERT_EQ(dialog.fields().size(), 4u);
    EXPECT_EQ(dialog.fields()[0].rect, (scan::PixelRect{100, 100, 200, 40}));
    EXPECT_EQ(dialog.fields()[1].rect, (scan::PixelRect{300, 100, 200, 40}));
    EXPECT_EQ(dialog.fields()[1].column, "金额");
    EXPECT_TRUE(dialog.isKept(1));
    // Tall: cut along; too near an edge to leave a usable part: no cut.
    QTest::mouseClick(dialog.view(), Qt::LeftButton, Qt::ControlModifier, dialog.toView({120, 250}));
    ASSERT_EQ(dialog.fields().size(), 5u);
    EXPECT_EQ(dialog.fields()[2].rect, (scan::PixelRect{100, 200, 40, 50}));
    EXPECT_EQ(dialog.fields()[3].rect, (scan::PixelRect{100, 250, 40, 100}));
    QTest::mouseClick(dialog.view(), Qt::LeftButton, Qt::ControlModifier, dialog.toView({302, 320}));
    EXPECT_EQ(dialog.fields().size(), 5u);

    // The right half dragged onto the left one: one field again, the left one's name.
    dialog.toggle(1);
    ctrlDrag({400, 120}, {150, 120});
    ASSERT_EQ(dialog.fields().size(), 4u);
    EXPECT_EQ(dialog.fields()[0].rect, (scan::PixelRect{100, 100, 400, 40}));
    EXPECT_EQ(dialog.fields()[0].column, "金额");
    EXPECT_TRUE(dialog.isKept(0));
    // Fields sharing neither a row nor a column stay apart.
    ctrlDrag({120, 220}, {350, 320});
    EXPECT_EQ(dialog.fields().size(), 4u);
    // A drag without Ctrl is no merge.
    QTest::mousePress(dialog.view(), Qt::LeftButton, {}, dialog.toView({120, 220}));
    QTest::mouseRelease(dialog.view(), Qt::LeftButton, {}, dialog.toView({120, 300}));
    EXPECT_EQ(dialog.fields().size(), 4u);
}

TEST(ScanReviewTools, CellsAndLinesChosenByThePointer)
{
    // Nested cells: the smallest holding the point; too small to inset: none.
    const std::vector<scan::PixelRect> cells{{0, 0, 200, 100}, {10, 10, 50, 40}, {150, 10, 5, 5}};
    EXPECT_EQ(scanreview::cellFieldAt(cells, 2, 20, 20), (scan::PixelRect{12, 12, 46, 36}));
    EXPECT_EQ(scanreview::cellFieldAt(cells, 2, 100, 80), (scan::PixelRect{2, 2, 196, 96}));
    EXPECT_EQ(scanreview::cellFieldAt(cells, 3, 151, 11), std::nullopt);
    EXPECT_EQ(scanreview::cellFieldAt(cells, 2, 300, 20), std::nullopt);

    // Two lines within reach: the nearer wins; a drag beside a line's end adds nothing.
    const std::vector<scan::PixelRect> lines{{0, 100, 300, 2}, {0, 110, 300, 2}};
    EXPECT_EQ(scanreview::underlineAlong(lines, {10, 107}, {90, 109}, 8, 20), (scan::PixelRect{10, 90, 80, 20}));
    EXPECT_EQ(scanreview::underlineAlong(lines, {10, 103}, {90, 104}, 8, 20), (scan::PixelRect{10, 80, 80, 20}));
    EXPECT_EQ(scanreview::underlineAlong(lines, {310, 100}, {400, 100}, 8, 20), std::nullopt);
    EXPECT_EQ(scanreview::underlineAlong(lines, {10, 80}, {90, 130}, 8, 20), std::nullopt);
}

TEST(ScanReviewTools, TheCaptionOnAFieldsLineComesBeforeOneAboveAndItsPiecesAreJoined)
{
    const scan::PixelRect field{300, 100, 200, 30};
    // A caption in two pieces left of the field, a nearer one above it, a speck
    // between, and a caption beyond the field's end.
    const std::vector<scan::PixelRect> captions{{100, 100, 60, 28}, {170, 102, 40, 26}, {300, 60, 150, 28},
                                                {250, 110, 4, 4}, {520, 100, 60, 28}};
    const auto spot = scanreview::captionFor(captions, field, 200);
    ASSERT_TRUE(spot);
    EXPECT_EQ(spot->index, 1);
    EXPECT_EQ(spot->rect, (scan::PixelRect{100, 100, 110, 28}));
    // Out of reach on the left: the one above.
    const auto above = scanreview::captionFor(captions, field, 60);
    ASSERT_TRUE(above);
    EXPECT_EQ(above->index, 2);
    EXPECT_EQ(scanreview::captionFor(captions, {0, 300, 50, 30}, 200), std::nullopt);
    // A table's column is named by its header above it.
    const auto column = scanreview::captionFor(captions, {300, 100, 200, 120}, 200);
    ASSERT_TRUE(column);
    EXPECT_EQ(column->index, 2);
}

// A second scan on a template with boxes: Yes replaces them, No adds to
// them, Cancel stops before the scan is chosen.
class ScanAgain : public WindowTest {
protected:
    void scanOnce()
    {
        QTimer driver;
        driver.setInterval(20);
        QObject::connect(&driver, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* paper = qobject_cast<ScanPaperDialog*>(modal)) {
                paper->setCustomSize(21.0, 29.7);
                paper->accept();
            } else if (auto* proposals = qobject_cast<ScanProposalsDialog*>(modal)) {
                proposed = proposals->fields().size();
                proposals->accept();
            }
        });
        driver.start();
        window->dispatch(DesignerCommand::ScanToTemplate);
        driver.stop();
        QApplication::processEvents();
    }

    std::vector<std::string> texts()
    {
        std::vector<std::string> all;
        for (int i = 1; i <= doc().slotCount(); ++i)
            if (doc().box(i).inUse)
                all.push_back(doc().box(i).attributes.text);
        return all;
    }

    std::size_t proposed = 0;
};

TEST_F(ScanAgain, ABoardWithBoxesAsksToReplaceAddOrCancel)
{
    const Message question{"报表中已有框格。\r\n选“是”用扫描生成的框格替换原有的框格，选“否”把扫描生成的框格加到原有的框格中，"
                           "选“取消”不扫描。",
                           "扫描生成", MessageIcon::Question, MessageButtons::YesNoCancel};
    // An empty board is not asked about.
    prompter.files = {std::string(kScan)};
    scanOnce();
    ASSERT_GT(proposed, 2u);
    EXPECT_EQ(prompter.requests, (std::vector<std::string>{"open"}));
    const std::vector<std::string> first = texts();
    ASSERT_EQ(first.size(), proposed);

    // Cancel: nothing chosen, nothing changed.
    prompter.requests.clear();
    prompter.answers = {MessageAnswer::Cancel};
    prompter.files = {std::string(kScan)};
    const std::size_t steps = window->undoController()->history().undoCount();
    scanOnce();
    EXPECT_EQ(prompter.requests, (std::vector<std::string>{"message"}));
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0], question);
    EXPECT_EQ(texts(), first);
    EXPECT_EQ(window->undoController()->history().undoCount(), steps);

    // No: the new boxes join the old ones.
    prompter.answers = {MessageAnswer::No};
    prompter.files = {std::string(kScan)};
    scanOnce();
    EXPECT_EQ(texts().size(), 2 * proposed);

    // Yes: only the scan's boxes are left, in one undo step.
    prompter.answers = {MessageAnswer::Yes};
    prompter.files = {std::string(kScan)};
    const std::size_t stepsBefore = window->undoController()->history().undoCount();
    scanOnce();
    EXPECT_EQ(texts(), first);
    EXPECT_EQ(prompter.messages.size(), 3u);
    ASSERT_EQ(window->undoController()->history().undoCount(), stepsBefore + 1);
    window->undoController()->undo();
    QApplication::processEvents();
    EXPECT_EQ(texts().size(), 2 * proposed);
}

} // namespace
} // namespace ordavel
