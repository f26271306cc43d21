#include "designer/mouse_controller.h"

#include "designer/board_review.h"
#include "designer/box_view.h"
#include "designer/paper_panel.h"
#include "designer/rubber_band.h"
#include "designer/ruler.h"
#include "designer/snap_guides.h"
#include "designer/toolbar_icons.h"
#include "designer/work_area.h"
#include "designer/workbench.h"
#include "model/document.h"
#include "model/snapping.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <utility>

namespace ordavel {

namespace {

struct TypeButton {
    const char* caption;
    BoxType type;
};

// Toolbar order; the date box (5) comes after the drop-down list (6).
constexpr TypeButton kTypeButtons[] = {
    {"编辑框", BoxType::EditBox},    {"标签", BoxType::Label},        {"图片框", BoxType::PicBox},
    {"外形框", BoxType::ShapeBox},   {"组合框", BoxType::ComboBox},   {"日期框", BoxType::DatePicker},
    {"颜色框", BoxType::ColorPicker}, {"条码框", BoxType::BarcodeBox},
};

constexpr int kCursorSize = 32;
constexpr int kCursorHotSpot = 5;

// A 32 x 32 cursor: a cross whose centre (5, 5) is the hot spot, and the type's
// toolbar picture below right of it.
QCursor drawingCursor(const char* caption)
{
    QPixmap picture(kCursorSize, kCursorSize);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    for (const auto& [color, width] : {std::pair{QColor(Qt::white), 3}, std::pair{QColor(Qt::black), 1}}) {
        painter.setPen(QPen(color, width));
        painter.drawLine(0, kCursorHotSpot, 2 * kCursorHotSpot, kCursorHotSpot);
        painter.drawLine(kCursorHotSpot, 0, kCursorHotSpot, 2 * kCursorHotSpot);
    }
    constexpr int kPictureSize = 20;
    toolbarIcon(QString::fromUtf8(caption))
        .paint(&painter, QRect(kCursorSize - kPictureSize, kCursorSize - kPictureSize, kPictureSize, kPictureSize));
    painter.end();
    return QCursor(picture, kCursorHotSpot, kCursorHotSpot);
}

bool isMouseEvent(QEvent::Type type)
{
    return type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease
        || type == QEvent::MouseButtonDblClick || type == QEvent::MouseMove;
}

bool shiftHeld(const QMouseEvent* event) { return event->modifiers().testFlag(Qt::ShiftModifier); }

// Whether `at` (in `widget`'s px) lies on a visible child that takes the mouse:
// the event then came up from that child, not from the widget itself.
bool overChild(const QWidget* widget, const QPoint& at)
{
    for (const QObject* object : widget->children()) {
        const auto* child = qobject_cast<const QWidget*>(object);
        if (child && !child->isHidden() && !child->testAttribute(Qt::WA_TransparentForMouseEvents)
            && !child->property(kPassesMouseToPanel).toBool() && child->geometry().contains(at))
            return true;
    }
    return false;
}

} // namespace

int handleHitCode(int handle)
{
    switch (handle) {
    case HandleTopLeft: return HitTopLeft;
    case HandleMiddleLeft: return HitLeft;
    case HandleBottomLeft: return HitBottomLeft;
    case HandleTopMiddle: return HitTop;
    case HandleBottomMiddle: return HitBottom;
    case HandleTopRight: return HitTopRight;
    case HandleMiddleRight: return HitRight;
    case HandleBottomRight: return HitBottomRight;
    default: return HitCaption;
    }
}

Rect draggedRect(const Rect& start, int hitCode, int dx, int dy)
{
    if (hitCode == HitCaption)
        return Rect{start.left + dx, start.top + dy, start.width, start.height};
    const bool left = hitCode == HitLeft || hitCode == HitTopLeft || hitCode == HitBottomLeft;
    const bool right = hitCode == HitRight || hitCode == HitTopRight || hitCode == HitBottomRight;
    const bool top = hitCode == HitTop || hitCode == HitTopLeft || hitCode == HitTopRight;
    const bool bottom = hitCode == HitBottom || hitCode == HitBottomLeft || hitCode == HitBottomRight;
    int l = start.left, t = start.top, r = start.right(), b = start.bottom();
    if (left)
        l = std::min(l + dx, r - 1);
    if (right)
        r = std::max(r + dx, l + 1);
    if (top)
        t = std::min(t + dy, b - 1);
    if (bottom)
        b = std::max(b + dy, t + 1);
    return Rect{l, t, r - l, b - t};
}

MouseController::MouseController(Document& document, WorkArea& area)
    : QObject(&area), m_doc(document), m_area(area), m_workbench(area.workbench()),
      m_band(std::make_unique<RubberBand>(area.workbench(), &area.zoom()))
{
    m_workbench->installEventFilter(this);
    m_area.paperPanel()->installEventFilter(this);
    m_area.installEventFilter(this);
    connect(&m_area, &WorkArea::boxViewCreated, this, &MouseController::watchView);
    for (int index = 1; index <= m_doc.slotCount(); ++index)
        if (BoxView* view = m_area.boxView(index))
            watchView(view);
    m_doc.addObserver(this);
}

MouseController::~MouseController() { m_doc.removeObserver(this); }

int MouseController::draggedBox() const { return m_drag ? m_drag->index : 0; }

bool MouseController::designMode() const { return m_doc.appMode() == AppMode::DesignMode; }

bool MouseController::reviewing() const
{
    return designMode() && m_pendingBoxType == -1 && m_review && m_review->present();
}

int MouseController::boxAt(const QPoint& at, int except) const
{
    int best = 0;
    long long bestArea = 0;
    for (int index = 1; index <= m_doc.slotCount(); ++index) {
        const Box& box = m_doc.box(index);
        const Rect& r = box.editRect;
        if (index == except || !box.inUse || !box.visible || at.x() < r.left || at.x() >= r.right() || at.y() < r.top
            || at.y() >= r.bottom())
            continue;
        const long long area = static_cast<long long>(r.width) * r.height;
        if (best == 0 || area < bestArea) {
            best = index;
            bestArea = area;
        }
    }
    return best;
}

QPoint MouseController::toBoard(const QPointF& view) const
{
    const BoardZoom& zoom = m_area.zoom();
    return QPoint(zoom.toBoard(view.x()), zoom.toBoard(view.y()));
}

QPoint MouseController::onWorkbench(const QPointF& global) const
{
    return toBoard(m_workbench->mapFromGlobal(global));
}

void MouseController::watchView(BoxView* view)
{
    connect(view, &BoxView::controlMouse, this, &MouseController::controlMouse);
    connect(view, &BoxView::handleMouse, this, &MouseController::handleMouse);
}

bool MouseController::chooseBoxType(const QString& caption)
{
    for (const TypeButton& button : kTypeButtons) {
        if (caption != QString::fromUtf8(button.caption))
            continue;
        m_pendingBoxType = boxTypeCode(button.type);
        m_workbench->setCursor(drawingCursor(button.caption));
        return true;
    }
    return false;
}

void MouseController::cancelDrawing()
{
    m_pendingBoxType = -1;
    m_workbench->unsetCursor();
}

// --- events ---

bool MouseController::eventFilter(QObject* watched, QEvent* event)
{
    if (!isMouseEvent(event->type()))
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (watched == m_workbench)
        return workbenchMouse(mouse);
    if (watched == m_area.paperPanel())
        return paperMouse(mouse);
    if (watched == &m_area)
        return backgroundMouse(mouse);
    return false;
}

bool MouseController::workbenchMouse(QMouseEvent* event)
{
    // While the mouse is grabbed every event arrives here, wherever the pointer is.
    switch (event->type()) {
    case QEvent::MouseMove:
        if (!dragTrack(event->globalPosition(), event->modifiers()) && m_bandActive && designMode())
            bandTrack(onWorkbench(event->globalPosition()));
        return false; // the workbench still shows the mouse position
    case QEvent::MouseButtonRelease:
        if (event->button() != Qt::LeftButton)
            return false;
        if (dragEnd(event->globalPosition(), event->modifiers()))
            return true;
        if (m_bandActive && designMode()) {
            // Ctrl+drag along a printed line of the scan: an underline box, no selection.
            if (event->modifiers().testFlag(Qt::ControlModifier) && reviewing()) {
                const QPoint from(m_bandStartX, m_bandStartY);
                const QPoint to = onWorkbench(event->globalPosition());
                if (from != to && m_review->addUnderlineAlong(from, to) != 0) {
                    m_workbench->releaseMouse();
                    m_band->finish();
                    m_bandActive = false;
                    m_bandStartX = 0;
                    m_bandStartY = 0;
                    return true;
                }
            }
            bandEnd(shiftHeld(event));
            return true;
        }
        return false;
    default: break;
    }
    // Presses and double clicks count only on the bare board, not when a box
    // control or handle passed them up.
    const QPoint at = event->position().toPoint();
    if (m_drag || overChild(m_workbench, at))
        return false;
    if (event->type() == QEvent::MouseButtonPress && designMode()) {
        const QPoint board = toBoard(event->position());
        if (event->button() == Qt::LeftButton) {
            bandStart(board, shiftHeld(event));
            return true;
        }
        if (event->button() == Qt::RightButton) {
            if (m_pendingBoxType != -1) {
                cancelDrawing();
            } else {
                m_doc.clearSelection();
                m_menuPoint = board;
                emit pageMenuRequested(board);
            }
            return true;
        }
    }
    if (event->type() == QEvent::MouseButtonDblClick && event->button() == Qt::LeftButton) {
        if (m_pendingBoxType != -1) {
            cancelDrawing();
        } else if (reviewing() && m_review->addCellAt(toBoard(event->position())) != 0) {
            // A ruled cell of the scan: its box, in place of the page setup.
        } else {
            m_doc.clearSelection();
            emit pageSetupRequested();
        }
        return true;
    }
    return false;
}

bool MouseController::paperMouse(QMouseEvent* event)
{
    if (event->type() != QEvent::MouseButtonPress || !designMode()
        || overChild(m_area.paperPanel(), event->position().toPoint()))
        return false;
    if (event->button() == Qt::LeftButton) {
        m_area.focusHolder()->setFocus(Qt::MouseFocusReason);
        return true;
    }
    if (event->button() == Qt::RightButton) {
        const int current = m_doc.currentBoxIndex();
        if (current >= 1 && current <= m_doc.slotCount())
            m_doc.deselect(current);
        return true;
    }
    return false;
}

bool MouseController::backgroundMouse(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || overChild(&m_area, event->position().toPoint()))
        return false;
    if (event->type() == QEvent::MouseButtonPress && designMode()) {
        m_doc.clearSelection();
        m_area.focusHolder()->setFocus(Qt::MouseFocusReason);
        return true;
    }
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (m_pendingBoxType != -1) {
            cancelDrawing();
        } else {
            m_doc.clearSelection();
            emit openRequested();
        }
        return true;
    }
    return false;
}

