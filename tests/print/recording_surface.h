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

    std::vector<std::string> calls;
    // pictureSize answers this for any non-empty bytes that do not start with "bad".
    PixelSize knownPictureSize{100, 50};

    void setFont(const FontSpec& f) override { add("font " + f.face + " " + n(f.size)); }
    void setTextColor(Color c) override { add("textColor " + hex(c)); }
    void setPenStyle(int s) override { add("penStyle " + n(s)); }
    void setPenWidth(int w) override { add("penWidth " + n(w)); }
    void setPenColor(Color c) override { add("penColor " + hex(c)); }
    void setBrushStyle(int s) override { add("brushStyle " + n(s)); }
    void setBrushColor(Color c) override { add("brushColor " + hex(c)); }
    double textLineHeight() const override { return m_lineHeight; }
    double devicePixel() const override { return m_devicePixel; }
    void drawTextLine(int x, int y, std::string_view t) override
    {
        add("text " + n(x) + " " + n(y) + " " + std::string(t));
    }
    void drawRectangle(int l, int t, int r, int b) override { add("rect " + four(l, t, r, b)); }
    void drawEllipse(int l, int t, int r, int b) override { add("ellipse " + four(l, t, r, b)); }
    void drawRoundedRectangle(int l, int t, int r, int b, int cw, int ch) override
    {
        add("roundRect " + four(l, t, r, b) + " " + n(cw) + " " + n(ch));
    }
    void drawLine(int x1, int y1, int x2, int y2) override { add("line " + four(x1, y1, x2, y2)); }
    void drawPicture(std::string_view bytes, int x, int y, int w, int h) override
    {
        add("picture " + std::string(bytes) + " " + four(x, y, w, h));
    }
    std::optional<PixelSize> pictureSize(std::string_view bytes) const override
    {
        if (bytes.empty() || bytes.substr(0, 3) == "bad")
            return std::nullopt;
        return knownPictureSize;
    }

    // The calls that draw (text, shapes, pictures), without the settings.
    std::vector<std::string> drawings() const
    {
        std::vector<std::string> out;
        for (const auto& c : calls)
            if (c.rfind("text ", 0) == 0 || c.rfind("rect", 0) == 0 || c.rfind("ellipse", 0) == 0
                || c.rfind("roundRect", 0) == 0 || c.rfind("line", 0) == 0 || c.rfind("picture", 0) == 0)
                out.push_back(c);
        return out;
    }

private:
    static std::string n(int v) { return std::to_string(v); }
    static std::string four(int a, int b, int c, int d) { return n(a) + " " + n(b) + " " + n(c) + " " + n(d); }
    static std::string hex(Color c)
    {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%06X", static_cast<unsigned>(c));
        return buf;
    }
    void add(std::string call) { calls.push_back(std::move(call)); }

    double m_lineHeight;
    double m_devicePixel;
};

} // namespace ordavel::test
