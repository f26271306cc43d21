// The cells of a label set in its property dialog in the running designer:
// one undo step, which Ctrl+Z takes back and Ctrl+Y puts again, the board
// following each time.
#include "window_fixture.h"

#include "designer/box_commands.h"
#include "designer/box_menus.h"
#include "designer/box_view.h"
#include "designer/undo_controller.h"
#include "designer/work_area.h"

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

namespace ordavel {
namespace {

class CellUndoTest : public WindowTest {
protected:
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }
    void key(Qt::Key k)
    {
        QLineEdit* holder = window->workArea()->focusHolder();
        QTest::keyClick(holder, k, Qt::KeyboardModifiers(Qt::ControlModifier));
        // The application would keep Ctrl as held for the tests that follow.
        QTest::keyRelease(holder, Qt::Key_Control, Qt::NoModifier);
    }
    // Whether the label's control shows dark ink in its first quarter.
    bool inkInFirstQuarter(int index)
    {
        const QImage image = window->workArea()->boxView(index)->control()->grab().toImage();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width() / 4; ++x)
                if (qGray(image.pixel(x, y)) < 128)
                    return true;
        return false;
    }
};

TEST_F(CellUndoTest, CellsFromTheDialogAreOneStepTheBoardFollows)
{
    const int index = window->boxMenus()->commands().addBox(BoxType::Label, 40, 40);
    doc().box(index).attributes.text = "12";
    doc().box(index).attributes.font = FontSpec{"宋体", 12};
    doc().box(index).attributes.textColor = kBlack;
    doc().box(index).editRect.width = 200;
    doc().boxEdited(index);
    settle();
    ASSERT_TRUE(inkInFirstQuarter(index)); // "12" from the left
    const std::size_t stepsBefore = window->undoController()->history().undoCount();

    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QCheckBox*>(QStringLiteral("选择框_逐格打印"))->click();
        dialog->findChild<QSpinBox*>(QStringLiteral("数值框_格数"))->setValue(4);
        dialog->findChild<QCheckBox*>(QStringLiteral("选择框_首位前人民币符号"))->click();
        dialog->findChild<QPushButton*>(QStringLiteral("按钮_确定"))->click();
    });
    doc().setCurrentBoxIndex(index);
    window->boxMenus()->propertyDialog(index);
    settle();
    EXPECT_EQ(doc().box(index).attributes.cellCount, 4);
    EXPECT_TRUE(doc().box(index).attributes.yenBeforeFirst);
    EXPECT_EQ(window->undoController()->history().undoCount(), stepsBefore + 1);
    EXPECT_FALSE(inkInFirstQuarter(index)); // [ ][¥][1][2]: the first cell empty

    key(Qt::Key_Z);
    settle();
    EXPECT_EQ(doc().box(index).attributes.cellCount, 0);
    EXPECT_FALSE(doc().box(index).attributes.yenBeforeFirst);
    EXPECT_TRUE(inkInFirstQuarter(index));

    key(Qt::Key_Y);
    settle();
    EXPECT_EQ(doc().box(index).attributes.cellCount, 4);
    EXPECT_TRUE(doc().box(index).attributes.yenBeforeFirst);
    EXPECT_FALSE(inkInFirstQuarter(index));
}

} // namespace
} // namespace ordavel
