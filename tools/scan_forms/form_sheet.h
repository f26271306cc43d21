#pragma once
// Drawing a pre-printed form in centimetres on a picture at a given
// resolution, recording each field where it is drawn.

#include "form_truth.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>

#include <random>
#include <string>
#include <vector>

namespace ordavel::scanforms {

using Rng = std::mt19937;

// How the printing looks: ink colours, typefaces and sizes.
struct SheetStyle {
    QColor rule = Qt::black;     // rules and boxes
    QColor text = Qt::black;     // captions and titles
    QColor paper = Qt::white;
    QString captionFont;         // family of the captions
    QString titleFont;
    double captionPt = 10.5;
    double ruleCm = 0.03;        // thin rule
    double frameCm = 0.06;       // outer frame
    std::string language = "zh"; // of the captions
    bool colonAfterCaption = true;
};

class Sheet {
public:
    Sheet(double widthCm, double heightCm, double dpi, const SheetStyle& style);

    double dpi() const { return m_dpi; }
    double widthCm() const { return m_widthCm; }
    double heightCm() const { return m_heightCm; }
    const SheetStyle& style() const { return m_style; }
    SheetStyle& style() { return m_style; }
    QPainter& painter() { return m_painter; }
    double px(double cm) const { return cm * m_dpi / 2.54; }
    QRectF pxRect(const QRectF& cm) const { return {px(cm.x()), px(cm.y()), px(cm.width()), px(cm.height())}; }

    // Lines and outlines; `widthCm` 0 means the style's thin rule.
    void line(double x1, double y1, double x2, double y2, double widthCm = 0, Qt::PenStyle pen = Qt::SolidLine);
    void frame(const QRectF& cm, double widthCm = 0);
    // Text with its left end at x and its vertical middle at yMid; returns its width in cm.
    double text(double x, double yMid, const QString& s, double pt, const QString& family = {}, bool bold = false,
                const QColor& colour = {});
    double textWidth(const QString& s, double pt, const QString& family = {}, bool bold = false) const;
    // Text centred in a rectangle.
    void centredText(const QRectF& cm, const QString& s, double pt, const QString& family = {}, bool bold = false);
    // Text height (ascent + descent) in cm.
    double lineHeight(double pt) const { return pt / 72.0 * 2.54 * 1.15; }
    // The caption as printed: with its colon when the style wants one.
    QString captionText(const std::string& caption) const;

    // Fields, rectangle in cm.
    void addField(const QRectF& cm, const std::string& kind, const std::string& caption);
    const std::vector<TruthField>& fields() const { return m_fields; }

    // Composite primitives. Each returns the x (cm) where it ended.
    // A ruled cell whose whole inside is the field.
    void valueCell(const QRectF& cm, const std::string& caption);
    // A ruled label cell holding the caption, centred.
    void labelCell(const QRectF& cm, const std::string& caption, double pt = 0);
    // Caption at the left inside the cell, the rest of the cell the field.
    void captionLeftCell(const QRectF& cm, const std::string& caption);
    // Caption small at the top of the cell, the part below it the field.
    void captionAboveCell(const QRectF& cm, const std::string& caption);
    // "Caption: ______" on a line whose rule is at y; the line runs to xEnd.
    double underline(double x, double y, double xEnd, const std::string& caption, bool dotted = false);
    // "Caption：" and open space up to xEnd at height y (the text's middle).
    double openBlank(double x, double yMid, double xEnd, const std::string& caption);
    // A check box at x with its label after it; the box is sideCm square, centred on yMid.
    double checkbox(double x, double yMid, double sideCm, const std::string& label);
    // A row of n one-character boxes; the whole row is one field.
    void digitCells(const QRectF& cm, int n, const std::string& caption);
    // Blanks split by unit characters ("____省____市____区"); each blank is a
    // field captioned with the unit after it. Returns the x where it ended.
    double unitRun(double x, double y, const std::vector<std::string>& units, double blankCm, bool underlined);

    // Decorations drawn over or under the printing.
    void title(double yMid, const QString& s, double pt);
    void stamp(double cx, double cy, double radiusCm, const QString& ring, Rng& rng);
    void watermark(const QString& s, Rng& rng);
    void tractorHoles(double marginCm);
    // A value written into a field: printed (dot-matrix grey, maybe shifted) or by hand.
    void fillValue(const QRectF& fieldPx, const QString& value, bool byHand, Rng& rng);

    QImage finish();

private:
    QFont font(double pt, const QString& family, bool bold) const;

    double m_widthCm;
    double m_heightCm;
    double m_dpi;
    SheetStyle m_style;
    QImage m_image;
    QPainter m_painter;
    std::vector<TruthField> m_fields;
};

} // namespace ordavel::scanforms
