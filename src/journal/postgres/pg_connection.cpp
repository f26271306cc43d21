#include "journal/postgres/pg_connection.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace ordavel::postgres_journal {

namespace {

std::string trimmed(const char* message)
{
    std::string text = message != nullptr ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

// The connect_timeout to use: the URL's when it is set and shorter, else kTimeoutSeconds.
std::string connectTimeoutFor(const std::string& url)
{
    int seconds = kTimeoutSeconds;
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(url.c_str(), &error);
    PQfreemem(error);
    for (PQconninfoOption* option = options; option != nullptr && option->keyword != nullptr; ++option)
        if (std::strcmp(option->keyword, "connect_timeout") == 0 && option->val != nullptr) {
            const int asked = std::atoi(option->val);
            if (asked > 0 && asked < seconds)
                seconds = asked;
        }
    PQconninfoFree(options);
    return std::to_string(seconds);
}

// A word for a failed connection when this libpq was built without TLS (the
// Windows build's) and `url` asks for it, which libpq refuses in its terms.
std::string withoutTlsHint(const std::string& url)
{
    if (PQsslAttribute(nullptr, "library") != nullptr)
        return {};
    bool asked = false;
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(url.c_str(), &error);
    PQfreemem(error);
    for (PQconninfoOption* option = options; option != nullptr && option->keyword != nullptr; ++option)
        if (std::strcmp(option->keyword, "sslmode") == 0 && option->val != nullptr)
            asked = std::strcmp(option->val, "require") == 0 || std::strncmp(option->val, "verify-", 7) == 0;
    PQconninfoFree(options);
    return asked ? " (this build reaches the shop without TLS: over a trusted network or a tunnel, with no"
                   " sslmode=require or verify-*)"
                 : std::string();
}

} // namespace

bool PgResult::ok() const
{
    if (!m_result)
        return false;
    const ExecStatusType status = PQresultStatus(m_result.get());
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

std::string PgResult::text(int row, int column) const
{
    if (!m_result || PQgetisnull(m_result.get(), row, column))
        return {};
    return std::string(PQgetvalue(m_result.get(), row, column),
                       static_cast<std::size_t>(PQgetlength(m_result.get(), row, column)));
}

std::int64_t PgResult::integer(int row, int column) const
{
    if (!m_result || PQgetisnull(m_result.get(), row, column))
        return 0;
    return std::strtoll(PQgetvalue(m_result.get(), row, column), nullptr, 10);
}

std::int64_t PgResult::changed() const
{
    return m_result ? std::strtoll(PQcmdTuples(m_result.get()), nullptr, 10) : 0;
}

std::string PgResult::field(int code) const
{
    const char* value = m_result ? PQresultErrorField(m_result.get(), code) : nullptr;
    return value != nullptr ? value : "";
}

std::string PgResult::error() const
{
    return m_result ? trimmed(PQresultErrorMessage(m_result.get())) : std::string();
}

PgConnection::~PgConnection()
{
    if (m_conn != nullptr)
        PQfinish(m_conn);
}

EngineError PgConnection::connect(const std::string& url)
{
    m_url = url;
    m_broken = false;
    m_sent = 0; // a pipeline of the connection closed went with it
    if (m_conn != nullptr)
        PQfinish(m_conn);
    // The URL first, expanded; the time-out after it takes precedence.
    const std::string timeout = connectTimeoutFor(url);
    const char* keywords[] = {"dbname", "connect_timeout", nullptr};
    const char* values[] = {url.c_str(), timeout.c_str(), nullptr};
    m_conn = PQconnectdbParams(keywords, values, 1);
    if (m_conn == nullptr)
        return {kNoServer, "the shop's database cannot be reached: out of memory"};
    if (PQstatus(m_conn) != CONNECTION_OK) {
        EngineError error{kNoServer, "the shop's database cannot be reached: " + trimmed(PQerrorMessage(m_conn))
                                         + withoutTlsHint(url)};
        PQfinish(m_conn);
        m_conn = nullptr;
        return error;
    }
    m_name = std::string("host=") + PQhost(m_conn) + " port=" + PQport(m_conn) + " dbname=" + PQdb(m_conn)
        + " user=" + PQuser(m_conn);
    if (EngineError error = execute("SET client_encoding = 'UTF8'"); error.failed())
        return error;
    // Compiling a query costs more than any of the journal's queries gains from it.
    if (EngineError error = execute("SET jit = off"); error.failed())
        return error;
    // No print waits longer than this for the shop: a lock held elsewhere included.
    return execute(("SET statement_timeout = " + std::to_string(kTimeoutSeconds * 1000)).c_str());
}

EngineError PgConnection::reconnect()
{
    if (connected())
        return {};
    return connect(m_url);
}

namespace {

// A statement's values as libpq takes them; they point into `params`.
struct ParamArrays {
    explicit ParamArrays(const PgParams& params)
    {
        for (const PgParam& param : params) {
            values.push_back(param.text.c_str());
            lengths.push_back(static_cast<int>(param.text.size()));
            formats.push_back(param.binary ? 1 : 0);
        }
    }
    std::vector<const char*> values;
    std::vector<int> lengths;
    std::vector<int> formats;
};

} // namespace

PgResult PgConnection::run(const char* sql, const PgParams& params, bool binary)
{
    if (m_conn == nullptr)
        return PgResult();
    settleFirst();
    const ParamArrays arrays(params);
    return PgResult(PQexecParams(m_conn, sql, static_cast<int>(params.size()), nullptr, arrays.values.data(),
                                 arrays.lengths.data(), arrays.formats.data(), binary ? 1 : 0));
}

EngineError PgConnection::send(const char* sql, const PgParams& params)
{
    if (m_conn == nullptr)
        return {kNoServer, "the shop's database is not connected"};
    if (m_sent == 0 && PQenterPipelineMode(m_conn) != 1)
        return {kFailed, trimmed(PQerrorMessage(m_conn))};
    const ParamArrays arrays(params);
    if (PQsendQueryParams(m_conn, sql, static_cast<int>(params.size()), nullptr, arrays.values.data(),
                          arrays.lengths.data(), arrays.formats.data(), 0)
        != 1) {
        EngineError error = m_sent > 0 ? settle() : EngineError{};
        if (m_sent == 0)
            PQexitPipelineMode(m_conn);
        m_broken = true;
        return error.failed() ? error : EngineError{kNoServer, "the shop's database went away: " + trimmed(PQerrorMessage(m_conn))};
    }
    ++m_sent;
    return {};
}

EngineError PgConnection::flush()
{
    if (m_sent == 0)
        return {};
    if (PQpipelineSync(m_conn) != 1) {
        m_broken = true;
        return {kNoServer, "the shop's database went away: " + trimmed(PQerrorMessage(m_conn))};
    }
    return {};
}

EngineError PgConnection::settle()
{
    EngineError first = std::exchange(m_settled, EngineError{});
    if (m_sent == 0)
        return first;
    (void)flush();
    // Each statement's results end with a null; the pipeline's with its sync.
    for (bool synced = false; !synced && m_conn != nullptr;) {
        PGresult* raw = PQgetResult(m_conn);
        if (raw == nullptr) {
            if (PQstatus(m_conn) != CONNECTION_OK) {
                m_broken = true;
                if (!first.failed())
                    first = {kNoServer, "the shop's database went away: " + trimmed(PQerrorMessage(m_conn))};
                break;
            }
            continue;
        }
        const ExecStatusType status = PQresultStatus(raw);
        PgResult result(raw);
        if (status == PGRES_PIPELINE_SYNC)
            synced = true;
        else if (status == PGRES_PIPELINE_ABORTED) {
            if (!first.failed())
                first = {kFailed, "a statement before this one failed"};
        } else if (EngineError error = failure(result); error.failed() && !first.failed())
            first = error;
    }
    m_sent = 0;
    // The sync's own end (the server ready again) comes as one more null.
    while (m_conn != nullptr && PQstatus(m_conn) == CONNECTION_OK) {
        PGresult* rest = PQgetResult(m_conn);
        if (rest == nullptr)
            break;
        PQclear(rest);
    }
    if (m_conn != nullptr && PQexitPipelineMode(m_conn) != 1) {
        m_broken = true; // connected again before the next statement
        if (!first.failed())
            first = {kNoServer, "the shop's database connection was left busy: " + trimmed(PQerrorMessage(m_conn))};
        return first;
    }
    if (m_conn != nullptr && PQtransactionStatus(m_conn) == PQTRANS_INERROR)
        PQclear(PQexec(m_conn, "ROLLBACK"));
    return first;
}

void PgConnection::settleFirst()
{
    if (m_sent == 0)
        return;
    EngineError error = settle();
    if (error.failed())
        m_settled = error;
}

EngineError PgConnection::failure(const PgResult& result) const
{
    if (result.ok())
        return {};
    // A server shutting down or crashed says so (class 57P, FATAL) before
    // it closes the connection, and a failure without the server's code is
    // libpq's own (the connection is gone); libpq may not know that yet.
    const std::string state = result.field(PG_DIAG_SQLSTATE);
    const std::string severity = result.field(PG_DIAG_SEVERITY_NONLOCALIZED);
    if (state.empty() || state.rfind("57P", 0) == 0 || state.rfind("08", 0) == 0 || severity == "FATAL"
        || severity == "PANIC")
        m_broken = true;
    if (!connected()) {
        const std::string message = result.error();
        return {kNoServer, "the shop's database went away: "
                               + (!message.empty() ? message
                                  : m_conn != nullptr ? trimmed(PQerrorMessage(m_conn))
                                                      : std::string("not connected"))};
    }
    const std::string message = result.error();
    return {kFailed, message.empty() ? trimmed(PQerrorMessage(m_conn)) : message};
}

EngineError PgConnection::script(const char* sql)
{
    if (m_conn == nullptr)
        return {kNoServer, "the shop's database is not connected"};
    settleFirst();
    return failure(PgResult(PQexec(m_conn, sql)));
}

EngineError PgConnection::execute(const char* sql, const PgParams& params)
{
    return failure(run(sql, params));
}

int PgConnection::socket() const { return m_conn != nullptr ? PQsocket(m_conn) : -1; }

std::vector<PgConnection::Notification> PgConnection::notifications()
{
    std::vector<Notification> payloads;
    if (m_conn == nullptr)
        return payloads;
    if (PQconsumeInput(m_conn) == 0)
        m_broken = true;
    while (PGnotify* note = PQnotifies(m_conn)) {
        payloads.push_back({note->relname != nullptr ? note->relname : "", note->extra != nullptr ? note->extra : ""});
        PQfreemem(note);
    }
    return payloads;
}

std::string textArray(const std::vector<std::string>& items)
{
    std::string array = "{";
    for (const std::string& item : items) {
        if (array.size() > 1)
            array += ',';
        array += '"';
        for (const char c : item) {
            if (c == '"' || c == '\\')
                array += '\\';
            array += c;
        }
        array += '"';
    }
    return array + "}";
}

} // namespace ordavel::postgres_journal
