#include "designer/box_view.h"

#include "designer/box_control.h"
#include "designer/box_media.h"
#include "designer/color_block_widget.h"
#include "designer/handle_widget.h"
#include "model/board_zoom.h"
#include "model/document.h"
#include "platform/prompter.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGraphicsOpacityEffect>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QWheelEvent>
#include <QWidget>

namespace ordavel {

namespace {

constexpr const char* kTagProperty = "tag";
constexpr const char* kChooseColorTitle = "选择颜色";
constexpr double kSeeThroughOpacity = 0.45;

QRect toQRect(const Rect& r) { return QRect(r.left, r.top, r.width, r.height); }

// The handle's place around `r` (view px): the same rule the model uses for
// board px, so that handles keep their 5 px and hug the box at every zoom.
QRect handlePlace(int which, const Rect& r)
{
    const int middleTop = r.top + (r.height - kHandleSize) / 2;
    const int middleLeft = r.left + (r.width - kHandleSize) / 2;
    const int left = r.left - kHandleSize, right = r.right();
    const int top = r.top - kHandleSize, bottom = r.bottom();
    switch (which) {
    case HandleTopLeft: return QRect(left, top, kHandleSize, kHandleSize);
    case HandleMiddleLeft: return QRect(left, middleTop, kHandleSize, kHandleSize);
    case HandleBottomLeft: return QRect(left, bottom, kHandleSize, kHandleSize);
    case HandleTopMiddle: return QRect(middleLeft, top, kHandleSize, kHandleSize);
    case HandleBottomMiddle: return QRect(middleLeft, bottom, kHandleSize, kHandleSize);
    case HandleTopRight: return QRect(right, top, kHandleSize, kHandleSize);
    case HandleMiddleRight: return QRect(right, middleTop, kHandleSize, kHandleSize);
    default: return QRect(right, bottom, kHandleSize, kHandleSize);
    }
}

bool isMouseEvent(QEvent::Type type)
{
    return type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease
        || type == QEvent::MouseButtonDblClick || type == QEvent::MouseMove;
}

// Events by which a control would change its content or react to the keyboard.
bool isKeyboardEvent(QEvent::Type type)
{
    return type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::InputMethod;
}

} // namespace

BoxView::BoxView(Document& doc, int index, QWidget* workbench, QWidget* focusHolder, Prompter& prompter,
                 const BoardZoom* zoom)
    : m_doc(doc), m_index(index), m_workbench(workbench), m_focusHolder(focusHolder),
      m_prompter(prompter), m_zoom(zoom)
{
    sync();
}

void BoxView::createHandles()
{
    if (m_handlesCreated)
        return;
    m_handlesCreated = true;
    const QString tag = QString::number(m_index);
    for (int which = 0; which < HandleCount; ++which) {
        auto* handle = new HandleWidget(which, m_workbench);
        handle->setProperty(kTagProperty, tag);
        handle->installEventFilter(this);
        m_handles[which] = handle;
    }
}

BoxView::~BoxView()
{
    delete m_control.data();
    for (QPointer<QWidget>& handle : m_handles)
        delete handle.data();
}

int BoxView::index() const { return m_index; }

QWidget* BoxView::control() const { return m_control.data(); }

QWidget* BoxView::handle(int which) const
{
    if (which < 0 || which >= HandleCount)
        return nullptr;
    // Handles are made when the box is first selected; asking for one makes them too.
    if (!m_handlesCreated) {
        auto* self = const_cast<BoxView*>(this);
        self->createHandles();
        self->placeHandles();
    }
    return m_handles[which].data();
}

bool BoxView::designMode() const { return m_doc.appMode() == AppMode::DesignMode; }

void BoxView::sync()
{
    if (m_index < 1 || m_index > m_doc.slotCount())
        return;
    const Box& box = m_doc.box(m_index);
    // Focus moves below may run a nested sync; restore rather than clear the flag.
    const QScopedValueRollback<bool> syncing(m_syncing, true);
    if (box.type != BoxType::None && controlKind(box) != m_controlKind)
        createControl();
    if (m_control) {
        const QRect place = toQRect(m_zoom ? m_zoom->toView(box.editRect) : box.editRect);
        if (m_control->geometry() != place)
            m_control->setGeometry(place);
        m_box->showBox(box); // after the geometry: some controls fit their content to it
        applyZoomedFont();
        // A box that prints a data column shows which one when the pointer rests on it.
        const QString dataTip = box.dataField.empty()
            ? QString()
            : QStringLiteral("数据字段：") + QString::fromStdString(box.dataField);
        if (m_control->toolTip() != dataTip)
            m_control->setToolTip(dataTip);
        const bool design = designMode();
        if (m_designBehaviour != design)
            applyBehaviour(design);
        applySeeThrough(m_seeThrough && design);
        const bool visible = box.inUse && box.visible;
        if (m_control->isVisibleTo(m_workbench) != visible)
            m_control->setVisible(visible);
    }
    placeHandles();
}

void BoxView::placeHandles()
{
    const Box& box = m_doc.box(m_index);
    const bool handlesShown = box.inUse && box.handlesVisible;
    // A box that was never selected has no handles yet: most boxes of a big
    // template never are, and eight widgets each would weigh on the board.
    if (!m_handlesCreated) {
        if (!handlesShown)
            return;
        createHandles();
    }
    const Rect viewRect = m_zoom ? m_zoom->toView(box.editRect) : box.editRect;
    for (int which = 0; which < HandleCount; ++which) {
        QWidget* handle = m_handles[which];
        if (!handle)
            continue;
        // At 1:1 the model's own handle places; zoomed, the same rule in view px.
        const QRect place = !m_zoom || m_zoom->percent() == 100 ? toQRect(box.handles[which])
                                                                 : handlePlace(which, viewRect);
        if (handle->geometry() != place)
            handle->setGeometry(place);
        if (handle->isVisibleTo(m_workbench) != handlesShown) {
            handle->setVisible(handlesShown);
            if (handlesShown)
                handle->raise();
        }
    }
}

void BoxView::createControl()
{
    destroyControl();
    const Box& box = m_doc.box(m_index);
    m_box = createBoxControl(box, m_workbench);
    if (!m_box)
        return;
    m_control = m_box->widget();
    m_seeThroughShown = false;
    m_fontPercent = 100;
    m_controlKind = controlKind(box);
    m_control->setProperty(kTagProperty, QString::number(m_index));
    m_box->onEdited = [this] { contentEdited(); };
    if (auto* block = dynamic_cast<ColorBlockWidget*>(m_box))
        block->onClicked = [this] { chooseBlockColor(); };
    m_box->showBox(box);
    m_ownCursors.clear();
    QList<QWidget*> widgets = m_control->findChildren<QWidget*>();
    widgets.prepend(m_control);
    for (QWidget* widget : widgets) {
        std::optional<QCursor> own;
        if (widget->testAttribute(Qt::WA_SetCursor))
            own = widget->cursor();
        m_ownCursors.emplace_back(widget, own);
    }
    watchChildren();
    m_designBehaviour.reset();
    // A new child lies in front of its siblings already; the work area
    // restacks it when its place in the model's stacking order is another.
    m_stackedZ.reset();
}

void BoxView::destroyControl()
{
    if (m_control) {
        // Detach first: the control may be the widget whose event is running right now.
        m_control->hide();
        m_control->removeEventFilter(this);
        m_control->setParent(nullptr);
        m_control->deleteLater();
    }
    m_control = nullptr;
    m_box = nullptr;
    m_controlKind = -1;
    m_ownCursors.clear();
}

void BoxView::watchChildren()
{
    m_control->installEventFilter(this);
    for (QWidget* child : m_control->findChildren<QWidget*>())
        child->installEventFilter(this);
}

void BoxView::applyBehaviour(bool design)
{
    m_designBehaviour = design;
    m_box->setDesignLook(design);
    watchChildren(); // a restyled control may have made new inner widgets
    if (design) {
        for (QWidget* widget : m_control->findChildren<QWidget*>())
            widget->setCursor(Qt::SizeAllCursor);
        m_control->setCursor(Qt::SizeAllCursor);
        // A box typed into before the switch gives up the focus like one that gets it now.
        QWidget* focused = QApplication::focusWidget();
        if (focused && (focused == m_control || m_control->isAncestorOf(focused)) && m_focusHolder)
            m_focusHolder->setFocus(Qt::OtherFocusReason);
    } else {
        for (auto& [widget, own] : m_ownCursors) {
            if (!widget)
                continue;
            if (own)
                widget->setCursor(*own);
            else
                widget->unsetCursor();
        }
    }
}

void BoxView::applyZoomedFont()
{
    const int percent = m_zoom ? m_zoom->percent() : 100;
    // At 1:1 the control keeps the font its type gives it.
    if (percent == 100 && m_fontPercent == 100)
        return;
    QFont font = boxFont(m_doc.box(m_index).attributes.font);
    if (percent != 100)
        font.setPointSizeF(font.pointSizeF() * percent / 100.0);
    if (m_control->font() != font)
        m_control->setFont(font);
    m_fontPercent = percent;
}

void BoxView::applySeeThrough(bool on)
{
    if (on == m_seeThroughShown)
        return;
    m_seeThroughShown = on;
    if (on) {
        auto* effect = new QGraphicsOpacityEffect(m_control);
        effect->setOpacity(kSeeThroughOpacity);
        m_control->setGraphicsEffect(effect); // the control owns it
    } else {
        m_control->setGraphicsEffect(nullptr);
    }
}

void BoxView::contentEdited()
{
    if (m_syncing || !m_box)
        return;
    m_box->readInto(m_doc.box(m_index).attributes);
    if (m_doc.appMode() == AppMode::EditMode)
        m_doc.boxEdited(m_index);
}

void BoxView::chooseBlockColor()
{
    if (m_doc.appMode() != AppMode::EditMode)
        return;
    Box& box = m_doc.box(m_index);
    const std::optional<Color> chosen = m_prompter.chooseColor(box.attributes.color, kChooseColorTitle);
    if (!chosen)
        return;
    box.attributes.color = *chosen;
    if (m_box)
        m_box->showBox(box);
    m_doc.boxEdited(m_index);
}

void BoxView::focusArrived()
{
    m_doc.setCurrentBoxIndex(m_index);
    switch (m_doc.appMode()) {
    case AppMode::DesignMode:
        if (m_focusHolder)
            m_focusHolder->setFocus(Qt::OtherFocusReason);
        break;
    case AppMode::PreviewMode:
        if (QWidget* paper = m_workbench->parentWidget())
            paper->setFocus(Qt::OtherFocusReason);
        break;
    case AppMode::EditMode: break;
    }
}

bool BoxView::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    for (int which = 0; which < HandleCount; ++which) {
        if (watched != m_handles[which].data())
            continue;
        if (!isMouseEvent(type))
            return false;
        emit handleMouse(m_index, which, static_cast<QMouseEvent*>(event));
        return true;
    }
    const bool design = designMode();
    if (isKeyboardEvent(type))
        return design;
    if (isMouseEvent(type)) {
        emit controlMouse(m_index, static_cast<QMouseEvent*>(event));
        return design;
    }
    switch (type) {
    case QEvent::Wheel:
        emit controlWheel(m_index, static_cast<QWheelEvent*>(event));
        // The wheel scrolls the page (with Ctrl it zooms the board); it never
        // turns a list or a date by accident.
        return design || static_cast<QWheelEvent*>(event)->modifiers().testFlag(Qt::ControlModifier)
            || qobject_cast<QComboBox*>(m_control) || qobject_cast<QDateTimeEdit*>(m_control);
    case QEvent::FocusIn:
        focusArrived();
        return false;
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        // The control's own menu (cut, paste) and drops would change it while designing.
        return design;
    default: return false;
    }
}

} // namespace ordavel
