// What the print journal costs: a 1,000-record batch of the sample waybill
// rendered to PDF with and without recording it (both draw the same counter
// values, so that only the journal differs; compare the medians; the
// counters split the journal's part into what the print waits for, before the
// last page is handed over, and what is written after it), a page print with
// and without it, the journal's own work for one page print, one empty
// commit (the fsync that recording before the first page cannot avoid), and
// a search over a journal of 1,000,000 records (1,000 jobs of 1,000; made
// once in the current folder and kept for later runs; one of an older schema
// found there is upgraded), also for records too new to be in the search
// index, and the search index brought up to date after an upgrade. The
// journal files lie in the current folder, so that full synchronous commits
// reach a real disk.
#include "batch_pdf.h"
#include "bench_waybill.h"
#include "data/merge.h"
#include "file/template_reader.h"
#include "journal/journal.h"
#include "platform/journal_session.h"
#include "platform/painter_surface.h"
#include "platform/print_journal.h"
#include "platform/printer.h"
#include "print/print_job.h"

#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <time.h>
#include <filesystem>
#include <map>
#include <memory>

namespace {

using namespace ordavel;
namespace fs = std::filesystem;

using bench::itemsOf;
using bench::waybill;
const auto& kColumns = bench::kWaybillColumns;

DataTable records(int count) { return bench::waybillRecords(count); }

std::string journalFile(const char* name) { return (fs::current_path() / name).string(); }

void removeJournal(const std::string& path)
{
    for (const char* suffix : {"", "-wal", "-shm", ".off"})
        fs::remove(path + suffix);
}

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// This process's CPU time in milliseconds.
double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Where the journal's time went in one print: before the hand-over (the
// print waits for it) and after it (written once the pages are out), wall
// clock and CPU.
struct JournalSplit {
    double before = 0;
    double wait = 0; // of `before`: a page print's wait for the commit once the page is drawn
    double after = 0;
    double beforeCpu = 0;
    double afterCpu = 0;
};

// The journal session at `path`, kept for the process as the designer keeps its own.
JournalSession& sessionAt(const std::string& path)
{
    static std::map<std::string, std::unique_ptr<JournalSession>> sessions;
    auto& session = sessions[path];
    if (!session)
        session = std::make_unique<JournalSession>(path);
    return *session;
}

// The batch to PDF, recorded in `journal` unless it is null.
void batchToPdf(const Document& doc, const DataTable& table, RunJournal* journal, JournalSplit* split = nullptr)
{
    const std::vector<BatchItem> items = itemsOf(table);
    if (journal != nullptr) {
        const auto start = Clock::now();
        const double cpu = cpuMs();
        JournalPrint what;
        what.program = "tool";
        what.kind = JournalKind::Batch;
        what.templatePath = ORDAVEL_SOURCE_DIR "/samples/waybill.oxf";
        what.templateBytes = templateBytesOf(doc, what.templatePath, true);
        journal->begin(what, doc, &table, items, "bench.pdf");
        if (split != nullptr) {
            split->before = msSince(start);
            split->beforeCpu = cpuMs() - cpu;
        }
    }
    // Without the journal, the counter values it would give, so that both cases draw the same pages.
    bench::batchToPdf(doc, table, "ordavel-bench-journal.pdf", [journal](int row) {
        return journal != nullptr ? journal->countersOf(row) : RecordMerge::CounterValues{{"bench", row + 1}};
    });
    if (journal != nullptr) {
        const auto start = Clock::now();
        const double cpu = cpuMs();
        journal->handedOver(0, table.recordCount() - 1, 0, true);
        journal->finish();
        if (split != nullptr) {
            split->after = msSince(start);
            split->afterCpu = cpuMs() - cpu;
        }
    }
}

void BM_BatchToPdf(benchmark::State& state)
{
    const Document doc = waybill();
    const DataTable table = records(static_cast<int>(state.range(0)));
    for (auto _ : state)
        batchToPdf(doc, table, nullptr);
}

void BM_BatchToPdfJournaled(benchmark::State& state)
{
    const Document doc = waybill();
    const DataTable table = records(static_cast<int>(state.range(0)));
    // Made afresh once per run (main), then kept open between prints as the designer keeps it.
    const std::string path = journalFile("ordavel-bench-batch.sqlite");
    JournalSplit split;
    double tidyMs = 0;
    for (auto _ : state) {
        // Untimed: the tidying after the last print, as the tool and the
        // designer do it once the pages are out (its records into the search
        // index, the log into the database file), and the counter set back so
        // that this print numbers its pages from 1, as the print without the
        // journal does, and both draw the very same pages.
        state.PauseTiming();
        std::string error;
        if (const auto journal = sessionAt(path).journal(error); journal) {
            const auto tidy = Clock::now();
            std::string failed = journal->indexSearch();
            tidyMs = msSince(tidy);
            if (failed.empty())
                failed = journal->setNextCounterValue("bench", 1);
            if (!failed.empty()) {
                state.SkipWithError(failed.c_str());
                return;
            }
        }
        state.ResumeTiming();
        RunJournal journal = *sessionAt(path).runJournal();
        batchToPdf(doc, table, &journal, &split);
        if (!journal.active())
            state.SkipWithError(journal.takeProblem().c_str());
    }
    // Of the last iteration: the journal's milliseconds before and after the hand-over.
    state.counters["journal_before_ms"] = split.before;
    state.counters["journal_after_ms"] = split.after;
    state.counters["journal_before_cpu_ms"] = split.beforeCpu;
    state.counters["journal_after_cpu_ms"] = split.afterCpu;
    state.counters["tidy_ms"] = tidyMs; // after the print before the last
}
BENCHMARK(BM_BatchToPdf)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_BatchToPdfJournaled)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);

