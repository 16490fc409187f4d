// URL loading throughput against raw libcurl on the same loopback server, in the same run.
#include <benchmark/benchmark.h>

#include <curl/curl.h>
#include <sys/resource.h>

#include "platform/network/NSURLConnection.h"
#include "platform/threading/NSThread.h"
#include "testing/httpserver/TestServer.h"

namespace {

constexpr int kInFlight = 8;
constexpr int kBatch = 400;

httpserver::TestServer& server()
{
    static auto* instance = [] {
        httpserver::ServerOptions options;
        options.keepRequests = false;
        auto* s = new httpserver::TestServer(options);
        s->on("/1k", httpserver::Reply(200, std::string(1024, 'k')));
        s->on("/100m", httpserver::Reply(200).body(100ull << 20, httpserver::repeating("0123456789abcdef")));
        return s;
    }();
    return *instance;
}

size_t discard(char*, size_t size, size_t count, void* user)
{
    *static_cast<std::size_t*>(user) += size * count;
    return size * count;
}

// Raw libcurl: one multi handle, kInFlight easy handles kept busy with keep-alive connections.
std::size_t rawBatch(const std::string& url, int requests)
{
    CURLM* multi = curl_multi_init();
    std::size_t bytes = 0;
    int started = 0;
    std::vector<CURL*> handles;
    for (int i = 0; i < kInFlight && started < requests; ++i, ++started) {
        CURL* easy = curl_easy_init();
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, discard);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &bytes);
        curl_multi_add_handle(multi, easy);
        handles.push_back(easy);
    }
    int running = 1;
    while (running) {
        curl_multi_perform(multi, &running);
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg != CURLMSG_DONE)
                continue;
            CURL* easy = message->easy_handle;
            curl_multi_remove_handle(multi, easy);
            if (started < requests) {
                ++started;
                curl_multi_add_handle(multi, easy);
                running = 1;
            }
        }
        if (running)
            curl_multi_poll(multi, nullptr, 0, 100, nullptr);
    }
    for (CURL* easy : handles)
        curl_easy_cleanup(easy);
    curl_multi_cleanup(multi);
    return bytes;
}

class Counter final : public NSURLConnectionDelegate {
public:
    std::size_t bytes = 0;
    int* done;
    explicit Counter(int* d) : done(d) { }
    void connectionDidReceiveData(const std::shared_ptr<NSURLConnection>&, const Bytes& data) override { bytes += data.size(); }
    void connectionDidFinishLoading(const std::shared_ptr<NSURLConnection>&) override { ++*done; }
    void connectionDidFailWithError(const std::shared_ptr<NSURLConnection>&, const std::shared_ptr<NSError>&) override { ++*done; }
};

std::size_t connectionBatch(const std::string& url, int requests)
{
    threading::becomeMainThread();
    auto loop = NSRunLoop::currentRunLoop();
    int started = 0, done = 0;
    std::size_t bytes = 0;
    std::vector<std::shared_ptr<Counter>> counters;
    auto request = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(url));
    request->setCachePolicy(NSURLRequestReloadIgnoringLocalCacheData);
    auto launch = [&] {
        auto counter = std::make_shared<Counter>(&done);
        counters.push_back(counter);
        NSURLConnection::connectionWithRequest(request, counter);
        ++started;
    };
    for (int i = 0; i < kInFlight && started < requests; ++i)
        launch();
    while (done < requests) {
        int before = done;
        loop->runInModeForRealSeconds(NSDefaultRunLoopMode, 0.1, true);
        for (int i = before; i < done && started < requests; ++i)
            launch();
    }
    for (auto& c : counters)
        bytes += c->bytes;
    return bytes;
}

double peakRssMB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_RawCurl_1KB_8InFlight(benchmark::State& state)
{
    std::string url = server().url("/1k");
    for (auto _ : state)
        benchmark::DoNotOptimize(rawBatch(url, kBatch));
    state.SetItemsProcessed(state.iterations() * kBatch);
}

void BM_NSURLConnection_1KB_8InFlight(benchmark::State& state)
{
    std::string url = server().url("/1k");
    NSURLCache::setSharedURLCache(std::make_shared<NSURLCache>(0, 0, ""));
    for (auto _ : state)
        benchmark::DoNotOptimize(connectionBatch(url, kBatch));
    state.SetItemsProcessed(state.iterations() * kBatch);
}

void BM_RawCurl_100MB(benchmark::State& state)
{
    std::string url = server().url("/100m");
    std::size_t bytes = 0;
    for (auto _ : state)
        bytes += rawBatch(url, 1);
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void BM_NSURLConnection_100MB(benchmark::State& state)
{
    std::string url = server().url("/100m");
    NSURLCache::setSharedURLCache(std::make_shared<NSURLCache>(0, 0, ""));
    double before = peakRssMB();
    std::size_t bytes = 0;
    for (auto _ : state)
        bytes += connectionBatch(url, 1);
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.counters["peak_rss_MB"] = peakRssMB();
    state.counters["peak_rss_growth_MB"] = peakRssMB() - before;
}

} // namespace

BENCHMARK(BM_RawCurl_1KB_8InFlight)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NSURLConnection_1KB_8InFlight)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawCurl_100MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_NSURLConnection_100MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

BENCHMARK_MAIN();
