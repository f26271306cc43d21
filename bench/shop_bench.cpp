// What a shop of several stations costs, each figure beside the station's
// own journal file in the same run:
// - a 1,000-record batch of the sample waybill to PDF recorded in the file
//   and in the shop (compare the medians), and a page's journal work alone;
// - 20 station processes printing batches to PDF at once with one shared
//   counter: records recorded in the shop a second, every number once;
// - a search over a shop of 1,000,000 records (made once per run);
// - uploading 10,000 records a station printed while the shop could not be
//   reached.
// The shop is a PostgreSQL server of the bench's own in a temporary folder
// (the tests' server: a Unix socket, no TCP), with fsync and full page
// writes switched on again, so that its commits are as durable as the file's.
#include "batch_pdf.h"
#include "bench_waybill.h"
#include "journal/journal.h"
#include "platform/print_journal.h"
#include "shop/own_journal_upload.h"
#include "support/postgres_server.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace ordavel;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string journalFile(const std::string& name) { return (fs::current_path() / name).string(); }

void removeJournal(const std::string& path)
{
    for (const char* suffix : {"", "-wal", "-shm", ".off"})
        fs::remove(path + suffix);
}

// A new shop in the bench's server; "" (and the reason on stderr) when none could be made.
std::string newShop()
{
    std::string error;
    test::PostgresServer* server = test::PostgresServer::shared(error);
    if (server == nullptr) {
        std::fprintf(stderr, "no PostgreSQL server: %s\n", error.c_str());
        return {};
    }
    static bool durable = false;
    if (!durable) {
        const std::string url = server->urlOf("postgres");
        // One statement a call: ALTER SYSTEM cannot run in the block several make.
        for (const char* statement :
             {"ALTER SYSTEM SET fsync = on", "ALTER SYSTEM SET full_page_writes = on", "SELECT pg_reload_conf()"})
            if (const std::string failed = test::runSql(url, statement); !failed.empty())
                std::fprintf(stderr, "the server stays without fsync: %s\n", failed.c_str());
        durable = true;
    }
    const std::string url = server->createDatabase(error);
    if (url.empty() || !initShopJournal(url).ok()) {
        std::fprintf(stderr, "no shop: %s\n", error.c_str());
        return {};
    }
    return url;
}

std::shared_ptr<Journal> openStation(const std::string& url, const std::string& station)
{
    Journal::Opened opened = Journal::openShop(url, station);
    if (!opened.journal)
        return nullptr;
    if (!opened.journal->joinStation(station).empty())
        return nullptr;
    return std::shared_ptr<Journal>(std::move(opened.journal));
}

// A new journal: the station's own file at `file`, or a new shop's.
std::shared_ptr<Journal> fileOrShop(bool shop, const std::string& file)
{
    if (shop) {
        const std::string url = newShop();
        return url.empty() ? nullptr : openStation(url, "bench");
    }
    removeJournal(file);
    return std::shared_ptr<Journal>(Journal::open(file).journal);
}

// The batch to PDF, recorded through `journal` as the tool records it.
bool batchToPdf(const Document& doc, const DataTable& table, const std::shared_ptr<Journal>& journal,
                const std::string& pdf)
{
    RunJournal run(journal);
    JournalPrint what;
    what.program = "tool";
    what.kind = JournalKind::Batch;
    what.templatePath = ORDAVEL_SOURCE_DIR "/samples/waybill.oxf";
    what.templateBytes = templateBytesOf(doc, what.templatePath, true);
    run.begin(what, doc, &table, bench::itemsOf(table), "bench.pdf");
    if (!run.active())
        return false;
    bench::batchToPdf(doc, table, pdf.c_str(), [&run](int row) { return run.countersOf(row); });
    run.handedOver(0, table.recordCount() - 1, 0, true);
    run.finish();
    return run.active();
}

// Arg 0: the station's own journal file; 1: the shop.
void BM_BatchToPdf(benchmark::State& state)
{
    const Document doc = bench::waybill();
    const DataTable table = bench::waybillRecords(1000);
    const std::string file = journalFile("ordavel-bench-shop-batch.sqlite");
    std::shared_ptr<Journal> journal = fileOrShop(state.range(0) != 0, file);
    if (!journal) {
        state.SkipWithError("the journal could not be opened");
        return;
    }
    for (auto _ : state) {
        // Untimed, as after every print: the search index brought up to date,
        // and the counter set back so that both journals draw the same pages.
        state.PauseTiming();
        std::string failed = journal->indexSearch();
        if (failed.empty())
            failed = journal->setNextCounterValue("bench", 1);
        if (!failed.empty()) {
            state.SkipWithError(failed.c_str());
            break;
        }
        state.ResumeTiming();
        if (!batchToPdf(doc, table, journal, "ordavel-bench-shop.pdf"))
            state.SkipWithError("the batch was not recorded");
    }
    journal.reset();
    removeJournal(file);
}
BENCHMARK(BM_BatchToPdf)
    ->ArgName("shop")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// A page's journal work: record it with a serial number, hand it over, finish.
