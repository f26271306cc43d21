#include "file/template_writer.h"

#include "file/base64.h"
#include "file/gbk.h"
#include "file/template_format.h"
#include "template_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace ordavel {
namespace {

using testing::RecordingSink;
using testing::ScratchFolder;

const std::string kSeparator(kSegmentSeparator);

// The description of a file that ends in separator + Base64, as UTF-8.
std::string descriptionOf(const std::string& file)
{
    const std::size_t at = file.rfind(kSeparator);
    EXPECT_NE(at, std::string::npos);
    return gbkToUtf8(decodeBase64(file.substr(at + kSeparator.size())));
}

TEST(TemplateWriter, EmptyDocumentIsSeparatorAndBase64OfFourLines)
{
    Document doc;
    RecordingSink sink;
    const auto bytes = templateBytes(doc, sink);
    ASSERT_TRUE(bytes);
    const std::string description =
        "<?xml version=\"1.0\" encoding=\"gb2312\"?>"
        "\r\n<Document pageWidth=\"21\" pageHeight=\"29\" wWidth=\"794\" wHeight=\"1096\" ImgShowType=\"0\" "
        "bgColor=\"16777215\" isPrintBgPic=\"0\">"
        "\r\n\t<boxes/>"
        "\r\n</Document>";
    EXPECT_EQ(*bytes, kSeparator + encodeBase64(description));
    EXPECT_TRUE(sink.messages.empty());
}

TEST(TemplateWriter, BoxesInSlotOrderWithPictureSegmentsAndEscapes)
{
    Document doc;
    doc.page().background = "BGBYTES";
    doc.page().pageWidth = 29.7f;
    const int text = doc.addBox(BoxType::EditBox, 100, 37, 120, 30);
    const int gone = doc.addBox(BoxType::Label, 0, 0);
    const int pic = doc.addBox(BoxType::PicBox, 10, 20, 50, 60);
    doc.addBox(BoxType::PicBox, 1, 2, 3, 4); // slot 4, no picture
    doc.deleteBox(gone);
    ASSERT_EQ(pic, 3);
    Box& t = doc.box(text);
    t.printRect = PrintRect{2.65, 0.98, 1.0 / 3.0, 0.8};
    t.followsEdit = false;
    t.attributes.text = "a\"b&c'<d>\r\n中😀";
    t.attributes.multiLine = true;
    t.attributes.textColor = 255;
    doc.box(pic).attributes.picture = "PIC3";
    doc.box(pic).isPrint = false;

    RecordingSink sink;
    const auto bytes = templateBytes(doc, sink);
    ASSERT_TRUE(bytes);
    // Background, the two picture segments in slot order (the empty one gives
    // two adjacent separators), then the description.
    const std::string prefix = "BGBYTES" + kSeparator + "PIC3" + kSeparator + kSeparator;
    ASSERT_EQ(bytes->substr(0, prefix.size()), prefix);
    EXPECT_EQ(bytes->find(kSeparator, prefix.size()), std::string::npos);

    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"gb2312\"?>"
        "\r\n<Document pageWidth=\"29.7\" pageHeight=\"29\" wWidth=\"794\" wHeight=\"1096\" ImgShowType=\"0\" "
        "bgColor=\"16777215\" isPrintBgPic=\"0\">"
        "\r\n\t<boxes>"
        "\r\n\t\t<Box1 cType=\"1\" pPewW=\"0\" pX=\"2.65\" pY=\"0.98\" pW=\"0.3333333333333\" pH=\"0.8\" isPrint=\"1\" "
        "wX=\"100\" wY=\"37\" wW=\"120\" wH=\"30\" IType=\"0\" MLine=\"1\" Scrollbars=\"0\" "
        "wValue=\"a&quote;b&amp;c&apos;&lt;d&gt;\r\n中😀\" Color=\"255\" B=\"0\" I=\"0\" T=\"0\" U=\"0\" "
        "Font=\"宋体\" FontSize=\"9\"/>"
        "\r\n\t\t<Box3 cType=\"3\" pPewW=\"1\" pX=\"0.26\" pY=\"0.53\" pW=\"1.32\" pH=\"1.59\" isPrint=\"0\" "
        "wX=\"10\" wY=\"20\" wW=\"50\" wH=\"60\" bgColor=\"16777215\" sType=\"0\"/>"
        "\r\n\t\t<Box4 cType=\"3\" pPewW=\"1\" pX=\"0.03\" pY=\"0.05\" pW=\"0.08\" pH=\"0.11\" isPrint=\"1\" "
        "wX=\"1\" wY=\"2\" wW=\"3\" wH=\"4\" bgColor=\"16777215\" sType=\"0\"/>"
        "\r\n\t</boxes>"
        "\r\n</Document>";
    EXPECT_EQ(descriptionOf(*bytes), expected);
    // GBK in the file: 宋体 is CB CE CC E5, the emoji a GB18030 four-byte sequence.
    const std::string gbk = decodeBase64(bytes->substr(prefix.size()));
    EXPECT_NE(gbk.find("Font=\"\xCB\xCE\xCC\xE5\""), std::string::npos);
    EXPECT_NE(gbk.find("\x94\x39\xFC\x36"), std::string::npos);
}

TEST(TemplateWriter, TypeAttributesInTheirOrders)
{
    Document doc;
    const int label = doc.addBox(BoxType::Label, 0, 0);
    const int shape = doc.addBox(BoxType::ShapeBox, 0, 0);
    const int date = doc.addBox(BoxType::DatePicker, 0, 0);
    const int combo = doc.addBox(BoxType::ComboBox, 0, 0);
    const int emptyCombo = doc.addBox(BoxType::ComboBox, 0, 0);
    const int color = doc.addBox(BoxType::ColorPicker, 0, 0);
    doc.box(label).attributes.font = FontSpec{"黑体", 12, true, false, true, false};
    doc.box(label).attributes.bgColor = 0x00FF00;
    doc.box(date).attributes.dateTime = DateTime{2024, 3, 5, 14, 7, 0};
    doc.box(date).dateFormat = 4;
    doc.box(combo).attributes.items = {"A", "B"};
    doc.box(combo).attributes.listStyle = 2;
    doc.box(combo).attributes.text = "B";
    doc.box(color).attributes.color = 0x123456;
    (void)shape;
    (void)emptyCombo;
    RecordingSink sink;
    const std::string xml = descriptionOf(*templateBytes(doc, sink));
    const std::string common = " pPewW=\"1\" pX=\"0\" pY=\"0\" pW=\"2.12\" pH=\"0.74\" isPrint=\"1\" wX=\"0\" wY=\"0\" "
                               "wW=\"80\" wH=\"28\"";
    const std::string font = " B=\"0\" I=\"0\" T=\"0\" U=\"0\" Font=\"宋体\" FontSize=\"9\"";
    for (const std::string& element : {
             "<Box1 cType=\"2\"" + common + " sType=\"0\" hAlign=\"0\" vAlign=\"0\" mLine=\"0\" bgColor=\"65280\" "
                 "wValue=\"标签\" Color=\"0\" B=\"1\" I=\"0\" T=\"1\" U=\"0\" Font=\"黑体\" FontSize=\"12\"/>",
             "<Box2 cType=\"4\"" + common + " xxType=\"1\" xWidth=\"1\" xtType=\"0\" bgColor=\"16777215\" "
                 "xtColor=\"0\" wxType=\"0\"/>",
             "<Box3 cType=\"5\"" + common + font + " DateTime=\"2024年3月5日14时7分\" DTFormat=\"4\"/>",
             "<Box4 cType=\"6\"" + common + font + " Type=\"2\" cboItems=\",A,B\" wValue=\"B\"/>",
             "<Box5 cType=\"6\"" + common + font + " Type=\"0\" cboItems=\"\" wValue=\"\"/>",
             "<Box6 cType=\"7\"" + common + " Color=\"1193046\"/>"})
        EXPECT_NE(xml.find("\r\n\t\t" + element + "\r\n"), std::string::npos) << element;
}

TEST(TemplateWriter, SavesMarkNotModifiedAndTwiceGiveIdenticalFiles)
{
    ScratchFolder folder;
    Document doc;
    doc.addBox(BoxType::EditBox, 10, 10);
    doc.addBox(BoxType::PicBox, 40, 40);
    ASSERT_TRUE(doc.modified());
    RecordingSink sink;
    const std::string path = folder.path("form.oxf");
    ASSERT_TRUE(saveDocument(doc, path, sink));
    EXPECT_FALSE(doc.modified());
    const std::string first = testing::readFile(path);
    ASSERT_TRUE(saveDocument(doc, path, sink));
    EXPECT_EQ(testing::readFile(path), first);
    EXPECT_EQ(first, *templateBytes(doc, sink));
    EXPECT_TRUE(sink.messages.empty());
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path("")), {}), 1);
}

