// Draft templates from scans, through the document model.
#include "scan/scan_template.h"

#include "model/units.h"
#include "scan/scan_file.h"

#include <algorithm>
#include <cmath>

namespace ordavel::scan {

namespace {

// A font fills this share of its line; a proposed field's font is at most
// kMaxFontPoints, the size forms are filled in at.
constexpr double kFontShareOfLine = 0.7;
constexpr int kMaxFontPoints = 14;

bool writtenOnOneLine(const ProposedField& field) { return field.kind == "checkbox" || field.kind == "box"; }

// The height of one line of the form in cm: the median height of its fields
// that may hold text, and never more than a line of the largest font.
double formLineHeight(const std::vector<ProposedField>& fields, double cmPerPixel)
{
    const double largest = kMaxFontPoints / kFontShareOfLine / 72.0 * 2.54;
    std::vector<int> heights;
    for (const ProposedField& field : fields)
        if (!writtenOnOneLine(field))
            heights.push_back(field.rect.h);
    if (heights.empty())
        return largest;
    std::nth_element(heights.begin(), heights.begin() + static_cast<std::ptrdiff_t>(heights.size() / 2), heights.end());
    return std::min(largest, heights[heights.size() / 2] * cmPerPixel);
}

bool carriedAsIs(const std::string& bytes)
{
    if (bytes.size() < 4)
        return false;
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    return (b(0) == 0xFF && b(1) == 0xD8 && b(2) == 0xFF) || (bytes[0] == 'B' && bytes[1] == 'M') ||
           bytes.compare(0, 4, "GIF8") == 0;
}

} // namespace

std::string backgroundBytes(const std::string& fileBytes, const Picture& picture, double dpi)
{
    if (carriedAsIs(fileBytes))
        return fileBytes;
    return encodeJpeg(picture, 90, dpi);
}

void setScanPage(Document& doc, const PaperSize& paper, std::string background, std::string backgroundPath)
{
    const UnitFactors& f = doc.factors();
    doc.setPageSizes(paper.widthCm, paper.heightCm, f.boardPxX(paper.widthCm), f.boardPxY(paper.heightCm));
    PageSettings& page = doc.page();
    page.background = std::move(background);
    page.backgroundPath = std::move(backgroundPath);
    page.imgShowType = 1; // stretched: the scan covers the board as the paper does
    page.isPrintBgPic = false;
    doc.notifyPageChanged();
}

int fittingFontSize(double lineHeightCm)
{
    const double points = lineHeightCm / 2.54 * 72.0;
    // The small allowance keeps a line of exactly 14 points' worth at 14 after rounding errors.
    return std::clamp(static_cast<int>(points * kFontShareOfLine + 1e-6), 5, kMaxFontPoints);
}

std::vector<int> addFieldBoxes(Document& doc, const ScanAnalysis& analysis, const std::vector<ProposedField>& fields)
{
    std::vector<int> added;
    if (analysis.width <= 0 || analysis.height <= 0)
        return added;
    const PageSettings& page = doc.page();
    const double boardX = static_cast<double>(page.boardWidth) / analysis.width;
    const double boardY = static_cast<double>(page.boardHeight) / analysis.height;
    const double cmX = analysis.paper.widthCm / analysis.width;
    const double cmY = analysis.paper.heightCm / analysis.height;
    const double line = formLineHeight(fields, cmY);
    for (const ProposedField& field : fields) {
        const PixelRect& r = field.rect;
        const int left = static_cast<int>(std::lround(r.x * boardX));
        const int top = static_cast<int>(std::lround(r.y * boardY));
        const int width = std::max(1, static_cast<int>(std::lround(r.right() * boardX)) - left);
        const int height = std::max(1, static_cast<int>(std::lround(r.bottom() * boardY)) - top);
        const int index = doc.addBox(BoxType::EditBox, left, top, width, height);
        Box& box = doc.box(index);
        box.printRect = {roundTo(r.x * cmX, 2), roundTo(r.y * cmY, 2), roundTo(r.w * cmX, 2), roundTo(r.h * cmY, 2)};
        box.attributes.text = "${" + field.column + "}";
        const double heightCm = r.h * cmY;
        const bool tall = !writtenOnOneLine(field) && heightCm >= 2 * line;
        box.attributes.font.size = fittingFontSize(tall ? line : heightCm);
        box.attributes.multiLine = tall;
        doc.boxEdited(index);
        added.push_back(index);
    }
    return added;
}

} // namespace ordavel::scan
