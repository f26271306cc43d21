// OpenCV finds the rules, regions and ink of a scan.
#include "scan/ruling.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <numbers>


namespace ordavel::scan {

namespace {

// Ink below this share of the rules' strength is fill, not the form's print
// (a ribbon printer's data across the captions); and the sheet is taken to carry such fill when at least this percentage
// of its non-rule ink is that faint.
constexpr double kFaintShare = 0.6;
constexpr int kFaintFillPercent = 15;
// A rule's mean takes in its blurred edges: it is dropped below this share of
// that threshold.
constexpr double kFaintRuleShare = 0.65;

int mm(double pxPerMm, double millimetres) { return std::max(1, static_cast<int>(std::lround(pxPerMm * millimetres))); }

cv::Mat greyOf(const Picture& picture)
{
    cv::Mat in(picture.height, picture.width, picture.channels == 3 ? CV_8UC3 : CV_8UC1,
               const_cast<std::uint8_t*>(picture.pixels.data()));
    cv::Mat grey;
    if (picture.channels == 3)
        cv::cvtColor(in, grey, cv::COLOR_RGB2GRAY);
    else
        grey = in.clone();
    return grey;
}

// Ink: darker than its surroundings, so that faint and coloured print on
// tinted paper counts as well as black on white.
cv::Mat inkOf(const cv::Mat& grey, double pxPerMm)
{
    cv::Mat ink;
    const int block = mm(pxPerMm, 4.0) | 1;
    cv::adaptiveThreshold(grey, ink, 255, cv::ADAPTIVE_THRESH_MEAN_C, cv::THRESH_BINARY_INV, block, 18);
    return ink;
}

// The pieces of ink thin enough across a rule's direction to be its dots
// and dashes, for horizontal rules and (when `vertical`) for vertical ones:
// one labelling serves both.
struct ThinPieces {
    cv::Mat horizontal;
    cv::Mat vertical;
};

ThinPieces thinPiecesOf(const cv::Mat& ink, int thin, bool vertical)
{
    ThinPieces out;
    out.horizontal = cv::Mat::zeros(ink.size(), CV_8U);
    if (vertical)
        out.vertical = cv::Mat::zeros(ink.size(), CV_8U);
    cv::Mat labels, stats, centroids;
    const int n = cv::connectedComponentsWithStats(ink, labels, stats, centroids, 8, CV_32S);
    // Per label: bit 0 a horizontal piece, bit 1 a vertical one.
    std::vector<std::uint8_t> kind(static_cast<std::size_t>(n), 0);
    for (int i = 1; i < n; ++i) {
        const int w = stats.at<int>(i, cv::CC_STAT_WIDTH);
        const int h = stats.at<int>(i, cv::CC_STAT_HEIGHT);
        kind[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((h <= thin && w >= h ? 1 : 0) | (w <= thin && h >= w ? 2 : 0));
    }
    for (int y = 0; y < ink.rows; ++y) {
        const int* label = labels.ptr<int>(y);
        std::uint8_t* across = out.horizontal.ptr<std::uint8_t>(y);
        std::uint8_t* down = vertical ? out.vertical.ptr<std::uint8_t>(y) : nullptr;
        for (int x = 0; x < ink.cols; ++x) {
            const std::uint8_t k = kind[static_cast<std::size_t>(label[x])];
            across[x] = (k & 1) != 0 ? 255 : 0;
            if (down != nullptr)
                down[x] = (k & 2) != 0 ? 255 : 0;
        }
    }
    return out;
}

// Runs of ink at least `length` long in one direction; dotted and dashed
// rules count when their gaps are below `gap` and they run `dottedLength`.
// Dots and dashes are `pieces`, thinner than a character across the rule's
// direction; only they are joined, so that the feet of letters never make a rule.
cv::Mat rulesOf(const cv::Mat& ink, const cv::Mat& pieces, bool horizontal, int length, int gap, int dottedLength)
{
    auto kernel = [&](int n) {
        return cv::getStructuringElement(cv::MORPH_RECT, horizontal ? cv::Size(n, 1) : cv::Size(1, n));
    };
    cv::Mat solid, closed, dotted;
    cv::morphologyEx(ink, solid, cv::MORPH_OPEN, kernel(length));
    cv::morphologyEx(pieces, closed, cv::MORPH_CLOSE, kernel(gap));
    cv::morphologyEx(closed, dotted, cv::MORPH_OPEN, kernel(dottedLength));
    return solid | dotted;
}

struct LongRule {
    double degrees = 0;
    int width = 0;
    int y = 0; // middle row
};

// The long horizontal rules with their fitted directions in degrees (clockwise positive).
std::vector<LongRule> longRulesOf(const cv::Mat& horizontalRules, int minLength)
{
    cv::Mat labels, stats, centroids;
    const int n = cv::connectedComponentsWithStats(horizontalRules, labels, stats, centroids, 8, CV_32S);
    std::vector<LongRule> rules;
    std::vector<cv::Point> points;
    for (int i = 1; i < n; ++i) {
        const int w = stats.at<int>(i, cv::CC_STAT_WIDTH);
        if (w < minLength)
            continue;
        const cv::Rect box(stats.at<int>(i, cv::CC_STAT_LEFT), stats.at<int>(i, cv::CC_STAT_TOP), w,
                           stats.at<int>(i, cv::CC_STAT_HEIGHT));
        points.clear();
        for (int y = box.y; y < box.y + box.height; ++y)
            for (int x = box.x; x < box.x + box.width; x += 2)
                if (labels.at<int>(y, x) == i)
                    points.emplace_back(x, y);
        if (points.size() < 10)
            continue;
        cv::Vec4f line;
        cv::fitLine(points, line, cv::DIST_L2, 0, 0.01, 0.01);
        double degrees = std::atan2(line[1], line[0]) * 180.0 / std::numbers::pi;
        if (degrees > 90)
            degrees -= 180;
        if (degrees < -90)
            degrees += 180;
        if (std::abs(degrees) <= 6)
            rules.push_back({degrees, w, box.y + box.height / 2});
    }
    return rules;
}

// The length-weighted median angle of the rules.
double medianAngle(std::vector<LongRule> rules)
{
    if (rules.empty())
        return 0;
    std::sort(rules.begin(), rules.end(), [](const LongRule& a, const LongRule& b) { return a.degrees < b.degrees; });
    long long total = 0;
    for (const auto& r : rules)
        total += r.width;
    long long seen = 0;
    for (const auto& r : rules) {
        seen += r.width;
        if (2 * seen >= total)
            return r.degrees;
    }
    return rules.back().degrees;
}

// The long horizontal rules of `grey`, found at half its resolution when
// that is still 100 dpi or more: their angles and places need no more,
// and the work and memory are a quarter.
std::vector<LongRule> longRulesOfGrey(const cv::Mat& grey, double pxPerMm)
{
    cv::Mat small;
    const bool halve = pxPerMm >= 8.0;
    if (halve) {
        cv::resize(grey, small, cv::Size(), 0.5, 0.5, cv::INTER_AREA);
        pxPerMm /= 2;
    }
    const cv::Mat& picture = halve ? small : grey;
    std::vector<LongRule> rules;
    {
        const cv::Mat ink = inkOf(picture, pxPerMm);
        // A short kernel: a thin rule a few degrees off level still has runs that long.
        const cv::Mat pieces = thinPiecesOf(ink, mm(pxPerMm, 0.7), false).horizontal;
        const cv::Mat horizontal = rulesOf(ink, pieces, true, mm(pxPerMm, 2.0), mm(pxPerMm, 1.2), mm(pxPerMm, 6.0));
        rules = longRulesOf(horizontal, mm(pxPerMm, 40.0));
    }
    if (halve)
        for (LongRule& rule : rules) {
            rule.y *= 2;
            rule.width *= 2;
        }
    return rules;
}

PixelRect rectOf(const cv::Mat& stats, int i)
{
    return {stats.at<int>(i, cv::CC_STAT_LEFT), stats.at<int>(i, cv::CC_STAT_TOP), stats.at<int>(i, cv::CC_STAT_WIDTH),
            stats.at<int>(i, cv::CC_STAT_HEIGHT)};
}

bool anyInk(const cv::Mat& mask, int x, int y, int w, int h)
{
    const cv::Rect area = cv::Rect(x, y, w, h) & cv::Rect(0, 0, mask.cols, mask.rows);
    return area.area() > 0 && cv::countNonZero(mask(area)) > 0;
}

void collectRules(const cv::Mat& mask, const cv::Mat& other, bool horizontal, int reach, int maxThickness,
                  std::vector<Rule>& out)
{
    cv::Mat labels, stats, centroids;
    const int n = cv::connectedComponentsWithStats(mask, labels, stats, centroids, 8, CV_32S);
    for (int i = 1; i < n; ++i) {
        Rule rule;
        rule.rect = rectOf(stats, i);
        rule.horizontal = horizontal;
        const PixelRect& r = rule.rect;
        // A thick run is a filled block (a logo, a stamp), not a rule.
        const int thickness = stats.at<int>(i, cv::CC_STAT_AREA) / std::max(1, horizontal ? r.w : r.h);
        if (thickness > maxThickness)
            continue;
        if (horizontal) {
            rule.joinedAtStart = anyInk(other, r.x - reach, r.y - reach, 2 * reach, r.h + 2 * reach);
            rule.joinedAtEnd = anyInk(other, r.right() - reach, r.y - reach, 2 * reach, r.h + 2 * reach);
        } else {
            rule.joinedAtStart = anyInk(other, r.x - reach, r.y - reach, r.w + 2 * reach, 2 * reach);
            rule.joinedAtEnd = anyInk(other, r.x - reach, r.bottom() - reach, r.w + 2 * reach, 2 * reach);
        }
        out.push_back(rule);
    }
}

struct FormInk {
    cv::Mat darkness;   // how much darker than the paper around it each pixel is
    cv::Mat strongNear; // pixels of the form's strength and those touching them
    double threshold = 0;
    double strength = 0; // of the form's rules, grey levels below the paper
    bool faintFill = false;
};

// The strength of the form's print, taken from its long rules, and whether
// much of the rest of the ink falls well short of it.
FormInk formInkOf(const cv::Mat& grey, const cv::Mat& ink, const cv::Mat& horizontal, const cv::Mat& vertical,
                  const std::vector<Rule>& rules, double pxPerMm)
{
    FormInk out;
    // The paper is the lightest grey within a few millimetres: wider than any stroke.
    cv::Mat paper;
    const int reach = mm(pxPerMm, 1.5);
    cv::dilate(grey, paper, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(2 * reach + 1, 2 * reach + 1)));
    cv::subtract(paper, grey, out.darkness);

    // Each long rule's strength is that of its core, not its blurred edges;
    // the form's is the middle one by length, so that a few dark lines (the
    // scanner's edge of the sheet) do not set it.
    std::vector<std::pair<int, int>> strengths; // strength, length
    std::vector<std::uint8_t> values;
    const int longRule = mm(pxPerMm, 20.0);
    for (const Rule& rule : rules) {
        const int length = rule.horizontal ? rule.rect.w : rule.rect.h;
        if (length < longRule)
            continue;
        const cv::Rect area(rule.rect.x, rule.rect.y, rule.rect.w, rule.rect.h);
        const cv::Mat mask = (rule.horizontal ? horizontal : vertical)(area);
        const cv::Mat dark = out.darkness(area);
        values.clear();
        for (int y = 0; y < area.height; ++y)
            for (int x = 0; x < area.width; ++x)
                if (mask.at<std::uint8_t>(y, x) != 0)
                    values.push_back(dark.at<std::uint8_t>(y, x));
        if (values.size() < 20)
            continue;
        const auto core = values.begin() + static_cast<std::ptrdiff_t>(values.size() * 3 / 4);
        std::nth_element(values.begin(), core, values.end());
        strengths.emplace_back(*core, length);
    }
    if (strengths.size() < 3)
        return out;
    std::sort(strengths.begin(), strengths.end());
    long long totalLength = 0;
    for (const auto& s : strengths)
        totalLength += s.second;
    long long seen = 0;
    int strength = strengths.back().first;
    for (const auto& s : strengths) {
        seen += s.second;
        if (2 * seen >= totalLength) {
            strength = s.first;
            break;
        }
    }
    out.strength = strength;
    out.threshold = strength * kFaintShare;

    cv::Mat strong = out.darkness >= out.threshold;
    cv::dilate(strong, out.strongNear, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3)));
    // Ink pieces with no pixel of the form's strength, by area, leaving out
    // every run long enough for a rule (rules, blocks of a logo or a stamp).
    // Taken in strips, so that the labels take little memory; a piece cut
    // by a strip's edge counts as two, which barely moves the share.
    long long faint = 0;
    long long total = 0;
    const int strip = 256;
    for (int top = 0; top < grey.rows; top += strip) {
        const cv::Rect rows(0, top, grey.cols, std::min(strip, grey.rows - top));
        const cv::Mat rest = ink(rows) & ~(horizontal(rows) | vertical(rows));
        cv::Mat labels, stats, centroids;
        const int n = cv::connectedComponentsWithStats(rest, labels, stats, centroids, 8, CV_32S);
        std::vector<std::uint8_t> peak(static_cast<std::size_t>(n), 0);
        for (int y = 0; y < labels.rows; ++y) {
            const int* label = labels.ptr<int>(y);
            const std::uint8_t* dark = out.darkness.ptr<std::uint8_t>(top + y);
            for (int x = 0; x < labels.cols; ++x) {
                std::uint8_t& p = peak[static_cast<std::size_t>(label[x])];
                p = std::max(p, dark[x]);
            }
        }
        for (int i = 1; i < n; ++i) {
            const int area = stats.at<int>(i, cv::CC_STAT_AREA);
            total += area;
            if (peak[static_cast<std::size_t>(i)] < out.threshold)
                faint += area;
        }
    }
    out.faintFill = total > 0 && faint * 100 >= total * kFaintFillPercent;
    return out;
}

