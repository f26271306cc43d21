// A shop's records and their jobs: a record is written only for a job that
// is there and stays while the record's transaction lasts, keeps its job,
// and goes with it.

#if ORDAVEL_POSTGRES

#include "journal/journal.h"
#include "support/postgres_server.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <memory>
#include <string>

namespace ordavel {
namespace {

class ShopRecords : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        m_url = test::PostgresServer::newDatabase(error);
        ASSERT_FALSE(m_url.empty()) << error;
        ASSERT_TRUE(initShopJournal(m_url).ok());
        Journal::Opened opened = Journal::openShop(m_url, "desk");
        ASSERT_TRUE(opened.journal) << opened.error;
        m_shop = std::move(opened.journal);
        JournalJobIn in;
        in.program = "tool";
        in.printer = "pdf";
        in.templateName = "card";
        in.templateBytes = "<card/>";
        in.startPrinting = true;
        for (int r = 0; r < 3; ++r)
            in.records.push_back({.number = r + 1, .copies = 1, .fields = {{"n", std::to_string(r)}}, .columns = {},
                                  .counters = {}});
        const auto id = m_shop->recordJob(in);
        ASSERT_TRUE(id.ok()) << id.error;
        m_job = std::to_string(id.value);
    }

    // Runs `sql` on `connection`: "" or the server's message.
    static std::string run(PGconn* connection, const std::string& sql)
    {
        std::unique_ptr<PGresult, void (*)(PGresult*)> result(PQexec(connection, sql.c_str()), PQclear);
        const ExecStatusType status = PQresultStatus(result.get());
        return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK ? std::string()
                                                                         : PQresultErrorMessage(result.get());
    }

    std::string m_url;
    std::unique_ptr<Journal> m_shop;
    std::string m_job;
};

TEST_F(ShopRecords, ARecordOfNoJobOrMovedToAnotherIsRefused)
{
    const std::string orphan = test::runSql(
        m_url, "INSERT INTO records(job_id, idx, number, copies, fields, columns, outcome) VALUES"
               " (" + m_job + ", 3, 4, 1, '[]', '[]', 'printing'), (" + m_job + " + 1, 0, 1, 1, '[]', '[]', 'printing')");
    EXPECT_NE(orphan.find("a record of no job"), std::string::npos) << orphan;
    const std::string moved = test::runSql(m_url, "UPDATE records SET job_id = job_id + 1 WHERE idx = 0");
    EXPECT_NE(moved.find("a record stays with its job"), std::string::npos) << moved;
    EXPECT_EQ(test::queryNumber(m_url, "SELECT count(*) FROM records WHERE job_id = " + m_job), 3);
    EXPECT_EQ(test::runSql(m_url, "UPDATE records SET outcome = 'printed' WHERE job_id = " + m_job), "");
}

TEST_F(ShopRecords, AJobWaitsForTheRecordsBeingWrittenForItAndTakesThemWhenRemoved)
{
    std::unique_ptr<PGconn, void (*)(PGconn*)> writer(PQconnectdb(m_url.c_str()), PQfinish);
    std::unique_ptr<PGconn, void (*)(PGconn*)> pruner(PQconnectdb(m_url.c_str()), PQfinish);
    ASSERT_EQ(PQstatus(writer.get()), CONNECTION_OK);
    ASSERT_EQ(PQstatus(pruner.get()), CONNECTION_OK);
    ASSERT_EQ(run(writer.get(), "BEGIN"), "");
    ASSERT_EQ(run(writer.get(), "INSERT INTO records(job_id, idx, number, copies, fields, columns, outcome) VALUES ("
                                    + m_job + ", 3, 4, 1, '[]', '[]', 'printing')"),
              "");
    // Held by the records being written: the job cannot go before their commit.
    ASSERT_EQ(run(pruner.get(), "SET lock_timeout = 300"), "");
    const std::string waited = run(pruner.get(), "DELETE FROM jobs WHERE id = " + m_job);
    EXPECT_NE(waited.find("lock timeout"), std::string::npos) << waited;
    ASSERT_EQ(run(writer.get(), "COMMIT"), "");
    EXPECT_EQ(test::queryNumber(m_url, "SELECT count(*) FROM records WHERE job_id = " + m_job), 4);

    ASSERT_EQ(m_shop->finishJob(std::stoll(m_job), JournalOutcome::Printed), "");
    ASSERT_EQ(test::runSql(m_url, "UPDATE jobs SET created_at = 1000"), "");
    const auto pruned = m_shop->pruneBefore(2000);
    ASSERT_TRUE(pruned.ok()) << pruned.error;
    EXPECT_EQ(pruned.value, 1);
    EXPECT_EQ(test::queryNumber(m_url, "SELECT count(*) FROM records"), 0);
}

} // namespace
} // namespace ordavel

#endif
