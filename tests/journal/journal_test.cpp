#include "journal/journal.h"
#include "journal/sha256.h"
#include "journal/search_tokenizer.h"
#if ORDAVEL_POSTGRES
#include "journal/postgres/pg_schema.h"
#include "support/postgres_server.h"

#include <arpa/inet.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <gtest/gtest.h>
#include <sqlite3.h>

#ifndef _WIN32
#include <sys/wait.h>
#endif
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <numeric>
#include <optional>
#include <random>
#include <set>
#include <thread>

namespace fs = std::filesystem;
using namespace ordavel;

namespace {

// The journal's two engines: the user's SQLite file, a shop's PostgreSQL database.
enum class Engine { SQLite, PostgreSQL };

void PrintTo(Engine engine, std::ostream* out) { *out << (engine == Engine::SQLite ? "SQLite" : "PostgreSQL"); }

class JournalFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("ordavel-journal-" + std::to_string(getpid()) + "-"
                                             + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_path = (m_dir / "journal.sqlite").string();
    }
    void TearDown() override { fs::remove_all(m_dir); }

    bool onFile() const { return m_engine == Engine::SQLite; }

    // The journal under test becomes a shop's, in a database of its own on
    // the test program's PostgreSQL server.
    void startShop()
    {
#if ORDAVEL_POSTGRES
        m_engine = Engine::PostgreSQL;
        std::string error;
        m_server = test::PostgresServer::shared(error);
        ASSERT_NE(m_server, nullptr) << error;
        m_url = m_server->createDatabase(error);
        ASSERT_FALSE(m_url.empty()) << error;
        const JournalResult<int> made = initShopJournal(m_url);
        ASSERT_TRUE(made.ok()) << made.error;
#else
        FAIL() << "this build has no PostgreSQL engine";
#endif
    }

    // Another opening of the journal under test, as another program's.
    Journal::Opened openAgain() const { return onFile() ? Journal::open(m_path) : Journal::openShop(m_url); }

    std::unique_ptr<Journal> open()
    {
        Journal::Opened opened = openAgain();
        EXPECT_TRUE(opened.error.empty()) << opened.error;
        return std::move(opened.journal);
    }

    static JournalJobIn job(int records, const std::string& bytes = "<oxf/>")
    {
        JournalJobIn in;
        in.program = "tool";
        in.kind = records > 1 ? JournalKind::Batch : JournalKind::Page;
        in.printer = "pdf";
        in.templatePath = "/forms/waybill.oxf";
        in.templateName = "waybill.oxf";
        in.templateBytes = bytes;
        for (int i = 0; i < records; ++i)
            in.records.push_back({.number = i + 1,
                                  .copies = 1,
                                  .fields = {{"收件人", "张三" + std::to_string(i)}, {"单号", "SF" + std::to_string(1000 + i)}},
                                  .columns = {{"name", "张三" + std::to_string(i)}},
                                  .counters = {}});
        return in;
    }

    int sql(const std::string& statement)
    {
#if ORDAVEL_POSTGRES
        if (!onFile()) {
            const std::string error = test::runSql(m_url, statement);
            if (!error.empty())
                ADD_FAILURE() << error;
            return error.empty() ? SQLITE_OK : SQLITE_ERROR;
        }
#endif
        sqlite3* db = nullptr;
        sqlite3_open(m_path.c_str(), &db);
        registerSearchTokenizer(db);
        char* message = nullptr;
        const int code = sqlite3_exec(db, statement.c_str(), nullptr, nullptr, &message);
        if (message != nullptr)
            ADD_FAILURE() << message;
        sqlite3_free(message);
        sqlite3_close(db);
        return code;
    }

    // One number read by a connection of its own (the search index's tables are not touched).
    std::int64_t number(const std::string& query)
    {
#if ORDAVEL_POSTGRES
        if (!onFile())
            return test::queryNumber(m_url, query);
#endif
        sqlite3* db = nullptr;
        sqlite3_open(m_path.c_str(), &db);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, query.c_str(), -1, &stmt, nullptr);
        const std::int64_t value = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : -1;
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        return value;
    }

    // Another program's write transaction on the journal while it lives:
    // searches then find the journal locked and leave the index as it is,
    // and a write waits for it until it gives up.
    class OtherWriter {
    public:
        explicit OtherWriter(const JournalFile& test)
        {
#if ORDAVEL_POSTGRES
            if (!test.onFile()) {
                m_conn = PQconnectdb(test.m_url.c_str());
                PGresult* result = PQexec(m_conn, "BEGIN; LOCK TABLE jobs, records, counters IN EXCLUSIVE MODE");
                EXPECT_EQ(PQresultStatus(result), PGRES_COMMAND_OK) << PQerrorMessage(m_conn);
                PQclear(result);
                return;
            }
#endif
            sqlite3_open(test.m_path.c_str(), &m_db);
            EXPECT_EQ(sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        }
        ~OtherWriter()
        {
#if ORDAVEL_POSTGRES
            if (m_conn != nullptr) {
                PQclear(PQexec(m_conn, "ROLLBACK"));
                PQfinish(m_conn);
                return;
            }
#endif
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(m_db);
        }
        OtherWriter(const OtherWriter&) = delete;
        OtherWriter& operator=(const OtherWriter&) = delete;

    private:
        sqlite3* m_db = nullptr;
#if ORDAVEL_POSTGRES
        PGconn* m_conn = nullptr;
#endif
    };

    fs::path m_dir;
    std::string m_path;
    Engine m_engine = Engine::SQLite;
    std::string m_url; // the shop's database, for PostgreSQL
#if ORDAVEL_POSTGRES
    test::PostgresServer* m_server = nullptr;
#endif
};

// What both engines must do alike: each test runs on each of them.
class JournalEngines : public JournalFile, public ::testing::WithParamInterface<Engine> {
protected:
    void SetUp() override
    {
        JournalFile::SetUp();
        if (GetParam() == Engine::PostgreSQL)
            startShop();
    }
};

// The tables as the first released journal wrote them.
constexpr const char* kFirstSchema = R"sql(
PRAGMA journal_mode=WAL;
CREATE TABLE templates(hash TEXT PRIMARY KEY, bytes BLOB NOT NULL, size INTEGER NOT NULL, first_seen INTEGER NOT NULL);
CREATE TABLE jobs(id INTEGER PRIMARY KEY, created_at INTEGER NOT NULL, finished_at INTEGER NOT NULL DEFAULT 0,
  user TEXT NOT NULL, host TEXT NOT NULL, program TEXT NOT NULL, printer TEXT NOT NULL, template_path TEXT NOT NULL,
  template_name TEXT NOT NULL, template_hash TEXT NOT NULL REFERENCES templates(hash), calibration TEXT NOT NULL,
  copies INTEGER NOT NULL, outcome TEXT NOT NULL, reason TEXT NOT NULL DEFAULT '', cups_job_ids TEXT NOT NULL DEFAULT '');
CREATE INDEX jobs_created ON jobs(created_at);
CREATE TABLE records(id INTEGER PRIMARY KEY, job_id INTEGER NOT NULL REFERENCES jobs(id) ON DELETE CASCADE,
  idx INTEGER NOT NULL, number INTEGER NOT NULL, copies INTEGER NOT NULL, fields TEXT NOT NULL, columns TEXT NOT NULL,
  outcome TEXT NOT NULL, reason TEXT NOT NULL DEFAULT '', cups_job_id INTEGER NOT NULL DEFAULT 0, UNIQUE(job_id, idx));
CREATE TABLE counters(name TEXT PRIMARY KEY, next_value INTEGER NOT NULL);
)sql";

// A listing's filters, built one at a time.
struct Query {
    JournalQuery q;
    Query& search(std::string text) { q.search = std::move(text); return *this; }
    Query& printer(std::string name) { q.printer = std::move(name); return *this; }
    Query& templateName(std::string name) { q.templateName = std::move(name); return *this; }
    Query& since(JournalTime t) { q.since = t; return *this; }
    Query& until(JournalTime t) { q.until = t; return *this; }
    Query& limit(int n) { q.limit = n; return *this; }
    operator JournalQuery() const { return q; }
};

#ifndef _WIN32
std::string sha256sumOf(const std::string& bytes, const fs::path& scratch)
{
    { std::ofstream(scratch, std::ios::binary) << bytes; }
    std::FILE* pipe = ::popen(("sha256sum " + scratch.string()).c_str(), "r");
    char hex[65] = {};
    if (pipe == nullptr || std::fread(hex, 1, 64, pipe) != 64)
        hex[0] = 0;
    if (pipe != nullptr)
        ::pclose(pipe);
    return hex;
}
#endif

} // namespace

TEST(Sha256, MatchesKnownDigestsAndSha256sumAcrossBlockBoundaries)
{
    EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
#ifndef _WIN32
    // Lengths around the 55/56 and 64 byte edges where the padding changes.
    const fs::path scratch = fs::temp_directory_path() / ("ordavel-sha-" + std::to_string(getpid()));
    for (const std::size_t size : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 128u, 1000u}) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>(i * 37 + 11);
        EXPECT_EQ(sha256Hex(bytes), sha256sumOf(bytes, scratch)) << size;
    }
    fs::remove(scratch);
#endif
}

