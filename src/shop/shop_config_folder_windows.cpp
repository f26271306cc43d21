#include "shop/shop_config_folder.h"

#include "file/wide_names_windows.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdlib>

namespace ordavel {

namespace {

bool absolute(const std::wstring& path)
{
    return (path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/'))
        || (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\');
}

} // namespace

// The roaming folder, as the printers' calibrations: the membership follows
// the user's profile. APPDATA is read first, as UTF-16, so that a profile
// moved elsewhere (or a test's own) is honoured; the known folder otherwise.
std::string shopConfigFolder()
{
    std::wstring base;
    if (const wchar_t* appData = ::_wgetenv(L"APPDATA"); appData != nullptr)
        base = appData;
    if (!absolute(base)) {
        base.clear();
        PWSTR known = nullptr;
        if (::SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &known) == S_OK)
            base = known;
        ::CoTaskMemFree(known);
    }
    while (!base.empty() && (base.back() == L'\\' || base.back() == L'/'))
        base.pop_back();
    if (base.empty())
        return "ordavel\\";
    return utf8FromWide(base) + "\\ordavel\\";
}

// libpq on Windows reads %APPDATA%\postgresql\pgpass.conf (not ~/.pgpass).
const char* passwordFileName() { return "%APPDATA%\\postgresql\\pgpass.conf"; }

} // namespace ordavel
