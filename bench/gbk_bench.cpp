// GBK decode and encode against glibc iconv "CP936" on the same 50 MB of
// mixed Chinese and ASCII text, output buffers reused across iterations.
#include "file/gbk.h"

#include <benchmark/benchmark.h>
#include <iconv.h>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace {

constexpr std::size_t kTextBytes = 50u << 20;

// Lines of GB2312 hanzi (lead 0xB0-0xF7, trail 0xA1-0xFE) mixed with ASCII
// words and numbers, as in form contents; a fixed pseudo-random sequence.
const std::string& gbkText()
{
    static const std::string text = [] {
        std::string t;
        t.reserve(kTextBytes + 64);
        std::uint32_t state = 12345;
        auto next = [&state] {
            state = state * 1664525u + 1013904223u;
            return state >> 8;
        };
        while (t.size() < kTextBytes) {
            const std::uint32_t run = 1 + next() % 12;
            if (next() % 3 == 0) {
                for (std::uint32_t i = 0; i < run; ++i)
                    t += static_cast<char>('a' + next() % 26);
                t += next() % 4 == 0 ? "\r\n" : " ";
            } else {
                for (std::uint32_t i = 0; i < run; ++i) {
                    const auto lead = 0xB0 + next() % 0x48;
                    auto trail = 0xA1 + next() % 0x5E;
                    if (lead == 0xD7 && trail > 0xF9)
                        trail = 0xA1; // D7FA-D7FE are gaps in GB2312
                    t += static_cast<char>(lead);
                    t += static_cast<char>(trail);
                }
            }
        }
        return t;
    }();
    return text;
}

const std::string& utf8Text()
{
    static const std::string text = ordavel::gbkToUtf8(gbkText());
    return text;
}

void iconvConvert(iconv_t cd, const std::string& in, std::string& out)
{
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1))
        throw std::runtime_error("iconv failed");
    benchmark::DoNotOptimize(dst);
}

void OurDecode(benchmark::State& state)
{
    const std::string& in = gbkText();
    std::string out;
    for (auto _ : state) {
        out.clear();
        ordavel::gbkToUtf8(in, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * in.size()));
}

void IconvDecode(benchmark::State& state)
{
    const std::string& in = gbkText();
    std::string out(in.size() * 3, '\0');
    iconv_t cd = iconv_open("UTF-8", "CP936");
    for (auto _ : state)
        iconvConvert(cd, in, out);
    iconv_close(cd);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * in.size()));
}

void OurEncode(benchmark::State& state)
{
    const std::string& in = utf8Text();
    std::string out;
    for (auto _ : state) {
        out.clear();
        ordavel::utf8ToGbk(in, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * gbkText().size()));
}

void IconvEncode(benchmark::State& state)
{
    const std::string& in = utf8Text();
    std::string out(in.size() * 2, '\0');
    iconv_t cd = iconv_open("CP936", "UTF-8");
    for (auto _ : state)
        iconvConvert(cd, in, out);
    iconv_close(cd);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * gbkText().size()));
}

} // namespace

BENCHMARK(OurDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(IconvDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(OurEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(IconvEncode)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
