#include "designer/toolbar_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace ordavel {

namespace {

// Every icon is drawn on a 24 x 24 grid; the pixmaps are made at twice that
// size so that they stay sharp on high-density screens.
using Drawer = std::function<void(QPainter&)>;

const QColor kInk(0x33, 0x3d, 0x4a);
const QColor kBlue(0x2f, 0x6f, 0xd0);
const QColor kPaper(0xfb, 0xfb, 0xf7);
const QColor kGreen(0x2e, 0x9d, 0x5b);
const QColor kRed(0xd0, 0x45, 0x3a);
const QColor kAmber(0xe8, 0xa3, 0x2c);

QPen pen(const QColor& color, double width = 1.6)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QIcon make(const Drawer& draw)
{
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pixmap(24 * scale, 24 * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void page(QPainter& p, const QRectF& r)
{
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - 5, r.top());
    path.lineTo(r.right(), r.top() + 5);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(pen(kInk));
    p.setBrush(kPaper);
    p.drawPath(path);
    p.drawLine(QPointF(r.right() - 5, r.top()), QPointF(r.right() - 5, r.top() + 5));
    p.drawLine(QPointF(r.right() - 5, r.top() + 5), QPointF(r.right(), r.top() + 5));
}

void newIcon(QPainter& p)
{
    page(p, QRectF(4.5, 2.5, 14, 19));
    p.setPen(pen(kGreen, 2.2));
    p.drawLine(QPointF(16, 14), QPointF(16, 22));
    p.drawLine(QPointF(12, 18), QPointF(20, 18));
}

void openIcon(QPainter& p)
{
    p.setPen(pen(kInk));
    p.setBrush(QColor(0xf3, 0xcf, 0x74));
    QPainterPath back;
    back.moveTo(2.5, 19.5);
    back.lineTo(2.5, 5.5);
    back.lineTo(9, 5.5);
    back.lineTo(11, 7.5);
    back.lineTo(19.5, 7.5);
    back.lineTo(19.5, 10);
    p.drawPath(back);
    p.setBrush(kAmber);
    QPainterPath front;
    front.moveTo(2.5, 19.5);
    front.lineTo(6, 10.5);
    front.lineTo(22, 10.5);
    front.lineTo(18.5, 19.5);
    front.closeSubpath();
    p.drawPath(front);
}

void saveIcon(QPainter& p)
{
    p.setPen(pen(kInk));
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(3.5, 3.5, 17, 17), 2, 2);
    p.setBrush(kPaper);
    p.drawRect(QRectF(7, 3.5, 10, 6));
    p.drawRect(QRectF(6.5, 13, 11, 7.5));
    p.setPen(pen(kInk, 1.2));
    p.drawLine(QPointF(8.5, 15.5), QPointF(15.5, 15.5));
    p.drawLine(QPointF(8.5, 18), QPointF(15.5, 18));
}

void pageSetupIcon(QPainter& p)
{
    page(p, QRectF(3.5, 2.5, 13, 18));
    p.setPen(pen(kBlue, 1.4));
    for (double y : {8.0, 11.0, 14.0})
        p.drawLine(QPointF(6, y), QPointF(13, y));
    // A set square over the page's corner: the paper size.
    p.setPen(pen(kInk));
    p.setBrush(QColor(0xf3, 0xcf, 0x74));
    QPainterPath ruler;
    ruler.moveTo(12, 21.5);
    ruler.lineTo(21.5, 21.5);
    ruler.lineTo(21.5, 12);
    ruler.closeSubpath();
    p.drawPath(ruler);
}

void designIcon(QPainter& p)
{
    p.setPen(QPen(kInk, 1.2, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(3.5, 6.5, 13, 11));
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    for (QPointF c : {QPointF(3.5, 6.5), QPointF(16.5, 6.5), QPointF(3.5, 17.5), QPointF(16.5, 17.5)})
        p.drawRect(QRectF(c.x() - 2, c.y() - 2, 4, 4));
    // A pencil across the frame.
    p.setPen(pen(kInk, 1.2));
    p.setBrush(kAmber);
    QPainterPath pencil;
    pencil.moveTo(12, 20);
    pencil.lineTo(20, 12);
    pencil.lineTo(22.5, 14.5);
    pencil.lineTo(14.5, 22.5);
    pencil.lineTo(11, 23);
    pencil.closeSubpath();
    p.drawPath(pencil);
}

void editIcon(QPainter& p)
{
    p.setPen(pen(kInk));
    p.setBrush(kPaper);
    p.drawRoundedRect(QRectF(2.5, 6.5, 19, 11), 2, 2);
    p.setPen(pen(kInk, 1.4));
    p.drawLine(QPointF(6, 12), QPointF(12, 12));
    p.setPen(pen(kBlue, 1.8));
    p.drawLine(QPointF(15, 4), QPointF(15, 20));
    p.drawLine(QPointF(13, 4), QPointF(17, 4));
    p.drawLine(QPointF(13, 20), QPointF(17, 20));
}

void previewIcon(QPainter& p)
{
    page(p, QRectF(3.5, 2.5, 13, 18));
    p.setPen(pen(kInk, 2.0));
    p.setBrush(QColor(0xd8, 0xe8, 0xfb));
    p.drawEllipse(QPointF(14, 13), 4.5, 4.5);
    p.setPen(pen(kInk, 2.8));
    p.drawLine(QPointF(17.5, 16.5), QPointF(21.5, 20.5));
}

void printIcon(QPainter& p)
{
    p.setPen(pen(kInk));
    p.setBrush(kPaper);
    p.drawRect(QRectF(7, 2.5, 10, 7));
    p.setBrush(QColor(0x8a, 0x96, 0xa6));
    p.drawRoundedRect(QRectF(2.5, 9, 19, 9), 2, 2);
    p.setBrush(kPaper);
    p.drawRect(QRectF(7, 14.5, 10, 7));
    p.setPen(pen(kBlue, 1.2));
    p.drawLine(QPointF(9, 17), QPointF(15, 17));
    p.drawLine(QPointF(9, 19.5), QPointF(13, 19.5));
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawEllipse(QPointF(18.5, 11.5), 1.2, 1.2);
}

void helpIcon(QPainter& p)
{
    p.setPen(pen(kBlue, 1.6));
    p.setBrush(QColor(0xd8, 0xe8, 0xfb));
    p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(14);
    p.setFont(font);
    p.setPen(kBlue);
    p.drawText(QRectF(2, 2, 20, 20), Qt::AlignCenter, QStringLiteral("?"));
}

void exitIcon(QPainter& p)
{
    p.setPen(pen(kInk));
    p.setBrush(QColor(0xc9, 0x8b, 0x55));
    p.drawRect(QRectF(3.5, 2.5, 11, 19));
    p.setPen(pen(kRed, 2.2));
    p.drawLine(QPointF(10, 12), QPointF(21, 12));
    p.drawLine(QPointF(17, 8), QPointF(21, 12));
    p.drawLine(QPointF(17, 16), QPointF(21, 12));
}

void textBoxIcon(QPainter& p)
{
    p.setPen(pen(kInk));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 6.5, 19, 11));
    QFont font = p.font();
    font.setPixelSize(9);
    p.setFont(font);
    p.drawText(QRectF(4, 6.5, 12, 11), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("ab"));
    p.setPen(pen(kBlue, 1.4));
    p.drawLine(QPointF(17, 9), QPointF(17, 15));
}

