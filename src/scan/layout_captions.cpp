// Characters joined into phrases, read as captions, and found beside a field.
#include "scan/field_layout.h"

#include "scan/caption_dictionary.h"
#include "scan/caption_reader.h"
#include "scan/utf8.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace ordavel::scan::layout {

namespace {

// Blank columns wider than this share of the line's height are cut to it
// before a line is read: letter-spaced captions read as words.
constexpr double kLetterGap = 0.35;
// Print whose darkest strokes are paler than this share of the rules' darkness is background.
constexpr double kPaleShare = 0.45;
// A reading whose least certain character is this sure is taken as read:
// a caption read so surely that is no entry of the dictionary is printed
// so (医疗机构类型), and reading it again finds the same.
constexpr double kSureReading = 95.0;

} // namespace

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
    static const char* const units[] = {"年", "月", "日", "时", "分", "秒", "万", "仟", "佰", "拾", "元", "角", "省", "市", "区", "县"};
    return std::any_of(std::begin(units), std::end(units), [&](const char* u) { return text == u; });
}

// Only what could be a caption of the dictionary is read again: two
// characters to seven, read with some doubt. One alone leaves too little to
// tell; a phrase far shorter or taller than the page's characters (specks,
// a stamp) is no caption.
bool worthReadingAgain(const std::string& text, double sureness, int height, int charHeight)
{
    const std::size_t length = decodeUtf8(text).size();
    return hasChinese(text) && length >= 2 && length <= 7 && sureness < kSureReading && height * 2 >= charHeight &&
           height <= charHeight * 2 && !CaptionDictionary::common().isEntry(text);
}

void Layout::buildPhrases()
{
    std::vector<const Blob*> text;
    std::vector<int> heights;
    const int big = px(12.0);
    for (const Blob& blob : m_ruling.blobs) {
        if (blob.rect.w > big || blob.rect.h > big)
            continue; // logos, stamps, pictures
        if (blob.rect.w >= px(2.0) && blob.rect.h >= px(2.0) && blob.ink * 10 >= blob.rect.area() * 7 &&
            !paperInMiddle(blob.rect))
            continue; // solid marks: punched holes, bullets
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
            // Parts of one character set one above the other ("是", "李");
            // not slivers, which are what is left of a broken rule.
            const int across = std::min(a.right(), b.right()) - std::max(a.x, b.x);
            if (across * 2 >= std::min(a.w, b.w) && std::min(a.w, b.w) * 3 >= m_charHeight && -overlap <= m_charHeight / 3 &&
                unite(a, b).h <= m_charHeight * 13 / 10)
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
    dropPalePhrases();
    // A row of dots too faint or fine for a rule is a leader to write on;
    // specks alone (dust) are no captions either.
    std::erase_if(m_phrases, [&](const Phrase& p) {
        const bool dots = p.rect.h <= m_charHeight / 2 && p.parts >= 5 && p.rect.w >= px(5.0) &&
                          std::all_of(p.glyphs.begin(), p.glyphs.end(), [&](const PixelRect& g) { return g.w <= m_charHeight / 2; });
        if (dots)
            m_leaders.push_back(p.rect);
        return dots || (p.rect.h < m_charHeight / 2 && p.rect.w < m_charHeight);
    });
    m_text.assign(m_phrases.size(), std::nullopt);
}

// Whether the middle of `rect` shows paper between strokes: a bold or
// blurred character fills most of its box, as a punched hole or a bullet
// does, but only the character has lighter gaps within it. Paper is what
// is nearer the lightest grey around the box than the darkest within it.
bool Layout::paperInMiddle(const PixelRect& rect) const
{
    const Picture& grey = m_ruling.grey;
    const PixelRect page{0, 0, grey.width, grey.height};
    const int grow = std::max(2, rect.h / 4);
    const PixelRect around = intersect({rect.x - grow, rect.y - grow, rect.w + 2 * grow, rect.h + 2 * grow}, page);
    const PixelRect middle = intersect({rect.x + rect.w / 4, rect.y + rect.h / 4, rect.w / 2, rect.h / 2}, page);
    if (around.empty() || middle.empty())
        return true;
    auto at = [&](int x, int y) { return grey.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(grey.width) + static_cast<std::size_t>(x)]; };
    int paper = 0;
    int ink = 255;
    for (int y = around.y; y < around.bottom(); ++y)
        for (int x = around.x; x < around.right(); ++x)
            paper = std::max(paper, static_cast<int>(at(x, y)));
    for (int y = middle.y; y < middle.bottom(); ++y)
        for (int x = middle.x; x < middle.right(); ++x)
            ink = std::min(ink, static_cast<int>(at(x, y)));
    const int light = (paper + ink) / 2;
    long long lit = 0;
    for (int y = middle.y; y < middle.bottom(); ++y)
        for (int x = middle.x; x < middle.right(); ++x)
            lit += at(x, y) > light ? 1 : 0;
    // A few light pixels are the scanner's noise on a solid mark.
    return paper - ink >= 32 && lit * 50 >= static_cast<long long>(middle.area());
}

