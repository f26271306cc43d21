// Base64 encoding and decoding of 16 MB with our codec and OpenSSL's
// EVP_EncodeBlock / EVP_DecodeBlock, on the same buffers, output reused.
#include "file/base64.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>

#ifdef ORDAVEL_HAVE_OPENSSL
#include <openssl/evp.h>
#endif

namespace {

constexpr std::size_t kBytes = 16u << 20;

const std::string& plainBytes()
{
    static const std::string bytes = [] {
        std::string b(kBytes, '\0');
        std::mt19937 rng(1);
        for (char& c : b)
            c = static_cast<char>(rng());
        return b;
    }();
    return bytes;
}

const std::string& encodedText()
{
    static const std::string text = ordavel::encodeBase64(plainBytes());
    return text;
}

void OurEncode(benchmark::State& state)
{
    const std::string& in = plainBytes();
    std::string out;
    out.reserve(ordavel::base64EncodedLength(in.size()));
    for (auto _ : state) {
        out.clear();
        ordavel::encodeBase64Append(in, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

void OurDecode(benchmark::State& state)
{
    const std::string& in = encodedText();
    std::string out;
    out.reserve(kBytes + 3);
    for (auto _ : state) {
        out.clear();
        ordavel::decodeBase64Append(in, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
}

BENCHMARK(OurEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(OurDecode)->Unit(benchmark::kMillisecond);

#ifdef ORDAVEL_HAVE_OPENSSL
void OpenSslEncode(benchmark::State& state)
{
    const std::string& in = plainBytes();
    std::string out(ordavel::base64EncodedLength(in.size()) + 1, '\0');
    for (auto _ : state) {
        const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                      reinterpret_cast<const unsigned char*>(in.data()), static_cast<int>(in.size()));
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

void OpenSslDecode(benchmark::State& state)
{
    const std::string& in = encodedText();
    std::string out(in.size() / 4 * 3 + 3, '\0');
    for (auto _ : state) {
        const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                      reinterpret_cast<const unsigned char*>(in.data()), static_cast<int>(in.size()));
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
}

BENCHMARK(OpenSslEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenSslDecode)->Unit(benchmark::kMillisecond);
#endif

} // namespace

BENCHMARK_MAIN();