TEST_F(JournalFile, IsCreatedInWalWithTheCurrentSchemaAndKeepsJobsAcrossOpenings)
{
    JournalJobId id = 0;
    {
        auto journal = open();
        ASSERT_TRUE(journal);
        EXPECT_EQ(journal->schemaVersion(), 7);
        auto recorded = journal->recordJob(job(3));
        ASSERT_TRUE(recorded.ok()) << recorded.error;
        id = recorded.value;
        // The first print cleared away the search indexes the older schemas made.
        EXPECT_EQ(number("SELECT count(*) FROM sqlite_master WHERE name LIKE 'record_search%' OR name LIKE 'record_text%'"), 0);
    }
    auto journal = open();
    const auto found = journal->job(id);
    ASSERT_TRUE(found.ok() && found.value.has_value()) << found.error;
    EXPECT_EQ(found.value->outcome, JournalOutcome::Queued);
    EXPECT_EQ(found.value->recordCount, 3);
    EXPECT_EQ(found.value->templateHash, sha256Hex("<oxf/>"));
    EXPECT_FALSE(found.value->user.empty());
    const auto records = journal->records(id);
    ASSERT_EQ(records.value.size(), 3u);
    EXPECT_EQ(records.value[2].fields[1], (JournalValue{"单号", "SF1002"}));
    EXPECT_EQ(records.value[2].number, 3);

    sqlite3* db = nullptr;
    sqlite3_open(m_path.c_str(), &db);
    sqlite3_stmt* mode = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &mode, nullptr);
    ASSERT_EQ(sqlite3_step(mode), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(mode, 0)), "wal");
    sqlite3_finalize(mode);
    sqlite3_close(db);
}

TEST_P(JournalEngines, StoresEachTemplateOnceAndKeepsTheBytesAJobPrintedFrom)
{
    auto journal = open();
    const auto first = journal->recordJob(job(1, "version one"));
    ASSERT_TRUE(journal->recordJob(job(1, "version one")).ok());
    const auto changed = journal->recordJob(job(1, "version two"));
    ASSERT_TRUE(first.ok() && changed.ok());
    const auto stats = journal->stats();
    EXPECT_EQ(stats.value.templates, 2);
    EXPECT_EQ(stats.value.jobs, 3);
    const auto old = journal->job(first.value).value;
    EXPECT_EQ(journal->templateBytes(old->templateHash).value, std::optional<std::string>("version one"));
    EXPECT_EQ(journal->templateBytes(sha256Hex("never stored")).value, std::nullopt);
}

TEST_P(JournalEngines, FollowsAJobThroughItsOutcomesAndCupsJobs)
{
    auto journal = open();
    const JournalJobId id = journal->recordJob(job(4)).value;
    EXPECT_TRUE(journal->markPrinting(id).empty());
    EXPECT_TRUE(journal->addCupsJob(id, 71, 0, 1).empty());
    EXPECT_TRUE(journal->addCupsJob(id, 72, 2, 3).empty());
    EXPECT_TRUE(journal->addCupsJob(id, 71, 0, 1).empty()); // once only
    EXPECT_TRUE(journal->setRecordOutcome(id, 0, 1, JournalOutcome::Printed).empty());
    EXPECT_TRUE(journal->setRecordOutcome(id, 2, 3, JournalOutcome::Failed, "aborted by the printer").empty());

    auto state = journal->job(id).value;
    EXPECT_EQ(state->cupsJobIds, (std::vector<int>{71, 72}));
    EXPECT_EQ(state->printedCount, 2);
    EXPECT_EQ(state->outcome, JournalOutcome::Printing);
    EXPECT_EQ(state->finishedAt, 0);
    ASSERT_EQ(journal->unfinishedJobs("tool").value.size(), 1u);
    EXPECT_TRUE(journal->unfinishedJobs("designer").value.empty());

    const auto records = journal->records(id).value;
    EXPECT_EQ(records[3].cupsJobId, 72);
    EXPECT_EQ(records[3].outcome, JournalOutcome::Failed);
    EXPECT_EQ(records[3].reason, "aborted by the printer");

    EXPECT_TRUE(journal->finishJob(id, JournalOutcome::Failed, "2 records failed").empty());
    state = journal->job(id).value;
    EXPECT_GT(state->finishedAt, 0);
    EXPECT_TRUE(journal->unfinishedJobs().value.empty());
    EXPECT_FALSE(journal->finishJob(id + 100, JournalOutcome::Printed).empty());
    EXPECT_FALSE(journal->markPrinting(id + 100).empty());
}

TEST_P(JournalEngines, AQueuedJobIsClaimedByOneProcessOnlyAndOldOnesExpire)
{
    auto journal = open();
    const JournalJobId queued = journal->recordJob(job(2)).value;
    auto other = open(); // another program on the same file
    EXPECT_TRUE(other->claimJob(queued, "service:1").value);
    EXPECT_FALSE(journal->claimJob(queued, "service:2").value);
    EXPECT_EQ(journal->job(queued).value->claimant, "service:1");
    EXPECT_EQ(journal->records(queued).value[1].outcome, JournalOutcome::Printing);

    const JournalJobId stale = journal->recordJob(job(1)).value;
    const auto expired = journal->expireQueued(std::time(nullptr) + 10, "not printed within a day");
    EXPECT_EQ(expired.value, 1);
    EXPECT_EQ(journal->job(stale).value->outcome, JournalOutcome::Expired);
    EXPECT_EQ(journal->job(queued).value->outcome, JournalOutcome::Printing);
    EXPECT_EQ(journal->records(stale).value[0].outcome, JournalOutcome::Expired);
}

// A batch is one commit: another connection sees none of it until the end,
// then all of it, except a call that failed, which is undone alone.
TEST_P(JournalEngines, ABatchCommitsItsWritesTogetherAndUndoesAFailedOneAlone)
{
    auto journal = open();
    auto other = open();
    ASSERT_TRUE(journal && other);
    const auto queued = journal->recordJob(job(3));
    const auto service = [] {
        JournalJobIn in = job(1);
        in.program = "service";
        return in;
    }();
    const auto first = journal->recordJob(service);
    const auto second = journal->recordJob(service);
    ASSERT_TRUE(queued.ok() && first.ok() && second.ok());
    EXPECT_EQ(other->countUnfinished("service").value, 2);
    EXPECT_EQ(other->countUnfinished("tool").value, 1);

    std::string inside;
    const std::string error = journal->batch([&] {
        EXPECT_TRUE(journal->claimJob(queued.value, "pid 1@here").value);
        EXPECT_EQ(journal->addCupsJob(queued.value, 77, 0, 2), "");
        EXPECT_NE(journal->finishJob(4242, JournalOutcome::Printed), "") << "no such job: this call fails";
        EXPECT_EQ(journal->finishJob(first.value, JournalOutcome::Cancelled, "gone"), "");
        EXPECT_EQ(journal->setRecordOutcome(first.value, 0, 0, JournalOutcome::Cancelled), "");
        inside = std::string(outcomeName(other->job(queued.value).value->outcome));
        EXPECT_EQ(other->countUnfinished("service").value, 2) << "nothing shows before the commit";
    });
    EXPECT_EQ(error, "");
    EXPECT_EQ(inside, "queued");
    const auto claimed = other->job(queued.value).value;
    EXPECT_EQ(claimed->outcome, JournalOutcome::Printing);
    EXPECT_EQ(claimed->cupsJobIds, std::vector<int>{77});
    EXPECT_EQ(other->records(queued.value).value[2].cupsJobId, 77);
    EXPECT_EQ(other->job(first.value).value->outcome, JournalOutcome::Cancelled);
    EXPECT_EQ(other->countUnfinished("service").value, 1);
    EXPECT_EQ(other->countUnfinished("designer").value, 0);
}

TEST_P(JournalEngines, AJobWhoseCommitWasLeftGoingStandsOnceAwaitedAndToEveryReader)
{
    auto journal = open();
    JournalJobIn in = job(300);
    for (auto& record : in.records)
        record.counters = {"waybill"};
    in.commitLater = true;
    const auto first = journal->recordJob(in);
    ASSERT_TRUE(first.ok()) << first.error;
    // A read before the wait waits for the commit itself.
    EXPECT_EQ(journal->records(first.value).value.size(), 300u);
    EXPECT_EQ(journal->awaitCommit(), "");
    EXPECT_EQ(journal->awaitCommit(), "");

    const auto second = journal->recordJob(in);
    ASSERT_TRUE(second.ok()) << second.error;
    EXPECT_EQ(journal->awaitCommit(), "");
    EXPECT_EQ(journal->records(second.value).value[0].counters, (std::vector<CounterValue>{{"waybill", 301}}));
    EXPECT_EQ(openAgain().journal->nextCounterValue("waybill").value, 601);
}

#if ORDAVEL_POSTGRES
TEST_F(JournalFile, ACommitLeftGoingThatFailsKeepsNeitherTheJobNorItsNumbers)
{
    startShop();
    auto journal = open();
    JournalJobIn in = job(20);
    for (auto& record : in.records)
        record.counters = {"waybill"};
    ASSERT_TRUE(journal->recordJob(in).ok());

    // Another program holds the records table: the records sent with the
    // commit wait for it until the statement gives up, while the print
    // already has its job and numbers to draw with.
    std::unique_ptr<PGconn, void (*)(PGconn*)> other(PQconnectdb(m_url.c_str()), PQfinish);
    PQclear(PQexec(other.get(), "BEGIN; LOCK TABLE records IN ACCESS EXCLUSIVE MODE"));
    in.commitLater = true;
    const auto held = journal->recordJob(in);
    ASSERT_TRUE(held.ok()) << held.error;
    const std::string failed = journal->awaitCommit();
    PQclear(PQexec(other.get(), "ROLLBACK"));
    EXPECT_NE(failed, "");

    EXPECT_FALSE(journal->job(held.value).ok() && journal->job(held.value).value.has_value());
    EXPECT_EQ(journal->nextCounterValue("waybill").value, 21);
    // The connection goes on as before.
    const auto next = journal->recordJob(in);
    ASSERT_TRUE(next.ok()) << next.error;
    EXPECT_EQ(journal->awaitCommit(), "");
    const auto records = journal->records(next.value);
    ASSERT_EQ(records.value.size(), 20u) << records.error;
    EXPECT_EQ(records.value[0].counters, (std::vector<CounterValue>{{"waybill", 21}}));
}
#endif

