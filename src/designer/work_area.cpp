#include "designer/work_area.h"

#include "designer/box_view.h"
#include "designer/paper_panel.h"
#include "designer/ruler.h"
#include "designer/snap_guides.h"
#include "designer/workbench.h"
#include "designer/workbench_layout.h"
#include "model/document.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSpinBox>
#include <QShortcut>
#include <QToolBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

namespace ordavel {

namespace {

constexpr int kBarThickness = 18;

// `编辑框_滚动`: holds the keyboard focus in design mode so that no box does.
// It types nothing; its only reaction is the wheel, while the vertical bar shows.
class FocusHolder : public QLineEdit {
public:
    FocusHolder(WorkArea& area, QWidget* parent) : QLineEdit(parent), m_area(area)
    {
        setObjectName(QStringLiteral("编辑框_滚动"));
        setFrame(false);
        // Out of sight but not hidden: a hidden widget cannot hold the focus.
        setGeometry(-20, -20, 1, 1);
        setContextMenuPolicy(Qt::NoContextMenu);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override { event->ignore(); }
    void inputMethodEvent(QInputMethodEvent* event) override { event->ignore(); }
    void wheelEvent(QWheelEvent* event) override
    {
        if (event->modifiers().testFlag(Qt::ControlModifier))
            m_area.setZoom(event->angleDelta().y() > 0 ? nextZoomStep(m_area.zoomPercent())
                                                       : previousZoomStep(m_area.zoomPercent()));
        else
            m_area.applyWheel(event->angleDelta().y());
        event->accept();
    }

private:
    WorkArea& m_area;
};

constexpr double kSnapReachViewPx = 5.0;

struct SnapChoice {
    const char* caption;
    double gridMm;
    bool toBoxes;
};
constexpr SnapChoice kSnapChoices[] = {
    {"不吸附", 0.0, false},       {"吸附控件", 0.0, true},    {"网格0.5毫米", 0.5, true},
    {"网格1毫米", 1.0, true},     {"网格2毫米", 2.0, true},   {"网格5毫米", 5.0, true},
};
constexpr int kDefaultSnapChoice = 1;

QString centimetres(double cm) { return QString::number(cm, 'f', 2); }

void setBar(QScrollBar* bar, const ScrollBarPlacement& placement, int offset)
{
    if (!placement.visible) {
        bar->hide();
        return;
    }
    const QSignalBlocker block(bar);
    bar->setGeometry(placement.rect.left + offset, placement.rect.top + offset, placement.rect.width,
                     placement.rect.height);
    bar->setMaximum(placement.maximum);
    bar->setValue(0); // clamped to the range minimum
    bar->show();
}

} // namespace

WorkArea::WorkArea(Document& document, Prompter& prompter, QWidget* parent)
    : QWidget(parent), m_document(document), m_prompter(prompter)
{
    setObjectName(QStringLiteral("画板_背景"));
    setMouseTracking(true);
    setAutoFillBackground(false);

    m_paper = new PaperPanel(document, this);
    m_workbench = new Workbench(document, m_paper);
    m_focusHolder = new FocusHolder(*this, m_paper);
    m_backgroundCheck = new QCheckBox(QStringLiteral("显示背景图片"), m_paper);
    m_backgroundCheck->setObjectName(QStringLiteral("选择框_显示背景图"));
    // Opaque, so that its caption stays readable over the background picture.
    m_backgroundCheck->setStyleSheet(QStringLiteral(
        "QCheckBox { background: rgba(255, 255, 255, 235); border: 1px solid #a8b0bc; "
        "border-radius: 3px; padding: 2px 6px; }"));
    m_backgroundCheck->adjustSize();
    m_backgroundCheck->hide();
    connect(m_backgroundCheck, &QCheckBox::toggled, this, &WorkArea::showBackgroundInPreview);
    // On a template of several forms to a sheet: the cell the preview's first form goes into.
    m_startCellBox = new QSpinBox(m_paper);
    m_startCellBox->setObjectName(QStringLiteral("数字框_起始格"));
    m_startCellBox->setPrefix(QStringLiteral("从第 "));
    m_startCellBox->setSuffix(QStringLiteral(" 格开始"));
    m_startCellBox->setToolTip(QStringLiteral("整张纸上已用去的格子不再打印（先横后竖）"));
    m_startCellBox->setRange(1, 1);
    m_startCellBox->adjustSize();
    m_startCellBox->hide();
    connect(m_startCellBox, &QSpinBox::valueChanged, m_paper, &PaperPanel::setStartCell);

    m_hBar = new QScrollBar(Qt::Horizontal, this);
    m_hBar->setObjectName(QStringLiteral("横向滚动条1"));
    m_vBar = new QScrollBar(Qt::Vertical, this);
    m_vBar->setObjectName(QStringLiteral("纵向滚动条1"));
    for (QScrollBar* bar : {m_hBar, m_vBar}) {
        bar->setRange(1, 1);
        bar->setSingleStep(5);
        bar->setPageStep(10);
        bar->hide();
    }
    m_hBar->resize(100, kBarThickness);
    m_vBar->resize(kBarThickness, 100);
    connect(m_hBar, &QScrollBar::valueChanged, this, [this](int value) {
        m_paper->move(kRulerThickness + kPaperMargin - value, m_paper->y());
        update();
    });
    connect(m_vBar, &QScrollBar::valueChanged, this, [this](int value) {
        m_paper->move(m_paper->x(), kRulerThickness + kPaperMargin - value);
        update();
    });

    m_filler = new QLabel(this);
    m_filler->setObjectName(QStringLiteral("标签_填充块"));
    m_filler->setGeometry(0, 0, kBarThickness, kBarThickness);
    m_filler->setAutoFillBackground(true);
    m_filler->hide();

    // Wheels over the paper and the workbench, and those the box controls let
    // through to the workbench, scroll the page.
    for (QWidget* w : {static_cast<QWidget*>(m_paper), static_cast<QWidget*>(m_workbench)})
        w->installEventFilter(this);

    buildPlacementTools();
    document.addObserver(this);
    applyBoardSize();
}

void WorkArea::buildPlacementTools()
{
    m_workbench->setZoom(&m_zoom);
    m_paper->setZoom(&m_zoom);
    m_topRuler = new Ruler(Qt::Horizontal, m_zoom, this);
    m_leftRuler = new Ruler(Qt::Vertical, m_zoom, this);
    m_rulerCorner = new QWidget(this);
    m_rulerCorner->setObjectName(QStringLiteral("标尺_角"));
    m_rulerCorner->setAutoFillBackground(true);
    m_rulerCorner->setProperty(kPassesMouseToPanel, true);
    QPalette corner = m_rulerCorner->palette();
    corner.setColor(QPalette::Window, QColor(0xd8, 0xdb, 0xe0));
    m_rulerCorner->setPalette(corner);
    m_rulerCorner->setToolTip(QStringLiteral("标尺单位：厘米"));
    m_guides = new SnapGuides(m_zoom, m_workbench);
    connect(m_workbench, &Workbench::mouseMoved, this, [this](const QPoint& at) { showMouse(at); });

    m_zoomBox = new QComboBox(this);
    m_zoomBox->setObjectName(QStringLiteral("组合框_缩放"));
    m_zoomBox->setToolTip(QStringLiteral("缩放画板（Ctrl+滚轮，Ctrl+加号/减号，Ctrl+0 复原）"));
    m_zoomBox->setEditable(true);
    m_zoomBox->setInsertPolicy(QComboBox::NoInsert);
    m_zoomBox->setFocusPolicy(Qt::ClickFocus);
    for (int step : zoomSteps())
        m_zoomBox->addItem(QStringLiteral("%1%").arg(step), step);
    m_zoomBox->setCurrentIndex(m_zoomBox->findData(100));
    m_zoomBox->setMinimumContentsLength(5);
    auto takeTyped = [this] {
        QString text = m_zoomBox->currentText().trimmed();
        text.remove(QLatin1Char('%'));
        bool ok = false;
        const int percent = text.toInt(&ok);
        if (ok)
            setZoom(percent);
        m_zoomBox->setEditText(QStringLiteral("%1%").arg(m_zoom.percent()));
        if (m_document.appMode() == AppMode::DesignMode)
            m_focusHolder->setFocus(Qt::OtherFocusReason);
    };
    connect(m_zoomBox, &QComboBox::activated, this, takeTyped);
    connect(m_zoomBox->lineEdit(), &QLineEdit::editingFinished, this, takeTyped);

    m_placementStatus = new QLabel(this);
    m_placementStatus->setObjectName(QStringLiteral("标签_厘米位置"));
    m_placementStatus->setFrameShape(QFrame::Panel);
    m_placementStatus->setFrameShadow(QFrame::Sunken);
    m_placementStatus->setMinimumWidth(0);
    m_placementStatus->setToolTip(QStringLiteral("鼠标和当前控件在纸上的位置（厘米）"));

    m_snapBox = new QComboBox(this);
    m_snapBox->setObjectName(QStringLiteral("组合框_吸附"));
    m_snapBox->setToolTip(QStringLiteral("拖动或改变大小时吸附到网格和其他控件的边与中线；按住Alt自由放置"));
    m_snapBox->setFocusPolicy(Qt::NoFocus);
    for (const SnapChoice& choice : kSnapChoices)
        m_snapBox->addItem(QString::fromUtf8(choice.caption));
    m_snapBox->setCurrentIndex(kDefaultSnapChoice);
    m_snapGridMm = kSnapChoices[kDefaultSnapChoice].gridMm;
    m_snapToBoxes = kSnapChoices[kDefaultSnapChoice].toBoxes;
    connect(m_snapBox, &QComboBox::currentIndexChanged, this, [this](int at) {
        if (at >= 0 && at < int(std::size(kSnapChoices))) {
            m_snapGridMm = kSnapChoices[at].gridMm;
            m_snapToBoxes = kSnapChoices[at].toBoxes;
        }
    });

    m_seeThroughAction = new QAction(QStringLiteral("透明显示"), this);
    m_seeThroughAction->setObjectName(QStringLiteral("透明显示"));
    m_seeThroughAction->setCheckable(true);
    m_seeThroughAction->setToolTip(QStringLiteral("设计时控件透明显示，可看到下面的背景图"));
    connect(m_seeThroughAction, &QAction::toggled, this, &WorkArea::setSeeThrough);

    // Ctrl with plus or minus zooms in every mode, wherever the focus is in the window.
    const struct {
        QKeySequence keys;
        int direction;
    } shortcuts[] = {{QKeySequence(Qt::CTRL | Qt::Key_Plus), 1},
                     {QKeySequence(Qt::CTRL | Qt::Key_Equal), 1},
                     {QKeySequence(Qt::CTRL | Qt::Key_Minus), -1},
                     {QKeySequence(Qt::CTRL | Qt::Key_0), 0}};
    for (const auto& [keys, direction] : shortcuts) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, direction = direction] {
            if (direction > 0)
                zoomIn();
            else if (direction < 0)
                zoomOut();
            else
                setZoom(100);
        });
    }
    showPlacement();
}

