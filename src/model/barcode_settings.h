#pragma once
// The text forms of a barcode box's settings, as the template file, the
// headless tool and the property dialog write them.

#include "model/box.h"

#include <optional>
#include <string_view>

namespace ordavel {

// "Code128", "EAN13", "Code39", "QR", "DataMatrix", "PDF417".
std::string_view symbologyName(Symbology symbology);
// The symbology of an exact name; nothing for any other text.
std::optional<Symbology> symbologyFromName(std::string_view name);
inline constexpr int kSymbologyCount = 6;

// "L", "M", "Q", "H".
std::string_view eccName(QrEcc ecc);
std::optional<QrEcc> eccFromName(std::string_view name);

// True for the one-row codes that carry human-readable text (Code128, EAN13, Code39).
bool isLinear(Symbology symbology);
// True for 0, 90, 180 and 270.
inline bool isValidRotation(int degrees) { return degrees == 0 || degrees == 90 || degrees == 180 || degrees == 270; }

} // namespace ordavel