TEST_P(JournalEngines, CountersGiveConsecutiveValuesAndAFailedPageGivesItsBack)
{
    auto journal = open();
    JournalJobIn in = job(3);
    for (auto& record : in.records)
        record.counters = {"waybill"};
    std::vector<std::int64_t> seen;
    const auto first = journal->recordJob(in, [&](std::size_t i, const std::vector<CounterValue>& values, JournalValues& fields,
                                                  JournalValues& columns) {
        fields = in.records[i].fields;
        columns = in.records[i].columns;
        ASSERT_EQ(values.size(), 1u);
        seen.push_back(values[0].value);
        fields.push_back({"no", std::to_string(values[0].value)});
    });
    ASSERT_TRUE(first.ok()) << first.error;
    EXPECT_EQ(seen, (std::vector<std::int64_t>{1, 2, 3}));
    EXPECT_EQ(journal->nextCounterValue("waybill").value, 4);
    EXPECT_EQ(journal->records(first.value).value[2].counters, (std::vector<CounterValue>{{"waybill", 3}}));
    EXPECT_EQ(journal->records(first.value).value[2].fields.back().value, "3");

    // The last two pages fail: their numbers are the newest, so both come back.
    ASSERT_EQ(journal->setRecordOutcome(first.value, 1, 2, JournalOutcome::Failed, "jam"), "");
    EXPECT_EQ(journal->nextCounterValue("waybill").value, 2);

    // Once another job took a number, a failed page cannot give its own back.
    const auto second = journal->recordJob(in);
    EXPECT_EQ(journal->records(second.value).value[0].counters[0].value, 2);
    ASSERT_EQ(journal->setRecordOutcome(second.value, 0, 0, JournalOutcome::Cancelled), "");
    EXPECT_EQ(journal->nextCounterValue("waybill").value, 5);
    EXPECT_EQ(journal->records(second.value).value[0].counters.size(), 1u);
    EXPECT_EQ(journal->records(second.value).value[1].counters[0].value, 3);

    // A resume takes new numbers for the pages that gave theirs back and rewrites their fields.
    std::vector<int> refilled;
    EXPECT_TRUE(journal->retakeCounters(first.value, {0, 1, 2}, [&](JournalRecord& record) {
        refilled.push_back(record.index);
        record.fields.back().value = std::to_string(record.counters[0].value);
    }).empty());
    EXPECT_EQ(refilled, (std::vector<int>{1, 2}));
    const auto after = journal->records(first.value).value;
    EXPECT_EQ(after[0].counters[0].value, 1);
    EXPECT_EQ(after[1].counters[0].value, 5);
    EXPECT_EQ(after[2].fields.back().value, "6");

    EXPECT_TRUE(journal->setNextCounterValue("waybill", 1000).empty());
    EXPECT_EQ(journal->nextCounterValue("waybill").value, 1000);
    EXPECT_EQ(journal->nextCounterValue("unused").value, 1);
    EXPECT_EQ(journal->counters().value, (std::vector<CounterValue>{{"waybill", 1000}}));
}

TEST_P(JournalEngines, RecordsTakingDifferentCountersGetThemInRecordOrder)
{
    auto journal = open();
    ASSERT_TRUE(journal->setNextCounterValue("parcel", 10).empty());
    JournalJobIn in = job(4);
    in.records[0].counters = {"order", "parcel"};
    in.records[1].counters = {"parcel"};
    in.records[3].counters = {"order"};
    std::vector<std::vector<CounterValue>> given;
    const auto id = journal->recordJob(in, [&](std::size_t, const std::vector<CounterValue>& values, JournalValues&, JournalValues&) {
        given.push_back(values);
    });
    ASSERT_TRUE(id.ok()) << id.error;
    const std::vector<std::vector<CounterValue>> expected{
        {{"order", 1}, {"parcel", 10}}, {{"parcel", 11}}, {}, {{"order", 2}}};
    EXPECT_EQ(given, expected);
    const auto records = journal->records(id.value).value;
    ASSERT_EQ(records.size(), 4u);
    for (std::size_t i = 0; i < records.size(); ++i) {
        auto stored = records[i].counters;
        std::sort(stored.begin(), stored.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
        EXPECT_EQ(stored, expected[i]) << "record " << i;
    }
    EXPECT_EQ(journal->nextCounterValue("order").value, 3);
    EXPECT_EQ(journal->nextCounterValue("parcel").value, 12);
    // The last value taken is the newest: a failed page gives it back.
    ASSERT_EQ(journal->setRecordOutcome(id.value, 3, 3, JournalOutcome::Failed, "jam"), "");
    EXPECT_EQ(journal->nextCounterValue("order").value, 2);
}

#ifndef _WIN32
TEST_P(JournalEngines, TwoProcessesTakingOneCounterNeverShareANumber)
{
    open(); // created before the children race to create it
    constexpr int kPerChild = 60;
    std::vector<pid_t> children;
    for (int child = 0; child < 2; ++child) {
        const pid_t pid = fork();
        if (pid == 0) {
            auto opened = openAgain();
            int failures = opened.journal ? 0 : 100;
            for (int i = 0; i < kPerChild && opened.journal; ++i) {
                JournalJobIn in = job(1);
                in.records[0].counters = {"shared"};
                failures += opened.journal->recordJob(in).ok() ? 0 : 1;
            }
            _exit(failures == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    auto journal = open();
    std::set<std::int64_t> values;
    for (const auto& j : journal->listJobs().value)
        for (const auto& record : journal->records(j.id).value)
            for (const auto& counter : record.counters)
                values.insert(counter.value);
    EXPECT_EQ(values.size(), 2u * kPerChild);
    EXPECT_EQ(*values.rbegin(), 2 * kPerChild);
}
#endif

TEST_P(JournalEngines, AJobIsStagedBeforeItsCommitWithTheIdAndCounterValuesItKeeps)
{
    auto journal = open();
    JournalJobIn in = job(2);
    for (auto& record : in.records)
        record.counters = {"parcel"};
    std::vector<std::int64_t> filled;
    std::vector<JournalJobId> staged;
    std::int64_t jobsSeenWhenStaged = -1;
    const auto recorded = journal->recordJob(
        in, [&](std::size_t, const std::vector<CounterValue>& values, JournalValues&, JournalValues&) {
            filled.push_back(values.at(0).value);
        },
        [&](JournalJobId id) {
            staged.push_back(id);
            jobsSeenWhenStaged = number("SELECT count(*) FROM jobs"); // another connection: not committed yet
        });
    ASSERT_TRUE(recorded.ok()) << recorded.error;
    EXPECT_EQ(staged, std::vector<JournalJobId>{recorded.value});
    EXPECT_EQ(jobsSeenWhenStaged, 0);
    EXPECT_EQ(number("SELECT count(*) FROM jobs"), 1);
    EXPECT_EQ(filled, (std::vector<std::int64_t>{1, 2}));
    const auto records = journal->records(recorded.value).value;
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].counters, (std::vector<CounterValue>{{"parcel", 2}}));

    // A job that is not written is never staged.
    staged.clear();
    EXPECT_FALSE(journal->recordJob(job(0), {}, [&](JournalJobId id) { staged.push_back(id); }).ok());
    const OtherWriter locked(*this);
    EXPECT_FALSE(journal->recordJob(job(1), {}, [&](JournalJobId id) { staged.push_back(id); }).ok());
    EXPECT_TRUE(staged.empty());
}

TEST_P(JournalEngines, ThreadsSharingOneJournalTakeEachCounterValueOnce)
{
    auto journal = open();
    constexpr int kThreads = 4;
    constexpr int kJobs = 15;
    std::vector<std::thread> threads;
    std::vector<int> failures(kThreads, 0);
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kJobs; ++i) {
                JournalJobIn in = job(1);
                in.records[0].counters = {"shared"};
                const auto recorded = journal->recordJob(in);
                failures[t] += recorded.ok() ? 0 : 1;
                // A window asking meanwhile, from the same connection.
                if (!journal->countUnfinished("tool").ok() || !journal->listJobs(Query().search("张三")).ok())
                    ++failures[t];
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
    std::set<std::int64_t> values;
    for (const auto& j : journal->listJobs().value)
        for (const auto& record : journal->records(j.id).value)
            for (const auto& counter : record.counters)
                values.insert(counter.value);
    EXPECT_EQ(values.size(), static_cast<std::size_t>(kThreads * kJobs));
    EXPECT_EQ(*values.rbegin(), kThreads * kJobs);
}

TEST_P(JournalEngines, SearchFindsAnyPrintedValueAndFiltersCombine)
{
    auto journal = open();
    JournalJobIn a = job(2);
    a.records[1].fields.push_back({"备注", "易碎 \"小心\" 100%"});
    const JournalJobId first = journal->recordJob(a).value;
    JournalJobIn b = job(1);
    b.printer = "office";
    b.templateName = "receipt.oxf";
    b.records[0].fields = {{"收件人", "李四"}};
    b.records[0].columns = {{"order", "ORD-77"}};
    const JournalJobId second = journal->recordJob(b).value;

    const auto ids = [&](JournalQuery query) {
        std::vector<JournalJobId> found;
        const auto listed = journal->listJobs(query);
        EXPECT_TRUE(listed.ok()) << listed.error;
        for (const auto& j : listed.value)
            found.push_back(j.id);
        return found;
    };
    EXPECT_EQ(ids({}), (std::vector<JournalJobId>{second, first})); // newest first
    EXPECT_EQ(ids(Query().search("sf1001")), (std::vector<JournalJobId>{first})); // ASCII case folded
    EXPECT_EQ(ids(Query().search("ord-77")), (std::vector<JournalJobId>{second})); // a data column
    EXPECT_EQ(ids(Query().search("李四")), (std::vector<JournalJobId>{second}));   // shorter than three characters
    EXPECT_EQ(ids(Query().search("\"小心\"")), (std::vector<JournalJobId>{first}));
    EXPECT_EQ(ids(Query().search("0%")), (std::vector<JournalJobId>{first}));
    EXPECT_EQ(ids(Query().search("1\nsf")), (std::vector<JournalJobId>{first})); // two words
    EXPECT_TRUE(ids(Query().search("%_")).empty());
    EXPECT_TRUE(ids(Query().search("王五")).empty());
    EXPECT_EQ(ids(Query().templateName("receipt.oxf")), (std::vector<JournalJobId>{second}));
    EXPECT_EQ(ids(Query().printer("pdf").search("张三")), (std::vector<JournalJobId>{first}));
    EXPECT_TRUE(ids(Query().printer("office").search("张三")).empty());
    EXPECT_TRUE(ids(Query().since(std::time(nullptr) + 60)).empty());
    EXPECT_EQ(ids(Query().until(std::time(nullptr) + 60).limit(1)), (std::vector<JournalJobId>{second}));
}

// A search of several words finds the jobs with a record holding every one
// of them, a word held by the job's template or printer name counting for
// each of its records; the same before and after the records are indexed,
// and the window learns which records of a job matched.
TEST_P(JournalEngines, SearchWordsMustAllMatchOneRecordOrTheJobsNames)
{
    auto journal = open();
    JournalJobIn a = job(2); // printer pdf; 张三0 SF1000, 张三1 SF1001
    a.templateName = "waybill";
    a.searchIndexLater = true;
    a.records[1].fields.push_back({"地址", "北京市\n朝阳区"});
    const JournalJobId waybill = journal->recordJob(a).value;
    JournalJobIn b = job(1);
    b.searchIndexLater = true;
    b.printer = "Office_Laser";
    b.templateName = "receipt";
    b.records[0].fields = {{"收件人", "李四"}};
    b.records[0].columns = {{"order", "ORD-77"}};
    const JournalJobId receipt = journal->recordJob(b).value;

    const auto ids = [&](const std::string& text) {
        std::vector<JournalJobId> found;
        const auto listed = journal->listJobs(Query().search(text));
        EXPECT_TRUE(listed.ok()) << listed.error;
        for (const auto& j : listed.value)
            found.push_back(j.id);
        return found;
    };
    const std::vector<JournalJobId> none, onlyWaybill{waybill}, onlyReceipt{receipt}, both{receipt, waybill};
    const auto check = [&](const char* when) {
        SCOPED_TRACE(when);
        EXPECT_EQ(ids("张三1 sf1001"), onlyWaybill);
        EXPECT_EQ(ids("  SF1001\t张三1  "), onlyWaybill);
        EXPECT_EQ(ids("张三1\u3000北京"), onlyWaybill); // an ideographic space between
        EXPECT_EQ(ids("张三1 SF1000"), none);            // two records, one word each
        EXPECT_EQ(ids("北京 朝阳区 张"), onlyWaybill);
        EXPECT_EQ(ids("WAYBILL 张三0"), onlyWaybill);    // the template's name
        EXPECT_EQ(ids("waybill 李四"), none);
        EXPECT_EQ(ids("office 李四"), onlyReceipt);      // the printer's name
        EXPECT_EQ(ids("laser receipt"), onlyReceipt);   // names alone
        EXPECT_EQ(ids("o"), onlyReceipt);               // one character, looked for without the index
        EXPECT_EQ(ids("f"), both);
        EXPECT_EQ(ids("_ 李"), onlyReceipt);            // LIKE's wildcard as itself
        EXPECT_EQ(ids("_ sf"), none);
        EXPECT_EQ(ids("pdf office"), none);
        EXPECT_EQ(journal->matchingRecords(waybill, "张三1").value, std::vector<int>{1});
        EXPECT_EQ(journal->matchingRecords(waybill, "waybill sf100").value, (std::vector<int>{0, 1}));
        EXPECT_EQ(journal->matchingRecords(waybill, "pdf 朝阳").value, std::vector<int>{1});
        EXPECT_EQ(journal->matchingRecords(waybill, "").value, (std::vector<int>{0, 1}));
        EXPECT_TRUE(journal->matchingRecords(waybill, "李四").value.empty());
    };
    {
        const OtherWriter locked(*this); // the first search cannot index them
        check("not yet indexed");
    }
    check("indexed");
    if (onFile()) {
        EXPECT_EQ(number("SELECT count(*) FROM records WHERE id > (SELECT upto FROM search_indexed)"), 0);
    }
}

// Every program records a template by its file name without ".oxf"; a
// journal that kept the name with it (older designers and tools) reads and
// is filtered the same.
TEST_P(JournalEngines, TemplateNamesReadAndMatchWithOrWithoutTheirExtension)
{
    EXPECT_EQ(journalTemplateName("/forms/Waybill.OXF"), "Waybill");
    EXPECT_EQ(journalTemplateName("C:\\forms\\运单.oxf"), "运单");
    EXPECT_EQ(journalTemplateName("waybill"), "waybill");
    EXPECT_EQ(journalTemplateName("waybill.oxf.bak"), "waybill.oxf.bak");
    EXPECT_EQ(journalTemplateName(".oxf"), ".oxf");

    auto journal = open();
    JournalJobIn old = job(1);
    old.templateName = "waybill.oxf";
    const JournalJobId before = journal->recordJob(old).value;
    JournalJobIn now = job(1);
    now.templateName = "waybill";
    const JournalJobId after = journal->recordJob(now).value;
    JournalJobIn other = job(1);
    other.templateName = "waybill2.oxf";
    ASSERT_TRUE(journal->recordJob(other).ok());

    for (const char* asked : {"waybill", "waybill.oxf"}) {
        const auto listed = journal->listJobs(Query().templateName(asked)).value;
        ASSERT_EQ(listed.size(), 2u) << asked;
        EXPECT_EQ(listed[0].id, after);
        EXPECT_EQ(listed[1].id, before);
        EXPECT_EQ(listed[1].templateName, "waybill");
    }
    EXPECT_EQ(journal->job(before).value->templateName, "waybill");
    EXPECT_TRUE(journal->listJobs(Query().templateName("waybil")).value.empty());
}

// A reprint keeps the counter values it printed (the preview shows them) and,
// having taken none, never gives them back when it fails.
TEST_P(JournalEngines, AReprintKeepsTheNumbersItPrintedAndGivesNoneBack)
{
    auto journal = open();
    JournalJobIn first = job(2);
    for (auto& record : first.records)
        record.counters = {"card"};
    const JournalJobId printed = journal->recordJob(first).value;
    ASSERT_EQ(journal->nextCounterValue("card").value, 3);
    const auto kept = journal->records(printed).value;

    JournalJobIn again = job(1);
    again.kind = JournalKind::Reprint;
    again.repeats = printed;
    again.records[0].counterValues = kept[1].counters;
    const JournalJobId reprint = journal->recordJob(again).value;
    const auto records = journal->records(reprint).value;
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].counters, (std::vector<CounterValue>{{"card", 2}}));
    EXPECT_EQ(journal->nextCounterValue("card").value, 3);
    ASSERT_EQ(journal->setRecordOutcome(reprint, 0, 0, JournalOutcome::Failed, "paper jam"), "");
    EXPECT_EQ(journal->nextCounterValue("card").value, 3);
    EXPECT_EQ(journal->records(reprint).value[0].counters, (std::vector<CounterValue>{{"card", 2}}));
}

