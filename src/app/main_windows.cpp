// The designer's entry point on Windows. The command line is taken as
// Windows hands it over, in UTF-16, and split by its rules (quotes and
// backslashes), so a template named in any script opens and prints with -p.
#include "app/application_setup.h"
#include "app/command_line.h"
#include "app/startup.h"
#include "file/wide_names_windows.h"

#include <QApplication>

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> wideArguments()
{
    int count = 0;
    wchar_t** words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; words != nullptr && i < count; ++i)
        args.push_back(ordavel::utf8FromWide(words[i]));
    ::LocalFree(words);
    return args;
}

} // namespace

int main(int argc, char** argv)
{
    // --version and --help are plain ASCII: answered on stdout before any
    // window. A windowed program has no console to show -h or /h in: they
    // take the command line's way to the help in a message box.
    if (const auto status = ordavel::answerWithoutWindow(argc, argv, true))
        return *status;
    QApplication app(argc, argv);
    ordavel::setUpApplication(app);
    return ordavel::runDesigner(wideArguments());
}
