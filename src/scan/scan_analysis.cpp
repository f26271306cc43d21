// Fields from the ruled structure and the captions read beside it.
#include "scan/scan_analysis.h"

#include "scan/caption_reader.h"
#include "scan/ruling.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <optional>

namespace ordavel::scan {

namespace {

// Blank columns wider than this share of the line's height are cut to it
// before a line is read: letter-spaced captions read as words.
constexpr double kLetterGap = 0.35;

// A run of characters read as one caption.
struct Phrase {
    PixelRect rect;
    int container = -1; // smallest region holding it, -1 for the open page
    int parts = 0;      // blobs
    std::vector<PixelRect> glyphs; // the blobs' rectangles
};

int centreX(const PixelRect& r) { return r.x + r.w / 2; }
int centreY(const PixelRect& r) { return r.y + r.h / 2; }
bool holds(const PixelRect& outer, int x, int y) { return x >= outer.x && x < outer.right() && y >= outer.y && y < outer.bottom(); }
bool inside(const PixelRect& inner, const PixelRect& outer)
{
    return inner.x >= outer.x && inner.y >= outer.y && inner.right() <= outer.right() && inner.bottom() <= outer.bottom();
}
int verticalOverlap(const PixelRect& a, const PixelRect& b)
{
    return std::min(a.bottom(), b.bottom()) - std::max(a.y, b.y);
}

bool endsWithColon(const std::string& text)
{
    std::string t = text;
    while (!t.empty() && t.back() == ' ')
        t.pop_back();
    return (!t.empty() && t.back() == ':') || (t.size() >= 3 && t.compare(t.size() - 3, 3, "\xEF\xBC\x9A") == 0);
}

// Whether `text` holds a CJK ideograph (UTF-8 lead bytes E4 to E9).
bool hasChinese(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b >= 0xE4 && b <= 0xE9;
    });
}

bool isUnitCharacter(const std::string& text)
{
    static const char* const units[] = {"年", "月", "日", "时", "分", "秒", "万", "仟", "佰", "拾", "元", "角"};
    return std::any_of(std::begin(units), std::end(units), [&](const char* u) { return text == u; });
}

struct UnionFind {
    std::vector<int> parent;
    explicit UnionFind(std::size_t n) : parent(n) { std::iota(parent.begin(), parent.end(), 0); }
    int find(int i) { return parent[static_cast<std::size_t>(i)] == i ? i : parent[static_cast<std::size_t>(i)] = find(parent[static_cast<std::size_t>(i)]); }
    void join(int a, int b) { parent[static_cast<std::size_t>(find(a))] = find(b); }
};

class Layout {
public:
    Layout(const Ruling& ruling, CaptionReader& reader, const ScanProgress& progress)
        : m_ruling(ruling), m_reader(reader), m_progress(progress), m_mm(ruling.pxPerMm)
    {
    }

    std::optional<std::vector<ProposedField>> run()
    {
        classifyRegions();
        buildPhrases();
        m_ocrTotal = static_cast<double>(std::max<std::size_t>(1, m_phrases.size()));
        squareFields();
        if (m_cancelled)
            return std::nullopt;
        glyphBoxFields();
        underlineFields();
        cellFields();
        if (m_cancelled)
            return std::nullopt;
        openPageFields();
        if (m_cancelled)
            return std::nullopt;
        return std::move(m_fields);
    }

private:
    int px(double millimetres) const { return static_cast<int>(std::lround(millimetres * m_mm)); }

    // --- regions ---
    void classifyRegions()
    {
        const auto& regions = m_ruling.regions;
        m_isSquare.assign(regions.size(), false);
        m_isLeaf.assign(regions.size(), true);
        for (std::size_t i = 0; i < regions.size(); ++i) {
            const PixelRect& r = regions[i].rect;
            const int lo = std::min(r.w, r.h);
            const int hi = std::max(r.w, r.h);
            m_isSquare[i] = lo >= px(2.5) && hi <= px(10.0) && hi * 10 <= lo * 16 && regions[i].fill >= 0.85;
        }
        for (std::size_t i = 0; i < regions.size(); ++i)
            for (std::size_t j = 0; j < regions.size(); ++j)
                if (i != j && inside(regions[j].rect, regions[i].rect) && regions[j].rect.area() < regions[i].rect.area())
                    m_isLeaf[i] = false;
    }

    // The smallest region holding the point, -1 for none.
    int containerOf(int x, int y) const
    {
        int best = -1;
        for (std::size_t i = 0; i < m_ruling.regions.size(); ++i) {
            const PixelRect& r = m_ruling.regions[i].rect;
            if (holds(r, x, y) && (best < 0 || r.area() < m_ruling.regions[static_cast<std::size_t>(best)].rect.area()))
                best = static_cast<int>(i);
        }
        return best;
    }

    bool besideVerticalRule(const PixelRect& r) const
    {
        const int reach = 4;
        return std::any_of(m_ruling.rules.begin(), m_ruling.rules.end(), [&](const Rule& rule) {
            return !rule.horizontal && rule.rect.h >= r.h && r.x <= rule.rect.right() + reach && r.right() >= rule.rect.x - reach &&
                   r.y >= rule.rect.y - reach && r.bottom() <= rule.rect.bottom() + reach;
        });
    }

