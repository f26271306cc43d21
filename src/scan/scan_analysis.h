#pragma once
// From a scanned form to the fields a template needs: for each empty area
// meant for writing, its rectangle, kind, printed caption and a data column
// named after that caption.

#include "scan/scan_image.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ordavel::scan {

class CaptionReader;

struct ProposedField {
    PixelRect rect;      // the writable area, in pixels of the scan as given
    std::string kind;    // "cell", "underline", "checkbox" or "box"
    std::string caption; // as printed, without a trailing colon
    std::string column;  // the data column: the caption cleaned, unique in the list
};

// A phrase printed on the form and its caption as read ("" where the
// analysis did not read it).
struct PrintedCaption {
    PixelRect rect;
    std::string text;
};

struct PaperSize {
    double widthCm = 0;
    double heightCm = 0;
};

struct ScanAnalysis {
    int width = 0;
    int height = 0;
    PaperSize paper;
    double skewDegrees = 0;
    std::vector<ProposedField> fields; // top to bottom, left to right
    // The rules found, in pixels of the scan as given, for the review tools:
    // the areas the rules enclose (up to the rules' inner edges) and the
    // horizontal rules long enough to write on.
    std::vector<PixelRect> cells;
    std::vector<PixelRect> lines;
    int ruleWidth = 1; // the usual thickness of a rule, in pixels
    std::vector<PrintedCaption> captions; // the printed phrases, for naming fields
    bool cancelled = false;
};

// Told the share of the work done (0..1); returning false stops the analysis.
using ScanProgress = std::function<bool(double done)>;

// The fields of `image` printed on paper of `paper` size. The reader is
// reused across calls; one without models reads no captions.
ScanAnalysis analyseScan(const Picture& image, PaperSize paper, CaptionReader& reader,
                         const ScanProgress& progress = {});
// The same with a reader of its own.
ScanAnalysis analyseScan(const Picture& image, PaperSize paper);

// The column a caption gives: without parenthesised remarks, punctuation and
// blanks at either end ("联系电话(非常重要)" -> "联系电话"); "字段" when nothing is left.
std::string columnNameFor(std::string_view caption);
// Makes the columns of `fields` unique: the second "姓名" becomes "姓名2", and so on.
void makeColumnsUnique(std::vector<ProposedField>& fields);
// A caption as read, tidied: ends trimmed, the trailing colon dropped,
// blanks between Chinese characters removed, full-width letters and digits made plain.
std::string tidyCaption(std::string_view text);

} // namespace ordavel::scan
