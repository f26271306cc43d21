#include "window_fixture.h"

#include "designer/box_view.h"
#include "designer/control_toolbar.h"
#include "designer/mouse_controller.h"
#include "designer/paper_panel.h"
#include "designer/rubber_band.h"
#include "designer/ruler.h"
#include "designer/snap_guides.h"
#include "designer/work_area.h"
#include "designer/workbench.h"

#include <QAction>
#include <QComboBox>
#include <QGraphicsEffect>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

namespace ordavel {
namespace {

class PlacementTest : public WindowTest {
protected:
    WorkArea& area() { return *window->workArea(); }
    QWidget* bench() { return area().workbench(); }
    QWidget* control(int index) { return area().boxView(index)->control(); }
    QWidget* handle(int index, int which) { return area().boxView(index)->handle(which); }
    // Board px -> view px of the workbench at the current zoom.
    int v(int board) { return area().zoom().toView(board); }
    QPoint v(QPoint board) { return QPoint(v(board.x()), v(board.y())); }

    // Press on `from` at `at` (its px), then move and release on the workbench
    // `by` view px further on.
    void drag(QWidget* from, QPoint at, QPoint by, Qt::KeyboardModifiers mods = {})
    {
        QTest::mousePress(from, Qt::LeftButton, mods, at);
        const QPoint to = bench()->mapFromGlobal(from->mapToGlobal(at)) + by;
        QTest::mouseMove(bench(), to);
        QTest::mouseRelease(bench(), Qt::LeftButton, mods, to);
    }
    void chooseType(const char* caption)
    {
        for (QAction* action : window->controlToolBar()->actions())
            if (action->text() == QString::fromUtf8(caption))
                action->trigger();
    }
    // The pointer resting over `target` at `at`, without a button: delivered to
    // that widget, as the platform does under the pointer.
    void hover(QWidget* target, QPoint at)
    {
        QMouseEvent event(QEvent::MouseMove, QPointF(at), target->mapToGlobal(QPointF(at)), Qt::NoButton,
                          Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }
    void turnWheel(QWidget* target, int delta, Qt::KeyboardModifiers mods)
    {
        QWheelEvent event(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    }
};

// What the mouse does at any zoom lands on the same board pixels as at 100 %.
TEST_F(PlacementTest, DragSizeBandAndDrawingGiveTheSameEditRectAtEveryZoom)
{
    for (int percent : {50, 100, 200, 400}) {
        SCOPED_TRACE(percent);
        window->resetDocument();
        area().setZoom(percent);
        ASSERT_EQ(area().zoomPercent(), percent);
        area().resetScrolling(); // the board's top left in sight
        const int box = doc().addBox(BoxType::Label, 40, 60, 100, 28);
        const int far = doc().addBox(BoxType::Label, 600, 900, 50, 20);
        EXPECT_EQ(control(box)->geometry(), QRect(v(40), v(60), v(140) - v(40), v(88) - v(60)));
        // The board keeps its pixel size; only the view of it grows.
        EXPECT_EQ(doc().page().boardWidth, 794);
        EXPECT_EQ(bench()->size(), QSize(v(794), v(1096)));

        // A move by 30, 20 board px: at 50 % that is 15, 10 on the screen.
        drag(control(box), QPoint(4, 4), v(QPoint(30, 20)));
        EXPECT_EQ(doc().box(box).editRect, (Rect{70, 80, 100, 28}));
        EXPECT_EQ(doc().box(box).printRect.left, doc().factors().boxCmX(70));
        // A size by 10, 6 board px with the bottom-right handle, which stays 5 px on screen.
        EXPECT_EQ(handle(box, HandleBottomRight)->size(), QSize(5, 5));
        EXPECT_EQ(handle(box, HandleBottomRight)->pos(), QPoint(v(170), v(108)));
        drag(handle(box, HandleBottomRight), QPoint(2, 2), v(QPoint(10, 6)));
        EXPECT_EQ(doc().box(box).editRect, (Rect{70, 80, 110, 34}));

        // A band from board (60, 70) to (90, 90) overlaps the box only.
        doc().clearSelection();
        QTest::mousePress(bench(), Qt::LeftButton, {}, v(QPoint(60, 70)));
        QTest::mouseMove(bench(), v(QPoint(90, 90)));
        EXPECT_EQ(window->mouseController()->rubberBand().rect(), (Rect{60, 70, 30, 20}));
        QTest::mouseRelease(bench(), Qt::LeftButton, {}, v(QPoint(90, 90)));
        EXPECT_EQ(doc().selection(), std::vector<int>{box});

        // Drawing a box with the band: the same board rectangle.
        chooseType("标签");
        QTest::mousePress(bench(), Qt::LeftButton, {}, v(QPoint(300, 400)));
        QTest::mouseMove(bench(), v(QPoint(380, 440)));
        QTest::mouseRelease(bench(), Qt::LeftButton, {}, v(QPoint(380, 440)));
        ASSERT_EQ(doc().liveBoxCount(), 3);
        EXPECT_EQ(doc().box(3).editRect, (Rect{300, 400, 80, 40}));
        EXPECT_EQ(doc().box(far).editRect, (Rect{600, 900, 50, 20}));

        // The mouse position reads in board px (even ones: at 50 % a view pixel is two).
        hover(bench(), v(QPoint(120, 46)));
        EXPECT_EQ(doc().statusText(PanelMouse), "鼠标位置:X=120,Y=46");
    }
}

TEST_F(PlacementTest, ZoomFollowsWheelKeysAndTheZoomBoxWithinItsLimits)
{
    doc().addBox(BoxType::EditBox, 40, 60, 100, 28);
    turnWheel(area().focusHolder(), 120, Qt::ControlModifier);
    EXPECT_EQ(area().zoomPercent(), 125);
    turnWheel(bench(), -120, Qt::ControlModifier);
    EXPECT_EQ(area().zoomPercent(), 100);
    // Over a box in edit mode too: the text box does not take a Ctrl wheel.
    window->switchMode(AppMode::EditMode);
    turnWheel(control(1), -120, Qt::ControlModifier);
    EXPECT_EQ(area().zoomPercent(), 75);
    // Without Ctrl the wheel still scrolls, and the zoom stays.
    turnWheel(bench(), -120, Qt::NoModifier);
    EXPECT_EQ(area().zoomPercent(), 75);

    window->activateWindow();
    QTest::keyClick(window.get(), Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_EQ(area().zoomPercent(), 100);
    QTest::keyClick(window.get(), Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(area().zoomPercent(), 75);
    QTest::keyClick(window.get(), Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(area().zoomPercent(), 100);

    QComboBox* box = area().zoomBox();
    EXPECT_EQ(box->currentText(), QStringLiteral("100%"));
    box->lineEdit()->setText(QStringLiteral("250%"));
    emit box->lineEdit()->editingFinished();
    EXPECT_EQ(area().zoomPercent(), 250);
    box->lineEdit()->setText(QStringLiteral("5000"));
    emit box->lineEdit()->editingFinished();
    EXPECT_EQ(area().zoomPercent(), 800);
    EXPECT_EQ(box->currentText(), QStringLiteral("800%"));
    box->lineEdit()->setText(QStringLiteral("abc"));
    emit box->lineEdit()->editingFinished();
    EXPECT_EQ(area().zoomPercent(), 800);
    EXPECT_EQ(box->currentText(), QStringLiteral("800%"));
    area().zoomIn();
    EXPECT_EQ(area().zoomPercent(), 800);
    area().setZoom(10);
    EXPECT_EQ(area().zoomPercent(), 25);
    EXPECT_EQ(box->currentText(), QStringLiteral("25%"));

    // The preview is drawn on the zoomed paper as well; the saved sizes stay.
    window->switchMode(AppMode::PreviewMode);
    area().setZoom(200);
    EXPECT_EQ(area().paperPanel()->size(), QSize(794 * 2, 1096 * 2));
    EXPECT_EQ(doc().page().boardWidth, 794);
    EXPECT_EQ(doc().box(1).editRect, (Rect{40, 60, 100, 28}));
}

TEST_F(PlacementTest, ZoomKeepsTheBoardPointUnderTheAnchor)
{
    area().setZoom(400);
    ASSERT_TRUE(area().hBar()->isVisible());
    // The board point under work-area (300, 200) stays there when zooming on.
    const QPoint anchor(300, 200);
    const QPointF before = QPointF(anchor - area().boardOrigin()) / 4.0;
    area().setZoom(800, anchor);
    const QPointF after = QPointF(anchor - area().boardOrigin()) / 8.0;
    EXPECT_NEAR(after.x(), before.x(), 0.25);
    EXPECT_NEAR(after.y(), before.y(), 0.25);
}

TEST_F(PlacementTest, DraggingSnapsToTheGridAndToOtherBoxesWithAGuideAndAltPlacesFreely)
{
    const int fixed = doc().addBox(BoxType::Label, 200, 100, 60, 30);
    const int moved = doc().addBox(BoxType::Label, 20, 300, 40, 20);
    area().setSnapping(1.0, true); // a grid of 1 mm; the other box is far
    EXPECT_EQ(area().snapBox()->currentText(), QStringLiteral("网格1毫米"));

    // To left 30, top 290 by hand: the 1 mm grid puts it at 30 (30.2) and 291 (291.0).
    QTest::mousePress(control(moved), Qt::LeftButton, {}, QPoint(4, 4));
    QTest::mouseMove(bench(), QPoint(34, 294));
    EXPECT_EQ(doc().box(moved).editRect, (Rect{30, 291, 40, 20}));
    EXPECT_EQ(area().snapGuides()->guideX(), 30);
    EXPECT_TRUE(area().snapGuides()->isVisible());
    // While the box is dragged the mouse is still read on the board.
    EXPECT_EQ(doc().statusText(PanelMouse), "鼠标位置:X=34,Y=294");
    EXPECT_EQ(area().topRuler()->marker(), 34);
    // The read-out follows the box although it is deselected while it moves.
    EXPECT_TRUE(area().placementStatus()->text().endsWith(QStringLiteral("控件:0.79,7.70 1.06x0.53")))
        << area().placementStatus()->text().toStdString();
    QTest::mouseRelease(bench(), Qt::LeftButton, {}, QPoint(34, 294));
    EXPECT_EQ(doc().box(moved).editRect, (Rect{30, 291, 40, 20}));
    EXPECT_FALSE(area().snapGuides()->isVisible());

    // To another box: left 3 px right of the fixed box's right edge (260).
    area().setSnapping(0.0, true);
    doc().setEditRect(moved, Rect{263, 300, 40, 20});
    doc().refresh(moved);
    QTest::mousePress(control(moved), Qt::LeftButton, {}, QPoint(4, 4));
    QTest::mouseMove(bench(), QPoint(267, 304));
    EXPECT_EQ(doc().box(moved).editRect.left, 260);
    EXPECT_EQ(area().snapGuides()->guideX(), 260);
    EXPECT_FALSE(area().snapGuides()->guideY().has_value());
    QTest::mouseRelease(bench(), Qt::LeftButton, {}, QPoint(267, 304));
    EXPECT_EQ(doc().box(moved).editRect, (Rect{260, 300, 40, 20}));
    EXPECT_EQ(doc().box(moved).printRect.left, doc().factors().boxCmX(260));

    // Sizing pulls only the moving edge: the bottom to the fixed box's bottom (130).
    doc().setEditRect(moved, Rect{300, 100, 40, 20});
    doc().refresh(moved);
    drag(handle(moved, HandleBottomMiddle), QPoint(2, 2), QPoint(0, 12)); // bottom 120 -> 132
    EXPECT_EQ(doc().box(moved).editRect, (Rect{300, 100, 40, 30}));

    // Alt held: where the mouse puts it.
    doc().setEditRect(moved, Rect{263, 300, 40, 20});
    doc().refresh(moved);
    drag(control(moved), QPoint(4, 4), QPoint(0, 0), Qt::AltModifier);
    EXPECT_EQ(doc().box(moved).editRect, (Rect{263, 300, 40, 20}));
    EXPECT_FALSE(area().snapGuides()->isVisible());
    // Snapping off: likewise.
    area().setSnapping(0.0, false);
    drag(control(moved), QPoint(4, 4), QPoint(-1, 0));
    EXPECT_EQ(doc().box(moved).editRect, (Rect{262, 300, 40, 20}));
    EXPECT_EQ(doc().box(fixed).editRect, (Rect{200, 100, 60, 30}));

    // At 400 % the reach is 5 screen px, not 5 board px.
    area().setSnapping(0.0, true);
    area().setZoom(400);
    doc().setEditRect(moved, Rect{264, 300, 40, 20});
    doc().refresh(moved);
    drag(control(moved), QPoint(4, 4), QPoint(0, 0));
    EXPECT_EQ(doc().box(moved).editRect.left, 264);
    drag(control(moved), QPoint(4, 4), QPoint(-12, 0)); // to 261: 1 px away
    EXPECT_EQ(doc().box(moved).editRect.left, 260);
}

TEST_F(PlacementTest, PlainAndShiftArrowsMoveBySinglePixelsAndTensAtAnyZoom)
{
    const int a = doc().addBox(BoxType::Label, 100, 50);
    const int b = doc().addBox(BoxType::EditBox, 300, 50);
    doc().clearSelection();
    doc().select(a);
    doc().select(b);
    area().setZoom(400);
    QWidget* keys = area().focusHolder();
    QTest::keyClick(keys, Qt::Key_Right);
    QTest::keyClick(keys, Qt::Key_Down);
    EXPECT_EQ(doc().box(a).editRect, (Rect{101, 51, 80, 28}));
    EXPECT_EQ(doc().box(b).editRect, (Rect{301, 51, 80, 28}));
    EXPECT_EQ(control(a)->pos(), QPoint(404, 204));
    EXPECT_EQ(doc().box(a).printRect.left, doc().factors().boxCmX(101));
    QTest::keyClick(keys, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(keys, Qt::Key_Up, Qt::ShiftModifier);
    QTest::keyClick(keys, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(doc().box(a).editRect, (Rect{91, 31, 80, 28}));
    EXPECT_EQ(handle(a, HandleTopLeft)->pos(), QPoint(364 - 5, 124 - 5));
    // The existing keys stay: Ctrl moves by 5, Ctrl+Shift sizes.
    QTest::keyClick(keys, Qt::Key_Right, Qt::ControlModifier);
    QTest::keyClick(keys, Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(doc().box(a).editRect, (Rect{96, 31, 81, 28}));
    EXPECT_EQ(doc().selection(), (std::vector<int>{a, b}));
}

TEST_F(PlacementTest, RulersFollowZoomScrollingAndTheMouse)
{
    Ruler* top = area().topRuler();
    Ruler* left = area().leftRuler();
    const double pxPerCm = doc().factors().pagePxPerCmX;
    EXPECT_EQ(top->y(), 0);
    EXPECT_EQ(left->x(), 0);
    EXPECT_EQ(top->height(), kRulerThickness);
    // Board x 0 lies under the ruler's origin, one centimetre 37.8 px further.
    EXPECT_EQ(top->mapTo(&area(), QPoint(top->origin(), 0)).x(), area().boardOrigin().x());
    EXPECT_NEAR(top->positionOf(1.0) - top->origin(), pxPerCm, 1e-9);
    area().setZoom(200);
    EXPECT_NEAR(top->positionOf(1.0) - top->origin(), 2 * pxPerCm, 1e-9);
    EXPECT_EQ(top->mapTo(&area(), QPoint(top->origin(), 0)).x(), area().boardOrigin().x());
    area().resetScrolling();
    hover(bench(), QPoint(2 * 120 + 1, 2 * 45));
    EXPECT_EQ(top->marker(), 120);
    EXPECT_EQ(left->marker(), 45);
    // Scrolling moves the rulers' origin with the paper.
    ASSERT_TRUE(area().vBar()->isVisible());
    area().vBar()->setValue(50);
    const int before = left->origin();
    area().vBar()->setValue(150);
    EXPECT_EQ(left->origin(), before - 100);
    EXPECT_EQ(left->mapTo(&area(), QPoint(0, left->origin())).y(), area().boardOrigin().y());

    // The board scrolled up under the top ruler: over the ruler the mouse is off the board.
    ASSERT_LT(area().boardOrigin().y(), kRulerThickness);
    QWidget* under = area().childAt(300, 5);
    ASSERT_EQ(under, top);
    hover(top, QPoint(300 - top->x(), 5)); // the ruler lets it through to the panel
    EXPECT_FALSE(top->marker().has_value());
    EXPECT_EQ(doc().statusText(PanelMouse), "鼠标位置:出界");
}

TEST_F(PlacementTest, TheStatusBarGivesMouseAndBoxInCentimetres)
{
    QLabel* cm = area().placementStatus();
    EXPECT_TRUE(cm->isVisible());
    EXPECT_TRUE(area().zoomBox()->isVisible());
    hover(bench(), QPoint(100, 50));
    EXPECT_TRUE(cm->text().startsWith(QStringLiteral("厘米 鼠标:2.65,1.32 控件:无"))) << cm->text().toStdString();
    const int index = doc().addBox(BoxType::Label, 40, 60, 100, 28);
    EXPECT_TRUE(cm->text().endsWith(QStringLiteral("控件:1.06,1.59 2.65x0.74"))) << cm->text().toStdString();
    // Moved by the keys, the read-out follows.
    QTest::keyClick(area().focusHolder(), Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_TRUE(cm->text().endsWith(QStringLiteral("控件:1.32,1.59 2.65x0.74"))) << cm->text().toStdString();
    doc().clearSelection();
    EXPECT_TRUE(cm->text().endsWith(QStringLiteral("控件:无")));
    EXPECT_EQ(doc().box(index).editRect.left, 50);
}

TEST_F(PlacementTest, SeeThroughDrawsBoxesFadedInDesignModeOnly)
{
    const int index = doc().addBox(BoxType::EditBox, 40, 60, 100, 28);
    doc().setTitle(false);
    QAction* action = area().seeThroughAction();
    ASSERT_TRUE(window->controlToolBar()->actions().contains(action));
    EXPECT_EQ(action->text(), QStringLiteral("透明显示"));
    EXPECT_EQ(control(index)->graphicsEffect(), nullptr);
    action->trigger();
    EXPECT_TRUE(area().seeThrough());
    ASSERT_NE(control(index)->graphicsEffect(), nullptr);
    // A box made afterwards is see-through too.
    const int later = doc().addBox(BoxType::Label, 200, 60);
    EXPECT_NE(control(later)->graphicsEffect(), nullptr);
    window->switchMode(AppMode::EditMode);
    EXPECT_EQ(control(index)->graphicsEffect(), nullptr);
    window->switchMode(AppMode::DesignMode);
    EXPECT_NE(control(index)->graphicsEffect(), nullptr);
    action->trigger();
    EXPECT_EQ(control(index)->graphicsEffect(), nullptr);
    // The switch is a setting of the view: the template is unchanged.
    doc().deleteBox(later);
    doc().setTitle(false);
    action->trigger();
    action->trigger();
    EXPECT_FALSE(doc().modified());
}

} // namespace
} // namespace ordavel
