// Dispatch queues: serial queues drain in batches on the worker pool, concurrent queues hand
// each block to the pool and hold back behind a barrier, the main queue waits for the main run
// loop. Also time, once, specific keys, dispatch_after and the manager thread.
#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

#include "platform/threading/DispatchInternal.h"
#include "platform/threading/MainQueueHook.h"
#include "platform/threading/NSThread.h"
#include "platform/threading/NSTimer.h"

namespace threading::detail {
namespace {
thread_local dispatch_queue_s* tlsCurrentQueue = nullptr;
thread_local bool tlsInMainQueueBlock = false;
} // namespace

dispatch_queue_s* currentQueue() { return tlsCurrentQueue; }

CurrentQueueScope::CurrentQueueScope(dispatch_queue_s* queue)
    : previous_(tlsCurrentQueue)
{
    tlsCurrentQueue = queue;
}

CurrentQueueScope::~CurrentQueueScope() { tlsCurrentQueue = previous_; }

double secondsForDispatchTime(dispatch_time_t time)
{
    if (time == DISPATCH_TIME_FOREVER)
        return kForever;
    return static_cast<double>(time) / static_cast<double>(NSEC_PER_SEC);
}

} // namespace threading::detail

using threading::WorkerPool;
using threading::detail::CurrentQueueScope;
using Kind = dispatch_queue_s::Kind;

