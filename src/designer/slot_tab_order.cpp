#include "designer/slot_tab_order.h"

#include "designer/box_view.h"
#include "designer/work_area.h"
#include "designer/workbench.h"
#include "model/document.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace ordavel {

SlotTabOrder::SlotTabOrder(Document& doc, WorkArea& workArea, QObject* parent)
    : QObject(parent), m_doc(doc), m_workArea(workArea)
{
    qApp->installEventFilter(this);
}

SlotTabOrder::~SlotTabOrder() { qApp->removeEventFilter(this); }

bool SlotTabOrder::takesTabFocus(int index) const
{
    if (!m_doc.box(index).inUse)
        return false;
    const BoxView* view = m_workArea.boxView(index);
    const QWidget* control = view ? view->control() : nullptr;
    return control && control->isVisible() && control->isEnabled() && (control->focusPolicy() & Qt::TabFocus);
}

int SlotTabOrder::nextSlot(int from, bool forward) const
{
    const int count = m_doc.slotCount();
    for (int step = 1; step < count + 1; ++step) {
        // Slots 1..count, wrapping round; `from` itself comes last.
        const int offset = forward ? step : -step;
        const int index = ((from - 1 + offset) % count + count) % count + 1;
        if (index == from)
            break;
        if (takesTabFocus(index))
            return index;
    }
    return 0;
}

int SlotTabOrder::slotOf(const QObject* widget) const
{
    for (const QObject* at = widget; at; at = at->parent()) {
        if (at == m_workArea.workbench())
            return 0;
        const QObject* parent = at->parent();
        if (parent != m_workArea.workbench())
            continue;
        for (int index = 1; index <= m_doc.slotCount(); ++index) {
            const BoxView* view = m_workArea.boxView(index);
            if (view && view->control() == at)
                return index;
        }
        return 0;
    }
    return 0;
}

bool SlotTabOrder::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || m_doc.appMode() != AppMode::EditMode)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool backwards = key->key() == Qt::Key_Backtab
                           || (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier));
    const bool forwards = key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier);
    if ((!forwards && !backwards) || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return false;
    // A key press goes to the focus widget and then up its parents: act once.
    if (watched != QApplication::focusWidget())
        return false;
    const int from = slotOf(watched);
    if (from == 0)
        return false;
    const int to = nextSlot(from, forwards);
    if (to != 0)
        m_workArea.boxView(to)->control()->setFocus(backwards ? Qt::BacktabFocusReason : Qt::TabFocusReason);
    return true;
}

} // namespace ordavel
