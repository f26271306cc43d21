// Saving and opening templates where the file system is in the way: read-only
// files, links, folders, hostile picture names; and the reasons reported.
#include "file/base64.h"
#include "file/gbk.h"
#include "file/template_reader.h"
#include "file/template_writer.h"
#include "template_test_support.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <filesystem>

namespace ordavel {
namespace {

namespace fs = std::filesystem;
using testing::RecordingSink;
using testing::ScratchFolder;

const std::string kSeparator = "\xA8\x82\x74\x88\x54\x7A\xA8\x80\x78\xA1\xF6";

Message createFailed(const std::string& name)
{
    return {"创建文件失败，请重试。\r\n（" + name + "）", "保存文件", MessageIcon::Stop, MessageButtons::Ok};
}

const Message kPictureMissing{" 图片框的图片文件不存在，不能读入。", "打开文件", MessageIcon::Stop, MessageButtons::Ok};

// A template of picture boxes with the given bgImage values, each with a one-byte segment.
std::string pictureBoxTemplate(const std::vector<std::string>& bgImages)
{
    std::string file;
    std::string boxes;
    for (std::size_t i = 0; i < bgImages.size(); ++i) {
        file += kSeparator + "P";
        boxes += "<Box" + std::to_string(i + 1) + " cType=\"3\" bgImage=\"" + bgImages[i] + "\"/>";
    }
    const std::string xml = "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<Document>\r\n\t<boxes>" + boxes +
                            "</boxes>\r\n</Document>";
    return file + kSeparator + encodeBase64(utf8ToGbk(xml));
}

#ifndef _WIN32 // POSIX permissions, links and FIFOs
TEST(TemplateSaveAsNormalUser, ReadOnlyTemplateIsNotOverwritten)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write read-only files; scripts/test runs this case again as the user nobody";
    ScratchFolder folder;
    const std::string path = folder.path("form.oxf");
    testing::writeFile(path, "OLD");
    fs::permissions(path, fs::perms(0444));
    Document doc;
    doc.addBox(BoxType::Label, 0, 0);
    RecordingSink sink;
    const TemplateResult result = saveDocumentFile(doc, path, sink);
    EXPECT_EQ(result.fault, TemplateResult::Fault::File);
    EXPECT_EQ(describeTemplateResult(result), "permission denied");
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0], createFailed(path));
    EXPECT_TRUE(doc.modified());
    EXPECT_EQ(testing::readFile(path), "OLD");
    EXPECT_EQ(fs::status(path).permissions(), fs::perms(0444));
    EXPECT_FALSE(saveDocument(doc, path, sink));
}
#endif

#ifndef _WIN32 // POSIX permissions, links and FIFOs
TEST(TemplateSaveSymbolicLink, SavesIntoTheLinkedFileAndRefusesALinkToNothing)
{
    ScratchFolder folder;
    fs::create_directory(folder.path("shared"));
    testing::writeFile(folder.path("shared/form.oxf"), "OLD");
    fs::create_symlink("shared/form.oxf", folder.path("link.oxf"));
    Document doc;
    doc.addBox(BoxType::EditBox, 3, 4);
    RecordingSink sink;
    ASSERT_TRUE(saveDocument(doc, folder.path("link.oxf"), sink));
    EXPECT_TRUE(fs::is_symlink(folder.path("link.oxf")));
    EXPECT_EQ(testing::readFile(folder.path("shared/form.oxf")), *templateBytes(doc, sink));
    EXPECT_TRUE(sink.messages.empty());

    fs::create_symlink("gone.oxf", folder.path("dangling.oxf"));
    doc.addBox(BoxType::Label, 0, 0);
    const TemplateResult result = saveDocumentFile(doc, folder.path("dangling.oxf"), sink);
    EXPECT_EQ(result.file.fault, FileFault::BrokenLink);
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0], createFailed(folder.path("dangling.oxf")));
    EXPECT_TRUE(doc.modified());
    EXPECT_FALSE(fs::exists(folder.path("gone.oxf")));
}
#endif

TEST(TemplateSave, ReasonsBehindTheCreateFailureMessage)
{
    ScratchFolder folder;
    fs::create_directory(folder.path("taken.oxf"));
    Document doc;
    RecordingSink sink;
    EXPECT_EQ(describeTemplateResult(saveDocumentFile(doc, folder.path("no/form.oxf"), sink)), "no such folder");
    EXPECT_EQ(describeTemplateResult(saveDocumentFile(doc, folder.path("taken.oxf"), sink)), "is a folder");
    ASSERT_EQ(sink.messages.size(), 2u);
    EXPECT_EQ(sink.messages[1], createFailed(folder.path("taken.oxf")));

    // A refused picture gives its own message and no create failure.
    sink.messages.clear();
    doc.page().background = "BM" + kSeparator;
    EXPECT_EQ(saveDocumentFile(doc, folder.path("form.oxf"), sink).fault, TemplateResult::Fault::Refused);
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_NE(sink.messages[0].text.find("分段标记"), std::string::npos);
}

