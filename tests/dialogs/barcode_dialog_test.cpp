#include "dialog_fixture.h"

#include "dialogs/barcode_dialog.h"
#include "dialogs/property_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

namespace ordavel {
namespace {

class BarcodeDialogTest : public DialogTest {
protected:
    int addBarcode()
    {
        const int index = doc.addBox(BoxType::BarcodeBox, 100, 50, 200, 120);
        doc.setTitle(false);
        return index;
    }
    static QComboBox* list(QWidget* d, const char* name) { return d->findChild<QComboBox*>(QString::fromUtf8(name)); }
    static QString problem(QWidget* d) { return d->findChild<QLabel*>(QStringLiteral("标签_条码提示"))->text(); }
    // Dark pixels in the preview.
    static int previewInk(QWidget* d)
    {
        const QImage shot = d->findChild<QWidget*>(QStringLiteral("画板_条码预览"))->grab().toImage();
        int dark = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                dark += qGray(shot.pixel(x, y)) < 100 ? 1 : 0;
        return dark;
    }
};

TEST_F(BarcodeDialogTest, SetsEverySettingOnOk)
{
    const int index = addBarcode();
    auto d = open<BarcodeDialog>(index);
    EXPECT_EQ(d->windowTitle(), QStringLiteral("条码框属性"));
    EXPECT_EQ(text(d.get(), "编辑框_条码数据"), QStringLiteral("12345678"));
    EXPECT_EQ(list(d.get(), "组合框_码制")->currentText(), QStringLiteral("Code128"));
    EXPECT_FALSE(list(d.get(), "组合框_纠错等级")->isEnabled()); // QR only

    list(d.get(), "组合框_码制")->setCurrentIndex(3);
    EXPECT_TRUE(list(d.get(), "组合框_纠错等级")->isEnabled());
    type(d.get(), "编辑框_条码数据", "运单 SF42");
    button(d.get(), "选择框_显示文字")->setChecked(false);
    type(d.get(), "编辑框_模块宽度", "0.4");
    list(d.get(), "组合框_纠错等级")->setCurrentIndex(3);
    list(d.get(), "组合框_旋转")->setCurrentIndex(2);
    prompter.colors = {0x0000FF, 0xEEFFEE};
    click(d.get(), "颜色选择器_条码颜色");
    click(d.get(), "颜色选择器_背景颜色");
    prompter.fonts.push_back(FontChoice{FontSpec{"黑体", 12, true, false, false, false}, 0});
    click(d.get(), "按钮_设置字体样式");
    click(d.get(), "选择框_固定打印位置");
    type(d.get(), "编辑框_打印时_宽度", "3.5");
    type(d.get(), "编辑框_打印时_高度", "3");
    EXPECT_EQ(problem(d.get()), QString());
    EXPECT_GT(previewInk(d.get()), 100);
    click(d.get(), "按钮_确定");

    EXPECT_EQ(d->result(), QDialog::Accepted);
    const Box& b = doc.box(index);
    EXPECT_EQ(b.attributes.text, "运单 SF42");
    EXPECT_EQ(b.attributes.barcode, (BarcodeSettings{Symbology::QR, false, 0.4, QrEcc::H, 180}));
    EXPECT_EQ(b.attributes.textColor, 0x0000FFu);
    EXPECT_EQ(b.attributes.bgColor, 0xEEFFEEu);
    EXPECT_EQ(b.attributes.font, (FontSpec{"黑体", 12, true, false, false, false}));
    EXPECT_DOUBLE_EQ(b.printRect.width, 3.5);
    EXPECT_DOUBLE_EQ(b.printRect.height, 3.0);
    EXPECT_FALSE(b.followsEdit);
    EXPECT_TRUE(doc.modified());
}

TEST_F(BarcodeDialogTest, SaysWhyNothingWouldPrintAndStillKeepsTheData)
{
    const int index = addBarcode();
    auto d = open<BarcodeDialog>(index);
    EXPECT_EQ(problem(d.get()), QString());
    const int ink = previewInk(d.get());
    EXPECT_GT(ink, 100);

    list(d.get(), "组合框_码制")->setCurrentIndex(1);
    type(d.get(), "编辑框_条码数据", "6901234567890");
    EXPECT_EQ(problem(d.get()), QStringLiteral("EAN-13 的校验位错误：最后一位应为 2。"));
    EXPECT_EQ(previewInk(d.get()), 0);
    type(d.get(), "编辑框_条码数据", "6901234567892");
    EXPECT_EQ(problem(d.get()), QString());

    // 95 + 18 modules need 9.6 mm at one 300 dpi dot each.
    click(d.get(), "选择框_固定打印位置");
    type(d.get(), "编辑框_打印时_宽度", "0.9");
    EXPECT_EQ(problem(d.get()), QStringLiteral("条码框太小，每个模块不足一个打印点，打印时不输出条码。"));

    type(d.get(), "编辑框_条码数据", "69012345678A");
    click(d.get(), "按钮_确定");
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(doc.box(index).attributes.text, "69012345678A");
    EXPECT_EQ(doc.box(index).attributes.barcode.symbology, Symbology::EAN13);
}

TEST_F(BarcodeDialogTest, OpensFromTheBoxOfItsType)
{
    const int index = addBarcode();
    doc.box(index).attributes.barcode.rotation = 270;
    BarcodeDialog d(nullptr, doc, index, prompter);
    d.load();
    EXPECT_EQ(list(&d, "组合框_旋转")->currentText(), QStringLiteral("270"));
    // Cancel writes nothing.
    type(&d, "编辑框_条码数据", "changed");
    click(&d, "按钮_取消");
    EXPECT_EQ(doc.box(index).attributes.text, "12345678");
    EXPECT_FALSE(doc.modified());
}

} // namespace
} // namespace ordavel