// What the journal keeps of a designer's page print of `doc`.
JournalPrint pagePrint(const Document& doc)
{
    JournalPrint what;
    what.program = "designer";
    what.templatePath = ORDAVEL_SOURCE_DIR "/samples/waybill.oxf";
    what.templateBytes = templateBytesOf(doc, what.templatePath, true); // edited: written out afresh
    return what;
}

// One page of the waybill printed to PDF, recorded in the journal at `path`
// unless it is empty, as the designer does it: the template's bytes are
// taken, the journal's commit comes before the drawing, and
// the page is written out, and what is left after the hand-over goes to the
// journal's worker, which the next page's commit queues behind.
void pageToPdf(const Document& doc, const std::string& path, JournalSplit* split)
{
    std::shared_ptr<RunJournal> journal;
    const auto start = Clock::now();
    const double cpu = cpuMs();
    if (!path.empty()) {
        journal = sessionAt(path).runJournal();
        journal->begin(pagePrint(doc), doc, nullptr, {}, "page.pdf");
        split->before += msSince(start);
        split->beforeCpu += cpuMs() - cpu;
    }
    const DataTable none;
    RecordMerge counters(none, true);
    if (journal)
        counters.setCounterValues(journal->countersOf(0));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QDir::temp().filePath(QStringLiteral("ordavel-bench-page.pdf")));
    configurePrinter(printer, doc.page());
    {
        QPainter painter(&printer);
        printPageOn(painter, doc, {}, {}, [&counters](const Box& box) -> const Box& { return counters.merged(box); });
    }
    if (journal) {
        const auto after = Clock::now();
        const double afterCpu = cpuMs();
        journal->handedOver(0, 0, 0, true);
        journal->finish();
        sessionAt(path).worker()->post([journal] {
            // A tidying that fails is done again by the next print's.
            if (Journal* written = journal->journal())
                (void)written->tidyWhenDue();
        });
        split->after += msSince(after);
        split->afterCpu += cpuMs() - afterCpu;
    }
}

