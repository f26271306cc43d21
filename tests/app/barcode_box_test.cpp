// The barcode box in the main window: drawn from the toolbar, shown with its
// real symbol, typed into in EditMode and drawn in the preview.
#include "window_fixture.h"
#include "support/run_command.h"

#include "designer/barcode_control.h"
#include "designer/box_view.h"
#include "designer/mouse_controller.h"
#include "designer/paper_panel.h"
#include "designer/control_toolbar.h"
#include "designer/work_area.h"
#include "designer/workbench.h"

#include <QLineEdit>
#include <QTest>

namespace ordavel {
namespace {

class BarcodeBoxTest : public WindowTest {
protected:
    QWidget* bench() { return window->workArea()->workbench(); }
    BarcodeControl* control(int index)
    {
        return dynamic_cast<BarcodeControl*>(window->workArea()->boxView(index)->control());
    }
    void drawBarcode(QPoint from, QPoint to)
    {
        for (QAction* action : window->controlToolBar()->actions())
            if (action->text() == QStringLiteral("条码框"))
                action->trigger();
        QTest::mousePress(bench(), Qt::LeftButton, {}, from);
        QTest::mouseMove(bench(), to);
        QTest::mouseRelease(bench(), Qt::LeftButton, {}, to);
    }
    static int darkPixels(const QImage& image, const QRect& area)
    {
        int dark = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                dark += qGray(image.pixel(x, y)) < 100 ? 1 : 0;
        return dark;
    }
};

TEST_F(BarcodeBoxTest, ToolbarEntryFollowsTheColourBlock)
{
    const QList<QAction*> actions = window->controlToolBar()->actions();
    // The bar's own entries, then a separator, the see-through switch and the snapping box.
    ASSERT_EQ(actions.size(), ControlToolBar::Count + 3);
    EXPECT_EQ(actions[ControlToolBar::Count + 1], window->workArea()->seeThroughAction());
    EXPECT_EQ(actions[ControlToolBar::LastType - 1]->text(), QStringLiteral("颜色框"));
    EXPECT_EQ(actions[ControlToolBar::LastType]->text(), QStringLiteral("条码框"));
    EXPECT_FALSE(actions[ControlToolBar::LastType]->icon().isNull());
}

TEST_F(BarcodeBoxTest, DrawnBoxShowsItsSymbolAndTakesTypedDataInEditMode)
{
    drawBarcode(QPoint(40, 30), QPoint(240, 130));
    ASSERT_TRUE(doc().box(1).inUse);
    EXPECT_EQ(doc().box(1).type, BoxType::BarcodeBox);
    EXPECT_EQ(doc().box(1).editRect, (Rect{40, 30, 200, 100}));
    BarcodeControl* shown = control(1);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->objectName(), QStringLiteral("条码框_模板"));
    EXPECT_TRUE(shown->isVisible());
    EXPECT_FALSE(shown->dataEdit()->isVisible());
    EXPECT_GT(darkPixels(shown->grab().toImage(), QRect(5, 5, 190, 60)), 500);

    doc().setTitle(false);
    window->dispatch(DesignerCommand::EditMode);
    ASSERT_TRUE(shown->dataEdit()->isVisible());
    EXPECT_EQ(shown->dataEdit()->text(), QStringLiteral("12345678"));
    shown->dataEdit()->setFocus();
    shown->dataEdit()->selectAll();
    QTest::keyClicks(shown->dataEdit(), "SF42");
    EXPECT_EQ(doc().box(1).attributes.text, "SF42");
    EXPECT_TRUE(doc().modified());

    window->dispatch(DesignerCommand::DesignMode);
    EXPECT_FALSE(shown->dataEdit()->isVisible());
    // Keys are not data while designing.
    QTest::keyClicks(shown->dataEdit(), "x");
    EXPECT_EQ(doc().box(1).attributes.text, "SF42");
}

TEST_F(BarcodeBoxTest, PreviewShowsASymbolThatScans)
{
    const int index = doc().addBox(BoxType::BarcodeBox, 60, 40, 160, 160);
    doc().box(index).attributes.barcode.symbology = Symbology::QR;
    doc().box(index).attributes.text = "预览 ORDAVEL";
    doc().boxEdited(index);
    window->dispatch(DesignerCommand::PreviewMode);
    const QImage shot = window->workArea()->paperPanel()->grab().toImage();
    const QString file = folder.filePath(QStringLiteral("preview.png"));
    ASSERT_TRUE(shot.save(file));
    const auto read = test::runCommand("{ ZXingReader -bytes " + test::shellQuoted(file.toStdString()) + " 2>/dev/null; }");
    EXPECT_EQ(read.output, "预览 ORDAVEL");
}

} // namespace
} // namespace ordavel
