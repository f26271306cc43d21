// The review gestures on the board after a scan became boxes: a double click
// in a ruled cell, a Ctrl+drag along a printed line, Shift+double click to
// name a box from its caption, Ctrl+double click to split and a Ctrl+drag
// onto a neighbour to merge, each one undo step; elsewhere the mouse does
// what it did before.

#if ORDAVEL_WITH_SCAN

#include "designer/box_view.h"
#include "designer/mouse_controller.h"
#include "designer/scan_proposals_dialog.h"
#include "designer/scan_review_state.h"
#include "designer/undo_controller.h"
#include "designer/work_area.h"
#include "designer/workbench.h"
#include "window_fixture.h"

#include <QPainter>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

namespace ordavel {
namespace {

// A 15 × 10 cm form at 6 pixels a millimetre: a two-by-two table of 3-pixel
// rules from (60, 60) to (843, 303), divided at x = 300 and y = 180, and a
// line 100 mm long at y = 450; "姓名" and "电话" stand in the table's left column.
QImage form()
{
    QImage image(900, 600, QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (const int y : {60, 180, 300})
        painter.fillRect(60, y, 783, 3, Qt::black);
    for (const int x : {60, 300, 840})
        painter.fillRect(x, 60, 3, 243, Qt::black);
    painter.fillRect(100, 450, 600, 3, Qt::black);
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(30);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(80, 63, 200, 117), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("姓名"));
    painter.drawText(QRect(80, 183, 200, 117), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("电话"));
    return image;
}

constexpr double kCmPerPx = 15.0 / 900; // of the scan
constexpr double kSlackCm = 0.05;

class ScanBoard : public WindowTest {
protected:
    // Scans `image` with every proposal dropped: an empty board over the scan.
    void scanEmpty(const QImage& image)
    {
        const QString path = folder.filePath(QStringLiteral("form.png"));
        ASSERT_TRUE(image.save(path));
        prompter.files = {path.toStdString()};
        QTimer driver;
        driver.setInterval(20);
        QObject::connect(&driver, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* paper = qobject_cast<ScanPaperDialog*>(modal)) {
                paper->setCustomSize(15.0, 10.0);
                paper->accept();
            } else if (auto* proposals = qobject_cast<ScanProposalsDialog*>(modal)) {
                for (int i = 0; i < static_cast<int>(proposals->fields().size()); ++i)
                    if (proposals->isKept(i))
                        proposals->toggle(i);
                proposals->accept();
            }
        });
        driver.start();
        window->dispatch(DesignerCommand::ScanToTemplate);
        driver.stop();
        settle();
        ASSERT_TRUE(prompter.messages.empty()) << prompter.messages[0].text;
        ASSERT_TRUE(window->scanReview()->present());
        ASSERT_EQ(doc().liveBoxCount(), 0);
    }

    void settle()
    {
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }

    QWidget* bench() { return window->workArea()->workbench(); }
    QWidget* control(int index) { return window->workArea()->boxView(index)->control(); }
    UndoController& undo() { return *window->undoController(); }

    // A point of the scan on the workbench.
    QPoint at(QPoint scanPx)
    {
        const Rect board = window->scanReview()->toBoard({scanPx.x(), scanPx.y(), 1, 1});
        const BoardZoom& zoom = window->workArea()->zoom();
        return {zoom.toView(board.left), zoom.toView(board.top)};
    }

    // A double click as the window system delivers it: press, release, press,
    // double click, release. The workbench holds the mouse after a press.
    void doubleClick(QWidget* target, QPoint onBench, Qt::KeyboardModifiers keys = {})
    {
        const QPoint local = target->mapFromGlobal(bench()->mapToGlobal(onBench));
        QTest::mousePress(target, Qt::LeftButton, keys, local);
        QTest::mouseRelease(bench(), Qt::LeftButton, keys, onBench);
        QTest::mousePress(target, Qt::LeftButton, keys, local);
        QTest::mouseDClick(target, Qt::LeftButton, keys, local);
        QTest::mouseRelease(bench(), Qt::LeftButton, keys, onBench);
        settle();
    }

