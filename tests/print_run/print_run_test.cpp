#include "print_run/print_run.h"
#include "print_run/job_title.h"

#include "data/data_table.h"
#include "model/document.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#if ORDAVEL_POSTGRES
#include "support/postgres_server.h"

#include <libpq-fe.h>
#endif
#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>

namespace fs = std::filesystem;
using namespace ordavel;

namespace {

// A print queue played from the test: it takes or refuses each hand-over,
// can stop answering, and ends jobs as told.
class ScriptedSpooler : public Spooler {
public:
    std::set<int> refused;    // hand-overs (1-based) the queue refuses
    bool answering = true;
    bool toFile = false;      // a file: printed as it stands
    std::map<int, SpoolJob> queue;
    std::vector<SpoolRequest> requests;

    std::optional<std::vector<PrinterStatus>> printers() const override
    {
        PrinterStatus slips;
        slips.name = "slips";
        return std::vector<PrinterStatus>{slips};
    }
    std::unique_ptr<SpoolDocument> open(const SpoolRequest& request, std::string&) override
    {
        return std::make_unique<SpoolDocument>(request);
    }
    Submitted submit(std::unique_ptr<SpoolDocument> document) override { return submitFile(document->request, {}); }
    void discard(std::unique_ptr<SpoolDocument>) override { ++discarded; }
    int discarded = 0;
    Submitted submitFile(const SpoolRequest& request, const std::string&) override
    {
        requests.push_back(request);
        if (refused.count(static_cast<int>(requests.size())))
            return {0, false, "paused", true};
        if (toFile)
            return {0, true, {}, false};
        const int id = m_next++;
        queue[id] = {id, request.title, request.printer, SpoolJobState::Pending, 0, {}};
        return {id, false, {}, false};
    }
    std::optional<SpoolJob> job(int id) const override
    {
        const auto it = queue.find(id);
        if (!answering || it == queue.end())
            return std::nullopt;
        return it->second;
    }
    std::optional<std::vector<SpoolJob>> jobs(bool finishedToo) const override
    {
        if (!answering)
            return std::nullopt;
        std::vector<SpoolJob> out;
        for (const auto& [id, job] : queue)
            if (finishedToo || !isFinished(job.state))
                out.push_back(job);
        return out;
    }
    bool cancel(int id) override
    {
        end(id, SpoolJobState::Cancelled);
        return true;
    }
    void end(int id, SpoolJobState state, std::string reason = {})
    {
        queue.at(id).state = state;
        queue.at(id).reason = std::move(reason);
    }

private:
    int m_next = 100;
};

// Draws nothing but notes which items went into which document, and the
// counter values each printed.
class NotingDevice : public PageDevice {
public:
    explicit NotingDevice(const RunJournal& journal) : m_journal(journal) {}
    std::optional<std::size_t> draw(SpoolDocument& document, std::size_t first, std::size_t end,
                                    const std::function<bool(std::size_t)>& drawnOne, std::string&) override
    {
        std::size_t item = first;
        while (item < end) {
            drawn[document.request.title].push_back(item);
            const auto counters = m_journal.countersOf(static_cast<int>(item));
            serials.push_back(counters.empty() ? 0 : counters.front().second);
            if (!drawnOne(item++))
                break;
        }
        return item;
    }
    std::map<std::string, std::vector<std::size_t>> drawn;
    std::vector<std::int64_t> serials;

private:
    const RunJournal& m_journal;
};

class StoppingReporter : public RunReporter {
public:
    std::optional<std::size_t> stopAt;
    std::optional<std::size_t> dieAfter; // the process ends once this item is drawn
    bool drops = false; // a stopped job is dropped, not handed over
    bool dropsStoppedJob() const override { return drops; }
    bool proceed(std::size_t item, std::size_t) override { return !stopAt || item < *stopAt; }
    void drawn(std::size_t item, std::size_t) override
    {
        if (dieAfter && item == *dieAfter)
            throw std::runtime_error("the process ended");
    }
};

class PrintRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("ordavel-run-" + std::to_string(getpid()) + "-"
                                             + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        std::string problem;
        m_journal = openRunJournal((m_dir / "journal.sqlite").string(), problem);
        ASSERT_TRUE(m_journal) << problem;
        const int box = m_doc.addBox(BoxType::EditBox, 0, 0);
        m_doc.box(box).attributes.text = "${name} ${#seq:WB}";
        m_table = DataTable({"name"});
        for (const char* name : {"Ann", "Bob", "Cyd", "Dee", "Eve"}) {
            m_table.appendCell(name);
            m_table.endRecord();
        }
        for (int row = 0; row < 5; ++row)
            m_items.push_back({row, row + 1, 1});
    }
    void TearDown() override
    {
        m_journal.reset(); // Windows removes no open file
        fs::remove_all(m_dir);
    }