TEST(TemplateWriter, RefusesPictureHoldingTheSeparatorAndKeepsTheOldFile)
{
    ScratchFolder folder;
    const std::string path = folder.path("form.oxf");
    testing::writeFile(path, "OLD");
    RecordingSink sink;
    Document doc;
    const int pic = doc.addBox(BoxType::PicBox, 0, 0);
    doc.box(pic).attributes.picture = "GIF89a" + kSeparator + "rest";
    EXPECT_FALSE(saveDocument(doc, path, sink));
    doc.box(pic).attributes.picture.clear();
    doc.page().background = "BM" + kSeparator;
    EXPECT_FALSE(saveDocument(doc, path, sink));
    EXPECT_TRUE(doc.modified());
    EXPECT_EQ(testing::readFile(path), "OLD");
    ASSERT_EQ(sink.messages.size(), 2u);
    for (const Message& m : sink.messages) {
        EXPECT_EQ(m.caption, "保存文件");
        EXPECT_EQ(m.icon, MessageIcon::Stop);
        EXPECT_NE(m.text.find("分段标记"), std::string::npos);
    }
    EXPECT_NE(sink.messages[0].text.find("图片框1"), std::string::npos);
}

TEST(TemplateWriter, FailedWriteReportsCreateFailureAndKeepsDocumentModified)
{
    ScratchFolder folder;
    Document doc;
    doc.addBox(BoxType::Label, 0, 0);
    RecordingSink sink;
    for (const std::string& path : {folder.path("missing/form.oxf"), std::string(), folder.path("")}) {
        sink.messages.clear();
        EXPECT_FALSE(saveDocument(doc, path, sink)) << path;
        ASSERT_EQ(sink.messages.size(), 1u);
        EXPECT_EQ(sink.messages[0],
                  (Message{"创建文件失败，请重试。\r\n（" + path + "）", "保存文件", MessageIcon::Stop, MessageButtons::Ok}));
        EXPECT_TRUE(doc.modified());
    }
}

} // namespace
} // namespace ordavel
