// The tool as a Unix command: versions, help per command, PDF on stdout, and
// dump output that builds back into the very same template.
#include "tool_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace ordavel {
namespace {

using test::ScratchDir;
using test::shellQuoted;

const std::string kCli = ORDAVEL_CLI;
const std::string kSample = std::string(ORDAVEL_SOURCE_DIR) + "/samples/waybill.oxf";

struct Output {
    int status = -1;
    std::string out; // stdout alone
    std::string err;
};

// Runs a shell command, keeping stdout and stderr apart.
Output run(const std::string& command)
{
    ScratchDir scratch("ordavel-usage");
    const auto errFile = scratch.path() / "stderr";
    Output result;
    std::FILE* pipe = ::popen(("{ " + command + "; } 2>" + shellQuoted(errFile)).c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        result.out.append(buffer, n);
    const int raw = ::pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream in(errFile);
    std::ostringstream err;
    err << in.rdbuf();
    result.err = err.str();
    return result;
}

std::string readBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TEST(CliVersion, BothProgramsPrintNameAndVersionOnStdout)
{
    const Output cli = run(kCli + " --version");
    EXPECT_EQ(cli.status, 0) << cli.err;
    EXPECT_EQ(cli.out, std::string("ordavel-cli ") + ORDAVEL_VERSION + "\n");
    // No display and no platform plugin: the designer must answer before it needs either.
    const Output app = run("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + std::string(ORDAVEL_APP) +
                           " --version");
    EXPECT_EQ(app.status, 0) << app.err;
    EXPECT_EQ(app.out, std::string("ordavel ") + ORDAVEL_VERSION + "\n");
    EXPECT_EQ(app.err, "");
}

TEST(DesignerWithoutDisplay, HelpAnswersOnStdoutAndTheWindowRefusesCleanly)
{
    const std::string noDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + std::string(ORDAVEL_APP);
    for (const char* word : {"--help", "-h", "/H"}) {
        SCOPED_TRACE(word);
        const Output help = run(noDisplay + " " + word);
        EXPECT_EQ(help.status, 0) << help.err;
        EXPECT_EQ(help.out.rfind("用法: ordavel [文件名 [-p 或 /p]]\n", 0), 0u) << help.out;
        EXPECT_NE(help.out.find("--version"), std::string::npos);
        EXPECT_EQ(help.err, "");
    }

    // The designer itself, and a file to open, need a display: exit 1, not abort().
    for (const std::string& args : {std::string(), " " + kSample}) {
        const Output window = run(noDisplay + args);
        EXPECT_EQ(window.status, 1) << window.err;
        EXPECT_EQ(window.out, "");
        EXPECT_NE(window.err.find("没有可用的显示"), std::string::npos) << window.err;
    }
    // A display that is named but does not answer.
    const Output unanswered = run("env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:7391 " + std::string(ORDAVEL_APP));
    EXPECT_EQ(unanswered.status, 1) << unanswered.err;
    EXPECT_NE(unanswered.err.find("没有可用的显示"), std::string::npos) << unanswered.err;
    // Such a display gives no message box either: the help switch answers on stdout.
    const Output help = run("env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:7391 " + std::string(ORDAVEL_APP) + " /h");
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_EQ(help.out.rfind("用法: ordavel [文件名 [-p 或 /p]]\n", 0), 0u) << help.out;
}

// With a display, --help still answers on stdout and opens no window (-h and
// /h show the help in a message box instead: the start-up tests check that).
TEST(DesignerWithDisplay, LongHelpAnswersOnStdoutAndEnds)
{
    const Output help = run("env QT_QPA_PLATFORM=offscreen " + std::string(ORDAVEL_APP) + " --help");
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_EQ(help.out.rfind("用法: ordavel [文件名 [-p 或 /p]]\n", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("-h, --help"), std::string::npos) << help.out;
}

// The options a usage line names: "[--data FILE|- [--sheet NAME]]" -> --data, --sheet.
std::vector<std::string> optionsIn(const std::string& usage)
{
    std::vector<std::string> options;
    std::istringstream words(usage);
    for (std::string word; words >> word;) {
        word.erase(std::remove_if(word.begin(), word.end(), [](char c) { return std::strchr("[]()", c) != nullptr; }),
                   word.end());
        if (word.size() > 1 && word[0] == '-')
            options.push_back(word);
    }
    return options;
}

TEST(CliHelp, EachCommandPrintsItsOwnUsageAndRunsNothing)
{
    const Output all = run(kCli + " --help");
    EXPECT_EQ(all.status, 0);
    for (const char* command : {"render", "print", "dump", "build", "--version"})
        EXPECT_NE(all.out.find(std::string("ordavel-cli ") + command), std::string::npos) << all.out;

    const struct {
        const char* command;
        const char* option; // one option only that command has
    } rows[] = {{"render", "--dpi"},        {"print", "--copies"},        {"dump", "--pictures"},
                {"build", "FILE.json|-"},   {"fields", "FILE.oxf"},       {"calibrate", "--measured"},
                {"calibration-page", "-o OUT.pdf"}};
    for (const auto& row : rows) {
        const std::string prefix = std::string("usage: ordavel-cli ") + row.command + " ";
        for (const std::string& form : {std::string(row.command) + " --help", std::string(row.command) + " -h",
                                        "help " + std::string(row.command),
                                        // help wins over the other arguments, which are not read
                                        std::string(row.command) + " missing.oxf -o /nonexistent/x --help"}) {
            const Output help = run(kCli + " " + form);
            EXPECT_EQ(help.status, 0) << form << ": " << help.err;
            EXPECT_EQ(help.out.rfind(prefix, 0), 0U) << form << ": " << help.out;
            // The usage is one line, the very line the list of commands shows.
            const std::string usage = help.out.substr(0, help.out.find('\n'));
            EXPECT_NE(usage.find(row.option), std::string::npos) << form << ": " << help.out;
            EXPECT_NE(all.out.find("  ordavel-cli " + usage.substr(std::string("usage: ordavel-cli ").size()) + "\n"),
                      std::string::npos)
                << usage;
            // Each option of the usage has its line of help.
            for (const std::string& option : optionsIn(usage)) {
                const bool described = help.out.find("\n  " + option + " ") != std::string::npos
                    || help.out.find("\n  " + option + ", ") != std::string::npos;
                EXPECT_TRUE(described) << option << " in " << help.out;
            }
        }
        // What the help names is what the command accepts: an option it lacks is refused.
        const Output refused = run(kCli + " " + row.command + " --frobnicate");
        EXPECT_EQ(refused.status, 1) << row.command;
        EXPECT_NE(refused.err.find(std::string("ordavel-cli ") + row.command + ": unknown option \"--frobnicate\""),
                  std::string::npos)
            << refused.err;
        EXPECT_NE(refused.err.find(prefix), std::string::npos) << refused.err;
    }

    const Output unknown = run(kCli + " help frobnicate");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.out, "");
    EXPECT_NE(unknown.err.find("unknown command \"frobnicate\""), std::string::npos) << unknown.err;
}

// The options a command's help names: those of its usage line and those that
// begin a line of their own ("  -o, --output OUT.pdf  ...").
std::set<std::string> optionsOfHelp(const std::string& help)
{
    std::set<std::string> options;
    std::istringstream lines(help);
    std::string line;
    std::getline(lines, line);
    for (const std::string& option : optionsIn(line))
        options.insert(option);
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        for (std::string word; line.rfind("  -", 0) == 0 && words >> word && word.size() > 1 && word[0] == '-';) {
            if (word.back() == ',')
                word.pop_back();
            options.insert(word);
        }
    }
    return options;
}

// The man page's text as it reads, roff's dashes and font changes undone:
// the part of each ".SS COMMAND" subsection, and all the rest together.
struct ManPage {
    std::string general;
    std::map<std::string, std::string> commands;
};

ManPage readManPage(const std::filesystem::path& path)
{
    const auto plain = [](std::string line) {
        for (const char* escape : {"\\fB", "\\fI", "\\fR", "\\fP", "\\&", "\\%"})
            for (std::size_t at; (at = line.find(escape)) != std::string::npos;)
                line.erase(at, 3);
        for (std::size_t at; (at = line.find("\\-")) != std::string::npos;)
            line.erase(at, 1);
        return line;
    };
    ManPage page;
    std::string* part = &page.general;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        line = plain(line);
        if (line.rfind(".SS ", 0) == 0) {
            std::string name = line.substr(4);
            name.erase(std::remove(name.begin(), name.end(), '"'), name.end());
            part = &page.commands[name];
        } else if (line.rfind(".SH ", 0) == 0) {
            part = &page.general;
        }
        *part += line + "\n";
    }
    return page;
}

