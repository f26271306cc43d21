#include "designer/paper_panel.h"

#include "designer/background_picture.h"
#include "model/board_zoom.h"
#include "model/document.h"
#include "platform/painter_surface.h"
#include "print/box_render.h"
#include "print/sheet_layout.h"

#include <QPainter>

#include <algorithm>

namespace ordavel {

PaperPanel::PaperPanel(Document& document, QWidget* parent) : QWidget(parent), m_document(document)
{
    setObjectName(QStringLiteral("画板_纸张背景"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PaperPanel::setBackgroundPicture(const QImage& picture, int mode)
{
    m_picture = picture;
    m_pictureMode = mode;
    update();
}

void PaperPanel::setStartCell(int cell)
{
    m_startCell = std::clamp(cell, 1, m_document.page().sheet.cells());
    update();
}

bool PaperPanel::showsSheet() const
{
    return m_document.appMode() == AppMode::PreviewMode && m_document.page().sheet.active();
}

QSize PaperPanel::previewSize() const
{
    const PageSettings& page = m_document.page();
    if (!showsSheet())
        return {page.boardWidth, page.boardHeight};
    const UnitFactors& f = m_document.factors();
    return {f.boardPxX(page.sheet.widthCm), f.boardPxY(page.sheet.heightCm)};
}

std::vector<int> PaperPanel::recordsInCells() const
{
    const SheetLayout& layout = m_document.page().sheet;
    const int cells = layout.cells();
    const int start = std::clamp(m_startCell, 1, cells);
    const std::vector<int> rows = m_records.rows ? m_records.rows() : std::vector<int>();
    const int forms = static_cast<int>(rows.size());
    // The current record's first form, or the first after it when it prints none.
    int current = 0;
    if (forms > 0) {
        const int row = m_records.current ? m_records.current() : 0;
        current = static_cast<int>(std::lower_bound(rows.begin(), rows.end(), row) - rows.begin());
        current = std::min(current, forms - 1);
    }
    const int sheet = sheetSlot(layout, current, start).sheet;
    std::vector<int> shown(static_cast<std::size_t>(cells), -1);
    for (int cell = 0; cell < cells; ++cell) {
        const int form = sheet * cells + cell - (start - 1);
        if (form >= 0 && (forms == 0 ? sheet == 0 : form < forms))
            shown[static_cast<std::size_t>(cell)] = forms == 0 ? 0 : rows[static_cast<std::size_t>(form)];
    }
    return shown;
}

void PaperPanel::paintSheet(QPainter& painter)
{
    const SheetLayout& layout = m_document.page().sheet;
    const UnitFactors& f = m_document.factors();
    const PageSettings& page = m_document.page();
    const QRect board(0, 0, page.boardWidth, page.boardHeight);
    const QRectF outline(0, 0, page.pageWidth * f.boxPxPerCmX, page.pageHeight * f.boxPxPerCmY);
    const std::vector<int> records = recordsInCells();
    for (int cell = 0; cell < static_cast<int>(records.size()); ++cell) {
        const SheetSlot slot = sheetSlot(layout, cell, 1);
        painter.save();
        painter.translate(slot.leftCm * f.boxPxPerCmX, slot.topCm * f.boxPxPerCmY);
        // Each cell's outline, which does not print, shows where the forms go.
        painter.setPen(QPen(QColor(0xC0, 0xC0, 0xC0), 0, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(outline);
        const int record = records[static_cast<std::size_t>(cell)];
        if (record >= 0) {
            paintBackgroundPicture(painter, m_picture, m_pictureMode, board);
            PainterSurface surface(painter, PainterSurface::Units::Pixels);
            const BoxFilter view = m_records.view ? m_records.view(record) : BoxFilter();
            for (int index = 1; index <= m_document.slotCount(); ++index) {
                const Box& box = m_document.box(index);
                drawBox(view ? view(box) : box, RenderTarget::Preview, f, surface);
            }
        }
        painter.restore();
    }
}

void PaperPanel::paintEvent(QPaintEvent*)
{
    // Each paint starts from a blank sheet, so no earlier drawing survives.
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (m_document.appMode() != AppMode::PreviewMode)
        return;
    // Drawn in board px and scaled, so that the zoomed preview is the same drawing.
    QRect board = rect();
    if (m_zoom && m_zoom->percent() != 100) {
        painter.scale(m_zoom->factor(), m_zoom->factor());
        painter.setRenderHint(QPainter::SmoothPixmapTransform, m_zoom->percent() < 100);
        board = QRect(0, 0, m_document.page().boardWidth, m_document.page().boardHeight);
    }
    if (showsSheet()) {
        paintSheet(painter);
        return;
    }
    paintBackgroundPicture(painter, m_picture, m_pictureMode, board);
    // The same drawing as on paper (target Preview: panel pixels). No yield in
    // here: a paint event must not let other events re-enter.
    PainterSurface surface(painter, PainterSurface::Units::Pixels);
    const BoxFilter view = m_boxView ? m_boxView() : BoxFilter();
    for (int index = 1; index <= m_document.slotCount(); ++index) {
        const Box& box = m_document.box(index);
        drawBox(view ? view(box) : m_withoutData.merged(box), RenderTarget::Preview, m_document.factors(), surface);
    }
}

} // namespace ordavel
