// Makes samples/bank_slip.oxf: a synthetic bank deposit slip (a scan-like
// JPEG of printed frames and captions, of no real bank) whose boxes take one
// payment from a data file: the amount in financial capitals, in words, with
// separators and one digit a cell over 亿千百十万千百十元角分 with a ¥ before
// the first, and the date in a cheque's capitals.
// Usage: make_bank_slip OUT.oxf [PREVIEW.png]; the preview is the form with
// the boxes' placeholders printed over it, at 150 dpi.
#include "sample_form.h"

#include "model/document.h"
#include "platform/font_resolver.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

namespace {

using namespace ordavel;

// The paper: 21 x 10 cm; at 96 dpi the scan is 794 x 378 pixels, the board size.
constexpr float kPaperWidthCm = 21.0f;
constexpr float kPaperHeightCm = 10.0f;
constexpr int kWidth = 794;
constexpr int kHeight = 378;

// The amount's cells: 11 of 21 px from x = 548, headed 亿 to 分.
constexpr int kCellsLeft = 548;
constexpr int kCellWidth = 21;
constexpr int kCells = 11;

const QColor kInk(32, 96, 64); // the form's green printing ink

void caption(QPainter& p, int x, int y, const char* text, int pixelSize = 12)
{
    QFont font = qtFont(FontSpec{"黑体", 9});
    font.setPixelSize(pixelSize);
    p.setFont(font);
    p.drawText(QPoint(x, y + pixelSize), QString::fromUtf8(text));
}

void centred(QPainter& p, QRect cell, const char* text, int pixelSize = 12)
{
    QFont font = qtFont(FontSpec{"黑体", 9});
    font.setPixelSize(pixelSize);
    p.setFont(font);
    p.drawText(cell, Qt::AlignCenter, QString::fromUtf8(text));
}

// Captions and frames in green, then paper grain and a slight skew so that
// it looks scanned.
QImage drawForm()
{
    QImage form(kWidth, kHeight, QImage::Format_RGB32);
    form.fill(QColor(247, 250, 244));
    {
        QPainter p(&form);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(kWidth / 2.0, kHeight / 2.0);
        p.rotate(-0.2);
        p.translate(-kWidth / 2.0, -kHeight / 2.0);
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(Qt::NoBrush);

        centred(p, QRect(0, 12, kWidth, 30), "示例银行 进账单（回单）", 22);
        p.drawLine(270, 44, 524, 44);
        p.drawLine(270, 47, 524, 47);
        caption(p, 470, 56, "日期");

        // Payer and payee, three rows each.
        p.drawRect(15, 80, 764, 250);
        p.drawLine(397, 80, 397, 185);
        for (const int y : {115, 150, 185, 250, 290})
            p.drawLine(15, y, 779, y);
        for (const int x : {15, 397}) {
            p.drawLine(x + 30, 80, x + 30, 185);
            p.drawLine(x + 100, 80, x + 100, 185);
        }
        centred(p, QRect(15, 80, 30, 105), "出\n票\n人");
        centred(p, QRect(397, 80, 30, 105), "收\n款\n人");
        const char* rows[] = {"全  称", "账  号", "开户银行"};
        for (int i = 0; i < 3; ++i) {
            centred(p, QRect(45, 80 + 35 * i, 70, 35), rows[i]);
            centred(p, QRect(427, 80 + 35 * i, 70, 35), rows[i]);
        }

        // The amount: in capitals on the left, one digit a cell on the right.
        p.drawLine(100, 185, 100, 250);
        centred(p, QRect(15, 185, 85, 65), "金额\n人民币\n(大写)");
        p.drawLine(kCellsLeft, 185, kCellsLeft, 250);
        p.drawLine(kCellsLeft, 205, 779, 205);
        const char* heads[kCells] = {"亿", "千", "百", "十", "万", "千", "百", "十", "元", "角", "分"};
        for (int i = 0; i < kCells; ++i) {
            const int x = kCellsLeft + kCellWidth * i;
            if (i > 0) {
                p.setPen(QPen(kInk, i == 8 || i == 2 || i == 5 ? 1.5 : 0.7));
                p.drawLine(x, 185, x, 250);
            }
            p.setPen(QPen(kInk, 1.5));
            centred(p, QRect(x, 185, kCellWidth, 20), heads[i], 11);
        }

        p.drawLine(100, 250, 100, 330);
        centred(p, QRect(15, 250, 85, 40), "用  途");
        p.drawLine(470, 250, 470, 290);
        centred(p, QRect(470, 250, 78, 40), "小写金额");
        p.drawLine(548, 250, 548, 290);
        centred(p, QRect(15, 290, 85, 40), "Amount\nin words", 11);
        caption(p, 20, 340, "本进账单为示例表格，仅供演示套打。", 10);
    }
    samples::addPaperGrain(form, 11, -2, 0, -2);
    return form;
}

int text(Document& doc, QRect field, const char* value, int points = 11)
{
    const int index = doc.addBox(BoxType::EditBox, field.left(), field.top(), field.width(), field.height());
    Box& box = doc.box(index);
    box.attributes.text = value;
    box.attributes.font = FontSpec{"宋体", points};
    box.attributes.textColor = 0x401010; // dark blue
    return index;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: make_bank_slip OUT.oxf [PREVIEW.png]\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    Document doc(UnitFactors::fromDpi(96.0));
    doc.setPageSizes(kPaperWidthCm, kPaperHeightCm, kWidth, kHeight);
    doc.page().background = samples::jpegBytes(drawForm());
    doc.page().imgShowType = 0;
    doc.page().isPrintBgPic = false;

    text(doc, {500, 54, 270, 20}, "${日期|票据日期}");
    text(doc, {120, 89, 270, 20}, "${出票人}");
    text(doc, {120, 124, 270, 20}, "${出票人账号}");
    text(doc, {120, 159, 270, 20}, "${出票人开户行}");
    text(doc, {502, 89, 270, 20}, "${收款人}");
    text(doc, {502, 124, 270, 20}, "${收款人账号}");
    text(doc, {502, 159, 270, 20}, "${收款人开户行}");
    text(doc, {108, 208, 432, 22}, "${金额|人民币大写}", 12);
    // Two decimals always, so that 分 is the last cell whatever the data holds
    // ("100050", "0.5").
    const int cells = text(doc, {kCellsLeft, 217, kCellWidth * kCells, 24}, "${金额|金额:2}", 13);
    doc.box(cells).attributes.cellCount = kCells;
    doc.box(cells).attributes.yenBeforeFirst = true;
    text(doc, {108, 261, 355, 20}, "${用途}");
    text(doc, {556, 261, 215, 20}, "¥${金额|金额}");
    text(doc, {108, 301, 664, 20}, "${金额|words} Yuan", 10);

    doc.setAppMode(AppMode::EditMode);
    return samples::saveSample(doc, argc, argv);
}
