// Makes samples/waybill.oxf: a synthetic pre-printed express waybill (a
// scan-like JPEG of printed frames and captions, of no real company) with
// boxes holding the data of one consignment, placed on the form's fields.
// Usage: make_waybill OUT.oxf [PREVIEW.png]; the preview is the printed page
// over the form, at 150 dpi.
#include "sample_form.h"

#include "model/document.h"
#include "platform/font_resolver.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>

#include <cstdio>

namespace {

using namespace ordavel;

// The paper: 23 x 12.7 cm; at 96 dpi the scan is 869 x 480 pixels, the board size.
constexpr float kPaperWidthCm = 23.0f;
constexpr float kPaperHeightCm = 12.7f;
constexpr int kWidth = 869;
constexpr int kHeight = 480;

const QColor kInk(196, 40, 48); // the form's red printing ink

void caption(QPainter& p, int x, int y, const char* text, int pixelSize = 11)
{
    QFont font = qtFont(FontSpec{"黑体", 9});
    font.setPixelSize(pixelSize);
    p.setFont(font);
    p.drawText(QPoint(x, y + pixelSize), QString::fromUtf8(text));
}

void tickBox(QPainter& p, int x, int y, const char* text)
{
    p.drawRect(x, y, 12, 12);
    caption(p, x + 17, y, text);
}

// Captions and frames in red, a fake waybill number with bars, then paper
// grain and a slight skew so that it looks scanned.
QImage drawForm()
{
    QImage form(kWidth, kHeight, QImage::Format_RGB32);
    form.fill(QColor(250, 248, 241));
    {
        QPainter p(&form);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(kWidth / 2.0, kHeight / 2.0);
        p.rotate(0.25);
        p.translate(-kWidth / 2.0, -kHeight / 2.0);
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(Qt::NoBrush);

        caption(p, 20, 14, "快递运单", 26);
        caption(p, 135, 26, "EXPRESS WAYBILL", 12);
        caption(p, 600, 44, "No. 7300 0000 0001", 12);
        QRandomGenerator bars(20240501);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 30, 30));
        for (int x = 600; x < 840;) {
            const int w = 1 + static_cast<int>(bars.bounded(3));
            p.drawRect(x, 12, w, 30);
            x += w + 1 + static_cast<int>(bars.bounded(3));
        }
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(Qt::NoBrush);

        p.drawRect(15, 65, 839, 400);
        p.drawLine(434, 65, 434, 255);
        for (const int y : {105, 145, 255, 305, 355})
            p.drawLine(15, y, 854, y);
        p.drawLine(434, 255, 434, 305);
        p.drawLine(644, 255, 644, 305);
        p.drawLine(434, 355, 434, 465);

        caption(p, 20, 69, "寄件人 姓名");
        caption(p, 439, 69, "收件人 姓名");
        caption(p, 20, 109, "电话");
        caption(p, 439, 109, "电话");
        caption(p, 20, 149, "寄件地址");
        caption(p, 439, 149, "收件地址");
        caption(p, 20, 259, "内容品名");
        caption(p, 439, 259, "重量(kg)");
        caption(p, 649, 259, "寄件日期");
        caption(p, 20, 312, "类别");
        tickBox(p, 80, 312, "文件");
        tickBox(p, 150, 312, "物品");
        caption(p, 260, 312, "付款方式");
        tickBox(p, 330, 312, "寄付");
        tickBox(p, 400, 312, "到付");
        caption(p, 20, 359, "寄件人签名");
        caption(p, 439, 359, "收件人签名");
        caption(p, 20, 440, "本运单为示例表格，仅供演示套打。", 10);
    }
    samples::addPaperGrain(form, 7, 0, 0, -2);
    return form;
}

void text(Document& doc, BoxType type, QRect field, const char* value, int points = 11)
{
    const int index = doc.addBox(type, field.left(), field.top(), field.width(), field.height());
    Box& box = doc.box(index);
    box.attributes.text = value;
    box.attributes.font = FontSpec{"宋体", points};
    box.attributes.textColor = 0x401010; // dark blue
    box.attributes.multiLine = std::string_view(value).find('\n') != std::string_view::npos;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: make_waybill OUT.oxf [PREVIEW.png]\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    Document doc(UnitFactors::fromDpi(96.0));
    doc.setPageSizes(kPaperWidthCm, kPaperHeightCm, kWidth, kHeight);
    doc.page().background = samples::jpegBytes(drawForm());
    doc.page().imgShowType = 0;
    doc.page().isPrintBgPic = false;

    text(doc, BoxType::EditBox, {95, 80, 300, 22}, "王小明");
    text(doc, BoxType::EditBox, {514, 80, 300, 22}, "李华");
    text(doc, BoxType::EditBox, {95, 120, 300, 22}, "010-5555 0101");
    text(doc, BoxType::EditBox, {514, 120, 300, 22}, "021-5555 0202");
    text(doc, BoxType::EditBox, {95, 152, 330, 60}, "北京市海淀区示例路12号\r\n3号楼502室");
    text(doc, BoxType::EditBox, {514, 152, 330, 60}, "上海市浦东新区样本街88弄\r\n6号1201室");
    text(doc, BoxType::EditBox, {95, 276, 330, 22}, "书籍 两册");
    text(doc, BoxType::EditBox, {514, 276, 120, 22}, "1.2");
    const int date = doc.addBox(BoxType::DatePicker, 724, 276, 125, 22);
    doc.box(date).attributes.dateTime = DateTime{2024, 5, 1, 9, 30, 0};
    doc.box(date).attributes.font = FontSpec{"宋体", 11};
    doc.box(date).dateFormat = 0;
    const int tick = doc.addBox(BoxType::Label, 151, 309, 16, 18);
    doc.box(tick).attributes.text = "√";
    doc.box(tick).attributes.font = FontSpec{"黑体", 12, true};
    doc.box(tick).attributes.textColor = 0x401010;
    const int paid = doc.addBox(BoxType::Label, 331, 309, 16, 18);
    doc.box(paid).attributes = doc.box(tick).attributes;

    doc.setAppMode(AppMode::EditMode);
    return samples::saveSample(doc, argc, argv);
}
