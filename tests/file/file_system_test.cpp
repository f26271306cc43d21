#include "file/file_system.h"

#include "template_test_support.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace ordavel {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;

std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

fs::perms permissionsOf(const std::string& path) { return fs::status(path).permissions(); }

// Root may write any file, so a read-only file protects nothing from it; these
// cases run again as a normal user in scripts/test.
#define SKIP_WHEN_ROOT()                                                                                     \
    if (::geteuid() == 0)                                                                                    \
    GTEST_SKIP() << "root may write read-only files; scripts/test runs this case again as the user nobody"

TEST(ReplaceFileSymbolicLink, WritesThroughTheLinkAndKeepsIt)
{
    ScratchFolder scratch;
    fs::create_directory(scratch.path("shared"));
    fs::create_directory(scratch.path("mine"));
    testing::writeFile(scratch.path("shared/form.oxf"), "old");
    fs::permissions(scratch.path("shared/form.oxf"), fs::perms(0640));
    fs::create_symlink("../shared/form.oxf", scratch.path("mine/link.oxf"));
    fs::create_symlink("link.oxf", scratch.path("mine/chain.oxf")); // a link to the link

    ASSERT_TRUE(replaceFile(scratch.path("mine/link.oxf"), "new").ok());
    ASSERT_TRUE(fs::is_symlink(scratch.path("mine/link.oxf")));
    EXPECT_EQ(fs::read_symlink(scratch.path("mine/link.oxf")), "../shared/form.oxf");
    EXPECT_EQ(testing::readFile(scratch.path("shared/form.oxf")), "new");
    EXPECT_EQ(permissionsOf(scratch.path("shared/form.oxf")), fs::perms(0640));

    ASSERT_TRUE(replaceFile(scratch.path("mine/chain.oxf"), "newer").ok());
    EXPECT_TRUE(fs::is_symlink(scratch.path("mine/chain.oxf")));
    EXPECT_TRUE(fs::is_symlink(scratch.path("mine/link.oxf")));
    EXPECT_EQ(testing::readFile(scratch.path("shared/form.oxf")), "newer");
    // No temporary is left in either folder.
    EXPECT_EQ(namesIn(scratch.path("shared")), std::vector<std::string>{"form.oxf"});
    EXPECT_EQ(namesIn(scratch.path("mine")), (std::vector<std::string>{"chain.oxf", "link.oxf"}));
}

TEST(ReplaceFileSymbolicLink, LinkToNothingIsAnErrorThatCreatesNothing)
{
    ScratchFolder scratch;
    fs::create_symlink("gone/form.oxf", scratch.path("dangling.oxf"));
    fs::create_symlink("form.oxf", scratch.path("to-missing.oxf"));
    for (const char* name : {"dangling.oxf", "to-missing.oxf"}) {
        const FileStatus status = replaceFile(scratch.path(name), "new");
        EXPECT_EQ(status.fault, FileFault::BrokenLink) << name;
        EXPECT_EQ(describeFileStatus(status), "the symbolic link points to no file");
        EXPECT_TRUE(fs::is_symlink(scratch.path(name)));
    }
    EXPECT_EQ(namesIn(scratch.path("")), (std::vector<std::string>{"dangling.oxf", "to-missing.oxf"}));
}

TEST(ReplaceFile, NameOfTheLongestLengthSaves)
{
    ScratchFolder scratch;
    // 80 Chinese characters are 240 bytes; with ".oxf" 244, and 251 with more.
    std::string name;
    for (int i = 0; i < 80; ++i)
        name += "表";
    for (const std::string& full : {name + ".oxf", name + "abc.oxf", name + "abcdefg.oxf"}) {
        ASSERT_LE(full.size(), 255u);
        const FileStatus status = replaceFile(scratch.path(full), "bytes");
        ASSERT_TRUE(status.ok()) << full.size() << ": " << describeFileStatus(status);
        EXPECT_EQ(testing::readFile(scratch.path(full)), "bytes");
        ASSERT_TRUE(replaceFile(scratch.path(full), "again").ok());
        EXPECT_EQ(testing::readFile(scratch.path(full)), "again");
    }
    EXPECT_EQ(namesIn(scratch.path("")).size(), 3u);
}