// Print far paler than the form's rules (a watermark, a pattern under the
// form) is no caption: a phrase whose darkest strokes fall short of a
// share of the rules' darkness goes.
void Layout::dropPalePhrases()
{
    const Picture& grey = m_ruling.grey;
    if (m_ruling.ruleDarkness <= 0 || grey.empty())
        return;
    std::vector<std::uint8_t> values;
    auto percentile = [&](double share) {
        const auto at = values.begin() + static_cast<std::ptrdiff_t>(static_cast<double>(values.size() - 1) * share);
        std::nth_element(values.begin(), at, values.end());
        return static_cast<double>(*at);
    };
    std::erase_if(m_phrases, [&](const Phrase& phrase) {
        const PixelRect around = intersect({phrase.rect.x - m_charHeight / 2, phrase.rect.y - m_charHeight / 2,
                                            phrase.rect.w + m_charHeight, phrase.rect.h + m_charHeight},
                                           {0, 0, grey.width, grey.height});
        if (around.empty())
            return false;
        auto collect = [&](const PixelRect& r) {
            const PixelRect in = intersect(r, {0, 0, grey.width, grey.height});
            for (int y = in.y; y < in.bottom(); ++y)
                for (int x = in.x; x < in.right(); ++x)
                    values.push_back(grey.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(grey.width) + static_cast<std::size_t>(x)]);
        };
        values.clear();
        collect(around);
        const double paper = percentile(0.9);
        // The strokes' grey within the characters' own boxes: a rule passing
        // by is a thin share of them.
        values.clear();
        for (const PixelRect& g : phrase.glyphs)
            collect(g);
        if (values.empty())
            return false;
        const double ink = percentile(0.1);
        return paper - ink < m_ruling.ruleDarkness * kPaleShare;
    });
}

const std::string& Layout::textOf(std::size_t phrase)
{
    if (!m_text[phrase]) {
        const PixelRect& r = m_phrases[phrase].rect;
        const double scale = std::clamp(40.0 / std::max(1, r.h), 0.25, 4.0);
        const int margin = std::max(2, r.h / 4);
        const bool single = m_phrases[phrase].parts <= 3 && r.w <= r.h * 13 / 10;
        const Picture cleaned = cleanedCrop(phrase);
        const PixelRect inner{margin, margin, r.w, r.h};
        Picture crop = cropScaled(cleaned, inner, scale, margin);
        if (!single)
            crop = squeezeBlankColumns(crop, static_cast<int>(std::lround(r.h * scale * kLetterGap)));
        // Squeezing takes the blank margins too; the Chinese model reads
        // better with them given back (the mixed one then sees brackets in
        // the edges of Latin words).
        const Picture padded = single ? cropScaled(cleaned, inner, scale, r.h / 2)
                                      : cropScaled(crop, {0, 0, crop.width, crop.height}, 1.0, static_cast<int>(std::lround(margin * scale)));
        // The Chinese model alone reads Chinese lines best: with the
        // English one beside it, spaced or faint characters are taken for
        // Latin letters. Lines of square characters go to it at once,
        // others when the two models together find Chinese in them.
        // On a form printed in Chinese every caption goes to it first, the
        // short ones too, which the two models together often read as letters.
        const bool chineseLine = (!single && looksChinese(m_phrases[phrase])) || chinesePage();
        // (The Chinese model reads a character alone best as a line.)
        std::string read = chineseLine ? m_reader.readChinese(padded) : std::string();
        double sureness = m_reader.sureness();
        if (!hasChinese(read)) {
            read = m_reader.read(crop, single);
            sureness = m_reader.sureness();
        }
        if (single && read.empty()) {
            read = m_reader.read(cropScaled(cleaned, inner, scale, margin), false);
            sureness = m_reader.sureness();
        }
        if (!single && !chineseLine && hasChinese(read)) {
            const std::string chinese = m_reader.readChinese(padded);
            if (hasChinese(chinese)) {
                read = chinese;
                sureness = m_reader.sureness();
            }
        }
        m_raw[phrase] = read;
        std::string text = CaptionDictionary::common().correct(tidyCaption(read));
        if (worthReadingAgain(text, sureness, r.h, m_charHeight))
            text = readAgain(phrase, std::move(text));
        m_text[phrase] = std::move(text);
        ++m_ocrDone;
        if (m_progress && !m_progress(0.3 + 0.7 * std::min(1.0, m_ocrDone / m_ocrTotal)))
            m_cancelled = true;
    }
    return *m_text[phrase];
}