// Whether a straight stroke across the middle of the space between the
// parallel runs `a` and `b` joins them, as the bar of "日" does: the sides of
// a box of the form hold nothing of the kind, a tick or a cross at most.
bool strokeBetween(const cv::Mat& ink, const PixelRect& a, const PixelRect& b, bool horizontal)
{
    // Across: from the inner edge of one run to that of the other; along:
    // the middle of their overlap, away from the corners.
    const int from = horizontal ? std::min(a.bottom(), b.bottom()) : std::min(a.right(), b.right());
    const int to = horizontal ? std::max(a.y, b.y) : std::max(a.x, b.x);
    const int start = horizontal ? std::max(a.x, b.x) : std::max(a.y, b.y);
    const int end = horizontal ? std::min(a.right(), b.right()) : std::min(a.bottom(), b.bottom());
    const int inset = (end - start) / 6;
    if (to - from < 2 || end - start - 2 * inset < 1)
        return false;
    const cv::Rect gap = horizontal ? cv::Rect(start + inset, from, end - start - 2 * inset, to - from)
                                    : cv::Rect(from, start + inset, to - from, end - start - 2 * inset);
    if ((gap & cv::Rect(0, 0, ink.cols, ink.rows)) != gap)
        return false;
    // Lines across the gap (columns between horizontal runs, rows between vertical ones) nearly all ink.
    cv::Mat counts;
    cv::reduce(ink(gap) / 255, counts, horizontal ? 0 : 1, cv::REDUCE_SUM, CV_32S);
    const int full = to - from;
    for (int i = 0; i < static_cast<int>(counts.total()); ++i)
        if (counts.at<int>(i) * 10 >= full * 9)
            return true;
    return false;
}

