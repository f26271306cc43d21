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

std::vector<int> PaperPanel::formsInCells() const
{
    const SheetLayout& layout = m_document.page().sheet;
    const int cells = layout.cells();
    const int start = std::clamp(m_startCell, 1, cells);
    const int records = m_records.count ? m_records.count() : 0;
    // The sheet of the current record; without data the first, every cell from the start on.
    const int current = records > 0 && m_records.current ? std::clamp(m_records.current(), 0, records - 1) : 0;
    const int sheet = sheetSlot(layout, current, start).sheet;
    std::vector<int> forms(static_cast<std::size_t>(cells), -1);
    for (int cell = 0; cell < cells; ++cell) {
        const int form = sheet * cells + cell - (start - 1);
        if (form >= 0 && (records == 0 ? sheet == 0 : form < records))
            forms[static_cast<std::size_t>(cell)] = form;
    }
    return forms;
}

void PaperPanel::paintSheet(QPainter& painter)
{
    const SheetLayout& layout = m_document.page().sheet;
    const UnitFactors& f = m_document.factors();
    const PageSettings& page = m_document.page();
    const QRect board(0, 0, page.boardWidth, page.boardHeight);
    const QRectF outline(0, 0, page.pageWidth * f.boxPxPerCmX, page.pageHeight * f.boxPxPerCmY);
    const bool withData = m_records.count && m_records.count() > 0 && m_records.view;
    const std::vector<int> forms = formsInCells();
    for (int cell = 0; cell < static_cast<int>(forms.size()); ++cell) {
        const SheetSlot slot = sheetSlot(layout, cell, 1);
        painter.save();
        painter.translate(slot.leftCm * f.boxPxPerCmX, slot.topCm * f.boxPxPerCmY);
        // Each cell's outline, which does not print, shows where the forms go.
        painter.setPen(QPen(QColor(0xC0, 0xC0, 0xC0), 0, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(outline);
        const int form = forms[static_cast<std::size_t>(cell)];
        if (form >= 0) {
            paintBackgroundPicture(painter, m_picture, m_pictureMode, board);
            PainterSurface surface(painter, PainterSurface::Units::Pixels);
            const BoxFilter view = withData ? m_records.view(form) : BoxFilter();
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
        drawBox(view ? view(box) : box, RenderTarget::Preview, m_document.factors(), surface);
    }
}

} // namespace ordavel
