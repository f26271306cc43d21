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
// pixels, and the background picture stretched over the board, shown and not
// printed. `backgroundPath` is the file holding those bytes, which page setup
// shows and reads again on OK ("" when there is none).
void setScanPage(Document& doc, const PaperSize& paper, std::string background, std::string backgroundPath = {});

// Adds a text box "${COLUMN}" over each field (a check box's column carries
// its "√"): EditRect on the board, PrintRect on the paper. The font follows
// the field's line height; a field at least two of the form's lines tall (the
// median height of its fields, at most a 14-point line) is multi-line with the
// font of one such line. Returns the new boxes' indices in field order.
std::vector<int> addFieldBoxes(Document& doc, const ScanAnalysis& analysis, const std::vector<ProposedField>& fields);

// The font size in points for lines `lineHeightCm` tall: never above 14 points.
int fittingFontSize(double lineHeightCm);

} // namespace ordavel::scan
