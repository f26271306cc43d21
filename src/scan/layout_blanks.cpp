// Rows of character boxes, check boxes, underlines and open blanks after a caption.
#include "scan/field_layout.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace ordavel::scan::layout {

void Layout::squareFields()
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
    // A lone square is not stretched: rules through a seal or a table's
    // corner would make it a row.
    for (auto& [rect, count] : ordered)
        if (count >= 2)
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
void Layout::stretchAlongRules(PixelRect& rect, int& count) const
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
    int left = std::max(top.x, bottom.x);
    int right = std::min(top.right(), bottom.right());
    // A rule taller than the row crossing it is the side of the cell the
    // row stands in (the rules above and below run on past it, along the table).
    for (const Rule& rule : m_ruling.rules) {
        if (rule.horizontal || rule.rect.h * 2 < rect.h * 3 || rule.rect.y > centreY(rect) || rule.rect.bottom() < centreY(rect))
            continue;
        if (rule.rect.right() <= rect.x + near)
            left = std::max(left, rule.rect.right());
        else if (rule.rect.x >= rect.right() - near)
            right = std::min(right, rule.rect.x);
    }
    if (left < rect.x - near || right > rect.right() + near) {
        const int pitch = std::max(1, rect.h);
        count += (rect.x - left + right - rect.right()) / pitch;
        rect.x = std::min(rect.x, left + near / 2);
        rect.w = std::max(rect.right(), right - near / 2) - rect.x;
    }
}

// A check box is a square with its caption on the right.
void Layout::checkBox(const PixelRect& rect)
{
    const auto right = phraseRightOf(rect, std::max(px(4.0), rect.w));
    if (!right)
        return;
    add(rect, "checkbox", textOf(*right));
}

void Layout::glyphBoxFields()
{
    for (const PixelRect& glyph : m_glyphBoxes)
        checkBox(glyph);
}

