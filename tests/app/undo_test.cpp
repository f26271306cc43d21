#include "window_fixture.h"

#include "designer/box_view.h"
#include "designer/undo_controller.h"
#include "designer/work_area.h"
#include "designer/workbench.h"

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace ordavel {
namespace {

// What a user sees of the document: page and every slot, without the selection.
struct Seen {
    PageSettings page;
    std::vector<Box> boxes;
    friend bool operator==(const Seen&, const Seen&) = default;
};

class UndoTest : public WindowTest {
protected:
    // Lets the command end: the undo step is taken once the window is idle.
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::ControlModifier)
    {
        QTest::keyClick(window->workArea()->focusHolder(), k, mods);
        settle();
    }
    Seen seen()
    {
        Seen s{doc().page(), {}};
        s.page.backgroundTempPath.clear();
        for (int index = 1; index <= doc().slotCount(); ++index) {
            Box b = doc().box(index);
            b.handlesVisible = false;
            if (b.inUse)
                s.boxes.push_back(b);
            else
                s.boxes.push_back(Box{}); // a free slot is free, whatever it kept
        }
        // The list never shrinks: free slots at its end were not there before.
        while (!s.boxes.empty() && !s.boxes.back().inUse)
            s.boxes.pop_back();
        return s;
    }
    const UndoHistory& history() { return window->undoController()->history(); }
    BoxCommands& commands() { return window->boxMenus()->commands(); }
    QWidget* control(int index) { return window->workArea()->boxView(index)->control(); }
    // Clicks the check box `checkName`, then OK, in the modal dialog that `open` shows.
    static void clickThenOk(const char* checkName, const std::function<void()>& open)
    {
        const QString name = QString::fromUtf8(checkName);
        QTimer::singleShot(0, [name] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            auto* check = dialog->findChild<QCheckBox*>(name);
            auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("按钮_确定"));
            ASSERT_NE(check, nullptr);
            ASSERT_NE(ok, nullptr);
            check->click();
            ok->click();
        });
        open();
    }
};

