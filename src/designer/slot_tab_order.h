#pragma once
// Tab and Shift+Tab in EditMode: the focus moves from box to box in slot order
// (BoxList index), wrapping round, over every box whose control takes the focus
// by Tab. Multi-line text boxes included: there Tab moves on instead of
// inserting a tab character.

#include <QObject>

namespace ordavel {

class Document;
class WorkArea;

class SlotTabOrder : public QObject {
public:
    // Watches the application's key presses while it lives; doc and workArea
    // must outlive it.
    SlotTabOrder(Document& doc, WorkArea& workArea, QObject* parent);
    ~SlotTabOrder() override;

    // The slot after (forward) or before `from` whose control takes the focus
    // by Tab, wrapping round; 0 when there is none besides `from`.
    int nextSlot(int from, bool forward) const;

    // Takes Tab and Shift+Tab pressed on a box's control in EditMode.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The slot whose control holds or contains `widget`, 0 for none.
    int slotOf(const QObject* widget) const;
    bool takesTabFocus(int index) const;

    Document& m_doc;
    WorkArea& m_workArea;
};

} // namespace ordavel
