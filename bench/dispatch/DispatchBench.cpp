// Dispatch against the plain baseline: one std::thread draining a mutex + condition-variable
// queue of std::function jobs (the simplest correct executor), measured in the same run.
//  - main-queue hop latency: post one block to the main queue from a worker, wait until it ran
//    (the baseline: post to the baseline thread, wait until it ran);
//  - main-queue throughput: a worker posts N blocks to the main queue, the main thread pumps;
//  - async throughput on a serial queue and on a concurrent queue (N blocks, then wait).
#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/threading/Dispatch.h"
#include "platform/threading/NSRunLoop.h"
#include "platform/threading/NSThread.h"

namespace {

constexpr int kBatch = 10000;

class BaselineQueue {
public:
    BaselineQueue()
        : thread_([this] { loop(); })
    {
    }
    ~BaselineQueue()
    {
        post({});
        thread_.join();
    }
    void post(std::function<void()> job)
    {
        {
            std::lock_guard lock(mutex_);
            jobs_.push_back(std::move(job));
        }
        cv_.notify_one();
    }

private:
    void loop()
    {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(mutex_);
                cv_.wait(lock, [&] { return !jobs_.empty(); });
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
            if (!job)
                return;
            job();
        }
    }
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> jobs_;
    std::thread thread_;
};

// Waits on the caller's thread for a flag set elsewhere.
struct Flag {
    std::mutex mutex;
    std::condition_variable cv;
    bool set = false;
    void raise()
    {
        std::lock_guard lock(mutex);
        set = true;
        cv.notify_one();
    }
    void wait()
    {
        std::unique_lock lock(mutex);
        cv.wait(lock, [&] { return set; });
        set = false;
    }
};

void BM_Baseline_Hop(benchmark::State& state)
{
    BaselineQueue queue;
    Flag done;
    for (auto _ : state) {
        queue.post([&] { done.raise(); });
        done.wait();
    }
}
BENCHMARK(BM_Baseline_Hop)->UseRealTime();

// The benchmark thread is the main thread and pumps; a helper thread posts and waits.
void BM_MainQueue_Hop(benchmark::State& state)
{
    threading::becomeMainThread();
    auto loop = NSRunLoop::mainRunLoop();
    std::atomic<bool> stop { false };
    std::atomic<long> hops { 0 };
    std::atomic<bool> helperDone { false };
    std::thread helper([&] {
        Flag done;
        while (!stop) {
            dispatch_async(dispatch_get_main_queue(), [&] { done.raise(); });
            done.wait();
            ++hops;
        }
        helperDone = true;
    });
    long target = 0;
    for (auto _ : state) {
        ++target;
        while (hops < target)
            loop->runInModeForRealSeconds(NSDefaultRunLoopMode, 0.01, true);
    }
    stop = true;
    while (!helperDone) // let the helper's last hop through
        loop->runInModeForRealSeconds(NSDefaultRunLoopMode, 0.01, true);
    helper.join();
}
BENCHMARK(BM_MainQueue_Hop)->UseRealTime();

void BM_Baseline_Throughput(benchmark::State& state)
{
    BaselineQueue queue;
    Flag done;
    for (auto _ : state) {
        int count = 0;
        for (int i = 0; i < kBatch; ++i)
            queue.post([&] { ++count; });
        queue.post([&] { done.raise(); });
        done.wait();
        benchmark::DoNotOptimize(count);
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_Baseline_Throughput)->UseRealTime();

void BM_MainQueue_Throughput(benchmark::State& state)
{
    threading::becomeMainThread();
    auto loop = NSRunLoop::mainRunLoop();
    for (auto _ : state) {
        int count = 0;
        std::thread producer([&] {
            for (int i = 0; i < kBatch; ++i)
                dispatch_async(dispatch_get_main_queue(), [&] { ++count; });
        });
        while (count < kBatch)
            loop->runInModeForRealSeconds(NSDefaultRunLoopMode, 0.01, true);
        producer.join();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_MainQueue_Throughput)->UseRealTime();

void BM_SerialQueue_Throughput(benchmark::State& state)
{
    auto queue = dispatch_queue_create("bench.serial", DISPATCH_QUEUE_SERIAL);
    for (auto _ : state) {
        int count = 0;
        for (int i = 0; i < kBatch; ++i)
            dispatch_async(queue, [&] { ++count; });
        dispatch_sync(queue, [] {});
        benchmark::DoNotOptimize(count);
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_SerialQueue_Throughput)->UseRealTime();

void BM_ConcurrentQueue_Throughput(benchmark::State& state)
{
    auto queue = dispatch_queue_create("bench.concurrent", DISPATCH_QUEUE_CONCURRENT);
    for (auto _ : state) {
        std::atomic<int> count { 0 };
        for (int i = 0; i < kBatch; ++i)
            dispatch_async(queue, [&] { count.fetch_add(1, std::memory_order_relaxed); });
        dispatch_barrier_sync(queue, [] {});
        benchmark::DoNotOptimize(count.load());
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_ConcurrentQueue_Throughput)->UseRealTime();

void BM_GlobalQueue_Throughput(benchmark::State& state)
{
    auto queue = dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
    for (auto _ : state) {
        auto group = dispatch_group_create();
        std::atomic<int> count { 0 };
        for (int i = 0; i < kBatch; ++i)
            dispatch_group_async(group, queue, [&] { count.fetch_add(1, std::memory_order_relaxed); });
        dispatch_group_wait(group, DISPATCH_TIME_FOREVER);
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_GlobalQueue_Throughput)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