// Whether rule `k` of `rules` is a long stroke of a large character (区, 市,
// 年) rather than a rule of the form: shorter than `shortLength`, touched by
// other print that ends within the run's length of it, and neither meeting
// a long rule, nor facing a parallel twin closed with it into a box (the
// sides of a check box or a digit cell: near square, where the halves of
// "日" are flat, and empty), nor touched only by faint fill.
bool isCharacterStroke(const std::vector<Rule>& rules, std::size_t k, const cv::Mat& ink, const cv::Mat& horizontal,
                       const cv::Mat& vertical, const FormInk& formInk, int shortLength, int reach)
{
    const Rule& rule = rules[k];
    const PixelRect& r = rule.rect;
    const int length = rule.horizontal ? r.w : r.h;
    if (length >= shortLength)
        return false;
    const PixelRect near{r.x - reach, r.y - reach, r.w + 2 * reach, r.h + 2 * reach};
    for (std::size_t j = 0; j < rules.size(); ++j) {
        if (j == k)
            continue;
        const Rule& other = rules[j];
        const PixelRect& o = other.rect;
        const int otherLength = other.horizontal ? o.w : o.h;
        if (otherLength >= shortLength && !intersect(near, o).empty())
            return false;
        if (other.horizontal != rule.horizontal || std::abs(otherLength - length) * 4 > std::max(length, otherLength))
            continue;
        const int along = rule.horizontal ? std::min(r.right(), o.right()) - std::max(r.x, o.x)
                                          : std::min(r.bottom(), o.bottom()) - std::max(r.y, o.y);
        const int across = rule.horizontal ? std::abs((r.y + r.h / 2) - (o.y + o.h / 2)) : std::abs((r.x + r.w / 2) - (o.x + o.w / 2));
        if (along * 10 >= std::min(length, otherLength) * 7 && across * 10 >= length * 6 && across <= length * 3 / 2 && rule.joinedAtStart &&
            rule.joinedAtEnd && other.joinedAtStart && other.joinedAtEnd && !strokeBetween(ink, r, o, rule.horizontal))
            return false;
    }
    // The print touching the run, with the run itself taken out, in a
    // window reaching the run's length around it: a piece reaching the
    // window's edge runs on farther.
    const cv::Rect page(0, 0, ink.cols, ink.rows);
    const cv::Rect window = cv::Rect(r.x - length, r.y - length, r.w + 2 * length, r.h + 2 * length) & page;
    const cv::Rect own = cv::Rect(r.x, r.y, r.w, r.h) & page;
    cv::Mat local = ink(window).clone();
    const cv::Mat runMask = (rule.horizontal ? horizontal : vertical)(own);
    local(own - window.tl()).setTo(0, runMask);
    cv::Mat labels, stats, centroids;
    const int n = cv::connectedComponentsWithStats(local, labels, stats, centroids, 8, CV_32S);
    const cv::Rect ring = (cv::Rect(own.x - 1, own.y - 1, own.width + 2, own.height + 2) & page) - window.tl();
    std::vector<std::uint8_t> touching(static_cast<std::size_t>(n), 0);
    for (int y = ring.y; y < ring.y + ring.height; ++y)
        for (int x = ring.x; x < ring.x + ring.width; ++x)
            touching[static_cast<std::size_t>(labels.at<int>(y, x))] = 1;
    bool touched = false;
    bool strong = formInk.strongNear.empty() || !formInk.faintFill;
    for (int i = 1; i < n; ++i) {
        if (touching[static_cast<std::size_t>(i)] == 0)
            continue;
        const int x = stats.at<int>(i, cv::CC_STAT_LEFT);
        const int y = stats.at<int>(i, cv::CC_STAT_TOP);
        const int w = stats.at<int>(i, cv::CC_STAT_WIDTH);
        const int h = stats.at<int>(i, cv::CC_STAT_HEIGHT);
        if ((x == 0 && window.x > 0) || (y == 0 && window.y > 0) || (x + w == window.width && window.br().x < ink.cols) ||
            (y + h == window.height && window.br().y < ink.rows))
            return false;
        touched = true;
        if (!strong) {
            const cv::Mat piece = labels(cv::Rect(x, y, w, h)) == i;
            strong = cv::countNonZero(formInk.strongNear(cv::Rect(x, y, w, h) + window.tl()) & piece) > 0;
        }
    }
    return touched && strong;
}

