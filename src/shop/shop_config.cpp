#include "shop/shop_config.h"

#include "file/file_system.h"
#include "shop/connection_string.h"
#include "shop/shop_config_folder.h"

#include <cstdint>
#include <filesystem>
#include <sstream>

namespace ordavel {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxStationBytes = 63;
// Far beyond any hand-written shop.ini.
constexpr std::uintmax_t kMaxConfigBytes = 64 * 1024;

// Paths are UTF-8; built from char8_t they name the same file on every system.
fs::path pathOf(const std::string& name) { return fs::path(std::u8string(name.begin(), name.end())); }

} // namespace

std::string stationNameProblem(std::string_view name)
{
    if (name.empty())
        return "a station needs a name";
    if (name.size() > kMaxStationBytes)
        return "a station's name is at most " + std::to_string(kMaxStationBytes) + " bytes";
    if (name.find('/') != std::string_view::npos)
        return "a station's name cannot hold “/”: its printers are named STATION/PRINTER";
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return "a station's name is one line of printable characters";
    if (name.front() == ' ' || name.back() == ' ')
        return "a station's name neither begins nor ends with a space";
    return {};
}

std::string ShopConfig::defaultPath()
{
    return shopConfigFolder() + "shop.ini";
}

ShopConfig::ShopConfig(std::string path) : m_path(std::move(path)) {}

Result<std::optional<ShopMembership>, std::string> ShopConfig::load() const
{
    FileStatus status;
    const std::optional<std::string> text = readRegularFile(m_path, kMaxConfigBytes, &status);
    if (!text) {
        // Neither the file nor its folder: a station of no shop.
        if (status.fault == FileFault::Missing || status.fault == FileFault::NoFolder)
            return std::optional<ShopMembership>();
        return "cannot read " + m_path + ": " + describeFileStatus(status);
    }
    std::istringstream in(*text);
    ShopMembership membership;
    bool inShop = false;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;
        if (line.front() == '[') {
            inShop = line == "[shop]";
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            return m_path + ":" + std::to_string(number) + ": not a setting";
        if (!inShop)
            continue;
        const std::string key = line.substr(0, eq);
        if (key == "connection")
            membership.connection = line.substr(eq + 1);
        else if (key == "station")
            membership.station = line.substr(eq + 1);
    }
    if (membership.connection.empty())
        return m_path + ": names no shop database (connection=)";
    if (const std::string problem = stationNameProblem(membership.station); !problem.empty())
        return m_path + ": " + problem;
    // A password written there by hand is not used from there either.
    const ConnectionString read = withoutPassword(membership.connection);
    if (!read.error.empty())
        return m_path + ": " + read.error;
    if (read.hadPassword)
        return m_path + ": holds a password; keep it in the password file (" + passwordFileName() + ") instead";
    return std::optional<ShopMembership>(std::move(membership));
}

std::string ShopConfig::save(const ShopMembership& membership) const
{
    if (const std::string problem = stationNameProblem(membership.station); !problem.empty())
        return problem;
    const ConnectionString read = withoutPassword(membership.connection);
    if (!read.error.empty())
        return read.error;
    if (read.hadPassword)
        return "the connection string holds a password, which is not kept";
    if (membership.connection.find('\n') != std::string::npos || membership.connection.find('\r') != std::string::npos)
        return "the connection string is one line";
    std::ostringstream out;
    out << "# The shop this station prints for (ordavel-cli shop join/leave).\n"
        << "[shop]\nconnection=" << membership.connection << "\nstation=" << membership.station << "\n";
    const std::string folder = m_path.substr(0, m_path.find_last_of("/\\") + 1);
    std::error_code ec;
    if (!folder.empty())
        fs::create_directories(pathOf(folder), ec);
    if (ec)
        return "cannot make the folder " + folder + ": " + ec.message();
    std::string error;
    if (!writeFileAtomically(m_path, out.str(), &error))
        return "cannot write " + m_path + ": " + error;
    return {};
}

std::string ShopConfig::forget() const
{
    std::error_code ec;
    fs::remove(pathOf(m_path), ec);
    if (ec)
        return "cannot remove " + m_path + ": " + ec.message();
    return {};
}

} // namespace ordavel