namespace {

struct MainQueueState {
    std::mutex mutex;
    std::weak_ptr<NSRunLoop> loop;
};

MainQueueState& mainQueueState()
{
    static auto* state = new MainQueueState;
    return *state;
}

WorkerPool::Priority priorityFor(long priority)
{
    if (priority >= DISPATCH_QUEUE_PRIORITY_HIGH)
        return WorkerPool::Priority::High;
    if (priority == DISPATCH_QUEUE_PRIORITY_DEFAULT)
        return WorkerPool::Priority::Default;
    if (priority >= DISPATCH_QUEUE_PRIORITY_LOW)
        return WorkerPool::Priority::Low;
    return WorkerPool::Priority::Background;
}

void wakeMainLoop()
{
    std::shared_ptr<NSRunLoop> loop;
    {
        MainQueueState& state = mainQueueState();
        std::lock_guard lock(state.mutex);
        loop = state.loop.lock();
    }
    if (loop)
        loop->wakeUp();
}

// Runs up to a few batches of a serial queue, then yields the worker if more is waiting.
void drainSerial(const std::shared_ptr<dispatch_queue_s>& queue)
{
    CurrentQueueScope scope(queue.get());
    for (int batch = 0; batch < 16; ++batch) {
        std::deque<dispatch_queue_s::Item> local;
        {
            std::lock_guard lock(queue->mutex);
            if (queue->items.empty()) {
                queue->scheduled = false;
                return;
            }
            local.swap(queue->items);
        }
        for (auto& item : local) {
            item.block();
            item.block = nullptr;
        }
    }
    {
        std::lock_guard lock(queue->mutex);
        if (queue->items.empty()) {
            queue->scheduled = false;
            return;
        }
    }
    WorkerPool::shared().submit(queue->priority, [queue] { drainSerial(queue); });
}

// Concurrent queues run on up to kConcurrentWidth drain jobs that each take blocks from the
// head: a plain block while no barrier runs, a barrier only once nothing else runs. The drainer
// that finishes the last block before a barrier takes the barrier itself.
constexpr std::size_t kConcurrentWidth = 64;

void drainConcurrent(const std::shared_ptr<dispatch_queue_s>& queue);

void addDrainerIfUsefulLocked(const std::shared_ptr<dispatch_queue_s>& queue)
{
    // One more drainer while more blocks wait than drainers are free to take them, so that
    // blocks that block do not hold up the others.
    std::size_t waitingDrainers = queue->drainers - queue->running;
    if (queue->drainers >= kConcurrentWidth || queue->items.size() <= waitingDrainers)
        return;
    if (queue->barrierRunning || queue->items.front().barrier)
        return;
    ++queue->drainers;
    WorkerPool::shared().submit(queue->priority, [queue] { drainConcurrent(queue); });
}

// How many plain blocks one drainer takes at once: one when few wait (so that long blocks run
// side by side), more when many wait (so that short blocks do not fight over the lock).
std::size_t batchSize(std::size_t waiting)
{
    static const std::size_t cpus = std::max(2u, std::thread::hardware_concurrency());
    return std::clamp<std::size_t>(waiting / (cpus * 4), 1, 32);
}

void drainConcurrent(const std::shared_ptr<dispatch_queue_s>& queue)
{
    CurrentQueueScope scope(queue.get());
    std::vector<dispatch_block_t> batch;
    std::unique_lock lock(queue->mutex);
    int idleTurns = 0;
    for (;;) {
        if (queue->items.empty() && !queue->barrierRunning && ++idleTurns <= 16) {
            // Linger a moment: a producer in full swing refills the queue cheaper than a new drainer.
            lock.unlock();
            std::this_thread::yield();
            lock.lock();
            continue;
        }
        if (queue->items.empty() || queue->barrierRunning) {
            --queue->drainers;
            return;
        }
        idleTurns = 0;
        bool barrier = queue->items.front().barrier;
        if (barrier && queue->running > 0) {
            --queue->drainers; // a drainer still running a block will take it
            return;
        }
        std::size_t take = barrier ? 1 : batchSize(queue->items.size());
        while (batch.size() < take && !queue->items.empty() && (barrier || !queue->items.front().barrier)) {
            batch.push_back(std::move(queue->items.front().block));
            queue->items.pop_front();
        }
        ++queue->running;
        queue->barrierRunning = barrier;
        if (!barrier && !queue->items.empty())
            addDrainerIfUsefulLocked(queue);
        lock.unlock();
        for (auto& block : batch) {
            block();
            block = nullptr;
        }
        batch.clear();
        lock.lock();
        --queue->running;
        if (barrier)
            queue->barrierRunning = false;
    }
}

void enqueue(const dispatch_queue_t& queue, dispatch_block_t block, bool barrier)
{
    if (!queue || !block)
        return;
    switch (queue->kind) {
    case Kind::Main: {
        bool wasEmpty;
        {
            std::lock_guard lock(queue->mutex);
            wasEmpty = queue->items.empty();
            queue->items.push_back({ std::move(block), false });
        }
        if (wasEmpty)
            wakeMainLoop();
        return;
    }
    case Kind::Serial: {
        bool schedule;
        {
            std::lock_guard lock(queue->mutex);
            queue->items.push_back({ std::move(block), false });
            schedule = !queue->scheduled;
            queue->scheduled = true;
        }
        if (schedule)
            WorkerPool::shared().submit(queue->priority, [queue] { drainSerial(queue); });
        return;
    }
    case Kind::Global:
    case Kind::Concurrent: {
        std::lock_guard lock(queue->mutex);
        queue->items.push_back({ std::move(block), barrier && queue->kind == Kind::Concurrent });
        if (queue->drainers == 0) {
            ++queue->drainers;
            WorkerPool::shared().submit(queue->priority, [queue] { drainConcurrent(queue); });
        } else {
            addDrainerIfUsefulLocked(queue);
        }
        return;
    }
    }
}

void enqueueAndWait(const dispatch_queue_t& queue, const dispatch_block_t& block, bool barrier)
{
    if (!queue || !block)
        return;
    if (threading::detail::currentQueue() == queue.get()) {
        block(); // waiting for ourselves would never end
        return;
    }
    if (queue->kind == Kind::Main && NSThread::isMainThread()) {
        CurrentQueueScope scope(queue.get());
        block();
        return;
    }
    auto token = threading::detail::OneShot::make();
    auto done = token->owner;
    enqueue(queue, [&block, token = std::move(token)] { block(); }, barrier);
    done->wait();
}

dispatch_queue_t makeGlobal(long priority, const char* label)
{
    return std::make_shared<dispatch_queue_s>(Kind::Global, label, priorityFor(priority));
}

} // namespace

