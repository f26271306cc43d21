#pragma once
// Lines of text laid out from glyphs kept per character, for one font on one
// device: a batch prints the same few hundred characters on every page, and
// shaping each text anew costs more than drawing it.
//
// A character is kept as Qt shapes it alone: its glyph, the font that holds
// it (the font's own or a fallback) and its advance. A text is composed of
// these only when every character shapes alone to one glyph and every pair
// of neighbours shapes as its two characters do alone (no kerning, ligature
// or mark placed against its neighbour); pairs are checked once each. Any
// other text is left to Qt's own layout (`layOut` and `advance` say no), so
// composed texts take exactly the places and widths Qt gives them.

#include <QFont>
#include <QList>
#include <QPointF>
#include <QRawFont>

#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

class QPaintDevice;
class QPainter;

namespace ordavel {

// Glyphs gathered for drawing, a run per font; positions in device pixels.
class GlyphRuns {
public:
    void clear();
    bool empty() const { return m_used == 0; }
    void append(const QRawFont& font, quint32 glyph, QPointF position);
    // Draws every run in the painter's pen.
    void draw(QPainter& painter) const;

private:
    struct Run {
        QRawFont font;
        QList<quint32> glyphs;
        QList<QPointF> positions;
    };
    std::vector<Run> m_runs;
    std::size_t m_used = 0; // runs in use, from the first
};

class GlyphCache {
public:
    // `font` as realised for the device it draws on (QFont(font, device)).
    explicit GlyphCache(const QFont& font);

    // The cache of `font`, realised for `device` (null: the screen), shared
    // by every surface of this thread that draws in that font at the
    // device's resolution: batch after batch prints the same characters.
    static std::shared_ptr<GlyphCache> shared(const QFont& font, const QPaintDevice* device);

    // Texts are UTF-8; one that is not valid UTF-8 is left to Qt's own layout.
    // Appends the glyphs of `text` with its baseline starting at `baseline`
    // (device pixels) to `runs`; false, with nothing appended, when the text
    // needs Qt's own layout.
    bool layOut(std::string_view text, QPointF baseline, GlyphRuns& runs);
    // How far `text` advances in device pixels; nothing when it needs Qt's own layout.
    std::optional<qreal> advance(std::string_view text);

private:
    struct Glyph {
        bool simple = false; // shapes alone to one glyph
        int font = 0;        // index into m_fonts
        quint32 index = 0;
        QPointF offset;      // from the pen position, baseline at y 0
        qreal advance = 0.0;
    };

    const Glyph& glyph(char32_t c);
    bool pairComposes(char32_t first, char32_t second);
    // The code points of `text` with their glyphs; false at the first one
    // that needs Qt's own layout.
    bool simpleText(std::string_view text);

    QFont m_font;
    std::vector<QRawFont> m_fonts;
    // Nodes stay put as others are added: m_line points into them.
    std::unordered_map<char32_t, Glyph> m_glyphs;
    std::unordered_map<quint64, bool> m_pairs;
    // The text last checked by simpleText, a glyph per code point.
    std::vector<const Glyph*> m_line;
};

} // namespace ordavel
