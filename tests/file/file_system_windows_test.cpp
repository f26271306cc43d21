// The Windows file calls: UTF-16 names, the read-only attribute, files held
// open by another program, links, and the replacement through ReplaceFileW.
#include "file/file_system.h"
#include "file/path_name.h"
#include "file/wide_names_windows.h"

#include "template_test_support.h"

#include <gtest/gtest.h>

#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace ordavel {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;

// Names in UTF-8, joined by hand: a path made from a std::string would take
// the bytes in the C library's code page.
class Folder {
public:
    std::string path(const std::string& name) const { return m_scratch.path("") + name; }
    std::wstring wide(const std::string& name) const { return wideFromUtf8(path(name)); }

private:
    ScratchFolder m_scratch;
};

std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(pathOfName(folder)))
        names.push_back(utf8FromWide(entry.path().filename().wstring()));
    std::sort(names.begin(), names.end());
    return names;
}

void writeWide(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    ASSERT_TRUE(::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr));
    ::CloseHandle(h);
}

std::string readWide(const std::wstring& path)
{
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string bytes(1 << 20, '\0');
    DWORD n = 0;
    ::ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    ::CloseHandle(h);
    bytes.resize(n);
    return bytes;
}

TEST(WindowsNames, ChineseFolderAndFileNamesGoThroughTheWideCalls)
{
    Folder scratch;
    const std::string folder = "运单模板";
    ASSERT_TRUE(::CreateDirectoryW(scratch.wide(folder).c_str(), nullptr));
    const std::string name = folder + "\\顺丰快递单.oxf";

    ASSERT_TRUE(replaceFile(scratch.path(name), "first").ok());
    // The file is there under its UTF-16 name, not under a mangled one.
    EXPECT_EQ(readWide(scratch.wide(name)), "first");
    EXPECT_EQ(namesIn(scratch.path(folder)), std::vector<std::string>{"顺丰快递单.oxf"});
    ASSERT_TRUE(replaceFile(scratch.path(name), "second").ok());
    EXPECT_EQ(readRegularFile(scratch.path(name), 100), "second");
    EXPECT_TRUE(checkReadableFile(scratch.path(name), 100).ok());
    EXPECT_TRUE(fs::is_regular_file(pathOfName(scratch.path(name))));

    // The longest name a folder entry may have: 255 UTF-16 units.
    std::string longest;
    for (int i = 0; i < 251; ++i)
        longest += "表";
    longest += ".oxf";
    EXPECT_TRUE(replaceFile(scratch.path(longest), "x").ok());
    EXPECT_EQ(replaceFile(scratch.path("表" + longest), "x").fault, FileFault::NameTooLong);

    EXPECT_TRUE(createNewFile(scratch.path(folder + "\\背景.tmp")).ok());
    const FileStatus again = createNewFile(scratch.path(folder + "\\背景.tmp"));
    EXPECT_TRUE(nameTaken(again));
    removeFileQuietly(scratch.path(folder + "\\背景.tmp"));
    EXPECT_EQ(namesIn(scratch.path(folder)), std::vector<std::string>{"顺丰快递单.oxf"});

    // Bytes that are not UTF-8 are no name at all.
    EXPECT_FALSE(replaceFile(scratch.path("\xb1\xed.oxf"), "x").ok());
}

