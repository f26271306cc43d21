// The service's parts that need no printer: tokens, template names,
// the titles CUPS jobs carry and the queue's order and outcomes in a journal file.
#include "service/dispatcher.h"
#include "service/job_json.h"
#include "service/journal_queue.h"
#include "service/template_catalog.h"
#include "service/tokens.h"

#include "journal/sha256.h"

#include "tools/tool_run.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <set>
#include <thread>

namespace ordavel::service {
namespace {

TEST(TemplateName, IsAFileNameNeverAPath)
{
    for (const char* good : {"card", "运单 2", "a.b", "x-y_z"})
        EXPECT_TRUE(isTemplateName(good)) << good;
    for (const std::string& bad : std::vector<std::string>{"", "../card", "a/b", "a\\b", "..", "a..b", ".hidden", "tab\there",
                                  std::string("nul\0x", 5), "del\x7f", std::string(256, 'a')})
        EXPECT_FALSE(isTemplateName(bad)) << bad;
}

// A time as a caller may give it: each form read to its second, anything
// else (a word, a date that does not exist, a time out of range, a
// trailing character) read as nothing.
TEST(IsoTime, ReadsSecondsAndIso8601AndNothingElse)
{
    struct Row {
        const char* text;
        std::optional<std::time_t> when;
    };
    const Row rows[] = {
        {"0", 0},
        {"1714521600", 1714521600},
        {"2024-05-01T00:00:00Z", 1714521600},
        {"2024-05-01t00:00z", 1714521600},
        {"2024-05-01T08:00:00+08:00", 1714521600},
        {"2024-05-01T08:00:00+0800", 1714521600},
        {"2024-04-30T19:30:00.999-04:30", 1714521600},
        {"2024-05-01 02:00+02", 1714521600},
        {"2024-02-29T00:00:00Z", 1709164800},
        // Leap days of a fourth century, a century without one, past 32-bit time.
        {"2000-02-29T12:00:00Z", 951825600},
        {"2100-03-01T00:00:00Z", 4107542400},
        {"2038-01-19T03:14:08Z", 2147483648},
        {"2024-05-01T23:59:60Z", 1714608000},
        {"1969-12-31T23:59:59Z", 0},
        {"", std::nullopt},
        {"yesterday", std::nullopt},
        {"-1", std::nullopt},
        {"1714521600.5", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"2023-02-29", std::nullopt},
        {"2024-04-31", std::nullopt},
        {"2024-00-10", std::nullopt},
        {"2024-5-1", std::nullopt},
        {"2024-05-01T", std::nullopt},
        {"2024-05-01T24:00Z", std::nullopt},
        {"2024-05-01T12:60Z", std::nullopt},
        {"2024-05-01T12:00:00.Z", std::nullopt},
        {"2024-05-01T12:00+24:00", std::nullopt},
        {"2024-05-01T12:00:00Zx", std::nullopt},
        {"2024-05-01T12:00:00 Z", std::nullopt},
        {" 2024-05-01", std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(parseIsoTime(row.text), row.when) << "\"" << row.text << "\"";

    // Without a zone: the local time, a date alone at its midnight.
    std::tm local{};
    local.tm_year = 124;
    local.tm_mon = 4;
    local.tm_mday = 1;
    local.tm_isdst = -1;
    const std::time_t midnight = std::mktime(&local);
    EXPECT_EQ(parseIsoTime("2024-05-01"), midnight);
    EXPECT_EQ(parseIsoTime("2024-05-01T10:30"), midnight + 10 * 3600 + 30 * 60);
}

class TokenFileTest : public ::testing::Test {
protected:
    test::ScratchDir scratch{"ordavel-tokens"};
    std::string path = (scratch.path() / "ordavel" / "service.ini").string();
    TokenFile file{path};
};

TEST_F(TokenFileTest, AddsListsAndRevokesWithoutKeepingTheSecret)
{
    std::string error;
    Token rights;
    rights.name = "shop";
    rights.origins = {"https://shop.example", "http://127.0.0.1:8080"};
    rights.printers = {"P1"};
    const std::string secret = file.add(rights, error);
    ASSERT_EQ(secret.size(), 64u) << error;
    EXPECT_NE(secret, file.add(Token{"other", {}, {}, {}, {}}, error)) << "every token is new";

    std::ifstream in(path);
    const std::string stored{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(stored.find(secret), std::string::npos);
    EXPECT_NE(stored.find(ordavel::sha256Hex(secret)), std::string::npos);

    TokenRegistry registry{TokenFile(path)};
    const auto found = registry.find(secret);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->name, "shop");
    EXPECT_TRUE(found->allowsOrigin("https://shop.example"));
    EXPECT_FALSE(found->allowsOrigin("https://shop.example:443")) << "origins match exactly";
    EXPECT_TRUE(found->allowsPrinter("P1"));
    EXPECT_FALSE(found->allowsPrinter("P2"));
    EXPECT_TRUE(found->allowsTemplate("any")) << "no templates named: all";
    EXPECT_FALSE(registry.find(secret.substr(0, 63)));
    EXPECT_FALSE(registry.find(""));

    EXPECT_EQ(file.revoke("shop"), "");
    EXPECT_NE(file.revoke("shop"), "");
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_FALSE(registry.find(secret)) << "a revoked token stops working";
}

TEST_F(TokenFileTest, RefusesBadNamesOriginsAndDuplicates)
{
    std::string error;
    for (const char* name : {"", "a b", "a]", "x/y"}) {
        EXPECT_EQ(file.add(Token{name, {}, {}, {}, {}}, error), "") << name;
        EXPECT_FALSE(error.empty());
    }
    for (const char* origin : {"shop.example", "https://shop.example/", "https://a b", "://x", "https://"}) {
        error.clear();
        EXPECT_EQ(file.add(Token{"t", {}, {origin}, {}, {}}, error), "") << origin;
        EXPECT_FALSE(error.empty()) << origin;
    }
    ASSERT_EQ(file.add(Token{"t", {}, {}, {}, {}}, error).size(), 64u) << error;
    EXPECT_EQ(file.add(Token{"t", {}, {}, {}, {}}, error), "");
    EXPECT_NE(error.find("exists"), std::string::npos) << error;
}

TEST_F(TokenFileTest, ADamagedDigestMatchesNothing)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << "[token broken]\nhash=\n[token short]\nhash=abc\n";
    std::string error;
    const auto tokens = file.load(error);
    ASSERT_TRUE(tokens) << error;
    EXPECT_TRUE(tokens->empty());
    EXPECT_FALSE(TokenRegistry(TokenFile(path)).find(""));
    std::ofstream(path) << "hash=" << std::string(64, 'a') << "\n";
    EXPECT_FALSE(file.load(error)) << "a setting outside a section is damage, not a token";
}

NewJob jobOf(const std::string& printer, int records, int copies = 1, const std::string& key = {})
{
    NewJob job;
    job.owner = "shop";
    job.key = key;
    job.printer = printer;
    job.templatePath = "/t/card.oxf";
    job.copies = copies;
    for (int r = 1; r <= records; ++r)
        job.records.push_back({{"单号", "R" + std::to_string(r)}});
    return job;
}

// A queue in a journal file of its own.
struct QueueInScratch {
    test::ScratchDir scratch{"ordavel-queue"};
    std::string error;
    std::unique_ptr<JournalQueue> owned = JournalQueue::open((scratch.path() / "journal.sqlite").string(), error);
};

TEST(JournalQueue, SendsInAcceptedOrderWithinThePageLimit)
{
    QueueInScratch held;
    ASSERT_TRUE(held.owned) << held.error;
    JobQueue& queue = *held.owned;
    std::string error;
    const auto a = queue.submit(jobOf("P", 3, 2), error);
    const auto b = queue.submit(jobOf("P", 2), error);
    const auto other = queue.submit(jobOf("Q", 1), error);
    ASSERT_TRUE(a && b && other);
    EXPECT_EQ(queue.waitingPrinters(), (std::vector<std::string>{"P", "Q"}));
    // Two copies each: 5 pages hold two records of the first job.
    auto next = queue.nextToSend("P", 5);
    ASSERT_EQ(next.size(), 2u);
    EXPECT_EQ(next[1].n, 2);
    EXPECT_EQ(next[1].values[0].second, "R2");
    // A record larger than the limit still goes out alone.
    EXPECT_EQ(queue.nextToSend("P", 1).size(), 1u);
    queue.markSent({{a->id, 1}, {a->id, 2}, {a->id, 3}}, 700);
    next = queue.nextToSend("P", 50);
    ASSERT_EQ(next.size(), 2u);
    EXPECT_EQ(next[0].job, b->id);
    EXPECT_EQ(queue.find(a->id)->outcome, Outcome::Printing);
    EXPECT_EQ(queue.waitingRecords(), 6u);
}

// The dispatcher tidies the queue when it has nothing in flight: the
// journal's write-ahead log goes into the journal file once it is long.
TEST(JournalQueue, TidyingCopiesALongLogIntoTheJournalFile)
{
    QueueInScratch held;
    ASSERT_TRUE(held.owned) << held.error;
    JobQueue& queue = *held.owned;
    const std::filesystem::path file = held.scratch.path() / "journal.sqlite";
    std::string error;
    ASSERT_TRUE(queue.submit(jobOf("P", 1), error)) << error;
    queue.tidy(); // a short log stays where it is
    const auto before = std::filesystem::file_size(file);
    // Each submission's commit adds its pages to the log.
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(queue.submit(jobOf("P", 1), error)) << error;
    EXPECT_EQ(std::filesystem::file_size(file), before);
    queue.tidy();
    EXPECT_GT(std::filesystem::file_size(file), before);
    EXPECT_EQ(queue.listSince("shop", 0).size(), 301u);
}

TEST(JournalQueue, AJobEndsAsItsRecordsDidAndAKeyNamesTheFirstJob)
{
    QueueInScratch held;
    ASSERT_TRUE(held.owned) << held.error;
    JobQueue& queue = *held.owned;
    std::string error;
    const auto first = queue.submit(jobOf("P", 3, 1, "k"), error);
    const auto again = queue.submit(jobOf("P", 9, 1, "k"), error);
    ASSERT_TRUE(first && again);
    EXPECT_TRUE(first->created);
    EXPECT_FALSE(again->created);
    EXPECT_EQ(again->id, first->id);
    EXPECT_EQ(queue.find(first->id)->records.size(), 3u);

    queue.markOutcome(first->id, 1, Outcome::Printed);
    queue.markOutcome(first->id, 2, Outcome::Printed);
    EXPECT_EQ(queue.find(first->id)->outcome, Outcome::Queued);
    queue.markOutcome(first->id, 3, Outcome::Failed, "jam");
    const auto done = queue.find(first->id);
    EXPECT_EQ(done->outcome, Outcome::Failed);
    EXPECT_EQ(done->reason, "jam");
    queue.markOutcome(first->id, 3, Outcome::Printed);
    EXPECT_EQ(queue.find(first->id)->outcome, Outcome::Failed) << "a final outcome stays";
    EXPECT_EQ(queue.waitingRecords(), 0u);
    EXPECT_TRUE(queue.unfinished().empty());
}

// Another program holding the journal longer than a write waits: what the
// queue did meanwhile (records sent, printed, the job ended) is told once,
// kept in order and written as soon as the journal takes writes again.
TEST(JournalQueue, ChangesTheJournalRefusedAreWrittenInOrderOnceItTakesWritesAgain)
{
    QueueInScratch held;
    ASSERT_TRUE(held.owned) << held.error;
    JournalQueue& queue = *held.owned;
    std::vector<std::string> told;
    queue.setProblemSink([&told](const std::string& problem) { told.push_back(problem); });
    std::string error;
    const auto job = queue.submit(jobOf("P", 2), error);
    ASSERT_TRUE(job) << error;
    ASSERT_EQ(queue.nextToSend("P", 10).size(), 2u); // claims it

    const std::string path = (held.scratch.path() / "journal.sqlite").string();
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    queue.markSent({{job->id, 1}, {job->id, 2}}, 812);
    queue.markOutcomes({{job->id, 1}, {job->id, 2}}, Outcome::Printed);
    EXPECT_EQ(queue.find(job->id)->outcome, Outcome::Printed);
    EXPECT_GT(queue.unwrittenChanges(), 0u);
    ASSERT_EQ(told.size(), 1u) << "one failure is told once, not per change";
    EXPECT_NE(told[0].find("could not be written"), std::string::npos) << told[0];
    ASSERT_EQ(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);

    queue.tidy();
    EXPECT_EQ(queue.unwrittenChanges(), 0u);
    EXPECT_EQ(told.back(), "the print journal is written again");
    auto journal = Journal::open(path).journal;
    ASSERT_TRUE(journal);
    const auto stored = journal->job(job->id).value;
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->outcome, JournalOutcome::Printed);
    EXPECT_EQ(stored->cupsJobIds, std::vector<int>{812});
    EXPECT_EQ(stored->printedCount, 2);
}

// A job's reason is what holds it now, in memory and in the journal alike:
// kept across a restart while it holds, gone once the records reach CUPS.
TEST(JournalQueue, AReasonLastsWhileItHoldsAndGoesWhenTheRecordsAreSentAcrossARestart)
{
    QueueInScratch held;
    ASSERT_TRUE(held.owned) << held.error;
    const std::string path = (held.scratch.path() / "journal.sqlite").string();
    std::string error;
    const auto job = held.owned->submit(jobOf("P", 2), error);
    ASSERT_TRUE(job) << error;
    held.owned->setReason(job->id, "打印机已暂停");
    held.owned.reset();
    auto again = JournalQueue::open(path, error);
    ASSERT_TRUE(again) << error;
    EXPECT_EQ(again->find(job->id)->reason, "打印机已暂停") << "still queued on a stopped printer";

    again->markSent({{job->id, 1}, {job->id, 2}}, 700);
    EXPECT_EQ(again->find(job->id)->outcome, Outcome::Printing);
    EXPECT_EQ(again->find(job->id)->reason, "");
    again.reset();
    again = JournalQueue::open(path, error);
    ASSERT_TRUE(again) << error;
    EXPECT_EQ(again->find(job->id)->reason, "") << "the stop before it was sent is not read back";

    again->setReason(job->id, "打印任务在打印队列中被挂起");
    again.reset();
    again = JournalQueue::open(path, error);
    ASSERT_TRUE(again) << error;
    EXPECT_EQ(again->find(job->id)->reason, "打印任务在打印队列中被挂起");
    again->markOutcomes({{job->id, 1}, {job->id, 2}}, Outcome::Printed);
    EXPECT_EQ(again->find(job->id)->reason, "");
}

// Each job prints from the template bytes accepted with it, kept in the
// journal: the same after a restart and after the job finished, one copy in
// memory for jobs that share them. Each record's printed text is journalled,
// and the records of one CUPS job are written sent in one go.
TEST(JournalQueue, KeepsTheTemplateAndPrintedTextOfEachJobAcrossARestart)
{
    QueueInScratch held;
    ASSERT_TRUE(held.owned) << held.error;
    const std::string path = (held.scratch.path() / "journal.sqlite").string();
    const auto bytesA = std::make_shared<const std::string>("<template version A/>");
    std::string error;
    NewJob one = jobOf("P", 2);
    one.templateBytes = std::make_shared<const std::string>(*bytesA);
    one.printed = {{{"box 1", "No. R1"}}, {{"box 1", "No. R2"}}};
    NewJob two = jobOf("P", 1);
    two.templateBytes = bytesA;
    NewJob other = jobOf("P", 1);
    other.templateBytes = std::make_shared<const std::string>("<template version B/>");
    const auto a = held.owned->submit(one, error);
    const auto b = held.owned->submit(two, error);
    const auto c = held.owned->submit(other, error);
    ASSERT_TRUE(a && b && c) << error;

    auto next = held.owned->nextToSend("P", 50);
    ASSERT_EQ(next.size(), 4u);
    EXPECT_EQ(*next[0].source.bytes, *bytesA);
    EXPECT_EQ(next[0].source.hash, sha256Hex(*bytesA));
    EXPECT_EQ(next[0].source.bytes, next[2].source.bytes) << "one copy for jobs with the same bytes";
    EXPECT_EQ(*next[3].source.bytes, "<template version B/>");
    held.owned->markSent({{a->id, 1}, {a->id, 2}, {b->id, 1}}, 900);
    held.owned->markOutcomes({{a->id, 1}, {a->id, 2}}, Outcome::Printed);

    // Started again on the same journal.
    held.owned.reset();
    auto again = JournalQueue::open(path, error);
    ASSERT_TRUE(again) << error;
    next = again->nextToSend("P", 50);
    ASSERT_EQ(next.size(), 1u) << "sent records stay sent";
    EXPECT_EQ(next[0].job, c->id);
    EXPECT_EQ(*next[0].source.bytes, "<template version B/>");
    EXPECT_EQ(next[0].source.hash, sha256Hex("<template version B/>"));
    const auto printed = again->storedTemplate(a->id);
    ASSERT_TRUE(printed && printed->bytes);
    EXPECT_EQ(*printed->bytes, *bytesA) << "a finished job keeps its template";
    EXPECT_EQ(printed->path, "/t/card.oxf");
    EXPECT_EQ(again->find(b->id)->records[0].cupsJob, 900);
    EXPECT_FALSE(again->storedTemplate(4242));
    again.reset();

    auto journal = Journal::open(path).journal;
    ASSERT_TRUE(journal);
    const auto records = journal->records(a->id).value;
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].fields, (JournalValues{{"box 1", "No. R2"}}));
    EXPECT_EQ(records[1].columns, (JournalValues{{"单号", "R2"}}));
    EXPECT_EQ(records[1].outcome, JournalOutcome::Printed);
    const auto claimed = journal->job(b->id).value;
    EXPECT_EQ(claimed->cupsJobIds, std::vector<int>{900});
    EXPECT_EQ(claimed->claimant.rfind("pid " + std::to_string(::getpid()) + "@", 0), 0u) << claimed->claimant;
}

