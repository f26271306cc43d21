#include "app/window_fixture.h"

#include "designer/box_menus.h"
#include "designer/control_toolbar.h"
#include "designer/page_setup_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

namespace ordavel {
namespace {

using PageSetupWindow = WindowTest;

TEST_F(PageSetupWindow, ToolbarButtonOpensTheModalDialogAndOkLaysTheBoardOut)
{
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<PageSetupDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        seen = true;
        dialog->boardWidthField()->setText("600");
        dialog->okButton()->click();
    });
    window->dispatch(DesignerCommand::PageSetup);
    EXPECT_TRUE(seen);
    EXPECT_EQ(doc().page().boardWidth, 600);
    EXPECT_EQ(window->statusPanel(PanelBoard)->text().toStdString(), "画板:600x1096像素");
}

// The entry `caption` of `menu`, or nullptr.
QAction* entryOf(const QMenu& menu, const char* caption)
{
    for (QAction* action : menu.actions())
        if (action->text() == QString::fromUtf8(caption))
            return action;
    return nullptr;
}

TEST_F(PageSetupWindow, AlignLeftButtonArrowAndMenuNeedTwoSelectedBoxes)
{
    std::vector<std::string> shown;
    window->boxMenus()->popup = [&](QMenu& menu) { shown.push_back(menu.objectName().toStdString()); };
    const int a = doc().addBox(BoxType::Label, 10, 10, 60, 20);
    const int b = doc().addBox(BoxType::Label, 90, 50, 60, 20); // selected alone
    QAction* alignLeft = window->controlToolBar()->entry(ControlToolBar::AlignLeft);
    alignLeft->trigger();
    emit window->controlToolBar()->alignMenuRequested(QPoint(100, 100));
    EXPECT_EQ(doc().box(a).editRect.left, 10);
    EXPECT_TRUE(shown.empty());

    doc().clearSelection();
    doc().select(a);
    doc().select(b);
    alignLeft->trigger();
    EXPECT_EQ(doc().box(a).editRect.left, 90);
    emit window->controlToolBar()->alignMenuRequested(QPoint(100, 100));
    EXPECT_EQ(shown, std::vector<std::string>{"多选控件"});

    QMenu& menu = *window->boxMenus()->multiSelectionMenu();
    entryOf(menu, "下对齐(&B)")->trigger();
    EXPECT_EQ(doc().box(a).editRect.top, 50);
    entryOf(menu, "置等宽(&W)")->trigger();
    EXPECT_EQ(doc().box(a).editRect.width, 60);
    // Deleting two boxes asks first; No keeps both.
    entryOf(menu, "删除(&D)")->trigger();
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, "确定要删除所选择的控件吗?");
    EXPECT_EQ(doc().liveBoxCount(), 2);
    prompter.answers = {MessageAnswer::Yes};
    entryOf(menu, "删除(&D)")->trigger();
    EXPECT_EQ(doc().liveBoxCount(), 0);
}

} // namespace
} // namespace ordavel
