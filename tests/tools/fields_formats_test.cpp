// ordavel-cli fields: the plain array of column names stays as it was; with
// --formats each column comes with the formats its placeholders give it.
#include "file/template_writer.h"
#include "model/document.h"
#include "tool_run.h"

#include <gtest/gtest.h>

namespace ordavel {
namespace {

namespace fs = std::filesystem;
using test::runCommand;
using test::shellQuoted;

class FieldsFormats : public ::testing::Test {
protected:
    void add(BoxType type, std::string text, std::string dataField = {})
    {
        const int index = doc.addBox(type, 10, 10 + 30 * doc.slotCount());
        doc.box(index).attributes.text = std::move(text);
        doc.box(index).dataField = std::move(dataField);
    }
    test::RunResult fields(const std::string& options)
    {
        const fs::path oxf = scratch.path() / "slip.oxf";
        test::FailOnMessage sink;
        EXPECT_TRUE(saveDocument(doc, oxf.string(), sink));
        return runCommand(std::string(ORDAVEL_CLI) + " fields " + options + shellQuoted(oxf));
    }

    test::ScratchDir scratch{"ordavel-fields"};
    Document doc{UnitFactors::fromDpi(96.0)};
};

TEST_F(FieldsFormats, PlainNamesStayAndFormatsComeOnlyWhenAsked)
{
    add(BoxType::EditBox, "${金额|人民币大写} 户名 ${户名} ${金额|金额:2} ${金额|人民币大写}");
    add(BoxType::Label, "No.${#|大写} ${#seq:票号:0000|words} ${账号}");
    add(BoxType::DatePicker, "", "出票日期");
    add(BoxType::Label, "${出票日期|票据日期} ${金额|words} ${用途|不存在} $${x|大写}");
    add(BoxType::PicBox, "${图片|大写}"); // not a text: no placeholders

    const auto plain = fields("");
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(plain.output, "[\"金额\",\"户名\",\"账号\",\"出票日期\",\"用途\"]\n");

    const auto withFormats = fields("--formats ");
    EXPECT_EQ(withFormats.status, 0);
    // Record number and counters are no columns; an unknown format is listed as
    // written (render reports it); a date box's column has no format of its own.
    EXPECT_EQ(withFormats.output, "[{\"name\":\"金额\",\"formats\":[\"人民币大写\",\"金额:2\",\"words\"]},"
                                  "{\"name\":\"户名\",\"formats\":[]},"
                                  "{\"name\":\"账号\",\"formats\":[]},"
                                  "{\"name\":\"出票日期\",\"formats\":[\"票据日期\"]},"
                                  "{\"name\":\"用途\",\"formats\":[\"不存在\"]}]\n");
}

TEST_F(FieldsFormats, TemplateWithoutFormatsAndWithoutFields)
{
    const auto none = fields("--formats ");
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.output, "[]\n");
    add(BoxType::EditBox, "${a} ${b}");
    EXPECT_EQ(fields("").output, "[\"a\",\"b\"]\n");
    EXPECT_EQ(fields("--formats ").output, "[{\"name\":\"a\",\"formats\":[]},{\"name\":\"b\",\"formats\":[]}]\n");
}

} // namespace
} // namespace ordavel