void WorkArea::addPlacementTools(QToolBar* toolbar)
{
    toolbar->addSeparator();
    toolbar->addAction(m_seeThroughAction);
    toolbar->addWidget(m_snapBox);
}

QPoint WorkArea::boardOrigin() const { return m_paper->pos() + m_workbench->pos(); }

void WorkArea::setZoom(int percent, std::optional<QPoint> anchor)
{
    const QPoint at = anchor.value_or(QPoint(kRulerThickness + (width() - kRulerThickness) / 2,
                                             kRulerThickness + (height() - kRulerThickness) / 2));
    const double oldFactor = m_zoom.factor();
    const QPointF boardAt = QPointF(at - boardOrigin()) / oldFactor;
    if (!m_zoom.setPercent(percent))
        return;
    m_guides->showGuides(std::nullopt, std::nullopt);
    applyBoardSize();
    layOut();
    // Scroll so that the board point under the anchor stays under it.
    const QPointF wanted = QPointF(at) - boardAt * m_zoom.factor();
    if (m_hBar->isVisible())
        m_hBar->setValue(kRulerThickness + kPaperMargin - int(std::lround(wanted.x())));
    if (m_vBar->isVisible())
        m_vBar->setValue(kRulerThickness + kPaperMargin - int(std::lround(wanted.y())));
    if (!m_bulk)
        syncAllBoxes();
    updateRulers();
    const QString text = QStringLiteral("%1%").arg(m_zoom.percent());
    if (m_zoomBox->currentText() != text) {
        const QSignalBlocker block(m_zoomBox);
        const int item = m_zoomBox->findData(m_zoom.percent());
        if (item >= 0)
            m_zoomBox->setCurrentIndex(item);
        m_zoomBox->setEditText(text);
    }
    emit zoomChanged(m_zoom.percent());
}

