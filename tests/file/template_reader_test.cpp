#include "file/template_reader.h"

#include "file/base64.h"
#include "file/gbk.h"
#include "file/picture.h"
#include "file/template_format.h"
#include "file/template_writer.h"
#include "template_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace ordavel {
namespace {

using testing::RecordingSink;
using testing::ScratchFolder;

const std::string kSeparator(kSegmentSeparator);

// A file with the given picture segments (background first) and a description
// made of the given box elements under a root of the given name.
std::string makeFile(const std::vector<std::string>& pictures, const std::string& boxElements,
                     const std::string& root = "Document",
                     const std::string& rootAttributes = " pageWidth=\"29.7\" pageHeight=\"21\" wWidth=\"1000\" "
                                                         "wHeight=\"700\" ImgShowType=\"2\" bgColor=\"255\" "
                                                         "isPrintBgPic=\"1\"")
{
    std::string file;
    for (const std::string& picture : pictures)
        file += picture + kSeparator;
    const std::string xml = "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<" + root + rootAttributes +
                            ">\r\n\t<boxes>" + boxElements + "</boxes>\r\n</" + root + ">";
    return file + encodeBase64(utf8ToGbk(xml));
}

class TemplateReader : public ::testing::Test {
protected:
    bool load(const std::string& bytes, const std::string& name = "/forms/a.oxf")
    {
        doc.newDocument();
        doc.setFileName(name);
        return loadDocumentFromBytes(doc, bytes, name, sink);
    }
    void expectEmptyUntitled() const
    {
        EXPECT_EQ(doc.liveBoxCount(), 0);
        EXPECT_EQ(doc.fileName(), "");
        EXPECT_FALSE(doc.modified());
        EXPECT_EQ(doc.page().pageWidth, 21.0f);
        EXPECT_EQ(doc.page().pageHeight, 29.0f);
    }
    Document doc;
    RecordingSink sink;
};

TEST_F(TemplateReader, PageAndBoxesInFileOrderIntoFirstFreeSlots)
{
    const std::string boxes =
        "<Box2 cType=\"1\" pPewW=\"0\" pX=\"2.65\" pY=\"1.5\" pW=\"3\" pH=\"0.74\" isPrint=\"1\" wX=\"10\" wY=\"20\" "
        "wW=\"0\" wH=\"-4\" wValue=\"a&quote;b&quot;\r\n\tc\" MLine=\"1\" Font=\"黑体\" FontSize=\"12\" B=\"1\"/>"
        "<Box9 cType=\"9\" wX=\"5\"/>"
        "<Box5 cType=\"6\" pPewW=\"1\" wX=\"100\" wY=\"37\" cboItems=\",A,,B\" Type=\"3\"/>"
        "<Other cType=\"6\" cboItems=\"\" wValue=\"typed\"/>"
        "<Box7 cType=\"5\" DateTime=\"2024-3-5\" DTFormat=\"6\"/>";
    ASSERT_TRUE(load(makeFile({""}, boxes, "Vorlage")));
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_FALSE(doc.modified());
    EXPECT_EQ(doc.fileName(), "/forms/a.oxf");
    EXPECT_EQ(doc.appMode(), AppMode::EditMode);
    const PageSettings& page = doc.page();
    EXPECT_EQ(page.pageWidth, 29.7f);
    EXPECT_EQ(page.boardWidth, 1000);
    EXPECT_EQ(page.boardHeight, 700);
    EXPECT_EQ(page.imgShowType, 2);
    EXPECT_EQ(page.bgColor, 255u);
    EXPECT_TRUE(page.isPrintBgPic);
    EXPECT_TRUE(page.background.empty());
    EXPECT_TRUE(page.backgroundTempPath.empty());
    // Loading does not refresh the paper and board status panels.
    EXPECT_EQ(doc.statusText(PanelPaper), "纸张:21x29厘米");

    // Box2, Box5, Other, Box7 become slots 1 to 4; the unknown type takes none.
    ASSERT_EQ(doc.liveIndices(), (std::vector<int>{1, 2, 3, 4}));
    const Box& text = doc.box(1);
    EXPECT_EQ(text.type, BoxType::EditBox);
    EXPECT_EQ(text.editRect, (Rect{10, 20, 80, 28}));
    EXPECT_EQ(text.printRect, (PrintRect{2.65, 1.5, 3.0, 0.74}));
    EXPECT_FALSE(text.followsEdit);
    EXPECT_FALSE(text.handlesVisible);
    EXPECT_EQ(text.attributes.text, "a\"b&quot;\r\n\tc");
    EXPECT_TRUE(text.attributes.multiLine);
    EXPECT_EQ(text.attributes.font, (FontSpec{"黑体", 12, true, false, false, false}));

    // A following box takes its print left and top from its edit position.
    const Box& combo = doc.box(2);
    EXPECT_EQ(combo.printRect.left, doc.factors().boxCmX(100));
    EXPECT_EQ(combo.printRect.left, 2.65);
    EXPECT_EQ(combo.printRect.top, 0.98);
    EXPECT_EQ(combo.comboItems, ",A,,B");
    EXPECT_EQ(combo.attributes.items, (std::vector<std::string>{"A", "", "B"}));
    EXPECT_EQ(combo.attributes.listStyle, 0);
    EXPECT_EQ(combo.attributes.text, ""); // files without the current text
    EXPECT_TRUE(doc.box(3).attributes.items.empty());
    EXPECT_EQ(doc.box(3).attributes.text, "typed");

    // Missing attributes: integers 0, flags false, texts empty.
    const Box& date = doc.box(4);
    EXPECT_EQ(date.attributes.dateTime, (DateTime{2024, 3, 5, 0, 0, 0}));
    EXPECT_EQ(date.dateFormat, 6);
    EXPECT_EQ(date.attributes.font, (FontSpec{"", 0, false, false, false, false}));
    EXPECT_FALSE(date.isPrint);
    EXPECT_EQ(date.printRect, (PrintRect{0, 0, 0, 0}));
}

TEST_F(TemplateReader, MissingAttributesOfEveryTypeReadAsZero)
{
    ASSERT_TRUE(load(makeFile({"", ""}, "<Box1 cType=\"4\"/><Box2 cType=\"5\"/><Box3 cType=\"3\"/>", "Document", "")));
    EXPECT_EQ(doc.page().pageWidth, 0.0f);
    EXPECT_EQ(doc.page().boardWidth, 0);
    EXPECT_EQ(doc.page().bgColor, 0u);
    EXPECT_EQ(doc.box(1).attributes.lineWidth, 0);
    EXPECT_EQ(doc.box(1).attributes.lineStyle, 0);
    EXPECT_EQ(doc.box(1).attributes.bgColor, 0u);
    EXPECT_EQ(doc.box(2).attributes.dateTime, (DateTime{100, 1, 1, 0, 0, 0}));
    EXPECT_EQ(doc.box(3).attributes.picture, "");
}

TEST_F(TemplateReader, UnreadableFilesFailWithOpenMessageAndLeaveEmptyEditMode)
{
    const std::string valid = makeFile({""}, "<Box1 cType=\"1\"/>");
    const std::string description = valid.substr(kSeparator.size());
    for (const std::string& bytes : {std::string(), description, description + kSeparator, kSeparator,
                                     kSeparator + encodeBase64("<Document><boxes></Document>"),
                                     kSeparator + encodeBase64("not xml"), std::string(valid, 0, valid.size() - 8)}) {
        sink.messages.clear();
        doc.addBox(BoxType::Label, 0, 0);
        EXPECT_FALSE(load(bytes, "b.oxf"));
        ASSERT_EQ(sink.messages.size(), 1u);
        EXPECT_EQ(sink.messages[0], (Message{"打开文件失败。\r\n文件名：(b.oxf)", "打开文件", MessageIcon::Stop,
                                             MessageButtons::Ok}));
        expectEmptyUntitled();
        EXPECT_EQ(doc.appMode(), AppMode::EditMode);
    }
    // A file that does not exist, and a folder, fail the same way.
    ScratchFolder folder;
    for (const std::string& path : {folder.path("none.oxf"), folder.path("")}) {
        sink.messages.clear();
        doc.newDocument();
        EXPECT_FALSE(loadDocument(doc, path, sink));
        ASSERT_EQ(sink.messages.size(), 1u);
        EXPECT_EQ(sink.messages[0].text, "打开文件失败。\r\n文件名：(" + path + ")");
    }
}

TEST_F(TemplateReader, MorePictureBoxesThanSegmentsIsDamageAndLeavesDesignMode)
{
    const std::string two = "<Box1 cType=\"3\"/><Box2 cType=\"1\"/><Box3 cType=\"3\"/>";
    EXPECT_FALSE(load(makeFile({"BG", "ONE"}, two)));
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0],
              (Message{"文件格式已经损坏，加载失败。", "打开文件", MessageIcon::Stop, MessageButtons::Ok}));
    expectEmptyUntitled();
    EXPECT_EQ(doc.appMode(), AppMode::DesignMode);
    EXPECT_TRUE(doc.page().backgroundTempPath.empty());

    // With both segments the pictures go to the boxes in element order; an empty segment clears.
    sink.messages.clear();
    ASSERT_TRUE(load(makeFile({"BG", "ONE", ""}, two)));
    EXPECT_EQ(doc.box(1).attributes.picture, "ONE");
    EXPECT_EQ(doc.box(3).attributes.picture, "");
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(TemplateReader, BackgroundGoesToATemporaryFileThatTheNextLoadReplaces)
{
    ASSERT_TRUE(load(makeFile({"BACKGROUND"}, "")));
    const std::string first = doc.page().backgroundTempPath;
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(doc.page().background, "BACKGROUND");
    EXPECT_EQ(testing::readFile(first), "BACKGROUND");
    EXPECT_EQ(std::filesystem::path(first).extension(), ".tmp");

    // The caller's New forgets the path; the reader's own reset deletes it.
    ASSERT_FALSE(loadDocumentFromBytes(doc, "garbage", "c.oxf", sink));
    EXPECT_FALSE(std::filesystem::exists(first));

    ASSERT_TRUE(loadDocumentFromBytes(doc, makeFile({"SECOND"}, ""), "c.oxf", sink));
    const std::string second = doc.page().backgroundTempPath;
    ASSERT_TRUE(loadDocumentFromBytes(doc, makeFile({"THIRD"}, ""), "c.oxf", sink));
    EXPECT_FALSE(std::filesystem::exists(second));
    EXPECT_EQ(testing::readFile(doc.page().backgroundTempPath), "THIRD");
    std::filesystem::remove(doc.page().backgroundTempPath);
}