// A Chinese caption read with some doubt as no caption of the dictionary, read again
// by the Chinese model: larger, where strokes run together at the usual
// size; then from the crop as scanned, neither cleaned nor squeezed, since
// painting rules over and closing gaps can cost a character a stroke (数量
// read as 数曹). A second reading is kept when it is a caption, or ends in
// one where the first did not.
std::string Layout::readAgain(std::size_t phrase, std::string first)
{
    const CaptionDictionary& dictionary = CaptionDictionary::common();
    const PixelRect& r = m_phrases[phrase].rect;
    const double scale = std::clamp(40.0 / std::max(1, r.h), 0.25, 4.0);
    const int margin = std::max(2, r.h / 4);
    const bool single = m_phrases[phrase].parts <= 3 && r.w <= r.h * 13 / 10;
    auto reading = [&](const Picture& crop) { return dictionary.correct(tidyCaption(m_reader.readChinese(crop))); };

    const double larger = scale * 1.5;
    const Picture cleaned = cleanedCrop(phrase);
    const PixelRect inner{margin, margin, r.w, r.h};
    Picture crop = cropScaled(cleaned, inner, larger, single ? r.h / 2 : margin);
    if (!single) {
        crop = squeezeBlankColumns(crop, static_cast<int>(std::lround(r.h * larger * kLetterGap)));
        crop = cropScaled(crop, {0, 0, crop.width, crop.height}, 1.0, static_cast<int>(std::lround(margin * larger)));
    }
    if (std::string again = reading(crop); dictionary.isEntry(again))
        return again;

    const PixelRect around{r.x - margin, r.y - margin, r.w + 2 * margin, r.h + 2 * margin};
    std::string scanned = reading(cropScaled(m_ruling.grey, around, scale, margin));
    if (dictionary.isEntry(scanned))
        return scanned;
    if (!dictionary.entryEnding(first).empty())
        return first;
    // What stands before the caption is a rule or a speck read as a
    // character, unless it is more than one.
    if (std::string ending = dictionary.entryEnding(scanned); !ending.empty())
        return decodeUtf8(scanned).size() <= decodeUtf8(ending).size() + 1 ? ending : scanned;
    return first;
}