void WorkArea::zoomIn(std::optional<QPoint> anchor) { setZoom(nextZoomStep(m_zoom.percent()), anchor); }

void WorkArea::zoomOut(std::optional<QPoint> anchor) { setZoom(previousZoomStep(m_zoom.percent()), anchor); }

void WorkArea::setSnapping(double gridMm, bool toBoxes)
{
    m_snapGridMm = gridMm;
    m_snapToBoxes = toBoxes;
    for (int at = 0; at < int(std::size(kSnapChoices)); ++at)
        if (kSnapChoices[at].gridMm == gridMm && kSnapChoices[at].toBoxes == toBoxes) {
            const QSignalBlocker block(m_snapBox);
            m_snapBox->setCurrentIndex(at);
        }
}

void WorkArea::setSeeThrough(bool on)
{
    if (on == m_seeThrough)
        return;
    m_seeThrough = on;
    {
        const QSignalBlocker block(m_seeThroughAction);
        m_seeThroughAction->setChecked(on);
    }
    for (auto& [index, view] : m_views) {
        view->setSeeThrough(on);
        if (!m_bulk)
            view->sync();
    }
}

void WorkArea::updateRulers()
{
    const PageSettings& page = m_document.page();
    const UnitFactors& factors = m_document.factors();
    const QPoint origin = boardOrigin();
    m_topRuler->setBoard(origin.x() - m_topRuler->x(), page.boardWidth, factors.pagePxPerCmX);
    m_leftRuler->setBoard(origin.y() - m_leftRuler->y(), page.boardHeight, factors.pagePxPerCmY);
}

