// The shop's print queue with two stations ("front" and "back") played by
// two queues on one real PostgreSQL database: who claims what, keys across
// stations, the fence of a claim taken over, leases that run out and a
// station that starts again.

#include "shop_queue/shop_queue.h"
#include "journal/postgres/pg_print_queue.h"

#include "journal/journal.h"
#include "support/postgres_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <set>
#include <thread>

namespace ordavel::service {
namespace {

using Refs = std::vector<std::pair<std::int64_t, int>>;

class ShopQueueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        m_server = test::PostgresServer::shared(error);
        ASSERT_NE(m_server, nullptr) << error;
        m_url = m_server->createDatabase(error);
        ASSERT_FALSE(m_url.empty()) << error;
        ASSERT_TRUE(initShopJournal(m_url).ok());
        front = station("front", {"pdf"});
        back = station("back", {"laser", "label"});
        ASSERT_TRUE(front && back);
    }

    std::unique_ptr<ShopQueue> station(const std::string& name, const std::vector<std::string>& printers)
    {
        std::string error;
        auto queue = ShopQueue::open({m_url, name, 60}, error);
        EXPECT_TRUE(queue) << error;
        if (!queue)
            return queue;
        std::vector<PrinterStatus> seen;
        for (const std::string& p : printers)
            seen.push_back({p, false, "idle", true, ""});
        queue->printersSeen(seen);
        queue->keepUp();
        return queue;
    }

    static NewJob job(const std::string& printer, int records, const std::string& key = {})
    {
        NewJob j;
        j.owner = "orders";
        j.key = key;
        j.templateName = "card";
        j.templatePath = "/forms/card.oxf";
        j.templateBytes = std::make_shared<const std::string>("<oxf card/>");
        j.printer = printer;
        for (int i = 1; i <= records; ++i)
            j.records.push_back({{"单号", "R" + std::to_string(i)}});
        return j;
    }

    std::int64_t submit(ShopQueue& queue, const NewJob& j)
    {
        std::string error;
        const auto submitted = queue.submit(j, error);
        EXPECT_TRUE(submitted) << error;
        return submitted ? submitted->id : 0;
    }

    std::int64_t number(const std::string& query) { return test::queryNumber(m_url, query); }
    void sql(const std::string& statements) { ASSERT_EQ(test::runSql(m_url, statements), ""); }

    // The holder's leases end now, as when its station stopped answering.
    void leaseEnds(const ShopQueue& holder)
    {
        sql("UPDATE print_queue SET lease_until = now() - interval '1 second' WHERE holder = '" + holder.holder() + "'");
    }

    static Refs refsOf(const std::vector<PendingRecord>& records)
    {
        Refs refs;
        for (const PendingRecord& r : records)
            refs.emplace_back(r.job, r.n);
        return refs;
    }

    test::PostgresServer* m_server = nullptr;
    std::string m_url;
    std::unique_ptr<ShopQueue> front, back;
};

TEST_F(ShopQueueTest, AStationClaimsOnlyForItsOwnPrintersInTheOrderAccepted)
{
    EXPECT_EQ(front->targetOf("pdf"), "front/pdf");
    EXPECT_EQ(front->targetOf("back/laser"), "back/laser");
    EXPECT_EQ(front->targetOf("laser"), "") << "a bare name is a printer of the station posted to";
    EXPECT_EQ(front->targetOf("side/laser"), "");

    const std::int64_t first = submit(*front, job("back/laser", 3));
    const std::int64_t second = submit(*front, job("back/laser", 1));
    submit(*front, job("back/label", 1));
    EXPECT_TRUE(front->waitingPrinters().empty());
    EXPECT_TRUE(front->nextToSend("laser", 50).empty()) << "front has no printer called laser in the shop";
    EXPECT_EQ(back->waitingPrinters(), (std::vector<std::string>{"label", "laser"}));
    EXPECT_EQ(back->waitingRecords(), 5u);

    const auto batch = back->nextToSend("laser", 3);
    ASSERT_EQ(batch.size(), 3u);
    EXPECT_EQ(refsOf(batch), (Refs{{first, 1}, {first, 2}, {first, 3}}));
    EXPECT_EQ(batch[1].values, (RecordValues{{"单号", "R2"}}));
    ASSERT_TRUE(batch[0].source.bytes);
    EXPECT_EQ(*batch[0].source.bytes, "<oxf card/>");
    // Asked again before handing over, the same claims come back first.
    EXPECT_EQ(refsOf(back->nextToSend("laser", 4)), (Refs{{first, 1}, {first, 2}, {first, 3}, {second, 1}}));
    EXPECT_EQ(number("SELECT count(DISTINCT attempt) FROM print_queue WHERE state = 'claimed'"), 1);
    EXPECT_EQ(number("SELECT max(attempt) FROM print_queue"), 1) << "a claim is counted once, however often it is read";
}

