// The shop's print queue as a shop runs it: three `ordavel-cli serve`
// processes (stations front, back and side, each with its own configuration
// and its own cups-pdf queue) on one private PostgreSQL database. CUPS holds
// the jobs, so that what is timed is the stations' part, and a sweeper notes
// each held job's title and cancels it: CUPS keeps at most 500 jobs.
//   AcrossStations: one one-record job at a time posted to the front for the
//             back's printer, until the back has recorded it handed to its
//             CUPS; counters median_ms and p99_ms.
//   Load:     10,000 one-record jobs from 20 clients, each posting to one of
//             the three stations for one of the three printers; counters
//             accepted, refused (429), failed, handed_per_s, duplicates (records in more
//             than one CUPS job, must be 0), missing (accepted, never
//             handed over), and the queue table's rows and size before, after
//             the held jobs were cancelled and settled, and after a vacuum.
//             Each duplicate is told on stderr with its spooler jobs and those
//             its job recorded as handed over.
// Needs root (its own scheduler) like the CUPS tests; run by hand. With
// ORDAVEL_BENCH_STATEMENTS=1 the server loads pg_stat_statements and the
// statements that took its time during Load are told on stderr.
#include "print_run/job_title.h"
#include "cups/cups_spooler.h"

#include "bench_clients.h"
#include "service/service_fixture.h"
#include "support/postgres_server.h"

#include <benchmark/benchmark.h>

#include <libpq-fe.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <set>

namespace {

using namespace ordavel;
using namespace ordavel::test;
using Clock = std::chrono::steady_clock;

struct Station {
    std::string name;
    fs::path home;
    FolderQueue queue;
    ServiceProcess process;
};

// The scheduler, three held queues, the shop, its token and three stations, once.
struct Setup {
    ScratchDir scratch{"ordavel-shop-stations-bench"};
    CupsLock lock;
    std::vector<std::unique_ptr<Station>> stations;
    std::string url;
    std::string token;
    std::string error;
    PGconn* db = nullptr;

