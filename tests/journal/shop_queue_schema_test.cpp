// The shop's schema version 2: a version-1 shop is brought forward keeping
// its jobs, and from then on a service job posted to the shop's queue gets
// its queue rows, its key and a notification in the transaction that
// records it, while every other job gets none.

#if ORDAVEL_POSTGRES

#include "journal/journal.h"
#include "journal/postgres/pg_schema.h"
#include "support/postgres_server.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <memory>
#include <string>

namespace ordavel {
namespace {

class ShopQueueSchema : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        m_url = test::PostgresServer::newDatabase(error);
        ASSERT_FALSE(m_url.empty()) << error;
    }

    std::int64_t number(const std::string& query) const { return test::queryNumber(m_url, query); }

    static JournalJobIn serviceJob(const std::string& printer, const std::string& key, int records,
                                   bool shopQueue = true)
    {
        JournalJobIn in;
        in.program = "service";
        in.kind = JournalKind::Batch;
        in.printer = printer;
        in.templatePath = "/forms/waybill.oxf";
        in.templateName = "waybill.oxf";
        in.templateBytes = "<oxf/>";
        in.dataSource = std::string(R"({"service":{"token":"orders","key":")") + key + R"(","expires":0)"
            + (shopQueue ? R"(,"queue":"shop"})" : "}") + "}";
        for (int i = 0; i < records; ++i)
            in.records.push_back({.number = i + 1, .copies = 1, .fields = {}, .columns = {{"n", std::to_string(i)}},
                                  .counters = {}});
        return in;
    }

    std::string m_url;
};

TEST_F(ShopQueueSchema, AFirstVersionShopIsBroughtForwardKeepingItsJobs)
{
    const auto first = postgres_journal::initSchema(m_url, 1);
    ASSERT_TRUE(first.ok()) << first.error;
    EXPECT_EQ(first.value, 1);
    EXPECT_EQ(number("SELECT count(*) FROM pg_tables WHERE tablename = 'print_queue'"), 0);
    const Journal::Opened older = Journal::openShop(m_url, "desk");
    EXPECT_FALSE(older.journal);
    EXPECT_NE(older.error.find("older schema"), std::string::npos) << older.error;

    // A job of the first version's time, written as its program wrote it.
    ASSERT_EQ(test::runSql(m_url, R"sql(
INSERT INTO templates(hash, bytes, size, first_seen) VALUES ('h1', '\x3c3e', 2, 1);
INSERT INTO jobs(created_at, user_name, host, station, program, kind, printer, template_path, template_name,
  template_hash, calibration, copies, data_source, outcome, record_count)
  VALUES (1, 'u', 'h', 'desk', 'service', 'batch', 'pdf', '/f.oxf', 'f.oxf', 'h1', '', 1,
  '{"service":{"token":"orders","key":"old","expires":0}}', 'queued', 1);
INSERT INTO records(job_id, idx, number, copies, fields, columns, outcome) VALUES (1, 0, 1, 1, '[]', '[]', 'queued');
)sql"),
              "");

    const auto forward = initShopJournal(m_url);
    ASSERT_TRUE(forward.ok()) << forward.error;
    EXPECT_EQ(forward.value, postgres_journal::kSchemaVersion);
    EXPECT_EQ(number("SELECT version FROM journal_schema"), postgres_journal::kSchemaVersion);
    EXPECT_EQ(number("SELECT count(*) FROM jobs"), 1);
    EXPECT_EQ(number("SELECT count(*) FROM print_queue"), 0) << "a job from before the queue stays its station's";
    const Journal::Opened opened = Journal::openShop(m_url, "desk");
    ASSERT_TRUE(opened.journal) << opened.error;
    EXPECT_EQ(opened.journal->schemaVersion(), postgres_journal::kSchemaVersion);
    EXPECT_EQ(opened.journal->records(1).value.size(), 1u);
}

// A session that recorded its first records while the shop had few jobs
// goes on finding a record's job by its key once there are thousands: the
// check of a statement's jobs is planned for each statement, not once for
// the table as it was then.
TEST_F(ShopQueueSchema, RecordsFindTheirJobByItsKeyHoweverTheJobsGrewInTheSession)
{
    ASSERT_TRUE(initShopJournal(m_url).ok());
    std::string session = R"sql(
INSERT INTO templates(hash, bytes, size, first_seen) VALUES ('h1', '\x3c3e', 2, 1);
INSERT INTO jobs(created_at, user_name, host, station, program, kind, printer, template_path, template_name,
  template_hash, calibration, copies, data_source, outcome, record_count)
  SELECT g, 'u', 'h', 'desk', 'designer', 'batch', 'pdf', '/f.oxf', 'f.oxf', 'h1', '', 1, '', 'queued', 1
  FROM generate_series(1, 2) g;
)sql";
    const auto recordOf = [](int job, int idx) {
        return "INSERT INTO records(job_id, idx, number, copies, fields, columns, outcome) VALUES (" + std::to_string(job)
            + ", " + std::to_string(idx) + ", 1, 1, '[]', '[]', 'queued');\n";
    };
    // More than the five statements after which a session may keep one plan.
    for (int idx = 0; idx < 10; ++idx)
        session += recordOf(1 + idx % 2, idx);
    session += R"sql(
INSERT INTO jobs(created_at, user_name, host, station, program, kind, printer, template_path, template_name,
  template_hash, calibration, copies, data_source, outcome, record_count)
  SELECT g, 'u', 'h', 'desk', 'designer', 'batch', 'pdf', '/f.oxf', 'f.oxf', 'h1', '', 1, '', 'queued', 1
  FROM generate_series(3, 20000) g;
CREATE TABLE scans AS SELECT seq_scan FROM pg_stat_xact_user_tables WHERE relname = 'jobs';
)sql";
    for (int job = 19000; job < 19020; ++job)
        session += recordOf(job, 0);
    session += "UPDATE scans SET seq_scan = (SELECT seq_scan FROM pg_stat_xact_user_tables WHERE relname = 'jobs')"
               " - seq_scan;\n";
    ASSERT_EQ(test::runSql(m_url, session), "");
    EXPECT_EQ(number("SELECT count(*) FROM records"), 30);
    EXPECT_EQ(number("SELECT seq_scan FROM scans"), 0) << "the jobs were read whole for records once they were many";
}