TEST_F(ShopQueueTest, RecordsHandedOverAndPrintedLeaveTheQueueAndSettleTheJob)
{
    const std::int64_t id = submit(*front, job("back/laser", 2));
    const auto batch = back->nextToSend("laser", 50);
    ASSERT_TRUE(back->mayHandOver(refsOf(batch)));
    back->markSent(refsOf(batch), 41);
    auto seen = front->find(id);
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->outcome, Outcome::Printing);
    EXPECT_EQ(seen->records[1].cupsJob, 41);
    EXPECT_EQ(seen->printer, "back/laser");

    back->markOutcome(id, 1, Outcome::Printed);
    EXPECT_EQ(front->find(id)->outcome, Outcome::Printing);
    back->markOutcome(id, 2, Outcome::Failed, "卡纸");
    seen = front->find(id);
    EXPECT_EQ(seen->outcome, Outcome::Failed);
    EXPECT_EQ(seen->reason, "卡纸");
    EXPECT_EQ(number("SELECT count(*) FROM print_queue"), 0);
    EXPECT_EQ(number("SELECT count(*) FROM jobs WHERE outcome = 'failed' AND finished_at > 0"), 1);
    EXPECT_EQ(back->waitingRecords(), 0u);
}

TEST_F(ShopQueueTest, TheSameKeyPostedToTwoStationsAtOnceMakesOneJob)
{
    for (int round = 0; round < 5; ++round) {
        const std::string key = "order-" + std::to_string(round);
        std::optional<Submitted> a, b;
        std::string errorA, errorB;
        std::thread ta([&] { a = front->submit(job("back/laser", 2, key), errorA); });
        std::thread tb([&] { b = back->submit(job("back/laser", 2, key), errorB); });
        ta.join();
        tb.join();
        ASSERT_TRUE(a && b) << errorA << errorB;
        EXPECT_EQ(a->id, b->id);
        EXPECT_NE(a->created, b->created);
    }
    EXPECT_EQ(number("SELECT count(*) FROM jobs"), 5);
    EXPECT_EQ(number("SELECT count(*) FROM print_queue"), 10);
    EXPECT_EQ(front->findByKey("orders", "order-3")->id, back->findByKey("orders", "order-3")->id);
    EXPECT_FALSE(front->findByKey("others", "order-3"));
}

// A pool goes to its first member that takes work: the next one once the
// first stops, refuses jobs, or its station stops publishing.
TEST_F(ShopQueueTest, APoolGoesToItsFirstUsableMember)
{
    sql("INSERT INTO shop_pools(name, members) VALUES ('lasers', '{back/laser,front/pdf}')");
    EXPECT_EQ(front->targetOf("lasers"), "lasers");
    const std::int64_t id = submit(*front, job("lasers", 2));
    EXPECT_TRUE(front->waitingPrinters().empty());
    EXPECT_EQ(back->waitingPrinters(), (std::vector<std::string>{"laser"}));
    // Back claims one record, then its printer stops: what it claimed for the pool is given up.
    ASSERT_EQ(back->nextToSend("laser", 1).size(), 1u);
    back->printersSeen({{"laser", false, "stopped", true, "paused"}, {"label", false, "idle", true, ""}});
    back->keepUp();
    EXPECT_TRUE(back->waitingPrinters().empty());
    EXPECT_EQ(front->waitingPrinters(), (std::vector<std::string>{"pdf"}));
    EXPECT_EQ(refsOf(front->nextToSend("pdf", 50)), (Refs{{id, 1}, {id, 2}}));

    // A station that stops publishing leads no pool.
    back->printersSeen({{"laser", false, "idle", true, ""}, {"label", false, "idle", true, ""}});
    back->keepUp();
    const std::int64_t later = submit(*front, job("lasers", 1));
    EXPECT_EQ(back->waitingPrinters(), (std::vector<std::string>{"laser"}));
    sql("UPDATE shop_printers SET updated = now() - interval '1 minute' WHERE station = 'back'");
    EXPECT_EQ(refsOf(front->nextToSend("pdf", 50)), (Refs{{id, 1}, {id, 2}, {later, 1}}));
}

