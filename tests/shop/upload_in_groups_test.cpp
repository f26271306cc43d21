// What a station printed while its shop could not be reached reaches the
// shop in order and exactly once, many jobs to a commit: on a PostgreSQL
// server of the tests' own.
#include "shop/own_journal_upload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <unistd.h>

#if ORDAVEL_POSTGRES
#include "support/postgres_server.h"

namespace ordavel {
namespace {

class UploadInGroups : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        url = test::PostgresServer::newDatabase(error);
        ASSERT_FALSE(url.empty()) << error;
        ASSERT_TRUE(initShopJournal(url).ok());
        Journal::Opened opened = Journal::openShop(url, "desk");
        ASSERT_NE(opened.journal, nullptr) << opened.error;
        shop = std::move(opened.journal);
        ASSERT_EQ(shop->joinStation("desk"), "");
        folder = std::filesystem::temp_directory_path() / ("ordavel-upload-" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
        Journal::Opened file = Journal::open((folder / "journal.sqlite").string());
        ASSERT_NE(file.journal, nullptr) << file.error;
        own = std::move(file.journal);
    }

    void TearDown() override
    {
        own.reset();
        std::filesystem::remove_all(folder);
    }

    // A job of `records` records printed offline; finished unless told.
    JournalJobId printOffline(int number, int records, bool finished = true)
    {
        JournalJobIn job;
        job.program = "designer";
        job.kind = records == 1 ? JournalKind::Page : JournalKind::Batch;
        job.printer = "office";
        job.templateName = "waybill.oxf";
        job.templateBytes = "<waybill n=\"" + std::to_string(number % 3) + "\"/>";
        job.startPrinting = true;
        for (int r = 0; r < records; ++r) {
            JournalRecordIn record;
            record.number = r + 1;
            record.fields = {{"box 1", "job " + std::to_string(number) + " record " + std::to_string(r)}};
            job.records.push_back(record);
        }
        const auto id = own->recordJob(job);
        EXPECT_TRUE(id.ok()) << id.error;
        if (finished) {
            EXPECT_EQ(own->setRecordOutcome(id.value, 0, records - 1, JournalOutcome::Printed), "");
            EXPECT_EQ(own->finishJob(id.value, JournalOutcome::Printed), "");
        }
        return id.value;
    }

    // The first field of every record in the shop, in the order the jobs were recorded there.
    std::vector<std::string> shopFields()
    {
        std::vector<std::string> fields;
        JournalQuery all;
        auto jobs = shop->listJobs(all).value;
        std::reverse(jobs.begin(), jobs.end()); // listed newest first
        for (const JournalJob& job : jobs)
            for (const JournalRecord& record : shop->records(job.id).value)
                fields.push_back(record.fields.empty() ? std::string() : record.fields.front().value);
        return fields;
    }

