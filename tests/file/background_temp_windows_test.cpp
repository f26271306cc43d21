// The temporary copy of a background picture on Windows: in the folder
// GetTempPathW names (TMP, then TEMP, then the Windows folder), under a name
// that no other file has, also when that folder's name is not ASCII.
#include "file/file_system.h"
#include "file/picture.h"
#include "file/wide_names_windows.h"

#include "template_test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

namespace ordavel {
namespace {

// TMP set to a fresh folder while it lives.
class TemporaryFolderRedirect {
public:
    explicit TemporaryFolderRedirect(const std::string& name) : m_path(m_scratch.path("") + name + "\\")
    {
        wchar_t old[32768];
        const DWORD n = ::GetEnvironmentVariableW(L"TMP", old, 32768);
        m_had = n > 0 && n < 32768;
        if (m_had)
            m_old.assign(old, n);
        ::CreateDirectoryW(wideFromUtf8(m_path).c_str(), nullptr);
        ::SetEnvironmentVariableW(L"TMP", wideFromUtf8(m_path).c_str());
    }
    ~TemporaryFolderRedirect() { ::SetEnvironmentVariableW(L"TMP", m_had ? m_old.c_str() : nullptr); }
    TemporaryFolderRedirect(const TemporaryFolderRedirect&) = delete;
    TemporaryFolderRedirect& operator=(const TemporaryFolderRedirect&) = delete;
    const std::string& path() const { return m_path; }

private:
    testing::ScratchFolder m_scratch;
    std::string m_path;
    std::wstring m_old;
    bool m_had = false;
};

TEST(WindowsBackgroundTempFile, NewHexNamesInTheUsersTemporaryFolder)
{
    TemporaryFolderRedirect temp("临时文件");
    wchar_t reported[MAX_PATH + 1];
    ASSERT_GT(::GetTempPathW(MAX_PATH + 1, reported), 0u);
    ASSERT_EQ(utf8FromWide(reported), temp.path());

    std::set<std::string> paths;
    for (int i = 0; i < 20; ++i) {
        const std::string path = createBackgroundTempFile();
        ASSERT_EQ(path.rfind(temp.path(), 0), 0u) << path;
        const std::string name = path.substr(temp.path().size());
        ASSERT_GT(name.size(), 4u);
        EXPECT_EQ(name.substr(name.size() - 4), ".tmp");
        EXPECT_EQ(name.substr(0, name.size() - 4).find_first_not_of("0123456789abcdef"), std::string::npos) << name;
        EXPECT_EQ(readRegularFile(path, 10), "") << path; // there, and empty
        EXPECT_TRUE(paths.insert(path).second) << "repeated " << path;
    }
    for (const std::string& path : paths)
        removeFileQuietly(path);
    EXPECT_EQ(::GetFileAttributesW(wideFromUtf8(*paths.begin()).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(WindowsBackgroundTempFile, ConcurrentCallersNeverShareAName)
{
    TemporaryFolderRedirect temp("bg");
    std::vector<std::vector<std::string>> made(4);
    std::vector<std::thread> threads;
    for (auto& list : made)
        threads.emplace_back([&list] {
            for (int i = 0; i < 25; ++i)
                list.push_back(createBackgroundTempFile());
        });
    for (auto& t : threads)
        t.join();
    std::set<std::string> all;
    for (const auto& list : made)
        for (const std::string& path : list) {
            EXPECT_FALSE(path.empty());
            all.insert(path);
        }
    EXPECT_EQ(all.size(), 100u);
}

TEST(WindowsBackgroundTempFile, AMissingTemporaryFolderGivesNoName)
{
    TemporaryFolderRedirect temp("gone");
    ASSERT_TRUE(::RemoveDirectoryW(wideFromUtf8(temp.path()).c_str()));
    EXPECT_EQ(createBackgroundTempFile(), "");
}

} // namespace
} // namespace ordavel