// A member that fails a job (its spooler ended the pages in error, the
// printer still enabled) loses the rest of that job to the next member,
// and never gets it back; a job every member failed ends failed. Each
// record names the station and printer it was handed to.
TEST_F(ShopQueueTest, APoolMemberThatFailsAJobHandsTheRestToTheNextMember)
{
    sql("INSERT INTO shop_pools(name, members) VALUES ('lasers', '{back/laser,front/pdf}')");
    const std::int64_t id = submit(*front, job("lasers", 4));
    ASSERT_EQ(refsOf(back->nextToSend("laser", 1)), (Refs{{id, 1}}));
    ASSERT_TRUE(back->mayHandOver({{id, 1}}));
    back->markSent({{id, 1}}, 11);
    ASSERT_EQ(back->nextToSend("laser", 1).size(), 1u) << "record 2 claimed, not handed over";
    // Told as waiting again, not failed: the next member prints it.
    EXPECT_EQ(back->markOutcomes({{id, 1}}, Outcome::Failed, "paper jam"), (Refs{{id, 1}}));

    EXPECT_TRUE(back->waitingPrinters().empty()) << "the laser failed this job";
    EXPECT_FALSE(back->mayHandOver({{id, 2}})) << "its claim was given up";
    // The record the laser's spooler failed did not print: it goes on with the rest.
    EXPECT_EQ(refsOf(front->nextToSend("pdf", 50)), (Refs{{id, 1}, {id, 2}, {id, 3}, {id, 4}}));
    const auto failing = front->find(id);
    ASSERT_TRUE(failing);
    EXPECT_EQ(failing->outcome, Outcome::Queued);
    EXPECT_EQ(failing->records[0].outcome, Outcome::Queued);
    EXPECT_EQ(failing->records[0].cupsJob, 0);
    EXPECT_NE(failing->reason.find("back/laser"), std::string::npos) << failing->reason;

    // Another job of the pool still starts on the first member.
    const std::int64_t other = submit(*front, job("lasers", 1));
    EXPECT_EQ(refsOf(back->nextToSend("laser", 50)), (Refs{{other, 1}}));

    ASSERT_TRUE(front->mayHandOver({{id, 1}, {id, 2}, {id, 3}, {id, 4}}));
    front->markSent({{id, 1}, {id, 2}}, 12);
    front->handOverRefused({{id, 3}, {id, 4}});
    // Every member failed the job: nothing goes round again.
    EXPECT_TRUE(front->markOutcomes({{id, 1}, {id, 2}}, Outcome::Failed, "toner").empty());
    EXPECT_TRUE(front->nextToSend("pdf", 50).empty());
    EXPECT_TRUE(back->nextToSend("laser", 50).size() == 1u) << "only the other job";
    const auto failed = front->find(id);
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->outcome, Outcome::Failed);
    EXPECT_EQ(failed->records[0].outcome, Outcome::Failed);
    EXPECT_EQ(failed->records[3].outcome, Outcome::Failed);
    EXPECT_EQ(failed->records[0].station, "front");
    EXPECT_EQ(failed->records[1].station, "front");
    EXPECT_EQ(number("SELECT count(*) FROM print_queue WHERE job_id = " + std::to_string(id)), 0);
}

