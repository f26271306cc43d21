#include "designer/scan_review_state.h"

#include "designer/scan_review.h"
#include "model/document.h"
#include "scan/caption_reader.h"
#include "scan/scan_template.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace ordavel {

namespace {

std::size_t hashOf(const std::string& bytes) { return std::hash<std::string>{}(bytes); }

scan::Picture greyOf(const scan::Picture& picture)
{
    if (picture.channels == 1)
        return picture;
    scan::Picture grey;
    grey.width = picture.width;
    grey.height = picture.height;
    grey.pixels.resize(static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height));
    const auto step = static_cast<std::size_t>(picture.channels);
    for (std::size_t i = 0; i < grey.pixels.size(); ++i) {
        const std::uint8_t* p = &picture.pixels[i * step];
        grey.pixels[i] = static_cast<std::uint8_t>((p[0] * 11 + p[1] * 16 + p[2] * 5) / 32);
    }
    return grey;
}

// The column a box is bound to: the name inside "${...}" when that is its whole text.
std::string columnOf(const std::string& text)
{
    if (text.size() > 3 && text.compare(0, 2, "${") == 0 && text.back() == '}')
        return text.substr(2, text.size() - 3);
    return {};
}

int lround(double v) { return static_cast<int>(std::lround(v)); }

// Placing a box puts it on the paper where it is on the board; its size
// there is taken from the board as well, as for a box drawn there.
void sizeOnPaper(Document& doc, int index)
{
    Box& box = doc.box(index);
    box.printRect.width = doc.factors().boxCmX(box.editRect.width);
    box.printRect.height = doc.factors().boxCmY(box.editRect.height);
}

} // namespace

ScanReviewState::ScanReviewState(Document& doc, QObject* parent) : QObject(parent), m_doc(doc)
{
    m_doc.addObserver(this);
}

ScanReviewState::~ScanReviewState() { m_doc.removeObserver(this); }

QString ScanReviewState::gestureHint()
{
    return QStringLiteral("扫描件整理：\n"
                          "双击表格中空着的格子：加入填满格子的框格\n"
                          "按住Ctrl沿横线拖动：加入下划线框格\n"
                          "Shift+双击框格：按左边或上面的标题命名\n"
                          "Ctrl+双击框格：在该处拆分\n"
                          "按住Ctrl把框格拖到同一行或同一列的框格上：合并");
}

QString ScanReviewState::gestureSummary()
{
    return QStringLiteral("扫描件整理：双击格子加框格，Ctrl+沿横线拖动加下划线框格，Shift+双击命名，"
                          "Ctrl+双击拆分，Ctrl+拖到相邻框格上合并");
}

void ScanReviewState::keep(const scan::ScanAnalysis& analysis, const scan::Picture& picture)
{
    m_width = analysis.width;
    m_height = analysis.height;
    m_paper = analysis.paper;
    m_cells = analysis.cells;
    m_lines = analysis.lines;
    m_captions = analysis.captions;
    m_ruleWidth = analysis.ruleWidth;
    std::vector<int> heights;
    for (const scan::ProposedField& field : analysis.fields)
        if (field.kind == "underline")
            heights.push_back(field.rect.h);
    m_underlineHeight = 0;
    if (!heights.empty()) {
        std::nth_element(heights.begin(), heights.begin() + static_cast<std::ptrdiff_t>(heights.size() / 2),
                         heights.end());
        m_underlineHeight = heights[heights.size() / 2];
    }
    m_grey = greyOf(picture);
    m_background = hashOf(m_doc.page().background);
    const bool wasPresent = m_present;
    m_present = m_width > 0 && m_height > 0 && m_paper.widthCm > 0 && !m_doc.page().background.empty();
    if (m_present || wasPresent)
        emit presentChanged(m_present);
}

void ScanReviewState::drop()
{
    if (!m_present && m_grey.empty())
        return;
    m_present = false;
    m_cells.clear();
    m_lines.clear();
    m_captions.clear();
    m_grey = {};
    emit presentChanged(false);
}

