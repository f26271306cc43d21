#pragma once
// Scoring the fields a scan analysis proposes against the true fields of a
// picture: which were found at IoU >= 0.5, check boxes, digit cells, and
// captions read exactly, Chinese and English apart.

#include "scan/scan_analysis.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ordavel::scaneval {

struct TruthField {
    scan::PixelRect rect;
    std::string kind;    // cell, underline, blank, checkbox, digit_cells (box in hand annotations)
    std::string caption;
};

struct Truth {
    std::string image;   // path as given in the file, relative to it
    std::string family;  // the generator's family, "real" for hand annotations
    std::string split;   // "tune", "measure", or "" for hand annotations
    scan::PaperSize paper;
    std::vector<TruthField> fields;
};

// A truth file: the hand annotations' keys (image, paper_cm, fields with x, y,
// w, h, kind, caption) and the generator's (family_name, split) when present.
// nullopt with *error set when the file cannot be read or lacks a key.
std::optional<Truth> readTruth(const std::string& path, std::string* error);

// A caption as compared: without blanks and colons of either width.
std::string normalisedCaption(std::string_view text);
// Whether a caption holds a Chinese character (it is then counted as Chinese)
// or else a Latin letter (counted as English); captions of neither, such as
// "¥", are counted in neither.
bool isChinese(std::string_view text);
bool hasLatinLetter(std::string_view text);

struct Score {
    int pictures = 0;
    int truthCount = 0;
    int proposed = 0;
    int found = 0;          // true fields matched at IoU >= 0.5
    int checkBoxes = 0;
    int checkBoxesFound = 0;
    int digitCells = 0;     // rows of one-character boxes
    int digitCellsFound = 0;
    int chineseCaptions = 0; // true fields with a Chinese caption
    int chineseExact = 0;    // ... matched and read exactly
    int englishCaptions = 0;
    int englishExact = 0;
    double seconds = 0;      // analysis time on the clock, summed
    double cpuSeconds = 0;   // processor time of the analysis (all threads), summed
    double maxSeconds = 0;
    long peakKb = 0;         // the largest resident size seen
    std::map<std::string, int> kindCount; // true fields by kind
    std::map<std::string, int> kindFound; // ... of them found

    Score& operator+=(const Score& other);
};

// A share, or -1 when there was nothing to count.
double ratio(int part, int whole);

// Each proposal matches at most one true field and each true field at most
// one proposal: pairs at IoU >= 0.5 are taken best first.
Score score(const std::vector<TruthField>& truth, const std::vector<scan::ProposedField>& proposed);

// The index of the proposal each true field matched, -1 when none.
std::vector<int> matchFields(const std::vector<TruthField>& truth, const std::vector<scan::ProposedField>& proposed);

} // namespace ordavel::scaneval
