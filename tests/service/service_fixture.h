#pragma once
// A print service under test: its own configuration and templates folder, a
// cups-pdf queue writing into a folder of its own, `ordavel-cli serve` run as
// a child process on a free loopback port, and HTTP calls to it.

#include "tools/cups_queue.h"
#include "tools/tool_run.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace ordavel::test {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;

using cups::FolderQueue;

// The code of each page of every PDF in `folder` (via pdftoppm and zbarimg),
// counted: "" for a page without a readable symbol.
inline std::map<std::string, int> codesOnPages(const fs::path& folder, const fs::path& scratch)
{
    std::map<std::string, int> seen;
    std::error_code ignored;
    int pdfs = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ignored)) {
        if (entry.path().extension() != ".pdf")
            continue;
        const fs::path pages = scratch / ("pages" + std::to_string(++pdfs));
        fs::remove_all(pages, ignored);
        fs::create_directories(pages);
        runCommand("pdftoppm -r 100 -png " + shellQuoted(entry.path()) + " " + shellQuoted(pages / "page"));
        for (const auto& page : fs::directory_iterator(pages, ignored)) {
            const std::string code
                = runCommand("{ zbarimg --nodbus --raw -q " + shellQuoted(page.path()) + " 2>/dev/null; }").output;
            ++seen[code.substr(0, code.find('\n'))];
        }
    }
    return seen;
}

// A running `ordavel-cli serve`, stopped (SIGTERM) by the destructor.
class ServiceProcess {
public:
    // Empty when it listens; otherwise what it said.
    std::string start(const std::vector<std::string>& extra)
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return "no pipe";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addclose(&actions, fds[1]);
        std::vector<std::string> args{ORDAVEL_CLI, "serve", "--port", "0"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const int spawned = ::posix_spawn(&pid, ORDAVEL_CLI, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (spawned != 0) {
            ::close(fds[0]);
            pid = 0;
            return "cannot start ordavel-cli";
        }
        m_out = ::fdopen(fds[0], "r");
        char line[512];
        std::string said;
        while (std::fgets(line, sizeof line, m_out) != nullptr) {
            said += line;
            const std::string text = line;
            const std::string prefix = "listening on http://127.0.0.1:";
            if (text.rfind(prefix, 0) == 0) {
                port = std::stoi(text.substr(prefix.size()));
                return {};
            }
        }
        return "the service did not start: " + said;
    }

    // Sends `signal` and waits for the exit; the exit status, or -signal.
    int stop(int signal = SIGTERM)
    {
        if (pid <= 0) {
            if (m_out != nullptr)
                std::fclose(m_out);
            m_out = nullptr;
            return 0;
        }
        ::kill(pid, signal);
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = 0;
        if (m_out != nullptr)
            std::fclose(m_out);
        m_out = nullptr;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }

    ~ServiceProcess() { stop(SIGKILL); }

    pid_t pid = 0;
    int port = 0;

private:
    std::FILE* m_out = nullptr;
};

struct Reply {
    int status = 0;
    json body;
    std::string raw;
    httplib::Headers headers;
    std::string header(const std::string& name) const
    {
        const auto it = headers.find(name);
        return it == headers.end() ? std::string() : it->second;
    }
    std::string code() const { return body.is_object() && body.contains("error") ? body["error"].value("code", "") : ""; }
};

// One request; `headers` may carry an Origin.
inline Reply call(int port, const std::string& method, const std::string& path, const std::string& token,
                  const std::string& body = {}, httplib::Headers headers = {})
{
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(5, 0);
    client.set_read_timeout(20, 0);
    if (!token.empty())
        headers.emplace("Authorization", "Bearer " + token);
    httplib::Result result = method == "GET"       ? client.Get(path, headers)
        : method == "OPTIONS"                      ? client.Options(path, headers)
                                                   : client.Post(path, headers, body, "application/json");
    Reply reply;
    if (!result)
        return reply;
    reply.status = result->status;
    reply.raw = result->body;
    reply.headers = result->headers;
    reply.body = json::parse(result->body, nullptr, false);
    return reply;
}

// Runs the tool with this environment; its stdout (stderr dropped).
inline RunResult tool(const std::string& args)
{
    return runCommand(std::string(ORDAVEL_CLI) + " " + args);
}

// Waits up to `timeout` for `done`.
inline bool eventually(const std::function<bool()>& done, std::chrono::milliseconds timeout = 30s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (done())
            return true;
        std::this_thread::sleep_for(100ms);
    }
    return done();
}

} // namespace ordavel::test