void WorkArea::showMouse(std::optional<QPoint> board)
{
    m_topRuler->setMarker(board ? std::optional<int>(board->x()) : std::nullopt);
    m_leftRuler->setMarker(board ? std::optional<int>(board->y()) : std::nullopt);
    const UnitFactors& f = m_document.factors();
    m_mouseCm = board ? QStringLiteral("鼠标:%1,%2").arg(centimetres(f.pageCmX(board->x())),
                                                         centimetres(f.pageCmY(board->y())))
                      : QStringLiteral("鼠标:出界");
    showPlacement();
}

void WorkArea::showPlacement()
{
    QString boxPart = QStringLiteral("控件:无");
    if (m_draggedBox || m_document.statusText(PanelBox) != kNoBoxSelected) {
        const std::vector<int>& selection = m_document.selection();
        const int index = m_draggedBox ? m_draggedBox
                        : selection.empty() ? m_document.currentBoxIndex()
                                            : selection.back();
        if (index >= 1 && index <= m_document.slotCount() && m_document.box(index).inUse) {
            const Rect& r = m_document.box(index).editRect;
            const UnitFactors& f = m_document.factors();
            boxPart = QStringLiteral("控件:%1,%2 %3x%4")
                          .arg(centimetres(f.pageCmX(r.left)), centimetres(f.pageCmY(r.top)),
                               centimetres(f.pageCmX(r.width)), centimetres(f.pageCmY(r.height)));
        }
    }
    const QString mouse = m_mouseCm.isEmpty() ? QStringLiteral("鼠标:") : m_mouseCm;
    m_placementStatus->setText(QStringLiteral("厘米 ") + mouse + QLatin1Char(' ') + boxPart);
}

