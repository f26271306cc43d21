#include "option_parser.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace ordavel::cli {

namespace {

// "a", "a and b", "a, b and c".
std::string listed(const std::vector<std::string>& names)
{
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            text += i + 1 == names.size() ? " and " : ", ";
        text += names[i];
    }
    return text;
}

bool isHelp(const std::string& arg) { return arg == "-h" || arg == "--help"; }

// The name the usage shows: the short one when there is one ("-o").
std::string label(const OptionDeclaration& declared)
{
    return declared.shortName != 0 ? std::string("-") + declared.shortName : declared.name;
}

} // namespace

OptionParser::OptionParser(std::string command, std::string summary)
    : m_command(std::move(command)), m_summary(std::move(summary))
{
}

void OptionParser::option(OptionDeclaration declared, TakeValue take)
{
    m_options.push_back({std::move(declared), std::move(take)});
}

void OptionParser::flag(std::string name, std::string help, bool* target, int choice)
{
    OptionDeclaration declared;
    declared.name = std::move(name);
    declared.help = std::move(help);
    declared.choice = choice;
    option(std::move(declared), [target](const std::string&) {
        *target = true;
        return std::string();
    });
}

void OptionParser::positional(std::string name, std::string help, std::string* target, bool required)
{
    m_positionals.push_back({std::move(name), std::move(help), target, required});
}

OptionParser::Option* OptionParser::find(const std::string& name)
{
    for (auto& option : m_options)
        if (option.declared.name == name)
            return &option;
    return nullptr;
}

const OptionParser::Option* OptionParser::find(const std::string& name) const
{
    return const_cast<OptionParser*>(this)->find(name);
}

OptionParser::Option* OptionParser::findShort(char name)
{
    for (auto& option : m_options)
        if (option.declared.shortName == name)
            return &option;
    return nullptr;
}

bool OptionParser::given(const std::string& name) const
{
    const Option* option = find(name);
    return option != nullptr && option->given;
}

bool OptionParser::fail(std::string fault)
{
    // The first fault is the one reported; later ones often follow from it.
    if (m_fault.empty())
        m_fault = std::move(fault);
    return false;
}

bool OptionParser::take(Option& option, const std::string& spelled, const std::string& value)
{
    option.given = true;
    if (!m_fault.empty())
        return false;
    if (!option.declared.value.empty() && value.empty())
        return fail(spelled + " needs a value (" + option.declared.value + ")");
    const std::string fault = option.take(value);
    return fault.empty() || fail(fault);
}

OptionParser::Outcome OptionParser::parse(const std::vector<std::string>& args)
{
    m_fault.clear();
    for (auto& option : m_options)
        option.given = false;
    bool help = false;
    bool optionsEnded = false;
    std::size_t nextPositional = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && isHelp(arg)) {
            help = true;
            continue;
        }
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (nextPositional < m_positionals.size())
                *m_positionals[nextPositional++].target = arg;
            else
                fail("unexpected argument \"" + arg + "\"");
            continue;
        }
        Option* option = nullptr;
        std::string spelled;                 // the option's name as given: "--output" or "-o"
        std::optional<std::string> attached; // "--name=value", "-ovalue"
        if (arg[1] == '-') {
            const std::size_t equals = arg.find('=');
            spelled = arg.substr(0, equals);
            option = find(spelled);
            if (equals != std::string::npos)
                attached = arg.substr(equals + 1);
        } else {
            spelled = arg.substr(0, 2);
            option = find(spelled);
            if (option == nullptr)
                option = findShort(arg[1]);
            if (arg.size() > 2)
                attached = arg.substr(2);
        }
        if (option == nullptr || (attached && arg[1] != '-' && option->declared.value.empty())) {
            fail("unknown option \"" + arg + "\"");
            continue;
        }
        if (option->declared.value.empty()) {
            if (attached)
                fail(spelled + " takes no value");
            else
                take(*option, spelled, {});
        } else if (attached) {
            take(*option, spelled, *attached);
        } else if (i + 1 < args.size()) {
            take(*option, spelled, args[++i]);
        } else {
            option->given = true;
            fail(spelled + " needs a value (" + option->declared.value + ")");
        }
    }
    if (help)
        return Outcome::Help;
    for (std::size_t k = nextPositional; k < m_positionals.size(); ++k)
        if (m_positionals[k].required)
            fail("missing " + m_positionals[k].name);
    checkTogether();
    return m_fault.empty() ? Outcome::Run : Outcome::Fault;
}