    bool inSquare(int container) const { return container >= 0 && m_isSquare[static_cast<std::size_t>(container)]; }

    // --- characters and phrases ---
    void buildPhrases()
    {
        std::vector<const Blob*> text;
        std::vector<int> heights;
        const int big = px(12.0);
        for (const Blob& blob : m_ruling.blobs) {
            if (blob.rect.w > big || blob.rect.h > big)
                continue; // logos, stamps, pictures
            const int container = containerOf(centreX(blob.rect), centreY(blob.rect));
            if (inSquare(container))
                continue; // what is written in a box is not a caption
            if (blob.rect.w <= px(0.5) && besideVerticalRule(blob.rect))
                continue; // what is left of a rule where it was thicker
            if (blob.hollowSquare) {
                m_glyphBoxes.push_back(blob.rect);
                continue;
            }
            text.push_back(&blob);
            if (blob.rect.h >= px(1.2) && blob.rect.h <= px(8.0))
                heights.push_back(blob.rect.h);
        }
        if (!heights.empty()) {
            std::nth_element(heights.begin(), heights.begin() + static_cast<std::ptrdiff_t>(heights.size() / 2), heights.end());
            m_charHeight = heights[heights.size() / 2];
        } else {
            m_charHeight = px(3.0);
        }
        std::sort(text.begin(), text.end(), [](const Blob* a, const Blob* b) { return a->rect.x < b->rect.x; });
        std::vector<int> containers(text.size());
        for (std::size_t i = 0; i < text.size(); ++i)
            containers[i] = containerOf(centreX(text[i]->rect), centreY(text[i]->rect));
        UnionFind groups(text.size());
        const int gapMax = m_charHeight;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const PixelRect& a = text[i]->rect;
            for (std::size_t j = i + 1; j < text.size(); ++j) {
                const PixelRect& b = text[j]->rect;
                if (b.x > a.right() + gapMax)
                    break;
                if (containers[i] != containers[j])
                    continue;
                const int overlap = verticalOverlap(a, b);
                if (overlap * 10 >= std::min(a.h, b.h) * 4 && b.x - a.right() <= gapMax &&
                    std::abs(centreY(a) - centreY(b)) <= std::max(a.h, b.h))
                    groups.join(static_cast<int>(i), static_cast<int>(j));
            }
        }
        std::map<int, std::size_t> index;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const int root = groups.find(static_cast<int>(i));
            auto [it, fresh] = index.emplace(root, m_phrases.size());
            if (fresh)
                m_phrases.push_back({text[i]->rect, containers[i], 1, {text[i]->rect}});
            else {
                Phrase& phrase = m_phrases[it->second];
                phrase.rect = unite(phrase.rect, text[i]->rect);
                ++phrase.parts;
                phrase.glyphs.push_back(text[i]->rect);
            }
        }
        // Specks alone (dots of a dotted fill, dust) are no captions.
        std::erase_if(m_phrases, [&](const Phrase& p) { return p.rect.h < m_charHeight / 2 && p.rect.w < m_charHeight; });
        m_text.assign(m_phrases.size(), std::nullopt);
    }

    const std::string& textOf(std::size_t phrase)
    {
        if (!m_text[phrase]) {
            const PixelRect& r = m_phrases[phrase].rect;
            const double scale = std::clamp(40.0 / std::max(1, r.h), 0.25, 4.0);
            const int margin = std::max(2, r.h / 4);
            const bool single = m_phrases[phrase].parts <= 3 && r.w <= r.h * 13 / 10;
            Picture crop = cropScaled(m_ruling.grey, r, scale, margin);
            if (!single)
                crop = squeezeBlankColumns(crop, static_cast<int>(std::lround(r.h * scale * kLetterGap)));
            // The Chinese model alone reads Chinese lines best: with the
            // English one beside it, spaced or faint characters are taken for
            // Latin letters. Lines of square characters go to it at once,
            // others when the two models together find Chinese in them.
            const bool chineseLine = !single && looksChinese(m_phrases[phrase]);
            std::string read = chineseLine ? m_reader.readChinese(crop) : std::string();
            if (!hasChinese(read))
                read = m_reader.read(crop, single);
            if (single && read.empty())
                read = m_reader.read(cropScaled(m_ruling.grey, r, scale, margin), false);
            if (!single && !chineseLine && hasChinese(read)) {
                const std::string chinese = m_reader.readChinese(crop);
                if (hasChinese(chinese))
                    read = chinese;
            }
            m_raw[phrase] = read;
            m_text[phrase] = tidyCaption(read);
            ++m_ocrDone;
            if (m_progress && !m_progress(0.3 + 0.7 * std::min(1.0, m_ocrDone / m_ocrTotal)))
                m_cancelled = true;
        }
        return *m_text[phrase];
    }

    // Whether the phrase is set as Chinese: glyphs (strokes overlapping
    // across the line joined) nearly as tall as the line and about as wide,
    // where Latin letters stand at x-height or are narrow.
    static bool looksChinese(const Phrase& phrase)
    {
        std::vector<PixelRect> glyphs = phrase.glyphs;
        std::sort(glyphs.begin(), glyphs.end(), [](const PixelRect& a, const PixelRect& b) { return a.x < b.x; });
        std::vector<PixelRect> units;
        for (const PixelRect& g : glyphs) {
            if (!units.empty() && g.x < units.back().right())
                units.back() = unite(units.back(), g);
            else
                units.push_back(g);
        }
        const int height = phrase.rect.h;
        if (units.empty() || height <= 0)
            return false;
        std::size_t tall = 0;
        std::vector<int> widths;
        for (const PixelRect& u : units) {
            if (u.h * 10 >= height * 8)
                ++tall;
            widths.push_back(u.w);
        }
        std::nth_element(widths.begin(), widths.begin() + static_cast<std::ptrdiff_t>(widths.size() / 2), widths.end());
        return tall * 10 >= units.size() * 7 && widths[widths.size() / 2] * 10 >= height * 6;
    }

    // The nearest phrase ending left of `x` on the line of `band`, within `reach` px.
    std::optional<std::size_t> phraseLeftOf(const PixelRect& band, int reach) const
    {
        std::optional<std::size_t> best;
        int bestGap = reach + 1;
        for (std::size_t i = 0; i < m_phrases.size(); ++i) {
            const PixelRect& r = m_phrases[i].rect;
            const int gap = band.x - r.right();
            if (gap < -m_charHeight / 2 || gap >= bestGap)
                continue;
            if (!holds({band.x - reach - r.w, band.y - 1, reach + r.w, band.h + 2}, r.x, centreY(r)))
                continue;
            if (centreY(r) < band.y || centreY(r) > band.bottom())
                continue;
            best = i;
            bestGap = gap;
        }
        return best;
    }

    std::optional<std::size_t> phraseRightOf(const PixelRect& band, int reach) const
    {
        std::optional<std::size_t> best;
        int bestGap = reach + 1;
        for (std::size_t i = 0; i < m_phrases.size(); ++i) {
            const PixelRect& r = m_phrases[i].rect;
            const int gap = r.x - band.right();
            if (gap < -m_charHeight / 2 || gap >= bestGap)
                continue;
            if (centreY(r) < band.y - band.h / 2 || centreY(r) > band.bottom() + band.h / 2)
                continue;
            best = i;
            bestGap = gap;
        }
        return best;
    }

    void add(const PixelRect& rect, const char* kind, std::string caption)
    {
        if (rect.w < px(2.0) || rect.h < px(2.0))
            return;
        // An area already proposed is not proposed again.
        for (const ProposedField& field : m_fields)
            if (intersect(field.rect, rect).area() * 10 > std::min(field.rect.area(), rect.area()) * 3)
                return;
        m_fields.push_back({rect, kind, std::move(caption), {}});
    }

    // --- squares: rows of character boxes and single check boxes ---
    void squareFields()
    {
        std::vector<std::size_t> squares;
        for (std::size_t i = 0; i < m_isSquare.size(); ++i)
            if (m_isSquare[i])
                squares.push_back(i);
        // Squares nested in a square (a double frame) count once.
        std::erase_if(squares, [&](std::size_t i) {
            return std::any_of(squares.begin(), squares.end(), [&](std::size_t j) {
                return j != i && inside(m_ruling.regions[i].rect, m_ruling.regions[j].rect) &&
                       m_ruling.regions[i].rect.area() < m_ruling.regions[j].rect.area();
            });
        });
        std::sort(squares.begin(), squares.end(),
                  [&](std::size_t a, std::size_t b) { return m_ruling.regions[a].rect.x < m_ruling.regions[b].rect.x; });
        UnionFind rows(squares.size());
        for (std::size_t i = 0; i < squares.size(); ++i) {
            const PixelRect& a = m_ruling.regions[squares[i]].rect;
            for (std::size_t j = i + 1; j < squares.size(); ++j) {
                const PixelRect& b = m_ruling.regions[squares[j]].rect;
                if (b.x > a.right() + px(1.5))
                    break;
                if (std::abs(a.y - b.y) <= px(1.2) && std::abs(a.h - b.h) <= px(1.5))
                    rows.join(static_cast<int>(i), static_cast<int>(j));
            }
        }
        std::map<int, std::pair<PixelRect, int>> groups;
        for (std::size_t i = 0; i < squares.size(); ++i) {
            auto [it, fresh] = groups.emplace(rows.find(static_cast<int>(i)), std::pair(m_ruling.regions[squares[i]].rect, 1));
            if (!fresh) {
                it->second.first = unite(it->second.first, m_ruling.regions[squares[i]].rect);
                ++it->second.second;
            }
        }
        std::vector<std::pair<PixelRect, int>> ordered;
        for (const auto& group : groups)
            ordered.push_back(group.second);
        // Writing across a box's sides hides it; the rows' common top and
        // bottom rules show where a row really starts and ends.
        for (auto& [rect, count] : ordered)
            stretchAlongRules(rect, count);
        std::sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) {
            return a.first.y != b.first.y ? a.first.y < b.first.y : a.first.x < b.first.x;
        });
        for (std::size_t i = 0; i < ordered.size(); ++i) {
            for (std::size_t j = i + 1; j < ordered.size(); ++j) {
                PixelRect& a = ordered[i].first;
                const PixelRect& b = ordered[j].first;
                if (b.w == 0 || std::abs(a.y - b.y) > px(1.2) || std::abs(a.h - b.h) > px(1.5))
                    continue;
                if (intersect({a.x - px(1.0), a.y, a.w + px(2.0), a.h}, b).empty())
                    continue;
                a = unite(a, b);
                ordered[i].second += ordered[j].second;
                ordered[j].first = {};
            }
        }
        std::erase_if(ordered, [](const auto& g) { return g.first.w == 0; });
        // What is written in the boxes is no caption.
        std::erase_if(m_phrases, [&](const Phrase& p) {
            return std::any_of(ordered.begin(), ordered.end(), [&](const auto& g) {
                return g.second >= 2 && holds(g.first, centreX(p.rect), centreY(p.rect));
            });
        });
        m_text.assign(m_phrases.size(), std::nullopt);
        std::vector<ProposedField> boxRows;
        for (const auto& [rect, count] : ordered) {
            if (count >= 2) {
                std::string caption;
                if (const auto left = phraseLeftOf(rect, px(30.0)))
                    caption = textOf(*left);
                if (caption.empty()) {
                    // A continuation row under a captioned one takes its caption.
                    for (auto it = boxRows.rbegin(); it != boxRows.rend(); ++it) {
                        if (std::abs(it->rect.x - rect.x) <= px(1.5) && rect.y - it->rect.bottom() <= px(6.0)) {
                            caption = it->caption;
                            break;
                        }
                    }
                }
                boxRows.push_back({rect, "box", caption, {}});
                add(rect, "box", caption);
            } else {
                checkBox(rect);
            }
            if (m_cancelled)
                return;
        }
    }

    // The longest stretch along which rules run on both the top and the
    // bottom edge of `rect`, when it reaches past `rect`.
    void stretchAlongRules(PixelRect& rect, int& count) const
    {
        const int near = px(0.8);
        // The pieces of the rule along `edge`, joined across breaks of up to 2 mm.
        auto along = [&](int edge) {
            PixelRect span{rect.x, edge, rect.w, 1};
            bool grown = true;
            while (grown) {
                grown = false;
                for (const Rule& rule : m_ruling.rules) {
                    if (!rule.horizontal || std::abs(centreY(rule.rect) - edge) > 2 * near)
                        continue;
                    if (rule.rect.x > span.right() + px(2.0) || rule.rect.right() < span.x - px(2.0))
                        continue;
                    const PixelRect wider = unite(span, rule.rect);
                    if (wider.x < span.x || wider.right() > span.right()) {
                        span = {wider.x, edge, wider.w, 1};
                        grown = true;
                    }
                }
            }
            return span;
        };
        const PixelRect top = along(rect.y);
        const PixelRect bottom = along(rect.bottom());
        const int left = std::max(top.x, bottom.x);
        const int right = std::min(top.right(), bottom.right());
        if (left < rect.x - near || right > rect.right() + near) {
            const int pitch = std::max(1, rect.h);
            count += (rect.x - left + right - rect.right()) / pitch;
            rect.x = std::min(rect.x, left + near / 2);
            rect.w = std::max(rect.right(), right - near / 2) - rect.x;
        }
    }

    // A check box is a square with its caption on the right.
    void checkBox(const PixelRect& rect)
    {
        const auto right = phraseRightOf(rect, std::max(px(4.0), rect.w));
        if (!right)
            return;
        add(rect, "checkbox", textOf(*right));
    }

    void glyphBoxFields()
    {
        for (const PixelRect& glyph : m_glyphBoxes)
            checkBox(glyph);
    }

    // --- cells: the regions that hold no other region ---
    void cellFields()
    {
        const auto& regions = m_ruling.regions;
        // Table bodies first: the header cells above them are then used up.
        std::vector<bool> done(regions.size(), false);
        for (std::size_t i = 0; i < regions.size(); ++i)
            if (m_isLeaf[i] && !m_isSquare[i] && columnsUnderHeader(static_cast<int>(i), done))
                done[i] = true;
        for (std::size_t i = 0; i < regions.size(); ++i) {
            if (!m_isLeaf[i] || m_isSquare[i] || done[i])
                continue;
            if (std::any_of(m_fields.begin(), m_fields.end(),
                            [&](const ProposedField& f) {
                                return f.kind == std::string("box") && holds(f.rect, centreX(regions[i].rect), centreY(regions[i].rect));
                            }))
                continue;
            cell(static_cast<int>(i));
            if (m_cancelled)
                return;
        }
    }

    void cell(int region)
    {
        const PixelRect outer = m_ruling.regions[static_cast<std::size_t>(region)].rect;
        const int pad = std::max(1, px(0.3));
        const PixelRect area{outer.x + pad, outer.y + pad, outer.w - 2 * pad, outer.h - 2 * pad};
        std::vector<std::size_t> mine;
        for (std::size_t p = 0; p < m_phrases.size(); ++p)
            if (m_phrases[p].container == region)
                mine.push_back(p);
        if (mine.empty()) {
            // An empty cell takes the caption printed left of it, or above it.
            std::string caption;
            if (const auto left = phraseLeftOf(area, px(25.0)))
                caption = textOf(*left);
            else if (const auto above = phraseAbove(area))
                caption = textOf(*above);
            if (!caption.empty())
                add(area, "cell", caption);
            return;
        }
        std::sort(mine.begin(), mine.end(), [&](std::size_t a, std::size_t b) {
            const PixelRect& ra = m_phrases[a].rect;
            const PixelRect& rb = m_phrases[b].rect;
            return ra.y != rb.y ? ra.y < rb.y : ra.x < rb.x;
        });
        // Specks (a fill printed across the rule above, dust) are no caption.
        const auto top = std::find_if(mine.begin(), mine.end(),
                                      [&](std::size_t p) { return m_phrases[p].rect.h * 5 >= m_charHeight * 3; });
        if (top == mine.end())
            return;
        const PixelRect first = m_phrases[*top].rect;
        const int lineHeight = std::max(first.h, m_charHeight);
        if (area.h >= lineHeight * 5 / 2 && area.bottom() - first.bottom() >= lineHeight) {
            // A tall cell with its caption on top: the area under the caption is written in.
            if (first.y - area.y > lineHeight * 2)
                return;
            const int below = first.bottom() + pad;
            std::string caption = textOf(*top);
            if (!caption.empty())
                add({area.x, below, area.w, area.bottom() - below}, "cell", caption);
            return;
        }
        // One line: each gap wide enough to write in is a field, captioned by
        // the text before it, or by the unit character after it ("__年__月").
        // The line is the one of the tallest text in the cell: specks of a
        // fill printed across the rule above are no line of their own.
        const PixelRect reference = m_phrases[*std::max_element(mine.begin(), mine.end(), [&](std::size_t a, std::size_t b) {
                                                  return m_phrases[a].rect.h < m_phrases[b].rect.h;
                                              })].rect;
        std::vector<std::size_t> line;
        for (const std::size_t p : mine)
            if (centreY(m_phrases[p].rect) >= reference.y && centreY(m_phrases[p].rect) < reference.bottom())
                line.push_back(p);
        std::sort(line.begin(), line.end(), [&](std::size_t a, std::size_t b) { return m_phrases[a].rect.x < m_phrases[b].rect.x; });
        const int minGap = lineHeight * 5 / 2;
        // Where captions end in colons, each reaches to the next caption:
        // what stands between is what was filled in.
        std::vector<std::size_t> captions;
        for (const std::size_t p : line)
            if (checkColon(p))
                captions.push_back(p);
        // Colons too faint to see as two dots may still be read.
        if (captions.empty() && line.size() >= 3)
            for (const std::size_t p : line)
                if (endsWithColonRaw(p))
                    captions.push_back(p);
        if (!captions.empty()) {
            for (std::size_t k = 0; k < captions.size(); ++k) {
                const int start = m_phrases[captions[k]].rect.right() + pad;
                const int end = k + 1 < captions.size() ? m_phrases[captions[k + 1]].rect.x - pad : area.right();
                if (end - start < minGap)
                    continue;
                std::string caption = textOf(captions[k]);
                if (!caption.empty())
                    add({start, area.y, end - start, area.h}, "cell", caption);
            }
            return;
        }
        for (std::size_t k = 0; k < line.size(); ++k) {
            const PixelRect& here = m_phrases[line[k]].rect;
            const int start = here.right() + pad;
            const int end = k + 1 < line.size() ? m_phrases[line[k + 1]].rect.x - pad : area.right();
            if (end - start < minGap)
                continue;
            std::string caption = textOf(line[k]);
            if (k + 1 < line.size() && isUnitCharacter(textOf(line[k + 1])))
                caption = textOf(line[k + 1]);
            else if (isUnitCharacter(caption) || caption.empty())
                continue;
            add({start, area.y, end - start, area.h}, "cell", caption);
        }
    }

    // A tall cell under a row of header cells is split into one column per
    // header caption, each reaching to the next one.
    bool columnsUnderHeader(int region, std::vector<bool>& done)
    {
        const auto& regions = m_ruling.regions;
        const PixelRect body = regions[static_cast<std::size_t>(region)].rect;
        if (body.h < m_charHeight * 6)
            return false;
        std::vector<std::size_t> headers;
        for (std::size_t i = 0; i < regions.size(); ++i) {
            const PixelRect& r = regions[i].rect;
            if (!m_isLeaf[i] || m_isSquare[i] || done[i] || std::abs(r.bottom() - body.y) > px(2.0) ||
                r.h > m_charHeight * 4 || r.x < body.x - px(2.0) || r.right() > body.right() + px(2.0))
                continue;
            headers.push_back(i);
        }
        std::vector<std::pair<std::size_t, std::vector<std::size_t>>> columns;
        std::size_t count = 0;
        for (const std::size_t h : headers) {
            std::vector<std::size_t> mine;
            for (std::size_t p = 0; p < m_phrases.size(); ++p)
                if (m_phrases[p].container == static_cast<int>(h))
                    mine.push_back(p);
            std::sort(mine.begin(), mine.end(), [&](std::size_t a, std::size_t b) { return m_phrases[a].rect.x < m_phrases[b].rect.x; });
            if (std::any_of(mine.begin(), mine.end(), [&](std::size_t p) { return checkColon(p); }))
                return false; // captions with colons label what follows them, not columns
            count += mine.size();
            columns.emplace_back(h, std::move(mine));
        }
        if (count < 2)
            return false;
        const int pad = std::max(1, px(0.3));
        const int lead = m_charHeight * 3 / 2;
        for (const auto& [h, mine] : columns) {
            const PixelRect& cellRect = regions[h].rect;
            for (std::size_t k = 0; k < mine.size(); ++k) {
                const int x0 = k == 0 ? cellRect.x + pad : m_phrases[mine[k]].rect.x - lead;
                const int x1 = k + 1 < mine.size() ? m_phrases[mine[k + 1]].rect.x - lead : cellRect.right() - pad;
                std::string caption = textOf(mine[k]);
                if (!caption.empty())
                    add({x0, body.y + pad, x1 - x0, body.h - 2 * pad}, "cell", caption);
            }
            done[h] = true;
        }
        return true;
    }

    std::optional<std::size_t> phraseAbove(const PixelRect& area) const
    {
        std::optional<std::size_t> best;
        int bestGap = m_charHeight * 3;
        for (std::size_t i = 0; i < m_phrases.size(); ++i) {
            const PixelRect& r = m_phrases[i].rect;
            const int gap = area.y - r.bottom();
            if (gap < -m_charHeight / 2 || gap >= bestGap || centreX(r) < area.x || centreX(r) > area.right())
                continue;
            best = i;
            bestGap = gap;
        }
        return best;
    }

    // --- the open page: "caption: ____ next caption" without rules ---
    void openPageFields()
    {
        for (std::size_t p = 0; p < m_phrases.size(); ++p) {
            const Phrase& phrase = m_phrases[p];
            if (phrase.container >= 0 && m_isLeaf[static_cast<std::size_t>(phrase.container)])
                continue;
            if (phrase.rect.h > m_charHeight * 2)
                continue;
            // The next phrase on the same line, in the same region.
            std::optional<std::size_t> next;
            for (std::size_t q = 0; q < m_phrases.size(); ++q) {
                const Phrase& other = m_phrases[q];
                if (q == p || other.container != phrase.container || other.rect.x <= phrase.rect.right())
                    continue;
                if (verticalOverlap(other.rect, phrase.rect) * 2 < std::min(other.rect.h, phrase.rect.h))
                    continue;
                if (!next || other.rect.x < m_phrases[*next].rect.x)
                    next = q;
            }
            if (!next)
                continue;
            const int start = phrase.rect.right() + px(0.5);
            const int end = m_phrases[*next].rect.x - px(0.5);
            const int lineHeight = std::max(phrase.rect.h, m_charHeight);
            // A blank before a unit character ("__月__日") holds two figures or more.
            const bool beforeUnit = isUnitCharacter(textOf(*next));
            if (end - start < lineHeight * (beforeUnit ? 2 : 3))
                continue;
            const PixelRect blank{start, centreY(phrase.rect) - lineHeight * 9 / 10, end - start, lineHeight * 9 / 5};
            // Nothing ruled in the way: that belongs to the boxes and cells.
            if (std::any_of(m_ruling.regions.begin(), m_ruling.regions.end(),
                            [&](const Region& r) { return !intersect(r.rect, blank).empty() && !inside(blank, r.rect); }))
                continue;
            if (std::any_of(m_fields.begin(), m_fields.end(), [&](const ProposedField& f) { return !intersect(f.rect, blank).empty(); }))
                continue;
            // A caption ending in a colon names the blank after it; a blank
            // between unit characters is named by the one after it.
            std::string caption = textOf(p);
            if (!endsWithColonRaw(p)) {
                if (!beforeUnit || !isUnitCharacter(caption))
                    continue;
                caption = textOf(*next);
            }
            add(blank, "cell", caption);
            if (m_cancelled)
                return;
        }
    }

    // Whether the caption as read ended with a colon (tidying takes it off).
    bool endsWithColonRaw(std::size_t phrase)
    {
        (void)textOf(phrase);
        if (endsWithColon(m_raw[phrase]))
            return true;
        return m_colon.count(phrase) != 0 ? m_colon[phrase] : checkColon(phrase);
    }

    bool checkColon(std::size_t phrase)
    {
        // A colon is two dots stacked at the end of the phrase: one in its
        // upper half, one in its lower half, in one column.
        const PixelRect& r = m_phrases[phrase].rect;
        std::vector<PixelRect> dots;
        for (const Blob& blob : m_ruling.blobs) {
            const PixelRect& b = blob.rect;
            if (b.right() <= r.right() + m_charHeight && b.x >= r.right() - m_charHeight && b.y >= r.y && b.bottom() <= r.bottom() &&
                b.w <= m_charHeight / 3 + 1 && b.h <= m_charHeight / 3 + 1)
                dots.push_back(b);
        }
        const int middle = centreY(r);
        bool colon = false;
        for (const PixelRect& upper : dots)
            for (const PixelRect& lower : dots)
                colon = colon || (centreY(upper) < middle && centreY(lower) >= middle &&
                                  std::abs(centreX(upper) - centreX(lower)) <= std::max(upper.w, lower.w) &&
                                  lower.y - upper.bottom() >= std::max(upper.h, lower.h) / 2);
        m_colon[phrase] = colon;
        return colon;
    }

    // Whether printed text stands on the line between two pieces of a rule
    // (writing crosses the line; print stays above it).
    bool textBetween(const PixelRect& a, const PixelRect& b) const
    {
        return std::any_of(m_phrases.begin(), m_phrases.end(), [&](const Phrase& p) {
            return p.rect.x >= a.right() - px(0.5) && p.rect.right() <= b.x + px(0.5) &&
                   p.rect.bottom() <= b.bottom() + m_charHeight && p.rect.bottom() >= b.y - m_charHeight &&
                   p.rect.y <= b.y - m_charHeight / 3;
        });
    }

    // Whether a vertical rule taller than a line of writing passes by (x, y):
    // a rule ending there is a cell's side, not an underline.
    bool framed(int x, int y) const
    {
        const int reach = px(0.8);
        return std::any_of(m_ruling.rules.begin(), m_ruling.rules.end(), [&](const Rule& r) {
            return !r.horizontal && r.rect.h >= px(8.0) && x >= r.rect.x - reach && x <= r.rect.right() + reach &&
                   y >= r.rect.y - reach && y <= r.rect.bottom() + reach;
        });
    }

    // --- underlines: a free rule with its caption before it ---
    void underlineFields()
    {
        // Free rules on one line with short breaks (writing across a dashed
        // line breaks it) are one underline.
        std::vector<Rule> free;
        for (const Rule& rule : m_ruling.rules)
            if (rule.horizontal && rule.rect.w >= px(1.0))
                free.push_back(rule);
        std::sort(free.begin(), free.end(), [](const Rule& a, const Rule& b) { return a.rect.x < b.rect.x; });
        for (std::size_t i = 0; i < free.size(); ++i) {
            for (std::size_t j = i + 1; j < free.size() && free[i].rect.w > 0; ++j) {
                Rule& a = free[i];
                const Rule& b = free[j];
                if (b.rect.w == 0 || std::abs(centreY(a.rect) - centreY(b.rect)) > px(0.8))
                    continue;
                if (b.rect.x - a.rect.right() > px(15.0) || textBetween(a.rect, b.rect))
                    continue;
                a.rect = unite(a.rect, b.rect);
                a.joinedAtEnd = b.joinedAtEnd;
                free[j].rect = {};
            }
        }
        for (const Rule& rule : free) {
            if (rule.rect.w < px(10.0) || framed(rule.rect.x, centreY(rule.rect)) || framed(rule.rect.right(), centreY(rule.rect)))
                continue;
            const PixelRect line{rule.rect.x, rule.rect.y - m_charHeight * 2, rule.rect.w, m_charHeight * 2 + rule.rect.h};
            if (std::any_of(m_fields.begin(), m_fields.end(), [&](const ProposedField& f) {
                    return !intersect(f.rect, line).empty();
                }))
                continue;
            const auto left = phraseLeftOf(line, m_charHeight * 3);
            if (!left)
                continue;
            // A stroke in a box meant for a signature or a table is writing, not a rule.
            const int container = containerOf(centreX(rule.rect), centreY(rule.rect));
            if (container >= 0 && m_isLeaf[static_cast<std::size_t>(container)] &&
                m_ruling.regions[static_cast<std::size_t>(container)].rect.h >= m_charHeight * 4)
                continue;
            const PixelRect& captionRect = m_phrases[*left].rect;
            // Writing stands on the line, or on the caption's baseline where the line is of hyphens.
            const int height = std::max(captionRect.h, m_charHeight) * 16 / 10;
            const int bottom = std::max(rule.rect.y, std::min(captionRect.bottom(), rule.rect.bottom() + m_charHeight / 2));
            std::string caption = textOf(*left);
            if (caption.empty())
                continue;
            add({rule.rect.x, bottom - height, rule.rect.w, height}, "underline", caption);
            if (m_cancelled)
                return;
        }
    }

    const Ruling& m_ruling;
    CaptionReader& m_reader;
    const ScanProgress& m_progress;
    double m_mm;
    std::vector<bool> m_isSquare;
    std::vector<bool> m_isLeaf;
    std::vector<Phrase> m_phrases;
    std::vector<std::optional<std::string>> m_text;
    std::map<std::size_t, bool> m_colon;
    std::map<std::size_t, std::string> m_raw;
    std::vector<PixelRect> m_glyphBoxes;
    std::vector<ProposedField> m_fields;
    int m_charHeight = 0;
    double m_ocrDone = 0;
    double m_ocrTotal = 1;
    bool m_cancelled = false;
};