void WorkArea::setDraggedBox(int index)
{
    m_draggedBox = index;
    showPlacement();
}

void WorkArea::statusTextChanged(int panel, const std::string&)
{
    if (panel == PanelBox && !m_bulk)
        showPlacement();
}

void WorkArea::wheelTurned(const QWheelEvent& event, const QPoint& at)
{
    if (event.modifiers().testFlag(Qt::ControlModifier)) {
        if (event.angleDelta().y() > 0)
            zoomIn(at);
        else if (event.angleDelta().y() < 0)
            zoomOut(at);
        return;
    }
    applyWheel(event.angleDelta().y());
}

WorkArea::~WorkArea()
{
    m_document.removeObserver(this);
    m_views.clear();
}

BoxView* WorkArea::boxView(int index) const
{
    const auto found = m_views.find(index);
    return found == m_views.end() ? nullptr : found->second.get();
}

void WorkArea::syncBox(int index)
{
    if (index < 1 || index > m_document.slotCount())
        return;
    auto found = m_views.find(index);
    if (found == m_views.end()) {
        if (!m_document.box(index).inUse)
            return;
        auto view = std::make_unique<BoxView>(m_document, index, m_workbench, m_focusHolder, m_prompter, &m_zoom);
        view->setSeeThrough(m_seeThrough);
        // In design mode the view keeps the wheel from the control, so the step
        // is taken here. In the other modes a wheel the control does not use
        // travels up to the workbench, whose filter takes the step. Ctrl+wheel
        // is kept from the control in every mode and zooms.
        connect(view.get(), &BoxView::controlWheel, this, [this](int slot, QWheelEvent* event) {
            const bool zoomWheel = event->modifiers().testFlag(Qt::ControlModifier);
            if (m_document.appMode() != AppMode::DesignMode && !zoomWheel)
                return;
            QPoint at = event->position().toPoint();
            if (BoxView* v = boxView(slot); v && v->control())
                at = v->control()->mapTo(this, at);
            wheelTurned(*event, at);
        });
        found = m_views.emplace(index, std::move(view)).first;
        emit boxViewCreated(found->second.get());
    }
    BoxView& view = *found->second;
    view.sync();
    if (!m_bulk)
        stackBox(index, view);
}

