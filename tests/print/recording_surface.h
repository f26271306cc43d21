#pragma once
// A Surface that records every call as one line of text, with fixed font
// metrics, so that tests can compare the exact integer calls a render makes.

#include "print/surface.h"

#include <cstdio>
#include <string>
#include <vector>

namespace ordavel::test {

class RecordingSurface : public Surface {
public:
    // lineHeight and devicePixel in surface units.
    explicit RecordingSurface(double lineHeight = 20.0, double devicePixel = 1.0)
        : m_lineHeight(lineHeight), m_devicePixel(devicePixel) {}

    std::vector<std::string> calls; // every call
    std::vector<std::string> drawn; // only the calls that draw

    // The natural size of every picture whose bytes do not start with "bad".
    std::optional<PixelSize> pictureSize(std::string_view bytes) const override
    {
        if (bytes.empty() || bytes.substr(0, 3) == "bad")
            return std::nullopt;
        return PixelSize{100, 50};
    }
    double textLineHeight() const override { return m_lineHeight; }
    double devicePixel() const override { return m_devicePixel; }

    void setFont(const FontSpec& f) override { set("font " + f.face + " " + n(f.size)); }
    void setTextColor(Color c) override { set("textColor " + hex(c)); }
    void setPenStyle(int s) override { set("penStyle " + n(s)); }
    void setPenWidth(int w) override { set("penWidth " + n(w)); }
    void setPenColor(Color c) override { set("penColor " + hex(c)); }
    void setBrushStyle(int s) override { set("brushStyle " + n(s)); }
    void setBrushColor(Color c) override { set("brushColor " + hex(c)); }

    void drawTextLine(int x, int y, std::string_view t) override { draw("text " + n(x) + " " + n(y) + " " + std::string(t)); }
    void drawRectangle(int l, int t, int r, int b) override { draw("rect " + four(l, t, r, b)); }
    void drawEllipse(int l, int t, int r, int b) override { draw("ellipse " + four(l, t, r, b)); }
    void drawRoundedRectangle(int l, int t, int r, int b, int cw, int ch) override
    {
        draw("roundRect " + four(l, t, r, b) + " " + n(cw) + " " + n(ch));
    }
    void drawLine(int x1, int y1, int x2, int y2) override { draw("line " + four(x1, y1, x2, y2)); }
    void drawPicture(std::string_view bytes, int x, int y, int w, int h) override
    {
        draw("picture " + std::string(bytes) + " " + four(x, y, w, h));
    }

    // Barcodes: exact output unless told otherwise; text 10 units per byte.
    bool exact = true;
    bool exactGeometry() const override { return exact; }
    void fillArea(double x, double y, double w, double h, Color c) override
    {
        draw("area " + d(x) + " " + d(y) + " " + d(w) + " " + d(h) + " " + hex(c));
    }
    double textWidth(std::string_view t) const override { return 10.0 * static_cast<double>(t.size()); }
    void drawRotatedTextLine(double x, double y, int degrees, std::string_view t) override
    {
        draw("rotatedText " + d(x) + " " + d(y) + " " + n(degrees) + " " + std::string(t));
    }

private:
    static std::string n(int v) { return std::to_string(v); }
    static std::string d(double v)
    {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%g", v);
        return buf;
    }
    static std::string four(int a, int b, int c, int d) { return n(a) + " " + n(b) + " " + n(c) + " " + n(d); }
    static std::string hex(Color c)
    {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%06X", static_cast<unsigned>(c));
        return buf;
    }
    void set(std::string call) { calls.push_back(std::move(call)); }
    void draw(std::string call)
    {
        calls.push_back(call);
        drawn.push_back(std::move(call));
    }

    double m_lineHeight;
    double m_devicePixel;
};

} // namespace ordavel::test
