#include "platform/glyph_cache.h"

#include <QFontMetricsF>
#include <QCoreApplication>
#include <QGlyphRun>
#include <QHash>
#include <QPaintDevice>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace ordavel {

void GlyphRuns::clear() { m_used = 0; }

void GlyphRuns::append(const QRawFont& font, quint32 glyph, QPointF position)
{
    if (m_used == 0 || !(m_runs[m_used - 1].font == font)) {
        // Runs are reused with the room their lists already have.
        if (m_used == m_runs.size())
            m_runs.emplace_back();
        Run& run = m_runs[m_used++];
        run.font = font;
        run.glyphs.clear();
        run.positions.clear();
    }
    m_runs[m_used - 1].glyphs.append(glyph);
    m_runs[m_used - 1].positions.append(position);
}

void GlyphRuns::draw(QPainter& painter) const
{
    for (std::size_t i = 0; i < m_used; ++i) {
        QGlyphRun glyphs;
        glyphs.setRawFont(m_runs[i].font);
        glyphs.setGlyphIndexes(m_runs[i].glyphs);
        glyphs.setPositions(m_runs[i].positions);
        painter.drawGlyphRun(QPointF(0.0, 0.0), glyphs);
    }
}

namespace {

// Qt places glyphs in 1/64 of a device pixel, cutting finer fractions off.
qreal onGrid(qreal pixels) { return std::trunc(pixels * 64.0) / 64.0; }

bool same(qreal a, qreal b) { return std::abs(a - b) < 1e-6; }

// Characters Qt's layout treats apart from their glyphs: controls (tabs,
// line breaks), text written right to left or reordered with it, and marks
// that sit on the character before them.
bool laidOutApart(char32_t c)
{
    if (c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029 || (c >= 0xD800 && c <= 0xDFFF))
        return true;
    switch (QChar::direction(c)) {
    case QChar::DirR:
    case QChar::DirAL:
    case QChar::DirAN:
    case QChar::DirNSM:
    case QChar::DirLRE:
    case QChar::DirLRO:
    case QChar::DirRLE:
    case QChar::DirRLO:
    case QChar::DirPDF:
    case QChar::DirLRI:
    case QChar::DirRLI:
    case QChar::DirFSI:
    case QChar::DirPDI:
    case QChar::DirBN: return true;
    default: return false;
    }
}

QString codePoints(std::initializer_list<char32_t> points)
{
    QString text;
    for (const char32_t c : points) {
        if (QChar::requiresSurrogates(c)) {
            text += QChar(QChar::highSurrogate(c));
            text += QChar(QChar::lowSurrogate(c));
        } else {
            text += QChar(static_cast<char16_t>(c));
        }
    }
    return text;
}

// The code point of UTF-8 at `at`, which moves past it; nothing for bytes
// that are not well-formed UTF-8 (Qt would draw a replacement character).
std::optional<char32_t> nextCodePoint(std::string_view s, std::size_t& at)
{
    const auto lead = static_cast<unsigned char>(s[at]);
    if (lead < 0x80) {
        ++at;
        return lead;
    }
    // 110xxxxx, 1110xxxx, 11110xxx lead 2, 3 and 4 bytes of 10xxxxxx each.
    const std::size_t length = lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
        : lead >= 0xF0 && lead < 0xF5 ? 4 : 0;
    if (length == 0 || at + length > s.size())
        return std::nullopt;
    char32_t c = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(s[at + i]);
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        c = (c << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and what lies past U+10FFFF.
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[length] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
        return std::nullopt;
    at += length;
    return c;
}

// A glyph as Qt's layout places it on one line, baseline at y 0.
struct Placed {
    QRawFont font;
    quint32 index = 0;
    QPointF position;
};

std::vector<Placed> shaped(const QString& text, const QFont& font)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setTextDirection(Qt::LeftToRight);
    layout.setTextOption(option);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    std::vector<Placed> glyphs;
    if (!line.isValid())
        return glyphs;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < indexes.size() && i < positions.size(); ++i)
            glyphs.push_back({run.rawFont(), indexes[i], positions[i] - QPointF(0.0, line.ascent())});
    }
    return glyphs;
}

QHash<QString, std::shared_ptr<GlyphCache>>& threadCaches()
{
    thread_local QHash<QString, std::shared_ptr<GlyphCache>> caches;
    return caches;
}

} // namespace

GlyphCache::GlyphCache(const QFont& font) : m_font(font) {}