struct OpenArea {
    PixelRect rect;
    long long pixels = 0;
};

// The areas (4-connected) left clear by `fat`, in the order of their first
// pixel, top to bottom. Labelled in strips joined where they meet, so that
// the labels take a strip's memory rather than the page's.
std::vector<OpenArea> openAreasOf(const cv::Mat& fat)
{
    constexpr int strip = 256;
    std::vector<OpenArea> areas; // one per strip label, numbered through the strips
    std::vector<int> parent;
    auto find = [&](int i) {
        while (parent[static_cast<std::size_t>(i)] != i)
            i = parent[static_cast<std::size_t>(i)] = parent[static_cast<std::size_t>(parent[static_cast<std::size_t>(i)])];
        return i;
    };
    std::vector<int> previousRow; // global numbers along the last row of the strip above, -1 for none
    for (int top = 0; top < fat.rows; top += strip) {
        const cv::Rect rows(0, top, fat.cols, std::min(strip, fat.rows - top));
        const cv::Mat open = ~fat(rows);
        cv::Mat labels, stats, centroids;
        const int n = cv::connectedComponentsWithStats(open, labels, stats, centroids, 4, CV_32S);
        const int first = static_cast<int>(areas.size()) - 1; // label i is number first + i
        for (int i = 1; i < n; ++i) {
            PixelRect r = rectOf(stats, i);
            r.y += top;
            areas.push_back({r, stats.at<int>(i, cv::CC_STAT_AREA)});
            parent.push_back(static_cast<int>(parent.size()));
        }
        if (!previousRow.empty()) {
            const int* label = labels.ptr<int>(0);
            for (int x = 0; x < fat.cols; ++x) {
                const int above = previousRow[static_cast<std::size_t>(x)];
                if (above < 0 || label[x] == 0)
                    continue;
                const int a = find(above);
                const int b = find(first + label[x]);
                if (a != b)
                    parent[static_cast<std::size_t>(std::max(a, b))] = std::min(a, b); // the earlier one stays the root
            }
        }
        previousRow.assign(static_cast<std::size_t>(fat.cols), -1);
        const int* last = labels.ptr<int>(rows.height - 1);
        for (int x = 0; x < fat.cols; ++x)
            if (last[x] != 0)
                previousRow[static_cast<std::size_t>(x)] = first + last[x];
    }
    std::vector<OpenArea> out;
    std::vector<int> slot(areas.size(), -1);
    for (std::size_t i = 0; i < areas.size(); ++i) {
        const auto root = static_cast<std::size_t>(find(static_cast<int>(i)));
        if (slot[root] < 0) {
            slot[root] = static_cast<int>(out.size());
            out.push_back(areas[i]);
        } else {
            OpenArea& merged = out[static_cast<std::size_t>(slot[root])];
            merged.rect = unite(merged.rect, areas[i].rect);
            merged.pixels += areas[i].pixels;
        }
    }
    return out;
}

} // namespace