// A record its own printer's spooler failed ends failed: only a pool has
// another printer to offer it to.
TEST_F(ShopQueueTest, ARecordFailedOnAPrinterOfItsOwnEndsFailed)
{
    const std::int64_t id = submit(*front, job("back/laser", 2));
    ASSERT_EQ(refsOf(back->nextToSend("laser", 50)), (Refs{{id, 1}, {id, 2}}));
    ASSERT_TRUE(back->mayHandOver({{id, 1}, {id, 2}}));
    back->markSent({{id, 1}, {id, 2}}, 21);
    EXPECT_TRUE(back->markOutcomes({{id, 1}}, Outcome::Failed, "paper jam").empty());
    EXPECT_TRUE(back->nextToSend("laser", 50).empty());
    const auto s = back->find(id);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->records[0].outcome, Outcome::Failed);
    EXPECT_EQ(s->records[1].outcome, Outcome::Printing);
    EXPECT_EQ(number("SELECT count(*) FROM print_queue WHERE job_id = " + std::to_string(id)), 1);
}

// An event one station shares reaches the other stations' streams in the
// order shared, with its token, and never comes back to its own.
TEST_F(ShopQueueTest, EventsSharedByOneStationReachTheOthersInOrder)
{
    std::mutex mutex;
    std::vector<std::pair<std::string, std::string>> onFront, onBack;
    front->setEventSink([&](const std::string& owner, const std::string& json) {
        const std::lock_guard lock(mutex);
        onFront.emplace_back(owner, json);
    });
    back->setEventSink([&](const std::string& owner, const std::string& json) {
        const std::lock_guard lock(mutex);
        onBack.emplace_back(owner, json);
    });
    for (int n = 1; n <= 3; ++n)
        back->shareEvent("orders", R"({"job":7,"n":)" + std::to_string(n) + R"(,"state":"printed","type":"record"})");
    back->shareEvent("audit", R"({"type":"job","reason":"引号\"与换行\n"})");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        {
            const std::lock_guard lock(mutex);
            if (onFront.size() >= 4)
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const std::lock_guard lock(mutex);
    ASSERT_EQ(onFront.size(), 4u);
    EXPECT_EQ(onFront[0], (std::pair<std::string, std::string>{"orders", R"({"job":7,"n":1,"state":"printed","type":"record"})"}));
    EXPECT_EQ(onFront[2].second, R"({"job":7,"n":3,"state":"printed","type":"record"})");
    EXPECT_EQ(onFront[3].first, "audit");
    EXPECT_EQ(onFront[3].second, R"({"reason":"引号\"与换行\n","type":"job"})");
    EXPECT_TRUE(onBack.empty());
    front->setEventSink({});
    back->setEventSink({});
}

// The operator settles uncertain records as the paper shows: some came out
// and are printed; the others go back to the queue and print once more.
TEST_F(ShopQueueTest, TheOperatorSettlesUncertainRecordsAsPrintedOrPrintsThemAgain)
{
    const std::int64_t id = submit(*front, job("back/laser", 3));
    ASSERT_EQ(back->nextToSend("laser", 50).size(), 3u);
    ASSERT_TRUE(back->mayHandOver({{id, 1}, {id, 2}, {id, 3}}));
    back->markSent({{id, 1}, {id, 2}, {id, 3}}, 21);
    leaseEnds(*back);
    front->keepUp();

    std::string error;
    const auto state = postgres_journal::queuedJobState(m_url, id, error);
    ASSERT_TRUE(state) << error;
    EXPECT_EQ(state->waiting, 0);
    ASSERT_EQ(state->uncertain.size(), 3u);
    EXPECT_EQ(state->uncertain[1].n, 2);
    EXPECT_EQ(state->uncertain[1].station, "back");
    EXPECT_EQ(state->uncertain[1].printer, "laser");
    EXPECT_EQ(state->uncertain[1].spoolJob, 21);

    EXPECT_EQ(postgres_journal::decideUncertain(m_url, id, {1, 3}, postgres_journal::UncertainDecision::Printed, error), 2) << error;
    EXPECT_EQ(postgres_journal::decideUncertain(m_url, id, {1}, postgres_journal::UncertainDecision::Printed, error), 0) << "decided already";
    EXPECT_EQ(postgres_journal::decideUncertain(m_url, id, {}, postgres_journal::UncertainDecision::PrintAgain, error), 1) << error;
    const auto again = front->find(id);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->records[0].outcome, Outcome::Printed);
    EXPECT_EQ(again->records[1].outcome, Outcome::Queued);
    EXPECT_EQ(again->outcome, Outcome::Queued);

    // A fresh claim prints it once more; nothing of the job is uncertain now.
    std::unique_ptr<ShopQueue> restarted = station("back", {"laser"});
    ASSERT_TRUE(restarted);
    EXPECT_EQ(refsOf(restarted->nextToSend("laser", 50)), (Refs{{id, 2}}));
    ASSERT_TRUE(restarted->mayHandOver({{id, 2}}));
    restarted->markSent({{id, 2}}, 22);
    restarted->markOutcomes({{id, 2}}, Outcome::Printed);
    EXPECT_EQ(front->find(id)->outcome, Outcome::Printed);
    EXPECT_EQ(number("SELECT count(*) FROM print_queue"), 0);
}