std::shared_ptr<GlyphCache> GlyphCache::shared(const QFont& font, const QPaintDevice* device)
{
    // A font's key names everything that shapes its glyphs but the
    // resolution it is realised at.
    const QString key = font.key() + u'@' + QString::number(device != nullptr ? device->logicalDpiX() : 0) + u'x'
        + QString::number(device != nullptr ? device->logicalDpiY() : 0);
    // Per thread, as QPainter may draw on pictures in other threads; a
    // handful of fonts in a run, many only while text shrinks to fit.
    QHash<QString, std::shared_ptr<GlyphCache>>& caches = threadCaches();
    // The fonts go before the application does, which unloads them.
    static const bool released = (qAddPostRoutine([] { threadCaches().clear(); }), true);
    (void)released;
    constexpr qsizetype kKept = 64;
    if (const auto found = caches.constFind(key); found != caches.constEnd())
        return found.value();
    if (caches.size() >= kKept)
        caches.clear();
    auto made = std::make_shared<GlyphCache>(device != nullptr ? QFont(font, device) : font);
    caches.insert(key, made);
    return made;
}

const GlyphCache::Glyph& GlyphCache::glyph(char32_t c)
{
    const auto found = m_glyphs.find(c);
    if (found != m_glyphs.end())
        return found->second;
    Glyph made;
    if (!laidOutApart(c)) {
        const QString text = codePoints({c});
        const std::vector<Placed> glyphs = shaped(text, m_font);
        if (glyphs.size() == 1) {
            const auto known = std::find(m_fonts.begin(), m_fonts.end(), glyphs[0].font);
            made.font = static_cast<int>(known - m_fonts.begin());
            if (known == m_fonts.end())
                m_fonts.push_back(glyphs[0].font);
            made.index = glyphs[0].index;
            made.offset = glyphs[0].position;
            made.advance = QFontMetricsF(m_font).horizontalAdvance(text);
            made.simple = true;
        }
    }
    return m_glyphs.emplace(c, made).first->second;
}

bool GlyphCache::pairComposes(char32_t first, char32_t second)
{
    const quint64 key = (static_cast<quint64>(first) << 32) | second;
    const auto found = m_pairs.find(key);
    if (found != m_pairs.end())
        return found->second;
    const Glyph& a = glyph(first);
    const Glyph& b = glyph(second);
    const QString text = codePoints({first, second});
    const std::vector<Placed> glyphs = shaped(text, m_font);
    const bool composes = glyphs.size() == 2 && glyphs[0].font == m_fonts[static_cast<std::size_t>(a.font)]
        && glyphs[1].font == m_fonts[static_cast<std::size_t>(b.font)] && glyphs[0].index == a.index
        && glyphs[1].index == b.index && same(glyphs[0].position.x(), a.offset.x())
        && same(glyphs[0].position.y(), a.offset.y()) && same(glyphs[1].position.x(), a.advance + b.offset.x())
        && same(glyphs[1].position.y(), b.offset.y())
        && same(QFontMetricsF(m_font).horizontalAdvance(text), a.advance + b.advance);
    m_pairs.emplace(key, composes);
    return composes;
}

bool GlyphCache::simpleText(std::string_view text)
{
    m_line.clear();
    char32_t previous = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::optional<char32_t> c = nextCodePoint(text, at);
        if (!c)
            return false;
        const Glyph& one = glyph(*c);
        if (!one.simple || (!m_line.empty() && !pairComposes(previous, *c)))
            return false;
        m_line.push_back(&one);
        previous = *c;
    }
    return true;
}

bool GlyphCache::layOut(std::string_view text, QPointF baseline, GlyphRuns& runs)
{
    if (!simpleText(text))
        return false;
    // As Qt's layout does: the pen starts on its grid and moves by advances
    // that are on it.
    qreal x = onGrid(baseline.x());
    const qreal y = onGrid(baseline.y());
    for (const Glyph* one : m_line) {
        runs.append(m_fonts[static_cast<std::size_t>(one->font)], one->index,
                    QPointF(x + one->offset.x(), y + one->offset.y()));
        x += one->advance;
    }
    return true;
}

std::optional<qreal> GlyphCache::advance(std::string_view text)
{
    if (!simpleText(text))
        return std::nullopt;
    qreal width = 0.0;
    for (const Glyph* one : m_line)
        width += one->advance;
    return width;
}

} // namespace ordavel
