#pragma once
// A surface that measures text as the printer draws it: fonts resolved as on
// paper, at a printer's resolution, in units of 0.1 mm. It draws nowhere; the
// checks before a batch prints measure the texts that shrink to fit on it.

#include "platform/painter_surface.h"

#include <QImage>
#include <QPainter>

#include <memory>

namespace ordavel {

class PrintMeasure {
public:
    // Needs a QGuiApplication.
    PrintMeasure();
    ~PrintMeasure();
    PrintMeasure(const PrintMeasure&) = delete;
    PrintMeasure& operator=(const PrintMeasure&) = delete;

    Surface& surface() { return *m_surface; }

private:
    QImage m_device;
    QPainter m_painter;
    std::unique_ptr<PainterSurface> m_surface;
};

} // namespace ordavel
