#include "designer/page_setup_dialog.h"

#include "model/document.h"
#include "support/scripted_prompter.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFocusEvent>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <gtest/gtest.h>

namespace ordavel {
namespace {

constexpr const char* kReds = ORDAVEL_TEST_DATA "/pictures/all-reds.gif"; // 16 x 16

class PageSetup : public ::testing::Test {
protected:
    PageSetupDialog& open()
    {
        dialog = std::make_unique<PageSetupDialog>(doc, prompter);
        return *dialog;
    }
    static void leave(QLineEdit* field)
    {
        QFocusEvent event(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(field, &event);
    }
    static std::string text(const QLineEdit* field) { return field->text().toStdString(); }
    // A fresh picture file of the given size.
    std::string writePicture(const QString& name, int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::gray);
        const QString path = folder.filePath(name);
        EXPECT_TRUE(image.save(path, "JPG"));
        return path.toStdString();
    }
    void useBackground(const std::string& path)
    {
        QFile file(QString::fromStdString(path));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        doc.page().background = file.readAll().toStdString();
        doc.page().backgroundPath = path;
    }
    Message warning(const std::string& text) const
    {
        return Message{text, "页面设置", MessageIcon::Exclamation, MessageButtons::Ok};
    }

    QTemporaryDir folder;
    Document doc;
    ScriptedPrompter prompter;
    std::unique_ptr<PageSetupDialog> dialog;
};

TEST_F(PageSetup, OpensWithThePageAndThePaperDrivesTheBoardUnlessFitting)
{
    doc.page().imgShowType = 2;
    PageSetupDialog& d = open();
    EXPECT_EQ(d.windowTitle().toStdString(), "页面设置");
    EXPECT_EQ(text(d.paperWidthField()), "21");
    EXPECT_EQ(text(d.paperHeightField()), "29");
    EXPECT_EQ(text(d.boardWidthField()), "794");
    EXPECT_EQ(text(d.boardHeightField()), "1096");
    EXPECT_TRUE(d.modeButton(2)->isChecked());
    EXPECT_FALSE(d.fitCheck()->isChecked());

    d.paperWidthField()->setText("10");
    EXPECT_EQ(text(d.boardWidthField()), "378"); // 10 x 37.795... rounded
    d.paperHeightField()->setText("2.5");
    EXPECT_EQ(text(d.boardHeightField()), "94");
    d.fitCheck()->click();
    EXPECT_FALSE(d.boardWidthField()->isEnabled());
    EXPECT_FALSE(d.boardHeightField()->isEnabled());
    d.paperWidthField()->setText("20");
    EXPECT_EQ(text(d.boardWidthField()), "378");
}

TEST_F(PageSetup, LeavingASizeFieldWarnsAboutTooSmallValues)
{
    PageSetupDialog& d = open();
    d.paperHeightField()->setText("0");
    leave(d.paperHeightField());
    d.paperWidthField()->setText("-3");
    leave(d.paperWidthField());
    d.boardWidthField()->setText("37");
    leave(d.boardWidthField());
    ASSERT_EQ(prompter.messages.size(), 3u);
    EXPECT_EQ(prompter.messages[0], warning("纸张高度、宽度值必须大于0"));
    EXPECT_EQ(prompter.messages[1], warning("纸张高度、宽度值必须大于0"));
    EXPECT_EQ(prompter.messages[2], warning("画板高度、宽度值必须大于37.79527559055"));

    d.boardWidthField()->setText("38");
    leave(d.boardWidthField());
    d.boardHeightField()->setText("38");
    leave(d.boardHeightField());
    d.paperWidthField()->setText("1");
    leave(d.paperWidthField());
    EXPECT_EQ(prompter.messages.size(), 3u);
}

TEST_F(PageSetup, PaperSizesAreKeptWithinOneToFiveHundredCentimetres)
{
    const Message range = warning("纸张的宽度和高度必须在 1 到 500 厘米之间。");
    PageSetupDialog& d = open();
    for (const char* value : {"0.99", "500.01", "2123"}) {
        SCOPED_TRACE(value);
        prompter.messages.clear();
        d.paperWidthField()->setText(QString::fromUtf8(value));
        leave(d.paperWidthField());
        d.okButton()->click();
        ASSERT_EQ(prompter.messages.size(), 2u);
        EXPECT_EQ(prompter.messages[0], range);
        EXPECT_EQ(prompter.messages[1], range);
        EXPECT_NE(d.result(), QDialog::Accepted);
        EXPECT_EQ(doc.page().pageWidth, 21.0f);
        EXPECT_EQ(doc.page().boardWidth, 794);
    }
    prompter.messages.clear();
    d.paperWidthField()->setText("500");
    d.paperHeightField()->setText("1");
    leave(d.paperWidthField());
    d.okButton()->click();
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(doc.page().pageWidth, 500.0f);
    EXPECT_EQ(doc.page().pageHeight, 1.0f);
}

TEST_F(PageSetup, ABackgroundThatCannotBeShownIsRefusedWhenChosen)
{
    useBackground(kReds);
    PageSetupDialog& d = open();
    const std::string png = folder.filePath(QStringLiteral("scan.png")).toStdString();
    QImage scan(40, 30, QImage::Format_RGB32);
    scan.fill(Qt::gray);
    ASSERT_TRUE(scan.save(QString::fromStdString(png), "PNG"));
    const std::string broken = ORDAVEL_TEST_DATA "/pictures/invalid.1.bmp";
    prompter.files = {png, broken, folder.filePath(QStringLiteral("missing.jpg")).toStdString()};
    for (int i = 0; i < 3; ++i)
        d.chooseButton()->click();
    ASSERT_EQ(prompter.messages.size(), 3u);
    EXPECT_EQ(prompter.messages[0],
              warning("无法使用这个图片：不能使用PNG格式的图片，请先把它转换成BMP、JPEG或GIF格式。\r\n（" + png + "）"));
    EXPECT_EQ(prompter.messages[1], warning("无法使用这个图片：图片文件已损坏，读不出图片。\r\n（" + broken + "）"));
    EXPECT_EQ(prompter.messages[2].caption, "页面设置");
    // The background chosen before is kept.
    EXPECT_EQ(d.pathField()->text().toStdString(), kReds);
    d.okButton()->click();
    EXPECT_EQ(doc.page().backgroundPath, kReds);
}

TEST_F(PageSetup, OkRefusesInvalidSizesAndKeepsTheDialogOpen)
{
    PageSetupDialog& d = open();
    d.paperHeightField()->setText("0");
    d.okButton()->click();
    d.paperHeightField()->setText("29");
    d.boardWidthField()->setText("0");
    d.okButton()->click();
    d.boardWidthField()->setText("800");
    d.fitCheck()->click();
    d.okButton()->click(); // fitting without a picture
    ASSERT_EQ(prompter.messages.size(), 3u);
    const Message error{"报表及打印时纸张的大小必须大于0。", "页面设置", MessageIcon::Stop, MessageButtons::Ok};
    EXPECT_EQ(prompter.messages[0], error);
    EXPECT_EQ(prompter.messages[1], error);
    EXPECT_EQ(prompter.messages[2], warning("选择了 **根据图像自动调整画板的高度和宽度** 项，但是没有选择底图文件。"));
    EXPECT_NE(d.result(), QDialog::Accepted);
    EXPECT_EQ(doc.page().pageHeight, 29.0f);
    EXPECT_FALSE(doc.modified());

    // A picture that does not decode has no size to fit to.
    d.pathField()->setText(QString::fromUtf8(ORDAVEL_TEST_DATA "/pictures/invalid.1.png"));
    d.okButton()->click();
    EXPECT_EQ(prompter.messages.back(), error);
    EXPECT_EQ(doc.page().boardWidth, 794);
}

TEST_F(PageSetup, FitTakesPaperAndBoardFromAScanAndIsShownCheckedAgain)
{
    const std::string scan = writePicture("scan.jpg", 2480, 3508);
    PageSetupDialog& d = open();
    d.pathField()->setText(QString::fromStdString(scan));
    d.fitCheck()->click();
    d.okButton()->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    const PageSettings& page = doc.page();
    EXPECT_EQ(page.pageWidth, static_cast<float>(roundTo(2480 / doc.factors().boxPxPerCmX, 2)));
    EXPECT_EQ(page.pageHeight, static_cast<float>(roundTo(3508 / doc.factors().boxPxPerCmY, 2)));
    EXPECT_EQ(page.boardWidth, 2480);
    EXPECT_EQ(page.boardHeight, 3508);
    EXPECT_EQ(page.backgroundPath, scan);
    EXPECT_FALSE(page.background.empty());
    EXPECT_EQ(doc.statusText(PanelPaper), "纸张:65.62x92.82厘米");
    EXPECT_TRUE(doc.modified());

    PageSetupDialog& again = open();
    EXPECT_TRUE(again.fitCheck()->isChecked());
    EXPECT_FALSE(again.boardWidthField()->isEnabled());
    EXPECT_EQ(again.pathField()->text().toStdString(), scan);
}

TEST_F(PageSetup, OkAppliesBoardPictureModeColourAndPrintFlag)
{
    PageSetupDialog& d = open();
    d.paperWidthField()->setText(QString::fromUtf8(" 12.5\u3000")); // blanks around are ignored
    d.boardWidthField()->setText("500px");
    d.boardHeightField()->setText("400");
    d.pathField()->setText(QString::fromUtf8(kReds));
    d.modeButton(1)->click();
    d.printCheck()->click();
    prompter.colors = {Color{0x00FF00}};
    d.colorButton()->click();
    d.okButton()->click();
    const PageSettings& page = doc.page();
    EXPECT_EQ(page.pageWidth, 12.5f);
    EXPECT_EQ(page.boardWidth, 500);
    EXPECT_EQ(page.boardHeight, 400);
    EXPECT_EQ(page.imgShowType, 1);
    EXPECT_EQ(page.bgColor, Color{0x00FF00}); // over the white of the new board size
    EXPECT_TRUE(page.isPrintBgPic);
    EXPECT_EQ(page.backgroundPath, kReds);
    EXPECT_EQ(page.background.size(), static_cast<std::size_t>(QFile(QString::fromUtf8(kReds)).size()));
    EXPECT_EQ(doc.statusText(PanelBoard), "画板:500x400像素");
}

TEST_F(PageSetup, CancelledChooserOrClearRemovesTheBackground)
{
    useBackground(kReds);
    PageSetupDialog& d = open();
    EXPECT_EQ(d.pathField()->text().toStdString(), kReds);
    d.chooseButton()->click(); // the scripted chooser cancels
    ASSERT_EQ(prompter.fileChoices.size(), 1u);
    const FileChoice& choice = prompter.fileChoices[0];
    EXPECT_EQ(choice.title, "选择页面底图");
    EXPECT_EQ(choice.filter, "所有图片文件(不能打开.png文件)|*.bmp;*.jpg;*.jpeg;*.jpe;*.gif|所有文件(*.*)|*.*");
    EXPECT_EQ(choice.defaultExtension, ".jpg");
    EXPECT_TRUE(d.pathField()->text().isEmpty());
    EXPECT_FALSE(doc.page().background.empty()); // only OK applies it
    d.okButton()->click();
    EXPECT_TRUE(doc.page().background.empty());
    EXPECT_TRUE(doc.page().backgroundPath.empty());

    // "清除图片(&C)" acts at once; Cancel does not bring the picture back.
    useBackground(kReds);
    doc.setTitle(false);
    PageSetupDialog& second = open();
    second.clearButton()->click();
    second.cancelButton()->click();
    EXPECT_TRUE(doc.page().background.empty());
    EXPECT_TRUE(doc.page().backgroundPath.empty());
    EXPECT_TRUE(doc.modified());
}

} // namespace
} // namespace ordavel
