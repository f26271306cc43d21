#include "app/command_line.h"

#include "app/main_window.h"
#include "file/path_name.h"
#include "platform/prompter.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace ordavel {

const char* const kHelpText =
    "命令行格式:\r\n\r\n(路径)\\Ordavel.exe 文件名 [-p 或 /p] 直接打印\r\n\r\n(路径)\\Ordavel.exe [-h 或 /h] 查看帮助";
const char* const kWrongFormatText =
    "错误的命令行格式。\r\n\r\n提示:(路径)\\Ordavel.exe 文件名 [-p 或 /p] 直接打印\r\n\r\n"
    "(路径)\\Ordavel.exe [-h 或 /h] 查看帮助";
const char* const kTooManyArgumentsText =
    "错误的命令行格式,提供了太多的参数。\r\n\r\n提示:(路径)\\Ordavel.exe 文件名 [-p 或 /p] 直接打印\r\n\r\n"
    "(路径)\\Ordavel.exe [-h 或 /h] 查看帮助";
const char* const kUsageText = "用法: ordavel [文件名 [-p 或 /p]]\n"
                               "\n"
                               "  ordavel               打开设计器\n"
                               "  ordavel 文件名        打开模板\n"
                               "  ordavel 文件名 -p     直接打印模板后退出\n"
                               "  ordavel -h, --help    查看帮助\n"
                               "  ordavel --version     显示版本\n"
                               "\n"
                               "不开窗口的渲染、打印和校准见 ordavel-cli --help。\n";
const char* const kNoDisplayText = "ordavel: 没有可用的显示，无法打开设计器窗口 (DISPLAY 或 WAYLAND_DISPLAY)。\n"
                                   "不开窗口的渲染和打印请用 ordavel-cli。\n";

namespace {

std::string lower(std::string word)
{
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return word;
}

void warn(MainWindow& window, const char* text, const char* caption)
{
    window.prompter().show(Message{text, caption, MessageIcon::Exclamation, MessageButtons::Ok});
}

// Command-line names are used as the bytes the system passed: a name is not
// necessarily UTF-8 (a disk written elsewhere may hold GBK names), and a
// detour through QString would turn such bytes into another name. A
// path made by pathOfName keeps them as they are on POSIX systems and
// decodes them as UTF-8 on Windows.
bool isExistingFile(const std::string& name)
{
    std::error_code error;
    return !name.empty() && std::filesystem::is_regular_file(pathOfName(name), error);
}

// The name made absolute against the current folder, with "." and ".."
// folded away as written (links are not resolved).
std::string fullPath(const std::string& name)
{
    if (name.empty())
        return name;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(pathOfName(name), error);
    return error ? name : absolute.lexically_normal().string();
}

} // namespace

std::vector<std::string> splitCommandLine(const std::string& line)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (c == ' ' && !quoted) {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

std::vector<std::string> argumentsFromArgv(int argc, char** argv)
{
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (word.size() >= 2 && word.front() == '"' && word.back() == '"')
            word = word.substr(1, word.size() - 2);
        words.push_back(word);
    }
    return words;
}

bool isPrintSwitch(const std::string& word)
{
    const std::string w = lower(word);
    return w == "-p" || w == "/p";
}

bool isHelpSwitch(const std::string& word)
{
    const std::string w = lower(word);
    return w == "-h" || w == "/h";
}

std::optional<int> answerWithoutWindow(int argc, char** argv, bool display, std::FILE* out)
{
    if (argc != 2)
        return std::nullopt;
    const std::string word = argv[1];
    if (word == "--version")
        std::fprintf(out, "ordavel %s\n", ORDAVEL_VERSION);
    else if (word == "--help" || (isHelpSwitch(word) && !display))
        std::fputs(kUsageText, out);
    else
        return std::nullopt;
    return std::fflush(out) == 0 ? 0 : 1;
}

bool displayNamed(char* (*getenv)(const char*))
{
#if defined(_WIN32) || defined(__APPLE__)
    (void)getenv;
    return true;
#else
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = getenv(name);
        if (value != nullptr && *value != '\0')
            return true;
    }
    return false;
#endif
}

std::optional<int> runCommandLine(MainWindow& window, const std::vector<std::string>& args)
{
    Document& doc = window.document();
    switch (args.size()) {
    case 0:
        return std::nullopt;
    case 1:
        if (isExistingFile(args[0])) {
            if (window.openTemplate(fullPath(args[0])))
                doc.clearSelection();
            return std::nullopt;
        }
        warn(window, isHelpSwitch(args[0]) ? kHelpText : kWrongFormatText, "打开文件");
        doc.newDocument();
        return std::nullopt;
    case 2:
        if (!isPrintSwitch(args[1])) {
            doc.setFileName(fullPath(args[0]));
            warn(window, kWrongFormatText, "打印文件");
            return kExitNotPrinted;
        }
        // A template that did not load prints nothing: an empty page on a
        // pre-printed form would waste the form.
        if (!window.openTemplate(fullPath(args[0])))
            return kExitNotPrinted;
        doc.clearSelection();
        return window.print() ? kExitPrinted : kExitPrintCancelled;
    default:
        warn(window, kTooManyArgumentsText, "打开文件");
        return std::nullopt;
    }
}

} // namespace ordavel