TEST(WindowsReplaceFile, ReadOnlyAttributeIsRefusedAndTheFileLeftAsItWas)
{
    Folder scratch;
    const std::string path = scratch.path("form.oxf");
    writeWide(scratch.wide("form.oxf"), "old");
    ASSERT_TRUE(::SetFileAttributesW(scratch.wide("form.oxf").c_str(), FILE_ATTRIBUTE_READONLY));

    const FileStatus status = replaceFile(path, "new");
    EXPECT_EQ(status.fault, FileFault::PermissionDenied);
    EXPECT_EQ(describeFileStatus(status), "permission denied");
    FileReplacement streamed(path);
    EXPECT_EQ(streamed.status().fault, FileFault::PermissionDenied);
    EXPECT_TRUE(streamed.temporaryPath().empty());

    EXPECT_EQ(readWide(scratch.wide("form.oxf")), "old");
    EXPECT_TRUE(::GetFileAttributesW(scratch.wide("form.oxf").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(namesIn(scratch.path("")), std::vector<std::string>{"form.oxf"});
    ::SetFileAttributesW(scratch.wide("form.oxf").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(WindowsReplaceFile, AFileAnotherProgramHoldsIsLeftWholeAndNothingIsLeftBehind)
{
    Folder scratch;
    writeWide(scratch.wide("form.oxf"), "old");
    // Open without sharing, as a program that locks its file does.
    HANDLE held = ::CreateFileW(scratch.wide("form.oxf").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const FileStatus status = replaceFile(scratch.path("form.oxf"), "new");
    ::CloseHandle(held);
    EXPECT_EQ(status.fault, FileFault::PermissionDenied);
    EXPECT_EQ(describeFileStatus(status), "the file is in use by another program");
    EXPECT_EQ(readWide(scratch.wide("form.oxf")), "old");
    EXPECT_EQ(namesIn(scratch.path("")), std::vector<std::string>{"form.oxf"});

    // Released, it is replaced; the backup of the old file is gone too.
    ASSERT_TRUE(replaceFile(scratch.path("form.oxf"), "new").ok());
    EXPECT_EQ(readWide(scratch.wide("form.oxf")), "new");
    EXPECT_EQ(namesIn(scratch.path("")), std::vector<std::string>{"form.oxf"});
}

TEST(WindowsReplaceFile, ReasonsOfFailures)
{
    Folder scratch;
    ASSERT_TRUE(::CreateDirectoryW(scratch.wide("folder").c_str(), nullptr));
    const struct {
        std::string path;
        FileFault fault;
        const char* reason;
    } cases[] = {
        {scratch.path("no\\form.oxf"), FileFault::NoFolder, "no such folder"},
        {scratch.path("no/form.oxf"), FileFault::NoFolder, "no such folder"},
        {scratch.path("folder"), FileFault::IsFolder, "is a folder"},
        {scratch.path("folder\\"), FileFault::IsFolder, "is a folder"},
        {scratch.path(std::string(300, 'x')), FileFault::NameTooLong, "file name too long"},
        {"", FileFault::Missing, "no such file"},
    };
    for (const auto& c : cases) {
        const FileStatus status = replaceFile(c.path, "new");
        EXPECT_EQ(status.fault, c.fault) << c.path;
        EXPECT_EQ(describeFileStatus(status), c.reason) << c.path;
    }
    EXPECT_EQ(namesIn(scratch.path("")), std::vector<std::string>{"folder"});
    EXPECT_TRUE(fs::is_empty(pathOfName(scratch.path("folder"))));

    // A device is no file to replace or read.
    EXPECT_EQ(replaceFile("NUL", "new").fault, FileFault::NotAFile);
    FileStatus status;
    EXPECT_FALSE(readRegularFile("NUL", 100, &status));
    EXPECT_EQ(status.fault, FileFault::NotAFile);

    writeWide(scratch.wide("big"), "0123456789");
    EXPECT_FALSE(readRegularFile(scratch.path("big"), 9, &status));
    EXPECT_EQ(status.fault, FileFault::TooLarge);
    EXPECT_EQ(checkReadableFile(scratch.path("big"), 9).fault, FileFault::TooLarge);
    EXPECT_FALSE(readRegularFile(scratch.path("missing"), 100, &status));
    EXPECT_EQ(describeFileStatus(status), "no such file");
    EXPECT_FALSE(readRegularFile(scratch.path("folder"), 100, &status));
    EXPECT_EQ(describeFileStatus(status), "is a folder");
    EXPECT_FALSE(readRegularFile(scratch.path("no\\big"), 100, &status));
    EXPECT_EQ(describeFileStatus(status), "no such folder");

    std::string error;
    EXPECT_FALSE(writeFileAtomically(scratch.path("no\\form.oxf"), "new", &error));
    EXPECT_EQ(error, "no such folder");
}

// A producer that writes by name, in pieces, as a PDF writer does.
void produce(const std::string& path, const std::string& piece, int pieces)
{
    std::FILE* file = ::_wfopen(wideFromUtf8(path).c_str(), L"wb");
    ASSERT_NE(file, nullptr) << path;
    for (int i = 0; i < pieces; ++i)
        ASSERT_EQ(std::fwrite(piece.data(), 1, piece.size(), file), piece.size());
    ASSERT_EQ(std::fclose(file), 0);
}

TEST(WindowsFileReplacement, StreamedByNameOrThroughTheDescriptorAndAbandonedWithoutTrace)
{
    Folder scratch;
    writeWide(scratch.wide("批量.pdf"), "old");
    FileReplacement out(scratch.path("批量.pdf"));
    ASSERT_TRUE(out.status().ok()) << describeFileStatus(out.status());
    // The temporary is beside the file, short and starting with a dot, and
    // another writer may open it by name while it is held.
    const std::wstring temporary = wideFromUtf8(out.temporaryPath());
    EXPECT_EQ(temporary.substr(0, temporary.find_last_of(L'\\') + 1), scratch.wide(""));
    EXPECT_EQ(temporary[temporary.find_last_of(L'\\') + 1], L'.');
    EXPECT_LT(temporary.size() - temporary.find_last_of(L'\\'), 40u);
    produce(out.temporaryPath(), std::string(4096, 'p'), 64);
    EXPECT_EQ(readWide(scratch.wide("批量.pdf")), "old");
    ASSERT_TRUE(out.commit().ok());
    EXPECT_EQ(readWide(scratch.wide("批量.pdf")), std::string(4096 * 64, 'p'));
    EXPECT_EQ(out.descriptor(), -1);
    EXPECT_FALSE(out.commit().ok());

    FileReplacement fresh(scratch.path("新.pdf"));
    ASSERT_TRUE(fresh.status().ok());
    ASSERT_EQ(::_write(fresh.descriptor(), "abc", 3), 3);
    ASSERT_TRUE(fresh.commit().ok());
    EXPECT_EQ(readWide(scratch.wide("新.pdf")), "abc");

    {
        FileReplacement dropped(scratch.path("批量.pdf"));
        produce(dropped.temporaryPath(), "half", 1);
    }
    FileReplacement abandoned(scratch.path("批量.pdf"));
    produce(abandoned.temporaryPath(), "half", 1);
    abandoned.abandon();
    EXPECT_FALSE(abandoned.commit().ok());
    EXPECT_EQ(readWide(scratch.wide("批量.pdf")), std::string(4096 * 64, 'p'));
    EXPECT_EQ(namesIn(scratch.path("")), (std::vector<std::string>{"批量.pdf", "新.pdf"}));
}

TEST(WindowsReplaceFile, WritesThroughASymbolicLinkAndKeepsIt)
{
    Folder scratch;
    ASSERT_TRUE(::CreateDirectoryW(scratch.wide("shared").c_str(), nullptr));
    writeWide(scratch.wide("shared\\form.oxf"), "old");
    if (!::CreateSymbolicLinkW(scratch.wide("link.oxf").c_str(), scratch.wide("shared\\form.oxf").c_str(),
                               SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
        GTEST_SKIP() << "this system lets no unprivileged user make a symbolic link";
    if (readWide(scratch.wide("link.oxf")) != "old")
        GTEST_SKIP() << "this system makes symbolic links that lead nowhere (Wine 8 does)";

    ASSERT_TRUE(replaceFile(scratch.path("link.oxf"), "new").ok());
    EXPECT_TRUE(::GetFileAttributesW(scratch.wide("link.oxf").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_EQ(readWide(scratch.wide("shared\\form.oxf")), "new");
    EXPECT_EQ(namesIn(scratch.path("shared")), std::vector<std::string>{"form.oxf"});

    ASSERT_TRUE(::DeleteFileW(scratch.wide("shared\\form.oxf").c_str()));
    const FileStatus broken = replaceFile(scratch.path("link.oxf"), "newer");
    EXPECT_EQ(broken.fault, FileFault::BrokenLink);
    EXPECT_TRUE(fs::is_empty(pathOfName(scratch.path("shared"))));
}

} // namespace
} // namespace ordavel