void MouseController::controlMouse(int index, QMouseEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseMove: dragTrack(event->globalPosition(), event->modifiers()); break;
    case QEvent::MouseButtonRelease:
        if (event->button() == Qt::LeftButton)
            dragEnd(event->globalPosition(), event->modifiers());
        break;
    case QEvent::MouseButtonPress:
        if (event->button() == Qt::LeftButton && designMode() && !m_drag)
            boxClick(index, shiftHeld(event), event->globalPosition());
        break;
    case QEvent::MouseButtonDblClick:
        if (event->button() == Qt::LeftButton && reviewDoubleClick(index, event))
            break;
        if (event->button() == Qt::LeftButton && designMode() && !m_drag)
            emit boxDoubleClicked(index);
        break;
    default: break;
    }
}

bool MouseController::reviewDoubleClick(int index, QMouseEvent* event)
{
    const bool shift = event->modifiers().testFlag(Qt::ShiftModifier);
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    if (shift == ctrl || !reviewing() || index < 1 || index > m_doc.slotCount() || !m_doc.box(index).inUse)
        return false;
    // The press before it may have begun moving the box; that ends where it began.
    if (m_drag)
        dragEnd(event->globalPosition(), event->modifiers());
    if (shift) {
        m_review->nameFromCaption(index);
        return true;
    }
    m_review->split(index, onWorkbench(event->globalPosition()));
    return true;
}

