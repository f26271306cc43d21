// A scan cut into bands ruled at one slant each, every band's fields found
// and brought back to the scan as given, then ordered and named.
#include "scan/scan_analysis.h"

#include "scan/caption_reader.h"
#include "scan/field_layout.h"
#include "scan/ruling.h"

#include <algorithm>
#include <cmath>
#include <future>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace ordavel::scan {

namespace {

using layout::centreY;

// A horizontal rule shorter than this (in mm) is no line to write on.
constexpr double kShortestLineMm = 10.0;

// The analysis holds a few pictures of the page's size at a time and
// drops many more. glibc raises its threshold for mapping a block of its
// own each time such a block is freed, after which freed pictures stay in
// the heap and the process keeps their memory; a fixed threshold gives each
// back as it is freed.
void keepBigBlocksMapped()
{
#if defined(__GLIBC__)
    static const bool once = [] { return mallopt(M_MMAP_THRESHOLD, 1 << 20) == 1; }();
    (void)once;
#endif
}

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

ScanAnalysis analyseScan(const Picture& image, PaperSize paper, CaptionReader& reader, const ScanProgress& progress)
{
    ScanAnalysis analysis;
    analysis.width = image.width;
    analysis.height = image.height;
    analysis.paper = paper;
    if (image.empty() || paper.widthCm <= 0 || paper.heightCm <= 0)
        return analysis;
    keepBigBlocksMapped();
    if (progress && !progress(0.0)) {
        analysis.cancelled = true;
        return analysis;
    }
    const double pxPerMm = (image.width / paper.widthCm + image.height / paper.heightCm) / 20.0;
    // Each band ruled at its own slant is levelled and read on its own.
    const auto bands = skewBands(image, pxPerMm);
    std::vector<ProposedField> fields;
    std::vector<int> thickness;
    int tallest = 0;
    // The next band's ruling is found on another thread while this band's
    // captions are read.
    auto rulingOf = [&](std::size_t k) {
        return std::async(std::launch::async, [&image, &bands, pxPerMm, k] {
            const auto [top, bottom] = bands[k];
            if (bands.size() == 1)
                return findRuling(image, pxPerMm);
            Picture band;
            band.width = image.width;
            band.height = bottom - top;
            band.channels = image.channels;
            const std::size_t row = static_cast<std::size_t>(image.width) * image.channels;
            band.pixels.assign(image.pixels.begin() + static_cast<std::ptrdiff_t>(row * top),
                               image.pixels.begin() + static_cast<std::ptrdiff_t>(row * bottom));
            return findRuling(band, pxPerMm);
        });
    };
    std::future<Ruling> nextRuling = rulingOf(0);
    for (std::size_t k = 0; k < bands.size(); ++k) {
        const auto [top, bottom] = bands[k];
        const double share = 1.0 / static_cast<double>(bands.size());
        const double base = share * static_cast<double>(k);
        const ScanProgress bandProgress = [&](double done) { return !progress || progress(base + share * done); };
        const Ruling ruling = nextRuling.get();
        if (k + 1 < bands.size())
            nextRuling = rulingOf(k + 1);
        const int bandWidth = image.width;
        const int bandHeight = bottom - top;
        for (const Region& region : ruling.regions) {
            PixelRect r = backToScan(region.rect, ruling, bandWidth, bandHeight);
            r.y += top;
            analysis.cells.push_back(r);
        }
        for (const Rule& rule : ruling.rules) {
            if (rule.horizontal)
                thickness.push_back(rule.rect.h);
            if (!rule.horizontal || rule.rect.w < pxPerMm * kShortestLineMm)
                continue;
            PixelRect r = backToScan(rule.rect, ruling, bandWidth, bandHeight);
            r.y += top;
            analysis.lines.push_back(r);
        }
        if (bottom - top > tallest) {
            tallest = bottom - top;
            analysis.skewDegrees = ruling.skewDegrees;
        }
        if (!bandProgress(0.3)) {
            analysis.cancelled = true;
            return analysis;
        }
        layout::Layout layout(ruling, reader, bandProgress);
        auto found = layout.run();
        if (!found) {
            analysis.cancelled = true;
            return analysis;
        }
        for (PrintedCaption& caption : layout.printedCaptions()) {
            caption.rect = backToScan(caption.rect, ruling, bandWidth, bandHeight);
            caption.rect.y += top;
            if (!caption.rect.empty())
                analysis.captions.push_back(std::move(caption));
        }
        for (ProposedField& field : *found) {
            field.rect = backToScan(field.rect, ruling, bandWidth, bandHeight);
            field.rect.y += top;
            field.column = columnNameFor(field.caption);
            fields.push_back(std::move(field));
        }
    }
    if (!thickness.empty()) {
        std::nth_element(thickness.begin(), thickness.begin() + static_cast<std::ptrdiff_t>(thickness.size() / 2), thickness.end());
        analysis.ruleWidth = std::max(1, thickness[thickness.size() / 2]);
    }
    std::erase_if(analysis.cells, [](const PixelRect& r) { return r.empty(); });
    std::erase_if(analysis.lines, [](const PixelRect& r) { return r.empty(); });
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
