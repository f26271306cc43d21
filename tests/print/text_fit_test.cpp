// Text that shrinks to fit its box: the size it is drawn at, the lines it is
// measured by, and the check before a batch of the records that do not fit.
#include "data/text_fit_check.h"
#include "print/box_render.h"
#include "print/text_fit.h"

#include "recording_surface.h"

#include <gtest/gtest.h>

namespace ordavel {
namespace {

// Text one unit a byte per point wide, lines two units per point high.
class SizedSurface : public test::RecordingSurface {
public:
    void setFont(const FontSpec& f) override
    {
        m_size = f.size;
        RecordingSurface::setFont(f);
    }
    void setFontPoints(const FontSpec& f, double points) override
    {
        m_size = points;
        calls.push_back("font " + f.face + " " + std::to_string(points));
    }
    double textWidth(std::string_view t) const override { return m_size * static_cast<double>(t.size()); }
    double textLineHeight() const override { return 2.0 * m_size; }
    // The size the last text was drawn at.
    double sizeOfLastText() const
    {
        double size = 0;
        for (const std::string& call : calls)
            if (call.rfind("font ", 0) == 0)
                size = std::stod(call.substr(call.rfind(' ') + 1));
        return size;
    }

private:
    double m_size = 9;
};

Box textBox(const std::string& text, double widthCm, double heightCm, int fontSize, int smallest)
{
    Box box;
    box.type = BoxType::EditBox;
    box.index = 1;
    box.inUse = true;
    box.printRect = {1.0, 2.0, widthCm, heightCm};
    box.attributes = defaultAttributes(BoxType::EditBox);
    box.attributes.text = text;
    box.attributes.font.size = fontSize;
    box.attributes.shrinkToFit = smallest;
    return box;
}

struct Drawn {
    double size = 0;
    std::vector<std::string> text;
};

Drawn draw(const Box& box)
{
    SizedSurface surface;
    drawBox(box, RenderTarget::Printer, UnitFactors::fromDpi(96.0), surface);
    return {surface.sizeOfLastText(), surface.drawn};
}

TEST(TextFit, ATextTooWideIsDrawnAtTheLargestSizeAtWhichItFits)
{
    // 100 x 100 printer units from (100, 200); sizes in half points.
    EXPECT_EQ(draw(textBox("ABCDEFGHIJ", 1.0, 1.0, 12, 6)).size, 10);          // 10 x 10 = 100: fits exactly
    EXPECT_EQ(draw(textBox("ABCDEFGHIJK", 1.0, 1.0, 12, 6)).size, 9);          // 11 x 9.5 > 100
    EXPECT_EQ(draw(textBox("ABCDEFGHI", 1.0, 1.0, 12, 6)).size, 11);           // 9 x 11 = 99
    EXPECT_EQ(draw(textBox("ABCDEFGHIJKLMNOPQRS", 1.0, 1.0, 12, 5)).size, 5);  // 19 x 5 = 95, 19 x 5.5 > 100
    EXPECT_EQ(draw(textBox("ABCDEFGHIJKLMNOPQRSTUVWXYZ", 1.0, 1.0, 12, 2)).size, 3.5); // 26 x 3.5 = 91
    EXPECT_EQ(draw(textBox("ABCDEFGH", 1.0, 1.0, 12, 6)).size, 12);            // fits at its own size
    EXPECT_EQ(draw(textBox("ABCDEFGHIJKLMNOPQRST", 1.0, 1.0, 12, 6)).size, 6); // too wide even at 6
    EXPECT_EQ(draw(textBox("ABCDEFGHIJKLMNOPQRST", 1.0, 1.0, 12, 0)).size, 12); // no shrinking
    EXPECT_EQ(draw(textBox("ABCDEFGHIJKLMNOPQRST", 1.0, 1.0, 5, 6)).size, 5);  // already below the smallest
    EXPECT_EQ(draw(textBox("ABCDEFGHIJKLMNOPQRST", 1.0, 1.0, 0, 1)).size, 5);  // no size: from 9
    EXPECT_EQ(draw(textBox("ABCDEFGHIJK", 1.0, 1.0, 12, 6)).text, (std::vector<std::string>{"text 100 200 ABCDEFGHIJK"}));

    // Text in cells is not shrunk.
    Box cells = textBox("123", 1.0, 1.0, 12, 6);
    cells.attributes.cellCount = 3;
    EXPECT_EQ(draw(cells).size, 12);
}

TEST(TextFit, SeveralLinesMustEachFitTheWidthAndTogetherTheHeight)
{
    // Each line's width counts, not the whole text's: 5 bytes wide at most.
    EXPECT_EQ(draw(textBox("ABCDE\nABC", 0.5, 1.0, 12, 4)).size, 10);
    // Two lines of 2s units advancing by 2s + 2: 4s + 2 <= 40 gives 9.5.
    EXPECT_EQ(draw(textBox("AB\r\nCD", 1.0, 0.4, 12, 4)).size, 9.5);
    // Three lines, the middle one empty: 6s + 4 <= 40 gives 6.
    EXPECT_EQ(draw(textBox("AB\n\nCD", 1.0, 0.4, 12, 4)).size, 6);
    const Drawn lines = draw(textBox("AB\n\nCD", 1.0, 0.4, 12, 4));
    EXPECT_EQ(lines.text, (std::vector<std::string>{"text 100 200 AB", "text 100 228 CD"}));
    // One line is measured by its width alone, however low the box.
    EXPECT_EQ(draw(textBox("AB", 1.0, 0.1, 12, 4)).size, 12);

    EXPECT_EQ(textLines("A\r\nB\rC\n"), (std::vector<std::string_view>{"A", "B", "C", ""}));
    EXPECT_EQ(textLines(""), (std::vector<std::string_view>{""}));
}

using Lines = std::vector<std::string>;

Lines wrapped(std::string_view text, int width)
{
    SizedSurface surface;
    surface.setFontPoints(FontSpec{}, 10); // 10 units a byte; a CJK character is 30
    return wrapLines(surface, text, width);
}

TEST(TextFit, LinesWrapAtSpacesAndBetweenCjkCharacters)
{
    EXPECT_EQ(wrapped("AB CD EF", 50), (Lines{"AB CD", "EF"}));
    EXPECT_EQ(wrapped("AB CD EF", 80), (Lines{"AB CD EF"}));
    EXPECT_EQ(wrapped("AB   CD", 30), (Lines{"AB", "CD"}));          // the spaces at a break are dropped
    EXPECT_EQ(wrapped("  AB CD", 40), (Lines{"  AB", "CD"}));        // leading spaces stay
    EXPECT_EQ(wrapped("ABCDEFGH IJ", 50), (Lines{"ABCDEFGH", "IJ"})); // a long word keeps its line
    EXPECT_EQ(wrapped("AB CD\n\nEF", 30), (Lines{"AB", "CD", "", "EF"}));
    EXPECT_EQ(wrapped("", 30), (Lines{""}));
    EXPECT_EQ(wrapped("中国银行北京分行", 100), (Lines{"中国银", "行北京", "分行"}));
    EXPECT_EQ(wrapped("ABC公司", 60), (Lines{"ABC公", "司"}));
    // No line starts with closing punctuation, nor ends with opening.
    EXPECT_EQ(wrapped("中国，银行", 60), (Lines{"中", "国，", "银行"}));
    EXPECT_EQ(wrapped("甲（乙）", 60), (Lines{"甲", "（乙）"}));
    EXPECT_EQ(wrapped("100%", 10), (Lines{"100%"}));
}

TEST(TextFit, AMultiLineBoxWrapsItsTextAndShrinksUntilTheLinesFit)
{
    // 100 x 50 units. Two lines need 9 bytes across (s <= 11.1) and 4s + 2 down;
    // on one line the 14 bytes need s <= 7.1.
    Box edit = textBox("ABCD EFGH IJKL", 1.0, 0.5, 12, 4);
    EXPECT_EQ(draw(edit).size, 7);
    edit.attributes.multiLine = true;
    const Drawn two = draw(edit);
    EXPECT_EQ(two.size, 11);
    EXPECT_EQ(two.text, (Lines{"text 100 200 ABCD EFGH", "text 100 224 IJKL"}));
    // 30 units high, two lines would need s <= 7, where the whole text fits one line.
    edit.printRect.height = 0.3;
    EXPECT_EQ(draw(edit).size, 7);

    Box label = textBox("ABCD EFGH IJKL", 1.0, 0.5, 12, 4);
    label.type = BoxType::Label;
    label.attributes.wordWrap = true;
    EXPECT_EQ(draw(label).size, 11);
    // A wrapping box without shrinking draws its text as it stands.
    label.attributes.shrinkToFit = 0;
    EXPECT_EQ(draw(label).text, (Lines{"text 100 200 ABCD EFGH IJKL"}));

    // Too long even at the smallest size: drawn wrapped at that size.
    Box tooLong = textBox("ABCDEFGHIJKLMNOPQRSTUVWXYZ ABCDEFGHIJKLMNOPQRSTUVWXYZ", 1.0, 0.5, 12, 4);
    tooLong.attributes.multiLine = true;
    const Drawn smallest = draw(tooLong);
    EXPECT_EQ(smallest.size, 4);
    ASSERT_EQ(smallest.text.size(), 2u);
    EXPECT_EQ(smallest.text[1], "text 100 210 ABCDEFGHIJKLMNOPQRSTUVWXYZ");
}

TEST(TextFit, TheCheckBeforeABatchNamesEachRecordAndBoxThatDoesNotFit)
{
    DataTable table({"收款人"});
    for (const char* name : {"ABCDEFGH", "ABCDEFGHIJKLMNOPQRST", "ABCDEFGHIJK", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"}) {
        table.appendCell(name);
        table.endRecord();
    }
    Document doc;
    const int shrinking = doc.addBox(BoxType::EditBox, 0, 0);
    doc.box(shrinking).printRect = {1.0, 1.0, 1.0, 1.0};
    doc.box(shrinking).attributes.text = "${收款人}";
    doc.box(shrinking).attributes.font.size = 12;
    doc.box(shrinking).attributes.shrinkToFit = 6;
    const int plain = doc.addBox(BoxType::Label, 0, 0); // does not shrink: never checked
    doc.box(plain).printRect = {1.0, 3.0, 0.1, 1.0};
    doc.box(plain).attributes.text = "${收款人}";
    const int label = doc.addBox(BoxType::Label, 0, 0);
    doc.box(label).printRect = {1.0, 5.0, 3.0, 1.0};
    doc.box(label).attributes.text = "收款人：${收款人}";
    doc.box(label).attributes.font.size = 10;
    doc.box(label).attributes.shrinkToFit = 8;

    SizedSurface measure;
    const auto problems = checkTextFit(doc, table, {0, 1, 2, 3}, measure);
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_EQ(problems[0].message(), "第 2 条记录，第 1 个框：“ABCDEFGHIJKLMNOPQRST”缩到 6 磅仍放不下");
    EXPECT_EQ(problems[1].message(), "第 4 条记录，第 1 个框：“ABCDEFGHIJKLMNOPQRSTUVWXYZ”缩到 6 磅仍放不下");
    EXPECT_EQ(problems[2].message(), "第 4 条记录，第 3 个框：“收款人：ABCDEFGHIJKLMNOPQRSTUVWXYZ”缩到 8 磅仍放不下");
    EXPECT_EQ(checkTextFit(doc, table, {3}, measure, 1).size(), 1u);
    EXPECT_TRUE(checkTextFit(doc, table, {0, 2}, measure).empty());

    // A multi-line box is measured wrapped, as it is drawn: one line of 23
    // bytes is too wide at 6, four lines of one word each fit at 11.5.
    DataTable words({"收款人"});
    words.appendCell("ABCDE FGHIJ KLMNO PQRST");
    words.endRecord();
    Document wrapping;
    const int box = wrapping.addBox(BoxType::EditBox, 0, 0);
    wrapping.box(box).printRect = {1.0, 1.0, 1.0, 1.0};
    wrapping.box(box).attributes.text = "${收款人}";
    wrapping.box(box).attributes.font.size = 12;
    wrapping.box(box).attributes.shrinkToFit = 6;
    EXPECT_EQ(checkTextFit(wrapping, words, {0}, measure).size(), 1u);
    wrapping.box(box).attributes.multiLine = true;
    EXPECT_TRUE(checkTextFit(wrapping, words, {0}, measure).empty());

    // The template's own text, as a page without data prints it.
    // "${收款人}" as it stands (12 bytes) fits; 40 letters at 8 do not fit 300.
    doc.box(label).attributes.text = "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMN";
    const auto own = checkTemplateTextFit(doc, measure);
    ASSERT_EQ(own.size(), 1u);
    EXPECT_EQ(own[0].slot, label);
    EXPECT_EQ(own[0].row, -1);
    EXPECT_EQ(own[0].reason, "“ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMN”缩到 8 磅仍放不下");
}

} // namespace
} // namespace ordavel