void BM_PageJournalWork(benchmark::State& state)
{
    const Document doc = bench::waybill();
    const std::string file = journalFile("ordavel-bench-shop-page.sqlite");
    std::shared_ptr<Journal> journal = fileOrShop(state.range(0) != 0, file);
    if (!journal) {
        state.SkipWithError("the journal could not be opened");
        return;
    }
    JournalPrint what;
    what.program = "designer";
    what.templatePath = ORDAVEL_SOURCE_DIR "/samples/waybill.oxf";
    what.templateBytes = templateBytesOf(doc, what.templatePath, true);
    for (auto _ : state) {
        RunJournal run(journal);
        run.begin(what, doc, nullptr, {}, "page.pdf");
        run.handedOver(0, 0, 0, true);
        run.finish();
        if (!run.active())
            state.SkipWithError("the page was not recorded");
    }
    journal.reset();
    removeJournal(file);
}
BENCHMARK(BM_PageJournalWork)->ArgName("shop")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// A station process of BM_StationsSharingACounter: waits for the start,
// prints `batches` batches of `size` records to PDF, recorded in the shop.
int runStation(const std::string& url, const std::string& station, int batches, int size, int startFd)
{
    const std::shared_ptr<Journal> journal = openStation(url, station);
    if (!journal)
        return 2;
    const Document doc = bench::waybill();
    const DataTable table = bench::waybillRecords(size);
    char go = 0;
    if (read(startFd, &go, 1) != 1)
        return 3;
    const std::string pdf = "ordavel-bench-" + station + ".pdf";
    for (int b = 0; b < batches; ++b)
        if (!batchToPdf(doc, table, journal, pdf))
            return 4;
    fs::remove(QDir::temp().filePath(QString::fromStdString(pdf)).toStdString());
    return 0;
}

std::string g_self; // this program, which the station processes run again

// Stations (arg) processes print batches of 50 records at once, each of
// whose records takes the next value of one counter of the shop.
void BM_StationsSharingACounter(benchmark::State& state)
{
    const int stations = static_cast<int>(state.range(0));
    const int batches = 10;
    const int size = 50;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string url = newShop();
        if (url.empty()) {
            state.SkipWithError("no shop");
            return;
        }
        int start[2];
        if (pipe(start) != 0) {
            state.SkipWithError("no pipe");
            return;
        }
        std::vector<pid_t> children;
        for (int s = 0; s < stations; ++s) {
            const pid_t child = fork();
            if (child == 0) {
                close(start[1]);
                const std::string fd = std::to_string(start[0]);
                const std::string name = "station" + std::to_string(s);
                const std::string counts = std::to_string(batches) + "," + std::to_string(size);
                execl(g_self.c_str(), g_self.c_str(), "--station", url.c_str(), name.c_str(), counts.c_str(),
                      fd.c_str(), static_cast<char*>(nullptr));
                _exit(127);
            }
            children.push_back(child);
        }
        close(start[0]);
        // Each station opens its journal and loads the template before the clock starts.
        sleep(3);
        state.ResumeTiming();
        const auto begun = Clock::now();
        const std::string go(static_cast<std::size_t>(stations), 'g');
        if (write(start[1], go.data(), go.size()) != static_cast<ssize_t>(go.size()))
            state.SkipWithError("the stations were not started");
        close(start[1]);
        int failures = 0;
        for (const pid_t child : children) {
            int status = 0;
            waitpid(child, &status, 0);
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
                ++failures;
        }
        const double seconds = msSince(begun) / 1000.0;
        state.PauseTiming();
        const std::int64_t total = static_cast<std::int64_t>(stations) * batches * size;
        // Every record's counter value, each once: as many distinct values as
        // records, and the counter's next value one past the last.
        const std::int64_t distinct =
            test::queryNumber(url, "SELECT count(DISTINCT counter_values) FROM records WHERE counter_values <> ''");
        const std::int64_t next = test::queryNumber(url, "SELECT next_value FROM counters WHERE name = 'bench'");
        state.counters["records_per_s"] = static_cast<double>(total) / seconds;
        state.counters["failed_stations"] = failures;
        state.counters["distinct_numbers"] = static_cast<double>(distinct);
        state.counters["numbers_lost_or_twice"] = static_cast<double>(total - distinct + (next - 1 - total));
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StationsSharingACounter)->Arg(20)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// A shop of 1,000 jobs of 1,000 records, recorded by five stations; one
// record holds the order number searched for.
Journal* millionRecordShop()
{
    static const std::shared_ptr<Journal> shop = []() -> std::shared_ptr<Journal> {
        const std::string url = newShop();
        if (url.empty())
            return nullptr;
        std::vector<std::shared_ptr<Journal>> stations;
        for (int s = 0; s < 5; ++s)
            if (auto station = openStation(url, "station" + std::to_string(s)))
                stations.push_back(station);
        if (stations.size() != 5)
            return nullptr;
        for (int j = 0; j < 1000; ++j) {
            Journal& station = *stations[static_cast<std::size_t>(j % 5)];
            const auto id = station.recordJob(bench::millionRecordsJob(j));
            std::string failed = id.error;
            if (failed.empty())
                failed = station.setRecordOutcome(id.value, 0, 999, JournalOutcome::Printed);
            if (failed.empty())
                failed = station.finishJob(id.value, JournalOutcome::Printed);
            if (!failed.empty()) {
                std::fprintf(stderr, "%s\n", failed.c_str());
                return nullptr;
            }
        }
        test::runSql(url, "VACUUM ANALYZE");
        return stations.front();
    }();
    return shop.get();
}

