#pragma once
// The analysis's inner steps, shared by the files of its stages: the
// characters joined into phrases and read (layout_captions.cpp), the regions
// and rules around them (layout_regions.cpp), ruled cells (layout_cells.cpp),
// and box rows, check boxes, underlines and open blanks (layout_blanks.cpp).
// All rectangles are in the coordinates of the deskewed picture.

#include "scan/scan_analysis.h"
#include "scan/ruling.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

namespace ordavel::scan {

class CaptionReader;

namespace layout {

// A run of characters read as one caption.
struct Phrase {
    PixelRect rect;
    int container = -1; // smallest region holding it, -1 for the open page
    int parts = 0;      // blobs
    std::vector<PixelRect> glyphs; // the blobs' rectangles
};

inline int centreX(const PixelRect& r) { return r.x + r.w / 2; }
inline int centreY(const PixelRect& r) { return r.y + r.h / 2; }
inline bool holds(const PixelRect& outer, int x, int y) { return x >= outer.x && x < outer.right() && y >= outer.y && y < outer.bottom(); }
inline bool inside(const PixelRect& inner, const PixelRect& outer)
{
    return inner.x >= outer.x && inner.y >= outer.y && inner.right() <= outer.right() && inner.bottom() <= outer.bottom();
}
inline int verticalOverlap(const PixelRect& a, const PixelRect& b)
{
    return std::min(a.bottom(), b.bottom()) - std::max(a.y, b.y);
}

// Whether a caption as read ends with a colon, plain or full-width.
bool endsWithColon(const std::string& text);
// Whether `text` holds a CJK ideograph.
bool hasChinese(const std::string& text);
// Whether `text` is one of the units a blank stands before ("__年__月").
bool isUnitCharacter(const std::string& text);
// Whether a caption read (tidied and mended) as `text`, with the reader's
// `sureness` (0 to 100), from a phrase `height` px tall on a page whose
// characters stand `charHeight` px, is worth reading again.
bool worthReadingAgain(const std::string& text, double sureness, int height, int charHeight);

struct UnionFind {
    std::vector<int> parent;
    explicit UnionFind(std::size_t n) : parent(n) { std::iota(parent.begin(), parent.end(), 0); }
    int find(int i) { return parent[static_cast<std::size_t>(i)] == i ? i : parent[static_cast<std::size_t>(i)] = find(parent[static_cast<std::size_t>(i)]); }
    void join(int a, int b) { parent[static_cast<std::size_t>(find(a))] = find(b); }
};

// The fields of one deskewed band, found stage by stage; captions are read
// only for the phrases a field needs, each once.
class Layout {
public:
    Layout(const Ruling& ruling, CaptionReader& reader, const ScanProgress& progress)
        : m_ruling(ruling), m_reader(reader), m_progress(progress), m_mm(ruling.pxPerMm)
    {
    }

    // The fields found, nullopt when the progress callback stopped the work.
    std::optional<std::vector<ProposedField>> run();
    // The phrases printed on the band, with their captions where they were read.
    std::vector<PrintedCaption> printedCaptions() const;

private:
    int px(double millimetres) const { return static_cast<int>(std::lround(millimetres * m_mm)); }
    // Proposes `rect` unless it is too small or mostly proposed already.
    void add(const PixelRect& rect, const char* kind, std::string caption);

    // Regions and rules (layout_regions.cpp).
    void classifyRegions();
    int containerOf(int x, int y) const;
    bool besideVerticalRule(const PixelRect& r) const;
    bool inSquare(int container) const { return container >= 0 && m_isSquare[static_cast<std::size_t>(container)]; }
    bool textBetween(const PixelRect& a, const PixelRect& b) const;
    bool framed(int x, int y) const;
    // The columns [left, right) the paper covers: all of them on a scan,
    // less the background around the sheet on a photograph.
    std::pair<int, int> paperSpan() const;

    // Phrases and their captions (layout_captions.cpp).
    void buildPhrases();
    void dropPalePhrases();
    bool paperInMiddle(const PixelRect& rect) const;
    const std::string& textOf(std::size_t phrase);
    std::string readAgain(std::size_t phrase, std::string first);
    static bool looksChinese(const Phrase& phrase);
    bool chinesePage();
    Picture cleanedCrop(std::size_t phrase) const;
    std::optional<std::size_t> phraseLeftOf(const PixelRect& band, int reach) const;
    std::optional<std::size_t> phraseRightOf(const PixelRect& band, int reach) const;
    std::optional<std::size_t> phraseAbove(const PixelRect& area) const;
    bool endsWithColonRaw(std::size_t phrase);
    bool checkColon(std::size_t phrase);
    bool colonAfter(std::size_t phrase);

    // Box rows, check boxes, underlines and open blanks (layout_blanks.cpp).
    void squareFields();
    void stretchAlongRules(PixelRect& rect, int& count) const;
    void checkBox(const PixelRect& rect);
    void glyphBoxFields();
    void underlineFields();
    void openPageFields();

    // Ruled cells (layout_cells.cpp).
    struct LineField {
        PixelRect rect;
        std::string caption;
        bool sure = false; // after a colon or before a unit character
    };
    void cellFields();
    void narrowCellRows(std::vector<bool>& done);
    std::vector<LineField> lineFields(const std::vector<std::size_t>& line, const PixelRect& band, int lineHeight);
    bool colonStyle();
    void cell(int region);
    std::optional<std::string> valueBesideCaption(int region, const PixelRect& area, const std::vector<std::size_t>& mine);
    bool columnsUnderHeader(int region, std::vector<bool>& done);
    std::optional<std::size_t> columnHead(int region) const;

    const Ruling& m_ruling;
    CaptionReader& m_reader;
    const ScanProgress& m_progress;
    double m_mm;
    std::vector<bool> m_isSquare;
    std::vector<bool> m_isLeaf;
    std::vector<Phrase> m_phrases;
    std::vector<std::optional<std::string>> m_text;
    std::map<std::size_t, bool> m_colon;
    std::map<std::size_t, std::string> m_raw;
    std::vector<PixelRect> m_glyphBoxes;
    std::vector<PixelRect> m_leaders; // rows of dots found as ink, not as rules
    std::vector<ProposedField> m_fields;
    std::optional<bool> m_colonStyle;
    std::optional<bool> m_chinesePage;
    int m_charHeight = 0;
    double m_ocrDone = 0;
    double m_ocrTotal = 1;
    bool m_cancelled = false;
};

} // namespace layout

} // namespace ordavel::scan
