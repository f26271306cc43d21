#pragma once
// Where a station keeps its membership of a shop, and where libpq looks for
// the password that membership never holds. One twin per system.

#include <string>

namespace ordavel {

// The folder of shop.ini, ending in its separator: $XDG_CONFIG_HOME/ordavel/
// (~/.config/ordavel/ without it); on Windows %APPDATA%\ordavel\.
std::string shopConfigFolder();

// libpq's own password file as a user would name it: ~/.pgpass, on Windows
// %APPDATA%\postgresql\pgpass.conf; either way PGPASSFILE names another.
const char* passwordFileName();

} // namespace ordavel
