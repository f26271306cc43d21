#include "file/picture.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace ordavel {
namespace {

namespace fs = std::filesystem;

std::string readData(const std::string& name)
{
    std::ifstream in(std::string(ORDAVEL_TEST_DATA "/pictures/") + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

#ifndef _WIN32 // TMPDIR, FIFOs and permission bits (Windows: background_temp_windows_test.cpp)
void writePlain(const fs::path& path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder of this test's own, removed at the end; also made the
// system temporary folder (TMPDIR) while it lives.
class ScratchFolder {
public:
    ScratchFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "ordavel-test-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data());
        const char* old = std::getenv("TMPDIR");
        if (old)
            m_oldTmpdir = old;
        m_hadTmpdir = old != nullptr;
        ::setenv("TMPDIR", m_path.c_str(), 1);
    }
    ~ScratchFolder()
    {
        if (m_hadTmpdir)
            ::setenv("TMPDIR", m_oldTmpdir.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
        std::error_code ec;
        fs::permissions(m_path, fs::perms::owner_all, ec);
        fs::remove_all(m_path, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const fs::path& path() const { return m_path; }
    std::vector<std::string> names() const
    {
        std::vector<std::string> out;
        for (const auto& entry : fs::directory_iterator(m_path))
            out.push_back(entry.path().filename().string());
        return out;
    }

private:
    fs::path m_path;
    std::string m_oldTmpdir;
    bool m_hadTmpdir = false;
};

#endif

TEST(PictureExtension, RecognisesRealPictures)
{
    EXPECT_EQ(pictureExtension(readData("icc-profile.jpeg")), "jpg");
    EXPECT_EQ(pictureExtension(readData("f1-exif.jpg")), "");
    EXPECT_EQ(pictureExtension(readData("all-reds.gif")), "gif");
    EXPECT_EQ(pictureExtension(readData("gif87a.gif")), "");
    EXPECT_EQ(pictureExtension(readData("bug778584.gif")), "gif"); // "GIF89a" at byte 10
    EXPECT_EQ(pictureExtension(readData("cve-2015-4491.bmp")), "bmp");
    EXPECT_EQ(pictureExtension(readData("invalid.1.png")), "");
}

TEST(PictureExtension, LooksAtTheFirst32BytesAndLaterTestsWin)
{
    EXPECT_EQ(pictureExtension(""), "");
    EXPECT_EQ(pictureExtension("B"), "");
    EXPECT_EQ(pictureExtension("BM JFIF GIF89a"), "bmp");
    EXPECT_EQ(pictureExtension("xx JFIF GIF89a"), "gif");
    EXPECT_EQ(pictureExtension(std::string(28, 'x') + "JFIF"), "jpg");
    EXPECT_EQ(pictureExtension(std::string(29, 'x') + "JFIF"), "");
    EXPECT_EQ(pictureExtension(std::string(27, 'x') + "GIF89a"), "");
}

#ifndef _WIN32
TEST(BackgroundTempFile, NamesAreNewHexFilesInTheTemporaryFolder)
{
    ScratchFolder scratch;
    std::set<std::string> paths;
    for (int i = 0; i < 50; ++i) {
        const std::string path = createBackgroundTempFile();
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(fs::path(path).parent_path(), scratch.path());
        const std::string name = fs::path(path).filename().string();
        ASSERT_GT(name.size(), 4u);
        EXPECT_EQ(name.substr(name.size() - 4), ".tmp");
        const std::string number = name.substr(0, name.size() - 4);
        EXPECT_EQ(number.find_first_not_of("0123456789abcdef"), std::string::npos) << name;
        EXPECT_NE(number.front(), '0') << name;
        EXPECT_TRUE(fs::is_regular_file(path));
        EXPECT_EQ(fs::file_size(path), 0u);
        EXPECT_TRUE(paths.insert(path).second) << "repeated " << path;
    }
}

TEST(BackgroundTempFile, ConcurrentCallersNeverShareAName)
{
    ScratchFolder scratch;
    constexpr int threads = 4;
    constexpr int perThread = 200;
    std::vector<std::vector<std::string>> made(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&made, t] {
            for (int i = 0; i < perThread; ++i)
                made[static_cast<std::size_t>(t)].push_back(createBackgroundTempFile());
        });
    for (auto& w : workers)
        w.join();
    std::set<std::string> all;
    for (const auto& list : made)
        for (const auto& path : list) {
            EXPECT_FALSE(path.empty());
            all.insert(path);
        }
    EXPECT_EQ(all.size(), std::size_t{threads * perThread});
    EXPECT_EQ(scratch.names().size(), std::size_t{threads * perThread});
}

TEST(BackgroundTempFile, NoTemporaryFolderGivesEmptyPath)
{
    ScratchFolder scratch;
    ::setenv("TMPDIR", (scratch.path() / "missing").c_str(), 1);
    EXPECT_EQ(createBackgroundTempFile(), "");
}

TEST(ReadRegularFile, ReadsRegularFilesUpToTheLimit)
{
    ScratchFolder scratch;
    const std::string picture = readData("icc-profile.jpeg");
    const fs::path file = scratch.path() / "bg.jpg";
    writePlain(file, picture);
    EXPECT_EQ(readRegularFile(file.string(), picture.size()), picture);
    EXPECT_EQ(readRegularFile(file.string(), 256u << 20), picture);
    EXPECT_FALSE(readRegularFile(file.string(), picture.size() - 1));

    writePlain(scratch.path() / "empty", "");
    EXPECT_EQ(readRegularFile((scratch.path() / "empty").string(), 0), "");

    fs::create_symlink(file, scratch.path() / "link.jpg");
    EXPECT_EQ(readRegularFile((scratch.path() / "link.jpg").string(), 1000000), picture);
}

TEST(ReadRegularFile, RefusesEverythingElseWithoutBlocking)
{
    ScratchFolder scratch;
    const fs::path fifo = scratch.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(readRegularFile(fifo.string(), 1000)); // no writer: must not wait
    EXPECT_FALSE(readRegularFile(scratch.path().string(), 1000000));
    EXPECT_FALSE(readRegularFile("/dev/zero", 1000000));
    EXPECT_FALSE(readRegularFile((scratch.path() / "missing").string(), 1000));
    EXPECT_FALSE(readRegularFile("", 1000));
}

TEST(WriteFileAtomically, CreatesAndReplacesKeepingPermissions)
{
    ScratchFolder scratch;
    const fs::path target = scratch.path() / "form.oxf";
    std::string error;
    ASSERT_TRUE(writeFileAtomically(target.string(), "first", &error)) << error;
    EXPECT_EQ(readRegularFile(target.string(), 100), "first");

    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const std::string big(3 << 20, '\xA8');
    ASSERT_TRUE(writeFileAtomically(target.string(), big, &error)) << error;
    EXPECT_EQ(readRegularFile(target.string(), big.size()), big);
    EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    ASSERT_TRUE(writeFileAtomically(target.string(), "", nullptr));
    EXPECT_EQ(readRegularFile(target.string(), 100), "");
    EXPECT_EQ(scratch.names(), std::vector<std::string>{"form.oxf"});
}

TEST(WriteFileAtomically, FailureLeavesTheTargetAndNoTemporary)
{
    ScratchFolder scratch;
    std::string error;

    // Renaming a file over a folder fails after the temporary was written.
    const fs::path folderTarget = scratch.path() / "taken";
    fs::create_directory(folderTarget);
    writePlain(folderTarget / "inside", "kept");
    EXPECT_FALSE(writeFileAtomically(folderTarget.string(), "new", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(fs::is_directory(folderTarget));
    EXPECT_EQ(readRegularFile((folderTarget / "inside").string(), 100), "kept");
    EXPECT_EQ(scratch.names(), std::vector<std::string>{"taken"});

    // A folder that does not exist.
    error.clear();
    EXPECT_FALSE(writeFileAtomically((scratch.path() / "no" / "form.oxf").string(), "new", &error));
    EXPECT_FALSE(error.empty());

    // A read-only folder (not a barrier for root, who may write anyway).
    if (::geteuid() != 0) {
        const fs::path locked = scratch.path() / "locked";
        fs::create_directory(locked);
        writePlain(locked / "form.oxf", "old");
        fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(writeFileAtomically((locked / "form.oxf").string(), "new", &error));
        fs::permissions(locked, fs::perms::owner_all);
        EXPECT_EQ(readRegularFile((locked / "form.oxf").string(), 100), "old");
        EXPECT_EQ(std::distance(fs::directory_iterator(locked), fs::directory_iterator()), 1);
    }
}

#endif

} // namespace
} // namespace ordavel
