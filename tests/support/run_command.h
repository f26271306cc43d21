#pragma once
// Running other programs from the tests through the shell. A program the
// command line starts that is not installed fails the test with its name,
// before anything runs, rather than with a puzzling empty output later on.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace ordavel::test {

struct RunResult {
    int status = -1;
    std::string output; // stdout and stderr together
};

// Whether `program` can be started: a path to an executable file, or a name
// found executable in one of the folders of PATH.
inline bool programInstalled(const std::string& program)
{
    if (program.empty())
        return false;
    if (program.find('/') != std::string::npos)
        return ::access(program.c_str(), X_OK) == 0 && !std::filesystem::is_directory(program);
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        const std::string folder = end > start ? folders.substr(start, end - start) : ".";
        const std::string candidate = folder + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0 && !std::filesystem::is_directory(candidate))
            return true;
        start = end + 1;
    }
    return false;
}

// The programs a shell command line starts: the first word of each simple
// command, after variable assignments, redirections, `env` and `nice` with
// their options, and `exec`; shell keywords and builtins are left out. Quotes are removed;
// what a word expands to ($VAR, $(...)) is not looked into.
inline std::vector<std::string> programsIn(const std::string& command)
{
    static const char* const kShellOwn[] = {"cd", "command", "test", "[", "true", "false", "echo", "printf", "exit",
                                            "export", "set", "unset", ":", ".", "wait", "kill", "read", "trap",
                                            "umask", "ulimit", "if", "then", "else", "elif", "fi", "while", "do",
                                            "done", "for", "case", "esac", "!", "type"};
    std::vector<std::string> programs;
    bool atStart = true;     // the next word starts a simple command
    bool afterEnv = false;   // after `env` or `nice`: their options (and assignments) come first
    bool skipValue = false;  // the value of `env -u NAME` or a redirection's target
    std::string word;
    bool inWord = false;
    char quote = 0;
    const auto endWord = [&] {
        if (!inWord)
            return;
        inWord = false;
        const std::string w = word;
        word.clear();
        if (!atStart || w.empty())
            return;
        if (skipValue) {
            skipValue = false;
            return;
        }
        // A redirection: digits, then < or > (or &>), then its target, maybe in the next word.
        const std::size_t digits = std::min(w.find_first_not_of("0123456789"), w.size());
        if (w.compare(digits, 1, "<") == 0 || w.compare(digits, 1, ">") == 0 || w.compare(digits, 2, "&>") == 0) {
            skipValue = w.find_first_not_of("<>&", digits) == std::string::npos;
            return;
        }
        const auto equals = w.find('=');
        if (equals != std::string::npos && equals > 0 && w.find_first_of("/'\"") > equals)
            return; // NAME=value
        if (w[0] == '$') {
            atStart = afterEnv = false; // a program named by a variable: not known here
            return;
        }
        if (afterEnv && w[0] == '-') {
            skipValue = w == "-u" || w == "--unset" || w == "-C" || w == "--chdir" || w == "-n";
            return;
        }
        if (w == "env" || w == "exec" || w == "nice" || w == "nohup") {
            afterEnv = w == "env" || w == "nice";
            return;
        }
        for (const char* own : kShellOwn)
            if (w == own) {
                atStart = w == "if" || w == "then" || w == "else" || w == "elif" || w == "while" || w == "do"
                    || w == "!";
                afterEnv = false;
                return;
            }
        programs.push_back(w);
        atStart = false;
        afterEnv = false;
    };
    for (std::size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        if (quote != 0) {
            if (c == quote)
                quote = 0;
            else if (c == '\\' && quote == '"' && i + 1 < command.size())
                word += command[++i];
            else
                word += c;
            continue;
        }
        if (c == '$' && i + 1 < command.size() && command[i + 1] == '{') {
            const std::size_t close = command.find('}', i);
            word += command.substr(i, close == std::string::npos ? std::string::npos : close + 1 - i);
            inWord = true;
            i = close == std::string::npos ? command.size() : close;
        } else if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;
        } else if (c == '\\' && i + 1 < command.size()) {
            word += command[++i];
            inWord = true;
        } else if (c == ' ' || c == '\t' || c == '\n') {
            endWord();
        } else if (c == '|' || c == '&' || c == ';' || c == '(' || c == ')' || c == '{' || c == '}') {
            // "2>&1" and ">&2" keep their ampersand: they are redirections.
            if (c == '&' && inWord && !word.empty() && word.back() == '>') {
                word += c;
                continue;
            }
            endWord();
            atStart = true;
            afterEnv = false;
            skipValue = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    endWord();
    return programs;
}

// The programs of `command` that are not installed, each reported as a
// failure of the running test; true when all are there.
inline bool programsInstalled(const std::string& command)
{
    bool all = true;
    for (const std::string& program : programsIn(command)) {
        if (programInstalled(program))
            continue;
        ADD_FAILURE() << "the program \"" << program << "\" is not installed; the test runs it in: " << command
                      << "\n(scripts/setup --test installs what the tests run)";
        all = false;
    }
    return all;
}

// Runs `command` through the shell; status is the exit status (-1 when it
// did not run, 127 when a program it starts is not installed).
inline RunResult runCommand(const std::string& command)
{
    RunResult result;
    if (!programsInstalled(command)) {
        result.status = 127;
        return result;
    }
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    const int raw = ::pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

inline std::string shellQuoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

} // namespace ordavel::test
