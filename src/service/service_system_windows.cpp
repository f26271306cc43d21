#include "service/service_system.h"

#include "file/file_system.h"
#include "file/wide_names_windows.h"

#include <windows.h>
#include <bcrypt.h>
#include <shlobj.h>

#include <filesystem>

namespace ordavel::service::service_system {

namespace {

// %APPDATA%\ordavel: the user's roaming profile, which only the user (and
// administrators) may read, so the tokens' digests need no rights of their own.
std::string ownFolder()
{
    std::wstring base;
    PWSTR known = nullptr;
    if (::SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &known) == S_OK)
        base = known;
    ::CoTaskMemFree(known);
    return (base.empty() ? std::string(".") : utf8FromWide(base)) + "\\ordavel";
}

} // namespace

std::string defaultTokenFile() { return ownFolder() + "\\service.ini"; }

std::string defaultTemplatesFolder() { return ownFolder() + "\\templates"; }

long long fileStamp(const std::string& path)
{
    const HANDLE file = ::CreateFileW(wideFromUtf8(path).c_str(), FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(file, &info) != 0;
    ::CloseHandle(file);
    if (!known)
        return 0;
    const auto join = [](DWORD high, DWORD low) {
        return static_cast<long long>((static_cast<unsigned long long>(high) << 32) | low);
    };
    // A replacement (ReplaceFileW) gives a new file index even within one clock tick.
    return join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime)
        + join(info.nFileSizeHigh, info.nFileSizeLow) * 7 + join(info.nFileIndexHigh, info.nFileIndexLow);
}

std::string writePrivateFile(const std::string& path, const std::string& bytes)
{
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(wideFromUtf8(path)).parent_path(), ignored);
    std::string error;
    return writeFileAtomically(path, bytes, &error) ? std::string() : "cannot write " + path + ": " + error;
}

bool randomBytes(unsigned char* out, std::size_t size)
{
    return BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, out, static_cast<ULONG>(size), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

} // namespace ordavel::service::service_system