void BM_SearchMillionRecords(benchmark::State& state, const char* text)
{
    Journal* shop = millionRecordShop();
    if (shop == nullptr) {
        state.SkipWithError("the shop of a million records could not be made");
        return;
    }
    JournalQuery query;
    query.search = text;
    std::size_t found = 0;
    for (auto _ : state) {
        const auto jobs = shop->listJobs(query);
        if (!jobs.ok())
            state.SkipWithError(jobs.error.c_str());
        found = jobs.value.size();
    }
    state.counters["jobs_found"] = static_cast<double>(found);
}
BENCHMARK_CAPTURE(BM_SearchMillionRecords, OrderNumber, "ORD-531777")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchMillionRecords, Nowhere, "王五丰")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchMillionRecords, ThreeCharacters, "777")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_SearchMillionRecords, TwoCharacters, "王五")->Unit(benchmark::kMillisecond)->Iterations(3);
// "街9" is in the 111,111 records whose number starts with 9, "李四" in every one.
BENCHMARK_CAPTURE(BM_SearchMillionRecords, TwoCharactersMany, "街9")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_SearchMillionRecords, TwoCharactersEveryRecord, "李四")->Unit(benchmark::kMillisecond)->Iterations(1);

// 10,000 records printed while the shop could not be reached, in jobs of
// `arg` records, uploaded to the shop once it answers.
void BM_UploadOfflineRecords(benchmark::State& state)
{
    const int perJob = static_cast<int>(state.range(0));
    const std::string file = journalFile("ordavel-bench-offline.sqlite");
    for (auto _ : state) {
        state.PauseTiming();
        removeJournal(file);
        auto own = Journal::open(file).journal;
        const std::string url = newShop();
        const std::shared_ptr<Journal> shop = url.empty() ? nullptr : openStation(url, "bench");
        if (!own || !shop) {
            state.SkipWithError("the journals could not be opened");
            return;
        }
        for (int j = 0; j < 10000 / perJob; ++j) {
            JournalJobIn job;
            job.program = "designer";
            job.kind = perJob == 1 ? JournalKind::Page : JournalKind::Batch;
            job.printer = "office";
            job.templateName = "waybill.oxf";
            job.templateBytes = "<waybill/>";
            job.startPrinting = true;
            for (int r = 0; r < perJob; ++r) {
                const std::string n = std::to_string(j * perJob + r);
                JournalRecordIn record;
                record.number = r + 1;
                record.fields = {{"box 1", "张三" + n}, {"box 5", "北京市海淀区中关村大街" + n + "号"}};
                job.records.push_back(std::move(record));
            }
            const auto id = own->recordJob(job);
            if (!id.ok()) {
                state.SkipWithError(id.error.c_str());
                return;
            }
            (void)own->setRecordOutcome(id.value, 0, perJob - 1, JournalOutcome::Printed);
            (void)own->finishJob(id.value, JournalOutcome::Printed);
        }
        state.ResumeTiming();
        const OwnJournalUpload upload = uploadOwnJournal(*shop, *own);
        state.PauseTiming();
        if (!upload.error.empty())
            state.SkipWithError(upload.error.c_str());
        state.counters["jobs_uploaded"] = upload.uploaded;
        state.counters["records_in_shop"] =
            static_cast<double>(test::queryNumber(url, "SELECT count(*) FROM records"));
        own.reset();
        removeJournal(file);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_UploadOfflineRecords)->ArgName("per_job")->Arg(1)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    g_self = fs::canonical("/proc/self/exe").string();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // A station process: --station URL NAME BATCHES,SIZE FD
    if (argc == 6 && std::string(argv[1]) == "--station") {
        QGuiApplication app(argc, argv);
        int batches = 0;
        int size = 0;
        if (std::sscanf(argv[4], "%d,%d", &batches, &size) != 2)
            return 2;
        return runStation(argv[2], argv[3], batches, size, std::atoi(argv[5]));
    }
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    bench::batchToPdf(bench::waybill(), bench::waybillRecords(1), "ordavel-bench-shop.pdf"); // fonts opened once
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