void MouseController::handleMouse(int index, int which, QMouseEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseMove: dragTrack(event->globalPosition(), event->modifiers()); break;
    case QEvent::MouseButtonRelease:
        if (event->button() == Qt::LeftButton)
            dragEnd(event->globalPosition(), event->modifiers());
        break;
    case QEvent::MouseButtonPress:
        if (event->button() == Qt::LeftButton && !m_drag)
            handlePress(index, which, event->globalPosition());
        break;
    default: break;
    }
}

// --- rubber band ---

void MouseController::bandStart(const QPoint& at, bool shift)
{
    if (!shift)
        m_doc.clearSelection();
    m_area.focusHolder()->setFocus(Qt::MouseFocusReason);
    m_bandActive = true;
    m_bandStartX = at.x();
    m_bandStartY = at.y();
    m_band->start(at.x(), at.y());
    m_workbench->grabMouse();
}

void MouseController::bandTrack(const QPoint& at)
{
    m_band->track(m_bandStartX, m_bandStartY, at.x(), at.y());
}

void MouseController::bandEnd(bool shift)
{
    m_workbench->releaseMouse();
    const Rect band = m_band->rect();
    const bool empty = band.width <= 0 || band.height <= 0;
    if (m_pendingBoxType == -1) {
        if (!empty) {
            for (int index : m_doc.boxesTouching(band)) {
                if (shift && m_doc.box(index).handlesVisible)
                    m_doc.deselect(index);
                else
                    m_doc.select(index); // leaves a selected box as it is
            }
            m_doc.rebuildSelection();
        }
    } else {
        const BoxType type = boxTypeFromCode(m_pendingBoxType);
        if (empty)
            m_doc.addBox(type, m_bandStartX, m_bandStartY);
        else
            m_doc.addBox(type, band.left, band.top, band.width, band.height);
        m_workbench->unsetCursor();
    }
    m_band->finish();
    m_pendingBoxType = -1;
    m_bandActive = false;
    m_bandStartX = 0;
    m_bandStartY = 0;
}

