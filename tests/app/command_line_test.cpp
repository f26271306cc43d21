#include "app/command_line.h"

#include "support/pdf_text.h"
#include "window_fixture.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <filesystem>
#include <utility>

namespace ordavel {
namespace {

using CommandLineTest = WindowTest;

Message exclamation(const char* text, const char* caption)
{
    return Message{text, caption, MessageIcon::Exclamation, MessageButtons::Ok};
}

TEST(CommandLineWords, QuotedPartsKeepSpacesAndLoseTheirQuotes)
{
    using Words = std::vector<std::string>;
    EXPECT_EQ(splitCommandLine(""), Words{});
    EXPECT_EQ(splitCommandLine("a.oxf  -p"), (Words{"a.oxf", "-p"}));
    EXPECT_EQ(splitCommandLine("\"/tmp/my forms/a b.oxf\" /P"), (Words{"/tmp/my forms/a b.oxf", "/P"}));
    EXPECT_EQ(splitCommandLine("\"\" x"), (Words{"", "x"}));
    EXPECT_TRUE(isPrintSwitch("-P") && isPrintSwitch("/p") && !isPrintSwitch("-pp"));
    EXPECT_TRUE(isHelpSwitch("/H") && isHelpSwitch("-h") && !isHelpSwitch("h"));
}

// What answerWithoutWindow writes for `word` alone, and its status.
std::pair<std::optional<int>, std::string> answered(const char* word, bool display)
{
    std::string program = "ordavel";
    std::string argument = word;
    char* argv[] = {program.data(), argument.data(), nullptr};
    std::FILE* out = std::tmpfile();
    const std::optional<int> status = answerWithoutWindow(2, argv, display, out);
    std::string text(4096, '\0');
    std::rewind(out);
    text.resize(std::fread(text.data(), 1, text.size(), out));
    std::fclose(out);
    return {status, text};
}

TEST(CommandLineWithoutWindow, HelpSwitchesReachTheWindowWhenThereIsADisplay)
{
    // With a display the help switches are the window's: nothing on stdout.
    for (const char* word : {"-h", "/h", "/H", "-H"}) {
        EXPECT_EQ(answered(word, true), std::make_pair(std::optional<int>(), std::string())) << word;
        EXPECT_EQ(answered(word, false), std::make_pair(std::optional<int>(0), std::string(kUsageText))) << word;
    }
    // --help and --version answer on stdout with or without one.
    for (const bool display : {true, false}) {
        EXPECT_EQ(answered("--help", display), std::make_pair(std::optional<int>(0), std::string(kUsageText)));
        const auto version = answered("--version", display);
        EXPECT_EQ(version.first, 0);
        EXPECT_EQ(version.second.rfind("ordavel ", 0), 0u) << version.second;
        EXPECT_EQ(answered("--HELP", display).first, std::nullopt); // long options are not switches
        EXPECT_EQ(answered("-p", display).first, std::nullopt);
    }
}

TEST_F(CommandLineTest, HelpAndWrongSingleArgumentsWarnAndGoOn)
{
    EXPECT_EQ(runCommandLine(*window, {"/H"}), std::nullopt);
    EXPECT_EQ(runCommandLine(*window, {"-x"}), std::nullopt);
    EXPECT_EQ(runCommandLine(*window, {"a.oxf", "b", "-p"}), std::nullopt);
    ASSERT_EQ(prompter.messages.size(), 3u);
    EXPECT_EQ(prompter.messages[0], exclamation(kHelpText, "打开文件"));
    EXPECT_EQ(prompter.messages[1], exclamation(kWrongFormatText, "打开文件"));
    EXPECT_EQ(prompter.messages[2], exclamation(kTooManyArgumentsText, "打开文件"));
    EXPECT_EQ(std::string(kHelpText),
              "命令行格式:\r\n\r\n(路径)\\Ordavel.exe 文件名 [-p 或 /p] 直接打印\r\n\r\n"
              "(路径)\\Ordavel.exe [-h 或 /h] 查看帮助");
    EXPECT_EQ(doc().liveBoxCount(), 0);
    EXPECT_EQ(doc().appMode(), AppMode::DesignMode);
    EXPECT_TRUE(doc().fileName().empty());
}

TEST_F(CommandLineTest, OneExistingFileOpensItInEditMode)
{
    QDir(folder.path()).mkdir(QStringLiteral("my forms"));
    const std::string path = writeTextTemplate(QStringLiteral("my forms/a b.oxf"), "寄件人");
    EXPECT_EQ(runCommandLine(*window, splitCommandLine("\"" + path + "\"")), std::nullopt);
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(doc().fileName(), path);
    EXPECT_EQ(doc().appMode(), AppMode::EditMode);
    ASSERT_EQ(doc().liveBoxCount(), 1);
    EXPECT_EQ(doc().box(1).attributes.text, "寄件人");
    EXPECT_TRUE(doc().selection().empty());
    EXPECT_FALSE(doc().modified());
}

TEST_F(CommandLineTest, AFileThatIsNotATemplateLeavesAnEmptyUntitledDocument)
{
    const QString path = folder.filePath(QStringLiteral("notes.txt"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("just some text\n");
    file.close();
    EXPECT_EQ(runCommandLine(*window, {path.toStdString()}), std::nullopt);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, "打开文件失败。\r\n文件名：(" + path.toStdString() + ")");
    EXPECT_EQ(prompter.messages[0].icon, MessageIcon::Stop);
    EXPECT_TRUE(doc().fileName().empty());
    EXPECT_EQ(doc().liveBoxCount(), 0);
}

TEST_F(CommandLineTest, WrongSwitchWarnsAndEndsWithoutPrinting)
{
    const std::string path = writeTextTemplate(QStringLiteral("a.oxf"), "x");
    EXPECT_EQ(runCommandLine(*window, {path, "-q"}), kExitNotPrinted);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0], exclamation(kWrongFormatText, "打印文件"));
    EXPECT_EQ(std::count(prompter.requests.begin(), prompter.requests.end(), "printer"), 0);
}

TEST_F(CommandLineTest, FailedLoadWithPrintSwitchPrintsNothing)
{
    const std::string missing = folder.filePath(QStringLiteral("gone.oxf")).toStdString();
    prompter.printers.push_back(true);
    EXPECT_EQ(runCommandLine(*window, {missing, "-p"}), kExitNotPrinted);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, "打开文件失败。\r\n文件名：(" + missing + ")");
    EXPECT_EQ(std::count(prompter.requests.begin(), prompter.requests.end(), "printer"), 0);
}