void OptionParser::checkTogether()
{
    std::set<int> choices;
    for (const auto& option : m_options) {
        const OptionDeclaration& declared = option.declared;
        if (declared.choice != 0)
            choices.insert(declared.choice);
        else if (declared.required && !option.given)
            fail("missing " + shown(option));
        if (option.given && !declared.within.empty() && !given(declared.within))
            fail(label(declared) + " goes with " + declared.within);
    }
    for (const int choice : choices) {
        std::vector<std::string> all;
        std::vector<std::string> taken;
        bool required = false;
        for (const auto& option : m_options) {
            if (option.declared.choice != choice)
                continue;
            all.push_back(label(option.declared));
            required = required || option.declared.required;
            if (option.given)
                taken.push_back(label(option.declared));
        }
        if (taken.size() > 1)
            fail("give only one of " + listed(taken));
        else if (taken.empty() && required)
            fail("give one of " + listed(all));
    }
}

std::string OptionParser::shown(const Option& option) const
{
    const OptionDeclaration& declared = option.declared;
    std::string text = label(declared);
    if (!declared.value.empty())
        text += " " + declared.value;
    for (const auto& inner : m_options)
        if (inner.declared.within == declared.name)
            text += " [" + shown(inner) + "]";
    return text;
}

std::string OptionParser::usage() const
{
    std::string line = m_command;
    for (const auto& positional : m_positionals)
        line += positional.required ? " " + positional.name : " [" + positional.name + "]";
    std::set<int> shownChoices;
    for (const auto& option : m_options) {
        const OptionDeclaration& declared = option.declared;
        if (!declared.within.empty())
            continue; // inside the brackets of the option it goes with
        if (declared.choice == 0) {
            line += declared.required ? " " + shown(option) : " [" + shown(option) + "]";
            continue;
        }
        if (!shownChoices.insert(declared.choice).second)
            continue;
        std::string alternatives;
        bool required = false;
        for (const auto& other : m_options) {
            if (other.declared.choice != declared.choice)
                continue;
            alternatives += (alternatives.empty() ? "" : " | ") + shown(other);
            required = required || other.declared.required;
        }
        line += required ? " (" + alternatives + ")" : " [" + alternatives + "]";
    }
    return line;
}

std::string OptionParser::help() const
{
    std::vector<std::pair<std::string, std::string>> rows;
    for (const auto& positional : m_positionals)
        rows.emplace_back(positional.name, positional.help);
    for (const auto& option : m_options) {
        const OptionDeclaration& declared = option.declared;
        std::string left = declared.shortName != 0 ? std::string("-") + declared.shortName + ", " + declared.name : declared.name;
        if (!declared.value.empty())
            left += " " + declared.value;
        std::string right = declared.within.empty() ? declared.help : "with " + declared.within + ": " + declared.help;
        rows.emplace_back(left, right);
    }
    rows.emplace_back("-h, --help", "this help");
    std::size_t width = 0;
    for (const auto& row : rows)
        width = std::max(width, row.first.size());
    width = std::min<std::size_t>(width, 30);
    std::string text = "usage: ordavel-cli " + usage() + "\n" + m_summary + "\n";
    for (const auto& [left, right] : rows) {
        text += "  " + left;
        text += left.size() < width ? std::string(width - left.size(), ' ') : std::string();
        text += "  " + right + "\n";
    }
    return text;
}

std::optional<int> parseCommandLine(OptionParser& parser, const std::vector<std::string>& args)
{
    switch (parser.parse(args)) {
    case OptionParser::Outcome::Help:
        std::fputs(parser.help().c_str(), stdout);
        return 0;
    case OptionParser::Outcome::Fault:
        std::fprintf(stderr, "ordavel-cli %s: %s\nusage: ordavel-cli %s\n", parser.command().c_str(),
                     parser.fault().c_str(), parser.usage().c_str());
        return 1;
    case OptionParser::Outcome::Run:
        break;
    }
    return std::nullopt;
}

} // namespace ordavel::cli