// The phrase with a margin of a quarter of its height around it, cleaned
// of rules: where a rule runs through it (a cell's side, the line under it)
// the paper's grey is painted over, so that the reader sees the caption alone.
Picture Layout::cleanedCrop(std::size_t phrase) const
{
    const Phrase& p = m_phrases[phrase];
    const Picture& grey = m_ruling.grey;
    const int margin = std::max(2, p.rect.h / 4);
    const int grow = std::max(1, m_charHeight / 10);
    Picture out;
    out.width = p.rect.w + 2 * margin;
    out.height = p.rect.h + 2 * margin;
    out.channels = 1;
    out.pixels.assign(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height), 255);
    std::vector<std::uint8_t> keep(out.pixels.size(), 1);
    for (const Rule& rule : m_ruling.rules) {
        const PixelRect& g = rule.rect;
        // A long stroke of a character is found as a rule too; a rule of the
        // form runs on past the phrase.
        if ((rule.horizontal ? g.w : g.h) < m_charHeight * 2 || inside(g, p.rect) || intersect(g, p.rect).empty())
            continue;
        for (int y = std::max(0, g.y - grow - p.rect.y + margin); y < std::min(out.height, g.bottom() + grow - p.rect.y + margin); ++y)
            for (int x = std::max(0, g.x - grow - p.rect.x + margin); x < std::min(out.width, g.right() + grow - p.rect.x + margin); ++x)
                keep[static_cast<std::size_t>(y) * static_cast<std::size_t>(out.width) + static_cast<std::size_t>(x)] = 0;
    }
    // The paper: the lightest tenth of what lies in the crop.
    std::vector<std::uint8_t> seen;
    for (int y = 0; y < out.height; ++y) {
        const int gy = p.rect.y - margin + y;
        if (gy < 0 || gy >= grey.height)
            continue;
        for (int x = 0; x < out.width; ++x) {
            const int gx = p.rect.x - margin + x;
            if (gx < 0 || gx >= grey.width)
                continue;
            const std::uint8_t v = grey.pixels[static_cast<std::size_t>(gy) * static_cast<std::size_t>(grey.width) + static_cast<std::size_t>(gx)];
            seen.push_back(v);
            out.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(out.width) + static_cast<std::size_t>(x)] = v;
        }
    }
    if (seen.empty())
        return out;
    const auto at = seen.begin() + static_cast<std::ptrdiff_t>((seen.size() - 1) * 9 / 10);
    std::nth_element(seen.begin(), at, seen.end());
    const std::uint8_t paper = *at;
    for (std::size_t i = 0; i < out.pixels.size(); ++i)
        if (keep[i] == 0)
            out.pixels[i] = paper;
    return out;
}

// Whether most phrases of the band are set as Chinese.
bool Layout::chinesePage()
{
    if (!m_chinesePage) {
        std::size_t count = 0;
        std::size_t chinese = 0;
        for (const Phrase& phrase : m_phrases) {
            if (phrase.rect.h * 5 < m_charHeight * 3)
                continue;
            ++count;
            chinese += looksChinese(phrase) ? 1 : 0;
        }
        m_chinesePage = count > 0 && chinese * 2 >= count;
    }
    return *m_chinesePage;
}

// Whether the phrase is set as Chinese: glyphs (strokes overlapping
// across the line joined) nearly as tall as the line and about as wide,
// where Latin letters stand at x-height or are narrow.
bool Layout::looksChinese(const Phrase& phrase)
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
std::optional<std::size_t> Layout::phraseLeftOf(const PixelRect& band, int reach) const
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

std::optional<std::size_t> Layout::phraseRightOf(const PixelRect& band, int reach) const
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

std::optional<std::size_t> Layout::phraseAbove(const PixelRect& area) const
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

// Whether the caption as read ended with a colon (tidying takes it off).
bool Layout::endsWithColonRaw(std::size_t phrase)
{
    (void)textOf(phrase);
    if (endsWithColon(m_raw[phrase]))
        return true;
    return m_colon.count(phrase) != 0 ? m_colon[phrase] : checkColon(phrase);
}

bool Layout::checkColon(std::size_t phrase)
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
    // The dots end the phrase: no other stroke reaches past them (a
    // character's own dots, as in "冷" or "伟"'s strokes, have ink beside them).
    const auto& glyphs = m_phrases[phrase].glyphs;
    auto last = [&](const PixelRect& upper, const PixelRect& lower) {
        const int left = std::min(upper.x, lower.x);
        return std::none_of(glyphs.begin(), glyphs.end(), [&](const PixelRect& g) {
            return g != upper && g != lower && g.right() > left + 1;
        });
    };
    bool colon = false;
    for (const PixelRect& upper : dots)
        for (const PixelRect& lower : dots)
            colon = colon || (centreY(upper) < middle && centreY(lower) >= middle &&
                              std::abs(centreX(upper) - centreX(lower)) <= std::max(upper.w, lower.w) &&
                              lower.y - upper.bottom() >= std::max(upper.h, lower.h) / 2 && last(upper, lower));
    m_colon[phrase] = colon;
    return colon;
}

} // namespace ordavel::scan::layout
