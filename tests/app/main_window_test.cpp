#include "window_fixture.h"

#include "designer/box_view.h"
#include "designer/control_toolbar.h"
#include "designer/file_toolbar.h"
#include "designer/paper_panel.h"
#include "designer/work_area.h"
#include "designer/workbench.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>

namespace ordavel {
namespace {

using MainWindowTest = WindowTest;

TEST_F(MainWindowTest, TitleAndSaveButtonFollowTheModifiedFlagAndTheName)
{
    QAction* save = window->fileToolBar()->entry(FileToolBar::Save);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Ordavel v1.65 - 未命名文档.oxf"));
    EXPECT_TRUE(save->isEnabled()); // untitled

    doc().addBox(BoxType::Label, 10, 10);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Ordavel v1.65 - 未命名文档.oxf *"));

    const std::string path = folder.filePath(QStringLiteral("saved.oxf")).toStdString();
    ASSERT_TRUE(saveDocument(doc(), path, prompter));
    doc().setFileName(path);
    doc().setTitle(false);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Ordavel v1.65 - ") + QString::fromStdString(path));
    EXPECT_FALSE(save->isEnabled()); // named and saved

    doc().setProperty(doc().currentBoxIndex(), "左边", 30);
    EXPECT_TRUE(window->windowTitle().endsWith(QStringLiteral(" *")));
    EXPECT_TRUE(save->isEnabled());
}

TEST_F(MainWindowTest, StatusBarHasFourPanelsWithTheModelsTexts)
{
    EXPECT_EQ(window->statusBar()->objectName(), QStringLiteral("状态条1"));
    const int widths[] = {120, 120, 160, 360};
    for (int panel = 0; panel < PanelCount; ++panel)
        EXPECT_EQ(window->statusPanel(panel)->width(), widths[panel]);
    EXPECT_EQ(window->statusPanel(PanelPaper)->text(), QStringLiteral("纸张:21x29厘米"));
    EXPECT_EQ(window->statusPanel(PanelBoard)->text(), QStringLiteral("画板:794x1096像素"));
    EXPECT_EQ(window->statusPanel(PanelMouse)->text(), QStringLiteral("X:    Y:"));
    EXPECT_EQ(window->statusPanel(PanelBox)->text(), QStringLiteral("没有选择控件"));

    QTest::mouseMove(window->workArea()->workbench(), QPoint(120, 45));
    EXPECT_EQ(window->statusPanel(PanelMouse)->text(), QStringLiteral("鼠标位置:X=120,Y=45"));
    // The grey margin left of the centred paper is outside the board.
    QTest::mouseMove(window->workArea(), QPoint(2, 300));
    EXPECT_EQ(window->statusPanel(PanelMouse)->text(), QStringLiteral("鼠标位置:出界"));
}

TEST_F(MainWindowTest, ModesSetToolbarsVisibilityAndLayout)
{
    FileToolBar* bar = window->fileToolBar();
    WorkArea* area = window->workArea();
    struct Expect {
        const char* caption;
        int checked;
        bool pageSetup, print, controls, workbench, check;
    };
    const Expect modes[] = {
        {"编辑", FileToolBar::Edit, false, true, false, true, false},
        {"预览", FileToolBar::Preview, false, true, false, false, true},
        {"设计", FileToolBar::Design, true, false, true, true, false},
    };
    const QRect designPanel = area->geometry();
    for (const Expect& m : modes) {
        window->dispatch(*commandCaptioned(QString::fromUtf8(m.caption)));
        SCOPED_TRACE(m.caption);
        for (int i : {FileToolBar::Design, FileToolBar::Edit, FileToolBar::Preview})
            EXPECT_EQ(bar->entry(i)->isChecked(), i == m.checked);
        EXPECT_EQ(bar->entry(FileToolBar::PageSetup)->isEnabled(), m.pageSetup);
        EXPECT_EQ(bar->entry(FileToolBar::Print)->isEnabled(), m.print);
        EXPECT_EQ(window->controlToolBar()->isVisible(), m.controls);
        EXPECT_EQ(area->workbench()->isVisible(), m.workbench);
        EXPECT_EQ(area->backgroundCheck()->isVisible(), m.check);
        if (!m.controls) {
            // Without the control toolbar the panel grows upward by its height.
            const int grown = window->controlToolBar()->sizeHint().height();
            EXPECT_EQ(area->geometry().top(), designPanel.top() - grown);
            EXPECT_EQ(area->geometry().bottom(), designPanel.bottom());
        }
    }
    EXPECT_EQ(area->geometry(), designPanel);
}

TEST_F(MainWindowTest, NarrowBoardIsCentredAndWideBoardScrolls)
{
    WorkArea* area = window->workArea();
    doc().setPageSizes(10, 5, 300, 200);
    // The rulers take the top and left strips; the layout has the rest.
    const int r = kRulerThickness;
    const int visibleWidth = area->width() - r - area->vBar()->width();
    EXPECT_EQ(area->paperPanel()->geometry(), QRect(r + (visibleWidth - 300 + 1) / 2, r + 5, 300, 200));
    EXPECT_EQ(area->workbench()->geometry(), QRect(0, 0, 300, 200));
    EXPECT_FALSE(area->hBar()->isVisible());
    EXPECT_FALSE(area->vBar()->isVisible());

    doc().setPageSizes(60, 5, 2000, 200);
    EXPECT_EQ(area->paperPanel()->x(), r + 5);
    ASSERT_TRUE(area->hBar()->isVisible());
    EXPECT_EQ(area->hBar()->maximum(), 5 + 2000 + area->vBar()->width() - (area->width() - r) + 10);
    EXPECT_EQ(area->hBar()->geometry().bottom(), area->height() - 1);
    EXPECT_EQ(area->hBar()->x(), r);
    EXPECT_EQ(area->hBar()->minimum(), 1);
    EXPECT_EQ(area->hBar()->singleStep(), 5);
    EXPECT_EQ(area->hBar()->pageStep(), 10);
    EXPECT_FALSE(area->filler()->isVisible());
    area->hBar()->setValue(300);
    EXPECT_EQ(area->paperPanel()->x(), r + 5 - 300);

    doc().setPageSizes(60, 60, 2000, 2000);
    EXPECT_TRUE(area->vBar()->isVisible());
    EXPECT_TRUE(area->filler()->isVisible());
    EXPECT_EQ(area->filler()->size(), QSize(18, 18));
    EXPECT_EQ(area->paperPanel()->pos(), QPoint(r + 5, r + 5)); // a new layout scrolls back
}

TEST_F(MainWindowTest, WheelScrollsTwelvePixelsWithinTheBarsRange)
{
    WorkArea* area = window->workArea();
    doc().setPageSizes(10, 10, 300, area->height() + 20);
    QScrollBar* bar = area->vBar();
    ASSERT_TRUE(bar->isVisible());
    const int maximum = bar->maximum();
    const int r = kRulerThickness;
    ASSERT_EQ(maximum, 5 + area->height() + 20 + 18 - (area->height() - r) + 10);
    auto turn = [&](QWidget* target, int delta) {
        QWheelEvent event(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    };
    turn(area->focusHolder(), -120);
    EXPECT_EQ(bar->value(), 1 + 12);
    EXPECT_EQ(area->paperPanel()->y(), r + 5 - 13);
    for (int i = 0; i < 6; ++i)
        turn(area->workbench(), -120);
    EXPECT_EQ(bar->value(), maximum);
    EXPECT_EQ(area->paperPanel()->y(), r + 5 - maximum);
    for (int i = 0; i < 6; ++i)
        turn(area->paperPanel(), 120);
    EXPECT_EQ(bar->value(), 1);

    // Over a box in design mode: the view keeps the wheel and the page takes one step.
    const int index = doc().addBox(BoxType::EditBox, 20, 20, 120, 28);
    window->dispatch(DesignerCommand::DesignMode);
    ASSERT_TRUE(bar->isVisible());
    turn(window->workArea()->boxView(index)->control(), -120);
    EXPECT_EQ(bar->value(), 1 + 12);

    // A board that fits shows no bar, and the wheel leaves the paper alone.
    doc().setPageSizes(10, 10, 300, 200);
    turn(area->focusHolder(), -120);
    turn(area, -120);
    EXPECT_EQ(area->paperPanel()->y(), r + 5);
}

TEST_F(MainWindowTest, TypingIntoATextBoxEntersTextOnlyInEditMode)
{
    const int index = doc().addBox(BoxType::EditBox, 20, 20, 120, 28);
    doc().setTitle(false);
    BoxView* view = window->workArea()->boxView(index);
    ASSERT_NE(view, nullptr);
    auto* edit = qobject_cast<QLineEdit*>(view->control());
    ASSERT_NE(edit, nullptr);
    QTest::keyClicks(edit, "abc");
    EXPECT_EQ(doc().box(index).attributes.text, "编辑框");
    EXPECT_FALSE(doc().modified());

    window->dispatch(DesignerCommand::EditMode);
    edit->setFocus();
    QTest::keyClicks(edit, "x");
    EXPECT_EQ(doc().box(index).attributes.text, "编辑框x");
    EXPECT_TRUE(doc().modified());
}

// Colour of the preview at the centre of a box's print rectangle.
QColor previewColourAt(MainWindow& window, const Box& box)
{
    const UnitFactors& f = window.document().factors();
    const QImage shot = window.workArea()->paperPanel()->grab().toImage();
    return shot.pixelColor(f.previewPxX(box.printRect.left + box.printRect.width / 2),
                           f.previewPxY(box.printRect.top + box.printRect.height / 2));
}

TEST_F(MainWindowTest, PreviewDrawsExactlyThePrintableBoxesAndNoEarlierTrace)
{
    const int red = doc().addBox(BoxType::ColorPicker, 20, 20, 60, 40);
    doc().box(red).attributes.color = 0x0000FF;
    const int blue = doc().addBox(BoxType::ColorPicker, 200, 20, 60, 40);
    doc().box(blue).attributes.color = 0xFF0000;
    doc().box(blue).isPrint = false;

    window->dispatch(DesignerCommand::PreviewMode);
    EXPECT_EQ(previewColourAt(*window, doc().box(red)), QColor(Qt::red));
    EXPECT_EQ(previewColourAt(*window, doc().box(blue)), QColor(Qt::white));
    EXPECT_FALSE(window->workArea()->backgroundCheck()->isChecked());

    const Box removed = doc().box(red);
    window->dispatch(DesignerCommand::DesignMode);
    doc().deleteBox(red);
    window->dispatch(DesignerCommand::PreviewMode);
    window->dispatch(DesignerCommand::PreviewMode);
    EXPECT_EQ(previewColourAt(*window, removed), QColor(Qt::white));
}

TEST_F(MainWindowTest, PreviewShowsTheBackgroundPictureOnlyWhileChecked)
{
    const std::string path = writeTemplate(QStringLiteral("bg.oxf"), [](Document& d) {
        QFile picture(QStringLiteral(ORDAVEL_TEST_DATA "/pictures/all-reds.gif"));
        ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
        d.page().background = picture.readAll().toStdString();
        d.page().imgShowType = 1; // stretched over the board
    });
    ASSERT_TRUE(window->openTemplate(path));
    window->dispatch(DesignerCommand::PreviewMode);
    PaperPanel* paper = window->workArea()->paperPanel();
    const QPoint middle(paper->width() / 2, paper->height() / 2);
    EXPECT_EQ(paper->grab().toImage().pixelColor(middle), QColor(Qt::white));
    window->workArea()->backgroundCheck()->setChecked(true);
    const QColor shown = paper->grab().toImage().pixelColor(middle); // a shade of red
    EXPECT_GT(shown.red(), 0);
    EXPECT_EQ(shown.green(), 0);
    EXPECT_EQ(shown.blue(), 0);
    window->workArea()->backgroundCheck()->setChecked(false);
    EXPECT_EQ(paper->grab().toImage().pixelColor(middle), QColor(Qt::white));
}

TEST_F(MainWindowTest, OpenedTemplateShowsItsBoardAndBoxesInEditMode)
{
    const std::string path = writeTemplate(QStringLiteral("form.oxf"), [](Document& d) {
        d.setPageSizes(12.5, 8, 472, 302);
        d.addBox(BoxType::Label, 30, 40, 100, 30);
        d.addBox(BoxType::EditBox, 30, 90, 100, 30);
    });
    ASSERT_TRUE(window->openTemplate(path));
    EXPECT_EQ(doc().appMode(), AppMode::EditMode);
    EXPECT_TRUE(window->fileToolBar()->entry(FileToolBar::Edit)->isChecked());
    EXPECT_EQ(window->workArea()->paperPanel()->size(), QSize(472, 302));
    EXPECT_EQ(window->statusPanel(PanelPaper)->text(), QStringLiteral("纸张:12.5x8厘米"));
    EXPECT_EQ(window->statusPanel(PanelBoard)->text(), QStringLiteral("画板:472x302像素"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Ordavel v1.65 - ") + QString::fromStdString(path));
    for (int index : {1, 2}) {
        BoxView* view = window->workArea()->boxView(index);
        ASSERT_NE(view, nullptr);
        EXPECT_TRUE(view->control()->isVisible());
        EXPECT_EQ(view->control()->parentWidget(), window->workArea()->workbench());
    }
}

} // namespace
} // namespace ordavel

namespace ordavel {
namespace {

TEST_F(MainWindowTest, AboutWindowShowsTheCloseLabelAndClosesOnAClick)
{
    window->dispatch(DesignerCommand::About);
    QPointer<SplashWindow> about = window->aboutWindow();
    ASSERT_TRUE(about);
    EXPECT_TRUE(about->aboutMode());
    EXPECT_TRUE(about->closeLabel()->isVisible());
    EXPECT_FALSE(about->statusLabel()->isVisible());
    QTest::mouseClick(about->closeLabel(), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_TRUE(about.isNull()); // closed and deleted

    window->dispatch(DesignerCommand::About);
    about = window->aboutWindow();
    ASSERT_TRUE(about);
    QTest::mouseClick(about, Qt::LeftButton, {}, QPoint(20, 20));
    QApplication::processEvents();
    EXPECT_TRUE(about.isNull());
}

TEST_F(MainWindowTest, HelpButtonOpensOneNonModalTipsWindow)
{
    window->dispatch(DesignerCommand::Help);
    HelpWindow* help = window->helpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_FALSE(help->isModal());
    help->next();
    window->dispatch(DesignerCommand::Help);
    EXPECT_EQ(window->helpWindow(), help); // the open window comes to the front
    EXPECT_EQ(help->tipIndex(), 2);
}

TEST_F(MainWindowTest, PrintToAFileThatCannotBeCreatedIsReported)
{
    doc().addBox(BoxType::EditBox, 10, 10);
    window->dispatch(DesignerCommand::EditMode);
    const std::string pdf = folder.filePath(QStringLiteral("no such folder/out.pdf")).toStdString();
    prompter.printers.push_back(true);
    prompter.printToFile = pdf;
    EXPECT_FALSE(window->print());
    EXPECT_EQ(prompter.requests, (std::vector<std::string>{"printer", "message"}));
    EXPECT_EQ(prompter.messages, (std::vector<Message>{Message{"创建文件失败，请重试。\r\n（" + pdf + "）", "打印文件",
                                                             MessageIcon::Stop, MessageButtons::Ok}}));
}

} // namespace
} // namespace ordavel
