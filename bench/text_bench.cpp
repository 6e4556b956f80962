// The text toolkit's searching and rewriting operations on an HTML page with
// some code page 936 text, each beside the closest standard-library operation
// on the same input. Sizes 64 KiB, 1 MiB and 8 MiB show how the time grows.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "text/markers.h"
#include "text/text.h"

using namespace tovrel;

namespace {

// A page of `size` bytes: HTML lines, Chinese text (code page 936) and, at the
// very end, the marker that the searches look for.
const std::string& page(std::size_t size) {
    static std::vector<std::pair<std::size_t, std::string>> cache;
    for (const auto& [n, text] : cache) {
        if (n == size) return text;
    }
    const std::string line =
        "<div class=\"row\"><a href=\"/file/123\">\xce\xc4\xbc\xfe\xcf\xc2\xd4\xd8</a> "
        "<span>\xa1\xa1size: 42 MB</span></div>\r\n";
    const std::string tail = "<script>img.src='randcodeV2.php?fid=99&key=ab';</script>\r\n";
    std::string text;
    text.reserve(size);
    while (text.size() + line.size() + tail.size() <= size) text += line;
    text += tail;
    cache.emplace_back(size, std::move(text));
    return cache.back().second;
}

constexpr std::string_view kSought = "randcodeV2.php?fid=";
constexpr std::string_view kSoughtUpper = "RANDCODEV2.PHP?FID=";

void setBytes(benchmark::State& state, std::size_t size) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void FindTextExact(benchmark::State& state) {
    const std::string& text = page(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(findText(text, kSought));
    setBytes(state, text.size());
}

void StdFind(benchmark::State& state) {
    const std::string_view text = page(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(text.find(kSought));
    setBytes(state, text.size());
}

void FindTextIgnoringCase(benchmark::State& state) {
    const std::string& text = page(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(findText(text, kSoughtUpper, 0, true));
    setBytes(state, text.size());
}

char foldCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

void StdSearchIgnoringCase(benchmark::State& state) {
    const std::string_view text = page(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            std::search(text.begin(), text.end(), kSoughtUpper.begin(), kSoughtUpper.end(),
                        [](char a, char b) { return foldCase(a) == foldCase(b); }));
    }
    setBytes(state, text.size());
}

void SplitText(benchmark::State& state) {
    const std::string& text = page(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(splitText(text, "\r\n"));
    setBytes(state, text.size());
}

void StdSplit(benchmark::State& state) {
    const std::string_view text = page(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::vector<std::string> pieces;
        std::size_t begin = 0;
        for (std::size_t at; (at = text.find("\r\n", begin)) != std::string_view::npos;
             begin = at + 2) {
            pieces.emplace_back(text.substr(begin, at - begin));
        }
        if (begin < text.size()) pieces.emplace_back(text.substr(begin));
        benchmark::DoNotOptimize(pieces);
    }
    setBytes(state, text.size());
}

void ReplaceSubtext(benchmark::State& state) {
    const std::string& text = page(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(replaceSubtext(text, "\r\n", "\n", true));
    setBytes(state, text.size());
}

void StdReplace(benchmark::State& state) {
    const std::string_view text = page(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::string out;
        out.reserve(text.size());
        std::size_t begin = 0;
        for (std::size_t at; (at = text.find("\r\n", begin)) != std::string_view::npos;
             begin = at + 2) {
            out.append(text.substr(begin, at - begin));
            out += '\n';
        }
        out.append(text.substr(begin));
        benchmark::DoNotOptimize(out);
    }
    setBytes(state, text.size());
}

void RemoveAllSpaces(benchmark::State& state) {
    const std::string& text = page(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(removeAllSpaces(text));
    setBytes(state, text.size());
}

void StdRemoveCopy(benchmark::State& state) {
    const std::string& text = page(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::string out;
        out.reserve(text.size());
        std::remove_copy(text.begin(), text.end(), std::back_inserter(out), ' ');
        benchmark::DoNotOptimize(out);
    }
    setBytes(state, text.size());
}

void TextBetween(benchmark::State& state) {
    const std::string& text = page(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(textBetween(text, "fid=", "&"));
    setBytes(state, text.size());
}

void StdFindBetween(benchmark::State& state) {
    const std::string_view text = page(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        const std::size_t start = text.find("fid=") + 4;
        const std::size_t end = text.find('&', start);
        benchmark::DoNotOptimize(std::string(text.substr(start, end - start)));
    }
    setBytes(state, text.size());
}

constexpr std::int64_t kSizes[] = {64 << 10, 1 << 20, 8 << 20};

void sizes(benchmark::internal::Benchmark* b) {
    for (const std::int64_t size : kSizes) b->Arg(size);
}

}  // namespace

BENCHMARK(FindTextExact)->Apply(sizes);
BENCHMARK(StdFind)->Apply(sizes);
BENCHMARK(FindTextIgnoringCase)->Apply(sizes);
BENCHMARK(StdSearchIgnoringCase)->Apply(sizes);
BENCHMARK(SplitText)->Apply(sizes);
BENCHMARK(StdSplit)->Apply(sizes);
BENCHMARK(ReplaceSubtext)->Apply(sizes);
BENCHMARK(StdReplace)->Apply(sizes);
BENCHMARK(RemoveAllSpaces)->Apply(sizes);
BENCHMARK(StdRemoveCopy)->Apply(sizes);
BENCHMARK(TextBetween)->Apply(sizes);
BENCHMARK(StdFindBetween)->Apply(sizes);

BENCHMARK_MAIN();