// A claim taken over is fenced: the station hands none of its records over.
// Handed-over records whose lease ran out are uncertain, never claimed again;
// records only claimed go back to the queue.
TEST_F(ShopQueueTest, ALeaseThatRunsOutFencesTheHolderAndLeavesHandedRecordsUncertain)
{
    const std::int64_t id = submit(*front, job("back/laser", 3));
    const auto batch = back->nextToSend("laser", 50);
    ASSERT_EQ(batch.size(), 3u);
    ASSERT_TRUE(back->mayHandOver({{id, 1}}));
    back->markSent({{id, 1}}, 7);

    leaseEnds(*back);
    front->keepUp();
    EXPECT_EQ(number("SELECT count(*) FROM print_queue WHERE state = 'uncertain' AND idx = 0"), 1);
    EXPECT_EQ(number("SELECT count(*) FROM print_queue WHERE state = 'queued'"), 2);
    EXPECT_FALSE(back->mayHandOver({{id, 2}})) << "its claim ran out";
    EXPECT_NE(front->find(id)->reason.find("不确定"), std::string::npos);

    // Claimed again, by the same station: the fence is the attempt, not the name.
    const auto again = back->nextToSend("laser", 50);
    EXPECT_EQ(refsOf(again), (Refs{{id, 2}, {id, 3}}));
    EXPECT_EQ(number("SELECT min(attempt) FROM print_queue WHERE state = 'claimed'"), 2);
    back->keepUp();
    EXPECT_EQ(number("SELECT count(*) FROM print_queue WHERE state = 'uncertain'"), 1) << "never claimed again";
    EXPECT_TRUE(back->mayHandOver(refsOf(again)));
}

// The station started again takes back its rows: what it only claimed waits
// again, what it handed over is followed or, not found in its spooler,
// waits again after the reconciliation.
TEST_F(ShopQueueTest, AStationStartedAgainTakesBackItsRowsAndReconciles)
{
    const std::int64_t id = submit(*front, job("back/laser", 4));
    ASSERT_EQ(back->nextToSend("laser", 50).size(), 4u);
    ASSERT_TRUE(back->mayHandOver({{id, 1}, {id, 2}, {id, 3}}));
    back->markSent({{id, 1}, {id, 2}}, 9); // record 3 handed over, its spooler job not recorded
    const std::string died = back->holder();
    // Gone, and its lease runs out before it is back.
    back.reset();
    sql("UPDATE print_queue SET lease_until = now() - interval '1 second'");
    front->keepUp();
    EXPECT_EQ(number("SELECT count(*) FROM print_queue WHERE state = 'uncertain'"), 3);

    auto again = station("back", {"laser", "label"});
    ASSERT_TRUE(again);
    EXPECT_EQ(number("SELECT count(*) FROM print_queue WHERE holder = '" + died + "'"), 0);
    const auto mine = again->unfinished();
    ASSERT_EQ(mine.size(), 1u);
    EXPECT_EQ(mine[0].printer, "laser");
    ASSERT_EQ(mine[0].records.size(), 4u);
    EXPECT_EQ(mine[0].records[0].outcome, Outcome::Printing);
    EXPECT_EQ(mine[0].records[1].cupsJob, 9);
    EXPECT_EQ(mine[0].records[2].outcome, Outcome::Queued) << "in doubt: the reconciliation looks for it";
    EXPECT_EQ(mine[0].records[3].outcome, Outcome::Queued);

    again->reconciled();
    EXPECT_EQ(number("SELECT count(*) FROM print_queue WHERE state = 'handed'"), 2);
    EXPECT_EQ(refsOf(again->nextToSend("laser", 50)), (Refs{{id, 3}, {id, 4}}));
    again->markOutcomes({{id, 1}, {id, 2}}, Outcome::Printed);
    EXPECT_EQ(number("SELECT count(*) FROM print_queue"), 2);
}