TEST(ReplaceFile, ReasonsOfFailuresAndNothingLeftBehind)
{
    ScratchFolder scratch;
    fs::create_directory(scratch.path("folder"));
    ASSERT_EQ(::mkfifo(scratch.path("pipe").c_str(), 0600), 0);
    struct Case {
        std::string path;
        FileFault fault;
        const char* reason;
    };
    const Case cases[] = {
        {scratch.path("no/form.oxf"), FileFault::NoFolder, "no such folder"},
        {scratch.path("folder"), FileFault::IsFolder, "is a folder"},
        {scratch.path("folder/"), FileFault::IsFolder, "is a folder"},
        {scratch.path("pipe"), FileFault::NotAFile, "not a regular file"},
        {scratch.path(std::string(300, 'x')), FileFault::NameTooLong, "file name too long"},
    };
    for (const Case& c : cases) {
        const FileStatus status = replaceFile(c.path, "new");
        EXPECT_EQ(status.fault, c.fault) << c.path;
        EXPECT_EQ(describeFileStatus(status), c.reason) << c.path;
    }
    EXPECT_TRUE(fs::is_fifo(scratch.path("pipe")));
    EXPECT_EQ(namesIn(scratch.path("")), (std::vector<std::string>{"folder", "pipe"}));
    EXPECT_TRUE(fs::is_empty(scratch.path("folder")));

    std::string error;
    EXPECT_FALSE(writeFileAtomically(scratch.path("no/form.oxf"), "new", &error));
    EXPECT_EQ(error, "no such folder");
}

TEST(ReadRegularFile, SaysWhyItReadNothing)
{
    ScratchFolder scratch;
    testing::writeFile(scratch.path("big"), "0123456789");
    FileStatus status;
    EXPECT_FALSE(readRegularFile(scratch.path("missing"), 100, &status));
    EXPECT_EQ(describeFileStatus(status), "no such file");
    EXPECT_FALSE(readRegularFile(scratch.path(""), 100, &status));
    EXPECT_EQ(describeFileStatus(status), "is a folder");
    EXPECT_FALSE(readRegularFile("/dev/zero", 100, &status));
    EXPECT_EQ(describeFileStatus(status), "not a regular file");
    EXPECT_FALSE(readRegularFile(scratch.path("big"), 9, &status));
    EXPECT_EQ(status.fault, FileFault::TooLarge);
    EXPECT_EQ(readRegularFile(scratch.path("big"), 10, &status), "0123456789");
    EXPECT_TRUE(status.ok());

    EXPECT_TRUE(checkReadableFile(scratch.path("big"), 10).ok());
    EXPECT_EQ(checkReadableFile(scratch.path("big"), 9).fault, FileFault::TooLarge);
    EXPECT_EQ(checkReadableFile("/dev/zero", 100).fault, FileFault::NotAFile);
    EXPECT_EQ(checkReadableFile(scratch.path("missing"), 100).fault, FileFault::Missing);
}

TEST(ReplaceFileAsNormalUser, ReadOnlyFileIsRefusedAndLeftAsItWas)
{
    SKIP_WHEN_ROOT();
    ScratchFolder scratch;
    const std::string path = scratch.path("form.oxf");
    testing::writeFile(path, "old");
    fs::permissions(path, fs::perms(0444));
    const FileStatus status = replaceFile(path, "new");
    EXPECT_EQ(status.fault, FileFault::PermissionDenied);
    EXPECT_EQ(describeFileStatus(status), "permission denied");
    EXPECT_EQ(testing::readFile(path), "old");
    EXPECT_EQ(permissionsOf(path), fs::perms(0444));
    EXPECT_EQ(namesIn(scratch.path("")), std::vector<std::string>{"form.oxf"});

    // Through a link as well.
    fs::create_symlink("form.oxf", scratch.path("link.oxf"));
    EXPECT_EQ(replaceFile(scratch.path("link.oxf"), "new").fault, FileFault::PermissionDenied);
    EXPECT_EQ(testing::readFile(path), "old");

    // A file nobody may read says so too.
    testing::writeFile(scratch.path("secret"), "x");
    fs::permissions(scratch.path("secret"), fs::perms::none);
    FileStatus readStatus;
    EXPECT_FALSE(readRegularFile(scratch.path("secret"), 100, &readStatus));
    EXPECT_EQ(describeFileStatus(readStatus), "permission denied");
}

