// The journal's worker does its tasks one after another, in the order given,
// off the caller's thread; the journal is tidied there after a print, and a
// print's record joins the search index only once a thousand wait for it.
#include "platform/journal_worker.h"
#include "print_run/run_journal.h"

#include "journal/journal.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <thread>
#include <vector>

namespace ordavel {
namespace {

TEST(JournalWorker, DoesItsTasksInTheOrderGivenOffTheCallersThreadAndDrainWaitsForThem)
{
    JournalWorker worker;
    std::vector<int> done;
    std::vector<std::future<std::thread::id>> threads;
    for (int i = 0; i < 50; ++i)
        threads.push_back(worker.post([&done, i] {
            if (i == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the rest queue behind it
            done.push_back(i);
            return std::this_thread::get_id();
        }));
    worker.drain();
    ASSERT_EQ(done.size(), 50u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(done[static_cast<std::size_t>(i)], i);
    const std::thread::id first = threads[0].get();
    EXPECT_NE(first, std::this_thread::get_id());
    for (std::size_t i = 1; i < threads.size(); ++i)
        EXPECT_EQ(threads[i].get(), first);
}

class TidyOnWorker : public ::testing::Test {
protected:
    QTemporaryDir folder;
    std::string path = folder.filePath(QStringLiteral("journal.sqlite")).toStdString();

    std::int64_t number(const char* sql)
    {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
        const std::int64_t value = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : -1;
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        return value;
    }

    // A page with `text` printed to a file, finished on the worker.
    JournalJobId printPage(const std::string& text)
    {
        Document doc;
        doc.box(doc.addBox(BoxType::Label, 40, 60, 400, 40)).attributes.text = text;
        JournalPrint print;
        print.program = "designer";
        print.templatePath = "/forms/card.oxf";
        print.templateBytes = "<card/>";
        std::string problem;
        auto entry = std::make_shared<RunJournal>(openRunJournal(path, problem), problem);
        EXPECT_TRUE(entry->begin(print, doc, nullptr, {}, "card.pdf"));
        entry->handedOver(0, 0, 0, true);
        entry->finish();
        EXPECT_EQ(entry->takeProblem(), "");
        // The designer tidies the journal on the worker once a print is finished.
        EXPECT_EQ(JournalWorker().post([entry] { return entry->journal()->tidyWhenDue(); }).get(), "");
        return entry->id();
    }
};

TEST_F(TidyOnWorker, APrintToAFileLeavesTheSearchIndexToABacklogOfAThousand)
{
    const JournalJobId page = printPage("Ann Lee");
    auto journal = Journal::open(path).journal;
    ASSERT_TRUE(journal);
    const auto job = journal->job(page).value;
    ASSERT_TRUE(job.has_value());
    EXPECT_EQ(job->outcome, JournalOutcome::Printed);
    EXPECT_EQ(job->printedCount, 1);
    // Outside the index, and found all the same (the search takes it in).
    EXPECT_EQ(number("SELECT upto FROM search_indexed"), 0);
    JournalQuery ann;
    ann.search = "Ann L";
    EXPECT_EQ(journal->listJobs(ann).value.size(), 1u);
    const std::int64_t indexed = number("SELECT upto FROM search_indexed");
    EXPECT_EQ(indexed, number("SELECT max(id) FROM records"));

    // 999 records waiting after the next page, 1,000 after the one after it:
    // that page's finish takes them in.
    JournalJobIn batch;
    batch.program = "tool";
    batch.kind = JournalKind::Batch;
    batch.templateBytes = "<card/>";
    batch.searchIndexLater = true;
    batch.records.resize(998);
    ASSERT_TRUE(journal->recordJob(batch).ok());
    journal.reset();
    printPage("Bob Ray");
    EXPECT_EQ(number("SELECT upto FROM search_indexed"), indexed);
    printPage("Cy Young");
    EXPECT_EQ(number("SELECT upto FROM search_indexed"), number("SELECT max(id) FROM records"));
}

} // namespace
} // namespace ordavel
