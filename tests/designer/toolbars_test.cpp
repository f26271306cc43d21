#include "designer/control_toolbar.h"
#include "designer/file_toolbar.h"

#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace ordavel {
namespace {

TEST(FileToolBar, ReportsButtonsAndMenuEntriesByCaption)
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
    EXPECT_EQ(spy[0][0].toString(), QStringLiteral("预览"));
    EXPECT_EQ(spy[1][0].toString(), QStringLiteral("另存为(&A)..."));
    EXPECT_EQ(spy[2][0].toString(), QStringLiteral("关于本软件(&A)..."));
    for (int index : {FileToolBar::Save, FileToolBar::Help}) {
        auto* button = qobject_cast<QToolButton*>(bar.widgetForAction(bar.entry(index)));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->popupMode(), QToolButton::MenuButtonPopup);
    }
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
    EXPECT_EQ(command[0][0].toString(), QStringLiteral("左对齐"));
}

} // namespace
} // namespace ordavel