// The database restarted while records are in the spooler: what the
// spooler said meanwhile is written once the database is back, in order,
// and nothing is claimed twice.
TEST_F(ShopQueueTest, WritesTheDatabaseMissedWhileItRestartedAreWrittenOnceItIsBack)
{
    const std::int64_t id = submit(*front, job("back/laser", 2));
    const auto batch = back->nextToSend("laser", 50);
    ASSERT_TRUE(back->mayHandOver(refsOf(batch)));
    ASSERT_EQ(m_server->stop(), "");
    back->markSent(refsOf(batch), 12);
    back->markOutcome(id, 1, Outcome::Printed);
    EXPECT_TRUE(back->waitingPrinters().empty());
    ASSERT_EQ(m_server->start(), "");
    EXPECT_TRUE(back->waitingPrinters().empty()) << "nothing left to claim";
    EXPECT_EQ(number("SELECT count(*) FROM records WHERE cups_job_id = 12"), 2);
    EXPECT_EQ(number("SELECT count(*) FROM print_queue"), 1);
    EXPECT_EQ(number("SELECT count(*) FROM print_queue WHERE state = 'handed' AND cups_job = 12 AND idx = 1"), 1);
    EXPECT_EQ(number("SELECT count(*) FROM records WHERE outcome = 'printed'"), 1);
}

// The queued rows are read target by target: a station whose name begins
// another's ("front", "frontier") sees only its own printers, claimed rows
// count wherever they were queued, and a pool's rows go to the first member
// that did not fail them, per row.
TEST_F(ShopQueueTest, WaitingPrintersAndUnfinishedTellAStationsTargetsFromThoseSharingItsPrefix)
{
    auto frontier = station("frontier", {"pdf"});
    ASSERT_TRUE(frontier);
    sql("INSERT INTO shop_pools(name, members) VALUES ('lasers', '{back/label,front/pdf}')");
    NewJob expiring = job("front/pdf", 1, "mine");
    expiring.expiresSeconds = 30;
    const std::int64_t mine = submit(*front, expiring);
    const std::int64_t theirs = submit(*front, job("frontier/pdf", 2));
    const std::int64_t laser = submit(*front, job("back/laser", 1));
    const std::int64_t pooled = submit(*front, job("lasers", 2));

    EXPECT_EQ(front->waitingPrinters(), (std::vector<std::string>{"pdf"}));
    EXPECT_EQ(frontier->waitingPrinters(), (std::vector<std::string>{"pdf"}));
    EXPECT_EQ(back->waitingPrinters(), (std::vector<std::string>{"label", "laser"}));
    const auto frontJobs = front->unfinished();
    ASSERT_EQ(frontJobs.size(), 1u);
    EXPECT_EQ(frontJobs[0].id, mine);
    EXPECT_EQ(frontJobs[0].printer, "pdf");
    EXPECT_EQ(frontJobs[0].owner, "orders");
    EXPECT_EQ(frontJobs[0].key, "mine");
    EXPECT_EQ(frontJobs[0].expiresSeconds, 30);
    const auto again = front->unfinished();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].key, "mine") << "the job's token, key and expiry are read once, then kept";
    EXPECT_EQ(again[0].expiresSeconds, 30);
    const auto frontierJobs = frontier->unfinished();
    ASSERT_EQ(frontierJobs.size(), 1u);
    EXPECT_EQ(frontierJobs[0].id, theirs);
    EXPECT_EQ(frontierJobs[0].records.size(), 2u);

    // Claimed, the laser's record is back's by its station, no longer by its target.
    ASSERT_EQ(back->nextToSend("laser", 50).size(), 1u);
    EXPECT_EQ(back->waitingPrinters(), (std::vector<std::string>{"label", "laser"}));
    const auto backJobs = back->unfinished();
    ASSERT_EQ(backJobs.size(), 1u) << "the pool's rows wait for whichever member claims them";
    EXPECT_EQ(backJobs[0].id, laser);
    EXPECT_EQ(backJobs[0].printer, "laser");

    // The pool's second record failed on back/label: that record alone waits for front.
    sql("UPDATE print_queue SET failed_on = '{back/label}' WHERE job_id = " + std::to_string(pooled) + " AND idx = 1");
    EXPECT_EQ(back->waitingPrinters(), (std::vector<std::string>{"label", "laser"}));
    EXPECT_EQ(front->waitingPrinters(), (std::vector<std::string>{"pdf"}));
    EXPECT_EQ(refsOf(back->nextToSend("label", 50)), (Refs{{pooled, 1}}));
    EXPECT_EQ(back->waitingPrinters(), (std::vector<std::string>{"label", "laser"})) << "claimed, not handed over";
    EXPECT_EQ(refsOf(front->nextToSend("pdf", 50)), (Refs{{mine, 1}, {pooled, 2}}));
    EXPECT_EQ(frontier->nextToSend("pdf", 0).size(), 1u) << "at least one record when any waits";
}