// Another connection's writes change the count the window watches; its own
// reads do not.
TEST_P(JournalEngines, TheChangeCountMovesWithAnotherConnectionsWrites)
{
    auto window = open();
    auto printer = open();
    const JournalJobId id = printer->recordJob(job(1)).value;
    const std::int64_t seen = window->changeCount().value;
    ASSERT_TRUE(window->listJobs(Query().search("张三")).ok());
    EXPECT_EQ(window->changeCount().value, seen);
    ASSERT_EQ(printer->finishJob(id, JournalOutcome::Printed), "");
    EXPECT_NE(window->changeCount().value, seen);

    // What was written after a job, asked for by the job's id.
    JournalQuery later;
    later.after = id;
    EXPECT_TRUE(window->listJobs(later).value.empty());
    const JournalJobId next = printer->recordJob(job(1)).value;
    const auto listed = window->listJobs(later).value;
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].id, next);
}

// Every text of one to three characters over a small alphabet (ASCII in both
// cases, Chinese, LIKE's wildcard, a double quote) is looked for in jobs of one record each and
// must find exactly the records with a value holding it, ASCII case aside:
// whether the records are in the search index or not, after a prune and
// after fields written later.
TEST_P(JournalEngines, SearchFindsExactlyTheRecordsWithAValueHoldingTheText)
{
    const std::vector<std::string> letters = {"a", "B", "张", "三", "%", "\""};
    std::mt19937 random(20261209);
    const auto value = [&] {
        std::string text;
        for (auto n = random() % 5; n > 0; --n)
            text += letters[random() % letters.size()];
        return text;
    };
    auto journal = open();
    std::map<JournalJobId, JournalValues> printed; // every value of each job's record
    const auto print = [&](bool indexLater, bool fieldsLater) {
        JournalJobIn in = job(1);
        in.templateName = "form"; // names, searched too, without the letters looked for
        in.searchIndexLater = indexLater;
        in.records[0].fields = {{"1", value()}, {"2", value()}, {"3", value()}};
        in.records[0].columns = {{"c", value()}};
        in.records[0].fieldsLater = fieldsLater;
        const JournalJobId id = journal->recordJob(in).value;
        printed[id] = in.records[0].columns;
        if (!fieldsLater)
            printed[id].insert(printed[id].end(), in.records[0].fields.begin(), in.records[0].fields.end());
        return id;
    };
    for (int i = 0; i < 40; ++i)
        print(false, false);
    // Pruned while in the index: its values must not be found any more.
    const JournalJobId gone = print(false, false);
    ASSERT_EQ(journal->finishJob(gone, JournalOutcome::Printed), "");
    sql("UPDATE jobs SET created_at = 1000 WHERE id = " + std::to_string(gone));
    ASSERT_EQ(journal->pruneBefore(2000).value, 1);
    printed.erase(gone);
    // Fields that follow, once in the index and once not yet.
    const JournalJobId indexedFirst = print(false, true);
    for (int i = 0; i < 10; ++i)
        print(true, false);
    const JournalJobId notIndexed = print(true, true);
    for (const JournalJobId id : {indexedFirst, notIndexed}) {
        const JournalValues fields = {{"1", value() + "aB三"}, {"2", value()}};
        ASSERT_EQ(journal->setRecordFields(id, {{0, fields}}), "");
        printed[id].insert(printed[id].end(), fields.begin(), fields.end());
    }

    const auto lower = [](std::string text) {
        for (char& c : text)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        return text;
    };
    std::vector<std::string> texts;
    const std::vector<std::string> both = {"a", "A", "b", "B", "张", "三", "%", "\""};
    for (const auto& x : both) {
        texts.push_back(x);
        for (const auto& y : both) {
            texts.push_back(x + y);
            for (const auto& z : {"a", "B", "三", "%"})
                texts.push_back(x + y + z);
        }
    }
    const auto check = [&](const char* when) {
        for (const auto& text : texts) {
            std::set<JournalJobId> expected;
            for (const auto& [id, values] : printed)
                for (const auto& v : values)
                    if (lower(v.value).find(lower(text)) != std::string::npos)
                        expected.insert(id);
            std::set<JournalJobId> found;
            for (const auto& j : journal->listJobs(Query().search(text)).value)
                found.insert(j.id);
            EXPECT_EQ(found, expected) << "\"" << text << "\" " << when;
        }
    };
    {
        const OtherWriter locked(*this);
        check("with records not yet indexed");
    }
    if (onFile()) {
        ASSERT_EQ(number("SELECT count(*) FROM records WHERE id > (SELECT upto FROM search_indexed)"), 11);
    }
    check("with every record indexed by the first search"); // the first search indexed them
    if (onFile()) {
        EXPECT_EQ(number("SELECT count(*) FROM records WHERE id > (SELECT upto FROM search_indexed)"), 0);
    }
}