// Deskewed rectangle -> the same size centred on its place in the scan as given.
PixelRect backToScan(const PixelRect& r, const Ruling& ruling, int width, int height)
{
    const auto& m = ruling.toScan;
    const double cx = r.x + r.w / 2.0;
    const double cy = r.y + r.h / 2.0;
    const double x = m[0] * cx + m[1] * cy + m[2];
    const double y = m[3] * cx + m[4] * cy + m[5];
    PixelRect out{static_cast<int>(std::lround(x - r.w / 2.0)), static_cast<int>(std::lround(y - r.h / 2.0)), r.w, r.h};
    return intersect(out, {0, 0, width, height});
}

void orderFields(std::vector<ProposedField>& fields)
{
    std::sort(fields.begin(), fields.end(), [](const ProposedField& a, const ProposedField& b) {
        return centreY(a.rect) < centreY(b.rect);
    });
    // Fields whose middles share a line form a row, read left to right.
    std::size_t start = 0;
    while (start < fields.size()) {
        std::size_t end = start + 1;
        while (end < fields.size() &&
               centreY(fields[end].rect) - centreY(fields[start].rect) <= std::min(fields[start].rect.h, fields[end].rect.h) / 2)
            ++end;
        std::sort(fields.begin() + static_cast<std::ptrdiff_t>(start), fields.begin() + static_cast<std::ptrdiff_t>(end),
                  [](const ProposedField& a, const ProposedField& b) { return a.rect.x < b.rect.x; });
        start = end;
    }
}

} // namespace

