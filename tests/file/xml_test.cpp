#include "file/xml.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>
#include <ostream>

namespace ordavel {
namespace {

// A description shaped like a template's: root, boxes, two box elements.
XmlDocument sampleDocument()
{
    XmlDocument doc("Document");
    doc.setAttribute(0, "pageWidth", "21");
    doc.setAttribute(0, "pageHeight", "29.7");
    const XmlNodeId boxes = doc.addChild(0, "boxes");
    const XmlNodeId box1 = doc.addChild(boxes, "Box1");
    doc.setAttribute(box1, "cType", "1");
    doc.setAttribute(box1, "wValue", "a\"b\r\n\tc<&>'\xD6\xD0");
    const XmlNodeId box3 = doc.addChild(boxes, "Box3");
    doc.setAttribute(box3, "cType", "3");
    return doc;
}

constexpr std::string_view kSampleText =
    "<?xml version=\"1.0\" encoding=\"gb2312\"?>"
    "\r\n<Document pageWidth=\"21\" pageHeight=\"29.7\">"
    "\r\n\t<boxes>"
    "\r\n\t\t<Box1 cType=\"1\" wValue=\"a&quote;b\r\n\tc&lt;&amp;&gt;&apos;\xD6\xD0\"/>"
    "\r\n\t\t<Box3 cType=\"3\"/>"
    "\r\n\t</boxes>"
    "\r\n</Document>";

TEST(XmlWriter, WritesTheTemplateLayoutByteForByte)
{
    EXPECT_EQ(sampleDocument().serialise(), kSampleText);
    EXPECT_EQ(XmlDocument().serialise(), kXmlDeclaration);

    XmlDocument noBoxes("Document");
    noBoxes.setAttribute(0, "isPrintBgPic", "0");
    noBoxes.addChild(0, "boxes");
    EXPECT_EQ(noBoxes.serialise(), std::string(kXmlDeclaration) +
                                       "\r\n<Document isPrintBgPic=\"0\">\r\n\t<boxes/>\r\n</Document>");

    std::string buffer = "kept";
    noBoxes.serialiseTo(buffer);
    EXPECT_EQ(buffer, "kept" + noBoxes.serialise());
}

TEST(XmlWriter, SecondSetAttributeKeepsTheFirstValue)
{
    XmlDocument doc("Document");
    EXPECT_TRUE(doc.setAttribute(0, "wValue", "first"));
    EXPECT_FALSE(doc.setAttribute(0, "wValue", "second"));
    EXPECT_EQ(doc.attribute(0, "wValue"), "first");
    EXPECT_EQ(doc.attributeCount(), 1u);
}

TEST(XmlReader, ReadsBackWhatTheWriterWrote)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.parse(kSampleText));
    EXPECT_EQ(doc.name(doc.root()), "Document");
    std::vector<std::string_view> names;
    for (XmlNodeId box : doc.children(doc.elementAt("Document/boxes")))
        names.push_back(doc.name(box));
    EXPECT_EQ(names, (std::vector<std::string_view>{"Box1", "Box3"}));
    EXPECT_EQ(doc.attribute(doc.elementAt("Document/boxes/Box1"), "wValue"), "a\"b\r\n\tc<&>'\xD6\xD0");
    EXPECT_EQ(doc.attribute(doc.elementAt("Document/boxes/Box3"), "wValue"), "");
    EXPECT_FALSE(doc.findAttribute(doc.elementAt("Document/boxes/Box3"), "wValue"));
    EXPECT_EQ(doc.serialise(), kSampleText);
}

TEST(XmlReader, EveryByteValueSurvivesARoundTrip)
{
    std::string all;
    for (int c = 1; c < 256; ++c)
        all.push_back(static_cast<char>(c));
    XmlDocument doc("r");
    doc.setAttribute(0, "v", all);
    doc.setAttribute(0, "e", "");
    const std::string text = doc.serialise();

    XmlDocument back;
    ASSERT_TRUE(back.parse(text));
    EXPECT_EQ(back.attribute(0, "v"), all);
    ASSERT_TRUE(back.findAttribute(0, "e"));
    EXPECT_EQ(back.attribute(0, "e"), "");
    EXPECT_EQ(back.serialise(), text);
}

TEST(XmlReader, OnlyTheFiveEscapesAreDecoded)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.parse("<r a=\"&quot;&#34;&#x22;&quote&amp;amp;&nbsp;& ;&\" "
                          "b=\"&quote;&amp;&apos;&lt;&gt;&lt\"/>"));
    EXPECT_EQ(doc.attribute(0, "a"), "&quot;&#34;&#x22;&quote&amp;&nbsp;& ;&");
    EXPECT_EQ(doc.attribute(0, "b"), "\"&'<>&lt");
}