TEST_F(TemplateReader, BgImageIsReadFromTheTemplateFolderThenReplacedBySegment)
{
    ScratchFolder folder;
    testing::writeFile(folder.path("logo.bmp"), "BMlogo");
    const std::string boxes = "<Box1 cType=\"3\" bgImage=\"logo.bmp\"/><Box2 cType=\"3\" bgImage=\"gone.bmp\"/>"
                              "<Box3 cType=\"3\" bgImage=\".\"/>";
    ASSERT_TRUE(load(makeFile({"", "SEG1", "SEG2", "SEG3"}, boxes), folder.path("t.oxf")));
    EXPECT_EQ(doc.box(1).picturePath, folder.path("logo.bmp"));
    EXPECT_EQ(doc.box(1).attributes.picture, "SEG1");
    EXPECT_EQ(doc.box(2).picturePath, "");
    // A missing file and a folder are both reported, and loading goes on.
    ASSERT_EQ(sink.messages.size(), 2u);
    for (const Message& m : sink.messages)
        EXPECT_EQ(m, (Message{" 图片框的图片文件不存在，不能读入。", "打开文件", MessageIcon::Stop, MessageButtons::Ok}));
}

TEST_F(TemplateReader, AbsurdSizesAreClampedAndTooManyBoxesRefused)
{
    const std::string huge = "<Box1 cType=\"1\" wX=\"2147483647\" wY=\"-99999999\" wW=\"99999\" wH=\"7\" "
                             "pX=\"1e300\" pY=\"-1e300\" pW=\"2.5\" pH=\"1\"/>";
    ASSERT_TRUE(load(makeFile({""}, huge, "D", " pageWidth=\"1e30\" pageHeight=\"-5\" wWidth=\"1e12\" wHeight=\"-3\"")));
    EXPECT_EQ(doc.page().pageWidth, 10000.0f);
    EXPECT_EQ(doc.page().pageHeight, 0.0f);
    EXPECT_EQ(doc.page().boardWidth, kMaxBoardPixels);
    EXPECT_EQ(doc.page().boardHeight, 0);
    EXPECT_EQ(doc.box(1).editRect, (Rect{kMaxBoardPixels, -kMaxBoardPixels, kMaxBoardPixels, 7}));
    EXPECT_EQ(doc.box(1).printRect, (PrintRect{10000.0, -10000.0, 2.5, 1.0}));

    std::string many;
    for (int i = 0; i <= kMaxLoadedBoxes; ++i)
        many += "<B cType=\"7\"/>";
    EXPECT_FALSE(load(makeFile({""}, many)));
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].text, "打开文件失败。\r\n文件名：(/forms/a.oxf)");
    EXPECT_EQ(doc.liveBoxCount(), 0);
}

