// Requests per second of NKHTTPRequestOperationManager GET with a 1 KB JSON reply at 1 and 8 in
// flight, against raw libcurl (multi interface, keep-alive) on the same loopback server in the
// same run; and a 1 GB multipart upload streamed from a generated part, with peak memory.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "UploadSink.h"
#include "net/NKHTTPRequestOperationManager.h"
#include "platform/threading/NSRunLoop.h"
#include "testing/httpserver/TestServer.h"

namespace {

httpserver::TestServer& jsonServer()
{
    static auto* server = [] {
        httpserver::ServerOptions options;
        options.keepRequests = false;
        auto* s = new httpserver::TestServer(options);
        std::string body = "{\"rows\":[";
        while (body.size() < 1000)
            body += "{\"id\":12345,\"name\":\"abcdef\"},";
        body += "{}]}";
        s->on("/json", httpserver::Reply::json(body));
        return s;
    }();
    return *server;
}

// Context switches and CPU time of the whole process (server threads included, on both sides),
// reported per request.
struct ProcessCost {
    rusage start {};
    ProcessCost() { getrusage(RUSAGE_SELF, &start); }
    void report(benchmark::State& state, std::int64_t requests) const
    {
        rusage end {};
        getrusage(RUSAGE_SELF, &end);
        auto micros = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_usec); };
        double cpu = micros(end.ru_utime) + micros(end.ru_stime) - micros(start.ru_utime) - micros(start.ru_stime);
        double switches = static_cast<double>(end.ru_nvcsw + end.ru_nivcsw - start.ru_nvcsw - start.ru_nivcsw);
        double n = static_cast<double>(std::max<std::int64_t>(requests, 1));
        state.counters["switches_per_req"] = switches / n;
        state.counters["cpu_us_per_req"] = cpu / n;
    }
};

// HTTP_BENCH_ITERATIONS=<n> fixes the iteration count of the request benchmarks, so that
// instruction counts (under callgrind) of two runs can be compared request for request.
void fixedIterations(benchmark::internal::Benchmark* bench)
{
    const char* value = std::getenv("HTTP_BENCH_ITERATIONS");
    if (value && std::atoll(value) > 0)
        bench->Iterations(std::atoll(value));
}

// Runs the main loop (where notifications land) until `count` reaches `target`.
void pumpUntil(const std::atomic<int>& count, int target)
{
    for (int seen = count.load(); seen < target; seen = count.load()) {
        if (NSRunLoop::mainRunLoop()->hasReadyWork(NSDefaultRunLoopMode))
            NSRunLoop::mainRunLoop()->runInModeForRealSeconds(NSDefaultRunLoopMode, 0, true);
        else
            count.wait(seen); // the value tested, so that a change since then is not slept through
    }
}

void BM_ManagerGet(benchmark::State& state)
{
    threading::becomeMainThread();
    const int inFlight = static_cast<int>(state.range(0));
    std::string url = jsonServer().url("/json");
    auto manager = NKHTTPRequestOperationManager::manager();
    manager->setCompletionQueue(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0));
    std::atomic<int> failures { 0 };
    ProcessCost cost;
    for (auto _ : state) {
        std::atomic<int> done { 0 };
        for (int i = 0; i < inFlight; ++i)
            manager->GET(url, Value(), [&](const auto&, const Value&) {
                ++done;
                done.notify_all();
            },
                [&](const auto&, const NSErrorRef&) {
                    ++failures;
                    ++done;
                    done.notify_all();
                });
        pumpUntil(done, inFlight);
    }
    state.SetItemsProcessed(state.iterations() * inFlight);
    cost.report(state, state.iterations() * inFlight);
    if (failures)
        state.SkipWithError("requests failed");
}
BENCHMARK(BM_ManagerGet)->Arg(1)->Arg(8)->UseRealTime()->Apply(fixedIterations);

// The platform's connection alone, one request at a time: the floor beneath the manager.
void BM_PlatformConnectionGet(benchmark::State& state)
{
    threading::becomeMainThread();
    auto request = NSURLRequest::requestWithURL(NSURL::URLWithString(jsonServer().url("/json")));
    for (auto _ : state) {
        std::shared_ptr<NSURLResponse> response;
        NSErrorRef error;
        auto body = NSURLConnection::sendSynchronousRequest(request, &response, &error);
        benchmark::DoNotOptimize(body);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlatformConnectionGet)->UseRealTime()->Apply(fixedIterations);

std::size_t discard(char*, std::size_t size, std::size_t count, void*) { return size * count; }

void BM_CurlGet(benchmark::State& state)
{
    const int inFlight = static_cast<int>(state.range(0));
    std::string url = jsonServer().url("/json");
    CURLM* multi = curl_multi_init();
    std::vector<CURL*> handles;
    for (int i = 0; i < inFlight; ++i) {
        CURL* easy = curl_easy_init();
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, discard);
        handles.push_back(easy);
    }
    ProcessCost cost;
    for (auto _ : state) {
        for (CURL* easy : handles)
            curl_multi_add_handle(multi, easy);
        int running = inFlight;
        while (running > 0) {
            curl_multi_perform(multi, &running);
            if (running > 0)
                curl_multi_poll(multi, nullptr, 0, 100, nullptr);
        }
        for (CURL* easy : handles)
            curl_multi_remove_handle(multi, easy);
    }
    for (CURL* easy : handles)
        curl_easy_cleanup(easy);
    curl_multi_cleanup(multi);
    state.SetItemsProcessed(state.iterations() * inFlight);
    cost.report(state, state.iterations() * inFlight);
}
BENCHMARK(BM_CurlGet)->Arg(1)->Arg(8)->UseRealTime();

// A part body made on the fly: `length` bytes of a pattern, never held whole.
class PatternStream final : public NSInputStream {
public:
    explicit PatternStream(std::uint64_t length) : left_(length) { }
    std::int64_t read(std::uint8_t* buffer, std::size_t length) override
    {
        std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(left_, length));
        std::memset(buffer, 'q', count);
        left_ -= count;
        return static_cast<std::int64_t>(count);
    }
    bool hasBytesAvailable() const override { return left_ > 0; }

private:
    std::uint64_t left_;
};

long peakRssKilobytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_MultipartUpload1GB(benchmark::State& state)
{
    threading::becomeMainThread();
    constexpr std::uint64_t kBytes = 1ull << 30;
    UploadSink sink;
    auto manager = NKHTTPRequestOperationManager::manager();
    manager->setCompletionQueue(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0));
    long before = peakRssKilobytes();
    for (auto _ : state) {
        std::atomic<int> done { 0 };
        std::atomic<bool> ok { false };
        manager->POST(sink.url("/upload"), Value::dictionary({ { "title", "big" } }),
            [&](NKMultipartFormData& form) {
                form.appendPartWithInputStream(std::make_shared<PatternStream>(kBytes), "file", "big.bin", kBytes,
                    "application/octet-stream");
            },
            [&](const auto&, const Value&) {
                ok = true;
                ++done;
                done.notify_all();
            },
            [&](const auto&, const NSErrorRef&) {
                ++done;
                done.notify_all();
            });
        pumpUntil(done, 1);
        if (!ok)
            state.SkipWithError("upload failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
    state.counters["peak_rss_MB"] = static_cast<double>(peakRssKilobytes()) / 1024;
    state.counters["rss_growth_MB"] = static_cast<double>(peakRssKilobytes() - before) / 1024;
    state.counters["body_bytes_at_sink"] = static_cast<double>(sink.lastBodyBytes());
}
BENCHMARK(BM_MultipartUpload1GB)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