Ruling findRuling(const Picture& picture, double pxPerMm)
{
    Ruling ruling;
    ruling.pxPerMm = pxPerMm;
    if (picture.empty())
        return ruling;
    cv::Mat grey = greyOf(picture);
    const int solidLength = mm(pxPerMm, 3.2);
    const int gap = mm(pxPerMm, 1.2);
    const int dottedLength = mm(pxPerMm, 6.0);
    const int thin = mm(pxPerMm, 0.7);

    // Skew from the long horizontal rules, then the picture turned level.
    ruling.skewDegrees = medianAngle(longRulesOfGrey(grey, pxPerMm));
    if (std::abs(ruling.skewDegrees) >= 0.05) {
        const cv::Point2f centre(static_cast<float>(grey.cols) / 2.0f, static_cast<float>(grey.rows) / 2.0f);
        const cv::Mat level = cv::getRotationMatrix2D(centre, ruling.skewDegrees, 1.0);
        cv::Mat turned;
        cv::warpAffine(grey, turned, level, grey.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
        grey = turned;
        cv::Mat back;
        cv::invertAffineTransform(level, back);
        for (int k = 0; k < 6; ++k)
            ruling.toScan[static_cast<std::size_t>(k)] = back.at<double>(k / 3, k % 3);
    }

    const cv::Mat ink = inkOf(grey, pxPerMm);
    cv::Mat horizontal, vertical;
    {
        const ThinPieces pieces = thinPiecesOf(ink, thin, true);
        horizontal = rulesOf(ink, pieces.horizontal, true, solidLength, gap, dottedLength);
        vertical = rulesOf(ink, pieces.vertical, false, solidLength, gap, dottedLength);
    }
    const int reach = mm(pxPerMm, 0.8);
    const int maxThickness = mm(pxPerMm, 1.0);
    collectRules(horizontal, vertical, true, reach, maxThickness, ruling.rules);
    collectRules(vertical, horizontal, false, reach, maxThickness, ruling.rules);

    // Print much fainter than the form's own rules (a ribbon printer's fill
    // across captions and rules) is no part of the form: where there is much
    // of it, it is left out of the rules, the captions and the text read.
    const FormInk formInk = formInkOf(grey, ink, horizontal, vertical, ruling.rules, pxPerMm);
    ruling.ruleDarkness = formInk.strength;
    if (formInk.faintFill) {
        std::erase_if(ruling.rules, [&](const Rule& rule) {
            const cv::Rect area(rule.rect.x, rule.rect.y, rule.rect.w, rule.rect.h);
            const cv::Mat mask = (rule.horizontal ? horizontal : vertical)(area);
            return cv::mean(formInk.darkness(area), mask)[0] < formInk.threshold * kFaintRuleShare;
        });
    }

    // Long strokes of large characters are given back to the characters.
    {
        const int shortLength = mm(pxPerMm, 8.0);
        std::vector<std::uint8_t> stroke(ruling.rules.size(), 0);
        for (std::size_t k = 0; k < ruling.rules.size(); ++k) {
            stroke[k] = isCharacterStroke(ruling.rules, k, ink, horizontal, vertical, formInk, shortLength, reach) ? 1 : 0;
        }
        std::size_t k = 0;
        std::erase_if(ruling.rules, [&](const Rule&) { return stroke[k++] != 0; });
    }

    // The rules drawn again without thick blocks, slightly fattened so that
    // corners close; the regions are what they leave apart.
    cv::Mat grid = cv::Mat::zeros(grey.size(), CV_8U);
    for (const Rule& rule : ruling.rules) {
        const cv::Rect area(rule.rect.x, rule.rect.y, rule.rect.w, rule.rect.h);
        cv::Mat target = grid(area);
        cv::bitwise_or(target, (rule.horizontal ? horizontal : vertical)(area), target);
    }
    cv::Mat fat;
    cv::dilate(grid, fat, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3)), cv::Point(-1, -1), 2);
    grid.release();
    horizontal.release();
    vertical.release();
    {
        const int minSide = mm(pxPerMm, 2.5);
        for (const OpenArea& area : openAreasOf(fat)) {
            const PixelRect& r = area.rect;
            if (r.x <= 0 || r.y <= 0 || r.right() >= grey.cols || r.bottom() >= grey.rows)
                continue;
            if (r.w < minSide || r.h < minSide)
                continue;
            // The fattening is given back so the region reaches to its rules.
            Region region;
            region.rect = {r.x - 2, r.y - 2, r.w + 4, r.h + 4};
            region.fill = static_cast<double>(area.pixels) / static_cast<double>(r.area());
            ruling.regions.push_back(region);
        }
    }

    // The ink left once the rules are taken out.
    {
        cv::Mat rest = ink & ~fat;
        if (formInk.faintFill)
            rest &= formInk.strongNear;
        cv::Mat labels, stats, centroids;
        const int n = cv::connectedComponentsWithStats(rest, labels, stats, centroids, 8, CV_32S);
        const int minInk = std::max(4, static_cast<int>(pxPerMm * pxPerMm * 0.08));
        const int squareMin = mm(pxPerMm, 1.8);
        const int squareMax = mm(pxPerMm, 7.0);
        for (int i = 1; i < n; ++i) {
            Blob blob;
            blob.rect = rectOf(stats, i);
            blob.ink = stats.at<int>(i, cv::CC_STAT_AREA);
            if (blob.ink < minInk)
                continue;
            const PixelRect& r = blob.rect;
            if (r.w >= squareMin && r.h >= squareMin && r.w <= squareMax && r.h <= squareMax &&
                std::abs(r.w - r.h) * 4 <= std::max(r.w, r.h) && blob.ink * 10 < static_cast<int>(r.area()) * 4) {
                // Square outline: ink along all four sides, none in the middle.
                const cv::Mat piece = labels(cv::Rect(r.x, r.y, r.w, r.h)) == i;
                const int inset = std::max(2, r.w / 5);
                const int band = std::max(1, r.w / 8);
                auto inkIn = [&](int x, int y, int w, int h) { return cv::countNonZero(piece(cv::Rect(x, y, w, h))); };
                const bool middleEmpty = inkIn(inset, inset, r.w - 2 * inset, r.h - 2 * inset) == 0;
                const bool sides = inkIn(0, 0, r.w, band) > r.w / 2 && inkIn(0, r.h - band, r.w, band) > r.w / 2 &&
                                   inkIn(0, 0, band, r.h) > r.h / 2 && inkIn(r.w - band, 0, band, r.h) > r.h / 2;
                blob.hollowSquare = middleEmpty && sides;
            }
            ruling.blobs.push_back(blob);
        }
    }

    if (formInk.faintFill) {
        // What is read is the form's print alone, on its paper.
        cv::Mat paperOnly;
        cv::add(grey, formInk.darkness, paperOnly);
        paperOnly.copyTo(grey, ~formInk.strongNear);
    }
    ruling.grey.width = grey.cols;
    ruling.grey.height = grey.rows;
    ruling.grey.channels = 1;
    ruling.grey.pixels.assign(grey.datastart, grey.dataend);
    return ruling;
}

