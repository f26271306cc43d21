#include "app/window_fixture.h"

#include "designer/align_menu.h"
#include "designer/control_toolbar.h"
#include "designer/page_setup_dialog.h"

#include <QLabel>
#include <QLineEdit>
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
    window->dispatch(QStringLiteral("页面设置"));
    EXPECT_TRUE(seen);
    EXPECT_EQ(doc().page().boardWidth, 600);
    EXPECT_EQ(window->statusPanel(PanelBoard)->text().toStdString(), "画板:600x1096像素");
}

TEST_F(PageSetupWindow, AlignLeftButtonAndArrowNeedTwoSelectedBoxes)
{
    const int a = doc().addBox(BoxType::Label, 10, 10, 60, 20);
    const int b = doc().addBox(BoxType::Label, 90, 50, 60, 20); // selected alone
    QAction* alignLeft = window->controlToolBar()->entry(ControlToolBar::AlignLeft);
    alignLeft->trigger();
    window->showAlignMenu(QPoint(100, 100));
    EXPECT_EQ(doc().box(a).editRect.left, 10);
    EXPECT_FALSE(window->alignMenu()->isVisible());

    doc().clearSelection();
    doc().select(a);
    doc().select(b);
    alignLeft->trigger();
    EXPECT_EQ(doc().box(a).editRect.left, 90);
    window->showAlignMenu(QPoint(100, 100));
    EXPECT_TRUE(window->alignMenu()->isVisible());
    window->alignMenu()->close();

    window->alignMenu()->run(QStringLiteral("下对齐(&B)"));
    EXPECT_EQ(doc().box(a).editRect.top, 50);
    // Deleting two boxes asks first; No keeps both.
    window->alignMenu()->run(QStringLiteral("删除(&D)"));
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, "确定要删除所选择的控件吗?");
    EXPECT_EQ(doc().liveBoxCount(), 2);
    prompter.answers = {MessageAnswer::Yes};
    window->alignMenu()->run(QStringLiteral("删除(&D)"));
    EXPECT_EQ(doc().liveBoxCount(), 0);
}

} // namespace
} // namespace ordavel
