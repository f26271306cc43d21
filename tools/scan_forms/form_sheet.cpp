#include "form_sheet.h"

#include <QFontMetricsF>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace ordavel::scanforms {

namespace {

QColor orDefault(const QColor& c, const QColor& fallback)
{
    return c.isValid() ? c : fallback;
}

} // namespace

Sheet::Sheet(double widthCm, double heightCm, double dpi, const SheetStyle& style)
    : m_widthCm(widthCm), m_heightCm(heightCm), m_dpi(dpi), m_style(style),
      m_image(static_cast<int>(std::lround(widthCm * dpi / 2.54)), static_cast<int>(std::lround(heightCm * dpi / 2.54)),
              QImage::Format_RGB32)
{
    m_image.fill(style.paper);
    const int dpm = static_cast<int>(std::lround(dpi / 0.0254));
    m_image.setDotsPerMeterX(dpm);
    m_image.setDotsPerMeterY(dpm);
    m_painter.begin(&m_image);
    m_painter.setRenderHint(QPainter::Antialiasing, true);
    m_painter.setRenderHint(QPainter::TextAntialiasing, true);
}

QFont Sheet::font(double pt, const QString& family, bool bold) const
{
    QFont f(family.isEmpty() ? m_style.captionFont : family);
    f.setPixelSize(std::max(4, static_cast<int>(std::lround(pt / 72.0 * m_dpi))));
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

void Sheet::line(double x1, double y1, double x2, double y2, double widthCm, Qt::PenStyle pen)
{
    // Dots under two pixels wide would fade to grey; leaders print as solid dots.
    QPen p(m_style.rule, std::max(pen == Qt::DotLine ? 2.0 : 1.0, px(widthCm > 0 ? widthCm : m_style.ruleCm)), pen,
           Qt::FlatCap);
    m_painter.setPen(p);
    m_painter.drawLine(QPointF(px(x1), px(y1)), QPointF(px(x2), px(y2)));
}

void Sheet::frame(const QRectF& cm, double widthCm)
{
    QPen p(m_style.rule, std::max(1.0, px(widthCm > 0 ? widthCm : m_style.ruleCm)), Qt::SolidLine, Qt::SquareCap,
           Qt::MiterJoin);
    m_painter.setPen(p);
    m_painter.setBrush(Qt::NoBrush);
    m_painter.drawRect(pxRect(cm));
}

double Sheet::textWidth(const QString& s, double pt, const QString& family, bool bold) const
{
    const QFontMetricsF metrics(font(pt, family, bold), &m_image);
    return metrics.horizontalAdvance(s) * 2.54 / m_dpi;
}

double Sheet::text(double x, double yMid, const QString& s, double pt, const QString& family, bool bold,
                   const QColor& colour)
{
    const QFont f = font(pt, family, bold);
    const QFontMetricsF metrics(f, &m_image);
    m_painter.setFont(f);
    m_painter.setPen(orDefault(colour, m_style.text));
    const double baseline = px(yMid) + (metrics.ascent() - metrics.descent()) / 2.0;
    m_painter.drawText(QPointF(px(x), baseline), s);
    return metrics.horizontalAdvance(s) * 2.54 / m_dpi;
}

void Sheet::centredText(const QRectF& cm, const QString& s, double pt, const QString& family, bool bold)
{
    const double w = textWidth(s, pt, family, bold);
    text(cm.center().x() - w / 2.0, cm.center().y(), s, pt, family, bold);
}

QString Sheet::captionText(const std::string& caption) const
{
    QString s = QString::fromStdString(caption);
    if (m_style.colonAfterCaption)
        s += m_style.language == "zh" ? QStringLiteral("：") : QStringLiteral(":");
    return s;
}

void Sheet::addField(const QRectF& cm, const std::string& kind, const std::string& caption)
{
    if (cm.width() <= 0.05 || cm.height() <= 0.05)
        return;
    m_fields.push_back({pxRect(cm), kind, caption, m_style.language});
}

void Sheet::valueCell(const QRectF& cm, const std::string& caption)
{
    frame(cm);
    addField(cm, "cell", caption);
}

void Sheet::labelCell(const QRectF& cm, const std::string& caption, double pt)
{
    frame(cm);
    const double size = pt > 0 ? pt : m_style.captionPt;
    QString s = QString::fromStdString(caption);
    // A caption too wide for its cell is set smaller, as a form designer would.
    double use = size;
    while (use > 6 && textWidth(s, use) > cm.width() - 0.2)
        use -= 0.5;
    centredText(cm, s, use);
}

void Sheet::captionLeftCell(const QRectF& cm, const std::string& caption)
{
    frame(cm);
    const double w = text(cm.x() + 0.15, cm.center().y(), captionText(caption), m_style.captionPt);
    const double x = cm.x() + 0.15 + w + 0.1;
    addField(QRectF(x, cm.y(), cm.right() - x, cm.height()), "cell", caption);
}

void Sheet::captionAboveCell(const QRectF& cm, const std::string& caption)
{
    frame(cm);
    const double pt = m_style.captionPt * 0.8;
    const double h = lineHeight(pt);
    text(cm.x() + 0.12, cm.y() + 0.08 + h / 2.0, QString::fromStdString(caption), pt);
    const double top = cm.y() + 0.08 + h + 0.05;
    addField(QRectF(cm.x(), top, cm.width(), cm.bottom() - top), "cell", caption);
}

double Sheet::underline(double x, double y, double xEnd, const std::string& caption, bool dotted)
{
    const double th = lineHeight(m_style.captionPt);
    double start = x;
    if (!caption.empty())
        start = x + text(x, y - th / 2.0 - 0.06, captionText(caption), m_style.captionPt) + 0.1;
    if (xEnd - start < 0.5)
        return x;
    line(start, y, xEnd, y, dotted ? m_style.ruleCm * 1.3 : 0, dotted ? Qt::DotLine : Qt::SolidLine);
    const double h = std::max(0.6, th * 1.5);
    addField(QRectF(start, y - h, xEnd - start, h), "underline", caption);
    return xEnd;
}

double Sheet::openBlank(double x, double yMid, double xEnd, const std::string& caption)
{
    const double start = x + text(x, yMid, captionText(caption), m_style.captionPt) + 0.05;
    const double h = lineHeight(m_style.captionPt) * 1.4;
    addField(QRectF(start, yMid - h / 2.0, xEnd - start, h), "blank", caption);
    return xEnd;
}

double Sheet::checkbox(double x, double yMid, double sideCm, const std::string& label)
{
    const QRectF box(x, yMid - sideCm / 2.0, sideCm, sideCm);
    frame(box);
    addField(box, "checkbox", label);
    return x + sideCm + 0.12 + text(x + sideCm + 0.12, yMid, QString::fromStdString(label), m_style.captionPt);
}

void Sheet::digitCells(const QRectF& cm, int n, const std::string& caption)
{
    frame(cm);
    const double w = cm.width() / n;
    for (int i = 1; i < n; ++i)
        line(cm.x() + i * w, cm.y(), cm.x() + i * w, cm.bottom());
    addField(cm, "digit_cells", caption);
}

double Sheet::unitRun(double x, double y, const std::vector<std::string>& units, double blankCm, bool underlined)
{
    const double th = lineHeight(m_style.captionPt);
    const double h = std::max(0.6, th * 1.5);
    for (const std::string& unit : units) {
        if (underlined)
            line(x, y, x + blankCm, y);
        addField(underlined ? QRectF(x, y - h, blankCm, h) : QRectF(x, y - th / 2.0 - h / 2.0 - 0.06, blankCm, h),
                 underlined ? "underline" : "blank", unit);
        x += blankCm + 0.05;
        x += text(x, y - th / 2.0 - 0.06, QString::fromStdString(unit), m_style.captionPt) + 0.1;
    }
    return x;
}

void Sheet::title(double yMid, const QString& s, double pt)
{
    const QString family = m_style.titleFont.isEmpty() ? m_style.captionFont : m_style.titleFont;
    const double w = textWidth(s, pt, family, true);
    text((m_widthCm - w) / 2.0, yMid, s, pt, family, true);
}

void Sheet::stamp(double cx, double cy, double radiusCm, const QString& ring, Rng& rng)
{
    // A red seal pressed over the printing: ring, star and text, unevenly inked.
    std::uniform_int_distribution<int> alpha(120, 200);
    const QColor red(220, 30, 40, alpha(rng));
    m_painter.save();
    m_painter.setCompositionMode(QPainter::CompositionMode_Multiply);
    m_painter.translate(px(cx), px(cy));
    std::uniform_real_distribution<double> turn(-25, 25);
    m_painter.rotate(turn(rng));
    m_painter.setPen(QPen(red, px(0.08)));
    m_painter.setBrush(Qt::NoBrush);
    const double r = px(radiusCm);
    m_painter.drawEllipse(QPointF(0, 0), r, r);
    QPainterPath star;
    for (int i = 0; i < 10; ++i) {
        const double a = -M_PI / 2 + i * M_PI / 5;
        const double rr = (i % 2 == 0 ? 0.28 : 0.11) * r;
        const QPointF p(rr * std::cos(a), rr * std::sin(a));
        if (i == 0)
            star.moveTo(p);
        else
            star.lineTo(p);
    }
    star.closeSubpath();
    m_painter.fillPath(star, red);
    QFont f(m_style.captionFont);
    f.setPixelSize(static_cast<int>(r * 0.22));
    f.setBold(true);
    m_painter.setFont(f);
    m_painter.setPen(red);
    const int n = static_cast<int>(ring.size());
    for (int i = 0; i < n; ++i) {
        m_painter.save();
        const double a = -150.0 + 300.0 * (n == 1 ? 0.5 : static_cast<double>(i) / (n - 1));
        m_painter.rotate(a);
        m_painter.drawText(QPointF(-r * 0.1, -r * 0.62), ring.mid(i, 1));
        m_painter.restore();
    }
    m_painter.restore();
}

void Sheet::watermark(const QString& s, Rng& rng)
{
    std::uniform_int_distribution<int> shade(225, 240);
    const int v = shade(rng);
    QColor c = m_style.rule;
    c = QColor((c.red() + 3 * v) / 4, (c.green() + 3 * v) / 4, (c.blue() + 3 * v) / 4);
    m_painter.save();
    QFont f(m_style.captionFont);
    f.setPixelSize(static_cast<int>(px(0.8)));
    m_painter.setFont(f);
    m_painter.setPen(c);
    m_painter.rotate(-30);
    const double step = px(4.0);
    for (double y = -px(m_heightCm); y < px(m_heightCm) * 1.5; y += step * 0.6)
        for (double x = -px(m_widthCm); x < px(m_widthCm) * 1.5; x += step)
            m_painter.drawText(QPointF(x, y), s);
    m_painter.restore();
}

void Sheet::tractorHoles(double marginCm)
{
    // Continuous stationery: holes every half inch down both edges and the perforation beside them.
    m_painter.save();
    m_painter.setPen(QPen(QColor(150, 150, 150), 1));
    m_painter.setBrush(QColor(70, 70, 70));
    const double r = px(0.2);
    for (double y = 0.635; y < m_heightCm; y += 1.27) {
        m_painter.drawEllipse(QPointF(px(marginCm / 2), px(y)), r, r);
        m_painter.drawEllipse(QPointF(px(m_widthCm - marginCm / 2), px(y)), r, r);
    }
    m_painter.setPen(QPen(QColor(170, 170, 170), std::max(1.0, px(0.02)), Qt::DashLine));
    m_painter.drawLine(QPointF(px(marginCm), 0), QPointF(px(marginCm), px(m_heightCm)));
    m_painter.drawLine(QPointF(px(m_widthCm - marginCm), 0), QPointF(px(m_widthCm - marginCm), px(m_heightCm)));
    m_painter.restore();
}

void Sheet::fillValue(const QRectF& fieldPx, const QString& value, bool byHand, Rng& rng)
{
    std::uniform_real_distribution<double> jitter(-0.15, 0.15);
    const double h = fieldPx.height();
    QFont f(byHand ? QStringLiteral("Nimbus Sans") : QStringLiteral("Nimbus Mono PS"));
    if (m_style.language == "zh" || (!value.isEmpty() && value.at(0).unicode() > 0x2E80))
        f = QFont(byHand ? QStringLiteral("AR PL UMing CN") : m_style.captionFont);
    f.setPixelSize(std::max(6, static_cast<int>(std::min(h * 0.6, px(0.45)))));
    f.setItalic(byHand);
    m_painter.save();
    m_painter.setFont(f);
    m_painter.setPen(byHand ? QColor(20, 40, 150) : QColor(60, 60, 70));
    // Dot-matrix values are often printed a little off their fields.
    const QPointF at(fieldPx.x() + fieldPx.width() * (0.05 + std::abs(jitter(rng))),
                     fieldPx.center().y() + h * 0.25 + (byHand ? 0 : h * jitter(rng)));
    m_painter.translate(at);
    if (byHand)
        m_painter.rotate(jitter(rng) * 20);
    m_painter.drawText(QPointF(0, 0), value);
    m_painter.restore();
}

QImage Sheet::finish()
{
    m_painter.end();
    return m_image;
}

} // namespace ordavel::scanforms