std::vector<std::pair<int, int>> skewBands(const Picture& picture, double pxPerMm)
{
    std::vector<std::pair<int, int>> bands{{0, picture.height}};
    if (picture.empty())
        return bands;
    std::vector<LongRule> rules = longRulesOfGrey(greyOf(picture), pxPerMm);
    std::sort(rules.begin(), rules.end(), [](const LongRule& a, const LongRule& b) { return a.y < b.y; });
    // Runs of rules, top to bottom, that agree on their angle within 0.3 degrees.
    std::vector<std::vector<LongRule>> runs;
    for (const LongRule& rule : rules) {
        if (runs.empty() || std::abs(medianAngle(runs.back()) - rule.degrees) > 0.3)
            runs.emplace_back();
        runs.back().push_back(rule);
    }
    // A run of fewer than three rules is a stray line, not a form of its own.
    std::vector<std::vector<LongRule>> kept;
    for (auto& run : runs) {
        if (run.size() >= 3 || kept.empty())
            kept.push_back(std::move(run));
        else
            kept.back().insert(kept.back().end(), run.begin(), run.end());
    }
    if (kept.size() < 2)
        return bands;
    bands.clear();
    int top = 0;
    for (std::size_t k = 0; k + 1 < kept.size(); ++k) {
        const int lastY = std::max_element(kept[k].begin(), kept[k].end(), [](const LongRule& a, const LongRule& b) { return a.y < b.y; })->y;
        const int nextY = kept[k + 1].front().y;
        const int cut = (lastY + nextY) / 2;
        bands.emplace_back(top, cut);
        top = cut;
    }
    bands.emplace_back(top, picture.height);
    return bands;
}

