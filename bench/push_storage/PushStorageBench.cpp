// Costs of the push storage layer: one setObject of a file cache (archive, encipher, atomic
// write) against writing the same number of bytes raw, and report-item comparison against plain
// Value equality of the same dictionaries.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/persistence/FileIO.h"
#include "platform/persistence/NSUserDefaults.h"
#include "push/Storage/PUSHCacheFileCodec.h"
#include "push/Storage/PUSHDictionary.h"
#include "push/Storage/PUSHFileCacheController.h"

namespace {

// A temporary app home for the whole run.
struct BenchHome {
    BenchHome()
    {
        std::string pattern = std::filesystem::temp_directory_path().string() + "/push-storage-bench-XXXXXX";
        path = ::mkdtemp(pattern.data()) ? pattern : std::string("/tmp");
        ::setenv("QUILLMARK_HOME", path.c_str(), 1);
        NSUserDefaults::resetStandardUserDefaults();
    }
    ~BenchHome()
    {
        std::error_code error;
        std::filesystem::remove_all(path, error);
    }
    std::string path;
};

BenchHome& home()
{
    static BenchHome instance;
    return instance;
}

Value reportItem(int index, int keys)
{
    Value item = Value::dictionary({ { "itime", Value(1700000000 + index) }, { "type", Value(4) } });
    for (int k = 0; k < keys; ++k)
        item.set("key" + std::to_string(k), Value("value number " + std::to_string(k * 31 + index)));
    return item;
}

void fill(PUSHFileCacheController& cache, int entries)
{
    std::vector<std::pair<std::string, Value>> all;
    for (int i = 0; i < entries; ++i)
        all.emplace_back("entry" + std::to_string(i), reportItem(i, 8));
    cache.setObjects(all);
}

void BM_FileCacheSetObject(benchmark::State& state)
{
    home();
    const bool enciphered = state.range(1) != 0;
    auto cache = enciphered ? PUSHFileCacheController::startDocumentFile("BenchDocument", true)
                            : PUSHFileCacheController::startCacheFile("BenchJSON", false);
    fill(*cache, static_cast<int>(state.range(0)));
    int counter = 0;
    for (auto _ : state)
        cache->setObject(Value(++counter), "__PUSHSessionID");
    state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(cache->fileNameForKey(cache->cacheName())));
}
BENCHMARK(BM_FileCacheSetObject)->ArgsProduct({ { 10, 100, 999 }, { 0, 1 } })->Unit(benchmark::kMicrosecond);

// Baseline: the same number of bytes written atomically, without archiving or enciphering.
void BM_RawAtomicWrite(benchmark::State& state)
{
    home();
    auto cache = PUSHFileCacheController::startCacheFile("BenchRawSize", false);
    fill(*cache, static_cast<int>(state.range(0)));
    const Bytes bytes(std::filesystem::file_size(cache->fileNameForKey("BenchRawSize")), 0x42);
    const std::string path = cache->fileNameForKey("BenchRaw");
    for (auto _ : state)
        persistence::writeToFile(bytes, path, true);
    state.counters["file_bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_RawAtomicWrite)->Arg(10)->Arg(100)->Arg(999)->Unit(benchmark::kMicrosecond);

void BM_ReportEqual(benchmark::State& state)
{
    const int keys = static_cast<int>(state.range(0));
    Value a = reportItem(0, keys), b = reportItem(0, keys);
    b.set("itime", Value(1800000000));
    for (auto _ : state)
        benchmark::DoNotOptimize(push::reportEqual(a, b));
}
BENCHMARK(BM_ReportEqual)->Arg(10)->Arg(100);

// Baseline: the platform's equality of the same dictionaries (same time stamps).
void BM_ValueEqual(benchmark::State& state)
{
    const int keys = static_cast<int>(state.range(0));
    Value a = reportItem(0, keys), b = reportItem(0, keys);
    for (auto _ : state)
        benchmark::DoNotOptimize(a == b);
}
BENCHMARK(BM_ValueEqual)->Arg(10)->Arg(100);

// The straightforward way: copy both, drop "itime", compare.
void BM_CopyRemoveEqual(benchmark::State& state)
{
    const int keys = static_cast<int>(state.range(0));
    Value a = reportItem(0, keys), b = reportItem(0, keys);
    b.set("itime", Value(1800000000));
    for (auto _ : state) {
        Value x = a, y = b;
        x.remove("itime");
        y.remove("itime");
        benchmark::DoNotOptimize(x == y);
    }
}
BENCHMARK(BM_CopyRemoveEqual)->Arg(10)->Arg(100);

} // namespace
