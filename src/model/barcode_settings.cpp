#include "model/barcode_settings.h"

#include <array>

namespace ordavel {

namespace {

constexpr std::array<std::string_view, kSymbologyCount> kSymbologyNames{"Code128", "EAN13", "Code39",
                                                                        "QR", "DataMatrix", "PDF417"};
constexpr std::array<std::string_view, 4> kEccNames{"L", "M", "Q", "H"};

} // namespace

std::string_view symbologyName(Symbology symbology)
{
    const auto i = static_cast<std::size_t>(symbology);
    return i < kSymbologyNames.size() ? kSymbologyNames[i] : std::string_view();
}

std::optional<Symbology> symbologyFromName(std::string_view name)
{
    for (std::size_t i = 0; i < kSymbologyNames.size(); ++i)
        if (kSymbologyNames[i] == name)
            return static_cast<Symbology>(i);
    return std::nullopt;
}

std::string_view eccName(QrEcc ecc)
{
    const auto i = static_cast<std::size_t>(ecc);
    return i < kEccNames.size() ? kEccNames[i] : std::string_view();
}

std::optional<QrEcc> eccFromName(std::string_view name)
{
    for (std::size_t i = 0; i < kEccNames.size(); ++i)
        if (kEccNames[i] == name)
            return static_cast<QrEcc>(i);
    return std::nullopt;
}

bool isLinear(Symbology symbology)
{
    return symbology == Symbology::Code128 || symbology == Symbology::EAN13 || symbology == Symbology::Code39;
}

} // namespace ordavel