TEST(XmlReader, AcceptsMarkupAroundAndBetweenElements)
{
    XmlDocument doc;
    ASSERT_TRUE(doc.parse(" \r\n<?xml version='1.0'?><!-- c --><?pi x?>\t"
                          "<Root  a = 'x\"y'\tb=\"1\" >text<![CDATA[<no/>]]><!--<c/>-->"
                          "<?pi <in/> ?><Box2 q='&apos;'/> more <Box5></Box5 >\r\n</Root>"
                          "<!-- after --><?after?> \n"));
    EXPECT_EQ(doc.name(doc.root()), "Root");
    EXPECT_EQ(doc.attribute(0, "a"), "x\"y");
    EXPECT_EQ(doc.attribute(0, "b"), "1");
    EXPECT_EQ(doc.nodeCount(), 3u);
    EXPECT_EQ(doc.name(doc.firstChild(0)), "Box2");
    EXPECT_EQ(doc.attribute(doc.firstChild(0), "q"), "'");
    EXPECT_EQ(doc.name(doc.nextSibling(doc.firstChild(0))), "Box5");
}

struct Malformed {
    const char* name;
    std::string_view text;
    XmlStatus status;
    std::size_t offset;
};
// Test names in ctest and gtest output show the row name, not its bytes.
void PrintTo(const Malformed& row, std::ostream* os) { *os << row.name; }

class XmlReaderRejects : public testing::TestWithParam<Malformed> {};

