#pragma once
// A template from a scan analysis: the page at the paper's size with the scan
// as its background picture, and one text box per field, bound to its column.

#include "model/document.h"
#include "scan/scan_analysis.h"

#include <string>

namespace ordavel::scan {

// The scan's bytes as a template carries them: unchanged when BMP, JPEG or
// GIF, otherwise `picture` written as JPEG. "" when that fails.
std::string backgroundBytes(const std::string& fileBytes, const Picture& picture, double dpi);

// Sets the paper, the board at the paper's size in the document's screen
// pixels, and the background picture stretched over the board, shown and not printed.
void setScanPage(Document& doc, const PaperSize& paper, std::string background);

// Adds a text box "${COLUMN}" over each field (a check box's column carries
// its "√"): EditRect on the board, PrintRect on the paper. Returns the new
// boxes' indices in field order.
std::vector<int> addFieldBoxes(Document& doc, const ScanAnalysis& analysis, const std::vector<ProposedField>& fields);

// The font size in points whose text fits a field `heightCm` tall.
int fittingFontSize(double heightCm);

} // namespace ordavel::scan