// Whether `text` has `option` as a word of its own: "--copies" is not in "--copies-column".
bool mentions(const std::string& text, const std::string& option)
{
    const auto partOfName = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_'; };
    for (std::size_t at = text.find(option); at != std::string::npos; at = text.find(option, at + 1)) {
        const std::size_t end = at + option.size();
        if ((at == 0 || !partOfName(text[at - 1])) && (end == text.size() || !partOfName(text[end])))
            return true;
    }
    return false;
}

// Every command `ordavel-cli --help` lists has its subsection in the man page,
// and every option its help names is described there; an option every
// command has (the help itself) may be described once for all.
TEST(CliManPage, DescribesEveryCommandAndOptionTheHelpLists)
{
    const ManPage man = readManPage(std::string(ORDAVEL_SOURCE_DIR) + "/data/man/ordavel-cli.1");
    ASSERT_FALSE(man.commands.empty()) << "no .SS subsection for any command in the man page";
    std::string all;
    for (const auto& [name, text] : man.commands)
        all += text;
    all += man.general;

    Output list = run(kCli + " --help");
    ASSERT_EQ(list.status, 0) << list.err;
    list.out.erase(std::remove(list.out.begin(), list.out.end(), '\r'), list.out.end());
    std::vector<std::string> commands;
    std::set<std::string> leftOut; // "Not in this build: scan, serve." in a build without them
    std::istringstream lines(list.out);
    for (std::string line; std::getline(lines, line);) {
        if (const std::string note = "Not in this build: "; line.rfind(note, 0) == 0) {
            std::istringstream names(line.substr(note.size()));
            for (std::string name; std::getline(names >> std::ws, name, ',');)
                leftOut.insert(name.back() == '.' ? name.substr(0, name.size() - 1) : name);
        }
        std::istringstream words(line);
        std::string program, command;
        if (words >> program >> command && program == "ordavel-cli" && command[0] != '-' && command != "COMMAND")
            commands.push_back(command);
    }
    ASSERT_GE(commands.size(), 5u) << list.out;
    for (const std::string& option : optionsIn(list.out))
        EXPECT_TRUE(mentions(all, option)) << "ordavel-cli --help lists " << option << "; the man page does not";

    std::map<std::string, std::set<std::string>> options;
    for (const std::string& command : commands) {
        Output help = run(kCli + " " + command + " --help");
        EXPECT_EQ(help.status, 0) << command << ": " << help.err;
        help.out.erase(std::remove(help.out.begin(), help.out.end(), '\r'), help.out.end());
        options[command] = optionsOfHelp(help.out);
        EXPECT_FALSE(options[command].empty()) << help.out;
    }
    std::set<std::string> common = options.begin()->second;
    for (const auto& [command, names] : options)
        std::erase_if(common, [&names](const std::string& option) { return !names.count(option); });

    for (const std::string& command : commands) {
        SCOPED_TRACE("ordavel-cli " + command);
        const auto section = man.commands.find(command);
        if (section == man.commands.end()) {
            ADD_FAILURE() << "the man page has no subsection \".SS " << command << "\"";
            continue;
        }
        for (const std::string& option : options[command]) {
            const bool described = common.count(option) ? mentions(all, option) : mentions(section->second, option);
            EXPECT_TRUE(described) << "the help of " << command << " lists " << option
                                   << "; its part of the man page does not";
        }
    }
    // And the man page describes no command the tool does not have.
    for (const auto& [name, text] : man.commands)
        EXPECT_TRUE(std::find(commands.begin(), commands.end(), name) != commands.end() || leftOut.count(name))
            << "the man page describes \"" << name << "\", which ordavel-cli --help does not list";
}