    std::string url;
    std::unique_ptr<Journal> shop;
    std::unique_ptr<Journal> own;
    std::filesystem::path folder;
};

TEST_F(UploadInGroups, ManyJobsArriveInOrderOnceEachWithTheirTemplates)
{
    // More jobs, and more records, than one commit takes.
    std::vector<std::string> expected;
    for (int j = 0; j < 450; ++j) {
        const int records = j == 7 ? 5200 : 1 + j % 3;
        printOffline(j, records);
        for (int r = 0; r < records; ++r)
            expected.push_back("job " + std::to_string(j) + " record " + std::to_string(r));
    }
    const OwnJournalUpload first = uploadOwnJournal(*shop, *own);
    EXPECT_EQ(first.error, "");
    EXPECT_EQ(first.uploaded, 450);
    EXPECT_EQ(first.waiting, 0);
    EXPECT_EQ(shopFields(), expected);

    const OwnJournalUpload again = uploadOwnJournal(*shop, *own);
    EXPECT_EQ(again.error, "");
    EXPECT_EQ(again.uploaded, 0);
    EXPECT_EQ(shopFields().size(), expected.size());

    // Every job kept the template it printed from.
    JournalQuery all;
    for (const JournalJob& job : shop->listJobs(all).value) {
        const auto bytes = shop->templateBytes(job.templateHash);
        ASSERT_TRUE(bytes.ok() && bytes.value.has_value()) << bytes.error;
        EXPECT_EQ(bytes.value->rfind("<waybill n=", 0), 0u);
        EXPECT_EQ(job.station, "desk");
    }
}

TEST_F(UploadInGroups, AJobStillPrintingHoldsBackTheOnesAfterItUntilItEnds)
{
    for (int j = 0; j < 5; ++j)
        printOffline(j, 1);
    const JournalJobId printing = printOffline(5, 2, false);
    for (int j = 6; j < 9; ++j)
        printOffline(j, 1);

    const OwnJournalUpload held = uploadOwnJournal(*shop, *own);
    EXPECT_EQ(held.error, "");
    EXPECT_EQ(held.uploaded, 5);
    EXPECT_EQ(held.waiting, 4);
    EXPECT_EQ(shopFields().size(), 5u);

    ASSERT_EQ(own->setRecordOutcome(printing, 0, 1, JournalOutcome::Printed), "");
    ASSERT_EQ(own->finishJob(printing, JournalOutcome::Printed), "");
    const OwnJournalUpload rest = uploadOwnJournal(*shop, *own);
    EXPECT_EQ(rest.error, "");
    EXPECT_EQ(rest.uploaded, 4);
    EXPECT_EQ(rest.waiting, 0);
    const std::vector<std::string> fields = shopFields();
    ASSERT_EQ(fields.size(), 10u);
    EXPECT_EQ(fields[5], "job 5 record 0");
    EXPECT_EQ(fields[9], "job 8 record 0");
}

TEST_F(UploadInGroups, AShopThatGoesAwayMidwayKeepsNoHalfOfAGroupAndTakesTheRestLater)
{
    for (int j = 0; j < 300; ++j)
        printOffline(j, 1);
    // The shop refuses every write after its 250th job: the group that meets
    // the refusal is undone whole, and the next upload brings it and the rest.
    ASSERT_EQ(test::runSql(url, "CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN"
                                " IF (SELECT count(*) FROM jobs) >= 250 THEN RAISE EXCEPTION 'shop full'; END IF;"
                                " RETURN NEW; END $$;"
                                "CREATE TRIGGER refuse BEFORE INSERT ON jobs FOR EACH ROW EXECUTE FUNCTION refuse();"),
              "");
    const OwnJournalUpload cut = uploadOwnJournal(*shop, *own);
    EXPECT_NE(cut.error.find("shop full"), std::string::npos) << cut.error;
    EXPECT_LT(cut.uploaded, 250);
    EXPECT_EQ(shopFields().size(), static_cast<std::size_t>(cut.uploaded));

    ASSERT_EQ(test::runSql(url, "DROP TRIGGER refuse ON jobs"), "");
    const OwnJournalUpload rest = uploadOwnJournal(*shop, *own);
    EXPECT_EQ(rest.error, "");
    EXPECT_EQ(cut.uploaded + rest.uploaded, 300);
    const std::vector<std::string> fields = shopFields();
    ASSERT_EQ(fields.size(), 300u);
    for (int j = 0; j < 300; ++j)
        EXPECT_EQ(fields[static_cast<std::size_t>(j)], "job " + std::to_string(j) + " record 0");
}

// A job arrives as it ended: each record's outcome, reason, place and the
// counter values it printed, the job's outcome, reason, user and time. The
// shop's counters are not taken, and a record that ended queued joins no
// queue of the shop.
TEST_F(UploadInGroups, AJobArrivesAsItEndedRecordByRecord)
{
    JournalJobIn job;
    job.program = "service";
    job.kind = JournalKind::Batch;
    job.printer = "office";
    job.templateName = "waybill";
    job.templateBytes = "<waybill/>";
    job.dataSource = R"({"service":{"token":"orders","key":"k7","expires":0,"queue":"shop"}})";
    job.user = "clerk";
    job.createdAt = 1700000000;
    job.startPrinting = true;
    for (int r = 0; r < 4; ++r) {
        JournalRecordIn record;
        record.number = r + 1;
        record.fields = {{"box 1", "收件人" + std::to_string(r)}};
        record.counters = {"seq"};
        job.records.push_back(record);
    }
    const auto id = own->recordJob(job);
    ASSERT_TRUE(id.ok()) << id.error;
    ASSERT_EQ(own->setRecordPlaces(id.value, {{0, 1, 1}, {1, 1, 2}}), "");
    ASSERT_EQ(own->setRecordOutcome(id.value, 0, 0, JournalOutcome::Printed), "");
    ASSERT_EQ(own->setRecordOutcome(id.value, 1, 2, JournalOutcome::Failed, "paper jam"), "");
    ASSERT_EQ(own->setRecordOutcome(id.value, 3, 3, JournalOutcome::Queued), "");
    ASSERT_EQ(own->finishJob(id.value, JournalOutcome::Failed, "jammed"), "");
    const std::vector<JournalRecord> ownRecords = own->records(id.value).value;
    ASSERT_EQ(ownRecords.size(), 4u);

    const OwnJournalUpload upload = uploadOwnJournal(*shop, *own);
    ASSERT_EQ(upload.error, "");
    ASSERT_EQ(upload.uploaded, 1);
    const auto jobs = shop->listJobs(JournalQuery{});
    ASSERT_TRUE(jobs.ok() && jobs.value.size() == 1u) << jobs.error;
    const JournalJob& there = jobs.value.front();
    EXPECT_EQ(there.outcome, JournalOutcome::Failed);
    EXPECT_EQ(there.reason, "jammed");
    EXPECT_EQ(there.user, "clerk");
    EXPECT_EQ(there.createdAt, 1700000000);
    EXPECT_GT(there.finishedAt, 0);
    EXPECT_EQ(there.station, "desk");
    EXPECT_EQ(there.recordCount, 4);
    EXPECT_EQ(there.printedCount, 1);
    EXPECT_EQ(there.dataSource, job.dataSource);
    const std::vector<JournalRecord> records = shop->records(there.id).value;
    ASSERT_EQ(records.size(), 4u);
    for (std::size_t r = 0; r < records.size(); ++r) {
        SCOPED_TRACE(r);
        EXPECT_EQ(records[r].index, static_cast<int>(r));
        EXPECT_EQ(records[r].number, ownRecords[r].number);
        EXPECT_EQ(records[r].fields, ownRecords[r].fields);
        EXPECT_EQ(records[r].outcome, ownRecords[r].outcome);
        EXPECT_EQ(records[r].reason, ownRecords[r].reason);
        EXPECT_EQ(records[r].sheet, ownRecords[r].sheet);
        EXPECT_EQ(records[r].cell, ownRecords[r].cell);
        EXPECT_EQ(records[r].counters, ownRecords[r].counters);
        EXPECT_FALSE(records[r].counters.empty());
    }
    EXPECT_EQ(records[1].reason, "paper jam");
    EXPECT_EQ(records[1].cell, 2);
    EXPECT_EQ(records[3].outcome, JournalOutcome::Queued);
    EXPECT_EQ(test::queryNumber(url, "SELECT count(*) FROM print_queue"), 0);
    EXPECT_EQ(test::queryNumber(url, "SELECT count(*) FROM service_keys WHERE key = 'k7'"), 1);
    EXPECT_EQ(shop->nextCounterValue("seq").value, 1) << "no counter of the shop is taken";
    JournalQuery search;
    search.search = "收件人2";
    EXPECT_EQ(shop->listJobs(search).value.size(), 1u);
}

} // namespace
} // namespace ordavel

#endif
