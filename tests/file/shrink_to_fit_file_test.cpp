// The smallest size a text shrinks to is written last, and only by the text
// boxes that use it; a template without it keeps its bytes.
#include "file/base64.h"
#include "file/gbk.h"
#include "file/template_format.h"
#include "file/template_reader.h"
#include "file/template_writer.h"
#include "template_test_support.h"

#include <gtest/gtest.h>

namespace ordavel {
namespace {

std::string descriptionOf(const std::string& file)
{
    const std::string separator(kSegmentSeparator);
    const std::size_t at = file.rfind(separator);
    EXPECT_NE(at, std::string::npos);
    return gbkToUtf8(decodeBase64(file.substr(at + separator.size())));
}

TEST(ShrinkToFitFile, WrittenLastByTheBoxesThatUseItAndReadBack)
{
    testing::ScratchFolder folder;
    testing::RecordingSink sink;
    Document doc;
    const int label = doc.addBox(BoxType::Label, 0, 0);
    const int edit = doc.addBox(BoxType::EditBox, 0, 0);
    const int plain = doc.addBox(BoxType::EditBox, 0, 0);
    const int shape = doc.addBox(BoxType::ShapeBox, 0, 0);
    const std::string before = *templateBytes(doc, sink);

    doc.box(label).attributes.shrinkToFit = 6;
    doc.box(edit).attributes.shrinkToFit = 7;
    doc.box(edit).dataField = "收款人";
    doc.box(shape).attributes.shrinkToFit = 5; // not a text box: not written
    const std::string xml = descriptionOf(*templateBytes(doc, sink));
    EXPECT_NE(xml.find("FontSize=\"9\" shrinkToFit=\"6\"/>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("dataField=\"收款人\" shrinkToFit=\"7\"/>"), std::string::npos) << xml;
    EXPECT_EQ(xml.find("shrinkToFit=\"5\""), std::string::npos) << xml;

    const std::string path = folder.path("fit.oxf");
    ASSERT_TRUE(saveDocument(doc, path, sink));
    Document read;
    read.setFileName(path);
    ASSERT_TRUE(loadDocument(read, path, sink));
    EXPECT_EQ(read.box(label).attributes.shrinkToFit, 6);
    EXPECT_EQ(read.box(edit).attributes.shrinkToFit, 7);
    EXPECT_EQ(read.box(plain).attributes.shrinkToFit, 0);
    EXPECT_EQ(read.box(shape).attributes.shrinkToFit, 0);
    EXPECT_EQ(*templateBytes(read, sink), *templateBytes(doc, sink)) << "a second save is byte for byte the first";

    // Unused again, the template is written exactly as before the option existed.
    doc.box(label).attributes.shrinkToFit = 0;
    doc.box(edit).attributes.shrinkToFit = 0;
    doc.box(edit).dataField.clear();
    doc.box(shape).attributes.shrinkToFit = 0;
    EXPECT_EQ(*templateBytes(doc, sink), before);
    EXPECT_TRUE(sink.messages.empty());
}

} // namespace
} // namespace ordavel