// --- box clicks, moving and sizing ---

void MouseController::boxClick(int index, bool shift, const QPointF& global)
{
    if (index < 1 || index > m_doc.slotCount() || !m_doc.box(index).inUse)
        return;
    if (shift) {
        m_doc.toggleSelection(index);
        return;
    }
    m_doc.clearSelection();
    m_doc.setCurrentBoxIndex(index);
    dragNow(index, HitCaption, global);
}

void MouseController::handlePress(int index, int which, const QPointF& global)
{
    if (index < 1 || index > m_doc.slotCount() || !m_doc.box(index).inUse)
        return;
    m_doc.setCurrentBoxIndex(index);
    if (m_doc.selection().size() > 1) {
        m_doc.clearSelection();
        m_doc.select(index);
    }
    dragNow(index, handleHitCode(which), global);
}

void MouseController::dragNow(int index, int hitCode, const QPointF& global)
{
    // The box leaves the Selection while it is deselected, so that the select
    // after the release appends it once, not a second time.
    if (m_doc.box(index).handlesVisible)
        m_doc.toggleSelection(index);
    else
        m_doc.beginDrag(index);
    m_drag = Drag{index, hitCode, onWorkbench(global), m_doc.box(index).editRect};
    m_area.setDraggedBox(index);
    // The handle that was pressed is hidden now; the workbench takes the rest.
    m_workbench->grabMouse();
}

bool MouseController::dragTrack(const QPointF& global, Qt::KeyboardModifiers modifiers)
{
    if (!m_drag)
        return false;
    if (!m_doc.box(m_drag->index).inUse) {
        dropInteractions();
        return false;
    }
    const QPoint moved = onWorkbench(global) - m_drag->startBoard;
    const Rect rect = snapped(draggedRect(m_drag->startRect, m_drag->hitCode, moved.x(), moved.y()), modifiers);
    if (!(rect == m_doc.box(m_drag->index).editRect))
        m_doc.setEditRect(m_drag->index, rect);
    return true;
}

