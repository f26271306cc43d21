#pragma once
// Web order systems played by threads: each posts one-record jobs to a
// print service until the jobs run out, as the service benchmarks load it;
// and one order at a time, timed until its record is handed over.

#include "service/service_fixture.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace ordavel::bench {

struct Posted {
    std::atomic<int> accepted{0};
    std::atomic<int> refused{0}; // 429: the queue was full
    std::atomic<int> failed{0};  // anything else, a fault of the service
    std::mutex mutex;
    std::vector<std::int64_t> ids; // of the accepted jobs
};

// Posts jobs 0..jobs-1 from `clients` threads with `token`: client c to the
// service on port portOf(c), job n with body bodyOf(n). The first faults
// are told on stderr.
inline void postJobs(int jobs, int clients, const std::function<int(int)>& portOf,
                     const std::function<std::string(int)>& bodyOf, const std::string& token, Posted& posted)
{
    std::atomic<int> next{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c)
        threads.emplace_back([&, c] {
            httplib::Client client("127.0.0.1", portOf(c));
            client.set_read_timeout(30, 0);
            const httplib::Headers auth{{"Authorization", "Bearer " + token}};
            for (int n; (n = next++) < jobs;) {
                const auto reply = client.Post("/v1/jobs", auth, bodyOf(n), "application/json");
                if (reply && reply->status == 201) {
                    ++posted.accepted;
                    const std::lock_guard lock(posted.mutex);
                    posted.ids.push_back(test::json::parse(reply->body)["id"].get<std::int64_t>());
                } else if (reply && reply->status == 429) {
                    ++posted.refused;
                } else if (posted.failed++ < 5) {
                    std::fprintf(stderr, "job %d: %s\n", n,
                                 reply ? (std::to_string(reply->status) + " " + reply->body).c_str()
                                       : httplib::to_string(reply.error()).c_str());
                }
            }
        });
    for (auto& thread : threads)
        thread.join();
}

// Posts one job at a time (body bodyOf(n), n from 1) to the service on
// `port` for every iteration of `state`, timing each until handedOver(its
// id), asked every `poll`; counters median_ms and p99_ms.
inline void timeHandOvers(benchmark::State& state, int port, const std::string& token,
                          const std::function<std::string(int)>& bodyOf,
                          const std::function<bool(std::int64_t)>& handedOver, std::chrono::microseconds poll)
{
    using Clock = std::chrono::steady_clock;
    httplib::Client client("127.0.0.1", port);
    const httplib::Headers auth{{"Authorization", "Bearer " + token}};
    std::vector<double> ms;
    int n = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const auto reply = client.Post("/v1/jobs", auth, bodyOf(++n), "application/json");
        if (!reply || reply->status != 201) {
            state.SkipWithError("the job was not accepted");
            return;
        }
        const std::int64_t id = test::json::parse(reply->body)["id"];
        while (!handedOver(id))
            std::this_thread::sleep_for(poll);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // idle between jobs
    }
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double p) { return ms[static_cast<std::size_t>(p * static_cast<double>(ms.size() - 1))]; };
    state.counters["median_ms"] = at(0.5);
    state.counters["p99_ms"] = at(0.99);
}

} // namespace ordavel::bench