void labelIcon(QPainter& p)
{
    QFont font = p.font();
    font.setPixelSize(18);
    font.setBold(true);
    p.setFont(font);
    p.setPen(kInk);
    p.drawText(QRectF(0, 0, 24, 24), Qt::AlignCenter, QStringLiteral("A"));
    p.setPen(pen(kBlue, 1.4));
    p.drawLine(QPointF(4, 21.5), QPointF(20, 21.5));
}

void pictureIcon(QPainter& p)
{
    p.setPen(pen(kInk));
    p.setBrush(QColor(0xd8, 0xe8, 0xfb));
    p.drawRect(QRectF(2.5, 4.5, 19, 15));
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    QPainterPath hills;
    hills.moveTo(3.5, 18.5);
    hills.lineTo(9, 11);
    hills.lineTo(13, 15);
    hills.lineTo(16, 12);
    hills.lineTo(20.5, 18.5);
    hills.closeSubpath();
    p.drawPath(hills);
    p.setBrush(kAmber);
    p.drawEllipse(QPointF(16.5, 8.5), 2, 2);
}

void shapeIcon(QPainter& p)
{
    p.setPen(pen(kInk));
    p.setBrush(QColor(0xd8, 0xe8, 0xfb));
    p.drawRect(QRectF(2.5, 2.5, 12, 12));
    p.setBrush(QColor(0xf3, 0xcf, 0x74));
    p.drawEllipse(QRectF(9.5, 9.5, 12, 12));
}