// A producer that writes by name, in pieces, as a PDF writer does.
void produce(const std::string& path, const std::string& piece, int pieces)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    for (int i = 0; i < pieces; ++i)
        ASSERT_EQ(std::fwrite(piece.data(), 1, piece.size(), file), piece.size());
    ASSERT_EQ(std::fclose(file), 0);
}

TEST(FileReplacement, StreamedContentReplacesTheFileALinkPointsToAndKeepsItsMode)
{
    ScratchFolder scratch;
    fs::create_directory(scratch.path("shared"));
    fs::create_directory(scratch.path("mine"));
    testing::writeFile(scratch.path("shared/batch.pdf"), "old");
    fs::permissions(scratch.path("shared/batch.pdf"), fs::perms(0640));
    fs::create_symlink("../shared/batch.pdf", scratch.path("mine/link.pdf"));

    FileReplacement out(scratch.path("mine/link.pdf"));
    ASSERT_TRUE(out.status().ok()) << describeFileStatus(out.status());
    // The temporary is beside the real file, short and hidden, with its mode already.
    const fs::path temporary(out.temporaryPath());
    EXPECT_EQ(temporary.parent_path(), fs::path(scratch.path("shared")));
    EXPECT_EQ(temporary.filename().string()[0], '.');
    EXPECT_LT(temporary.filename().string().size(), 40u);
    EXPECT_EQ(permissionsOf(out.temporaryPath()), fs::perms(0640));
    produce(out.temporaryPath(), std::string(4096, 'p'), 64);
    EXPECT_EQ(testing::readFile(scratch.path("shared/batch.pdf")), "old"); // not before the commit

    ASSERT_TRUE(out.commit().ok());
    EXPECT_TRUE(fs::is_symlink(scratch.path("mine/link.pdf")));
    EXPECT_EQ(testing::readFile(scratch.path("shared/batch.pdf")), std::string(4096 * 64, 'p'));
    EXPECT_EQ(permissionsOf(scratch.path("shared/batch.pdf")), fs::perms(0640));
    EXPECT_EQ(namesIn(scratch.path("shared")), std::vector<std::string>{"batch.pdf"});
    EXPECT_EQ(out.descriptor(), -1);
    EXPECT_FALSE(out.commit().ok()); // once only

    // Through the descriptor, onto a new file.
    FileReplacement fresh(scratch.path("new.pdf"));
    ASSERT_TRUE(fresh.status().ok());
    ASSERT_EQ(::write(fresh.descriptor(), "abc", 3), 3);
    ASSERT_TRUE(fresh.commit().ok());
    EXPECT_EQ(testing::readFile(scratch.path("new.pdf")), "abc");
}

TEST(FileReplacement, RefusedTargetsSayWhyBeforeAnythingIsMadeAndAbandonedOnesLeaveNoTrace)
{
    ScratchFolder scratch;
    fs::create_directory(scratch.path("folder"));
    ASSERT_EQ(::mkfifo(scratch.path("pipe").c_str(), 0600), 0);
    fs::create_symlink("gone.pdf", scratch.path("dangling.pdf"));
    const struct {
        std::string path;
        const char* reason;
    } refused[] = {
        {scratch.path("no/batch.pdf"), "no such folder"},
        {scratch.path("folder"), "is a folder"},
        {scratch.path("pipe"), "not a regular file"},
        {scratch.path("dangling.pdf"), "the symbolic link points to no file"},
        {"", "no such file"},
    };
    for (const auto& r : refused) {
        FileReplacement out(r.path);
        EXPECT_EQ(describeFileStatus(out.status()), r.reason) << r.path;
        EXPECT_TRUE(out.temporaryPath().empty()) << r.path;
        EXPECT_EQ(out.descriptor(), -1) << r.path;
        EXPECT_EQ(describeFileStatus(out.commit()), r.reason) << r.path;
    }
    EXPECT_EQ(namesIn(scratch.path("")), (std::vector<std::string>{"dangling.pdf", "folder", "pipe"}));

    // Abandoned, or dropped without a commit: the file stays, the temporary goes.
    testing::writeFile(scratch.path("batch.pdf"), "old");
    {
        FileReplacement dropped(scratch.path("batch.pdf"));
        produce(dropped.temporaryPath(), "half", 1);
    }
    FileReplacement abandoned(scratch.path("batch.pdf"));
    produce(abandoned.temporaryPath(), "half", 1);
    abandoned.abandon();
    EXPECT_FALSE(abandoned.commit().ok());
    EXPECT_EQ(testing::readFile(scratch.path("batch.pdf")), "old");
    EXPECT_EQ(namesIn(scratch.path("")), (std::vector<std::string>{"batch.pdf", "dangling.pdf", "folder", "pipe"}));
}

