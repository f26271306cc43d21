#pragma once
// The command line read at the end of start-up: no argument; a template file
// name (open it); a file name and -p or /p (print it and end); -h or /h (help).

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace ordavel {

class MainWindow;

// Words of a raw command line: separated by spaces; a part in double quotes
// may hold spaces and loses its quotes.
std::vector<std::string> splitCommandLine(const std::string& line);
// The words after the program's own name, as the bytes the system passed (a
// file name need not be UTF-8). The system has split them already; quotes
// that still enclose a word are removed as on a raw command line.
std::vector<std::string> argumentsFromArgv(int argc, char** argv);

// "-p" and "/p" in any case, likewise "-h" and "/h".
bool isPrintSwitch(const std::string& word);
bool isHelpSwitch(const std::string& word);

extern const char* const kHelpText;
// The usage `ordavel --help` prints on stdout.
extern const char* const kUsageText;
// What the designer says on stderr when it has no display to open on.
extern const char* const kNoDisplayText;
extern const char* const kWrongFormatText;
extern const char* const kTooManyArgumentsText;

// Exit statuses of a two-argument command line.
inline constexpr int kExitPrinted = 0;
inline constexpr int kExitPrintCancelled = 1; // the print dialog was cancelled or the job failed
inline constexpr int kExitNotPrinted = 2;     // the template did not load, or a wrong switch

// `--version` and `--help` alone on the command line are answered on `out`
// (stdout) before any window or display is needed; so are the help switches
// when there is no display, since their message box could not be shown. The
// exit status then, nothing for every other command line.
std::optional<int> answerWithoutWindow(int argc, char** argv, bool display, std::FILE* out = stdout);

// Whether the environment names a display for a window (through `getenv`):
// a Qt platform plugin, an X display or a Wayland one. Other systems always
// have one.
bool displayNamed(char* (*getenv)(const char*));

// Runs the command line on a shown main window. Returns the exit status when
// the program must end now (the two-argument forms), nothing when it goes on.
std::optional<int> runCommandLine(MainWindow& window, const std::vector<std::string>& args);

} // namespace ordavel