// Loads keep their parsed description in storage reused between loads; a
// load started from a window event during another load's yield must not
// disturb the one in progress.
TEST_F(TemplateReader, LoadDuringAnotherLoadsYieldLeavesBothIntact)
{
    std::string outerBoxes;
    for (int i = 1; i <= 5; ++i)
        outerBoxes += "<Box" + std::to_string(i) + " cType=\"1\" wX=\"" + std::to_string(i) +
                      "\" wValue=\"outer " + std::to_string(i) + "\"/>";
    const std::string outer = makeFile({""}, outerBoxes);
    const std::string inner = makeFile({""}, "<Box1 cType=\"2\" wX=\"99\" wValue=\"inner\"/>", "Other");

    Document nested;
    int nestedLoads = 0;
    doc.setYield([&] {
        if (nestedLoads++ == 0) {
            EXPECT_TRUE(loadDocumentFromBytes(nested, inner, "/forms/b.oxf", sink));
        }
    });
    // The first yield comes after the first of the outer file's boxes.
    ASSERT_TRUE(loadDocumentFromBytes(doc, outer, "/forms/a.oxf", sink));
    doc.setYield({});
    EXPECT_GT(nestedLoads, 4);

    ASSERT_EQ(doc.liveBoxCount(), 5);
    for (int i = 1; i <= 5; ++i) {
        EXPECT_EQ(doc.box(i).editRect.left, i);
        EXPECT_EQ(doc.box(i).attributes.text, "outer " + std::to_string(i));
    }
    ASSERT_EQ(nested.liveBoxCount(), 1);
    EXPECT_EQ(nested.box(1).type, BoxType::Label);
    EXPECT_EQ(nested.box(1).attributes.text, "inner");
    // The storage is free again afterwards: the next load reads its own file.
    ASSERT_TRUE(load(inner));
    EXPECT_EQ(doc.box(1).attributes.text, "inner");
}

} // namespace
} // namespace ordavel