TEST_F(UndoTest, EveryKindOfDesignChangeIsOneStepBackAndForth)
{
    std::vector<Seen> states{seen()};
    const auto step = [&](const char* what, const std::function<void()>& change) {
        change();
        settle();
        states.push_back(seen());
        EXPECT_NE(states.back(), states[states.size() - 2]) << what;
        EXPECT_EQ(history().undoCount(), states.size() - 1) << what;
    };
    step("create", [&] { commands().addBox(BoxType::PicBox, 40, 40); });
    step("create", [&] { commands().addBox(BoxType::Label, 200, 40); });
    step("duplicate", [&] { commands().duplicate(); });
    step("drag", [&] {
        QTest::mousePress(control(1), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(window->workArea()->workbench(), QPoint(75, 65));
        QTest::mouseMove(window->workArea()->workbench(), QPoint(95, 85));
        QTest::mouseRelease(window->workArea()->workbench(), Qt::LeftButton, {}, QPoint(95, 85));
    });
    step("keyboard move", [&] { key(Qt::Key_Down); });
    step("keyboard size", [&] { key(Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier); });
    step("align", [&] {
        doc().select(2);
        window->runGroupCommand(GroupCommand::AlignTop);
    });
    step("same size", [&] { window->runGroupCommand(GroupCommand::SameSize); });
    step("property dialog", [&] {
        doc().setCurrentBoxIndex(2);
        clickThenOk("选择框_是否打印", [&] { window->boxMenus()->propertyDialog(2); });
    });
    step("page setup", [&] { clickThenOk("选择框_打印背景图片", [&] { window->openPageSetup(); }); });
    step("set picture", [&] {
        doc().setCurrentBoxIndex(1);
        prompter.files = {std::string(ORDAVEL_TEST_DATA "/pictures/icc-profile.jpeg")};
        commands().setPicture();
    });
    step("send to back", [&] { commands().sendToBack(); });
    step("clear picture", [&] { commands().clearPicture(); });
    step("delete", [&] {
        doc().clearSelection();
        doc().select(2);
        commands().deleteSelected();
    });
    step("delete all", [&] {
        prompter.answers = {MessageAnswer::Yes};
        commands().deleteAll();
    });

    for (std::size_t at = states.size() - 1; at > 0; --at) {
        key(Qt::Key_Z);
        EXPECT_EQ(seen(), states[at - 1]) << "undo to state " << at - 1;
    }
    key(Qt::Key_Z); // nothing left
    EXPECT_EQ(seen(), states[0]);
    for (std::size_t at = 1; at < states.size(); ++at) {
        key(at % 2 ? Qt::Key_Y : Qt::Key_Z, at % 2 ? Qt::ControlModifier : Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(seen(), states[at]) << "redo to state " << at;
    }
}

TEST_F(UndoTest, DeletedBoxReturnsToItsSlotAndTheSavedStateIsCleanAgain)
{
    const int first = doc().addBox(BoxType::Label, 10, 10);
    const int second = doc().addBox(BoxType::EditBox, 100, 10);
    doc().box(second).attributes.text = "寄件人";
    doc().boxEdited(second);
    settle();
    const std::string path = folder.filePath(QStringLiteral("saved.oxf")).toStdString();
    prompter.files = {path};
    window->dispatch(DesignerCommand::Save);
    ASSERT_FALSE(doc().modified());

    doc().clearSelection();
    doc().select(second);
    key(Qt::Key_Delete, Qt::NoModifier);
    ASSERT_FALSE(doc().box(second).inUse);
    EXPECT_TRUE(doc().modified());
    key(Qt::Key_Z);
    EXPECT_TRUE(doc().box(second).inUse);
    EXPECT_EQ(doc().box(second).attributes.text, "寄件人");
    EXPECT_EQ(doc().box(second).editRect, (Rect{100, 10, 80, 28}));
    EXPECT_TRUE(control(second)->isVisible());
    EXPECT_FALSE(doc().modified());
    EXPECT_EQ(window->windowTitle().toStdString(), doc().title());

    // A new box takes the next free slot, not the restored one.
    EXPECT_EQ(doc().addBox(BoxType::Label, 0, 0), 3);
    settle();
    EXPECT_TRUE(doc().modified());
    key(Qt::Key_Z);
    EXPECT_FALSE(doc().box(3).inUse);
    EXPECT_TRUE(doc().box(first).inUse);
    EXPECT_FALSE(doc().modified());
}

TEST_F(UndoTest, NewAndOpenStartAnEmptyHistoryAndEditModeKeepsItsOwnUndo)
{
    const std::string path = writeTextTemplate(QStringLiteral("text.oxf"), "你好");
    doc().addBox(BoxType::Label, 10, 10);
    settle();
    EXPECT_EQ(history().undoCount(), 1u);
    prompter.answers = {MessageAnswer::No};
    window->dispatch(DesignerCommand::New);
    EXPECT_FALSE(history().canUndo());

    doc().addBox(BoxType::Label, 10, 10);
    settle();
    ASSERT_TRUE(window->openTemplate(path));
    EXPECT_FALSE(history().canUndo());
    EXPECT_FALSE(history().canRedo());

    // Data entry is not a step; in DesignMode Ctrl+Z finds nothing to undo.
    doc().box(1).attributes.text = "改过";
    doc().boxEdited(1);
    window->switchMode(AppMode::DesignMode);
    settle();
    key(Qt::Key_Z);
    EXPECT_EQ(doc().box(1).attributes.text, "改过");
    EXPECT_EQ(doc().box(1).editRect, (Rect{40, 60, 160, 28}));
}

TEST_F(UndoTest, KeepsAtLeastAHundredSteps)
{
    const int index = doc().addBox(BoxType::Label, 0, 0);
    settle();
    for (int i = 0; i < 120; ++i)
        key(Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(doc().box(index).editRect.left, 120);
    for (int i = 0; i < 100; ++i)
        key(Qt::Key_Z);
    EXPECT_EQ(doc().box(index).editRect.left, 20);
}

} // namespace
} // namespace ordavel