TEST(FileReplacementAsNormalUser, ReadOnlyFileIsRefusedBeforeAnythingIsWritten)
{
    SKIP_WHEN_ROOT();
    ScratchFolder scratch;
    const std::string path = scratch.path("batch.pdf");
    testing::writeFile(path, "old");
    fs::permissions(path, fs::perms(0444));
    fs::create_symlink("batch.pdf", scratch.path("link.pdf"));
    for (const std::string& name : {path, scratch.path("link.pdf")}) {
        FileReplacement out(name);
        EXPECT_EQ(describeFileStatus(out.status()), "permission denied") << name;
        EXPECT_TRUE(out.temporaryPath().empty());
    }
    EXPECT_EQ(testing::readFile(path), "old");
    EXPECT_EQ(namesIn(scratch.path("")), (std::vector<std::string>{"batch.pdf", "link.pdf"}));
}

// A small file system of its own, mounted in a private mount namespace so
// that nothing outside this test process sees it; only root may do this.
class FullFileSystem : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "mounting a small file system needs root";
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            GTEST_SKIP() << "no private mount namespace here: " << std::strerror(errno);
        if (::mount("tmpfs", m_scratch.path("").c_str(), "tmpfs", 0, "size=64k") != 0)
            GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
        m_mounted = true;
    }
    void TearDown() override
    {
        if (m_mounted)
            ::umount2(m_scratch.path("").c_str(), MNT_DETACH);
    }
    std::string path(const std::string& name) const { return m_scratch.path(name); }

private:
    ScratchFolder m_scratch;
    bool m_mounted = false;
};

TEST_F(FullFileSystem, FailedWriteKeepsTheOldFileAndSaysTheDiskIsFull)
{
    const std::string target = path("form.oxf");
    ASSERT_TRUE(replaceFile(target, "old").ok());
    const FileStatus status = replaceFile(target, std::string(256 * 1024, 'x'));
    EXPECT_EQ(status.fault, FileFault::DiskFull);
    EXPECT_EQ(describeFileStatus(status), "no space left on the disk");
    EXPECT_EQ(testing::readFile(target), "old");
    EXPECT_EQ(namesIn(path("")), std::vector<std::string>{"form.oxf"});
}

TEST_F(FullFileSystem, AStreamThatFillsTheDiskIsAbandonedAndTheOldFileKept)
{
    const std::string target = path("batch.pdf");
    ASSERT_TRUE(replaceFile(target, "old").ok());
    FileReplacement out(target);
    ASSERT_TRUE(out.status().ok());
    std::FILE* file = std::fopen(out.temporaryPath().c_str(), "wb");
    ASSERT_NE(file, nullptr);
    const std::string piece(4096, 'x');
    bool full = false;
    for (int i = 0; i < 64 && !full; ++i)
        full = std::fwrite(piece.data(), 1, piece.size(), file) != piece.size() || std::fflush(file) != 0;
    full = std::fclose(file) != 0 || full;
    EXPECT_TRUE(full);
    out.abandon();
    EXPECT_EQ(testing::readFile(target), "old");
    EXPECT_EQ(namesIn(path("")), std::vector<std::string>{"batch.pdf"});
}

} // namespace
} // namespace ordavel
