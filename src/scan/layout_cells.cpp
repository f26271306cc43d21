// Ruled cells: empty ones captioned beside them, captioned ones, and table columns under headers.
#include "scan/field_layout.h"

#include "scan/caption_dictionary.h"
#include "scan/utf8.h"

#include <algorithm>

namespace ordavel::scan::layout {

void Layout::cellFields()
{
    const auto& regions = m_ruling.regions;
    // Table bodies first: the header cells above them are then used up.
    std::vector<bool> done(regions.size(), false);
    for (std::size_t i = 0; i < regions.size(); ++i)
        if (m_isLeaf[i] && !m_isSquare[i] && columnsUnderHeader(static_cast<int>(i), done))
            done[i] = true;
    narrowCellRows(done);
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

// A row of four narrow empty cells or more, side by side and alike (the
// digits of an amount under 亿 千 百 十 ... 元 角 分): one row of boxes.
void Layout::narrowCellRows(std::vector<bool>& done)
{
    const auto& regions = m_ruling.regions;
    const int slack = px(1.0);
    std::vector<std::size_t> narrow;
    for (std::size_t i = 0; i < regions.size(); ++i) {
        const PixelRect& r = regions[i].rect;
        if (!m_isLeaf[i] || m_isSquare[i] || done[i] || r.w > r.h * 13 / 10 || r.w > px(10.0) || r.h > px(15.0))
            continue;
        const bool empty = std::none_of(m_phrases.begin(), m_phrases.end(), [&](const Phrase& p) {
            return p.container == static_cast<int>(i) && p.rect.h * 5 >= m_charHeight * 3;
        });
        if (empty)
            narrow.push_back(i);
    }
    std::sort(narrow.begin(), narrow.end(), [&](std::size_t a, std::size_t b) { return regions[a].rect.x < regions[b].rect.x; });
    std::vector<bool> used(narrow.size(), false);
    for (std::size_t k = 0; k < narrow.size(); ++k) {
        if (used[k])
            continue;
        std::vector<std::size_t> row{k};
        PixelRect last = regions[narrow[k]].rect;
        for (std::size_t j = k + 1; j < narrow.size(); ++j) {
            const PixelRect& r = regions[narrow[j]].rect;
            if (used[j] || std::abs(r.y - last.y) > slack || std::abs(r.h - last.h) > slack)
                continue;
            if (r.x - last.right() > px(1.5))
                break;
            row.push_back(j);
            last = r;
        }
        if (row.size() < 4)
            continue;
        PixelRect rect = regions[narrow[row.front()]].rect;
        for (const std::size_t j : row) {
            used[j] = true;
            done[narrow[j]] = true;
            rect = unite(rect, regions[narrow[j]].rect);
        }
        std::string caption;
        if (const auto left = phraseLeftOf(rect, px(30.0)))
            caption = textOf(*left);
        add(rect, "box", std::move(caption));
    }
}

namespace {

// Whether `text` reads as a value filled in rather than a printed caption:
// mostly figures (a phone, an amount, a date with its units), or a short
// Chinese name that no form prints as a caption.
bool readsAsValue(const std::string& text)
{
    const std::u32string t = decodeUtf8(text);
    int figures = 0;
    int chinese = 0;
    int other = 0;
    for (const char32_t c : t) {
        if (c >= '0' && c <= '9')
            ++figures;
        else if (c == ' ' || std::u32string_view(U".,:-/+()¥$%年月日元号").find(c) != std::u32string_view::npos)
            continue;
        else if (c >= 0x4E00 && c <= 0x9FFF)
            ++chinese;
        else
            ++other;
    }
    if (figures >= 3)
        return figures * 2 >= figures + chinese + other;
    return figures == 0 && other == 0 && chinese >= 2 && chinese <= 3 && !CaptionDictionary::common().isEntry(text);
}

} // namespace

// The caption of the cell left of `region` when all `region` holds is one
// line read as a value and that caption reads as none.
std::optional<std::string> Layout::valueBesideCaption(int region, const PixelRect& area, const std::vector<std::size_t>& mine)
{
    PixelRect text = m_phrases[mine.front()].rect;
    for (const std::size_t p : mine)
        text = unite(text, m_phrases[p].rect);
    if (text.h > m_charHeight * 3 / 2)
        return std::nullopt;
    const auto left = phraseLeftOf(area, px(25.0));
    if (!left || m_phrases[*left].container < 0 || m_phrases[*left].container == region)
        return std::nullopt;
    std::string value;
    for (const std::size_t p : mine) {
        if (colonAfter(p))
            return std::nullopt;
        value += textOf(p);
    }
    if (!readsAsValue(value))
        return std::nullopt;
    std::string caption = textOf(*left);
    if (caption.empty() || readsAsValue(caption))
        return std::nullopt;
    return caption;
}

void Layout::cell(int region)
{
    const PixelRect outer = m_ruling.regions[static_cast<std::size_t>(region)].rect;
    const int pad = std::max(1, px(0.3));
    const PixelRect area{outer.x + pad, outer.y + pad, outer.w - 2 * pad, outer.h - 2 * pad};
    std::vector<std::size_t> mine;
    for (std::size_t p = 0; p < m_phrases.size(); ++p)
        if (m_phrases[p].container == region)
            mine.push_back(p);
    if (mine.empty()) {
        // An empty cell takes the caption printed left of it, that of the
        // head of its table column, or the caption above it.
        // The first of them that reads as something.
        std::string caption;
        if (const auto left = phraseLeftOf(area, px(25.0)))
            caption = textOf(*left);
        if (const auto head = caption.empty() ? columnHead(region) : std::nullopt)
            caption = textOf(*head);
        if (const auto above = caption.empty() ? phraseAbove(area) : std::nullopt)
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
    // A value filled in a table's body, set off the cell's middle (a label
    // stands in the middle of its cell): the cell is the field, named by
    // the head of its column.
    if (const auto head = columnHead(region)) {
        PixelRect text = m_phrases[mine.front()].rect;
        for (const std::size_t p : mine)
            text = unite(text, m_phrases[p].rect);
        const int before = text.x - area.x;
        const int after = area.right() - text.right();
        const bool centred = std::abs(before - after) <= std::max(before, after) / 2;
        const bool oneLine = text.h <= m_charHeight * 3 / 2;
        if (!centred && oneLine && std::none_of(mine.begin(), mine.end(), [&](std::size_t p) { return colonAfter(p); })) {
            if (std::string caption = textOf(*head); !caption.empty())
                add(area, "cell", std::move(caption));
            return;
        }
    }
    // A value filled in beside a caption's cell (a phone, an amount, a
    // date, a name) makes its cell the field, named by that caption.
    if (const auto caption = valueBesideCaption(region, area, mine)) {
        add(area, "cell", *caption);
        return;
    }
    // Specks (a fill printed across the rule above, dust) are no caption.
    const auto top = std::find_if(mine.begin(), mine.end(),
                                  [&](std::size_t p) { return m_phrases[p].rect.h * 5 >= m_charHeight * 3; });
    if (top == mine.end())
        return;
    const PixelRect first = m_phrases[*top].rect;
    const int lineHeight = std::max(first.h, m_charHeight);
    // Two lines of captions or more, each with room to write after a colon
    // or before a unit ("__省__市__区" over "详细地址："): each line is a row
    // of fields across the cell. (A value filled in below a caption is no
    // such line.)
    std::vector<std::vector<std::size_t>> lines;
    for (auto it = top; it != mine.end(); ++it) {
        const PixelRect& r = m_phrases[*it].rect;
        if (r.h * 5 < m_charHeight * 3)
            continue;
        if (lines.empty() || centreY(r) >= m_phrases[lines.back().front()].rect.bottom())
            lines.emplace_back();
        lines.back().push_back(*it);
    }
    if (lines.size() >= 2) {
        std::vector<LineField> all;
        int sureLines = 0;
        for (std::size_t k = 0; k < lines.size(); ++k) {
            auto bottomOf = [&](const std::vector<std::size_t>& l) {
                int b = 0;
                for (const std::size_t p : l)
                    b = std::max(b, m_phrases[p].rect.bottom());
                return b;
            };
            const int y0 = k == 0 ? area.y : (bottomOf(lines[k - 1]) + m_phrases[lines[k].front()].rect.y) / 2;
            const int y1 = k + 1 == lines.size() ? area.bottom() : (bottomOf(lines[k]) + m_phrases[lines[k + 1].front()].rect.y) / 2;
            std::sort(lines[k].begin(), lines[k].end(), [&](std::size_t a, std::size_t b) { return m_phrases[a].rect.x < m_phrases[b].rect.x; });
            std::vector<LineField> found = lineFields(lines[k], {area.x, y0, area.w, y1 - y0}, lineHeight);
            std::erase_if(found, [](const LineField& f) { return !f.sure; });
            sureLines += found.empty() ? 0 : 1;
            all.insert(all.end(), found.begin(), found.end());
        }
        if (sureLines >= 2) {
            for (LineField& f : all)
                add(f.rect, "cell", std::move(f.caption));
            return;
        }
    }
    // A caption standing higher in its cell than its middle heads the area below it.
    const bool onTop = first.y - area.y < area.bottom() - first.bottom() - lineHeight;
    // (A cell a few characters wide holds a label set down it, not room to write.)
    if (area.h >= lineHeight * 5 / 2 && area.bottom() - first.bottom() >= lineHeight && onTop && area.w >= lineHeight * 4) {
        // A tall cell with its caption on top: the area under the caption is written in.
        if (first.y - area.y > lineHeight * 2)
            return;
        const int below = first.bottom() + pad;
        std::string caption = textOf(*top);
        if (!caption.empty())
            add({area.x, below, area.w, area.bottom() - below}, "cell", caption);
        return;
    }
    // One line: the line of the tallest text in the cell; specks of a
    // fill printed across the rule above are no line of their own.
    const PixelRect reference = m_phrases[*std::max_element(mine.begin(), mine.end(), [&](std::size_t a, std::size_t b) {
                                              return m_phrases[a].rect.h < m_phrases[b].rect.h;
                                          })].rect;
    std::vector<std::size_t> line;
    for (const std::size_t p : mine)
        if (centreY(m_phrases[p].rect) >= reference.y && centreY(m_phrases[p].rect) < reference.bottom())
            line.push_back(p);
    std::sort(line.begin(), line.end(), [&](std::size_t a, std::size_t b) { return m_phrases[a].rect.x < m_phrases[b].rect.x; });
    for (LineField& f : lineFields(line, area, lineHeight))
        if (f.sure || !colonStyle())
            add(f.rect, "cell", std::move(f.caption));
}

// The fields of one line of captions across `band`: each gap wide enough
// to write in, captioned by the text before it, or by the unit character
// after it ("__年__月"). Fields after a colon or before a unit are sure.
std::vector<Layout::LineField> Layout::lineFields(const std::vector<std::size_t>& line, const PixelRect& band, int lineHeight)
{
    std::vector<LineField> out;
    if (line.empty())
        return out;
    const int pad = std::max(1, px(0.3));
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
            const int end = k + 1 < captions.size() ? m_phrases[captions[k + 1]].rect.x - pad : band.right();
            if (end - start < minGap)
                continue;
            std::string caption = textOf(captions[k]);
            if (!caption.empty())
                out.push_back({{start, band.y, end - start, band.h}, std::move(caption), true});
        }
        return out;
    }
    // A caption centred or set right in its cell labels the cell beside or
    // under it; the space around it is no field.
    if (line.size() == 1 && m_phrases[line[0]].rect.x - band.x >= (band.right() - m_phrases[line[0]].rect.right()) / 2)
        return out;
    // A run of units may start with a blank ("__省__市").
    if (const PixelRect& head = m_phrases[line[0]].rect; head.x - pad - band.x >= minGap && isUnitCharacter(textOf(line[0])))
        out.push_back({{band.x, band.y, head.x - pad - band.x, band.h}, textOf(line[0]), true});
    for (std::size_t k = 0; k < line.size(); ++k) {
        const PixelRect& here = m_phrases[line[k]].rect;
        const int start = here.right() + pad;
        const int end = k + 1 < line.size() ? m_phrases[line[k + 1]].rect.x - pad : band.right();
        if (end - start < minGap)
            continue;
        std::string caption = textOf(line[k]);
        bool sure = false;
        if (k + 1 < line.size() && isUnitCharacter(textOf(line[k + 1]))) {
            caption = textOf(line[k + 1]);
            sure = true;
        } else if (isUnitCharacter(caption) || caption.empty()) {
            continue;
        } else {
            // A colon too faint to see as two dots may still be read.
            sure = endsWithColonRaw(line[k]);
        }
        out.push_back({{start, band.y, end - start, band.h}, std::move(caption), sure});
    }
    return out;
}

// Whether the form ends its captions with colons, so that a phrase without
// one before a blank space is a heading, not a caption: three colons seen
// at least, and on a fifth of the phrases.
bool Layout::colonStyle()
{
    if (!m_colonStyle) {
        std::size_t colons = 0;
        std::size_t count = 0;
        for (std::size_t p = 0; p < m_phrases.size(); ++p) {
            if (m_phrases[p].rect.h * 5 < m_charHeight * 3)
                continue;
            ++count;
            colons += checkColon(p);
        }
        m_colonStyle = colons >= 3 && colons * 5 >= count;
    }
    return *m_colonStyle;
}

// The caption heading the table column `region` stands in: the top cell of
// the column of cells above it, each under the next with the same sides,
// when that cell holds one phrase set in its middle (a head), a few lines
// high at most. What the cells between hold was filled in.
std::optional<std::size_t> Layout::columnHead(int region) const
{
    const auto& regions = m_ruling.regions;
    const int slack = px(1.5);
    std::optional<std::size_t> top;
    PixelRect here = regions[static_cast<std::size_t>(region)].rect;
    for (int steps = 0; steps < 60; ++steps) {
        std::optional<std::size_t> above;
        for (std::size_t i = 0; i < regions.size(); ++i) {
            const PixelRect& r = regions[i].rect;
            if (m_isLeaf[i] && std::abs(r.bottom() - here.y) <= slack && std::abs(r.x - here.x) <= slack &&
                std::abs(r.right() - here.right()) <= slack)
                above = i;
        }
        if (!above)
            break;
        top = above;
        here = regions[*above].rect;
    }
    if (!top || here.h > m_charHeight * 6)
        return std::nullopt;
    std::optional<std::size_t> phrase;
    int count = 0;
    for (std::size_t p = 0; p < m_phrases.size(); ++p)
        if (m_phrases[p].container == static_cast<int>(*top) && m_phrases[p].rect.h * 5 >= m_charHeight * 3) {
            phrase = p;
            ++count;
        }
    if (count != 1)
        return std::nullopt;
    const PixelRect& r = m_phrases[*phrase].rect;
    const int before = r.x - here.x;
    const int after = here.right() - r.right();
    return std::abs(before - after) <= std::max(before, after) / 2 + m_charHeight ? phrase : std::nullopt;
}

// A tall cell under a row of header cells is split into one column per
// header caption, each reaching to the next one.
bool Layout::columnsUnderHeader(int region, std::vector<bool>& done)
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

} // namespace ordavel::scan::layout
