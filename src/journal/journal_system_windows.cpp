#include "journal/journal_system.h"

#include "file/wide_names_windows.h"

#include <windows.h>
#include <shlobj.h>

#include <string_view>

namespace ordavel::journal_system {


std::string userName()
{
    wchar_t name[257];
    DWORD size = 257;
    return ::GetUserNameW(name, &size) ? utf8FromWide(name) : std::string();
}

std::string hostName()
{
    wchar_t name[256];
    DWORD size = 256;
    return ::GetComputerNameExW(ComputerNameDnsHostname, name, &size) ? utf8FromWide(std::wstring_view(name, size))
                                                                        : std::string();
}

long processId() { return static_cast<long>(::GetCurrentProcessId()); }

// %LOCALAPPDATA%\ordavel\journal.sqlite: the journal stays on this machine, as
// its jobs name this machine's printers.
std::string defaultJournalPath()
{
    std::wstring base;
    PWSTR known = nullptr;
    if (::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known) == S_OK)
        base = known;
    ::CoTaskMemFree(known);
    if (base.empty()) {
        wchar_t temp[MAX_PATH + 1];
        const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
        base.assign(temp, n);
        while (!base.empty() && base.back() == L'\\')
            base.pop_back();
    }
    return utf8FromWide(base) + "\\ordavel\\journal.sqlite";
}

bool processRuns(long pid)
{
    if (pid <= 0)
        return false;
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!process)
        return ::GetLastError() == ERROR_ACCESS_DENIED; // there, but another user's
    DWORD status = 0;
    const bool running = ::GetExitCodeProcess(process, &status) && status == STILL_ACTIVE;
    ::CloseHandle(process);
    return running;
}

bool diskFull(const std::string& folder)
{
    ULARGE_INTEGER available{};
    return ::GetDiskFreeSpaceExW(wideFromUtf8(folder).c_str(), &available, nullptr, nullptr) && available.QuadPart == 0;
}

std::optional<FileIdentity> fileIdentity(const std::string& path)
{
    // Opened for its attributes only, sharing everything, so that SQLite's own handles are not disturbed.
    const HANDLE file = ::CreateFileW(wideFromUtf8(path).c_str(), FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(file, &info) != 0;
    ::CloseHandle(file);
    if (!known)
        return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber,
        (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

} // namespace ordavel::journal_system
