// Reading a generated 10 MB JSON document: the platform reader (simdjson, then a Value tree)
// against simdjson's own parse of the same bytes, in the same run, and the freeing of the tree
// on its own.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <random>
#include <simdjson.h>
#include <string>

#include "platform/persistence/NSJSONSerialization.h"

namespace {

// Records shaped like the data server's replies: numbers, texts (some CJK), flags, nulls.
const std::string& document()
{
    static const std::string text = [] {
        std::mt19937 rng(42);
        std::string out = "{\"code\":0,\"msg\":\"ok\",\"data\":[";
        for (int i = 0; out.size() < 10 * 1024 * 1024; ++i) {
            if (i > 0)
                out += ',';
            out += "{\"id\":" + std::to_string(rng()) + ",\"phone\":\"1" + std::to_string(3000000000ull + rng() % 999999999)
                + "\",\"name\":\"粉丝" + std::to_string(i) + "\",\"city\":\"city \\u4e2d " + std::to_string(rng() % 400)
                + "\",\"score\":" + std::to_string((rng() % 100000) / 100.0) + ",\"vip\":" + (rng() % 2 ? "true" : "false")
                + ",\"note\":null,\"tags\":[\"a\",\"b/c\"," + std::to_string(rng() % 10) + "]}";
        }
        out += "]}";
        return out;
    }();
    return text;
}

void PlatformReadIntoValue(benchmark::State& state)
{
    const std::string& text = document();
    for (auto _ : state) {
        Value v = NSJSONSerialization::JSONObjectWithData(std::string_view(text));
        benchmark::DoNotOptimize(v);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// Freeing the tree alone: what part of reading is spent giving the memory back.
void FreeValueTree(benchmark::State& state)
{
    const std::string& text = document();
    for (auto _ : state) {
        state.PauseTiming();
        Value v = NSJSONSerialization::JSONObjectWithData(std::string_view(text));
        state.ResumeTiming();
        v = Value();
        benchmark::DoNotOptimize(v);
    }
}

// The heap the tree holds while it lives, in bytes (glibc's count of bytes in use).
void TreeMemory(benchmark::State& state)
{
    const std::string& text = document();
    // The first read sizes the parser's buffers; kept alive, it leaves no freed memory behind
    // for the measured read to reuse unseen.
    Value first = NSJSONSerialization::JSONObjectWithData(std::string_view(text));
    benchmark::DoNotOptimize(first);
    double bytes = 0;
    for (auto _ : state) {
        std::size_t before = mallinfo2().uordblks;
        Value v = NSJSONSerialization::JSONObjectWithData(std::string_view(text));
        bytes = std::max(bytes, static_cast<double>(mallinfo2().uordblks - before));
        benchmark::DoNotOptimize(v);
    }
    state.counters["tree_bytes"] = bytes;
    state.counters["document_bytes"] = static_cast<double>(text.size());
}

void RawSimdjsonParse(benchmark::State& state)
{
    const std::string& text = document();
    simdjson::dom::parser parser;
    for (auto _ : state) {
        simdjson::dom::element root;
        auto error = parser.parse(text.data(), text.size(), true).get(root);
        benchmark::DoNotOptimize(error);
        benchmark::DoNotOptimize(root);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

} // namespace

BENCHMARK(RawSimdjsonParse)->Unit(benchmark::kMillisecond);
BENCHMARK(PlatformReadIntoValue)->Unit(benchmark::kMillisecond);
BENCHMARK(FreeValueTree)->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(TreeMemory)->Unit(benchmark::kMillisecond)->Iterations(3);