TEST_P(JournalEngines, PruneDeletesOldFinishedJobsAndTheTemplatesNoneUses)
{
    auto journal = open();
    const JournalJobId done = journal->recordJob(job(2, "old form")).value;
    ASSERT_EQ(journal->finishJob(done, JournalOutcome::Printed), "");
    const JournalJobId open_ = journal->recordJob(job(1, "queued form")).value;
    sql("UPDATE jobs SET created_at = 1000");
    const JournalJobId recent = journal->recordJob(job(1, "new form")).value;
    ASSERT_EQ(journal->finishJob(recent, JournalOutcome::Printed), "");

    const auto pruned = journal->pruneBefore(2000);
    ASSERT_TRUE(pruned.ok()) << pruned.error;
    EXPECT_EQ(pruned.value, 1);
    EXPECT_FALSE(journal->job(done).value.has_value());
    EXPECT_TRUE(journal->records(done).value.empty());
    EXPECT_TRUE(journal->job(open_).value.has_value());
    const auto stats = journal->stats().value;
    EXPECT_EQ(stats.templates, 2);
    EXPECT_EQ(stats.records, 2);
    EXPECT_GT(stats.fileBytes, 0);
    // The pruned records left the search index with them.
    EXPECT_TRUE(journal->listJobs(Query().search("SF1001")).value.empty());
    EXPECT_EQ(journal->listJobs(Query().search("SF1000")).value.size(), 2u);
}

TEST_F(JournalFile, ADamagedFileIsSetAsideAndAFreshJournalStarted)
{
    { std::ofstream(m_path, std::ios::binary) << std::string(8192, 'x'); }
    Journal::Opened opened = Journal::open(m_path);
    ASSERT_TRUE(opened.journal) << opened.error;
    ASSERT_FALSE(opened.setAside.empty());
    EXPECT_TRUE(fs::exists(opened.setAside));
    EXPECT_EQ(fs::file_size(opened.setAside), 8192u);
    EXPECT_NE(opened.journal->takeNotice().find("set aside"), std::string::npos);
    EXPECT_TRUE(opened.journal->takeNotice().empty());
    EXPECT_TRUE(opened.journal->recordJob(job(1)).ok());
}

