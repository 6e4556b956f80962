// base64Decode on 1 MiB of clean Base64 (processEvents does nothing here)
// beside a plain table-driven standard decoder on the same text. The last
// line printed is the ratio of the two times.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>

#include "links/decode.h"

using namespace tovrel;

namespace {

constexpr std::size_t kDecodedSize = 3 * 1024 * 1024 / 4;  // 1 MiB of Base64

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// 1 MiB of Base64 encoding random bytes.
const std::string& cleanBase64() {
    static const std::string text = [] {
        std::mt19937 random(1);
        std::string out;
        out.reserve(kDecodedSize / 3 * 4);
        for (std::size_t i = 0; i < kDecodedSize / 3; ++i) {
            const std::uint32_t v = random() & 0xFFFFFF;
            for (int shift = 18; shift >= 0; shift -= 6) out += kAlphabet[(v >> shift) & 63];
        }
        return out;
    }();
    return text;
}

// The standard decoding with a 256-entry table: four characters to three
// bytes, "=" padding at the end.
std::string tableDecode(std::string_view text) {
    static const std::array<std::uint8_t, 256> values = [] {
        std::array<std::uint8_t, 256> t{};
        t.fill(0xFF);
        for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(kAlphabet[i])] = i;
        return t;
    }();
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i + 4 <= text.size(); i += 4) {
        const auto v = [&](std::size_t k) {
            return values[static_cast<unsigned char>(text[i + k])];
        };
        const std::uint32_t a = v(0), b = v(1), c = v(2), d = v(3);
        out += static_cast<char>(a << 2 | b >> 4);
        if (c == 0xFF) break;
        out += static_cast<char>(b << 4 | c >> 2);
        if (d == 0xFF) break;
        out += static_cast<char>(c << 6 | d);
    }
    return out;
}

double tovrelSeconds = 0;
double tableSeconds = 0;

void Base64Decode(benchmark::State& state) {
    const std::string& text = cleanBase64();
    for (auto _ : state) benchmark::DoNotOptimize(base64Decode(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void TableDecode(benchmark::State& state) {
    const std::string& text = cleanBase64();
    for (auto _ : state) benchmark::DoNotOptimize(tableDecode(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

BENCHMARK(Base64Decode)->Unit(benchmark::kMillisecond);
BENCHMARK(TableDecode)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's time per iteration for the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const double perIteration = run.GetAdjustedRealTime();
            if (run.benchmark_name() == "Base64Decode") tovrelSeconds = perIteration;
            if (run.benchmark_name() == "TableDecode") tableSeconds = perIteration;
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    // Both decoders agree on the text before they are timed.
    if (base64Decode(cleanBase64()).bytes != tableDecode(cleanBase64())) {
        std::fprintf(stderr, "base64_bench: the two decoders disagree\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (tovrelSeconds > 0 && tableSeconds > 0) {
        std::printf("base64Decode / table decoder: %.2fx\n", tovrelSeconds / tableSeconds);
    }
    return 0;
}
