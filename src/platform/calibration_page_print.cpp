#include "platform/calibration_page_print.h"

#include "platform/painter_surface.h"
#include "platform/printer.h"

#include <QDate>
#include <QPainter>
#include <QPrinter>

namespace ordavel {

bool printCalibrationPage(QPrinter& printer, const CalibrationPage& page)
{
    setExactPaper(printer, QSizeF(page.widthMm, page.heightMm));

    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    {
        PainterSurface surface(painter, PainterSurface::Units::TenthsMm);
        drawCalibrationPage(page, surface);
    }
    return painter.end();
}

std::string calibrationPageDate()
{
    return QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")).toStdString();
}

} // namespace ordavel
