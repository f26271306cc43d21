// The print service in this process (journal in a scratch folder, pages
// drawn by the platform layer) against a private cups-pdf queue whose jobs
// CUPS holds (job-hold-until=indefinite), so that what is timed is the
// service's part: from a POST /v1/jobs to its records handed to CUPS.
//   HandOver: one one-record job at a time, the service otherwise idle;
//             counters median_ms and p99_ms.
//   Load:     10,000 one-record jobs from 20 clients at once; counters
//             accepted, refused (429), failed (anything else), handed_per_s, duplicates (records
//             in more than one CUPS job, must be 0) and peak_rss_mb.
// Needs root (its own scheduler) like the CUPS tests; run by hand.
#include "cups/cups_spooler.h"
#include "print_run/job_title.h"
#include "service/journal_queue.h"
#include "service/render/qt_page_maker.h"
#include "service/service.h"

#include "bench_clients.h"
#include "service/service_fixture.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <sys/resource.h>

namespace {

using namespace ordavel;
using namespace ordavel::test;
using Clock = std::chrono::steady_clock;

double peakRssMb()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The scheduler, a held queue, a template, a token and the service, once.
struct Setup {
    ScratchDir scratch{"ordavel-service-bench"};
    CupsLock lock;
    FolderQueue queue;
    std::unique_ptr<service::JournalQueue> jobs;
    std::unique_ptr<service::QtPageMaker> pages;
    std::unique_ptr<CupsSpooler> spooler;
    std::unique_ptr<service::Service> server;
    std::string token;
    std::string error;

    Setup()
    {
        ::chmod(scratch.path().c_str(), 0777);
        ::setenv("XDG_CONFIG_HOME", (scratch.path() / "config").c_str(), 1);
        const fs::path templates = scratch.path() / "templates";
        fs::create_directories(templates);
        if (error = queue.start("ordavel-bench", scratch.path() / "out"); !error.empty())
            return;
        runCommand("lpadmin -p " + queue.name + " -o job-hold-until-default=indefinite");
        const fs::path card = scratch.path() / "card.json";
        std::ofstream(card) << R"({"pageWidth": 10, "pageHeight": 5, "boxes": [{"cType": 8, "pPewW": false,)"
                               R"( "pX": 1, "pY": 1, "pW": 7, "pH": 2.5, "bcType": "Code128", "wValue": "${单号}"}]})";
        runCommand(std::string(ORDAVEL_CLI) + " build " + shellQuoted(card) + " -o " + shellQuoted(templates / "card.oxf"));
        service::TokenFile file;
        token = file.add(service::Token{"bench", {}, {}, {}, {}}, error);
        jobs = service::JournalQueue::open((scratch.path() / "journal.sqlite").string(), error);
        if (!jobs)
            return;
        pages = std::make_unique<service::QtPageMaker>();
        service::ServiceOptions options;
        options.port = 0;
        options.addresses = {"127.0.0.1"};
        options.templatesFolder = templates.string();
        spooler = std::make_unique<CupsSpooler>(scratch.path().string());
        server = std::make_unique<service::Service>(options, *jobs, *pages, *spooler);
        error = server->start();
    }
    ~Setup()
    {
        if (server)
            server->stop();
        runCommand("cancel -a " + queue.name);
    }

    std::string body(int n) const
    {
        return json{{"template", "card"}, {"printer", queue.name}, {"records", {{{"单号", "R" + std::to_string(n)}}}}}.dump();
    }
    bool handedOver(std::int64_t id)
    {
        const auto job = jobs->find(id);
        return job && !job->records.empty() && job->records[0].cupsJob > 0;
    }
};

std::unique_ptr<Setup> g_setup;

Setup& setup()
{
    if (!g_setup)
        g_setup = std::make_unique<Setup>();
    return *g_setup;
}

void HandOver(benchmark::State& state)
{
    Setup& s = setup();
    if (!s.error.empty()) {
        state.SkipWithError(s.error.c_str());
        return;
    }
    bench::timeHandOvers(
        state, s.server->port(), s.token, [&](int n) { return s.body(n); },
        [&](std::int64_t id) { return s.handedOver(id); }, std::chrono::microseconds(200));
}
BENCHMARK(HandOver)->Iterations(200)->Unit(benchmark::kMillisecond)->UseRealTime();

void Load(benchmark::State& state)
{
    Setup& s = setup();
    if (!s.error.empty()) {
        state.SkipWithError(s.error.c_str());
        return;
    }
    constexpr int kJobs = 10000;
    constexpr int kClients = 20;
    for (auto _ : state) {
        bench::Posted posted;
        const auto start = Clock::now();
        bench::postJobs(
            kJobs, kClients, [&](int) { return s.server->port(); }, [&](int n) { return s.body(100000 + n); }, s.token,
            posted);
        const std::vector<std::int64_t>& ids = posted.ids;
        // Every accepted record handed over, each in one CUPS job only.
        for (const auto id : ids)
            while (!s.handedOver(id))
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::map<RecordRef, int> seen;
        for (const auto& entry : CupsSpooler().jobs(true).value_or(std::vector<SpoolJob>()))
            for (const auto& ref : recordsOfTitle(entry.title))
                ++seen[ref];
        int duplicates = 0;
        for (const auto id : ids)
            duplicates += seen[{id, 1}] == 1 ? 0 : 1;
        state.counters["accepted"] = posted.accepted.load();
        state.counters["refused"] = posted.refused.load();
        state.counters["failed"] = posted.failed.load();
        state.counters["handed_per_s"] = posted.accepted.load() / seconds;
        state.counters["duplicates"] = duplicates;
        state.counters["peak_rss_mb"] = peakRssMb();
    }
}
BENCHMARK(Load)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_setup.reset(); // held jobs cancelled, the queue and our scheduler removed
    return 0;
}