Picture cropScaled(const Picture& grey, const PixelRect& rect, double scale, int margin)
{
    Picture out;
    if (grey.empty() || grey.channels != 1)
        return out;
    const cv::Mat source(grey.height, grey.width, CV_8UC1, const_cast<std::uint8_t*>(grey.pixels.data()));
    const cv::Rect wanted = cv::Rect(rect.x, rect.y, rect.w, rect.h) & cv::Rect(0, 0, grey.width, grey.height);
    if (wanted.area() <= 0)
        return out;
    cv::Mat padded;
    cv::copyMakeBorder(source(wanted), padded, margin, margin, margin, margin, cv::BORDER_CONSTANT, cv::Scalar(255));
    cv::Mat scaled;
    cv::resize(padded, scaled, cv::Size(), scale, scale, scale < 1 ? cv::INTER_AREA : cv::INTER_CUBIC);
    // Faint print read as black on white.
    cv::normalize(scaled, scaled, 0, 255, cv::NORM_MINMAX);
    out.width = scaled.cols;
    out.height = scaled.rows;
    out.channels = 1;
    out.pixels.assign(scaled.datastart, scaled.dataend);
    return out;
}

Picture squeezeBlankColumns(const Picture& crop, int keep)
{
    if (crop.empty() || crop.channels != 1)
        return crop;
    const cv::Mat grey(crop.height, crop.width, CV_8UC1, const_cast<std::uint8_t*>(crop.pixels.data()));
    cv::Mat ink;
    cv::threshold(grey, ink, 0, 255, cv::THRESH_BINARY_INV | cv::THRESH_OTSU);
    cv::Mat columns;
    cv::reduce(ink, columns, 0, cv::REDUCE_MAX);
    std::vector<int> kept;
    int blank = 0;
    for (int x = 0; x < crop.width; ++x) {
        blank = columns.at<std::uint8_t>(0, x) == 0 ? blank + 1 : 0;
        if (blank <= keep)
            kept.push_back(x);
    }
    if (static_cast<int>(kept.size()) == crop.width)
        return crop;
    Picture out;
    out.width = static_cast<int>(kept.size());
    out.height = crop.height;
    out.channels = 1;
    out.pixels.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
    for (int y = 0; y < crop.height; ++y)
        for (int k = 0; k < out.width; ++k)
            out.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(out.width) + static_cast<std::size_t>(k)] =
                crop.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(crop.width) + static_cast<std::size_t>(kept[static_cast<std::size_t>(k)])];
    return out;
}

} // namespace ordavel::scan
