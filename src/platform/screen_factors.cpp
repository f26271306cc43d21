#include "platform/screen_factors.h"

#include <QGuiApplication>
#include <QScreen>

namespace ordavel {

UnitFactors screenFactors()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    return UnitFactors::fromDpi(dpi > 0 ? dpi : 96.0);
}

} // namespace ordavel