    Setup()
    {
        ::chmod(scratch.path().c_str(), 0777);
        if (profiled() && !loadStatements())
            return;
        url = PostgresServer::newDatabase(error);
        if (url.empty())
            return;
        if (profiled())
            runSql(url, "CREATE EXTENSION pg_stat_statements");
        const fs::path templates = scratch.path() / "templates";
        fs::create_directories(templates);
        const fs::path card = scratch.path() / "card.json";
        std::ofstream(card) << R"({"pageWidth": 10, "pageHeight": 5, "boxes": [{"cType": 8, "pPewW": false,)"
                               R"( "pX": 1, "pY": 1, "pW": 7, "pH": 2.5, "bcType": "Code128", "wValue": "${单号}"}]})";
        tool("build " + shellQuoted(card) + " -o " + shellQuoted(templates / "card.oxf"));
        if (const auto made = tool("shop init " + shellQuoted(url)); made.status != 0) {
            error = "shop init: " + made.output;
            return;
        }
        for (const char* name : {"front", "back", "side"}) {
            auto s = std::make_unique<Station>();
            s->name = name;
            s->home = scratch.path() / name;
            if (error = s->queue.start(std::string("ordavel-bench-") + name, scratch.path() / ("out-" + s->name));
                !error.empty())
                return;
            runCommand("lpadmin -p " + s->queue.name + " -o job-hold-until-default=indefinite");
            use(*s);
            if (const auto joined = tool("shop join " + shellQuoted(url) + " --station " + s->name); joined.status != 0) {
                error = "shop join: " + joined.output;
                return;
            }
            stations.push_back(std::move(s));
        }
        const auto added = runCommand("{ " + std::string(ORDAVEL_CLI) + " token add bench 2>/dev/null; }");
        token = added.output.substr(0, added.output.find('\n'));
        if (token.size() != 64) {
            error = "token add: " + added.output;
            return;
        }
        for (auto& s : stations) {
            use(*s);
            if (error = s->process.start({"--templates", templates.string()}); !error.empty())
                return;
        }
        db = PQconnectdb(url.c_str());
        if (PQstatus(db) != CONNECTION_OK) {
            error = PQerrorMessage(db);
            return;
        }
        // Every station's printers are published before anything is posted.
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (number("SELECT count(DISTINCT station) FROM shop_printers") < 3 && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ~Setup()
    {
        for (auto& s : stations) {
            s->process.stop();
            runCommand("cancel -a " + s->queue.name);
        }
        if (db != nullptr)
            PQfinish(db);
    }

    static bool profiled() { return std::getenv("ORDAVEL_BENCH_STATEMENTS") != nullptr; }

    // The server started again with pg_stat_statements loaded.
    bool loadStatements()
    {
        PostgresServer* server = PostgresServer::shared(error);
        if (server == nullptr)
            return false;
        const std::string postgres = server->urlOf("postgres");
        // Statements run by triggers are counted on their own too.
        error = runSql(postgres, "ALTER SYSTEM SET shared_preload_libraries = 'pg_stat_statements'");
        if (error.empty())
            error = server->stop();
        if (error.empty())
            error = server->start();
        // Known once the library is loaded.
        if (error.empty())
            error = runSql(postgres, "ALTER SYSTEM SET pg_stat_statements.track = 'all'");
        if (error.empty())
            error = runSql(postgres, "SELECT pg_reload_conf()");
        return error.empty();
    }

    // The statements that took the server's time since the last reset, most first.
    void tellStatements()
    {
        PGresult* r = PQexec(db, "SELECT calls, round(total_exec_time)::bigint, rows, left(regexp_replace(query, '\\s+', ' ', 'g'), 160)"
                                 " FROM pg_stat_statements ORDER BY total_exec_time DESC LIMIT 40");
        std::fprintf(stderr, "%8s %8s %8s  statement\n", "calls", "ms", "rows");
        for (int row = 0; PQresultStatus(r) == PGRES_TUPLES_OK && row < PQntuples(r); ++row)
            std::fprintf(stderr, "%8s %8s %8s  %s\n", PQgetvalue(r, row, 0), PQgetvalue(r, row, 1), PQgetvalue(r, row, 2),
                         PQgetvalue(r, row, 3));
        PQclear(r);
    }

    void use(const Station& s)
    {
        ::setenv("XDG_CONFIG_HOME", (s.home / "config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (s.home / "data").c_str(), 1);
    }

    std::int64_t number(const std::string& query)
    {
        PGresult* r = PQexec(db, query.c_str());
        const std::int64_t value = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0 && !PQgetisnull(r, 0, 0)
            ? std::stoll(PQgetvalue(r, 0, 0))
            : -1;
        PQclear(r);
        return value;
    }

    std::set<std::string> queues() const
    {
        std::set<std::string> names;
        for (const auto& station : stations)
            names.insert(station->queue.name);
        return names;
    }

    std::string target(std::size_t station) const
    {
        return stations[station]->name + "/" + stations[station]->queue.name;
    }
    std::string body(std::size_t printerStation, int n) const
    {
        return json{{"template", "card"}, {"printer", target(printerStation)}, {"records", {{{"单号", "R" + std::to_string(n)}}}}}
            .dump();
    }
    // Recorded as handed to its station's CUPS.
    bool handedOver(std::int64_t id)
    {
        return number("SELECT cups_job_id FROM records WHERE job_id = " + std::to_string(id) + " AND idx = 0") > 0;
    }
};

// Notes the title of every job the stations' queues hold and cancels it, a
// few times a second, until stopped; the titles say which records each job
// carried. Jobs of other queues (another program printing meanwhile, whose
// journal numbers its jobs from 1 too) are left alone.
class Sweeper {
public:
    explicit Sweeper(std::set<std::string> queues)
        : m_queues(std::move(queues)), m_thread([this] {
              while (!m_stop) {
                  sweep();
                  std::this_thread::sleep_for(std::chrono::milliseconds(200));
              }
              sweep();
          })
    {
    }
    ~Sweeper() { stop(); }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    // The spooler jobs that carried each record.
    std::map<RecordRef, std::vector<int>> carriers()
    {
        std::map<RecordRef, std::vector<int>> seen;
        const std::lock_guard lock(m_mutex);
        for (const auto& [id, title] : m_titles)
            for (const auto& ref : recordsOfTitle(title))
                seen[ref].push_back(id);
        return seen;
    }

private:
    void sweep()
    {
        const auto held = CupsSpooler().jobs(false).value_or(std::vector<SpoolJob>());
        std::string ids;
        {
            const std::lock_guard lock(m_mutex);
            for (const auto& entry : held) {
                if (m_queues.count(entry.printer) == 0)
                    continue;
                m_titles.emplace(entry.id, entry.title);
                ids += " " + std::to_string(entry.id);
            }
        }
        if (!ids.empty())
            runCommand("cancel" + ids);
    }
    std::mutex m_mutex;
    std::map<int, std::string> m_titles;
    std::atomic<bool> m_stop{false};
    const std::set<std::string> m_queues;
    std::thread m_thread;
};

std::unique_ptr<Setup> g_setup;

Setup& setup()
{
    if (!g_setup)
        g_setup = std::make_unique<Setup>();
    return *g_setup;
}

void AcrossStations(benchmark::State& state)
{
    Setup& s = setup();
    if (!s.error.empty()) {
        state.SkipWithError(s.error.c_str());
        return;
    }
    Sweeper sweeper(s.queues());
    bench::timeHandOvers(
        state, s.stations[0]->process.port, s.token, [&](int n) { return s.body(1, n); },
        [&](std::int64_t id) { return s.handedOver(id); }, std::chrono::microseconds(500));
}
BENCHMARK(AcrossStations)->Iterations(200)->Unit(benchmark::kMillisecond)->UseRealTime();

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
        const std::int64_t rowsBefore = s.number("SELECT count(*) FROM print_queue");
        const std::int64_t kbBefore = s.number("SELECT pg_total_relation_size('print_queue') / 1024");
        if (Setup::profiled())
            s.number("SELECT 1 FROM pg_stat_statements_reset()");
        bench::Posted posted;
        Sweeper sweeper(s.queues());
        const auto start = Clock::now();
        bench::postJobs(
            kJobs, kClients, [&](int c) { return s.stations[static_cast<std::size_t>(c % 3)]->process.port; },
            [&](int n) { return s.body(static_cast<std::size_t>(n % 3), 100000 + n); }, s.token, posted);
        const std::vector<std::int64_t>& ids = posted.ids;
        // Every accepted record handed over (or given up after ten minutes).
        const auto deadline = Clock::now() + std::chrono::minutes(10);
        // Asked rarely and cheaply, not to load the server the stations share.
        const std::string waiting = "SELECT count(*) FROM records WHERE cups_job_id = 0";
        while (s.number(waiting) > 0 && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (Setup::profiled())
            s.tellStatements();
        sweeper.stop();
        std::map<RecordRef, std::vector<int>> seen = sweeper.carriers();
        int duplicates = 0;
        int missing = 0;
        for (const auto id : ids) {
            const std::vector<int>& carriers = seen[{id, 1}];
            missing += carriers.empty() ? 1 : 0;
            if (carriers.size() < 2)
                continue;
            ++duplicates;
            // Whether each spooler job was recorded as handed over, or only
            // seen in the spooler (made, then its hand-over broken off).
            std::string jobs;
            for (const int carrier : carriers)
                jobs += " " + std::to_string(carrier);
            PGresult* r = PQexec(s.db, ("SELECT cups_job_ids || ' (' || outcome || ', ' || claimant || ')' FROM jobs"
                                        " WHERE id = " + std::to_string(id))
                                           .c_str());
            std::fprintf(stderr, "record %lld:1 in spooler jobs%s; recorded as handed over in %s\n",
                         static_cast<long long>(id), jobs.c_str(),
                         PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0 ? PQgetvalue(r, 0, 0) : "?");
            PQclear(r);
        }
        // The stations settle the cancelled jobs, and their rows leave the queue table.
        const auto settled = Clock::now() + std::chrono::minutes(3);
        while (s.number("SELECT count(*) FROM print_queue") > 0 && Clock::now() < settled)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        state.counters["accepted"] = posted.accepted.load();
        state.counters["refused"] = posted.refused.load();
        state.counters["failed"] = posted.failed.load();
        state.counters["handed_per_s"] = posted.accepted.load() / seconds;
        state.counters["duplicates"] = duplicates;
        state.counters["missing"] = missing;
        state.counters["queue_rows_before"] = static_cast<double>(rowsBefore);
        state.counters["queue_kb_before"] = static_cast<double>(kbBefore);
        state.counters["queue_rows_after"] = static_cast<double>(s.number("SELECT count(*) FROM print_queue"));
        state.counters["queue_kb_after"] =
            static_cast<double>(s.number("SELECT pg_total_relation_size('print_queue') / 1024"));
        // What autovacuum does in time, done now.
        s.number("VACUUM print_queue");
        state.counters["queue_kb_vacuumed"] =
            static_cast<double>(s.number("SELECT pg_total_relation_size('print_queue') / 1024"));
    }
}
BENCHMARK(Load)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_setup.reset(); // the stations stopped, held jobs cancelled, the queues and our scheduler removed
    return 0;
}
