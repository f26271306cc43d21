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

// A test of the print service: its configuration, journal and templates in
// a scratch folder of its own, a cups-pdf queue writing into a folder of its
// own (the test skips when there can be none), the service started on
// demand and stopped at the end. Derived fixtures call SetUp first and
// return when it skipped or failed.
class ServiceTest : public ::testing::Test {
protected:
    explicit ServiceTest(const std::string& stem) : scratch(stem), m_stem(stem) {}

    void SetUp() override
    {
        ::chmod(scratch.path().c_str(), 0777);
        ::setenv("XDG_CONFIG_HOME", (scratch.path() / "config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (scratch.path() / "data").c_str(), 1);
        fs::create_directories(templates);
        if (const std::string why = queue.start(m_stem, scratch.path() / "out"); !why.empty())
            GTEST_SKIP() << "no CUPS queue: " << why;
    }

    void TearDown() override
    {
        service.stop();
        ::unsetenv("XDG_CONFIG_HOME");
        ::unsetenv("XDG_DATA_HOME");
    }

    bool setUpStopped() const { return IsSkipped() || HasFatalFailure(); }

    void startService(const std::vector<std::string>& extra = {})
    {
        std::vector<std::string> args{"--templates", templates.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        const std::string why = service.start(args);
        ASSERT_TRUE(why.empty()) << why;
    }

    // `ordavel-cli token add ARGS`: the token it prints alone on one line.
    std::string addToken(const std::string& args)
    {
        const auto added = runCommand("{ " + std::string(ORDAVEL_CLI) + " token add " + args + " 2>/dev/null; }");
        EXPECT_EQ(added.status, 0) << added.output;
        EXPECT_EQ(added.output.size(), 65u) << "the token alone on one line: " << added.output;
        return added.output.substr(0, added.output.find('\n'));
    }

    // A 10 x 5 cm card template NAME.oxf printing column 单号 as a Code 128 symbol.
    void addCardTemplate(const std::string& name)
    {
        const fs::path card = scratch.path() / "card.json";
        std::ofstream(card) << R"({"pageWidth": 10, "pageHeight": 5, "boxes": [{"cType": 8, "pPewW": false,)"
                               R"( "pX": 1, "pY": 1, "pW": 7, "pH": 2.5, "bcType": "Code128", "wValue": "${单号}"}]})";
        const auto built = tool("build " + shellQuoted(card) + " -o " + shellQuoted(templates / (name + ".oxf")));
        ASSERT_EQ(built.status, 0) << built.output;
    }

    // Records 单号 = Rfrom..Rto.
    static json records(int from, int to)
    {
        json out = json::array();
        for (int r = from; r <= to; ++r)
            out.push_back({{"单号", "R" + std::to_string(r)}});
        return out;
    }

    // The code on each page the queue printed, once it is empty.
    std::map<std::string, int> printed()
    {
        eventually([&] { return runCommand("lpstat -o " + queue.name).output.empty(); }, 60s);
        std::this_thread::sleep_for(1s); // cups-pdf may still be closing a file
        return codesOnPages(queue.out, scratch.path());
    }

    ScratchDir scratch;
    const CupsLock lock;
    const fs::path templates = scratch.path() / "data" / "ordavel" / "templates";
    FolderQueue queue;
    ServiceProcess service;

private:
    std::string m_stem;
};

} // namespace ordavel::test
