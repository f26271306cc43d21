#pragma once
// libpq's C API as the shop's journal uses it: one connection, statements
// sent with their values as parameters (never pasted into the SQL), results
// read by row and column.

#include "journal/journal_engine.h"

#include <libpq-fe.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ordavel::postgres_journal {

// How long connecting and each statement may take at most, in seconds.
constexpr int kTimeoutSeconds = 2;

// EngineError codes of this engine.
constexpr int kFailed = 1;   // the statement failed
constexpr int kNoServer = 2; // the connection is gone or could not be made

// One value of a statement: text, or bytes sent as they are.
struct PgParam {
    PgParam(std::int64_t number) : text(std::to_string(number)) {}
    PgParam(int number) : text(std::to_string(number)) {}
    PgParam(std::string value) : text(std::move(value)) {}
    PgParam(std::string_view value) : text(value) {}
    PgParam(const char* value) : text(value) {}
    static PgParam bytes(std::string_view value)
    {
        PgParam param{std::string(value)};
        param.binary = true;
        return param;
    }
    std::string text;
    bool binary = false;
};
using PgParams = std::vector<PgParam>;

class PgResult {
public:
    explicit PgResult(PGresult* result = nullptr) : m_result(result, PQclear) {}

    bool ok() const;
    int rows() const { return m_result ? PQntuples(m_result.get()) : 0; }
    std::string text(int row, int column) const;
    std::int64_t integer(int row, int column) const;
    bool boolean(int row, int column) const { return text(row, column) == "t"; }
    // Rows an INSERT, UPDATE or DELETE changed.
    std::int64_t changed() const;
    // A field of the error (PG_DIAG_...), "" when it has none.
    std::string field(int code) const;
    // The server's message, without its trailing newline.
    std::string error() const;

private:
    std::unique_ptr<PGresult, void (*)(PGresult*)> m_result;
};

class PgConnection {
public:
    PgConnection() = default;
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Connects to `url` waiting at most kTimeoutSeconds (or the URL's own
    // connect_timeout when shorter) and limits each statement to as long.
    EngineError connect(const std::string& url);
    // Connects again after the server went away; nothing when it is there.
    EngineError reconnect();
    bool connected() const { return m_conn != nullptr && !m_broken && PQstatus(m_conn) == CONNECTION_OK; }
    // host, port, database and user, without a password: what a message names.
    const std::string& name() const { return m_name; }

    // Runs one statement; `binary` asks for the result's columns as raw bytes.
    PgResult run(const char* sql, const PgParams& params = {}, bool binary = false);
    // `result`'s failure as an EngineError (none when it worked).
    EngineError failure(const PgResult& result) const;
    // Runs statements without parameters, one after another (a schema's).
    EngineError script(const char* sql);
    // Runs a statement whose result is not read.
    EngineError execute(const char* sql, const PgParams& params = {});

    // Sends a statement in the connection's pipeline and goes on without
    // waiting for it: the server works on it while the caller does other
    // work. flush() sends what was put in the pipeline; settle() reads its
    // results. Any other statement settles the pipeline first.
    EngineError send(const char* sql, const PgParams& params = {});
    EngineError flush();
    // Reads the results of what was sent: the first failure, or one that an
    // earlier statement met while settling it; none when nothing was sent.
    // A transaction the failure left open is rolled back.
    EngineError settle();
    bool sending() const { return m_sent > 0; }

    // The connection's socket, to wait on for notifications; -1 when not connected.
    int socket() const;
    struct Notification {
        std::string channel;
        std::string payload;
    };
    // Reads what the server sent and returns the notifications received
    // since the last call (after LISTEN).
    std::vector<Notification> notifications();

private:
    PGconn* m_conn = nullptr;
    std::string m_url;
    std::string m_name;
    mutable bool m_broken = false; // the server said it closes the connection
    int m_sent = 0;                // statements in the pipeline whose results are not read
    EngineError m_settled;         // a failure met settling the pipeline before another statement
    // Settles the pipeline before another statement, keeping its failure for settle().
    void settleFirst();
};

// The text form of a PostgreSQL array of texts (a parameter cast to text[]),
// each element quoted.
std::string textArray(const std::vector<std::string>& items);

} // namespace ordavel::postgres_journal