TEST_F(ShopQueueSchema, AQueuedServiceJobGetsItsRowsItsKeyAndANotificationInItsTransaction)
{
    ASSERT_TRUE(initShopJournal(m_url).ok());
    const Journal::Opened opened = Journal::openShop(m_url, "desk");
    ASSERT_TRUE(opened.journal) << opened.error;
    Journal& journal = *opened.journal;

    std::unique_ptr<PGconn, void (*)(PGconn*)> listener(PQconnectdb(m_url.c_str()), PQfinish);
    ASSERT_EQ(PQstatus(listener.get()), CONNECTION_OK);
    PQclear(PQexec(listener.get(), "LISTEN print_queue"));

    const auto posted = journal.recordJob(serviceJob("back/laser", "k1", 3));
    ASSERT_TRUE(posted.ok()) << posted.error;
    EXPECT_EQ(number("SELECT count(*) FROM print_queue WHERE job_id = " + std::to_string(posted.value)
                     + " AND state = 'queued' AND target = 'back/laser'"),
              3);
    EXPECT_EQ(number("SELECT job_id FROM service_keys WHERE owner = 'orders' AND key = 'k1'"), posted.value);
    PQconsumeInput(listener.get());
    PGnotify* note = PQnotifies(listener.get());
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(std::string(note->extra), "back/laser");
    PQfreemem(note);

    // The same key of the same token makes no second job, whichever station posts it.
    const Journal::Opened other = Journal::openShop(m_url, "front");
    ASSERT_TRUE(other.journal) << other.error;
    const auto again = other.journal->recordJob(serviceJob("front/pdf", "k1", 2));
    EXPECT_FALSE(again.ok());
    EXPECT_EQ(number("SELECT count(*) FROM jobs"), 1);
    EXPECT_EQ(number("SELECT count(*) FROM print_queue"), 3) << "the refused job left no rows";
    EXPECT_TRUE(other.journal->recordJob(serviceJob("front/pdf", "k2", 1)).ok());

    // Neither the single station's service nor other programs use the queue.
    EXPECT_TRUE(journal.recordJob(serviceJob("pdf", "k1", 2, false)).ok());
    JournalJobIn tool = serviceJob("pdf", "", 2);
    tool.program = "tool";
    EXPECT_TRUE(journal.recordJob(tool).ok());
    EXPECT_EQ(number("SELECT count(*) FROM print_queue"), 4);
    EXPECT_EQ(number("SELECT count(*) FROM service_keys"), 2);
}

} // namespace
} // namespace ordavel

#endif