TEST_F(ShopQueueTest, FindAllReadsJobsInTheOrderAskedAndLeavesOutThoseNotFound)
{
    const std::int64_t a = submit(*front, job("back/laser", 2, "a"));
    const std::int64_t b = submit(*front, job("front/pdf", 1, "b"));
    const auto batch = back->nextToSend("laser", 1);
    ASSERT_TRUE(back->mayHandOver(refsOf(batch)));
    back->markSent(refsOf(batch), 17);

    const auto found = front->findAll({b, a + b + 1000, a, b});
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].id, b);
    EXPECT_EQ(found[0].key, "b");
    EXPECT_EQ(found[0].owner, "orders");
    EXPECT_EQ(found[1].id, a);
    EXPECT_EQ(found[1].printer, "back/laser");
    ASSERT_EQ(found[1].records.size(), 2u);
    EXPECT_EQ(found[1].records[0].cupsJob, 17);
    EXPECT_EQ(found[1].records[0].outcome, Outcome::Printing);
    EXPECT_EQ(found[1].records[1].outcome, Outcome::Queued);
    EXPECT_EQ(found[1].outcome, Outcome::Queued) << "a record still waits";
    EXPECT_EQ(found[2].id, b);
    EXPECT_TRUE(front->findAll({}).empty());
}

// Marking records sent clears their job's reason, so the dispatcher's
// clearing after the hand-over is not written again; any other reason,
// and any later clearing, is.
TEST_F(ShopQueueTest, AReasonIsKeptAsSetAroundAHandOver)
{
    const std::int64_t id = submit(*front, job("back/laser", 2));
    back->setReason(id, "打印机已暂停");
    EXPECT_EQ(front->find(id)->reason, "打印机已暂停");
    const auto batch = back->nextToSend("laser", 1);
    ASSERT_TRUE(back->mayHandOver(refsOf(batch)));
    back->markSent(refsOf(batch), 5);
    EXPECT_EQ(front->find(id)->reason, "");
    back->setReason(id, "");
    back->setReason(id, "打印任务在打印队列中被挂起");
    EXPECT_EQ(front->find(id)->reason, "打印任务在打印队列中被挂起");
    back->setReason(id, "");
    EXPECT_EQ(front->find(id)->reason, "") << "cleared once more after a hand-over's clearing was skipped";
    back->setReason(id, "打印机已暂停");
    back->markSent(refsOf(batch), 5);
    back->setReason(id, "打印机不接受任务");
    EXPECT_EQ(front->find(id)->reason, "打印机不接受任务");
}