dispatch_queue_s::~dispatch_queue_s()
{
    for (auto& [key, value] : specifics) {
        if (value.second)
            value.second(value.first);
    }
}

namespace threading::detail {

bool runMainQueueBatch()
{
    if (tlsInMainQueueBlock)
        return false;
    const dispatch_queue_t& queue = dispatch_get_main_queue();
    std::deque<dispatch_queue_s::Item> local;
    {
        std::lock_guard lock(queue->mutex);
        local.swap(queue->items);
    }
    if (local.empty())
        return false;
    struct InBlock {
        InBlock() { tlsInMainQueueBlock = true; }
        ~InBlock() { tlsInMainQueueBlock = false; }
    } inBlock;
    CurrentQueueScope scope(queue.get());
    for (auto& item : local) {
        item.block();
        item.block = nullptr;
    }
    return true;
}

bool mainQueueHasBlocks()
{
    if (tlsInMainQueueBlock)
        return false;
    const dispatch_queue_t& queue = dispatch_get_main_queue();
    std::lock_guard lock(queue->mutex);
    return !queue->items.empty();
}

void setMainRunLoop(const std::shared_ptr<NSRunLoop>& loop)
{
    {
        MainQueueState& state = mainQueueState();
        std::lock_guard lock(state.mutex);
        state.loop = loop;
    }
    loop->wakeUp();
}

std::shared_ptr<NSRunLoop> managerRunLoop()
{
    static std::shared_ptr<NSRunLoop>* loop = [] {
        auto thread = NSThread::create([] { NSRunLoop::currentRunLoop()->run(); });
        thread->setName("dispatch.manager");
        auto runLoop = thread->runLoop();
        runLoop->addPort(NSPort::port(), NSRunLoopCommonModes);
        thread->start();
        return new std::shared_ptr<NSRunLoop>(runLoop);
    }();
    return *loop;
}

} // namespace threading::detail

dispatch_time_t dispatch_time(dispatch_time_t when, std::int64_t delta)
{
    if (when == DISPATCH_TIME_FOREVER)
        return DISPATCH_TIME_FOREVER;
    if (when == DISPATCH_TIME_NOW)
        when = static_cast<dispatch_time_t>(std::llround(foundation::clock::monotonic() * 1e9));
    if (delta < 0)
        return static_cast<std::uint64_t>(-delta) >= when ? 1 : when - static_cast<std::uint64_t>(-delta);
    std::uint64_t sum = when + static_cast<std::uint64_t>(delta);
    return sum < when || sum == DISPATCH_TIME_FOREVER ? DISPATCH_TIME_FOREVER - 1 : sum;
}

dispatch_queue_t dispatch_get_main_queue()
{
    static auto* queue = new dispatch_queue_t(
        std::make_shared<dispatch_queue_s>(Kind::Main, "main-thread", WorkerPool::Priority::High));
    return *queue;
}

dispatch_queue_t dispatch_get_global_queue(long priority, unsigned long)
{
    static auto* high = new dispatch_queue_t(makeGlobal(DISPATCH_QUEUE_PRIORITY_HIGH, "global-queue-high"));
    static auto* normal = new dispatch_queue_t(makeGlobal(DISPATCH_QUEUE_PRIORITY_DEFAULT, "global-queue-default"));
    static auto* low = new dispatch_queue_t(makeGlobal(DISPATCH_QUEUE_PRIORITY_LOW, "global-queue-low"));
    static auto* background
        = new dispatch_queue_t(makeGlobal(DISPATCH_QUEUE_PRIORITY_BACKGROUND, "global-queue-background"));
    switch (priorityFor(priority)) {
    case WorkerPool::Priority::High:
        return *high;
    case WorkerPool::Priority::Default:
        return *normal;
    case WorkerPool::Priority::Low:
        return *low;
    case WorkerPool::Priority::Background:
        return *background;
    }
    return *normal;
}