    void drag(QWidget* target, QPoint from, QPoint to, Qt::KeyboardModifiers keys)
    {
        QTest::mousePress(target, Qt::LeftButton, keys, target->mapFromGlobal(bench()->mapToGlobal(from)));
        QTest::mouseMove(bench(), (from + to) / 2);
        QTest::mouseMove(bench(), to);
        QTest::mouseRelease(bench(), Qt::LeftButton, keys, to);
        settle();
    }

    // The box's place on the paper equals the scan's rectangle, in cm.
    void expectOnPaper(int index, QRect scanPx)
    {
        const PrintRect& r = doc().box(index).printRect;
        EXPECT_NEAR(r.left, scanPx.x() * kCmPerPx, kSlackCm) << index;
        EXPECT_NEAR(r.top, scanPx.y() * kCmPerPx, kSlackCm) << index;
        EXPECT_NEAR(r.width, scanPx.width() * kCmPerPx, kSlackCm) << index;
        EXPECT_NEAR(r.height, scanPx.height() * kCmPerPx, kSlackCm) << index;
    }

    std::vector<std::string> texts()
    {
        std::vector<std::string> all;
        for (const int index : doc().liveIndices())
            all.push_back(doc().box(index).attributes.text);
        return all;
    }

    // The modal dialog a gesture opens is closed unchanged.
    QString closingModal(const std::function<void()>& gesture)
    {
        QString opened;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&opened] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                opened = modal->objectName().isEmpty() ? modal->windowTitle() : modal->objectName();
                modal->close();
            }
        });
        closer.start(10);
        gesture();
        closer.stop();
        return opened;
    }
};

// The upper left cell lies between the rules' inner edges 63 and 300, 63 and
// 180: its box, inset by the 3-pixel rule, covers 66..297 by 66..177.
const QRect kUpperLeft(66, 66, 231, 111);
const QRect kLowerRight(306, 186, 531, 111);

TEST_F(ScanBoard, ADoubleClickInARuledCellAddsABoxFillingItAsOneUndoStep)
{
    scanEmpty(form());
    // The gestures are told as they become available.
    EXPECT_EQ(bench()->toolTip(), ScanReviewState::gestureHint());
    EXPECT_EQ(window->statusBar()->currentMessage(), ScanReviewState::gestureSummary());

    const std::size_t steps = undo().history().undoCount();
    doubleClick(bench(), at({150, 120}));
    ASSERT_EQ(doc().liveBoxCount(), 1);
    const int first = doc().liveIndices().front();
    expectOnPaper(first, kUpperLeft);
    EXPECT_EQ(doc().box(first).attributes.text, "${字段}");
    EXPECT_EQ(doc().selection(), std::vector<int>{first});
    EXPECT_EQ(undo().history().undoCount(), steps + 1);

    // The next cell's column is another one; a double click in a cell that has
    // its box adds none.
    doubleClick(bench(), at({600, 250}));
    ASSERT_EQ(doc().liveBoxCount(), 2);
    const int second = doc().liveIndices().back();
    expectOnPaper(second, kLowerRight);
    EXPECT_EQ(doc().box(second).attributes.text, "${字段2}");
    doubleClick(bench(), at({300 + 200, 185}));
    EXPECT_EQ(doc().liveBoxCount(), 2);
    EXPECT_EQ(undo().history().undoCount(), steps + 2);

    undo().undo();
    settle();
    EXPECT_EQ(texts(), std::vector<std::string>{"${字段}"});
    undo().undo();
    settle();
    EXPECT_EQ(doc().liveBoxCount(), 0);
    EXPECT_TRUE(window->scanReview()->present());

    // Outside the table the double click opens the page setup as ever.
    QSignalSpy pageSetup(window->mouseController(), &MouseController::pageSetupRequested);
    EXPECT_EQ(closingModal([&] { doubleClick(bench(), at({450, 380})); }), QStringLiteral("页面设置"));
    EXPECT_EQ(pageSetup.count(), 1);
    EXPECT_EQ(doc().liveBoxCount(), 0);
}