PixelRect intersect(const PixelRect& a, const PixelRect& b)
{
    const int x = std::max(a.x, b.x);
    const int y = std::max(a.y, b.y);
    const int r = std::min(a.right(), b.right());
    const int bottom = std::min(a.bottom(), b.bottom());
    if (r <= x || bottom <= y)
        return {};
    return {x, y, r - x, bottom - y};
}

PixelRect unite(const PixelRect& a, const PixelRect& b)
{
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    const int x = std::min(a.x, b.x);
    const int y = std::min(a.y, b.y);
    return {x, y, std::max(a.right(), b.right()) - x, std::max(a.bottom(), b.bottom()) - y};
}

double iou(const PixelRect& a, const PixelRect& b)
{
    const double common = static_cast<double>(intersect(a, b).area());
    const double total = static_cast<double>(a.area() + b.area()) - common;
    return total > 0 ? common / total : 0.0;
}

ScanAnalysis analyseScan(const Picture& image, PaperSize paper, CaptionReader& reader, const ScanProgress& progress)
{
    ScanAnalysis analysis;
    analysis.width = image.width;
    analysis.height = image.height;
    analysis.paper = paper;
    if (image.empty() || paper.widthCm <= 0 || paper.heightCm <= 0)
        return analysis;
    if (progress && !progress(0.0)) {
        analysis.cancelled = true;
        return analysis;
    }
    const double pxPerMm = (image.width / paper.widthCm + image.height / paper.heightCm) / 20.0;
    // Each band ruled at its own slant is levelled and read on its own.
    const auto bands = skewBands(image, pxPerMm);
    std::vector<ProposedField> fields;
    int tallest = 0;
    for (std::size_t k = 0; k < bands.size(); ++k) {
        const auto [top, bottom] = bands[k];
        const double share = 1.0 / static_cast<double>(bands.size());
        const double base = share * static_cast<double>(k);
        const ScanProgress bandProgress = [&](double done) { return !progress || progress(base + share * done); };
        Picture band;
        const Picture* part = &image;
        if (bands.size() > 1) {
            band.width = image.width;
            band.height = bottom - top;
            band.channels = image.channels;
            const std::size_t row = static_cast<std::size_t>(image.width) * image.channels;
            band.pixels.assign(image.pixels.begin() + static_cast<std::ptrdiff_t>(row * top),
                               image.pixels.begin() + static_cast<std::ptrdiff_t>(row * bottom));
            part = &band;
        }
        const Ruling ruling = findRuling(*part, pxPerMm);
        if (bottom - top > tallest) {
            tallest = bottom - top;
            analysis.skewDegrees = ruling.skewDegrees;
        }
        if (!bandProgress(0.3)) {
            analysis.cancelled = true;
            return analysis;
        }
        Layout layout(ruling, reader, bandProgress);
        auto found = layout.run();
        if (!found) {
            analysis.cancelled = true;
            return analysis;
        }
        for (ProposedField& field : *found) {
            field.rect = backToScan(field.rect, ruling, part->width, part->height);
            field.rect.y += top;
            field.column = columnNameFor(field.caption);
            fields.push_back(std::move(field));
        }
    }
    std::erase_if(fields, [](const ProposedField& f) { return f.rect.empty(); });
    orderFields(fields);
    makeColumnsUnique(fields);
    analysis.fields = std::move(fields);
    if (progress)
        progress(1.0);
    return analysis;
}

ScanAnalysis analyseScan(const Picture& image, PaperSize paper)
{
    CaptionReader reader;
    return analyseScan(image, paper, reader);
}

} // namespace ordavel::scan
