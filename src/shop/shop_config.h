#pragma once
// Which shop this user's station belongs to: the shop's database and the
// station's name, kept in $XDG_CONFIG_HOME/ordavel/shop.ini
// (%APPDATA%\ordavel\shop.ini on Windows). No file: a station of no shop,
// which keeps its journal to itself. A password is never kept there.

#include "model/result.h"

#include <optional>
#include <string>
#include <string_view>

namespace ordavel {

struct ShopMembership {
    std::string connection; // a PostgreSQL connection string without a password
    std::string station;    // this station's name in the shop
};

// Why `name` cannot name a station ("" when it can): it names the station's
// printers as STATION/PRINTER, so it is one line of at most 63 bytes, without
// '/', and neither empty nor blank at its ends.
std::string stationNameProblem(std::string_view name);

class ShopConfig {
public:
    static std::string defaultPath();
    explicit ShopConfig(std::string path = defaultPath());

    const std::string& path() const { return m_path; }
    // The membership, none when the station joined no shop; the error when
    // the file cannot be read or is not one of ours.
    Result<std::optional<ShopMembership>, std::string> load() const;
    // Writes the membership in place of any earlier one; refuses a
    // connection string that holds a password or a bad station name.
    std::string save(const ShopMembership& membership) const;
    // Leaves the shop: the file goes. "" also when there was none.
    std::string forget() const;

private:
    std::string m_path;
};

} // namespace ordavel