TEST_F(ScanBoard, ACtrlDragAlongAPrintedLineAddsAnUnderlineBoxStandingOnIt)
{
    scanEmpty(form());
    const std::size_t steps = undo().history().undoCount();
    // A hand's wobble around the line: the box spans the drag and stands on the line's top.
    drag(bench(), at({150, 447}), at({520, 452}), Qt::ControlModifier);
    ASSERT_EQ(doc().liveBoxCount(), 1);
    const PrintRect& line = doc().box(doc().liveIndices().front()).printRect;
    EXPECT_NEAR(line.left, 150 * kCmPerPx, kSlackCm);
    EXPECT_NEAR(line.left + line.width, 520 * kCmPerPx, kSlackCm);
    EXPECT_NEAR(line.top + line.height, 450 * kCmPerPx, kSlackCm);
    EXPECT_GT(line.height, 0.3);
    EXPECT_FALSE(window->mouseController()->bandActive());
    EXPECT_EQ(undo().history().undoCount(), steps + 1);
    undo().undo();
    settle();
    EXPECT_EQ(doc().liveBoxCount(), 0);

    // Without Ctrl, or away from the line, the drag selects with the band as before.
    const Rect board = window->scanReview()->toBoard({150, 380, 60, 30});
    const int box = doc().addBox(BoxType::Label, board.left, board.top, board.width, board.height);
    doc().clearSelection();
    drag(bench(), at({120, 370}), at({520, 420}), Qt::ControlModifier);
    EXPECT_EQ(doc().selection(), std::vector<int>{box});
    doc().clearSelection();
    drag(bench(), at({120, 440}), at({520, 452}), {});
    EXPECT_EQ(doc().liveBoxCount(), 1);
    EXPECT_TRUE(doc().selection().empty());
}

TEST_F(ScanBoard, AShiftDoubleClickNamesABoxFromTheCaptionLeftOfIt)
{
    scanEmpty(form());
    doubleClick(bench(), at({600, 120}));
    doubleClick(bench(), at({600, 250}));
    ASSERT_EQ(texts(), (std::vector<std::string>{"${字段}", "${字段2}"}));
    const std::vector<int> boxes = doc().liveIndices();
    const std::size_t steps = undo().history().undoCount();

    doubleClick(control(boxes[0]), at({600, 120}), Qt::ShiftModifier);
    doubleClick(control(boxes[1]), at({600, 250}), Qt::ShiftModifier);
    EXPECT_EQ(texts(), (std::vector<std::string>{"${姓名}", "${电话}"}));
    EXPECT_EQ(undo().history().undoCount(), steps + 2);
    EXPECT_EQ(prompter.requests, std::vector<std::string>{"open"}); // the scan chooser, nothing since
    undo().undo();
    settle();
    EXPECT_EQ(texts(), (std::vector<std::string>{"${姓名}", "${字段2}"}));

    // A box with no caption beside it or above it keeps its name; a plain
    // double click still opens the box's property dialog.
    const Rect far = window->scanReview()->toBoard({20, 520, 40, 40});
    const int lone = doc().addBox(BoxType::EditBox, far.left, far.top, far.width, far.height);
    doc().box(lone).attributes.text = "${备注}";
    settle();
    doubleClick(control(lone), at({40, 540}), Qt::ShiftModifier);
    EXPECT_EQ(doc().box(lone).attributes.text, "${备注}");
    QSignalSpy properties(window->mouseController(), &MouseController::boxDoubleClicked);
    closingModal([&] { QTest::mouseDClick(control(lone), Qt::LeftButton, {}, QPoint(5, 5)); });
    EXPECT_EQ(properties.count(), 1);
}