dispatch_queue_t dispatch_queue_create(const char* label, dispatch_queue_attr_t attr)
{
    Kind kind = attr == DISPATCH_QUEUE_CONCURRENT ? Kind::Concurrent : Kind::Serial;
    return std::make_shared<dispatch_queue_s>(kind, label ? label : "", WorkerPool::Priority::Default);
}

dispatch_queue_t dispatch_get_current_queue()
{
    if (dispatch_queue_s* current = threading::detail::currentQueue())
        return current->shared_from_this();
    if (NSThread::isMainThread())
        return dispatch_get_main_queue();
    return dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
}

const char* dispatch_queue_get_label(const dispatch_queue_t& queue)
{
    if (queue)
        return queue->label.c_str();
    if (dispatch_queue_s* current = threading::detail::currentQueue())
        return current->label.c_str();
    return NSThread::isMainThread() ? dispatch_get_main_queue()->label.c_str() : "";
}

void dispatch_async(const dispatch_queue_t& queue, dispatch_block_t block) { enqueue(queue, std::move(block), false); }

void dispatch_sync(const dispatch_queue_t& queue, const dispatch_block_t& block) { enqueueAndWait(queue, block, false); }

void dispatch_barrier_async(const dispatch_queue_t& queue, dispatch_block_t block)
{
    enqueue(queue, std::move(block), true);
}

void dispatch_barrier_sync(const dispatch_queue_t& queue, const dispatch_block_t& block)
{
    enqueueAndWait(queue, block, true);
}

void dispatch_after(dispatch_time_t when, const dispatch_queue_t& queue, dispatch_block_t block)
{
    if (!queue || !block || when == DISPATCH_TIME_FOREVER)
        return;
    double deadline = threading::detail::secondsForDispatchTime(when);
    if (deadline <= foundation::clock::monotonic()) {
        dispatch_async(queue, std::move(block));
        return;
    }
    auto timer = NSTimer::timerWithDeadline(deadline, 0, false,
        [queue, block = std::move(block)](const std::shared_ptr<NSTimer>&) { dispatch_async(queue, block); });
    threading::detail::managerRunLoop()->addTimer(timer, NSRunLoopCommonModes);
}

void dispatch_once(dispatch_once_t* predicate, const dispatch_block_t& block) { std::call_once(*predicate, block); }

void dispatch_queue_set_specific(
    const dispatch_queue_t& queue, const void* key, void* context, dispatch_function_t destructor)
{
    if (!queue || !key)
        return;
    std::pair<void*, dispatch_function_t> old { nullptr, nullptr };
    {
        std::lock_guard lock(queue->mutex);
        auto it = queue->specifics.find(key);
        if (it != queue->specifics.end()) {
            old = it->second;
            queue->specifics.erase(it);
        }
        if (context)
            queue->specifics[key] = { context, destructor };
    }
    if (old.second)
        old.second(old.first);
}

void* dispatch_queue_get_specific(const dispatch_queue_t& queue, const void* key)
{
    if (!queue)
        return nullptr;
    std::lock_guard lock(queue->mutex);
    auto it = queue->specifics.find(key);
    return it == queue->specifics.end() ? nullptr : it->second.first;
}

void* dispatch_get_specific(const void* key)
{
    dispatch_queue_s* current = threading::detail::currentQueue();
    if (!current)
        return NSThread::isMainThread() ? dispatch_queue_get_specific(dispatch_get_main_queue(), key) : nullptr;
    std::lock_guard lock(current->mutex);
    auto it = current->specifics.find(key);
    return it == current->specifics.end() ? nullptr : it->second.first;
}