TEST_F(CommandLineTest, PrintSwitchPrintsTheTemplateAndReportsTheOutcome)
{
    const std::string path = writeTextTemplate(QStringLiteral("a.oxf"), "ORDAVELPRINT");
    // A cancelled print dialog: nothing printed, non-zero status.
    EXPECT_EQ(runCommandLine(*window, {path, "-P"}), kExitPrintCancelled);
    EXPECT_EQ(prompter.requests, std::vector<std::string>{"printer"});

    const std::string pdf = folder.filePath(QStringLiteral("out.pdf")).toStdString();
    prompter.printers.push_back(true);
    prompter.printToFile = pdf;
    EXPECT_EQ(runCommandLine(*window, {path, "/p"}), kExitPrinted);
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_NE(test::pdfText(pdf).find("ORDAVELPRINT"), std::string::npos);
}

// "表单.oxf" in GBK bytes: not UTF-8, as on disks written by other systems.
const std::string kGbkName = "\xB1\xED\xB5\xA5.oxf";

TEST_F(CommandLineTest, ANameInGbkBytesOpensThatFileAndSavesBackToIt)
{
    const std::string written = writeTextTemplate(QStringLiteral("utf8.oxf"), "寄件人");
    const std::string folderBytes = folder.path().toStdString();
    const std::string path = folderBytes + "/" + kGbkName;
    ASSERT_EQ(std::rename(written.c_str(), path.c_str()), 0);
    struct RemoveAtEnd { // QTemporaryDir cannot delete a name that is not UTF-8
        std::string path;
        ~RemoveAtEnd() { std::remove(path.c_str()); }
    } const removeAtEnd{path};

    std::string program = "ordavel";
    std::string argument = path;
    char* argv[] = {program.data(), argument.data(), nullptr};
    EXPECT_EQ(runCommandLine(*window, argumentsFromArgv(2, argv)), std::nullopt);
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(doc().fileName(), path); // the same bytes
    ASSERT_EQ(doc().liveBoxCount(), 1);
    EXPECT_EQ(doc().box(1).attributes.text, "寄件人");

    // Saving writes the file of that name, and no other.
    doc().box(1).attributes.text = "收件人";
    doc().boxEdited(1);
    window->dispatch(DesignerCommand::Save);
    EXPECT_TRUE(prompter.messages.empty());
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folderBytes))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{kGbkName});

    // A name relative to the current folder, and the print switch.
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    const std::optional<int> opened = runCommandLine(*window, {kGbkName});
    const std::optional<int> printed = runCommandLine(*window, {"./" + kGbkName, "-p"});
    QDir::setCurrent(before);
    EXPECT_EQ(opened, std::nullopt);
    EXPECT_EQ(printed, kExitPrintCancelled); // loaded; the print dialog was cancelled
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(doc().fileName(), path);
    ASSERT_EQ(doc().liveBoxCount(), 1);
    EXPECT_EQ(doc().box(1).attributes.text, "收件人");
}

} // namespace
} // namespace ordavel
