// The option parser every ordavel-cli command declares its arguments with.
#include "cli/option_parser.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace ordavel::cli {
namespace {

using Args = std::vector<std::string>;

// A command with each kind of declaration: a positional, a required -o, an
// option with one that goes with it, two that exclude each other, a checked value.
struct Declared {
    std::string file;
    std::string more;
    std::string output;
    std::string data;
    std::string sheet;
    bool embed = false;
    std::string pictures;
    int dpi = 0;
    int dpiTaken = 0; // how often --dpi's value was taken
    OptionParser parser{"try", "Tries the parser."};

    Declared()
    {
        parser.positional("FILE", "the input", &file);
        parser.positional("MORE", "another input", &more, /*required=*/false);
        parser.option({.name = "--output", .value = "OUT", .help = "where to write", .shortName = 'o', .required = true},
                      [this](const std::string& v) {
                          output = v;
                          return std::string();
                      });
        parser.option({.name = "--data", .value = "D", .help = "the data"}, [this](const std::string& v) {
            data = v;
            return std::string();
        });
        parser.option({.name = "--sheet", .value = "NAME", .help = "the sheet", .within = "--data"},
                      [this](const std::string& v) {
                          sheet = v;
                          return std::string();
                      });
        parser.flag("--embed", "embed them", &embed, 1);
        parser.option({.name = "--pictures", .value = "DIR", .help = "write them", .choice = 1},
                      [this](const std::string& v) {
                          pictures = v;
                          return std::string();
                      });
        parser.option({.name = "--dpi", .value = "N", .help = "dots per inch"}, [this](const std::string& v) {
            ++dpiTaken;
            const bool digits
                = !v.empty() && std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; });
            if (!digits)
                return std::string("--dpi takes a whole number");
            dpi = std::stoi(v);
            return std::string();
        });
    }
    OptionParser::Outcome parse(const Args& args) { return parser.parse(args); }
};

TEST(OptionParser, EachFaultIsNamedWithWhatWasGiven)
{
    const struct {
        Args args;
        const char* fault;
    } rows[] = {
        {{"f", "-o", "x", "--frob"}, "unknown option \"--frob\""},
        {{"f", "-o", "x", "-q"}, "unknown option \"-q\""},
        {{"f", "-o", "x", "--frob=1"}, "unknown option \"--frob=1\""},
        {{"f", "-o"}, "-o needs a value (OUT)"},
        {{"f", "--output"}, "--output needs a value (OUT)"},
        {{"f", "-o", "x", "--data="}, "--data needs a value (D)"},
        {{"f", "-o", "x", "--embed=yes"}, "--embed takes no value"},
        {{"-o", "x"}, "missing FILE"},
        {{"f"}, "missing -o OUT"},
        {{"f", "g", "h", "-o", "x"}, "unexpected argument \"h\""},
        {{"f", "-o", "x", "--sheet", "S"}, "--sheet goes with --data"},
        {{"f", "-o", "x", "--pictures", "p", "--embed"}, "give only one of --embed and --pictures"},
        {{"f", "-o", "x", "--dpi", "many"}, "--dpi takes a whole number"},
        // The first fault is the one reported.
        {{"--frob", "-o"}, "unknown option \"--frob\""},
    };
    for (const auto& row : rows) {
        Declared d;
        EXPECT_EQ(d.parse(row.args), OptionParser::Outcome::Fault) << row.fault;
        EXPECT_EQ(d.parser.fault(), row.fault);
    }

    // One of a required choice must be there.
    OptionParser parser("page", "");
    std::string out;
    std::string printer;
    const auto keep = [](std::string* target) {
        return [target](const std::string& v) {
            *target = v;
            return std::string();
        };
    };
    parser.option({.name = "--output", .value = "OUT.pdf", .shortName = 'o', .required = true, .choice = 1}, keep(&out));
    parser.option({.name = "--printer", .value = "NAME", .required = true, .choice = 1}, keep(&printer));
    EXPECT_EQ(parser.parse({}), OptionParser::Outcome::Fault);
    EXPECT_EQ(parser.fault(), "give one of -o and --printer");
    EXPECT_EQ(parser.usage(), "page (-o OUT.pdf | --printer NAME)");
    EXPECT_EQ(parser.parse({"--printer", "P"}), OptionParser::Outcome::Run);
    EXPECT_EQ(printer, "P");
}