TEST_F(JournalFile, DamageFoundWhileWritingSetsTheFileAsideAndTheWriteGoesToANewOne)
{
    {
        auto journal = open();
        for (int i = 0; i < 30; ++i)
            ASSERT_TRUE(journal->recordJob(job(20)).ok());
    }
    // Scribble over the pages after the first (the schema stays readable).
    {
        std::fstream file(m_path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(4096 * 3);
        file << std::string(4096 * 8, '\x5a');
    }
    auto journal = open();
    ASSERT_TRUE(journal);
    JournalJobIn in = job(20);
    const auto recorded = journal->recordJob(in);
    const auto listed = journal->listJobs(Query().search("SF1003"));
    const std::string notice = journal->takeNotice();
    ASSERT_NE(notice.find("set aside"), std::string::npos) << recorded.error << " / " << listed.error;
    EXPECT_TRUE(journal->recordJob(in).ok());
    EXPECT_TRUE(fs::exists(m_path));
}

TEST_P(JournalEngines, RecordsOutsideTheSearchIndexAreFoundAndTheirFieldsFollowOnce)
{
    auto journal = open();
    // Indexed, then pruned: the ids of the next records are below the index's old mark.
    const JournalJobId old = journal->recordJob(job(3)).value;
    ASSERT_EQ(journal->finishJob(old, JournalOutcome::Printed), "");
    sql("UPDATE jobs SET created_at = 1000");
    ASSERT_EQ(journal->pruneBefore(2000).value, 1);

    JournalJobIn in = job(2);
    in.searchIndexLater = true;
    for (auto& record : in.records) {
        record.fieldsLater = true;
        record.fields.clear();
    }
    in.records[0].columns = {{"order", "ORD-5150"}};
    const JournalJobId id = journal->recordJob(in).value;
    const auto found = [&](const std::string& text) { return journal->listJobs(Query().search(text)).value.size(); };
    std::optional<OtherWriter> locked(std::in_place, *this);
    EXPECT_EQ(found("ord-5150"), 1u); // not yet in the index
    locked.reset();
    EXPECT_TRUE(journal->records(id).value[0].fieldsPending);

    // Written once: a second write of a record's fields is ignored.
    const JournalValues printed = {{"box 1", "Ship \"fast\"\\\t\x01 to 王五 ORD-5150 \xff"}};
    ASSERT_EQ(journal->setRecordFields(id, {{0, printed}, {1, {}}}), "");
    ASSERT_EQ(journal->setRecordFields(id, {{0, {{"box 1", "other"}}}}), "");
    auto records = journal->records(id).value;
    ASSERT_EQ(records.size(), 2u);
    EXPECT_FALSE(records[0].fieldsPending);
    EXPECT_FALSE(records[1].fieldsPending);
    ASSERT_EQ(records[0].fields.size(), 1u);
    // Kept as JSON: quotes, backslashes and control characters come back; a stray byte becomes U+FFFD.
    EXPECT_EQ(records[0].fields[0].value, "Ship \"fast\"\\\t\x01 to 王五 ORD-5150 \xef\xbf\xbd");
    EXPECT_TRUE(records[1].fields.empty());
    locked.emplace(*this);
    EXPECT_EQ(found("王五 ORD"), 1u);
    EXPECT_EQ(found("other"), 0u);
    locked.reset();

    ASSERT_EQ(journal->indexSearch(), "");
    EXPECT_EQ(found("王五 ORD"), 1u);
    EXPECT_EQ(found("ord-5150"), 1u);
    EXPECT_EQ(found("张三1"), 1u);
    // A record written after it was indexed is found by its new text only.
    in.records[0].columns = {{"order", "ORD-6000"}};
    const JournalJobId later = journal->recordJob(in).value;
    ASSERT_EQ(journal->indexSearch(), "");
    ASSERT_EQ(journal->setRecordFields(later, {{0, {{"box 1", "Parcel PX-42"}}}}), "");
    EXPECT_EQ(found("px-42"), 1u);
    EXPECT_EQ(found("ord-6000"), 1u); // the column, not repeated in the field, is still found
}

TEST_P(JournalEngines, WritesInOneTransactionStandOrFallTogether)
{
    auto journal = open();
    const JournalJobId id = journal->recordJob(job(2)).value;
    const std::string failed = journal->inOneTransaction([&] {
        EXPECT_EQ(journal->setRecordOutcome(id, 0, 1, JournalOutcome::Printed), "");
        return journal->finishJob(id + 100, JournalOutcome::Printed);
    });
    EXPECT_NE(failed.find("no journal job"), std::string::npos) << failed;
    EXPECT_EQ(journal->job(id).value->printedCount, 0);

    EXPECT_EQ(journal->inOneTransaction([&] {
        const std::string error = journal->setRecordOutcome(id, 0, 1, JournalOutcome::Printed);
        return error.empty() ? journal->finishJob(id, JournalOutcome::Printed) : error;
    }), "");
    const auto done = journal->job(id).value;
    EXPECT_EQ(done->printedCount, 2);
    EXPECT_EQ(done->outcome, JournalOutcome::Printed);
    EXPECT_FALSE(done->resumeOffered);
    ASSERT_EQ(journal->markResumeOffered(id), "");
    EXPECT_TRUE(journal->job(id).value->resumeOffered);
}

TEST_F(JournalFile, ANewerSchemaIsRefusedAndLeftAlone)
{
    open();
    sql("PRAGMA user_version = 99");
    const auto before = fs::file_size(m_path);
    Journal::Opened opened = Journal::open(m_path);
    EXPECT_FALSE(opened.journal);
    EXPECT_NE(opened.error.find("newer"), std::string::npos);
    EXPECT_EQ(fs::file_size(m_path), before);
}

TEST_F(JournalFile, MigratesAFileOfTheFirstSchemaKeepingItsJobsSearchableAndCounters)
{
    sql(std::string(kFirstSchema) + R"sql(
INSERT INTO templates VALUES ('abc', X'3c6f78662f3e', 6, 1700000000);
INSERT INTO jobs(id, created_at, finished_at, user, host, program, printer, template_path, template_name, template_hash,
  calibration, copies, outcome, cups_job_ids) VALUES (5, 1700000000, 1700000010, 'clerk', 'desk', 'designer', 'pdf',
  '/f/a.oxf', 'a.oxf', 'abc', '', 1, 'printed', '12');
INSERT INTO records(job_id, idx, number, copies, fields, columns, outcome, cups_job_id) VALUES
  (5, 0, 1, 1, '[["收件人","王小明"]]', '[["order","A-9001"]]', 'printed', 12);
INSERT INTO counters VALUES ('receipt', 41);
PRAGMA user_version = 1;
)sql");
    auto journal = open();
    ASSERT_TRUE(journal);
    EXPECT_EQ(journal->schemaVersion(), 7);
    const auto old = journal->job(5).value;
    ASSERT_TRUE(old.has_value());
    EXPECT_EQ(old->kind, "page");
    EXPECT_EQ(old->cupsJobIds, std::vector<int>{12});
    EXPECT_EQ(old->printedCount, 1);
    EXPECT_EQ(journal->records(5).value[0].columns[0].value, "A-9001");
    ASSERT_EQ(journal->listJobs(Query().search("a-900")).value.size(), 1u);
    ASSERT_EQ(journal->listJobs(Query().search("王小明")).value.size(), 1u);
    EXPECT_EQ(journal->nextCounterValue("receipt").value, 41);
    EXPECT_EQ(journal->templateBytes("abc").value, std::optional<std::string>("<oxf/>"));
    // New jobs go into the migrated file next to the old one, and are found.
    const auto added = journal->recordJob(job(1));
    ASSERT_TRUE(added.ok()) << added.error;
    EXPECT_EQ(journal->listJobs().value.size(), 2u);
    EXPECT_EQ(journal->listJobs(Query().search("SF1000")).value.size(), 1u);
    // A migrated record leaves the index when pruned.
    ASSERT_EQ(journal->pruneBefore(1700000001).value, 1);
    EXPECT_TRUE(journal->listJobs(Query().search("a-900")).value.empty());
    EXPECT_FALSE(journal->job(5).value.has_value());
}

// The fourth schema kept each record's counter values in a table of their
// own; the upgrade moves them into their records, where a failed page still
// gives its numbers back.
TEST_F(JournalFile, MigratesTheCounterValuesOfTheFourthSchemaIntoTheirRecords)
{
    JournalJobIn in = job(3);
    in.records[0].counters = {"parcel", "order"};
    in.records[1].counters = {"parcel"};
    in.records[2].counters = {"parcel"};
    JournalJobId id = 0;
    {
        auto journal = open();
        id = journal->recordJob(in).value;
        ASSERT_GT(id, 0);
    }
    // Back to the fourth schema's shape: its search index keyed by record
    // and no record counts in the jobs.
    ASSERT_EQ(sql(R"sql(
CREATE TABLE record_counters(record_id INTEGER NOT NULL REFERENCES records(id) ON DELETE CASCADE,
  name TEXT NOT NULL, value INTEGER NOT NULL, PRIMARY KEY(record_id, name)) WITHOUT ROWID;
INSERT INTO record_counters SELECT r.id, json_extract(c.value, '$[0]'), json_extract(c.value, '$[1]')
  FROM records r, json_each(r.counter_values) c WHERE r.counter_values <> '';
DROP TRIGGER records_words_delete;
DROP TRIGGER records_words_update;
DROP TABLE record_words;
ALTER TABLE records DROP COLUMN counter_values;
ALTER TABLE records DROP COLUMN sheet;
ALTER TABLE records DROP COLUMN cell;
ALTER TABLE jobs DROP COLUMN record_count;
UPDATE search_indexed SET upto = 0;
CREATE VIRTUAL TABLE record_text USING fts5(search_text, content='records', content_rowid='id',
  tokenize='value_trigrams', columnsize=0);
CREATE TRIGGER records_text_delete AFTER DELETE ON records
WHEN old.id <= (SELECT upto FROM search_indexed) BEGIN
  INSERT INTO record_text(record_text, rowid, search_text) VALUES ('delete', old.id, old.search_text);
END;
CREATE TRIGGER records_text_update AFTER UPDATE OF search_text ON records
WHEN old.id <= (SELECT upto FROM search_indexed) BEGIN
  INSERT INTO record_text(record_text, rowid, search_text) VALUES ('delete', old.id, old.search_text);
  INSERT INTO record_text(rowid, search_text) VALUES (new.id, new.search_text);
END;
INSERT INTO record_text(record_text) VALUES ('rebuild');
UPDATE search_indexed SET upto = (SELECT max(id) FROM records);
PRAGMA user_version = 4;
)sql"), SQLITE_OK);
    ASSERT_EQ(number("SELECT count(*) FROM record_counters"), 4);

    auto journal = open();
    ASSERT_TRUE(journal);
    EXPECT_EQ(journal->schemaVersion(), 7);
    EXPECT_EQ(number("SELECT count(*) FROM sqlite_master WHERE name = 'record_counters'"), 0);
    EXPECT_EQ(journal->job(id).value->recordCount, 3);
    EXPECT_EQ(journal->listJobs(Query().search("SF1002")).value.size(), 1u);
    // The new index took the records over; the old one is cleared away.
    EXPECT_EQ(number("SELECT upto FROM search_indexed"), 3);
    ASSERT_EQ(journal->indexSearch(), "");
    EXPECT_EQ(number("SELECT count(*) FROM sqlite_master WHERE name LIKE 'record_text%'"), 0);
    EXPECT_EQ(journal->listJobs(Query().search("SF1002")).value.size(), 1u);
    auto records = journal->records(id).value;
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].counters, (std::vector<CounterValue>{{"order", 1}, {"parcel", 1}}));
    EXPECT_EQ(records[1].counters, (std::vector<CounterValue>{{"parcel", 2}}));
    EXPECT_EQ(records[2].counters, (std::vector<CounterValue>{{"parcel", 3}}));

    // The first page fails: its parcel number is not the newest and stays
    // used, its order number is and comes back.
    ASSERT_EQ(journal->setRecordOutcome(id, 0, 0, JournalOutcome::Failed, "jammed"), "");
    EXPECT_EQ(journal->nextCounterValue("order").value, 1);
    EXPECT_EQ(journal->nextCounterValue("parcel").value, 4);
    records = journal->records(id).value;
    EXPECT_EQ(records[0].counters, (std::vector<CounterValue>{{"parcel", 1}}));
    // The last two fail: both parcel numbers come back, the newest first.
    ASSERT_EQ(journal->setRecordOutcome(id, 1, 2, JournalOutcome::Failed, "jammed"), "");
    EXPECT_EQ(journal->nextCounterValue("parcel").value, 2);
    records = journal->records(id).value;
    EXPECT_TRUE(records[1].counters.empty());
    EXPECT_TRUE(records[2].counters.empty());
}

// The sixth schema knew nothing of sheets: its records read as not on a
// sheet once upgraded, and the upgraded file keeps where new records went.
TEST_F(JournalFile, MigratesTheSixthSchemaWithItsRecordsOnNoSheetAndKeepsPlacesFromThenOn)
{
    JournalJobId old = 0;
    {
        auto journal = open();
        old = journal->recordJob(job(2)).value;
        ASSERT_GT(old, 0);
    }
    ASSERT_EQ(sql("ALTER TABLE records DROP COLUMN sheet; ALTER TABLE records DROP COLUMN cell;"
                  " PRAGMA user_version = 6;"),
              SQLITE_OK);

    auto journal = open();
    ASSERT_TRUE(journal);
    EXPECT_EQ(journal->schemaVersion(), 7);
    auto records = journal->records(old).value;
    ASSERT_EQ(records.size(), 2u);
    for (const auto& record : records) {
        EXPECT_EQ(record.sheet, 0);
        EXPECT_EQ(record.cell, 0);
        EXPECT_EQ(record.columns, job(2).records[static_cast<std::size_t>(record.index)].columns);
    }

    // Places written in one call, each to its own record; the others stay off the sheet.
    const JournalJobId added = journal->recordJob(job(4)).value;
    ASSERT_EQ(journal->setRecordPlaces(added, {{0, 1, 6}, {1, 2, 1}, {3, 2, 3}}), "");
    records = journal->records(added).value;
    ASSERT_EQ(records.size(), 4u);
    const std::vector<std::pair<int, int>> expected{{1, 6}, {2, 1}, {0, 0}, {2, 3}};
    for (std::size_t i = 0; i < records.size(); ++i)
        EXPECT_EQ(std::make_pair(records[i].sheet, records[i].cell), expected[i]) << i;
    EXPECT_EQ(journal->records(old).value[0].cell, 0);
    // A job that is not there changes nothing and is no error of the journal's.
    EXPECT_EQ(journal->setRecordPlaces(added + 100, {{0, 1, 1}}), "");
}

// An upgraded journal starts with an empty search index, filled 20,000
// records per call; its records are found all along, indexed or not.
TEST_F(JournalFile, AnUpgradedJournalIsIndexedAChunkAtATimeAndSearchedThroughout)
{
    // 25 jobs of 1,000 records; job j's records print "客" and the j-th character from U+4E00, then "No" and their index.
    sql(std::string(kFirstSchema) + R"sql(
INSERT INTO templates VALUES ('abc', X'3c6f78662f3e', 6, 1700000000);
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 25)
INSERT INTO jobs(id, created_at, finished_at, user, host, program, printer, template_path, template_name,
  template_hash, calibration, copies, outcome)
  SELECT i, 1700000000 + i, 1700000000 + i, 'clerk', 'desk', 'tool', 'pdf', '/f/a.oxf', 'a.oxf', 'abc', '', 1, 'printed' FROM n;
WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 24999)
INSERT INTO records(job_id, idx, number, copies, fields, columns, outcome)
  SELECT i / 1000 + 1, i % 1000, i % 1000 + 1, 1,
    '[["收件人","客' || char(19968 + i / 1000 + 1) || '"],["单号","No' || (i % 1000) || '"]]', '[]', 'printed' FROM n;