TEST_P(XmlReaderRejects, WithItsOneStatus)
{
    XmlDocument doc("Old");
    const XmlParseResult result = doc.parse(GetParam().text);
    EXPECT_EQ(result.status, GetParam().status) << describe(result.status);
    EXPECT_EQ(result.offset, GetParam().offset);
    EXPECT_TRUE(doc.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, XmlReaderRejects,
    testing::Values(
        Malformed{"Empty", "", XmlStatus::NoRoot, 0},
        Malformed{"OnlyDeclaration", "<?xml version=\"1.0\"?>\r\n", XmlStatus::NoRoot, 23},
        Malformed{"SecondRoot", "<a/>\r\n<b/>", XmlStatus::SecondRoot, 6},
        Malformed{"TextBeforeRoot", "x<a/>", XmlStatus::StrayText, 0},
        Malformed{"TextAfterRoot", "<a/> x", XmlStatus::StrayText, 5},
        Malformed{"ByteOrderMark", "\xEF\xBB\xBF<a/>", XmlStatus::StrayText, 0},
        Malformed{"CdataOutsideRoot", "<![CDATA[x]]><a/>", XmlStatus::StrayText, 0},
        Malformed{"DigitName", "<1a/>", XmlStatus::BadName, 1},
        Malformed{"SpaceBeforeName", "< a/>", XmlStatus::BadName, 1},
        Malformed{"BadCharInName", "<a\"b/>", XmlStatus::BadName, 1},
        Malformed{"EmptyEndName", "<a></ >", XmlStatus::BadName, 5},
        Malformed{"BadAttributeName", "<a -b=\"1\"/>", XmlStatus::BadName, 3},
        Malformed{"NoEquals", "<a b \"1\"/>", XmlStatus::BadAttribute, 5},
        Malformed{"NoQuote", "<a b=1/>", XmlStatus::BadAttribute, 5},
        Malformed{"NoSpaceBetween", "<a b=\"1\"c=\"2\"/>", XmlStatus::BadAttribute, 8},
        Malformed{"Duplicate", "<a b=\"1\" c=\"2\" b=\"3\"/>", XmlStatus::DuplicateAttribute, 15},
        Malformed{"LessThan", "<a b=\"x<y\"/>", XmlStatus::LessThanInValue, 7},
        Malformed{"JunkInTag", "<a b=\"1\" =/>", XmlStatus::BadName, 9},
        Malformed{"SlashNotClosing", "<a/ >", XmlStatus::BadStartTag, 2},
        Malformed{"EndTagJunk", "<a></a b>", XmlStatus::BadEndTag, 7},
        Malformed{"EndTagFirst", "</a>", XmlStatus::BadEndTag, 0},
        Malformed{"Mismatched", "<a><b></a></b>", XmlStatus::MismatchedTag, 8},
        Malformed{"MismatchedPrefix", "<ab></a>", XmlStatus::MismatchedTag, 6},
        Malformed{"Unclosed", "<a><b/>", XmlStatus::UnclosedElement, 7},
        Malformed{"Doctype", "<!DOCTYPE a><a/>", XmlStatus::BadMarkup, 0},
        Malformed{"DoctypeInside", "<a><!DOCTYPE a></a>", XmlStatus::BadMarkup, 3},
        Malformed{"UnterminatedComment", "<a/><!-- x --", XmlStatus::BadMarkup, 4},
        Malformed{"UnterminatedPi", "<?xml ?<a/>", XmlStatus::BadMarkup, 0},
        Malformed{"UnterminatedCdata", "<a><![CDATA[x]]</a>", XmlStatus::BadMarkup, 3},
        Malformed{"LoneLessThan", "<a></a><", XmlStatus::BadMarkup, 7}),
    [](const testing::TestParamInfo<Malformed>& row) { return row.param.name; });

TEST(XmlReader, EachTruncationOfAStartTagGivesItsStatus)
{
    const std::string_view full = "<a b=\"c\"/>";
    const XmlStatus expected[] = {
        XmlStatus::NoRoot,       // ""
        XmlStatus::BadMarkup,    // "<"
        XmlStatus::BadStartTag,  // "<a"
        XmlStatus::BadStartTag,  // "<a "
        XmlStatus::BadAttribute, // "<a b"
        XmlStatus::BadAttribute, // "<a b="
        XmlStatus::BadAttribute, // "<a b=\""
        XmlStatus::BadAttribute, // "<a b=\"c"
        XmlStatus::BadStartTag,  // "<a b=\"c\""
        XmlStatus::BadStartTag,  // "<a b=\"c\"/"
        XmlStatus::Ok,
    };
    for (std::size_t n = 0; n <= full.size(); ++n)
        EXPECT_EQ(XmlDocument().parse(full.substr(0, n)).status, expected[n]) << full.substr(0, n);

    EXPECT_EQ(XmlDocument().parse("<a></").status, XmlStatus::BadEndTag);
    EXPECT_EQ(XmlDocument().parse("<a></a").status, XmlStatus::BadEndTag);
    EXPECT_EQ(XmlDocument().parse("<a></a ").status, XmlStatus::BadEndTag);
    EXPECT_EQ(XmlDocument().parse("<a>").status, XmlStatus::UnclosedElement);
    EXPECT_EQ(XmlDocument().parse("<a>text").status, XmlStatus::UnclosedElement);
}

TEST(XmlReader, EveryProperPrefixOfADescriptionIsRejected)
{
    const std::string text = sampleDocument().serialise();
    for (std::size_t n = 0; n < text.size(); ++n) {
        XmlDocument doc;
        const XmlParseResult result = doc.parse(std::string_view(text).substr(0, n));
        EXPECT_FALSE(result) << "prefix of " << n << " bytes";
        EXPECT_LE(result.offset, n);
        EXPECT_TRUE(doc.empty());
    }
}

TEST(XmlReader, ParsesAViewIntoItsOwnPool)
{
    XmlDocument doc("r");
    doc.setAttribute(0, "inner", "<x y=\"1\"/>");
    ASSERT_TRUE(doc.parse(doc.attribute(0, "inner")));
    EXPECT_EQ(doc.name(doc.root()), "x");
    EXPECT_EQ(doc.attribute(0, "y"), "1");
}

TEST(XmlReader, ManyAttributesOnOneElementAreCheckedForDuplicates)
{
    std::string text = "<r";
    for (int i = 0; i < 5000; ++i)
        text += " a" + std::to_string(i) + "=\"\"";
    EXPECT_TRUE(XmlDocument().parse(text + "/>"));
    EXPECT_EQ(XmlDocument().parse(text + " a4321=\"\"/>").status, XmlStatus::DuplicateAttribute);
    EXPECT_EQ(XmlDocument().parse(text + " a3=\"\"/>").status, XmlStatus::DuplicateAttribute);
}

TEST(XmlReader, AMillionNestedElementsDoNotExhaustTheStack)
{
    constexpr std::size_t depth = 1000000;
    std::string text;
    text.reserve(depth * 7);
    for (std::size_t i = 0; i < depth; ++i)
        text += "<a>";
    EXPECT_EQ(XmlDocument().parse(text).status, XmlStatus::UnclosedElement);
    for (std::size_t i = 0; i < depth; ++i)
        text += "</a>";

    XmlDocument doc;
    ASSERT_TRUE(doc.parse(text));
    ASSERT_EQ(doc.nodeCount(), depth);
    XmlNodeId deepest = 0;
    while (doc.firstChild(deepest) != kXmlNoNode)
        deepest = doc.firstChild(deepest);
    EXPECT_EQ(deepest, depth - 1);
}

} // namespace
} // namespace ordavel
