// The shop's print queue on a private PostgreSQL server, stations played by
// queues in one process and no spooler (each hand-over is recorded as a
// spooler job at once): how long a record posted on one station waits until
// the station of its printer has it ready to hand over, and how many records
// a second three stations claim, hand over and finish while twenty clients
// post one-record jobs. The queue table's rows and size are reported after.

#include "shop_queue/shop_queue.h"

#include "journal/journal.h"
#include "support/postgres_server.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using namespace ordavel;
using namespace ordavel::service;
using Clock = std::chrono::steady_clock;

std::string freshShop()
{
    std::string error;
    const std::string url = test::PostgresServer::newDatabase(error);
    if (url.empty() || !initShopJournal(url).ok())
        return {};
    return url;
}

std::unique_ptr<ShopQueue> station(const std::string& url, const std::string& name)
{
    std::string error;
    auto queue = ShopQueue::open({url, name, 60}, error);
    if (queue) {
        queue->printersSeen({{"laser", false, "idle", true, ""}});
        queue->keepUp();
    }
    return queue;
}

NewJob oneRecord(const std::string& printer, int n)
{
    NewJob job;
    job.owner = "orders";
    job.templateName = "card";
    job.templatePath = "/forms/card.oxf";
    static const auto bytes = std::make_shared<const std::string>("<oxf card/>");
    job.templateBytes = bytes;
    job.printer = printer;
    job.records.push_back({{"单号", "R" + std::to_string(n)}});
    return job;
}

// Hands over and finishes what a station claims, as its dispatcher would.
int serve(ShopQueue& queue, int spoolerJob)
{
    const auto batch = queue.nextToSend("laser", 50);
    if (batch.empty())
        return 0;
    std::vector<std::pair<std::int64_t, int>> refs;
    for (const PendingRecord& r : batch)
        refs.emplace_back(r.job, r.n);
    if (!queue.mayHandOver(refs))
        return 0;
    queue.markSent(refs, spoolerJob);
    queue.markOutcomes(refs, Outcome::Printed);
    return static_cast<int>(refs.size());
}

// Posted on the front station for the back station's printer, until the
// back station, woken by the notification, has claimed it.
void BM_PostedUntilClaimedOnAnotherStation(benchmark::State& state)
{
    const std::string url = freshShop();
    auto front = station(url, "front");
    auto back = station(url, "back");
    if (!front || !back) {
        state.SkipWithError("no PostgreSQL");
        return;
    }
    std::mutex mutex;
    std::condition_variable woken;
    bool wake = false;
    back->setWakeUp([&] {
        const std::lock_guard lock(mutex);
        wake = true;
        woken.notify_all();
    });
    std::vector<double> ms;
    int n = 0;
    for (auto _ : state) {
        {
            const std::lock_guard lock(mutex);
            wake = false;
        }
        const auto start = Clock::now();
        std::string error;
        front->submit(oneRecord("back/laser", ++n), error);
        std::vector<PendingRecord> got;
        while (got.empty()) {
            std::unique_lock lock(mutex);
            woken.wait_for(lock, std::chrono::seconds(2), [&] { return wake; });
            wake = false;
            lock.unlock();
            got = back->nextToSend("laser", 50);
        }
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        std::vector<std::pair<std::int64_t, int>> refs{{got[0].job, got[0].n}};
        back->mayHandOver(refs);
        back->markSent(refs, n);
        back->markOutcomes(refs, Outcome::Printed);
    }
    back->setWakeUp({});
    std::sort(ms.begin(), ms.end());
    if (!ms.empty()) {
        state.counters["median_ms"] = ms[ms.size() / 2];
        state.counters["p99_ms"] = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
    }
}
BENCHMARK(BM_PostedUntilClaimedOnAnotherStation)->Iterations(300)->Unit(benchmark::kMillisecond)->UseRealTime();

// Twenty clients post one-record jobs spread over three stations, each for
// one of the three stations' printers; the three stations claim, hand over
// and finish them.
void BM_ThreeStationsTwentyClients(benchmark::State& state)
{
    const int kJobs = static_cast<int>(state.range(0));
    constexpr int kClients = 20;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string url = freshShop();
        std::vector<std::unique_ptr<ShopQueue>> stations;
        for (const char* name : {"s1", "s2", "s3"})
            stations.push_back(station(url, name));
        if (url.empty() || !stations[0] || !stations[1] || !stations[2]) {
            state.SkipWithError("no PostgreSQL");
            return;
        }
        state.ResumeTiming();
        const auto start = Clock::now();
        std::atomic<int> next{0}, finished{0}, failed{0};
        std::vector<std::thread> threads;
        for (int c = 0; c < kClients; ++c)
            threads.emplace_back([&, c] {
                for (int i = next++; i < kJobs; i = next++) {
                    std::string error;
                    const std::string printer = std::string("s") + std::to_string(1 + i % 3) + "/laser";
                    if (!stations[static_cast<std::size_t>(c % 3)]->submit(oneRecord(printer, i), error))
                        ++failed;
                }
            });
        for (std::size_t s = 0; s < stations.size(); ++s)
            threads.emplace_back([&, s] {
                int spoolerJob = 0;
                while (finished.load() + failed.load() < kJobs)
                    if (const int done = serve(*stations[s], ++spoolerJob); done > 0)
                        finished += done;
                    else
                        std::this_thread::sleep_for(std::chrono::milliseconds(2));
            });
        for (auto& t : threads)
            t.join();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.counters["records_per_s"] = finished.load() / seconds;
        state.counters["failed"] = failed.load();
        state.counters["queue_rows_after"] = static_cast<double>(test::queryNumber(url, "SELECT count(*) FROM print_queue"));
        state.counters["printed_once"] = static_cast<double>(
            test::queryNumber(url, "SELECT count(*) FROM records WHERE outcome = 'printed' AND cups_job_id > 0"));
    }
}
BENCHMARK(BM_ThreeStationsTwentyClients)->Arg(10000)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
