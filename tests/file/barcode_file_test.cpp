// Barcode boxes in template files: their element, a byte-for-byte round trip,
// and the picture segments of the boxes after them.
#include "file/base64.h"
#include "file/gbk.h"
#include "file/template_format.h"
#include "file/template_reader.h"
#include "file/template_writer.h"
#include "template_test_support.h"

#include <gtest/gtest.h>

namespace ordavel {
namespace {

using testing::RecordingSink;

std::string descriptionOf(const std::string& file)
{
    const std::vector<std::string_view> segments = splitSegments(file);
    return gbkToUtf8(decodeBase64(std::string(segments.back())));
}

// A barcode box with every setting away from its default.
int addBarcode(Document& doc)
{
    const int index = doc.addBox(BoxType::BarcodeBox, 40, 50, 200, 120);
    Box& b = doc.box(index);
    b.followsEdit = false;
    b.printRect = PrintRect{2.65, 1.15, 4.5, 3.25};
    BoxAttributes& a = b.attributes;
    a.text = "运单 \"SF\" & <1>\r\n";
    a.textColor = 0x102030;
    a.bgColor = 0xF0F0E0;
    a.font = FontSpec{"黑体", 11, true, false, false, true};
    a.barcode = BarcodeSettings{Symbology::QR, false, 0.3333333333333, QrEcc::H, 270};
    return index;
}

TEST(BarcodeFile, ElementHoldsTheCommonThenTheBarcodeAttributesInOrder)
{
    Document doc;
    addBarcode(doc);
    RecordingSink sink;
    const auto bytes = templateBytes(doc, sink);
    ASSERT_TRUE(bytes);
    // No picture segment: background, then the description.
    EXPECT_EQ(splitSegments(*bytes).size(), 2u);
    const std::string xml = descriptionOf(*bytes);
    EXPECT_NE(xml.find("<Box1 cType=\"8\" pPewW=\"0\" pX=\"2.65\" pY=\"1.15\" pW=\"4.5\" pH=\"3.25\" isPrint=\"1\" "
                       "wX=\"40\" wY=\"50\" wW=\"200\" wH=\"120\" bcType=\"QR\" "
                       "wValue=\"运单 &quote;SF&quote; &amp; &lt;1&gt;\r\n\" bcHRT=\"0\" "
                       "bcModule=\"0.3333333333333\" bcECC=\"H\" bcRotate=\"270\" Color=\"1056816\" "
                       "bgColor=\"15790304\" B=\"1\" I=\"0\" T=\"0\" U=\"1\" Font=\"黑体\" FontSize=\"11\"/>"),
              std::string::npos)
        << xml;
}

TEST(BarcodeFile, SavesLoadsAndSavesByteForByte)
{
    testing::ScratchFolder folder;
    RecordingSink sink;
    for (Symbology symbology : {Symbology::Code128, Symbology::EAN13, Symbology::Code39, Symbology::QR,
                                Symbology::DataMatrix, Symbology::PDF417}) {
        Document doc;
        doc.addBox(BoxType::EditBox, 1, 2);
        const int index = addBarcode(doc);
        doc.box(index).attributes.barcode.symbology = symbology;
        doc.box(index).attributes.barcode.humanReadable = true;
        doc.box(index).attributes.barcode.moduleMm = 0.25;
        doc.addBox(BoxType::PicBox, 3, 4);
        ASSERT_TRUE(saveDocument(doc, folder.path("a.oxf"), sink));
        Document loaded;
        ASSERT_TRUE(loadDocument(loaded, folder.path("a.oxf"), sink));
        ASSERT_TRUE(saveDocument(loaded, folder.path("b.oxf"), sink));
        EXPECT_EQ(testing::readFile(folder.path("a.oxf")), testing::readFile(folder.path("b.oxf")));
        testing::expectSameModel(doc, loaded);
    }
    EXPECT_TRUE(sink.messages.empty());
}

// Picture segments are counted over picture boxes only: a barcode element,
// like an element of a type this reader does not know, takes no segment.
TEST(BarcodeFile, BarcodeBeforeAPictureBoxKeepsThePictureSegmentsAligned)
{
    const std::string separator(kSegmentSeparator);
    for (const char* type : {"8", "9"}) {
        SCOPED_TRACE(std::string("cType ") + type);
        const std::string xml = std::string("<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<Document pageWidth=\"21\">"
                                            "<boxes><Box1 cType=\"3\"/><Box2 cType=\"") +
                                type +
                                "\" bcType=\"EAN13\" wValue=\"690123456789\"/><Box3 cType=\"3\"/>"
                                "<Box4 cType=\"1\" wValue=\"after\"/></boxes></Document>";
        const std::string file = "BG" + separator + "first" + separator + "second" + separator +
                                 encodeBase64(utf8ToGbk(xml));
        Document doc;
        RecordingSink sink;
        ASSERT_TRUE(loadDocumentFromBytes(doc, file, "/t/a.oxf", sink));
        EXPECT_TRUE(sink.messages.empty());
        const bool known = std::string(type) == "8";
        ASSERT_EQ(doc.liveBoxCount(), known ? 4 : 3);
        EXPECT_EQ(doc.box(1).attributes.picture, "first");
        const int secondPicture = known ? 3 : 2;
        EXPECT_EQ(doc.box(secondPicture).type, BoxType::PicBox);
        EXPECT_EQ(doc.box(secondPicture).attributes.picture, "second");
        EXPECT_EQ(doc.box(secondPicture + 1).attributes.text, "after");
        if (known) {
            EXPECT_EQ(doc.box(2).type, BoxType::BarcodeBox);
            EXPECT_EQ(doc.box(2).attributes.barcode.symbology, Symbology::EAN13);
            EXPECT_EQ(doc.box(2).attributes.text, "690123456789");
        }
        std::remove(doc.page().backgroundTempPath.c_str());
    }
}

TEST(BarcodeFile, UnknownSettingsReadAsTheDefaults)
{
    const std::string xml = "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<Document><boxes>"
                            "<Box1 cType=\"8\" bcType=\"Aztec\" bcECC=\"X\" bcRotate=\"45\" bcModule=\"-1\" "
                            "bcHRT=\"yes\"/></boxes></Document>";
    Document doc;
    RecordingSink sink;
    ASSERT_TRUE(loadDocumentFromBytes(doc, std::string(kSegmentSeparator) + encodeBase64(utf8ToGbk(xml)), "a.oxf",
                                      sink));
    const BarcodeSettings& s = doc.box(1).attributes.barcode;
    EXPECT_EQ(s.symbology, Symbology::Code128);
    EXPECT_EQ(s.ecc, QrEcc::M);
    EXPECT_EQ(s.rotation, 0);
    EXPECT_EQ(s.moduleMm, 0.0);
    EXPECT_FALSE(s.humanReadable);
}

} // namespace
} // namespace ordavel
