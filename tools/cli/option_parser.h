#pragma once
// The one option parser of the ordavel-cli commands. A command declares its
// positional arguments and options once; the same declaration parses the
// command line and writes the one-line usage and the --help text, so the help
// and what is accepted cannot disagree.
//
// Accepted forms: "--name value", "--name=value", "-o value", "-ovalue".
// A value is taken as given even when it starts with "-" ("--offset -1,2",
// "-o -"). "--" ends the options: what follows is positional. "-" on its own
// is positional (standard input or output). An option given twice keeps its
// last value. "-h" or "--help" anywhere before "--" asks for the help, whatever
// else is on the line.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ordavel::cli {

// Checks and keeps an option's value ("" for a flag); returns why the value
// is wrong, or an empty string when it is taken.
using TakeValue = std::function<std::string(const std::string& value)>;

struct OptionDeclaration {
    std::string name{};  // "--data"; or a short-only option, "-o"
    std::string value{}; // the value's name in the usage ("FILE|-"); empty: a flag
    std::string help{};  // one line
    char shortName = 0; // 'o' makes "-o" another name of a long option
    bool required = false;
    std::string within{}; // the option this one goes with ("--data"); shown in its brackets
    int choice = 0;     // options with the same non-zero choice exclude each other;
                        // one of them is needed when any of them is required
};

class OptionParser {
public:
    // `command` is the command's name; `summary` one line on what it does.
    OptionParser(std::string command, std::string summary);

    void option(OptionDeclaration declared, TakeValue take);
    // A flag that sets *target.
    void flag(std::string name, std::string help, bool* target, int choice = 0);
    // A positional argument stored in *target; optional ones come after the required ones.
    void positional(std::string name, std::string help, std::string* target, bool required = true);

    enum class Outcome { Run, Help, Fault };
    Outcome parse(const std::vector<std::string>& args);
    // Why parse() gave Fault.
    const std::string& fault() const { return m_fault; }
    // Whether the option (by its declared name) was on the parsed command line.
    bool given(const std::string& name) const;

    const std::string& command() const { return m_command; }
    // One line without a line break: "render FILE.oxf -o OUT.pdf [--dpi N] ...".
    std::string usage() const;
    // "usage: ordavel-cli " + usage(), the summary, then one line per
    // positional argument and option; each line ends in a line break.
    std::string help() const;

private:
    struct Option {
        OptionDeclaration declared;
        TakeValue take;
        bool given = false;
    };
    struct Positional {
        std::string name;
        std::string help;
        std::string* target;
        bool required;
    };

    Option* find(const std::string& name);
    const Option* find(const std::string& name) const;
    Option* findShort(char name);
    std::string shown(const Option& option) const; // "-o OUT.pdf" with what goes with it
    bool take(Option& option, const std::string& spelled, const std::string& value);
    bool fail(std::string fault);
    void checkTogether();

    std::string m_command;
    std::string m_summary;
    std::vector<Option> m_options;
    std::vector<Positional> m_positionals;
    std::string m_fault;
};

// Parses a command's arguments: prints the help on stdout (status 0), or the
// fault and the usage on stderr (status 1), and returns that status; returns
// nothing when the command is to run.
std::optional<int> parseCommandLine(OptionParser& parser, const std::vector<std::string>& args);

// The one-line usage of a command whose `declare` puts its options, bound to
// a Settings, on a parser.
template <typename Settings>
std::string usageOf(OptionParser (*declare)(Settings&))
{
    Settings settings;
    return declare(settings).usage();
}

// parseCommandLine with the command's options bound to `settings`.
template <typename Settings>
std::optional<int> parseInto(Settings& settings, OptionParser (*declare)(Settings&),
                             const std::vector<std::string>& args)
{
    OptionParser parser = declare(settings);
    return parseCommandLine(parser, args);
}

} // namespace ordavel::cli
