#pragma once
// A PostgreSQL server of the tests' own: Debian's postgresql-15 in a
// temporary folder, reached through a Unix socket in that folder only (no
// TCP). initdb refuses to run as root, so under root the server runs as
// `nobody`. One server per test program, started on first use and stopped
// (immediately) when the program ends; each test takes a database of its own.
//
// The tool under test may be the Windows one under Wine (ORDAVEL_WINDOWS_CLI
// set), whose sockets have no Unix domain: then the server also listens on
// 127.0.0.1, on a port that was free, and the connection strings name that.

#include <cstdint>
#include <string>

namespace ordavel::test {

class PostgresServer {
public:
    // The server of this test program, started on first use; null when it
    // could not be started, with why in `error`.
    static PostgresServer* shared(std::string& error);

    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // A new empty database; its connection string, or "" with why in `error`.
    std::string createDatabase(std::string& error);
    // The same on the program's server, started on first use.
    static std::string newDatabase(std::string& error);
    // The connection string of database `name` on this server.
    std::string urlOf(const std::string& name) const;
    const std::string& socketFolder() const { return m_folder; }
    // The server's port. The TCP port on 127.0.0.1
    // when it listens there (loopback()), else only its socket's name.
    int port() const { return m_port; }
    bool loopback() const { return m_loopback; }

    // Stops the server at once (as a crash would) and starts it again.
    std::string stop();
    std::string start();
    bool running() const { return m_running; }

private:
    PostgresServer() = default;
    std::string init();
    void watch();

    std::string m_folder;
    std::string m_data;
    int m_databases = 0;
    int m_port = 5432;
    bool m_loopback = false;
    bool m_running = false;
    int m_watcher = -1; // the end of the watcher's pipe
};

// Runs SQL statements (no parameters) on the database at `url`; "" or why not.
std::string runSql(const std::string& url, const std::string& statements);
// The first column of the first row of `query`, -1 when there is none.
std::int64_t queryNumber(const std::string& url, const std::string& query);

} // namespace ordavel::test
