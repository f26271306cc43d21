// Time and memory of the scan analysis on an A4 page at 300 dpi. The page is
// the annotated test form scaled from 200 to 300 dpi, or the scan named by
// ORDAVEL_SCAN_BENCH_FILE (paper A4). Target: at most 3 s and 300 MB.
#include "scan/caption_reader.h"
#include "scan/ruling.h"
#include "scan/scan_analysis.h"
#include "scan/scan_file.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdlib>
#include <string>

namespace {

using namespace ordavel::scan;

const Picture& page()
{
    static const Picture picture = [] {
        std::string error;
        const char* named = std::getenv("ORDAVEL_SCAN_BENCH_FILE");
        const std::string path = named && *named ? named : ORDAVEL_SOURCE_DIR "/tests/data/scans/form_example1.png";
        const auto scan = readScanFile(path, &error);
        if (!scan)
            return Picture{};
        if (named && *named)
            return scan->picture;
        // Grey first, then 1.5 times: 1653 x 2338 becomes 2480 x 3507.
        const Ruling grey = findRuling(scan->picture, 1.0);
        return cropScaled(grey.grey, {0, 0, grey.grey.width, grey.grey.height}, 1.5, 0);
    }();
    return picture;
}

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_ReaderStart(benchmark::State& state)
{
    for (auto _ : state) {
        CaptionReader reader;
        benchmark::DoNotOptimize(reader.ok());
    }
}
BENCHMARK(BM_ReaderStart)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_RulingA4At300Dpi(benchmark::State& state)
{
    const Picture& picture = page();
    for (auto _ : state)
        benchmark::DoNotOptimize(findRuling(picture, picture.width / 210.0).rules.size());
    state.counters["width"] = picture.width;
}
BENCHMARK(BM_RulingA4At300Dpi)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The whole analysis with the engine already started, as the designer and
// the tool run it; then once more including the engine's start.
void BM_AnalyseA4At300Dpi(benchmark::State& state)
{
    const Picture& picture = page();
    CaptionReader reader;
    std::size_t fields = 0;
    long long readings = 0;
    for (auto _ : state) {
        const long long before = reader.readings();
        const ScanAnalysis analysis = analyseScan(picture, {21.0, 29.7}, reader);
        readings = reader.readings() - before;
        fields = analysis.fields.size();
        benchmark::DoNotOptimize(fields);
    }
    state.counters["fields"] = static_cast<double>(fields);
    // Crops read per page: the reading is most of the time.
    state.counters["readings"] = static_cast<double>(readings);
    state.counters["peak_MB"] = peakMegabytes();
}
BENCHMARK(BM_AnalyseA4At300Dpi)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_AnalyseA4At300DpiWithStart(benchmark::State& state)
{
    const Picture& picture = page();
    for (auto _ : state)
        benchmark::DoNotOptimize(analyseScan(picture, {21.0, 29.7}).fields.size());
    state.counters["peak_MB"] = peakMegabytes();
}
BENCHMARK(BM_AnalyseA4At300DpiWithStart)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

} // namespace

BENCHMARK_MAIN();