// A page print to PDF with and without the journal (the designer keeps the
// journal open between prints), with a serial number (its commit comes before
// the drawing) and without one (its commit overlaps the drawing); pages back
// to back (each page's commit queues behind the last one's finish) or spaced
// as the designer prints them (the print dialog between two pages: the last
// page's finish is done, untimed, before the next starts).
void BM_PagePrint(benchmark::State& state)
{
    Document doc = waybill();
    if (state.range(1) == 0)
        doc.box(8).attributes.text = std::string("${") + kColumns[7] + "}";
    const std::string path = state.range(0) != 0 ? journalFile("ordavel-bench-pages.sqlite") : std::string();
    if (!path.empty())
        removeJournal(path);
    JournalSplit split;
    const bool spaced = state.range(2) != 0;
    for (auto _ : state) {
        if (spaced && !path.empty()) {
            state.PauseTiming();
            sessionAt(path).worker()->drain();
            state.ResumeTiming();
        }
        pageToPdf(doc, path, &split);
    }
    if (!path.empty()) {
        // The last page's finish, untimed: one of a few hundred pages.
        sessionAt(path).worker()->drain();
        // Per page: the journal's milliseconds before the page is sent and after.
        state.counters["journal_before_ms"] = split.before / static_cast<double>(state.iterations());
        state.counters["journal_wait_ms"] = split.wait / static_cast<double>(state.iterations());
        state.counters["journal_after_ms"] = split.after / static_cast<double>(state.iterations());
        state.counters["journal_before_cpu_ms"] = split.beforeCpu / static_cast<double>(state.iterations());
        state.counters["journal_after_cpu_ms"] = split.afterCpu / static_cast<double>(state.iterations());
        removeJournal(path);
    }
}
BENCHMARK(BM_PagePrint)
    ->ArgNames({"journal", "number", "spaced"})
    ->ArgsProduct({{0, 1}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

// The journal's part of one page print: record with a counter, hand over, finish.
void BM_PagePrintJournalWork(benchmark::State& state)
{
    const Document doc = waybill();
    const std::string path = journalFile("ordavel-bench-page.sqlite");
    removeJournal(path);
    const JournalPrint what = pagePrint(doc);
    for (auto _ : state) {
        RunJournal journal = *sessionAt(path).runJournal();
        journal.begin(what, doc, nullptr, {}, "page.pdf");
        journal.handedOver(0, 0, 0, true);
        journal.finish();
        if (!journal.active())
            state.SkipWithError("the journal was not written");
    }
    removeJournal(path);
}
BENCHMARK(BM_PagePrintJournalWork)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// One commit that changes a single row: the least a durable write costs on this disk.
void BM_JournalEmptyCommit(benchmark::State& state)
{
    const std::string path = journalFile("ordavel-bench-commit.sqlite");
    removeJournal(path);
    auto journal = Journal::open(path).journal;
    std::int64_t next = 1;
    for (auto _ : state)
        if (!journal || !journal->setNextCounterValue("bench", ++next).empty())
            state.SkipWithError("the journal could not be written");
    journal.reset();
    removeJournal(path);
}
BENCHMARK(BM_JournalEmptyCommit)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// 1,000 jobs of 1,000 records, each record a waybill's values, all printed;
// one record holds the order number searched for.
std::unique_ptr<Journal> millionRecords()
{
    const std::string path = journalFile("ordavel-bench-1m.sqlite");
    auto opened = Journal::open(path);
    if (!opened.journal)
        return nullptr;
    // One of an older run whose jobs were left printing is made again: a
    // journal's jobs are finished, and a listing reads them so.
    if (opened.journal->stats().value.records >= 1000000 && opened.journal->countUnfinished("tool").value == 0)
        return std::move(opened.journal);
    opened.journal.reset();
    removeJournal(path);
    opened = Journal::open(path);
    for (int j = 0; j < 1000; ++j) {
        const auto id = opened.journal->recordJob(bench::millionRecordsJob(j));
        if (!id.ok() || !opened.journal->setRecordOutcome(id.value, 0, 999, JournalOutcome::Printed).empty()
            || !opened.journal->finishJob(id.value, JournalOutcome::Printed).empty())
            return nullptr;
    }
    return std::move(opened.journal);
}

// The journal of a million records, opened once (a file of an older schema
// is upgraded then), and how long the opening took.
Journal* millionJournal(double* openMs = nullptr)
{
    static double opening = 0;
    static const std::unique_ptr<Journal> journal = [] {
        const auto start = Clock::now();
        auto made = millionRecords();
        opening = msSince(start);
        return made;
    }();
    if (openMs != nullptr)
        *openMs = opening;
    return journal.get();
}

// The search index brought up to date a chunk per call, as the prints after
// an upgrade do it: the longest call (what one print waits for at most) and
// the total. On a journal already indexed the calls find nothing to do.
void BM_SearchIndexCatchUp(benchmark::State& state)
{
    double openMs = 0;
    Journal* journal = millionJournal(&openMs);
    if (journal == nullptr) {
        state.SkipWithError("the journal of a million records could not be made");
        return;
    }
    double total = 0;
    double longest = 0;
    for (auto _ : state) {
        for (int call = 0; call < 60; ++call) {
            const auto start = Clock::now();
            if (const std::string error = journal->indexSearch(); !error.empty()) {
                state.SkipWithError(error.c_str());
                return;
            }
            const double ms = msSince(start);
            total += ms;
            longest = std::max(longest, ms);
        }
    }
    state.counters["open_ms"] = openMs;
    state.counters["index_total_ms"] = total;
    state.counters["longest_call_ms"] = longest;
}
BENCHMARK(BM_SearchIndexCatchUp)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_SearchMillionRecords(benchmark::State& state, const char* text)
{
    Journal* journal = millionJournal();
    if (journal == nullptr) {
        state.SkipWithError("the journal of a million records could not be made");
        return;
    }
    JournalQuery query;
    query.search = text;
    std::size_t found = 0;
    for (auto _ : state)
        found = journal->listJobs(query).value.size();
    state.counters["jobs_found"] = static_cast<double>(found);
}
BENCHMARK_CAPTURE(BM_SearchMillionRecords, OrderNumber, "ORD-531777")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchMillionRecords, Nowhere, "王五丰")->Unit(benchmark::kMillisecond);
// In about 4,000 records of all 1,000 jobs: listing the jobs with their
// record counts takes most of the time, as for "李四" below.
BENCHMARK_CAPTURE(BM_SearchMillionRecords, ThreeCharacters, "777")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_SearchMillionRecords, TwoCharacters, "王五")->Unit(benchmark::kMillisecond)->Iterations(3);
// "街9" is in the 111,111 records whose number starts with 9, "李四" in every one.
BENCHMARK_CAPTURE(BM_SearchMillionRecords, TwoCharactersMany, "街9")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_SearchMillionRecords, TwoCharactersEveryRecord, "李四")->Unit(benchmark::kMillisecond)->Iterations(1);

