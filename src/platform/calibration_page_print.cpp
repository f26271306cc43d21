#include "platform/calibration_page_print.h"

#include "platform/painter_surface.h"

#include <QDate>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>

#include <cmath>

namespace ordavel {

namespace {

double hundredths(double mm) { return std::round(mm * 100.0) / 100.0; }

} // namespace

bool printCalibrationPage(QPrinter& printer, const CalibrationPage& page)
{
    const QSizeF mm(hundredths(page.widthMm), hundredths(page.heightMm));
    printer.setPageSize(QPageSize(mm, QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setFullPage(true);
    QPageLayout layout = printer.pageLayout();
    layout.setMode(QPageLayout::FullPageMode);
    layout.setMargins(QMarginsF(0, 0, 0, 0));
    printer.setPageLayout(layout);

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
