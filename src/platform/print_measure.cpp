#include "platform/print_measure.h"

namespace ordavel {

namespace {

// The resolution the printer and PDF output draw at (QPrinter::HighResolution).
constexpr double kPrinterDpi = 1200.0;

QImage measuringDevice()
{
    QImage image(1, 1, QImage::Format_RGB32);
    const int dotsPerMetre = static_cast<int>(kPrinterDpi / 0.0254 + 0.5);
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    return image;
}

} // namespace

PrintMeasure::PrintMeasure() : m_device(measuringDevice())
{
    m_painter.begin(&m_device);
    m_surface = std::make_unique<PainterSurface>(m_painter, PainterSurface::Units::TenthsMm);
}

PrintMeasure::~PrintMeasure()
{
    m_surface.reset();
    m_painter.end();
}

} // namespace ordavel
