#include "designer/control_toolbar.h"
#include "designer/file_toolbar.h"

#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace ordavel {
namespace {

TEST(FileToolBar, ReportsButtonsAndMenuEntriesAsTheirCommands)
{
    FileToolBar bar;
    ASSERT_EQ(bar.actions().size(), FileToolBar::Count);
    for (int separator : {0, 4, 6, 10, 12})
        EXPECT_TRUE(bar.entry(separator)->isSeparator()) << separator;
    QSignalSpy spy(&bar, &FileToolBar::commandTriggered);
    bar.entry(FileToolBar::Preview)->trigger();
    bar.saveMenu()->actions().constFirst()->trigger();
    bar.helpMenu()->actions().constLast()->trigger();
    ASSERT_EQ(spy.size(), 3);
    EXPECT_EQ(spy[0][0].value<DesignerCommand>(), DesignerCommand::PreviewMode);
    EXPECT_EQ(spy[1][0].value<DesignerCommand>(), DesignerCommand::SaveAs);
    EXPECT_EQ(spy[2][0].value<DesignerCommand>(), DesignerCommand::About);
    for (int index : {FileToolBar::Save, FileToolBar::Help}) {
        auto* button = qobject_cast<QToolButton*>(bar.widgetForAction(bar.entry(index)));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->popupMode(), QToolButton::MenuButtonPopup);
    }
}

// Runs the first entry of the pop-up menu that the next event opens.
void chooseFirstEntryOfNextMenu()
{
    QTimer::singleShot(0, [] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            menu->actions().constFirst()->trigger();
            menu->close();
        }
    });
}

TEST(FileToolBar, SaveArrowStaysLiveWhileSaveIsDisabled)
{
    FileToolBar bar;
    bar.show();
    QAction* save = bar.entry(FileToolBar::Save);
    auto* button = qobject_cast<QToolButton*>(bar.widgetForAction(save));
    ASSERT_NE(button, nullptr);
    const QPoint commandPart(6, button->height() / 2);
    const QPoint arrow(button->width() - 3, button->height() / 2);
    QSignalSpy spy(&bar, &FileToolBar::commandTriggered);

    save->setEnabled(false);
    EXPECT_TRUE(button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton, {}, commandPart);
    EXPECT_EQ(spy.size(), 0);
    chooseFirstEntryOfNextMenu();
    QTest::mouseClick(button, Qt::LeftButton, {}, arrow);
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy[0][0].value<DesignerCommand>(), DesignerCommand::SaveAs);

    save->setEnabled(true);
    QTest::mouseClick(button, Qt::LeftButton, {}, commandPart);
    ASSERT_EQ(spy.size(), 2);
    EXPECT_EQ(spy[1][0].value<DesignerCommand>(), DesignerCommand::Save);
}

TEST(ControlToolBar, AlignArrowAsksForTheMenuAndTheButtonPartAligns)
{
    ControlToolBar bar;
    bar.show();
    ASSERT_EQ(bar.actions().size(), ControlToolBar::Count);
    EXPECT_FALSE(bar.entry(ControlToolBar::DrawCaption)->isEnabled());
    EXPECT_FALSE(bar.entry(ControlToolBar::Table)->isVisible());
    auto* button = qobject_cast<QToolButton*>(bar.widgetForAction(bar.entry(ControlToolBar::AlignLeft)));
    ASSERT_NE(button, nullptr);
    QSignalSpy arrow(&bar, &ControlToolBar::alignMenuRequested);
    QSignalSpy command(&bar, &ControlToolBar::commandTriggered);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(button->width() - 3, button->height() / 2));
    EXPECT_EQ(arrow.size(), 1);
    EXPECT_EQ(command.size(), 0);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    ASSERT_EQ(command.size(), 1);
    EXPECT_EQ(command[0][0].value<DesignerCommand>(), DesignerCommand::AlignLeft);
}

} // namespace
} // namespace ordavel