TEST(CliPrint, CopiesOfABatchComeOnlyFromItsData)
{
    ScratchDir scratch("ordavel-copies");
    const auto csv = scratch.path() / "d.csv";
    std::ofstream(csv) << "name\none\n";
    const Output both = run(kCli + " print " + shellQuoted(kSample) + " --data " + shellQuoted(csv)
                            + " --copies 3 --printer no-such-printer-here");
    EXPECT_EQ(both.status, 1);
    EXPECT_NE(both.err.find("--copies does not go with --data"), std::string::npos) << both.err;
}

TEST(CliRender, DashWritesThePdfToStdoutAndNothingOnFailure)
{
    const Output pdf = run(kCli + " render " + shellQuoted(kSample) + " -o -");
    ASSERT_EQ(pdf.status, 0) << pdf.err;
    EXPECT_EQ(pdf.out.rfind("%PDF-", 0), 0U);
    EXPECT_NE(pdf.out.find("%%EOF", pdf.out.size() - 8), std::string::npos);

    // The same page as a file: same size, the same words in it.
    ScratchDir scratch("ordavel-stdout");
    const auto piped = scratch.path() / "piped.pdf";
    std::ofstream(piped, std::ios::binary) << pdf.out;
    const auto text = test::runCommand("pdftotext -layout " + shellQuoted(piped) + " -");
    ASSERT_EQ(text.status, 0) << text.output;
    const auto file = scratch.path() / "file.pdf";
    ASSERT_EQ(run(kCli + " render " + shellQuoted(kSample) + " -o " + shellQuoted(file)).status, 0);
    EXPECT_EQ(test::runCommand("pdftotext -layout " + shellQuoted(file) + " -").output, text.output);
    EXPECT_FALSE(text.output.empty());

    const Output missing = run(kCli + " render " + shellQuoted(scratch.path() / "missing.oxf") + " -o -");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
}