TEST_F(ScanBoard, ACtrlDoubleClickSplitsABoxAndACtrlDragOntoItsNeighbourMergesThem)
{
    scanEmpty(form());
    doubleClick(bench(), at({150, 120}));
    ASSERT_EQ(doc().liveBoxCount(), 1);
    const int whole = doc().liveIndices().front();
    const PrintRect before = doc().box(whole).printRect;
    const std::size_t steps = undo().history().undoCount();

    // Wider than tall: cut across where double-clicked.
    doubleClick(control(whole), at({180, 120}), Qt::ControlModifier);
    ASSERT_EQ(doc().liveBoxCount(), 2);
    const int right = doc().liveIndices().back();
    expectOnPaper(whole, QRect(66, 66, 180 - 66, 111));
    expectOnPaper(right, QRect(180, 66, 297 - 180, 111));
    EXPECT_EQ(texts(), (std::vector<std::string>{"${字段}", "${字段2}"}));
    EXPECT_EQ(undo().history().undoCount(), steps + 1);
    undo().undo();
    settle();
    ASSERT_EQ(doc().liveBoxCount(), 1);
    EXPECT_EQ(doc().box(whole).printRect, before);
    undo().redo();
    settle();
    ASSERT_EQ(doc().liveBoxCount(), 2);

    // Too near the edge to leave a usable part: no cut.
    doubleClick(control(right), at({294, 120}), Qt::ControlModifier);
    EXPECT_EQ(doc().liveBoxCount(), 2);

    // The right part dragged with Ctrl onto the left one: one box over the cell again.
    drag(control(right), at({250, 120}), at({100, 120}), Qt::ControlModifier);
    ASSERT_EQ(doc().liveBoxCount(), 1);
    EXPECT_EQ(doc().liveIndices().front(), right);
    expectOnPaper(right, kUpperLeft);
    EXPECT_EQ(undo().history().undoCount(), steps + 2);
    undo().undo();
    settle();
    EXPECT_EQ(doc().liveBoxCount(), 2);

    // Boxes sharing neither a row nor a column: the Ctrl+drag only moves the box.
    doubleClick(bench(), at({600, 250}));
    ASSERT_EQ(doc().liveBoxCount(), 3);
    const int lower = doc().liveIndices().back();
    const Rect start = doc().box(whole).editRect;
    drag(control(whole), at({100, 120}), at({620, 200}), Qt::ControlModifier);
    EXPECT_EQ(doc().liveBoxCount(), 3);
    EXPECT_NE(doc().box(whole).editRect.left, start.left);
    EXPECT_TRUE(doc().box(lower).inUse);
}

TEST_F(ScanBoard, TheToolsGoWithTheScanAndTheBoardWorksAsBefore)
{
    scanEmpty(form());
    // Undoing the scan takes its background away, and the tools with it.
    undo().undo();
    settle();
    EXPECT_FALSE(window->scanReview()->present());
    EXPECT_TRUE(bench()->toolTip().isEmpty());
    doc().setTitle(false);
    QSignalSpy pageSetup(window->mouseController(), &MouseController::pageSetupRequested);
    closingModal([&] { doubleClick(bench(), QPoint(150, 100)); });
    EXPECT_EQ(pageSetup.count(), 1);
    EXPECT_EQ(doc().liveBoxCount(), 0);

    // The scan placed otherwise than over the whole board drops them, and so
    // does a new document; page setup with the scan as it was keeps them.
    scanEmpty(form());
    doc().notifyPageChanged();
    EXPECT_TRUE(window->scanReview()->present());
    doc().page().imgShowType = 0;
    doc().notifyPageChanged();
    EXPECT_FALSE(window->scanReview()->present());
    scanEmpty(form());
    window->resetDocument();
    EXPECT_FALSE(window->scanReview()->present());
}

} // namespace
} // namespace ordavel

#endif
