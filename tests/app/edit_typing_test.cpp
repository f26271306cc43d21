// Typing in EditMode: Tab order through the boxes, and line breaks pasted
// into a single-line text box.
#include "window_fixture.h"

#include "designer/box_view.h"
#include "designer/edit_box_control.h"
#include "designer/slot_tab_order.h"
#include "designer/work_area.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

namespace ordavel {
namespace {

class EditTyping : public WindowTest {
protected:
    QWidget* control(int index) const { return window->workArea()->boxView(index)->control(); }

    // Slots 1 text, 2 multi-line text, 3 label (takes no focus), 4 drop-down
    // list, 5 text; the list at the top so that slot order is not screen order.
    void makeForm()
    {
        doc().addBox(BoxType::EditBox, 20, 200, 120, 28);
        const int multi = doc().addBox(BoxType::EditBox, 20, 100, 200, 80);
        doc().box(multi).attributes.multiLine = true;
        doc().box(multi).attributes.text = "第一行";
        doc().boxEdited(multi);
        doc().addBox(BoxType::Label, 20, 300);
        doc().addBox(BoxType::ComboBox, 20, 20);
        doc().addBox(BoxType::EditBox, 300, 20);
        window->switchMode(AppMode::EditMode);
        QApplication::setActiveWindow(window.get());
        QApplication::processEvents();
    }

    // Tab (or Shift+Tab) pressed where the focus is; returns the slot of the new focus.
    int press(bool backwards)
    {
        QWidget* focus = QApplication::focusWidget();
        EXPECT_NE(focus, nullptr);
        if (!focus)
            return 0;
        if (backwards)
            QTest::keyClick(focus, Qt::Key_Backtab, Qt::ShiftModifier);
        else
            QTest::keyClick(focus, Qt::Key_Tab);
        for (int index = 1; index <= doc().slotCount(); ++index) {
            QWidget* c = control(index);
            if (c && (QApplication::focusWidget() == c || c->isAncestorOf(QApplication::focusWidget())))
                return index;
        }
        return 0;
    }
};

TEST_F(EditTyping, TabAndShiftTabGoThroughTheBoxesInSlotOrderMultiLineIncluded)
{
    makeForm();
    control(1)->setFocus(Qt::OtherFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), control(1));
    std::vector<int> forwards;
    for (int i = 0; i < 5; ++i)
        forwards.push_back(press(false));
    EXPECT_EQ(forwards, (std::vector<int>{2, 4, 5, 1, 2}));
    // Tab moved on from the multi-line box rather than typing a tab there.
    EXPECT_EQ(doc().box(2).attributes.text, "第一行");
    EXPECT_EQ(static_cast<QPlainTextEdit*>(control(2))->toPlainText(), QStringLiteral("第一行"));
    std::vector<int> backwards;
    for (int i = 0; i < 5; ++i)
        backwards.push_back(press(true));
    EXPECT_EQ(backwards, (std::vector<int>{1, 5, 4, 2, 1}));
    EXPECT_FALSE(doc().modified() && doc().box(2).attributes.text != "第一行");
}

TEST_F(EditTyping, TheOrderSkipsFreeSlotsAndBoxesThatTakeNoFocus)
{
    makeForm();
    doc().deleteBox(4);
    SlotTabOrder order(doc(), *window->workArea(), nullptr);
    EXPECT_EQ(order.nextSlot(2, true), 5);
    EXPECT_EQ(order.nextSlot(5, true), 1);
    EXPECT_EQ(order.nextSlot(1, false), 5);
    EXPECT_EQ(order.nextSlot(5, false), 2);
    // Only the label is left besides one text box: nowhere else to go.
    doc().deleteBox(1);
    doc().deleteBox(5);
    EXPECT_EQ(order.nextSlot(2, true), 0);
}

TEST_F(EditTyping, TabInDesignModeIsLeftAlone)
{
    makeForm();
    window->switchMode(AppMode::DesignMode);
    QApplication::processEvents();
    SlotTabOrder order(doc(), *window->workArea(), nullptr);
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    EXPECT_FALSE(order.eventFilter(control(1), &tab));
}

TEST_F(EditTyping, ASingleLineBoxTurnsPastedLineBreaksIntoSpaces)
{
    makeForm();
    auto* line = static_cast<QLineEdit*>(control(1));
    line->setFocus(Qt::OtherFocusReason);
    line->setText(QStringLiteral("收件人："));
    line->end(false);
    QGuiApplication::clipboard()->setText(QStringLiteral("张三\r\n北京市\n海淀区\r"));
    line->paste();
    EXPECT_EQ(line->text(), QStringLiteral("收件人：张三 北京市 海淀区 "));
    EXPECT_EQ(doc().box(1).attributes.text, "收件人：张三 北京市 海淀区 ");
    EXPECT_EQ(line->cursorPosition(), line->text().size());
    EXPECT_TRUE(doc().modified());

    // A multi-line box keeps the break, as CR LF in the template.
    auto* multi = static_cast<QPlainTextEdit*>(control(2));
    multi->moveCursor(QTextCursor::End);
    QGuiApplication::clipboard()->setText(QStringLiteral("\n第二行"));
    multi->paste();
    EXPECT_EQ(doc().box(2).attributes.text, "第一行\r\n第二行");

    EXPECT_EQ(singleLine(QStringLiteral("a\r\n\r\nb")), QStringLiteral("a  b"));
}

} // namespace
} // namespace ordavel