// A job's submission tells it as committed, without asking the database:
// the same summary any station reads.
TEST_F(ShopQueueTest, AJobJustRecordedIsToldAsEveryStationReadsIt)
{
    NewJob posted = job("back/laser", 2, "k1");
    posted.copies = 2;
    posted.expiresSeconds = 90;
    std::string error;
    const auto submitted = front->submit(posted, error);
    ASSERT_TRUE(submitted) << error;
    const std::int64_t id = submitted->id;
    const auto& mine = submitted->recorded;
    const auto theirs = back->find(id);
    ASSERT_TRUE(mine && theirs);
    EXPECT_EQ(mine->id, theirs->id);
    EXPECT_EQ(mine->owner, theirs->owner);
    EXPECT_EQ(mine->key, theirs->key);
    EXPECT_EQ(mine->templateName, theirs->templateName);
    EXPECT_EQ(mine->printer, theirs->printer);
    EXPECT_EQ(mine->copies, theirs->copies);
    EXPECT_EQ(mine->created, theirs->created);
    EXPECT_EQ(mine->expiresSeconds, theirs->expiresSeconds);
    EXPECT_EQ(mine->repeats, theirs->repeats);
    EXPECT_EQ(mine->outcome, theirs->outcome);
    EXPECT_EQ(mine->reason, theirs->reason);
    ASSERT_EQ(mine->records.size(), theirs->records.size());
    for (std::size_t i = 0; i < mine->records.size(); ++i) {
        EXPECT_EQ(mine->records[i].n, theirs->records[i].n);
        EXPECT_EQ(mine->records[i].outcome, theirs->records[i].outcome);
    }
    EXPECT_EQ(front->find(id)->created, mine->created);

    // The same key again names the first job and tells nothing recorded.
    const auto again = front->submit(posted, error);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->id, id);
    EXPECT_FALSE(again->created);
    EXPECT_FALSE(again->recorded);
}

// The queue table's ended rows are vacuumed by the station that ended
// them, once it ended enough of them, so that their space serves the next.
TEST_F(ShopQueueTest, AStationVacuumsTheQueueOnceItEndedEnoughRows)
{
    const std::int64_t id = submit(*front, job("back/laser", 2000));
    Refs all;
    for (int n = 1; n <= 2000; ++n)
        all.emplace_back(id, n);
    const std::string vacuums = "SELECT vacuum_count FROM pg_stat_user_tables WHERE relname = 'print_queue'";
    const std::int64_t before = number(vacuums);
    back->markOutcomes({all.begin(), all.end() - 1}, Outcome::Cancelled, "已取消");
    back->keepUp();
    front->keepUp();
    EXPECT_EQ(number(vacuums), before) << "1,999 rows ended: not yet";
    back->markOutcomes({all.back()}, Outcome::Cancelled, "已取消");
    back->keepUp();
    EXPECT_EQ(number(vacuums), before + 1);
    back->keepUp();
    EXPECT_EQ(number(vacuums), before + 1) << "counted again from none";
    EXPECT_EQ(number("SELECT count(*) FROM print_queue"), 0);
    EXPECT_EQ(front->find(id)->outcome, Outcome::Cancelled);
}

TEST(ShopQueueNotification, WakesAStationForItsOwnPrintersPoolsAndNoName)
{
    EXPECT_TRUE(targetConcerns("front/pdf", "front"));
    EXPECT_TRUE(targetConcerns("lasers", "front")) << "a pool's first member may be here";
    EXPECT_TRUE(targetConcerns("", "front"));
    EXPECT_FALSE(targetConcerns("back/pdf", "front"));
    EXPECT_FALSE(targetConcerns("frontier/pdf", "front"));
    EXPECT_FALSE(targetConcerns("fro/pdf", "front"));
    EXPECT_FALSE(targetConcerns("/pdf", "front"));
}

} // namespace
} // namespace ordavel::service
