// The regions the rules enclose and the rules themselves, as the stages ask about them.
#include "scan/field_layout.h"

#include <algorithm>

namespace ordavel::scan::layout {

void Layout::classifyRegions()
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
int Layout::containerOf(int x, int y) const
{
    int best = -1;
    for (std::size_t i = 0; i < m_ruling.regions.size(); ++i) {
        const PixelRect& r = m_ruling.regions[i].rect;
        if (holds(r, x, y) && (best < 0 || r.area() < m_ruling.regions[static_cast<std::size_t>(best)].rect.area()))
            best = static_cast<int>(i);
    }
    return best;
}

bool Layout::besideVerticalRule(const PixelRect& r) const
{
    const int reach = 4;
    return std::any_of(m_ruling.rules.begin(), m_ruling.rules.end(), [&](const Rule& rule) {
        return !rule.horizontal && rule.rect.h >= r.h && r.x <= rule.rect.right() + reach && r.right() >= rule.rect.x - reach &&
               r.y >= rule.rect.y - reach && r.bottom() <= rule.rect.bottom() + reach;
    });
}

// Whether printed text stands on the line between two pieces of a rule
// (writing crosses the line; print stays above it).
bool Layout::textBetween(const PixelRect& a, const PixelRect& b) const
{
    return std::any_of(m_phrases.begin(), m_phrases.end(), [&](const Phrase& p) {
        return p.rect.x >= a.right() - px(0.5) && p.rect.right() <= b.x + px(0.5) &&
               p.rect.bottom() <= b.bottom() + m_charHeight && p.rect.bottom() >= b.y - m_charHeight &&
               p.rect.y <= b.y - m_charHeight / 3;
    });
}

// Whether a vertical rule taller than a line of writing passes by (x, y):
// a rule ending there is a cell's side, not an underline.
bool Layout::framed(int x, int y) const
{
    const int reach = px(0.8);
    return std::any_of(m_ruling.rules.begin(), m_ruling.rules.end(), [&](const Rule& r) {
        return !r.horizontal && r.rect.h >= px(8.0) && x >= r.rect.x - reach && x <= r.rect.right() + reach &&
               y >= r.rect.y - reach && y <= r.rect.bottom() + reach;
    });
}

std::pair<int, int> Layout::paperSpan() const
{
    const Picture& grey = m_ruling.grey;
    if (grey.empty())
        return {0, 0};
    std::vector<double> mean(static_cast<std::size_t>(grey.width), 0.0);
    const int step = std::max(1, grey.height / 200);
    int rows = 0;
    for (int y = 0; y < grey.height; y += step, ++rows) {
        const std::uint8_t* row = grey.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(grey.width);
        for (int x = 0; x < grey.width; ++x)
            mean[static_cast<std::size_t>(x)] += row[x];
    }
    for (double& m : mean)
        m /= std::max(1, rows);
    const auto [low, high] = std::minmax_element(mean.begin(), mean.end());
    // Paper is much lighter than what lies around it; a scan has nothing around it.
    if (*high - *low < 60)
        return {0, grey.width};
    const double cut = (*low + *high) / 2;
    int left = 0;
    while (left < grey.width && mean[static_cast<std::size_t>(left)] < cut)
        ++left;
    int right = grey.width;
    while (right > left && mean[static_cast<std::size_t>(right - 1)] < cut)
        --right;
    return {left, right};
}

} // namespace ordavel::scan::layout
