// ordavel-screenshot: opens the designer window with a template and saves one
// PNG per mode (design, edit, preview) into a folder. Without a template it
// writes a sample waybill first (with the program's own writer) and opens that.
// Used by scripts/screenshot under Xvfb so that a person can look at the window.
#include "app/main_window.h"
#include "file/template_writer.h"
#include "platform/qt_prompter.h"
#include "platform/screen_factors.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QThread>

#include <cstdio>

namespace {

using namespace ordavel;

std::string jpegBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);
    return bytes.toStdString();
}

// A scan-like pre-printed waybill: red rules and captions on tinted paper.
QImage waybillScan(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(0xfd, 0xf6, 0xf0));
    QPainter p(&image);
    const QColor red(0xc8, 0x3a, 0x3a);
    p.setPen(QPen(red, 2));
    p.drawRect(20, 20, width - 40, height - 40);
    QFont font = p.font();
    font.setPixelSize(26);
    font.setBold(true);
    p.setFont(font);
    p.setPen(red);
    p.drawText(QRect(20, 24, width - 40, 40), Qt::AlignCenter, QStringLiteral("快 递 运 单"));
    font.setPixelSize(15);
    font.setBold(false);
    p.setFont(font);
    p.setPen(QPen(red, 1));
    const char* captions[] = {"寄件人", "电话", "寄件地址", "收件人", "收件地址", "物品", "日期"};
    for (int i = 0; i < 7; ++i) {
        const int y = 80 + i * 46;
        p.drawLine(30, y + 38, width - 30, y + 38);
        p.drawText(QRect(36, y, 90, 36), Qt::AlignVCenter | Qt::AlignLeft, QString::fromUtf8(captions[i]));
    }
    return image;
}

std::string writeSample(const QString& folder)
{
    Document doc(screenFactors());
    const int board = 820, boardHeight = 440;
    doc.setPageSizes(21.7, 11.64, board, boardHeight);
    doc.page().background = jpegBytes(waybillScan(board, boardHeight));
    doc.page().imgShowType = 0;
    auto text = [&](BoxType type, int left, int top, int width, int height, const char* value) {
        const int index = doc.addBox(type, left, top, width, height);
        doc.box(index).attributes.text = value;
        doc.box(index).attributes.font.size = 11;
        doc.boxEdited(index);
        return index;
    };
    text(BoxType::EditBox, 130, 86, 200, 28, "张小明");
    text(BoxType::EditBox, 130, 132, 200, 28, "138 0000 1234");
    text(BoxType::EditBox, 130, 178, 520, 28, "上海市徐汇区漕溪北路 88 号");
    text(BoxType::EditBox, 130, 224, 200, 28, "李华");
    text(BoxType::EditBox, 130, 270, 520, 28, "北京市海淀区中关村大街 1 号");
    const int goods = text(BoxType::ComboBox, 130, 316, 200, 28, "文件");
    doc.box(goods).attributes.items = {"文件", "衣物", "电子产品"};
    doc.box(goods).comboItems = ",文件,衣物,电子产品";
    const int date = doc.addBox(BoxType::DatePicker, 130, 362, 200, 28);
    doc.box(date).attributes.dateTime = DateTime{2026, 12, 8, 9, 30, 0};
    const int note = text(BoxType::Label, 560, 86, 200, 60, "已验视");
    doc.box(note).attributes.hAlign = 1;
    doc.box(note).attributes.vAlign = 1;
    doc.box(note).attributes.textColor = 0x0000C0;
    doc.box(note).attributes.effect = 0;
    const int stamp = doc.addBox(BoxType::ShapeBox, 680, 300, 90, 90);
    doc.box(stamp).attributes.shape = ShapeCircle;
    doc.box(stamp).attributes.lineColor = 0x3A3AC8;
    doc.box(stamp).attributes.lineWidth = 3;
    const int mark = doc.addBox(BoxType::ColorPicker, 560, 170, 40, 28);
    doc.box(mark).attributes.color = 0x5B9D2E;
    const int hidden = text(BoxType::EditBox, 560, 230, 180, 28, "内部备注(不打印)");
    doc.box(hidden).isPrint = false;
    doc.clearSelection();
    const std::string path = QDir(folder).filePath(QStringLiteral("sample-waybill.oxf")).toStdString();
    QtPrompter prompter;
    if (!saveDocument(doc, path, prompter))
        return {};
    return path;
}

void settle()
{
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(25);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: ordavel-screenshot OUT_DIR [TEMPLATE.oxf]\n");
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);

    ordavel::QtPrompter prompter;
    ordavel::MainWindow window(prompter, ordavel::screenFactors());
    prompter.setParent(&window);
    window.placeOnScreen();
    window.show();
    window.placeOnScreen();
    settle();
    const std::string templatePath = argc > 2 ? std::string(argv[2]) : writeSample(outDir);
    if (templatePath.empty() || !window.openTemplate(templatePath)) {
        std::fprintf(stderr, "ordavel-screenshot: the template did not load\n");
        return 1;
    }

    const struct {
        const char* caption;
        const char* file;
    } modes[] = {{"设计", "design.png"}, {"编辑", "edit.png"}, {"预览", "preview.png"}};
    for (const auto& mode : modes) {
        window.dispatch(QString::fromUtf8(mode.caption));
        settle();
        QPixmap shot = window.screen()->grabWindow(window.winId());
        if (shot.isNull() || shot.width() < 10)
            shot = window.grab();
        const QString path = outDir + QLatin1Char('/') + QString::fromUtf8(mode.file);
        if (!shot.save(path)) {
            std::fprintf(stderr, "ordavel-screenshot: cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return 0;
}
