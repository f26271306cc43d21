// The journal on Windows: its file in the user's local application data, a
// folder named in Chinese, and the user and machine taken from Windows.
#include "journal/journal.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using namespace ordavel;

namespace {

std::string utf8(const std::wstring& text)
{
    const auto u8 = fs::path(text).u8string();
    return std::string(u8.begin(), u8.end());
}

JournalJobIn oneRecord()
{
    JournalJobIn in;
    in.program = "tool";
    in.kind = JournalKind::Page;
    in.printer = "pdf";
    in.templatePath = "C:\\表单\\运单.oxf";
    in.templateName = "运单.oxf";
    in.templateBytes = "<oxf/>";
    in.records.push_back({.number = 1, .copies = 1, .fields = {{"收件人", "张三"}}, .columns = {}, .counters = {}});
    return in;
}

} // namespace

TEST(JournalOnWindows, LivesInTheLocalApplicationDataFolder)
{
    PWSTR known = nullptr;
    ASSERT_EQ(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known), S_OK);
    const std::string local = utf8(known);
    ::CoTaskMemFree(known);
    EXPECT_EQ(Journal::defaultPath(), local + "\\ordavel\\journal.sqlite");
}

TEST(JournalOnWindows, WorksInAFolderNamedInChineseAndNamesTheWindowsUserAndMachine)
{
    const std::wstring folder =
        (fs::temp_directory_path() / (L"打印记录-" + std::to_wstring(::GetCurrentProcessId()))).wstring();
    fs::remove_all(folder);
    const std::string path = utf8(folder) + "\\日志.sqlite";

    JournalJobId id = 0;
    {
        Journal::Opened opened = Journal::open(path);
        ASSERT_TRUE(opened.journal) << opened.error;
        const auto recorded = opened.journal->recordJob(oneRecord());
        ASSERT_TRUE(recorded.ok()) << recorded.error;
        id = recorded.value;
    }
    // The file is where the wide name says, not under a name mangled by a code page.
    EXPECT_TRUE(fs::exists(fs::path(folder) / L"日志.sqlite"));

    Journal::Opened again = Journal::open(path);
    ASSERT_TRUE(again.journal) << again.error;
    const auto job = again.journal->job(id);
    ASSERT_TRUE(job.ok() && job.value.has_value()) << job.error;
    EXPECT_EQ(job.value->templateName, "运单"); // read back without its extension, as everywhere

    wchar_t user[257];
    DWORD userSize = 257;
    ASSERT_TRUE(::GetUserNameW(user, &userSize));
    EXPECT_EQ(job.value->user, utf8(user));
    wchar_t host[256];
    DWORD hostSize = 256;
    ASSERT_TRUE(::GetComputerNameExW(ComputerNameDnsHostname, host, &hostSize));
    EXPECT_EQ(job.value->host, utf8(std::wstring(host, hostSize)));
    again.journal.reset();

    EXPECT_TRUE(Journal::setOff(true, path).empty());
    EXPECT_TRUE(fs::exists(fs::path(folder) / L"日志.sqlite.off"));
    EXPECT_TRUE(Journal::isOff(path));
    EXPECT_TRUE(Journal::setOff(false, path).empty());
    EXPECT_FALSE(Journal::isOff(path));
    fs::remove_all(folder);
}