void WorkArea::stackAllBoxes()
{
    std::vector<std::pair<int, BoxView*>> live;
    for (const auto& [index, view] : m_views)
        if (m_document.box(index).inUse && view->control())
            live.emplace_back(m_document.box(index).zOrder, view.get());
    std::stable_sort(live.begin(), live.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    // Raise them one by one only when the widgets are not in that order already.
    QHash<const QObject*, qsizetype> position;
    const QObjectList& children = m_workbench->children();
    for (qsizetype at = 0; at < children.size(); ++at)
        position.insert(children[at], at);
    bool ordered = true;
    for (std::size_t i = 1; i < live.size() && ordered; ++i)
        ordered = position.value(live[i - 1].second->control()) < position.value(live[i].second->control());
    for (const auto& [z, view] : live) {
        if (!ordered)
            view->control()->raise();
        view->setStackedZ(z);
        m_frontStackedZ = std::max(m_frontStackedZ, z);
    }
}

void WorkArea::stackBox(int index, BoxView& view)
{
    const Box& box = m_document.box(index);
    QWidget* control = view.control();
    if (!box.inUse || !control || view.stackedZ() == box.zOrder)
        return;
    // A control just made lies in front already; when the box belongs there
    // (the usual case, and every box of a template being loaded) that is all.
    if (!view.stackedZ() && box.zOrder > m_frontStackedZ) {
        view.setStackedZ(box.zOrder);
        m_frontStackedZ = box.zOrder;
        return;
    }
    // Otherwise under the control of the nearest box in front of it.
    QWidget* above = nullptr;
    int aboveZ = 0;
    for (const auto& [other, otherView] : m_views) {
        const Box& b = m_document.box(other);
        if (other == index || !b.inUse || !otherView->control() || b.zOrder <= box.zOrder)
            continue;
        if (!above || b.zOrder < aboveZ) {
            above = otherView->control();
            aboveZ = b.zOrder;
        }
    }
    if (above)
        control->stackUnder(above);
    else
        control->raise();
    view.setStackedZ(box.zOrder);
    m_frontStackedZ = std::max(m_frontStackedZ, box.zOrder);
}

void WorkArea::syncAllBoxes()
{
    for (int index = 1; index <= m_document.slotCount(); ++index)
        syncBox(index);
}

void WorkArea::beginBulkChange() { m_bulk = true; }

void WorkArea::endBulkChange()
{
    if (!m_bulk)
        return;
    // Showing, moving or restyling a child of a visible board costs a walk over
    // its siblings; behind a hidden board it costs nothing, and the board is
    // drawn once when it shows again.
    const bool shown = !m_workbench->isHidden() || std::exchange(m_showBoardAfterBulk, false);
    if (!m_workbench->isHidden())
        m_workbench->hide();
    syncAllBoxes(); // still in bulk: the stacking is left to one pass
    m_bulk = false;
    stackAllBoxes();
    if (shown)
        m_workbench->show();
}

void WorkArea::boxChanged(int index)
{
    if (!m_bulk)
        syncBox(index);
}

void WorkArea::modeChanged(AppMode)
{
    if (!m_bulk)
        syncAllBoxes();
}

void WorkArea::applyBoardSize()
{
    const PageSettings& page = m_document.page();
    // The preview of several forms to a sheet shows the whole sheet; the board stays the form.
    const QSize shown = m_paper->previewSize();
    m_paper->setGeometry(kRulerThickness + kPaperMargin, kRulerThickness + kPaperMargin,
                         m_zoom.toView(shown.width()), m_zoom.toView(shown.height()));
    m_workbench->setGeometry(0, 0, m_zoom.toView(page.boardWidth), m_zoom.toView(page.boardHeight));
    m_workbench->reloadPicture();
    // Another template or page setup may bring or drop the sheet.
    m_startCellBox->setRange(1, page.sheet.cells());
    m_startCellBox->setVisible(m_paper->showsSheet());
    placePreviewTools();
}

void WorkArea::placePreviewTools()
{
    m_backgroundCheck->move(m_paper->width() - m_backgroundCheck->width() - 10, 1);
    m_startCellBox->move(m_backgroundCheck->x() - m_startCellBox->width() - 6,
                         1 + (m_backgroundCheck->height() - m_startCellBox->height()) / 2);
}

void WorkArea::pageChanged()
{
    applyBoardSize();
    layOut();
}

void WorkArea::documentReset()
{
    applyBoardSize();
    layOut();
    if (!m_bulk)
        syncAllBoxes();
}

void WorkArea::layOut()
{
    // The rulers take the top and left strips; the rest is laid out as the
    // panel's client area.
    constexpr int r = kRulerThickness;
    m_topRuler->setGeometry(r, 0, std::max(width() - r, 0), r);
    m_leftRuler->setGeometry(0, r, r, std::max(height() - r, 0));
    m_rulerCorner->setGeometry(0, 0, r, r);
    ContentInput in;
    in.clientWidth = width() - r;
    in.clientHeight = height() - r;
    in.paperWidth = m_paper->width();
    in.paperHeight = m_paper->height();
    in.vBarWidth = m_vBar->width();
    in.hBarHeight = m_hBar->height();
    in.fillerWidth = m_filler->width();
    in.fillerHeight = m_filler->height();
    const ContentLayout out = layOutContents(in);

    m_paper->move(out.paperLeft + r, out.paperTop + r);
    setBar(m_hBar, out.hBar, r);
    setBar(m_vBar, out.vBar, r);
    m_filler->setGeometry(out.filler.left + r, out.filler.top + r, out.filler.width, out.filler.height);
    m_filler->setVisible(out.fillerVisible);
    m_hBar->raise();
    m_vBar->raise();
    m_filler->raise();
    updateRulers();
    update();
}

void WorkArea::resetScrolling()
{
    m_paper->move(kRulerThickness + kPaperMargin, kRulerThickness + kPaperMargin);
    const QSignalBlocker blockH(m_hBar);
    const QSignalBlocker blockV(m_vBar);
    m_hBar->setValue(0);
    m_vBar->setValue(0);
}

void WorkArea::showMode(AppMode mode)
{
    const SheetLayout& sheet = m_document.page().sheet;
    if (sheet.active()) {
        // The paper grows to the whole sheet in the preview and back to the form after it.
        applyBoardSize();
        layOut();
    }
    m_startCellBox->setVisible(mode == AppMode::PreviewMode && sheet.active());
    if (mode == AppMode::PreviewMode) {
        m_showBoardAfterBulk = false;
        m_workbench->hide();
        m_paper->setBackgroundPicture({}, 0);
        {
            const QSignalBlocker block(m_backgroundCheck);
            m_backgroundCheck->setChecked(false);
        }
        m_paper->setStartCell(m_startCellBox->value());
        placePreviewTools();
        m_backgroundCheck->show();
        m_backgroundCheck->raise();
        m_startCellBox->raise();
        m_paper->setFocus();
        m_paper->update();
        return;
    }
    // During a bulk change the board shows at its end, with its boxes in place.
    if (m_bulk)
        m_showBoardAfterBulk = true;
    else
        m_workbench->show();
    m_backgroundCheck->hide();
    if (mode == AppMode::DesignMode)
        m_focusHolder->setFocus();
}

void WorkArea::showBackgroundInPreview(bool show)
{
    const QImage& picture = m_workbench->picture();
    if (!show)
        m_paper->setBackgroundPicture({}, 0);
    else if (!picture.isNull())
        m_paper->setBackgroundPicture(picture, m_document.page().imgShowType);
}

void WorkArea::applyWheel(int delta)
{
    if (!m_vBar->isVisible() || delta == 0)
        return;
    const int position = wheelStep(m_vBar->value(), m_vBar->minimum(), m_vBar->maximum(), delta);
    {
        const QSignalBlocker block(m_vBar);
        m_vBar->setValue(position);
    }
    m_paper->move(m_paper->x(), kRulerThickness + kPaperMargin - m_vBar->value());
    update();
}

void WorkArea::wheelEvent(QWheelEvent* event)
{
    wheelTurned(*event, event->position().toPoint());
    event->accept();
}

bool WorkArea::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Wheel: {
        auto* wheel = static_cast<QWheelEvent*>(event);
        wheelTurned(*wheel, static_cast<QWidget*>(watched)->mapTo(this, wheel->position().toPoint()));
        return true;
    }
    case QEvent::Move:
        if (watched == m_paper)
            updateRulers();
        break;
    case QEvent::Leave:
        if (watched == m_workbench)
            showMouse(std::nullopt);
        break;
    default: break;
    }
    return QWidget::eventFilter(watched, event);
}

void WorkArea::mouseMoveEvent(QMouseEvent* event)
{
    // Events reach the background panel only outside the paper.
    m_document.setStatusText(PanelMouse, mouseOutOfBoundsStatus());
    showMouse(std::nullopt);
    QWidget::mouseMoveEvent(event);
}

void WorkArea::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x80, 0x80, 0x80));
    // A soft shadow under the paper.
    const QRect paper = m_paper->geometry();
    for (int i = 1; i <= 4; ++i)
        painter.fillRect(paper.translated(i, i), QColor(0, 0, 0, 22));
}

} // namespace ordavel