Rect MouseController::snapped(const Rect& proposed, Qt::KeyboardModifiers modifiers)
{
    SnapGuides* guides = m_area.snapGuides();
    const double gridMm = m_area.snapGridMm();
    if (modifiers.testFlag(Qt::AltModifier) || (gridMm <= 0.0 && !m_area.snapToBoxes())) {
        guides->showGuides(std::nullopt, std::nullopt);
        return proposed;
    }
    const int hit = m_drag->hitCode;
    MovingEdges edges;
    if (hit == HitCaption) {
        edges = MovingEdges::whole();
    } else {
        edges.left = hit == HitLeft || hit == HitTopLeft || hit == HitBottomLeft;
        edges.right = hit == HitRight || hit == HitTopRight || hit == HitBottomRight;
        edges.top = hit == HitTop || hit == HitTopLeft || hit == HitTopRight;
        edges.bottom = hit == HitBottom || hit == HitBottomLeft || hit == HitBottomRight;
    }
    SnapOptions options;
    const UnitFactors& factors = m_doc.factors();
    options.gridX = gridMm > 0.0 ? gridStep(gridMm, factors.pagePxPerCmX) : 0.0;
    options.gridY = gridMm > 0.0 ? gridStep(gridMm, factors.pagePxPerCmY) : 0.0;
    options.toBoxes = m_area.snapToBoxes();
    // The reach is a few screen pixels, whatever the zoom.
    options.threshold = 5.0 / m_area.zoom().factor();
    std::vector<Rect> others;
    if (options.toBoxes)
        for (int index = 1; index <= m_doc.slotCount(); ++index) {
            const Box& box = m_doc.box(index);
            if (index != m_drag->index && box.inUse && box.visible)
                others.push_back(box.editRect);
        }
    const SnapResult result = snapRect(proposed, edges, others, options);
    guides->showGuides(result.guideX, result.guideY);
    return result.rect;
}

bool MouseController::dragEnd(const QPointF& global, Qt::KeyboardModifiers modifiers)
{
    if (!dragTrack(global, modifiers))
        return false;
    m_area.snapGuides()->showGuides(std::nullopt, std::nullopt);
    const Drag drag = *m_drag;
    m_drag.reset();
    m_area.setDraggedBox(0);
    m_workbench->releaseMouse();
    // A box moved with Ctrl onto a neighbour of its row or column merges with
    // it from where it started; otherwise it stays where it was dropped.
    if (drag.hitCode == HitCaption && modifiers.testFlag(Qt::ControlModifier) && reviewing()
        && !(m_doc.box(drag.index).editRect == drag.startRect)) {
        if (const int other = boxAt(onWorkbench(global), drag.index); other != 0) {
            const Rect dropped = m_doc.box(drag.index).editRect;
            m_doc.setEditRect(drag.index, drag.startRect);
            if (m_review->merge(drag.index, other))
                return true;
            m_doc.setEditRect(drag.index, dropped);
        }
    }
    m_doc.endDrag(drag.index);
    return true;
}

void MouseController::dropInteractions()
{
    if (m_drag || m_bandActive)
        m_workbench->releaseMouse();
    m_area.snapGuides()->showGuides(std::nullopt, std::nullopt);
    if (m_drag)
        m_area.setDraggedBox(0);
    m_drag.reset();
    if (m_bandActive)
        m_band->finish();
    m_bandActive = false;
    m_bandStartX = 0;
    m_bandStartY = 0;
}

// --- document ---

void MouseController::documentReset()
{
    dropInteractions();
    cancelDrawing();
}

void MouseController::modeChanged(AppMode mode)
{
    // The band and the loops belong to design mode; a switch ends them unfinished.
    if (mode != AppMode::DesignMode)
        dropInteractions();
}

} // namespace ordavel