TEST(OptionParser, ValuesTakeEitherFormAndAreTakenAsGiven)
{
    Declared d;
    ASSERT_EQ(d.parse({"--data=a=b.csv", "-oout.pdf", "f", "--sheet", "--embed"}), OptionParser::Outcome::Run)
        << d.parser.fault();
    EXPECT_EQ(d.data, "a=b.csv"); // only the first "=" separates
    EXPECT_EQ(d.output, "out.pdf");
    EXPECT_EQ(d.sheet, "--embed"); // a value may look like an option
    EXPECT_FALSE(d.embed);
    EXPECT_TRUE(d.parser.given("--sheet"));
    EXPECT_FALSE(d.parser.given("--embed"));

    Declared spaced;
    ASSERT_EQ(spaced.parse({"f", "--output", "-", "--data", "-", "--dpi=300"}), OptionParser::Outcome::Run);
    EXPECT_EQ(spaced.output, "-");
    EXPECT_EQ(spaced.data, "-");
    EXPECT_EQ(spaced.dpi, 300);
}

TEST(OptionParser, DoubleDashEndsTheOptionsAndADashIsPositional)
{
    Declared d;
    ASSERT_EQ(d.parse({"-", "-o", "x", "--", "--help"}), OptionParser::Outcome::Run) << d.parser.fault();
    EXPECT_EQ(d.file, "-");
    EXPECT_EQ(d.more, "--help");

    Declared after;
    ASSERT_EQ(after.parse({"-o", "x", "--", "--data", "--"}), OptionParser::Outcome::Run) << after.parser.fault();
    EXPECT_EQ(after.file, "--data");
    EXPECT_EQ(after.more, "--");
    EXPECT_TRUE(after.data.empty());

    // Options after "--" are not options: -o is then missing.
    Declared late;
    EXPECT_EQ(late.parse({"f", "--", "-o", "x"}), OptionParser::Outcome::Fault);
    EXPECT_EQ(late.parser.fault(), "unexpected argument \"x\"");
}

TEST(OptionParser, RepeatedOptionsKeepTheLastValueButEveryValueIsChecked)
{
    Declared d;
    ASSERT_EQ(d.parse({"f", "-o", "a", "--output=b", "--dpi", "72", "--dpi", "96", "--embed", "--embed"}),
              OptionParser::Outcome::Run)
        << d.parser.fault();
    EXPECT_EQ(d.output, "b");
    EXPECT_EQ(d.dpi, 96);
    EXPECT_EQ(d.dpiTaken, 2);
    EXPECT_TRUE(d.embed); // the same option twice is not two of a choice

    Declared bad;
    EXPECT_EQ(bad.parse({"f", "-o", "a", "--dpi", "x", "--dpi", "96"}), OptionParser::Outcome::Fault);
    EXPECT_EQ(bad.parser.fault(), "--dpi takes a whole number");
}

TEST(OptionParser, HelpWinsAndComesFromTheSameDeclaration)
{
    Declared d;
    // Help before "--" wins over faults and runs no check of the rest.
    EXPECT_EQ(d.parse({"--frob", "-o", "--dpi", "x", "-h"}), OptionParser::Outcome::Help);
    EXPECT_EQ(d.parse({"--help", "--", "-o"}), OptionParser::Outcome::Help);
    // Parsing again starts afresh.
    EXPECT_EQ(d.parse({"f", "-o", "x"}), OptionParser::Outcome::Run) << d.parser.fault();
    EXPECT_TRUE(d.parser.fault().empty());
    EXPECT_FALSE(d.parser.given("--dpi"));

    const std::string usage = d.parser.usage();
    EXPECT_EQ(usage, "try FILE [MORE] -o OUT [--data D [--sheet NAME]] [--embed | --pictures DIR] [--dpi N]");
    const std::string help = d.parser.help();
    EXPECT_EQ(help.rfind("usage: ordavel-cli " + usage + "\nTries the parser.\n", 0), 0U) << help;
    // Every declared option has its own line with its help.
    for (const char* line : {"  -o, --output OUT", "  --data D", "  --sheet NAME", "  --embed", "  --pictures DIR",
                             "  --dpi N", "  -h, --help"})
        EXPECT_NE(help.find(std::string("\n") + line + " "), std::string::npos) << line << "\n" << help;
    EXPECT_NE(help.find("with --data: the sheet\n"), std::string::npos) << help;
}

} // namespace
} // namespace ordavel::cli