TEST(TemplateOpen, ReasonsBehindTheOpenFailureMessages)
{
    ScratchFolder folder;
    testing::writeFile(folder.path("garbage.oxf"), "not a template");
    testing::writeFile(folder.path("empty.oxf"), "");
    // Two picture boxes, one picture segment.
    testing::writeFile(folder.path("damaged.oxf"), pictureBoxTemplate({"", ""}).substr(kSeparator.size() + 1));
    struct Case {
        std::string path;
        const char* reason;
    };
    const Case cases[] = {
        {folder.path("missing.oxf"), "no such file"},
        {folder.path(""), "is a folder"},
        {folder.path("garbage.oxf"), "not a template"},
        {folder.path("empty.oxf"), "not a template"},
        {folder.path("damaged.oxf"), "damaged: fewer picture segments than picture boxes"},
    };
    for (const Case& c : cases) {
        Document doc;
        RecordingSink sink;
        const TemplateResult result = loadDocumentFile(doc, c.path, sink);
        EXPECT_EQ(describeTemplateResult(result), c.reason) << c.path;
        // The user sees the same messages as before.
        ASSERT_EQ(sink.messages.size(), 1u);
        EXPECT_EQ(sink.messages[0].text, c.reason[0] == 'd' ? "文件格式已经损坏，加载失败。"
                                                           : "打开文件失败。\r\n文件名：(" + c.path + ")");
    }
}

#ifndef _WIN32 // POSIX permissions, links and FIFOs
TEST(TemplateOpenBgImage, OnlyFilesInTheTemplatesFolderCount)
{
    ScratchFolder folder;
    fs::create_directories(folder.path("forms/sub"));
    testing::writeFile(folder.path("secret.bmp"), "BMsecret");
    testing::writeFile(folder.path("forms/logo.bmp"), "BMlogo");
    testing::writeFile(folder.path("forms/sub/deep.bmp"), "BMdeep");
    fs::create_symlink("../secret.bmp", folder.path("forms/out.bmp"));
    fs::create_symlink("logo.bmp", folder.path("forms/in.bmp"));
    fs::create_symlink("..", folder.path("forms/up"));

    const std::vector<std::string> names = {
        "logo.bmp",   "sub/deep.bmp", "in.bmp",         // inside: found
        "../secret.bmp", folder.path("forms/logo.bmp"), // a way up, an absolute name
        "out.bmp",    "up/secret.bmp",  "sub/../logo.bmp", "/proc/self/environ", "/etc/passwd",
    };
    Document doc;
    RecordingSink sink;
    const std::string name = folder.path("forms/t.oxf");
    doc.setFileName(name);
    ASSERT_TRUE(loadDocumentFromBytes(doc, pictureBoxTemplate(names), name, sink));
    EXPECT_EQ(doc.box(1).picturePath, folder.path("forms/logo.bmp"));
    EXPECT_EQ(doc.box(2).picturePath, folder.path("forms/sub/deep.bmp"));
    EXPECT_EQ(doc.box(3).picturePath, folder.path("forms/in.bmp"));
    for (int index = 4; index <= static_cast<int>(names.size()); ++index)
        EXPECT_EQ(doc.box(index).picturePath, "") << names[static_cast<std::size_t>(index - 1)];
    ASSERT_EQ(sink.messages.size(), names.size() - 3);
    for (const Message& m : sink.messages)
        EXPECT_EQ(m, kPictureMissing);
    // Every picture is its segment's.
    for (int index = 1; index <= static_cast<int>(names.size()); ++index)
        EXPECT_EQ(doc.box(index).attributes.picture, "P");
}
#endif

#ifndef _WIN32 // POSIX permissions, links and FIFOs
TEST(TemplateOpenBgImage, UnreadableFilesAndPipesCountAsMissing)
{
    ScratchFolder folder;
    testing::writeFile(folder.path("locked.bmp"), "BMlocked");
    fs::permissions(folder.path("locked.bmp"), fs::perms::none);
    // A FIFO without a writer would block a reader; it is not a picture file.
    ASSERT_EQ(::mkfifo(folder.path("pipe.bmp").c_str(), 0600), 0);
    Document doc;
    RecordingSink sink;
    const std::string name = folder.path("t.oxf");
    ASSERT_TRUE(loadDocumentFromBytes(doc, pictureBoxTemplate({"locked.bmp", "pipe.bmp"}), name, sink));
    // Root may read the locked file; anyone else finds it missing.
    EXPECT_EQ(sink.messages.size(), ::geteuid() == 0 ? 1u : 2u);
    EXPECT_EQ(doc.box(2).picturePath, "");
    EXPECT_EQ(doc.box(1).attributes.picture, "P");
}
#endif

} // namespace
} // namespace ordavel