TEST(CliDumpBuildRoundTrip, EmbeddedOrFilePicturesBuildTheSampleByteForByte)
{
    ScratchDir scratch("ordavel-roundtrip");
    const std::string original = readBytes(kSample);
    ASSERT_FALSE(original.empty());

    const auto piped = scratch.path() / "piped.oxf";
    const auto pipe = test::runCommand(kCli + " dump --embed " + shellQuoted(kSample) + " | " + kCli +
                                       " build - -o " + shellQuoted(piped));
    ASSERT_EQ(pipe.status, 0) << pipe.output;
    EXPECT_TRUE(readBytes(piped) == original) << "dump --embed | build changed the template";

    // --pictures: the JSON refers to files in the folder; build finds them from the JSON's folder.
    const auto json = scratch.path() / "waybill.json";
    const auto dumped = run("cd " + shellQuoted(scratch.path()) + " && " + kCli + " dump --pictures pics " +
                            shellQuoted(kSample) + " > waybill.json");
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    EXPECT_TRUE(std::filesystem::exists(scratch.path() / "pics" / "background.jpg"));
    EXPECT_NE(readBytes(json).find("\"file\": \"pics/background.jpg\""), std::string::npos);
    const auto rebuilt = scratch.path() / "rebuilt.oxf";
    const Output build = run(kCli + " build " + shellQuoted(json) + " -o " + shellQuoted(rebuilt));
    ASSERT_EQ(build.status, 0) << build.err;
    EXPECT_TRUE(readBytes(rebuilt) == original) << "dump --pictures then build changed the template";
}

TEST(CliDumpBuildRoundTrip, PictureBoxesGoToTheirOwnFilesAndOptionsAreChecked)
{
    ScratchDir scratch("ordavel-pictures");
    std::ofstream(scratch.path() / "in.json")
        << R"({"boxes": [{"cType": 7}, {"cType": 3, "picture": {"base64": "R0lGODlhAQ=="}}, {"cType": 3}]})";
    const auto oxf = scratch.path() / "in.oxf";
    ASSERT_EQ(run(kCli + " build " + shellQuoted(scratch.path() / "in.json") + " -o " + shellQuoted(oxf)).status, 0);

    const Output dumped = run(kCli + " dump --pictures " + shellQuoted(scratch.path() / "p") + " " + shellQuoted(oxf));
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    EXPECT_EQ(readBytes(scratch.path() / "p" / "picture2.gif"), std::string("GIF89a\x01", 7));
    EXPECT_FALSE(std::filesystem::exists(scratch.path() / "p" / "background.bin")); // no background, no file
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path() / "p"), {}), 1);

    const Output embedded = run(kCli + " dump --embed " + shellQuoted(oxf));
    EXPECT_NE(embedded.out.find("\"base64\": \"R0lGODlhAQ==\""), std::string::npos) << embedded.out;

    for (const std::string& wrong : {std::string(" dump --embed --pictures x "), std::string(" dump --pictures ")}) {
        const Output bad = run(kCli + wrong + shellQuoted(oxf));
        EXPECT_EQ(bad.status, 1) << wrong;
        EXPECT_EQ(bad.out, "") << wrong;
    }
    // A folder that cannot be made fails instead of writing JSON that refers to nothing.
    std::ofstream(scratch.path() / "file") << "x";
    const Output blocked = run(kCli + " dump --pictures " + shellQuoted(scratch.path() / "file" / "sub") + " " +
                               shellQuoted(oxf));
    EXPECT_EQ(blocked.status, 1);
    EXPECT_NE(blocked.err.find("cannot write the picture file"), std::string::npos) << blocked.err;
}

} // namespace
} // namespace ordavel