namespace ordavel {
namespace {

// Cancelling is asked after each box, unknown types included, right after the yield.
TEST_F(TemplateReader, CancelledLoadLeavesTheEmptyUntitledDocumentInEditModeWithoutAMessage)
{
    const std::string boxes = "<A cType=\"2\"/><B cType=\"9\"/><C cType=\"2\"/><D cType=\"2\"/>";
    const std::string file = makeFile({"GIF89a-background"}, boxes);
    for (int stopAt : {1, 2, 3}) {
        int yields = 0;
        int asked = 0;
        doc.newDocument();
        doc.setFileName("/forms/a.oxf");
        doc.setYield([&] { ++yields; });
        const bool loaded = loadDocumentFromBytes(doc, file, "/forms/a.oxf", sink, [&] {
            EXPECT_GT(yields, asked) << "asked after the yield";
            return ++asked == stopAt;
        });
        doc.setYield({});
        EXPECT_FALSE(loaded) << stopAt;
        EXPECT_EQ(asked, stopAt);
        expectEmptyUntitled();
        EXPECT_TRUE(doc.page().background.empty());
        EXPECT_TRUE(doc.page().backgroundTempPath.empty());
        EXPECT_EQ(doc.appMode(), AppMode::EditMode);
        EXPECT_TRUE(sink.messages.empty());
    }
    // Never cancelled: the whole file.
    EXPECT_TRUE(loadDocumentFromBytes(doc, file, "/forms/a.oxf", sink, [] { return false; }));
    EXPECT_EQ(doc.liveBoxCount(), 3);
    removeFileQuietly(doc.page().backgroundTempPath);
}

} // namespace
} // namespace ordavel
