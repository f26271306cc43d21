#include "designer/work_area.h"

#include "designer/box_view.h"
#include "designer/paper_panel.h"
#include "designer/workbench.h"
#include "designer/workbench_layout.h"
#include "model/document.h"

#include <QCheckBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
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
        m_area.applyWheel(event->angleDelta().y());
        event->accept();
    }

private:
    WorkArea& m_area;
};

void setBar(QScrollBar* bar, const ScrollBarPlacement& placement)
{
    if (!placement.visible) {
        bar->hide();
        return;
    }
    const QSignalBlocker block(bar);
    bar->setGeometry(placement.rect.left, placement.rect.top, placement.rect.width, placement.rect.height);
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
        m_paper->move(kPaperMargin - value, m_paper->y());
        update();
    });
    connect(m_vBar, &QScrollBar::valueChanged, this, [this](int value) {
        m_paper->move(m_paper->x(), kPaperMargin - value);
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

    document.addObserver(this);
    applyBoardSize();
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
        auto view = std::make_unique<BoxView>(m_document, index, m_workbench, m_focusHolder, m_prompter);
        // In design mode the view keeps the wheel from the control, so the step
        // is taken here. In the other modes a wheel the control does not use
        // travels up to the workbench, whose filter takes the step.
        connect(view.get(), &BoxView::controlWheel, this, [this](int, QWheelEvent* event) {
            if (m_document.appMode() == AppMode::DesignMode)
                applyWheel(event->angleDelta().y());
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
    m_paper->setGeometry(kPaperMargin, kPaperMargin, page.boardWidth, page.boardHeight);
    m_workbench->setGeometry(0, 0, m_paper->width(), m_paper->height());
    m_workbench->reloadPicture();
    m_backgroundCheck->move(m_paper->width() - m_backgroundCheck->width() - 10, 1);
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
    ContentInput in;
    in.clientWidth = width();
    in.clientHeight = height();
    in.paperWidth = m_paper->width();
    in.paperHeight = m_paper->height();
    in.vBarWidth = m_vBar->width();
    in.hBarHeight = m_hBar->height();
    in.fillerWidth = m_filler->width();
    in.fillerHeight = m_filler->height();
    const ContentLayout out = layOutContents(in);

    m_paper->move(out.paperLeft, out.paperTop);
    setBar(m_hBar, out.hBar);
    setBar(m_vBar, out.vBar);
    m_filler->setGeometry(out.filler.left, out.filler.top, out.filler.width, out.filler.height);
    m_filler->setVisible(out.fillerVisible);
    m_hBar->raise();
    m_vBar->raise();
    m_filler->raise();
    update();
}

void WorkArea::resetScrolling()
{
    m_paper->move(kPaperMargin, kPaperMargin);
    const QSignalBlocker blockH(m_hBar);
    const QSignalBlocker blockV(m_vBar);
    m_hBar->setValue(0);
    m_vBar->setValue(0);
}

void WorkArea::showMode(AppMode mode)
{
    if (mode == AppMode::PreviewMode) {
        m_showBoardAfterBulk = false;
        m_workbench->hide();
        m_paper->setBackgroundPicture({}, 0);
        {
            const QSignalBlocker block(m_backgroundCheck);
            m_backgroundCheck->setChecked(false);
        }
        m_backgroundCheck->move(m_paper->width() - m_backgroundCheck->width() - 10, 1);
        m_backgroundCheck->show();
        m_backgroundCheck->raise();
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
    m_paper->move(m_paper->x(), kPaperMargin - m_vBar->value());
    update();
}

void WorkArea::wheelEvent(QWheelEvent* event)
{
    applyWheel(event->angleDelta().y());
    event->accept();
}

bool WorkArea::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Wheel) {
        applyWheel(static_cast<QWheelEvent*>(event)->angleDelta().y());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void WorkArea::mouseMoveEvent(QMouseEvent* event)
{
    // Events reach the background panel only outside the paper.
    m_document.setStatusText(PanelMouse, mouseOutOfBoundsStatus());
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
