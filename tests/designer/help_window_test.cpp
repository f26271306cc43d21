#include "designer/help_window.h"

#include "designer/help_tips.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace ordavel {
namespace {

QString tipText(const HelpWindow& window) { return window.textField()->toPlainText(); }

TEST(HelpWindow, OpensOnTheWelcomeTipAndPagesWithWrapAround)
{
    HelpWindow window(nullptr);
    window.show();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("帮助"));
    EXPECT_FALSE(window.isModal());
    EXPECT_TRUE(tipText(window).startsWith(QStringLiteral("第1条：欢迎使用Ordavel")));

    QTest::mouseClick(window.previousButton(), Qt::LeftButton);
    EXPECT_EQ(window.tipIndex(), kTipCount);
    EXPECT_TRUE(tipText(window).startsWith(QStringLiteral("第23条：在编辑模式下录入数据时")));

    QTest::mouseClick(window.nextButton(), Qt::LeftButton);
    EXPECT_TRUE(tipText(window).startsWith(QStringLiteral("第1条：")));
    QTest::mouseClick(window.nextButton(), Qt::LeftButton);
    QTest::mouseClick(window.nextButton(), Qt::LeftButton);
    EXPECT_TRUE(tipText(window).startsWith(QStringLiteral("第3条：在页面点击鼠标右键选择")));
}

TEST(HelpWindow, TextTakesNoCaretAndSendsTheFocusToNext)
{
    HelpWindow window(nullptr);
    window.show();
    QApplication::setActiveWindow(&window);
    window.textField()->setFocus();
    QTest::mouseClick(window.textField()->viewport(), Qt::LeftButton, {}, QPoint(40, 20));
    EXPECT_TRUE(window.textField()->textCursor().selectedText().isEmpty());
    EXPECT_FALSE(window.textField()->hasFocus());
    EXPECT_TRUE(window.nextButton()->hasFocus());
    // Space on the focused button pages forward.
    QTest::keyClick(window.nextButton(), Qt::Key_Space);
    EXPECT_EQ(window.tipIndex(), 2);
}

TEST(HelpTips, TheTipsKeepTheirBeginningsAndDescribeTheProgramAsItIs)
{
    const char* beginnings[kTipCount] = {
        "欢迎使用Ordavel", "主界面分有", "在页面点击鼠标右键选择", "每一个控件都代表要打印的一个条目",
        "在设计界面或打印时无需考虑页边距的问题", "最新版本的Ordavel支持8种控件",
        "选择一个控件后,可以通过快捷键调整控件的位置和大小", "可以快速对选择的多个控件进行上、下、左、右对齐",
        "在设计模式下，使用工具条中的置等高、置等宽、等宽高三个按钮", "有两种方式往工作台上添加控件",
        "点击工具条上和‘删除’按钮可以删除当前选择的所有控件", "点击‘保存’按钮旁的小按钮会弹出‘另存为’菜单",
        "在需要添加多个同样属性的控件时", "如果设置了文本框为多行模式", "点击一个控件并拖动可以移动控件位置。",
        "点击（选择）一个控件，会在该控件四周出现8个蓝色方块", "双击工作台背景可以快速弹出‘打开文件’对话框。",
        "设置图片时，文件不宜太大，会影响效率。", "添加控件新方式→画控件", "使用文本框、标签、组合框、日期框时需要注意",
        "批量打印", "打印位置有偏差时", "在编辑模式下录入数据时"};
    for (int n = 1; n <= kTipCount; ++n) {
        const std::string expected = "第" + std::to_string(n) + "条：" + beginnings[n - 1];
        EXPECT_EQ(numberedTip(n).rfind(expected, 0), 0u) << n;
    }
    EXPECT_EQ(numberedTip(15), "第15条：点击一个控件并拖动可以移动控件位置。");
    // Nothing left over from unfinished drafts, and each box type has its line.
    for (const std::string& tip : helpTips()) {
        EXPECT_EQ(tip.find("++++"), std::string::npos) << tip;
        EXPECT_EQ(tip.find("……"), std::string::npos) << tip;
    }
    for (const char* type : {"1、编辑框", "2、标签", "3、图片框", "4、外形框", "5、组合框", "6、日期框", "7、颜色框", "8、条码框"})
        EXPECT_NE(helpTips()[5].find(type), std::string::npos) << type;
    // The keyboard tip names the plain and Shift moves and the zoom.
    for (const char* key : {"方向键：移动1个像素", "Shift+方向键：移动10个像素", "缩放画板"})
        EXPECT_NE(helpTips()[6].find(key), std::string::npos) << key;
}

} // namespace
} // namespace ordavel