PRAGMA user_version = 1;
)sql");
    const auto mark = [](int job) { // 客 and U+4E00 + job in UTF-8
        const int c = 0x4e00 + job;
        return std::string("客") + static_cast<char>(0xe0 | (c >> 12)) + static_cast<char>(0x80 | ((c >> 6) & 0x3f))
            + static_cast<char>(0x80 | (c & 0x3f));
    };
    auto journal = open();
    ASSERT_TRUE(journal);
    EXPECT_EQ(journal->schemaVersion(), 7);
    const auto jobs = [&](const std::string& text) {
        std::vector<JournalJobId> found;
        for (const auto& j : journal->listJobs(Query().search(text)).value)
            found.push_back(j.id);
        std::sort(found.begin(), found.end());
        return found;
    };
    const auto searches = [&](const char* when) {
        EXPECT_EQ(jobs(mark(3)), std::vector<JournalJobId>{3}) << when;
        EXPECT_EQ(jobs(mark(23)), std::vector<JournalJobId>{23}) << when;
        EXPECT_EQ(jobs(mark(23).substr(3) + "N"), std::vector<JournalJobId>{}) << when; // across two values
        EXPECT_EQ(jobs("o999").size(), 25u) << when;
        EXPECT_EQ(jobs("客").size(), 25u) << when;
    };
    EXPECT_EQ(number("SELECT upto FROM search_indexed"), 0);
    std::optional<OtherWriter> locked(std::in_place, *this);
    searches("before indexing");
    locked.reset();
    ASSERT_EQ(journal->indexSearch(), "");
    EXPECT_EQ(number("SELECT upto FROM search_indexed"), 20000);
    locked.emplace(*this);
    searches("with 20,000 records indexed");
    locked.reset();
    // Unlocked, a search first indexes the next chunk.
    EXPECT_EQ(jobs("客").size(), 25u);
    EXPECT_EQ(number("SELECT upto FROM search_indexed"), 25000);
    searches("with every record indexed");
    // The index of the older schema was cleared away meanwhile.
    EXPECT_EQ(number("SELECT count(*) FROM sqlite_master WHERE name LIKE 'record_search%'"), 0);

    // Pruned jobs leave the index; a new one joins it.
    ASSERT_EQ(journal->pruneBefore(1700000003).value, 2);
    EXPECT_TRUE(jobs(mark(1)).empty());
    EXPECT_EQ(jobs("No").size(), 23u);
    const JournalJobId added = journal->recordJob(job(1)).value;
    EXPECT_EQ(number("SELECT upto FROM search_indexed"), number("SELECT max(id) FROM records"));
    EXPECT_EQ(jobs("Sf"), std::vector<JournalJobId>{added});
    EXPECT_EQ(jobs("张三0"), std::vector<JournalJobId>{added});
}

// A print leaves its pages in the write-ahead log (copying them into the
// database file means two more waits for the disk); the tidying after it
// copies them over.
TEST_F(JournalFile, APrintLeavesItsPagesInTheLogUntilTheJournalIsTidied)
{
    auto journal = open();
    ASSERT_EQ(journal->indexSearch(), "");
    const auto before = fs::file_size(m_path);
    JournalJobIn in = job(5000);
    in.searchIndexLater = true;
    ASSERT_TRUE(journal->recordJob(in).ok());
    EXPECT_EQ(fs::file_size(m_path), before);
    EXPECT_GT(fs::file_size(m_path + "-wal"), 200'000u);
    ASSERT_EQ(journal->indexSearch(), "");
    EXPECT_GT(fs::file_size(m_path), before + 200'000);
    EXPECT_EQ(journal->listJobs(Query().search("SF5999")).value.size(), 1u);
}

TEST_F(JournalFile, IsSwitchedOffAndOnByAMarkerBesideTheFile)
{
    EXPECT_FALSE(Journal::isOff(m_path));
    EXPECT_TRUE(Journal::setOff(true, m_path).empty());
    EXPECT_TRUE(Journal::isOff(m_path));
    EXPECT_TRUE(Journal::setOff(false, m_path).empty());
    EXPECT_FALSE(Journal::isOff(m_path));
}

TEST(JournalTime, ReadsDatesAndTimesOfTheCommandLineAsLocalTime)
{
    const auto day = parseJournalTime("2026-12-09");
    ASSERT_TRUE(day.has_value());
    EXPECT_EQ(formatJournalTime(*day), "2026-12-09 00:00:00");
    EXPECT_EQ(formatJournalTime(*parseJournalTime("2026-12-09 11:05")), "2026-12-09 11:05:00");
    EXPECT_EQ(formatJournalTime(*parseJournalTime("2026-12-09T11:05:07")), "2026-12-09 11:05:07");
    for (const char* bad : {"", "2026-13-01", "2026-12-09x", "09.12.2026", "2026-12-09 25:00", "2026-12-09 11",
                            "Today", "tomorrow"})
        EXPECT_FALSE(parseJournalTime(bad).has_value()) << bad;

    // today and yesterday: the start of the local day, whatever the clock says.
    const std::time_t at = std::time(nullptr);
    std::tm local{};
    localtime_r(&at, &local);
    char date[16];
    std::strftime(date, sizeof date, "%Y-%m-%d", &local);
    const auto today = parseJournalTime("today");
    const auto yesterday = parseJournalTime("yesterday");
    ASSERT_TRUE(today && yesterday);
    EXPECT_EQ(formatJournalTime(*today), std::string(date) + " 00:00:00");
    EXPECT_EQ(formatJournalTime(*yesterday).substr(11), "00:00:00");
    EXPECT_GE(*today - *yesterday, 23 * 3600); // a day, give or take a change of summer time
    EXPECT_LE(*today - *yesterday, 25 * 3600);
}

// While one thread's transaction is open, another thread's calls wait for
// its end and never join it: they stand when it is undone.
TEST_P(JournalEngines, AnotherThreadsWritesWaitForAnOpenTransactionAndStandAlone)
{
    auto journal = open();
    std::atomic<bool> calling{false};
    JournalResult<JournalJobId> theirs;
    std::thread other;
    const std::string undone = journal->inOneTransaction([&] {
        const JournalJobId mine = journal->recordJob(job(1)).value;
        other = std::thread([&] {
            calling = true;
            theirs = journal->recordJob(job(2));
        });
        while (!calling)
            std::this_thread::yield();
        EXPECT_EQ(journal->finishJob(mine, JournalOutcome::Printed), "");
        EXPECT_EQ(journal->listJobs().value.size(), 1u);
        return std::string("changed my mind");
    });
    other.join();
    EXPECT_EQ(undone, "changed my mind");
    ASSERT_TRUE(theirs.ok()) << theirs.error;
    const auto jobs = journal->listJobs().value;
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].id, theirs.value);
    EXPECT_EQ(jobs[0].recordCount, 2);
    EXPECT_EQ(jobs[0].outcome, JournalOutcome::Queued);
}

// Every value comes back byte for byte, whatever characters it holds, and a
// job of thousands of records keeps their order and counter values.
TEST_P(JournalEngines, ValuesComeBackAsPrintedInJobsOfAnySize)
{
    auto journal = open();
    const std::vector<std::string> odd = {"", "NULL", "{a,b}", "\"quoted\", and \\ back", "两行\n第二行",
                                          "tab\tand \x01", "🚚 emoji", " spaced ", "}{\\\""};
    JournalJobIn in = job(2600);
    for (std::size_t i = 0; i < in.records.size(); ++i) {
        auto& record = in.records[i];
        record.fields.push_back({odd[i % odd.size()], odd[(i + 1) % odd.size()]});
        record.columns.push_back({"c", odd[(i + 2) % odd.size()]});
        record.counters = {"WB"};
    }
    const auto recorded = journal->recordJob(in);
    ASSERT_TRUE(recorded.ok()) << recorded.error;
    const auto records = journal->records(recorded.value).value;
    ASSERT_EQ(records.size(), in.records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].index, static_cast<int>(i));
        EXPECT_EQ(records[i].number, static_cast<int>(i) + 1);
        EXPECT_EQ(records[i].fields, in.records[i].fields) << i;
        EXPECT_EQ(records[i].columns, in.records[i].columns) << i;
        EXPECT_EQ(records[i].counters, (std::vector<CounterValue>{{"WB", static_cast<std::int64_t>(i) + 1}}));
        if (::testing::Test::HasFailure())
            break;
    }
    EXPECT_EQ(journal->job(recorded.value).value->recordCount, 2600);
    EXPECT_EQ(journal->listJobs(Query().search("{a,b}")).value.size(), 1u);
    EXPECT_EQ(journal->matchingRecords(recorded.value, "SF3599").value, std::vector<int>{2599});
}

namespace {

std::vector<Engine> engines()
{
#if ORDAVEL_POSTGRES
    return {Engine::SQLite, Engine::PostgreSQL};
#else
    return {Engine::SQLite};
#endif
}

std::string engineName(const ::testing::TestParamInfo<Engine>& engine)
{
    return engine.param == Engine::SQLite ? "SQLite" : "PostgreSQL";
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Journal, JournalEngines, ::testing::ValuesIn(engines()), engineName);


#if ORDAVEL_POSTGRES
// What a shop's journal adds: several stations (connections, processes) on
// one database, a schema of its own, and a server that may not answer.
class JournalShop : public JournalFile {
protected:
    void SetUp() override
    {
        JournalFile::SetUp();
        startShop();
    }

