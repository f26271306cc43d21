#include "designer/barcode_control.h"

#include "designer/box_media.h"
#include "print/barcode_render.h"

#include <QLineEdit>
#include <QPainter>

#include <algorithm>

namespace ordavel {

BarcodeControl::BarcodeControl(QWidget* parent) : QWidget(parent), m_edit(new QLineEdit(this))
{
    m_edit->setObjectName(QStringLiteral("编辑框_条码数据"));
    m_edit->hide();
    connect(m_edit, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (m_updating)
            return;
        m_shown.attributes.text = fromQString(text);
        update();
        edited();
    });
}

void BarcodeControl::showBox(const Box& box)
{
    const QString text = toQString(box.attributes.text);
    if (m_edit->text() != text) {
        m_updating = true;
        m_edit->setText(text);
        m_updating = false;
    }
    if (m_hasShown && box.attributes == m_shown.attributes && box.printRect == m_shown.printRect)
        return;
    m_hasShown = true;
    m_shown = box;
    update();
}

void BarcodeControl::readInto(BoxAttributes& attributes) const { attributes.text = fromQString(m_edit->text()); }

void BarcodeControl::setDesignLook(bool design)
{
    m_edit->setVisible(!design);
    placeEdit();
    update();
}

void BarcodeControl::resizeEvent(QResizeEvent* /*event*/) { placeEdit(); }

void BarcodeControl::placeEdit()
{
    // In a low box the line takes at most half, so the symbol stays in sight.
    constexpr int kSmallestLine = 16;
    const int height = std::min(m_edit->sizeHint().height(), std::max(this->height() / 2, std::min(this->height(), kSmallestLine)));
    m_edit->setGeometry(0, this->height() - height, width(), height);
}

void BarcodeControl::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const int symbolHeight = m_edit->isVisible() ? height() - m_edit->height() : height();
    PainterSurface surface(painter, PainterSurface::Units::Pixels);
    drawBarcodeIn(m_shown, AreaRect{0.0, 0.0, static_cast<double>(width()), static_cast<double>(symbolHeight)},
                  logicalDpiX() / 25.4, surface);
    // Data that does not encode shows why, since nothing would print.
    const BarcodeEncoding encoding = encodeBarcode(m_shown.attributes.barcode.symbology, barcodeData(m_shown),
                                                   m_shown.attributes.barcode.ecc);
    if (!encoding.ok()) {
        painter.setPen(QColor(0xb0, 0x30, 0x30));
        painter.drawText(QRect(2, 0, width() - 4, symbolHeight), Qt::AlignCenter | Qt::TextWordWrap,
                         toQString(encoding.error));
    }
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace ordavel