// Many callers at once: each gets its own job once it is on disk (commits
// are shared), and callers racing with one key get one job between them.
TEST(JournalQueue, ConcurrentSubmissionsEachGetTheirJobAndOneKeyNamesOneJob)
{
    QueueInScratch held;
    ASSERT_TRUE(held.owned) << held.error;
    constexpr int kThreads = 12;
    constexpr int kEach = 15;
    std::vector<std::vector<Submitted>> got(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                std::string error;
                const auto submitted = held.owned->submit(jobOf("P", 1, 1, i == 0 ? "same" : ""), error);
                EXPECT_TRUE(submitted) << error;
                if (submitted)
                    got[static_cast<std::size_t>(t)].push_back(*submitted);
            }
        });
    for (auto& thread : threads)
        thread.join();
    std::set<std::int64_t> ids, keyed;
    int created = 0;
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(got[static_cast<std::size_t>(t)].size(), static_cast<std::size_t>(kEach));
        keyed.insert(got[static_cast<std::size_t>(t)][0].id);
        for (const Submitted& s : got[static_cast<std::size_t>(t)]) {
            ids.insert(s.id);
            created += s.created ? 1 : 0;
        }
    }
    EXPECT_EQ(keyed.size(), 1u) << "one job for the key";
    const std::size_t jobs = kThreads * (kEach - 1) + 1;
    EXPECT_EQ(ids.size(), jobs);
    EXPECT_EQ(created, static_cast<int>(jobs));
    EXPECT_EQ(held.owned->waitingRecords(), jobs);

    const std::string path = (held.scratch.path() / "journal.sqlite").string();
    held.owned.reset();
    std::string error;
    auto again = JournalQueue::open(path, error);
    ASSERT_TRUE(again) << error;
    EXPECT_EQ(again->waitingRecords(), jobs) << "every job answered is on disk";
    EXPECT_EQ(again->findByKey("shop", "same")->id, *keyed.begin());
}

} // namespace
} // namespace ordavel::service
