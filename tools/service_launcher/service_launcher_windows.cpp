// ordavel-service.exe: the print service without a console window. A
// program of Windows' GUI subsystem (so nothing opens when it starts with
// Windows or from the Start menu) that runs `ordavel-cli.exe serve` from its
// own folder with no console, in the user's session where the user's printers
// are, its messages appended to %LOCALAPPDATA%\ordavel\print-service.log.
// Arguments are passed on to `serve`. The service is bound to the launcher
// by a job object: ending the launcher (the uninstaller does) ends it too.
// Exits with the service's status.
#include <windows.h>
#include <shlobj.h>

#include <string>

namespace {

// A log beyond this size starts over when the service starts.
constexpr LONGLONG kMaxLogBytes = 1 << 20;

std::wstring folderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); }

std::wstring localAppData()
{
    std::wstring base;
    PWSTR known = nullptr;
    if (::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known) == S_OK)
        base = known;
    ::CoTaskMemFree(known);
    return base;
}

// The log, open for appending and inherited by the service; INVALID_HANDLE_VALUE when it cannot be made.
HANDLE openLog()
{
    const std::wstring base = localAppData();
    if (base.empty())
        return INVALID_HANDLE_VALUE;
    const std::wstring folder = base + L"\\ordavel";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring path = folder + L"\\print-service.log";
    WIN32_FILE_ATTRIBUTE_DATA info{};
    if (::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info)
        && ((static_cast<LONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow) > kMaxLogBytes)
        ::DeleteFileW(path.c_str());
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    return ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         &inherited, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int)
{
    wchar_t self[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH)
        return 2;
    const std::wstring folder = folderOf(self);
    const std::wstring cli = folder + L"ordavel-cli.exe";
    std::wstring command = L"\"" + cli + L"\" serve";
    if (arguments != nullptr && arguments[0] != L'\0')
        command += std::wstring(L" ") + arguments;

    const HANDLE log = openLog();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = log;
    startup.hStdError = log;

    // Closing the job's last handle, as the launcher's end does, ends the service.
    const HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
    if (job != nullptr) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    PROCESS_INFORMATION process{};
    const BOOL started = ::CreateProcessW(cli.c_str(), command.data(), nullptr, nullptr, log != INVALID_HANDLE_VALUE,
                                          CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, folder.c_str(), &startup,
                                          &process);
    if (log != INVALID_HANDLE_VALUE)
        ::CloseHandle(log);
    if (!started)
        return 2;
    if (job != nullptr)
        ::AssignProcessToJobObject(job, process.hProcess);
    ::ResumeThread(process.hThread);
    ::CloseHandle(process.hThread);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    ::GetExitCodeProcess(process.hProcess, &status);
    ::CloseHandle(process.hProcess);
    if (job != nullptr)
        ::CloseHandle(job);
    return static_cast<int>(status);
}