void comboIcon(QPainter& p)
{
    p.setPen(pen(kInk));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 6.5, 19, 11));
    p.setBrush(QColor(0xe4, 0xe7, 0xeb));
    p.drawRect(QRectF(14.5, 6.5, 7, 11));
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    QPolygonF arrow{QPointF(16, 10.5), QPointF(20, 10.5), QPointF(18, 13.5)};
    p.drawPolygon(arrow);
    p.setPen(pen(kInk, 1.2));
    p.drawLine(QPointF(5, 12), QPointF(11, 12));
}

void dateIcon(QPainter& p)
{
    p.setPen(pen(kInk));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(3.5, 4.5, 17, 16), 1.5, 1.5);
    p.setBrush(kRed);
    p.drawRect(QRectF(3.5, 4.5, 17, 4.5));
    p.setPen(pen(kInk, 1.8));
    p.drawLine(QPointF(8, 2.5), QPointF(8, 6));
    p.drawLine(QPointF(16, 2.5), QPointF(16, 6));
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 3; ++col)
            p.drawRect(QRectF(6.5 + col * 4, 11.5 + row * 4, 2.5, 2.5));
}

void colorIcon(QPainter& p)
{
    const QColor colors[] = {kRed, kGreen, kBlue, kAmber};
    for (int i = 0; i < 4; ++i) {
        p.setPen(pen(kInk, 1.0));
        p.setBrush(colors[i]);
        p.drawRect(QRectF(3.5 + (i % 2) * 9, 3.5 + (i / 2) * 9, 8, 8));
    }
}

void barcodeIcon(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    const double bars[][2] = {{3, 1.5}, {5.5, 1}, {7.5, 2.5}, {11, 1}, {13, 1.5}, {15.5, 2.5}, {19, 1}, {20.5, 1}};
    for (const auto& bar : bars)
        p.drawRect(QRectF(bar[0], 3.5, bar[1], 14));
    p.setPen(pen(kInk, 1.0));
    p.drawLine(QPointF(3, 20.5), QPointF(21.5, 20.5));
}

void tableIcon(QPainter& p)
{
    p.setPen(pen(kInk, 1.2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 4.5, 19, 15));
    p.drawLine(QPointF(2.5, 9.5), QPointF(21.5, 9.5));
    p.drawLine(QPointF(2.5, 14.5), QPointF(21.5, 14.5));
    p.drawLine(QPointF(9, 4.5), QPointF(9, 19.5));
}

void alignLeftIcon(QPainter& p)
{
    p.setPen(pen(kRed, 1.6));
    p.drawLine(QPointF(3.5, 2.5), QPointF(3.5, 21.5));
    p.setPen(pen(kInk, 1.0));
    p.setBrush(QColor(0xd8, 0xe8, 0xfb));
    p.drawRect(QRectF(5.5, 5.5, 15, 5));
    p.drawRect(QRectF(5.5, 13.5, 9, 5));
}

} // namespace

QIcon toolbarIcon(const QString& caption)
{
    struct Entry {
        const char* caption;
        void (*draw)(QPainter&);
    };
    static const Entry entries[] = {
        {"新建", newIcon},       {"打开", openIcon},     {"保存", saveIcon},
        {"页面设置", pageSetupIcon}, {"设计", designIcon}, {"编辑", editIcon},
        {"预览", previewIcon},   {"打印", printIcon},    {"帮助", helpIcon},
        {"退出", exitIcon},      {"编辑框", textBoxIcon}, {"标签", labelIcon},
        {"图片框", pictureIcon}, {"外形框", shapeIcon},  {"组合框", comboIcon},
        {"日期框", dateIcon},    {"颜色框", colorIcon},  {"条码框", barcodeIcon}, {"数据表", tableIcon},
        {"左对齐", alignLeftIcon},
    };
    for (const Entry& entry : entries)
        if (caption == QString::fromUtf8(entry.caption))
            return make(entry.draw);
    return {};
}

} // namespace ordavel