    static std::vector<std::int64_t> sorted(std::vector<std::int64_t> values)
    {
        std::sort(values.begin(), values.end());
        return values;
    }
    static std::vector<std::int64_t> oneTo(std::int64_t last)
    {
        std::vector<std::int64_t> values(static_cast<std::size_t>(last));
        std::iota(values.begin(), values.end(), 1);
        return values;
    }
};

// Two stations, each printing from several threads, take values of two
// counters at once: every value is taken exactly once and none is skipped.
TEST_F(JournalShop, StationsTakingCountersAtOnceGetEveryValueOnce)
{
    auto first = open();
    auto second = open();
    ASSERT_TRUE(first && second);
    constexpr int kThreads = 3;
    constexpr int kJobs = 15;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (Journal* station : {first.get(), second.get()})
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, station] {
                for (int i = 0; i < kJobs; ++i) {
                    JournalJobIn in = job(2);
                    in.records[0].counters = {"WB", "parcel"};
                    in.records[1].counters = {"WB"};
                    const auto recorded = station->recordJob(in);
                    if (!recorded.ok()) {
                        ADD_FAILURE() << recorded.error;
                        ++failures;
                    }
                }
            });
    for (auto& thread : threads)
        thread.join();
    ASSERT_EQ(failures.load(), 0);
    std::vector<std::int64_t> waybills, parcels;
    for (const auto& j : second->listJobs().value)
        for (const auto& record : second->records(j.id).value)
            for (const auto& counter : record.counters)
                (counter.name == "WB" ? waybills : parcels).push_back(counter.value);
    constexpr int kAllJobs = 2 * kThreads * kJobs;
    EXPECT_EQ(sorted(waybills), oneTo(2 * kAllJobs));
    EXPECT_EQ(sorted(parcels), oneTo(kAllJobs));
    EXPECT_EQ(first->nextCounterValue("WB").value, 2 * kAllJobs + 1);
}

// A failed page gives its number back only while no station took a later one.
TEST_F(JournalShop, ANumberComesBackOnlyWhileNoOtherStationTookALaterOne)
{
    auto first = open();
    auto second = open();
    JournalJobIn in = job(2);
    for (auto& record : in.records)
        record.counters = {"WB"};
    const JournalJobId mine = first->recordJob(in).value;
    const JournalJobId theirs = second->recordJob(in).value;
    ASSERT_GT(mine, 0);
    ASSERT_GT(theirs, 0);
    ASSERT_EQ(first->setRecordOutcome(mine, 1, 1, JournalOutcome::Failed, "jam"), "");
    EXPECT_EQ(first->records(mine).value[1].counters, (std::vector<CounterValue>{{"WB", 2}}));
    ASSERT_EQ(second->setRecordOutcome(theirs, 0, 1, JournalOutcome::Failed, "jam"), "");
    EXPECT_EQ(first->nextCounterValue("WB").value, 3);
    EXPECT_TRUE(second->records(theirs).value[0].counters.empty());
}

// A counter another station holds (its transaction open) makes a print give
// up after the statement time-out rather than wait on; the number it would
// have taken is not used up.
TEST_F(JournalShop, APrintGivesUpOnACounterHeldTooLongAndSkipsNoNumber)
{
    auto journal = open();
    JournalJobIn in = job(1);
    in.records[0].counters = {"WB"};
    ASSERT_TRUE(journal->recordJob(in).ok());
    PGconn* other = PQconnectdb(m_url.c_str());
    PGresult* held = PQexec(other, "BEGIN; SELECT next_value FROM counters WHERE name = 'WB' FOR UPDATE");
    EXPECT_EQ(PQresultStatus(held), PGRES_TUPLES_OK) << PQerrorMessage(other);
    PQclear(held);
    const auto waited = journal->recordJob(in);
    PQclear(PQexec(other, "ROLLBACK"));
    PQfinish(other);
    EXPECT_FALSE(waited.ok());
    EXPECT_NE(waited.error.find("statement timeout"), std::string::npos) << waited.error;
    const auto next = journal->recordJob(in);
    ASSERT_TRUE(next.ok()) << next.error;
    EXPECT_EQ(journal->records(next.value).value[0].counters, (std::vector<CounterValue>{{"WB", 2}}));
    EXPECT_EQ(journal->listJobs().value.size(), 2u);
}

// Several stations try to claim each queued job at once: exactly one gets
// it, and the job and its records say so.
TEST_F(JournalShop, AQueuedJobIsClaimedByExactlyOneOfManyStations)
{
    auto recorder = open();
    std::vector<JournalJobId> queued;
    for (int i = 0; i < 12; ++i)
        queued.push_back(recorder->recordJob(job(2)).value);
    constexpr int kStations = 4;
    std::vector<std::unique_ptr<Journal>> stations;
    for (int k = 0; k < kStations; ++k)
        stations.push_back(open());
    std::vector<std::atomic<int>> wins(queued.size());
    std::vector<std::string> winner(queued.size());
    std::mutex noted;
    std::vector<std::thread> threads;
    for (int k = 0; k < kStations; ++k)
        threads.emplace_back([&, k] {
            for (std::size_t j = 0; j < queued.size(); ++j) {
                const std::string name = "station:" + std::to_string(k);
                const auto claimed = stations[static_cast<std::size_t>(k)]->claimJob(queued[j], name);
                EXPECT_TRUE(claimed.ok()) << claimed.error;
                if (claimed.value) {
                    ++wins[j];
                    const std::lock_guard hold(noted);
                    winner[j] = name;
                }
            }
        });
    for (auto& thread : threads)
        thread.join();
    for (std::size_t j = 0; j < queued.size(); ++j) {
        EXPECT_EQ(wins[j].load(), 1) << "job " << queued[j];
        const auto claimed = recorder->job(queued[j]).value;
        ASSERT_TRUE(claimed.has_value());
        EXPECT_EQ(claimed->claimant, winner[j]);
        EXPECT_EQ(claimed->outcome, JournalOutcome::Printing);
        for (const auto& record : recorder->records(queued[j]).value)
            EXPECT_EQ(record.outcome, JournalOutcome::Printing);
    }
}

// The schema is made once (making it again changes nothing), refused when
// newer than this program's, and never laid over tables of another program.
TEST_F(JournalShop, ASchemaIsMadeOnceAndANewerOrAForeignOneIsRefused)
{
    auto journal = open();
    ASSERT_TRUE(journal);
    EXPECT_EQ(journal->schemaVersion(), postgres_journal::kSchemaVersion);
    // The test server has pg_trgm: searches are answered from a trigram index.
    EXPECT_EQ(number("SELECT count(*) FROM pg_indexes WHERE indexname = 'records_search'"), 1);
    const JournalJobId kept = journal->recordJob(job(1)).value;
    const auto again = initShopJournal(m_url);
    ASSERT_TRUE(again.ok()) << again.error;
    EXPECT_EQ(again.value, postgres_journal::kSchemaVersion);
    EXPECT_TRUE(journal->job(kept).value.has_value());

    ASSERT_EQ(sql("UPDATE journal_schema SET version = 99"), 0);
    const Journal::Opened newer = Journal::openShop(m_url);
    EXPECT_FALSE(newer.journal);
    EXPECT_NE(newer.error.find("newer"), std::string::npos) << newer.error;
    const auto upgrade = initShopJournal(m_url);
    EXPECT_FALSE(upgrade.ok());
    EXPECT_NE(upgrade.error.find("newer"), std::string::npos) << upgrade.error;
    EXPECT_EQ(number("SELECT version FROM journal_schema"), 99);

    std::string error;
    const std::string empty = m_server->createDatabase(error);
    ASSERT_FALSE(empty.empty()) << error;
    const Journal::Opened none = Journal::openShop(empty);
    EXPECT_FALSE(none.journal);
    EXPECT_NE(none.error.find("no shop's journal"), std::string::npos) << none.error;
    ASSERT_EQ(test::runSql(empty, "CREATE TABLE jobs(id integer)"), "");
    const auto foreign = initShopJournal(empty);
    EXPECT_FALSE(foreign.ok());
    EXPECT_EQ(test::queryNumber(empty, "SELECT count(*) FROM pg_tables WHERE tablename = 'records'"), 0);
}

// No server at the address, or one that takes the connection and never
// answers: opening fails with what went wrong, waiting 2 s at most even when
// the address asks for longer.
TEST_F(JournalShop, AServerThatDoesNotAnswerFailsWithinTheTimeOut)
{
    const Journal::Opened absent = Journal::openShop("host=" + m_dir.string() + " port=5432 dbname=shop user=station");
    EXPECT_FALSE(absent.journal);
    EXPECT_NE(absent.error.find("cannot be reached"), std::string::npos) << absent.error;
    EXPECT_FALSE(initShopJournal("host=" + m_dir.string() + " dbname=shop").ok());

    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string silent = "postgresql://station@127.0.0.1:" + std::to_string(ntohs(address.sin_port))
        + "/shop?connect_timeout=30";
    const auto before = std::chrono::steady_clock::now();
    const Journal::Opened waited = Journal::openShop(silent);
    const auto took = std::chrono::steady_clock::now() - before;
    ::close(listener);
    EXPECT_FALSE(waited.journal);
    EXPECT_NE(waited.error.find("timeout"), std::string::npos) << waited.error;
    EXPECT_LT(took, std::chrono::seconds(4));
}

// The server goes away and comes back: the call meanwhile fails, the next
// one connects again and writes.
TEST_F(JournalShop, AStationConnectsAgainOnceTheServerIsBack)
{
    auto journal = open();
    ASSERT_TRUE(journal->recordJob(job(1)).ok());
    EXPECT_TRUE(journal->isCurrent());
    ASSERT_EQ(m_server->stop(), "");
    const auto lost = journal->recordJob(job(1));
    const bool current = journal->isCurrent();
    ASSERT_EQ(m_server->start(), "");
    EXPECT_FALSE(lost.ok());
    EXPECT_FALSE(current) << lost.error;
    const auto again = journal->recordJob(job(1));
    EXPECT_TRUE(again.ok()) << again.error;
    EXPECT_TRUE(journal->isCurrent());
    EXPECT_EQ(journal->listJobs().value.size(), 2u);
}
#endif