void ScanReviewState::pageChanged()
{
    // Setting the page up again with the same picture stretched over the board
    // keeps the state; another picture, or none, or the picture placed
    // otherwise ends it (undoing the scan's step as well).
    const PageSettings& page = m_doc.page();
    if (m_present && (page.imgShowType != 1 || hashOf(page.background) != m_background))
        drop();
}

void ScanReviewState::documentReset() { drop(); }

double ScanReviewState::scaleX() const
{
    const int board = m_doc.page().boardWidth;
    return board > 0 ? static_cast<double>(m_width) / board : 1.0;
}

double ScanReviewState::scaleY() const
{
    const int board = m_doc.page().boardHeight;
    return board > 0 ? static_cast<double>(m_height) / board : 1.0;
}

double ScanReviewState::pxPerMm() const
{
    return m_paper.widthCm > 0 ? m_width / m_paper.widthCm / 10.0 : 4.0;
}

scan::PixelRect ScanReviewState::toScan(const Rect& board) const
{
    const int x = lround(board.left * scaleX());
    const int y = lround(board.top * scaleY());
    return {x, y, lround(board.right() * scaleX()) - x, lround(board.bottom() * scaleY()) - y};
}

Rect ScanReviewState::toBoard(const scan::PixelRect& pixels) const
{
    const int left = lround(pixels.x / scaleX());
    const int top = lround(pixels.y / scaleY());
    return {left, top, std::max(1, lround(pixels.right() / scaleX()) - left),
            std::max(1, lround(pixels.bottom() / scaleY()) - top)};
}

std::string ScanReviewState::freeColumn(const std::string& base, int except) const
{
    std::vector<scan::ProposedField> columns;
    for (int i = 1; i <= m_doc.slotCount(); ++i)
        if (i != except && m_doc.box(i).inUse)
            if (std::string column = columnOf(m_doc.box(i).attributes.text); !column.empty())
                columns.push_back({{}, {}, {}, std::move(column)});
    columns.push_back({{}, {}, {}, base});
    scan::makeColumnsUnique(columns);
    return columns.back().column;
}

int ScanReviewState::addField(const scan::PixelRect& rect, const char* kind)
{
    scan::ScanAnalysis frame;
    frame.width = m_width;
    frame.height = m_height;
    frame.paper = {m_doc.page().pageWidth, m_doc.page().pageHeight};
    const scan::ProposedField field{rect, kind, {}, freeColumn(scan::columnNameFor({}), 0)};
    const std::vector<int> added = scan::addFieldBoxes(m_doc, frame, {field});
    return added.empty() ? 0 : added.front();
}

int ScanReviewState::addCellAt(QPoint at)
{
    if (!m_present)
        return 0;
    const std::optional<scan::PixelRect> cell =
        scanreview::cellFieldAt(m_cells, m_ruleWidth, lround(at.x() * scaleX()), lround(at.y() * scaleY()));
    if (!cell)
        return 0;
    // A box covering the cell already: that one is meant.
    for (int i = 1; i <= m_doc.slotCount(); ++i) {
        const Box& box = m_doc.box(i);
        if (box.inUse && box.visible && scan::iou(toScan(box.editRect), *cell) >= 0.8) {
            m_doc.clearSelection();
            m_doc.setCurrentBoxIndex(i);
            m_doc.select(i);
            return i;
        }
    }
    return addField(*cell, "cell");
}

int ScanReviewState::addUnderlineAlong(QPoint from, QPoint to)
{
    if (!m_present)
        return 0;
    const double mm = pxPerMm();
    // The reach covers a hand's wobble around the line: 1.5 mm, and never
    // less than a few pixels of the board.
    const int reach = std::max(lround(1.5 * mm), lround(4 * scaleY()));
    const int height = m_underlineHeight > 0 ? m_underlineHeight : lround(6.0 * mm);
    const std::optional<scan::PixelRect> field = scanreview::underlineAlong(
        m_lines, {lround(from.x() * scaleX()), lround(from.y() * scaleY())},
        {lround(to.x() * scaleX()), lround(to.y() * scaleY())}, reach, height);
    if (!field)
        return 0;
    return addField(*field, "underline");
}