void Layout::underlineFields()
{
    // Free rules on one line with short breaks (writing across a dashed
    // line breaks it) are one underline.
    std::vector<Rule> free;
    // A stroke through the middle of a line of print ("一") is no rule.
    auto stroke = [&](const PixelRect& r) {
        return std::any_of(m_phrases.begin(), m_phrases.end(), [&](const Phrase& p) {
            const int across = std::min(r.right(), p.rect.right()) - std::max(r.x, p.rect.x);
            return across * 2 >= r.w && centreY(r) > p.rect.y + p.rect.h / 5 && centreY(r) < p.rect.bottom() - p.rect.h / 5;
        });
    };
    for (const Rule& rule : m_ruling.rules)
        if (rule.horizontal && rule.rect.w >= px(1.0) && !stroke(rule.rect))
            free.push_back(rule);
    for (const PixelRect& leader : m_leaders)
        free.push_back({leader, true, false, false});
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

// Whether the phrase is a caption ending in a colon: two dots seen, or read.
bool Layout::colonAfter(std::size_t phrase)
{
    return checkColon(phrase) || endsWithColonRaw(phrase);
}

void Layout::openPageFields()
{
    // Margins mirror each other: a blank with no caption after it runs to
    // the right margin, as far from the paper's edge as the text is on the left.
    const auto [paperLeft, paperRight] = paperSpan();
    int textLeft = paperRight;
    for (const Phrase& phrase : m_phrases)
        if (phrase.container < 0)
            textLeft = std::min(textLeft, phrase.rect.x);
    const int textRight = paperRight - std::max(0, textLeft - paperLeft);
    for (std::size_t p = 0; p < m_phrases.size(); ++p) {
        const Phrase& phrase = m_phrases[p];
        if (phrase.container >= 0 && m_isLeaf[static_cast<std::size_t>(phrase.container)])
            continue;
        if (phrase.rect.h > m_charHeight * 2)
            continue;
        const int lineHeight = std::max(phrase.rect.h, m_charHeight);
        // The phrases after it on the same line, in the same region, left to right.
        std::vector<std::size_t> after;
        for (std::size_t q = 0; q < m_phrases.size(); ++q) {
            const Phrase& other = m_phrases[q];
            if (q == p || other.container != phrase.container || other.rect.x <= phrase.rect.right())
                continue;
            if (verticalOverlap(other.rect, phrase.rect) * 2 < std::min(other.rect.h, phrase.rect.h))
                continue;
            after.push_back(q);
        }
        std::sort(after.begin(), after.end(), [&](std::size_t a, std::size_t b) { return m_phrases[a].rect.x < m_phrases[b].rect.x; });
        const int start = phrase.rect.right() + px(0.5);
        // A blank before a unit character ("__月__日") holds two figures or more.
        const bool beforeUnit = !after.empty() && isUnitCharacter(textOf(after.front()));
        std::string caption = textOf(p);
        int end = 0;
        if (beforeUnit) {
            // A blank between unit characters is named by the one after it.
            end = m_phrases[after.front()].rect.x - px(0.5);
            if (!isUnitCharacter(caption) && !endsWithColonRaw(p))
                continue;
            if (end - start < lineHeight * 2)
                continue;
            // A run starting with a blank ("__年__月"): a blank as wide as
            // this one stands before its first unit, when that space is clear.
            if (isUnitCharacter(caption)) {
                const PixelRect before{phrase.rect.x - px(0.5) - (end - start), centreY(phrase.rect) - lineHeight * 9 / 10, end - start,
                                       lineHeight * 9 / 5};
                const bool clear = before.x >= 0 && std::none_of(m_phrases.begin(), m_phrases.end(), [&](const Phrase& other) {
                    return &other != &phrase && !intersect(other.rect, before).empty();
                });
                if (clear && std::none_of(m_ruling.regions.begin(), m_ruling.regions.end(), [&](const Region& r) {
                        return !intersect(r.rect, before).empty() && !inside(before, r.rect);
                    }))
                    add(before, "cell", caption);
            }
            caption = textOf(after.front());
        } else {
            if (!colonAfter(p))
                continue;
            // The blank reaches to the next caption on the line, past what
            // was filled in; the last one on a line to the margin.
            const auto stop = std::find_if(after.begin(), after.end(), [&](std::size_t q) { return colonAfter(q); });
            if (stop != after.end())
                end = m_phrases[*stop].rect.x - px(0.5);
            else if (phrase.container >= 0)
                end = m_ruling.regions[static_cast<std::size_t>(phrase.container)].rect.right() - px(0.5);
            else
                end = textRight;
            // A box to tick or a rule across the line ends it too.
            const PixelRect line{start, centreY(phrase.rect) - lineHeight / 2, std::max(0, end - start), lineHeight};
            for (const PixelRect& glyph : m_glyphBoxes)
                if (!intersect(glyph, line).empty())
                    end = std::min(end, glyph.x - px(0.5));
            for (const Region& r : m_ruling.regions)
                if (!intersect(r.rect, line).empty() && !inside(line, r.rect) && r.rect.x > start)
                    end = std::min(end, r.rect.x - px(0.5));
            // (Strokes of characters written in the blank are found as short
            // rules; a cell's side is taller than the line.)
            for (const Rule& rule : m_ruling.rules)
                if (!rule.horizontal && rule.rect.h >= lineHeight * 3 / 2 && !intersect(rule.rect, line).empty() && rule.rect.x > start)
                    end = std::min(end, rule.rect.x - px(0.5));
            if (end - start < lineHeight * 3)
                continue;
            // Room to write in: print close above or below it makes the
            // caption a heading of the lines under it ("Note:" and a list).
            const PixelRect room{start, centreY(phrase.rect) - lineHeight * 13 / 10, end - start, lineHeight * 13 / 5};
            const bool crowded = std::any_of(m_phrases.begin(), m_phrases.end(), [&](const Phrase& other) {
                return &other != &phrase && other.rect.h >= m_charHeight / 2 && !intersect(other.rect, room).empty() &&
                       verticalOverlap(other.rect, phrase.rect) * 2 < std::min(other.rect.h, phrase.rect.h);
            });
            if (crowded)
                continue;
        }
        const PixelRect blank{start, centreY(phrase.rect) - lineHeight * 9 / 10, end - start, lineHeight * 9 / 5};
        // Nothing ruled in the way: that belongs to the boxes and cells.
        if (std::any_of(m_ruling.regions.begin(), m_ruling.regions.end(),
                        [&](const Region& r) { return !intersect(r.rect, blank).empty() && !inside(blank, r.rect); }))
            continue;
        if (std::any_of(m_fields.begin(), m_fields.end(), [&](const ProposedField& f) { return !intersect(f.rect, blank).empty(); }))
            continue;
        add(blank, "cell", caption);
        if (m_cancelled)
            return;
    }
}

} // namespace ordavel::scan::layout