// A search that must find 1,000 records just written and not yet indexed
// (beside the million indexed ones), then the indexing of them.
void BM_SearchNewRecords(benchmark::State& state)
{
    auto opened = Journal::open(journalFile("ordavel-bench-1m.sqlite"));
    if (!opened.journal || opened.journal->stats().value.records < 1000000) {
        state.SkipWithError("the journal of a million records is missing");
        return;
    }
    Journal& journal = *opened.journal;
    JournalJobIn job;
    job.program = "tool";
    job.printer = "office";
    job.templateBytes = "<waybill/>";
    job.startPrinting = true;
    job.searchIndexLater = true;
    // A text of this call alone (each leaves its job of 1,000 records behind).
    static int calls = 0;
    const std::string token = "NEW" + std::to_string(std::time(nullptr)) + "x" + std::to_string(++calls) + "-";
    for (int r = 0; r < 1000; ++r) {
        JournalRecordIn record;
        record.number = r + 1;
        record.fields = {{"box 1", "赵六" + std::to_string(r)}, {"box 7", token + std::to_string(r)}};
        job.records.push_back(std::move(record));
    }
    const auto id = journal.recordJob(job);
    JournalQuery query;
    query.search = token + "777";
    std::size_t found = 0;
    for (auto _ : state)
        found = journal.listJobs(query).value.size();
    state.counters["jobs_found"] = static_cast<double>(found);
    const auto start = Clock::now();
    if (const std::string failed = journal.indexSearch(); !failed.empty())
        state.SkipWithError(failed.c_str());
    state.counters["index_1000_ms"] = msSince(start);
    // Left printing, the job would make the next run build the million records again.
    if (id.ok() && (!journal.setRecordOutcome(id.value, 0, 999, JournalOutcome::Printed).empty()
                    || !journal.finishJob(id.value, JournalOutcome::Printed).empty()))
        state.SkipWithError("the new job could not be finished");
}
BENCHMARK(BM_SearchNewRecords)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    const Document doc = waybill();
    batchToPdf(doc, records(1), nullptr); // font files are opened once per process
    const std::string batchJournal = journalFile("ordavel-bench-batch.sqlite");
    removeJournal(batchJournal);
    benchmark::RunSpecifiedBenchmarks();
    removeJournal(batchJournal);
    benchmark::Shutdown();
    return 0;
}