bool ScanReviewState::nameFromCaption(int index)
{
    if (!m_present || index < 1 || index > m_doc.slotCount() || !m_doc.box(index).inUse)
        return false;
    std::vector<scan::PixelRect> rects;
    for (const scan::PrintedCaption& caption : m_captions)
        rects.push_back(caption.rect);
    // Far enough for a caption at the left end of a wide label cell.
    const std::optional<scanreview::CaptionSpot> spot =
        scanreview::captionFor(rects, toScan(m_doc.box(index).editRect), lround(60.0 * pxPerMm()));
    if (!spot)
        return false;
    scan::PrintedCaption& chosen = m_captions[static_cast<std::size_t>(spot->index)];
    std::string text = spot->rect == chosen.rect ? chosen.text : std::string();
    if (text.empty()) {
        if (!m_reader)
            m_reader = std::make_unique<scan::CaptionReader>();
        text = scanreview::readCaption(*m_reader, m_grey, spot->rect);
        if (text.empty())
            return false;
        if (spot->rect == chosen.rect)
            chosen.text = text;
    }
    Box& box = m_doc.box(index);
    box.attributes.text = "${" + freeColumn(scan::columnNameFor(text), index) + "}";
    m_doc.boxEdited(index);
    return true;
}

int ScanReviewState::split(int index, QPoint at)
{
    if (!m_present || index < 1 || index > m_doc.slotCount() || !m_doc.box(index).inUse)
        return 0;
    const Rect whole = m_doc.box(index).editRect;
    // Each part keeps room for a digit or a tick: 2 mm on the board.
    const int least = std::max(1, lround(2.0 * pxPerMm() / scaleX()));
    const auto parts = scanreview::splitAt({whole.left, whole.top, whole.width, whole.height}, at.x(), at.y(), least);
    if (!parts)
        return 0;
    const int second = m_doc.allocateSlot();
    m_doc.duplicateBox(index, second);
    const std::pair<int, scan::PixelRect> placed[] = {{index, parts->first}, {second, parts->second}};
    for (const auto& [box, r] : placed) {
        m_doc.setEditRect(box, {r.x, r.y, r.w, r.h});
        m_doc.placeHandles(box);
        sizeOnPaper(m_doc, box);
    }
    if (const std::string column = columnOf(m_doc.box(second).attributes.text); !column.empty())
        m_doc.box(second).attributes.text = "${" + freeColumn(column, second) + "}";
    m_doc.boxEdited(second);
    m_doc.boxEdited(index);
    return second;
}

bool ScanReviewState::merge(int into, int other)
{
    if (!m_present || into == other)
        return false;
    for (const int i : {into, other})
        if (i < 1 || i > m_doc.slotCount() || !m_doc.box(i).inUse)
            return false;
    const Rect a = m_doc.box(into).editRect;
    const Rect b = m_doc.box(other).editRect;
    const bool sameRow = std::min(a.bottom(), b.bottom()) > std::max(a.top, b.top);
    const bool sameColumn = std::min(a.right(), b.right()) > std::max(a.left, b.left);
    if (!sameRow && !sameColumn)
        return false;
    const int left = std::min(a.left, b.left);
    const int top = std::min(a.top, b.top);
    const Rect both{left, top, std::max(a.right(), b.right()) - left, std::max(a.bottom(), b.bottom()) - top};
    m_doc.deleteBox(other);
    m_doc.clearSelection();
    m_doc.setEditRect(into, both);
    m_doc.setCurrentBoxIndex(into);
    m_doc.refresh(into);
    sizeOnPaper(m_doc, into);
    m_doc.boxEdited(into);
    return true;
}

} // namespace ordavel
