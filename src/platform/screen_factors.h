#pragma once
// The pixels-per-centimetre factors of this display: the primary screen's
// logical vertical dots per inch / 2.54, for the page pair and the box pair.
// 96 dpi when there is no screen.

#include "model/units.h"

namespace ordavel {

UnitFactors screenFactors();

} // namespace ordavel