    RunPlan plan(std::size_t jobSize) const
    {
        RunPlan plan;
        plan.printer = "slips";
        plan.name = "slip.oxf";
        plan.items = m_items.size();
        plan.jobSize = jobSize;
        return plan;
    }
    bool begin(RunJournal& run)
    {
        JournalPrint what;
        what.program = "tool";
        what.kind = JournalKind::Batch;
        what.templatePath = "/forms/slip.oxf";
        return run.begin(what, m_doc, &m_table, m_items, "slips");
    }
    std::vector<JournalOutcome> outcomes(JournalJobId id) const
    {
        std::vector<JournalOutcome> out;
        for (const JournalRecord& record : m_journal->records(id).value)
            out.push_back(record.outcome);
        return out;
    }
    std::string reason(JournalJobId id, int index) const
    {
        return m_journal->records(id).value.at(static_cast<std::size_t>(index)).reason;
    }
    JournalOutcome jobOutcome(JournalJobId id) const { return m_journal->job(id).value->outcome; }

    fs::path m_dir;
    std::shared_ptr<Journal> m_journal;
    Document m_doc;
    DataTable m_table;
    std::vector<BatchItem> m_items;
};

using O = JournalOutcome;

// A print of the fixture's batch: the scripted queue, and the run with its journal, device and reporter.
struct Printing {
    explicit Printing(std::shared_ptr<Journal> opened) : journal(std::move(opened)), device(journal), run(journal, spooler) {}
    ScriptedSpooler spooler;
    RunJournal journal;
    NotingDevice device;
    StoppingReporter reporter;
    PrintRun run;
};

