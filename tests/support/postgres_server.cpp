#include "support/postgres_server.h"

#include <libpq-fe.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

namespace ordavel::test {

namespace {

namespace fs = std::filesystem;

constexpr const char* kBin = "/usr/lib/postgresql/15/bin/";
constexpr const char* kSuperuser = "ordavel";

// The user the server runs as: `nobody` under root, else this one.
struct RunAs {
    bool switchUser = false;
    uid_t uid = 0;
    gid_t gid = 0;
};

RunAs runAs()
{
    RunAs as;
    if (::geteuid() != 0)
        return as;
    if (const passwd* nobody = ::getpwnam("nobody")) {
        as.switchUser = true;
        as.uid = nobody->pw_uid;
        as.gid = nobody->pw_gid;
    }
    return as;
}

// Runs a program of the server's with its output appended to `log`, as the
// server's user, for at most `seconds`; its exit status, or why it failed.
std::string runTool(const std::vector<std::string>& arguments, const std::string& log, int seconds)
{
    const RunAs as = runAs();
    const pid_t pid = ::fork();
    if (pid < 0)
        return "fork failed";
    if (pid == 0) {
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        ::setpgid(0, 0);
        // The server's user may not enter the folder the tests run in.
        if (::chdir(std::filesystem::path(log).parent_path().c_str()) != 0)
            ::_exit(125);
        if (as.switchUser && (::setgid(as.gid) != 0 || ::setuid(as.uid) != 0))
            ::_exit(126);
        std::vector<char*> argv;
        for (const auto& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return arguments[0] + " took longer than " + std::to_string(seconds) + " s";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::ifstream in(log);
        const std::string output((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return arguments[0] + " failed (status " + std::to_string(status) + "): " + output.substr(output.size() > 2000 ? output.size() - 2000 : 0);
    }
    return {};
}

// A TCP port on 127.0.0.1 that no one listens on now: the system's choice
// for a socket bound to port 0. 0 when there is none.
int freeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

// Wine's sockets have no Unix domain: a Windows tool under test reaches the
// server over the loopback.
bool windowsToolUnderTest()
{
    const char* cli = std::getenv("ORDAVEL_WINDOWS_CLI");
    return cli != nullptr && cli[0] != '\0';
}

std::unique_ptr<PostgresServer>& sharedServer()
{
    static std::unique_ptr<PostgresServer> server;
    return server;
}

} // namespace

PostgresServer* PostgresServer::shared(std::string& error)
{
    static std::string failure;
    auto& server = sharedServer();
    if (!server && failure.empty()) {
        std::unique_ptr<PostgresServer> made(new PostgresServer);
        failure = made->init();
        if (failure.empty())
            server = std::move(made);
    }
    error = failure;
    return server.get();
}

std::string PostgresServer::init()
{
    if (::access((std::string(kBin) + "initdb").c_str(), X_OK) != 0)
        return std::string(kBin) + "initdb is not installed (scripts/setup --test installs postgresql-15)";
    char folder[] = "/tmp/ordavel-pg-XXXXXX";
    if (::mkdtemp(folder) == nullptr)
        return "no temporary folder";
    m_folder = folder;
    m_data = m_folder + "/data";
    ::chmod(folder, 0755);
    const RunAs as = runAs();
    if (as.switchUser && ::chown(folder, as.uid, as.gid) != 0)
        return "the server's folder cannot be given to nobody";
    const std::string log = m_folder + "/log";
    if (std::string error = runTool({std::string(kBin) + "initdb", "-D", m_data, "-U", kSuperuser, "--auth=trust",
                                     "-E", "UTF8", "--locale=C", "-N"},
                                    log, 60);
        !error.empty())
        return error;
    if (windowsToolUnderTest()) {
        m_port = freeLoopbackPort();
        if (m_port == 0)
            return "no free TCP port on 127.0.0.1 for the Windows tool";
        m_loopback = true;
    }
    {
        // No TCP unless the tool under test needs it, and then the loopback
        // only (initdb --auth=trust trusts 127.0.0.1 alone): the socket in the
        // folder is the way in. The tests' databases need not survive a crash
        // of the machine, but do survive the server's (stop -m immediate):
        // commits stay synchronous.
        std::ofstream conf(m_data + "/postgresql.conf", std::ios::app);
        conf << "listen_addresses = '" << (m_loopback ? "127.0.0.1" : "") << "'\n"
             << "port = " << m_port << "\n"
             << "unix_socket_directories = '" << m_folder << "'\n"
             << "fsync = off\nfull_page_writes = off\n"
             << "max_connections = 60\nshared_buffers = 32MB\n";
    }
    std::string error = start();
    if (error.empty())
        watch();
    return error;
}

// A process of its own that stops the server and removes its folder once
// this program is gone, however it ended: a test program that crashes
// leaves no server behind. It waits for the end of a pipe that only this
// program holds open.
void PostgresServer::watch()
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return;
    const RunAs as = runAs();
    const std::string script = "read _; \"$0\" -D \"$1\" -m immediate -w -t 30 stop >/dev/null 2>&1; rm -rf \"$2\"";
    const std::string pgCtl = std::string(kBin) + "pg_ctl";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(ends[0], 0);
        ::setsid();
        if (::chdir("/") != 0 || (as.switchUser && (::setgid(as.gid) != 0 || ::setuid(as.uid) != 0)))
            ::_exit(1);
        ::execl("/bin/sh", "sh", "-c", script.c_str(), pgCtl.c_str(), m_data.c_str(), m_folder.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(ends[0]);
    if (pid < 0)
        ::close(ends[1]);
    else
        m_watcher = ends[1];
}

std::string PostgresServer::start()
{
    std::string error = runTool({std::string(kBin) + "pg_ctl", "-D", m_data, "-l", m_folder + "/server.log", "-w", "-t", "30",
                                 "start"},
                                m_folder + "/log", 40);
    m_running = error.empty();
    return error;
}

std::string PostgresServer::stop()
{
    if (!m_running)
        return {};
    m_running = false;
    return runTool({std::string(kBin) + "pg_ctl", "-D", m_data, "-m", "immediate", "-w", "-t", "30", "stop"},
                   m_folder + "/log", 40);
}

PostgresServer::~PostgresServer()
{
    stop();
    std::error_code ec;
    if (!m_folder.empty())
        fs::remove_all(m_folder, ec);
    if (m_watcher >= 0)
        ::close(m_watcher);
}

std::string PostgresServer::urlOf(const std::string& name) const
{
    return "host=" + (m_loopback ? std::string("127.0.0.1") : m_folder) + " port=" + std::to_string(m_port)
        + " user=" + kSuperuser + " dbname=" + name;
}

std::string PostgresServer::newDatabase(std::string& error)
{
    PostgresServer* server = shared(error);
    return server != nullptr ? server->createDatabase(error) : std::string();
}

std::string PostgresServer::createDatabase(std::string& error)
{
    const std::string name = "test" + std::to_string(++m_databases);
    error = runSql(urlOf("postgres"), "CREATE DATABASE " + name);
    return error.empty() ? urlOf(name) : std::string();
}

std::string runSql(const std::string& url, const std::string& statements)
{
    PGconn* conn = PQconnectdb(url.c_str());
    std::string error;
    if (PQstatus(conn) != CONNECTION_OK) {
        error = PQerrorMessage(conn);
    } else {
        PGresult* result = PQexec(conn, statements.c_str());
        const ExecStatusType status = PQresultStatus(result);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            error = PQresultErrorMessage(result);
        PQclear(result);
    }
    PQfinish(conn);
    return error;
}

std::int64_t queryNumber(const std::string& url, const std::string& query)
{
    PGconn* conn = PQconnectdb(url.c_str());
    std::int64_t value = -1;
    if (PQstatus(conn) == CONNECTION_OK) {
        PGresult* result = PQexec(conn, query.c_str());
        if (PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) > 0 && !PQgetisnull(result, 0, 0))
            value = std::strtoll(PQgetvalue(result, 0, 0), nullptr, 10);
        PQclear(result);
    }
    PQfinish(conn);
    return value;
}

} // namespace ordavel::test
