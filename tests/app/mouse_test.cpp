#include "window_fixture.h"

#include "designer/box_view.h"
#include "designer/control_toolbar.h"
#include "designer/mouse_controller.h"
#include "designer/rubber_band.h"
#include "designer/work_area.h"
#include "designer/workbench.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTimer>
#include <QTest>
#include <QTimer>
#include <QWindow>

namespace ordavel {
namespace {

class MouseTest : public WindowTest {
protected:
    QWidget* bench() { return window->workArea()->workbench(); }
    MouseController& mouse() { return *window->mouseController(); }
    QWidget* control(int index) { return window->workArea()->boxView(index)->control(); }
    QWidget* handle(int index, int which) { return window->workArea()->boxView(index)->handle(which); }
    std::vector<int> selection() { return doc().selection(); }

    void chooseType(const char* caption)
    {
        for (QAction* action : window->controlToolBar()->actions())
            if (action->text() == QString::fromUtf8(caption))
                action->trigger();
    }
    // Press on `from` at `at` (its px), then move and release on the workbench,
    // which holds the mouse while a band or a box is dragged, `by` further on.
    void drag(QWidget* from, QPoint at, QPoint by, Qt::KeyboardModifiers mods = {})
    {
        QTest::mousePress(from, Qt::LeftButton, mods, at);
        const QPoint to = bench()->mapFromGlobal(from->mapToGlobal(at)) + by;
        QTest::mouseMove(bench(), to);
        QTest::mouseRelease(bench(), Qt::LeftButton, mods, to);
    }
    void band(QPoint from, QPoint to, Qt::KeyboardModifiers mods = {}) { drag(bench(), from, to - from, mods); }
};

TEST_F(MouseTest, DrawingABoxFillsTheFirstFreeSlotAndConvertsItsPrintRect)
{
    doc().addBox(BoxType::Label, 300, 300);
    doc().addBox(BoxType::Label, 400, 300);
    doc().deleteBox(1);

    // Every type button gives a visible drawing cursor with its hot spot at (5, 5).
    for (const char* caption : {"编辑框", "标签", "外形框", "组合框", "日期框", "颜色框", "图片框"}) {
        chooseType(caption);
        const QCursor cursor = bench()->cursor();
        EXPECT_EQ(cursor.shape(), Qt::BitmapCursor) << caption;
        EXPECT_EQ(cursor.pixmap().size(), QSize(32, 32)) << caption;
        EXPECT_EQ(cursor.hotSpot(), QPoint(5, 5)) << caption;
    }
    EXPECT_EQ(mouse().pendingBoxType(), 3);
    // Dragged up and to the left: the band is spanned by both points.
    band(QPoint(130, 90), QPoint(30, 40));

    const Box& drawn = doc().box(1);
    EXPECT_TRUE(drawn.inUse);
    EXPECT_EQ(drawn.type, BoxType::PicBox);
    EXPECT_EQ(drawn.editRect, (Rect{30, 40, 100, 50}));
    EXPECT_EQ(drawn.printRect, (PrintRect{0.79, 1.06, 2.65, 1.32}));
    EXPECT_EQ(control(1)->geometry(), QRect(30, 40, 100, 50));
    EXPECT_EQ(doc().currentBoxIndex(), 1);
    EXPECT_EQ(selection(), std::vector<int>{1});
    EXPECT_EQ(mouse().pendingBoxType(), -1);
    EXPECT_EQ(bench()->cursor().shape(), Qt::ArrowCursor);
    EXPECT_FALSE(mouse().rubberBand().isVisible());

    // A purely horizontal drag makes a default box at the press point.
    chooseType("日期框");
    band(QPoint(50, 200), QPoint(150, 200));
    EXPECT_EQ(doc().box(3).type, BoxType::DatePicker);
    EXPECT_EQ(doc().box(3).editRect, (Rect{50, 200, 80, 28}));
}

TEST_F(MouseTest, RightClickAndDoubleClickCancelDrawingWithoutCreating)
{
    QSignalSpy pageMenu(&mouse(), &MouseController::pageMenuRequested);
    QSignalSpy pageSetup(&mouse(), &MouseController::pageSetupRequested);
    chooseType("标签");
    QTest::mousePress(bench(), Qt::RightButton, {}, QPoint(40, 40));
    EXPECT_EQ(mouse().pendingBoxType(), -1);
    EXPECT_EQ(bench()->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(pageMenu.count(), 0);

    chooseType("外形框");
    QTest::mouseDClick(bench(), Qt::LeftButton, {}, QPoint(40, 40));
    EXPECT_EQ(mouse().pendingBoxType(), -1);
    EXPECT_EQ(pageSetup.count(), 0);
    EXPECT_EQ(doc().liveBoxCount(), 0);

    // With no type chosen they clear the selection and ask for the page menu or setup.
    doc().addBox(BoxType::Label, 10, 10);
    QTest::mousePress(bench(), Qt::RightButton, {}, QPoint(200, 150));
    EXPECT_TRUE(selection().empty());
    ASSERT_EQ(pageMenu.count(), 1);
    EXPECT_EQ(pageMenu.at(0).at(0).toPoint(), QPoint(200, 150));
    EXPECT_EQ(mouse().menuPoint(), QPoint(200, 150));
    // The window answers with the modal page setup dialog; close it unchanged.
    QString opened;
    QTimer::singleShot(0, [&] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            opened = dialog->objectName();
            dialog->close();
        }
    });
    QTest::mouseDClick(bench(), Qt::LeftButton, {}, QPoint(40, 40));
    EXPECT_EQ(pageSetup.count(), 1);
    EXPECT_EQ(opened, QStringLiteral("页面设置"));
}

TEST_F(MouseTest, TheGreyBackgroundClearsTheSelectionAndOpensOnDoubleClick)
{
    QWidget* background = window->workArea();
    const QPoint margin(2, 300); // left of the centred paper
    doc().addBox(BoxType::Label, 10, 10);
    QTest::mousePress(background, Qt::LeftButton, {}, margin);
    EXPECT_TRUE(selection().empty());

    doc().setTitle(false); // nothing to save first
    chooseType("组合框");
    QTest::mouseDClick(background, Qt::LeftButton, {}, margin);
    EXPECT_EQ(mouse().pendingBoxType(), -1);
    EXPECT_TRUE(prompter.requests.empty());
    QTest::mouseDClick(background, Qt::LeftButton, {}, margin);
    EXPECT_EQ(prompter.requests, std::vector<std::string>{"open"});

    // New forgets a chosen type.
    chooseType("颜色框");
    window->resetDocument();
    EXPECT_EQ(mouse().pendingBoxType(), -1);
    EXPECT_EQ(bench()->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(MouseTest, BandSelectsOverlappedBoxesButNotTouchingOnes)
{
    doc().addBox(BoxType::Label, 10, 10, 50, 30);  // right edge 60
    doc().addBox(BoxType::Label, 100, 10, 50, 30); // left edge 100
    doc().addBox(BoxType::Label, 200, 200, 40, 40);

    band(QPoint(60, 0), QPoint(100, 50));
    EXPECT_TRUE(selection().empty());
    band(QPoint(59, 0), QPoint(101, 50));
    EXPECT_EQ(selection(), (std::vector<int>{1, 2}));

    // A flat band selects nothing and, without Shift, clears the selection.
    band(QPoint(0, 5), QPoint(300, 5));
    EXPECT_TRUE(selection().empty());

    // Beyond the left edge the band follows negative coordinates.
    QTest::mousePress(bench(), Qt::LeftButton, {}, QPoint(30, 5));
    QTest::mouseMove(bench(), QPoint(-20, 45));
    EXPECT_EQ(mouse().rubberBand().rect(), (Rect{-20, 5, 50, 40}));
    QTest::mouseRelease(bench(), Qt::LeftButton, {}, QPoint(-20, 45));
    EXPECT_EQ(selection(), std::vector<int>{1});
}

TEST_F(MouseTest, ShiftClicksAndShiftBandsToggleAndKeepIndexOrder)
{
    doc().addBox(BoxType::Label, 10, 10, 50, 30);
    doc().addBox(BoxType::Label, 100, 10, 50, 30);
    doc().addBox(BoxType::Label, 200, 200, 40, 40);

    QTest::mouseClick(control(3), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(control(1), Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 5));
    EXPECT_EQ(selection(), (std::vector<int>{3, 1}));
    EXPECT_EQ(doc().currentBoxIndex(), 3);

    // Over 1 (selected) and 2 (not): they swap; the Selection is rebuilt in index order.
    band(QPoint(1, 1), QPoint(120, 30), Qt::ShiftModifier);
    EXPECT_EQ(selection(), (std::vector<int>{2, 3}));
    EXPECT_FALSE(handle(1, HandleTopLeft)->isVisible());

    QTest::mouseClick(control(3), Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 5));
    EXPECT_EQ(selection(), std::vector<int>{2});
    EXPECT_EQ(window->statusPanel(PanelBox)->text(), QStringLiteral("没有选择控件"));

    // A Shift press on the empty board keeps the selection; a plain one clears it.
    QTest::mouseClick(bench(), Qt::LeftButton, Qt::ShiftModifier, QPoint(400, 400));
    EXPECT_EQ(selection(), std::vector<int>{2});
    QTest::mouseClick(bench(), Qt::LeftButton, {}, QPoint(400, 400));
    EXPECT_TRUE(selection().empty());
}

TEST_F(MouseTest, MovingABoxMovesItsPrintPositionOnlyWhenItFollows)
{
    const int following = doc().addBox(BoxType::EditBox, 40, 60, 100, 28);
    const int fixed = doc().addBox(BoxType::EditBox, 40, 200, 100, 28);
    doc().box(fixed).followsEdit = false;
    const PrintRect fixedPrint = doc().box(fixed).printRect;
    doc().setTitle(false);

    // A click without a move still counts as a change.
    QTest::mouseClick(control(following), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(doc().modified());
    EXPECT_EQ(doc().currentBoxIndex(), following);

    drag(control(following), QPoint(5, 5), QPoint(30, 20));
    EXPECT_EQ(doc().box(following).editRect, (Rect{70, 80, 100, 28}));
    EXPECT_EQ(doc().box(following).printRect, (PrintRect{1.85, 2.12, 2.65, 0.74}));
    EXPECT_EQ(handle(following, HandleBottomRight)->geometry(), QRect(170, 108, 5, 5));
    EXPECT_EQ(selection(), std::vector<int>{following});
    EXPECT_EQ(window->statusPanel(PanelBox)->text(), QStringLiteral("X:70,Y:80,W:100,H:28"));

    drag(control(fixed), QPoint(5, 5), QPoint(-30, 15));
    EXPECT_EQ(doc().box(fixed).editRect, (Rect{10, 215, 100, 28}));
    EXPECT_EQ(doc().box(fixed).printRect, fixedPrint);
}

TEST_F(MouseTest, EachHandleSizesItsOwnEdges)
{
    const int index = doc().addBox(BoxType::Label, 100, 100, 60, 40);
    const std::pair<int, Rect> cases[] = {
        {HandleTopLeft, {110, 107, 50, 33}},    {HandleTopMiddle, {100, 107, 60, 33}},
        {HandleTopRight, {100, 107, 70, 33}},   {HandleMiddleLeft, {110, 100, 50, 40}},
        {HandleMiddleRight, {100, 100, 70, 40}}, {HandleBottomLeft, {110, 100, 50, 47}},
        {HandleBottomMiddle, {100, 100, 60, 47}}, {HandleBottomRight, {100, 100, 70, 47}},
    };
    for (const auto& [which, expected] : cases) {
        SCOPED_TRACE(which);
        doc().setEditRect(index, Rect{100, 100, 60, 40});
        doc().refresh(index);
        drag(handle(index, which), QPoint(2, 2), QPoint(10, 7));
        EXPECT_EQ(doc().box(index).editRect, expected);
        EXPECT_EQ(control(index)->geometry(), QRect(expected.left, expected.top, expected.width, expected.height));
        EXPECT_TRUE(handle(index, HandleTopLeft)->isVisible());
        EXPECT_EQ(selection(), std::vector<int>{index}); // once, however often it was dragged
    }
    // An edge dragged past the opposite one stops a pixel short of it.
    doc().setEditRect(index, Rect{100, 100, 60, 40});
    doc().refresh(index);
    drag(handle(index, HandleMiddleLeft), QPoint(2, 2), QPoint(100, 0));
    EXPECT_EQ(doc().box(index).editRect, (Rect{159, 100, 1, 40}));
}

TEST_F(MouseTest, SquareShapesEndSquareAndAHandleNarrowsTheSelection)
{
    const int plain = doc().addBox(BoxType::Label, 300, 10, 40, 40);
    const int other = doc().addBox(BoxType::Label, 300, 100, 40, 40);
    const int square = doc().addBox(BoxType::ShapeBox, 50, 50, 30, 30);
    doc().box(square).attributes.shape = ShapeSquare;
    doc().box(square).followsEdit = false;
    doc().select(plain);
    doc().select(other);
    ASSERT_EQ(selection().size(), 3u);

    drag(handle(square, HandleBottomRight), QPoint(2, 2), QPoint(30, 10)); // to 60 x 40
    EXPECT_EQ(doc().box(square).editRect, (Rect{50, 50, 40, 40}));
    EXPECT_EQ(doc().box(square).printRect, (PrintRect{1.32, 1.32, 1.06, 1.06}));
    EXPECT_EQ(selection(), std::vector<int>{square});
    EXPECT_EQ(doc().currentBoxIndex(), square);
}

// Through the window, as the platform delivers them: the press picks the widget
// under the pointer, and later events follow the mouse grab.
TEST_F(MouseTest, WindowEventsReachTheBandTheMoveAndTheHiddenHandle)
{
    QWindow* frame = window->windowHandle();
    auto at = [&](QWidget* w, QPoint p) { return frame->mapFromGlobal(w->mapToGlobal(p)); };
    auto windowDrag = [&](QPoint from, QPoint to) {
        QTest::mousePress(frame, Qt::LeftButton, {}, from);
        QTest::mouseMove(frame, (from + to) / 2);
        QTest::mouseMove(frame, to);
        QTest::mouseRelease(frame, Qt::LeftButton, {}, to);
    };
    chooseType("标签");
    windowDrag(at(bench(), QPoint(20, 20)), at(bench(), QPoint(120, 60)));
    ASSERT_EQ(doc().liveBoxCount(), 1);
    EXPECT_EQ(doc().box(1).editRect, (Rect{20, 20, 100, 40}));

    windowDrag(at(control(1), QPoint(5, 5)), at(control(1), QPoint(35, 45)));
    EXPECT_EQ(doc().box(1).editRect, (Rect{50, 60, 100, 40}));

    windowDrag(at(handle(1, HandleBottomRight), QPoint(2, 2)), at(handle(1, HandleBottomRight), QPoint(22, 12)));
    EXPECT_EQ(doc().box(1).editRect, (Rect{50, 60, 120, 50}));
    EXPECT_EQ(selection(), std::vector<int>{1});
}

TEST_F(MouseTest, NothingIsDrawnSelectedOrMovedInEditMode)
{
    const int index = doc().addBox(BoxType::Label, 40, 40, 60, 30);
    chooseType("标签");
    window->switchMode(AppMode::EditMode);
    doc().setTitle(false);
    const std::vector<int> selectedBefore = selection();
    QSignalSpy dialog(&mouse(), &MouseController::boxDoubleClicked);

    band(QPoint(10, 10), QPoint(200, 200));
    EXPECT_FALSE(mouse().bandActive());
    EXPECT_EQ(doc().liveBoxCount(), 1);
    drag(control(index), QPoint(5, 5), QPoint(50, 50));
    QTest::mouseDClick(control(index), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(doc().box(index).editRect, (Rect{40, 40, 60, 30}));
    EXPECT_EQ(selection(), selectedBefore);
    EXPECT_FALSE(doc().modified());
    EXPECT_EQ(dialog.count(), 0);

    window->switchMode(AppMode::DesignMode);
    // In design mode the double click opens the label's modal property dialog.
    QString opened;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&opened] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            opened = modal->windowTitle();
            modal->close();
        }
    });
    closer.start(10);
    QTest::mouseDClick(control(index), Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(dialog.count(), 1);
    EXPECT_EQ(dialog.at(0).at(0).toInt(), index);
    EXPECT_EQ(opened, QStringLiteral("标签属性"));
    EXPECT_EQ(selection(), std::vector<int>{index});
}

} // namespace
} // namespace ordavel