TEST_F(PrintRunTest, SendsJobsOfConsecutiveRecordsAndRecordsHowEachEnded)
{
    Printing p(m_journal);
    ASSERT_TRUE(begin(p.journal));
    const RunResult result = p.run.print(plan(2), p.device, p.reporter);
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.sent, 5u);

    const std::string id = std::to_string(p.journal.id());
    ASSERT_EQ(p.spooler.requests.size(), 3u);
    EXPECT_EQ(p.spooler.requests[0].title, "ordavel-journal " + id + ":1-2 slip.oxf");
    EXPECT_EQ(p.spooler.requests[2].title, "ordavel-journal " + id + ":5 slip.oxf");
    EXPECT_EQ(p.device.drawn[p.spooler.requests[1].title], (std::vector<std::size_t>{2, 3}));
    // Each record printed the serial number the journal took for it.
    EXPECT_EQ(p.device.serials, (std::vector<std::int64_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(outcomes(p.journal.id()), (std::vector<O>{O::Printing, O::Printing, O::Printing, O::Printing, O::Printing}));
    EXPECT_EQ(m_journal->records(p.journal.id()).value[3].cupsJobId, 101);

    p.spooler.end(100, SpoolJobState::Completed);
    p.spooler.end(101, SpoolJobState::Cancelled);
    EXPECT_FALSE(p.run.follow());
    p.spooler.end(102, SpoolJobState::Aborted, "out of paper");
    EXPECT_TRUE(p.run.follow());
    p.run.finish();
    EXPECT_EQ(outcomes(p.journal.id()), (std::vector<O>{O::Printed, O::Printed, O::Cancelled, O::Cancelled, O::Failed}));
    EXPECT_EQ(reason(p.journal.id(), 4), "out of paper");
    EXPECT_EQ(jobOutcome(p.journal.id()), O::Failed);
    EXPECT_EQ(p.journal.takeProblem(), "");
}

TEST_F(PrintRunTest, ARefusedJobFailsItsRecordsAndTheRestAreNotSent)
{
    Printing p(m_journal);
    ASSERT_TRUE(begin(p.journal));
    p.spooler.refused = {2};
    const RunResult result = p.run.print(plan(2), p.device, p.reporter);
    EXPECT_EQ(result.error, "the printer \"slips\" did not accept the job (paused)");
    EXPECT_EQ(result.sent, 2u);
    EXPECT_EQ(p.spooler.requests.size(), 2u);
    EXPECT_EQ(outcomes(p.journal.id()), (std::vector<O>{O::Printing, O::Printing, O::Failed, O::Failed, O::Cancelled}));
    EXPECT_EQ(reason(p.journal.id(), 4), result.error);

    p.spooler.end(100, SpoolJobState::Completed);
    p.run.settle(std::chrono::milliseconds(0));
    p.run.finish();
    EXPECT_EQ(jobOutcome(p.journal.id()), O::Failed);
}

TEST_F(PrintRunTest, AQueueThatStopsAnsweringLeavesRecordsPrintingUntilItAnswersAgain)
{
    Printing p(m_journal);
    ASSERT_TRUE(begin(p.journal));
    ASSERT_TRUE(p.run.print(plan(0), p.device, p.reporter).ok());
    p.spooler.end(100, SpoolJobState::Completed);
    p.spooler.answering = false;
    p.run.settle(std::chrono::milliseconds(30), std::chrono::milliseconds(5));
    p.run.finish();
    EXPECT_EQ(outcomes(p.journal.id()), std::vector<O>(5, O::Printing));
    EXPECT_EQ(jobOutcome(p.journal.id()), O::Printing);

    // The job is still followed: the next look once the queue answers settles it.
    p.spooler.answering = true;
    EXPECT_TRUE(p.run.follow());
    p.run.finish();
    EXPECT_EQ(outcomes(p.journal.id()), std::vector<O>(5, O::Printed));
    EXPECT_EQ(jobOutcome(p.journal.id()), O::Printed);
}

TEST_F(PrintRunTest, StoppedByTheUserHandsOverWhatWasDrawnAndCancelsTheRest)
{
    Printing p(m_journal);
    ASSERT_TRUE(begin(p.journal));
    p.reporter.stopAt = 3;
    const RunResult result = p.run.print(plan(0), p.device, p.reporter);
    EXPECT_TRUE(result.interrupted);
    EXPECT_EQ(result.sent, 3u);
    ASSERT_EQ(p.spooler.requests.size(), 1u);
    ASSERT_EQ(p.device.drawn.size(), 1u);
    EXPECT_EQ(p.device.drawn.begin()->second, (std::vector<std::size_t>{0, 1, 2}));
    // The job cut short names only the records it holds: after a restart
    // records 4 and 5 must not be taken for printed in it.
    EXPECT_EQ(p.spooler.requests[0].title, "ordavel-journal " + std::to_string(p.journal.id()) + ":1-3 slip.oxf");
    EXPECT_EQ(outcomes(p.journal.id()), (std::vector<O>{O::Printing, O::Printing, O::Printing, O::Cancelled, O::Cancelled}));
    EXPECT_EQ(reason(p.journal.id(), 3), "interrupted");
    p.spooler.end(100, SpoolJobState::Completed);
    p.run.settle(std::chrono::milliseconds(0));
    p.run.finish();
    EXPECT_EQ(jobOutcome(p.journal.id()), O::Cancelled);
}

TEST_F(PrintRunTest, ACancelledJobIsDroppedWithNothingHandedOver)
{
    Printing p(m_journal);
    ASSERT_TRUE(begin(p.journal));
    p.reporter.stopAt = 3;
    p.reporter.drops = true;
    const RunResult result = p.run.print(plan(0), p.device, p.reporter);
    EXPECT_TRUE(result.dropped);
    EXPECT_EQ(result.sent, 0u);
    EXPECT_EQ(p.spooler.discarded, 1);
    EXPECT_TRUE(p.spooler.requests.empty());
    EXPECT_EQ(outcomes(p.journal.id()), std::vector<O>(5, O::Cancelled));
    EXPECT_EQ(reason(p.journal.id(), 0), "cancelled while printing");
    p.run.finish();
    EXPECT_EQ(jobOutcome(p.journal.id()), O::Cancelled);
}

TEST_F(PrintRunTest, AJobHandedOverByAProcessThatEndedBeforeWritingItIsFoundByItsTitle)
{
    ScriptedSpooler spooler;
    JournalJobId id = 0;
    {
        RunJournal journal(m_journal);
        ASSERT_TRUE(begin(journal));
        id = journal.id();
        NotingDevice device(journal);
        StoppingReporter reporter;
        reporter.dieAfter = 2; // the first job (records 1-2) was handed over
        PrintRun run(journal, spooler);
        EXPECT_THROW((void)run.print(plan(2), device, reporter), std::runtime_error);
    }
    // Nothing of the hand-over reached the journal.
    EXPECT_EQ(m_journal->records(id).value[0].cupsJobId, 0);
    spooler.end(100, SpoolJobState::Completed);
    std::string error;
    EXPECT_EQ(settleFromQueue(*m_journal, id, true, spooler, error), 0);
    EXPECT_EQ(error, "");
    EXPECT_EQ(outcomes(id), (std::vector<O>{O::Printed, O::Printed, O::Printing, O::Printing, O::Printing}));
    EXPECT_EQ(m_journal->records(id).value[1].cupsJobId, 100);
}

TEST_F(PrintRunTest, AnotherJournalsJobWithTheSameTitleIsNotTakenForThisOnesRecords)
{
    JournalJobId id = 0;
    {
        RunJournal journal(m_journal);
        ASSERT_TRUE(begin(journal));
        id = journal.id();
    }
    ASSERT_EQ(m_journal->setRecordOutcome(id, 0, 4, O::Printing), ""); // drawn and handed over
    const std::time_t recorded = static_cast<std::time_t>(m_journal->job(id).value->createdAt);
    // Jobs of another journal whose ids match: on another printer, and one
    // the queue took a day before this job was recorded.
    ScriptedSpooler spooler;
    spooler.queue[7] = {7, jobTitle(id, 1, 2), "labels", SpoolJobState::Completed, recorded, {}};
    spooler.queue[8] = {8, jobTitle(id, 3, 5), "slips", SpoolJobState::Completed, recorded - 86400, {}};
    std::string error;
    EXPECT_EQ(settleFromQueue(*m_journal, id, true, spooler, error), 0);
    EXPECT_EQ(error, "");
    for (const JournalRecord& record : m_journal->records(id).value)
        EXPECT_EQ(record.cupsJobId, 0);
    EXPECT_EQ(outcomes(id), std::vector<O>(5, O::Printing));

    // The same title on this printer, taken after the job was recorded, is this job's.
    spooler.queue[9] = {9, jobTitle(id, 1, 2), "slips", SpoolJobState::Completed, recorded, {}};
    EXPECT_EQ(settleFromQueue(*m_journal, id, true, spooler, error), 0);
    EXPECT_EQ(outcomes(id), (std::vector<O>{O::Printed, O::Printed, O::Printing, O::Printing, O::Printing}));
}

// A job handed over by a shop station's service on another machine: its
// spooler job ids are that machine's, and a job of the same id here says
// nothing of it.
TEST_F(PrintRunTest, AJobClaimedByAShopStationOnAnotherMachineIsNotSettledFromThisSpooler)
{
    JournalJobId id = 0;
    {
        RunJournal journal(m_journal);
        ASSERT_TRUE(begin(journal));
        id = journal.id();
    }
    ASSERT_EQ(m_journal->setRecordOutcome(id, 0, 4, O::Printing), "");
    ASSERT_EQ(m_journal->addCupsJob(id, 7, 0, 4), "");
    // Written as the shop's queue writes the station holding it.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((m_dir / "journal.sqlite").string().c_str(), &db), SQLITE_OK);
    const std::string claim = "UPDATE jobs SET claimant = 'back pid 4242@packing-2.example 1765380000000' WHERE id = "
        + std::to_string(id);
    EXPECT_EQ(sqlite3_exec(db, claim.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    ScriptedSpooler spooler;
    spooler.queue[7] = {7, "letter", "slips", SpoolJobState::Completed, 0, {}};
    std::string error;
    EXPECT_EQ(settleFromQueue(*m_journal, id, false, spooler, error), 0);
    EXPECT_EQ(error, "");
    EXPECT_EQ(outcomes(id), std::vector<O>(5, O::Printing));
}

// A page device whose drawing fails on the item given.
class FailingDevice : public PageDevice {
public:
    std::optional<std::size_t> draw(SpoolDocument&, std::size_t first, std::size_t end,
                                    const std::function<bool(std::size_t)>& drawnOne, std::string& error) override
    {
        for (std::size_t item = first; item < end; ++item) {
            if (item == failsAt) {
                error = "the template's picture is unreadable";
                return std::nullopt;
            }
            drawnOne(item);
        }
        return end;
    }
    std::size_t failsAt = 0;
};

TEST_F(PrintRunTest, ADocumentThatCouldNotBeDrawnIsDiscardedAndItsRecordsCancelled)
{
    Printing p(m_journal);
    ASSERT_TRUE(begin(p.journal));
    FailingDevice failing;
    failing.failsAt = 3;
    const RunResult result = p.run.print(plan(2), failing, p.reporter);
    EXPECT_EQ(result.error, "the template's picture is unreadable");
    EXPECT_EQ(result.sent, 2u);
    // The queue's document for records 3-4 is given back (a temporary PDF is not left behind).
    EXPECT_EQ(p.spooler.discarded, 1);
    EXPECT_EQ(p.spooler.requests.size(), 1u);
    EXPECT_EQ(outcomes(p.journal.id()), (std::vector<O>{O::Printing, O::Printing, O::Cancelled, O::Cancelled, O::Cancelled}));
    EXPECT_EQ(reason(p.journal.id(), 4), result.error);
}

// A ledger that notes what the run tells it, and may refuse hand-overs.
class NotingLedger : public RunLedger {
public:
    bool keepsRecords() const override { return true; }
    std::string titleOf(int first, int last, const std::string&) const override
    {
        return jobTitle(refsOf(first, last));
    }
    std::vector<RecordRef> refsOf(int first, int last) const override
    {
        std::vector<RecordRef> refs;
        for (int record = first; record <= last; ++record)
            refs.emplace_back(900, record + 1);
        return refs;
    }
    bool mayHandOver(int, int) override { return handOver; }
    void handedOver(int first, int last, int spoolId, bool) override
    {
        notes.push_back("sent " + range(first, last) + " as " + std::to_string(spoolId));
    }
    void notHandedOver(int first, int last, NotHandedOver why, const std::string& reason) override
    {
        const char* const names[] = {"refused", "not drawn", "stopped", "taken over"};
        notes.push_back(std::string(names[static_cast<int>(why)]) + " " + range(first, last) + ": " + reason);
    }
    void ended(const JobFollower::Ended& job) override
    {
        notes.push_back("ended " + std::to_string(job.spoolId) + " with " + std::to_string(job.records.size()));
    }
    static std::string range(int first, int last) { return std::to_string(first) + "-" + std::to_string(last); }
    bool handOver = true;
    std::vector<std::string> notes;
};

TEST_F(PrintRunTest, ALedgerHearsWhyEachRecordWasNotHandedOver)
{
    ScriptedSpooler spooler;
    RunJournal none;
    NotingDevice device(none);
    StoppingReporter reporter;
    {
        NotingLedger ledger;
        PrintRun run(ledger, spooler);
        spooler.refused = {2};
        (void)run.print(plan(2), device, reporter);
        EXPECT_EQ(ledger.notes, (std::vector<std::string>{
                                    "sent 0-1 as 100", "refused 2-3: the printer \"slips\" did not accept the job (paused)",
                                    "stopped 4-4: the printer \"slips\" did not accept the job (paused)"}));
        EXPECT_EQ(spooler.requests[1].title, "ordavel-journal 900:3-4");
        spooler.end(100, SpoolJobState::Completed);
        EXPECT_TRUE(run.follow());
        EXPECT_EQ(ledger.notes.back(), "ended 100 with 2");
    }
    {
        // Another claims the records now: what was drawn is dropped, nothing is marked.
        NotingLedger ledger;
        ledger.handOver = false;
        PrintRun run(ledger, spooler);
        const int discarded = spooler.discarded;
        const std::size_t requests = spooler.requests.size();
        const RunResult result = run.print(plan(0), device, reporter);
        EXPECT_TRUE(result.takenOver);
        EXPECT_EQ(spooler.discarded, discarded + 1);
        EXPECT_EQ(spooler.requests.size(), requests);
        EXPECT_EQ(ledger.notes, (std::vector<std::string>{"taken over 0-4: taken over by another"}));
    }
    {
        // Stopped before anything was drawn: nothing goes out, the records are only not sent.
        NotingLedger ledger;
        PrintRun run(ledger, spooler);
        reporter.stopAt = 0;
        const RunResult result = run.print(plan(0), device, reporter);
        EXPECT_TRUE(result.interrupted);
        EXPECT_EQ(ledger.notes, (std::vector<std::string>{"stopped 0-4: interrupted"}));
    }
}

#if ORDAVEL_POSTGRES
// The shop's commit of a job goes on while its pages are drawn. When it
// fails, the serial numbers the pages carry were never the shop's: another
// station may print them too, so none of those pages goes out. A print
// without numbers goes on, as it does whenever the journal fails.
TEST_F(PrintRunTest, AShopJobWhoseCommitFailsHandsNoNumberedPageOver)
{
    std::string error;
    const std::string url = test::PostgresServer::newDatabase(error);
    ASSERT_FALSE(url.empty()) << error;
    ASSERT_TRUE(initShopJournal(url).ok());
    Journal::Opened opened = Journal::openShop(url);
    ASSERT_TRUE(opened.journal) << opened.error;
    const std::shared_ptr<Journal> shop(std::move(opened.journal));
    std::unique_ptr<PGconn, void (*)(PGconn*)> other(PQconnectdb(url.c_str()), PQfinish);
    const auto holdRecords = [&] { PQclear(PQexec(other.get(), "BEGIN; LOCK TABLE records IN ACCESS EXCLUSIVE MODE")); };
    const auto release = [&] { PQclear(PQexec(other.get(), "ROLLBACK")); };

    holdRecords();
    Printing numbered(shop);
    ASSERT_TRUE(begin(numbered.journal));
    const RunResult held = numbered.run.print(plan(0), numbered.device, numbered.reporter);
    release();
    EXPECT_TRUE(numbered.spooler.requests.empty());
    EXPECT_EQ(numbered.spooler.discarded, 1);
    EXPECT_NE(held.error.find("serial numbers"), std::string::npos) << held.error;
    EXPECT_NE(numbered.journal.takeProblem(), "");
    EXPECT_EQ(shop->nextCounterValue("WB").value, 1);

    m_doc.box(1).attributes.text = "${name}";
    holdRecords();
    Printing plain(shop);
    ASSERT_TRUE(begin(plain.journal));
    const RunResult printed = plain.run.print(plan(0), plain.device, plain.reporter);
    release();
    EXPECT_TRUE(printed.ok()) << printed.error;
    EXPECT_EQ(plain.spooler.requests.size(), 1u);
    EXPECT_NE(plain.journal.takeProblem(), "");

    // With the shop answering, the numbered job is recorded and printed.
    Printing again(shop);
    m_doc.box(1).attributes.text = "${name} ${#seq:WB}";
    ASSERT_TRUE(begin(again.journal));
    const RunResult recorded = again.run.print(plan(0), again.device, again.reporter);
    EXPECT_TRUE(recorded.ok()) << recorded.error;
    again.run.finish();
    EXPECT_EQ(again.journal.takeProblem(), "");
    EXPECT_EQ(shop->records(again.journal.id()).value.size(), 5u);
    EXPECT_EQ(shop->nextCounterValue("WB").value, 6);
}
#endif

TEST_F(PrintRunTest, AFileIsPrintedAsItStandsAndAPageWithoutJournalStillPrints)
{
    Printing p(m_journal);
    ASSERT_TRUE(begin(p.journal));
    p.spooler.toFile = true;
    ASSERT_TRUE(p.run.print(plan(2), p.device, p.reporter).ok());
    EXPECT_TRUE(p.run.follower().empty());
    p.run.finish();
    EXPECT_EQ(outcomes(p.journal.id()), std::vector<O>(5, O::Printed));
    EXPECT_EQ(jobOutcome(p.journal.id()), O::Printed);

    ScriptedSpooler printer;
    RunJournal none;
    NotingDevice page(none);
    PrintRun untracked(none, printer);
    RunPlan one = plan(0);
    one.items = 1;
    ASSERT_TRUE(untracked.print(one, page, p.reporter).ok());
    ASSERT_EQ(printer.requests.size(), 1u);
    EXPECT_EQ(printer.requests[0].title, "slip.oxf");
    EXPECT_TRUE(untracked.follow());
}

} // namespace
