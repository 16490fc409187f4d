// Dispatch queues: serial queues drain in batches on the worker pool, concurrent queues hand
// each block to the pool and hold back behind a barrier, the main queue waits for the main run
// loop. Also time, once, specific keys, dispatch_after and the manager thread.
#include <algorithm>
#include <chrono>
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
    if (loop && !loop->isRunningOnCurrentThread())
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
        for (auto& item : local)
            item.run();
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
//
// Blocks of unknown length are taken one at a time, with one more drainer whenever more blocks
// wait than drainers are free, so blocks that block never hold up the others. Once a queue's
// blocks have shown themselves quick, drainers take them in batches (the whole queue when it is
// short), one drainer waits a moment for more instead of leaving (while blocks keep coming
// faster than that moment: a wait that sees nothing stops the waiting until a block comes that
// soon after the queue emptied), and more drainers are added
// only for a large backlog, at most one per processor: short blocks then cost no fight over the
// lock and no thread wake-ups. A batch is handed back to the queue (and the queue forgets it was
// quick) when one of its blocks blocks in a platform wait or the batch runs long; while a block
// waits, its drainer is not counted on to come back for the blocks that arrive.
constexpr std::size_t kConcurrentWidth = 64;
constexpr std::size_t kBatchLimit = 64;
constexpr std::size_t kWholeQueueLimit = 256;
constexpr std::size_t kQuickStreakForBatches = 32;
constexpr auto kQuickBlock = std::chrono::microseconds(20);
constexpr auto kBatchSlice = std::chrono::milliseconds(1);
constexpr auto kLinger = std::chrono::microseconds(50);
constexpr auto kGather = std::chrono::microseconds(5);

using SteadyClock = std::chrono::steady_clock;

std::size_t processorCount()
{
    static const std::size_t cpus = std::max(2u, std::thread::hardware_concurrency());
    return cpus;
}

bool takesBatches(const dispatch_queue_s& queue) { return queue.quickStreak >= kQuickStreakForBatches; }

void drainConcurrent(const std::shared_ptr<dispatch_queue_s>& queue);

void addDrainerIfUsefulLocked(const std::shared_ptr<dispatch_queue_s>& queue)
{
    if (queue->drainers >= kConcurrentWidth || queue->items.empty())
        return;
    if (queue->barrierRunning || queue->items.front().barrier)
        return;
    std::size_t freeDrainers = queue->drainers - queue->running;
    // Every drainer busy for a while now, or waiting in a block: its blocks are not quick, and
    // none of them will come back soon for more.
    if (takesBatches(*queue) && freeDrainers == 0
        && (queue->running == queue->waitingDrainers || SteadyClock::now() - queue->lastTake > kBatchSlice))
        queue->quickStreak = 0;
    if (takesBatches(*queue)) {
        if (queue->drainers >= processorCount() || queue->items.size() <= (freeDrainers + 1) * kWholeQueueLimit)
            return;
    } else if (queue->items.size() <= freeDrainers) {
        return;
    }
    ++queue->drainers;
    WorkerPool::shared().submit(queue->priority, [queue] { drainConcurrent(queue); });
}

// The blocks one drainer took; those not yet started go back to the queue's head when the
// drainer blocks or its batch runs long.
class Batch final : public threading::HeldWork {
public:
    explicit Batch(const std::shared_ptr<dispatch_queue_s>& queue)
        : queue_(queue)
    {
    }
    std::deque<dispatch_queue_s::Item> blocks;
    std::size_t next = 0;

    void handBack()
    {
        std::lock_guard lock(queue_->mutex);
        handBackLocked();
    }

    // While one of its blocks waits, the queue counts this drainer as waiting: it will not
    // come back soon for the blocks that arrive meanwhile.
    void blockingBegan() override
    {
        std::lock_guard lock(queue_->mutex);
        if (waits_++ == 0)
            ++queue_->waitingDrainers;
        handBackLocked();
    }

    void blockingEnded() override
    {
        std::lock_guard lock(queue_->mutex);
        if (--waits_ == 0)
            --queue_->waitingDrainers;
    }

private:
    // Also when nothing is left to hand back: the queue forgets its blocks were quick, so blocks
    // that arrive meanwhile get a drainer of their own.
    void handBackLocked()
    {
        for (std::size_t i = blocks.size(); i-- > next;)
            queue_->items.push_front(std::move(blocks[i]));
        if (next < blocks.size()) {
            blocks.erase(blocks.begin() + static_cast<std::ptrdiff_t>(next), blocks.end());
            queue_->pushes.store(queue_->pushes.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        }
        queue_->quickStreak = 0;
        addDrainerIfUsefulLocked(queue_);
    }

    const std::shared_ptr<dispatch_queue_s>& queue_;
    int waits_ = 0;
};

// Lets a moment pass without touching shared memory, so a producer keeps its cache lines.
void pauseBriefly()
{
    for (int i = 0; i < 16; ++i) {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#else
        std::this_thread::yield();
#endif
    }
}

// Spins a moment, without the lock, for a producer in full swing, while the queue holds
// `waiting` blocks (fewer than half a batch). An empty queue refilled this way is cheaper than
// a new drainer; a few blocks are better taken in one go than one by one in a fight with the
// producer for the lock.
// False when nothing came.
bool waitForMore(const dispatch_queue_s& queue, std::size_t waiting)
{
    std::uint64_t seen = queue.pushes.load(std::memory_order_relaxed);
    auto until = SteadyClock::now() + kLinger;
    while (waiting == 0 && queue.pushes.load(std::memory_order_relaxed) == seen) {
        if (SteadyClock::now() > until)
            return false;
        pauseBriefly();
    }
    until = SteadyClock::now() + kGather;
    while (waiting + (queue.pushes.load(std::memory_order_relaxed) - seen) < kBatchLimit / 2) {
        if (SteadyClock::now() > until)
            break;
        pauseBriefly();
    }
    return true;
}

void drainConcurrent(const std::shared_ptr<dispatch_queue_s>& queue)
{
    CurrentQueueScope scope(queue.get());
    Batch batch(queue);
    std::unique_lock lock(queue->mutex);
    bool waited = false;
    for (;;) {
        // No lingering while work waits in the pool for this worker (it would wait the longer).
        if (!waited && queue->lingers && !queue->barrierRunning && takesBatches(*queue)
            && !WorkerPool::currentJobHoldsUpWork()
            && queue->items.size() < kBatchLimit / 2
            && (queue->items.empty() || !queue->items.front().barrier)) {
            if (queue->gathering) {
                --queue->drainers; // one drainer waiting for more is enough
                return;
            }
            waited = true;
            queue->gathering = true;
            std::size_t waiting = queue->items.size();
            lock.unlock();
            bool came = waitForMore(*queue, waiting);
            lock.lock();
            queue->gathering = false;
            queue->lingers = came || !queue->items.empty();
            continue;
        }
        waited = false;
        if (queue->items.empty() || queue->barrierRunning) {
            if (--queue->drainers == 0 && queue->items.empty())
                queue->emptiedAt = SteadyClock::now();
            return;
        }
        bool barrier = queue->items.front().barrier;
        if (barrier && queue->running > 0) {
            --queue->drainers; // a drainer still running a block will take it
            return;
        }
        bool batches = !barrier && takesBatches(*queue);
        if (batches && queue->barriers == 0 && queue->items.size() <= kWholeQueueLimit) {
            batch.blocks.swap(queue->items); // all at once: the lock is held only a moment
        } else {
            std::size_t take = batches ? std::min(kBatchLimit, queue->items.size()) : 1;
            while (batch.blocks.size() < take && !queue->items.empty() && (barrier || !queue->items.front().barrier)) {
                batch.blocks.push_back(std::move(queue->items.front()));
                queue->items.pop_front();
            }
        }
        if (barrier)
            --queue->barriers;
        if (batches)
            queue->lastTake = SteadyClock::now();
        ++queue->running;
        queue->barrierRunning = barrier;
        if (!barrier && !queue->items.empty())
            addDrainerIfUsefulLocked(queue);
        lock.unlock();
        auto started = SteadyClock::now();
        {
            threading::HeldWorkScope held(&batch);
            while (batch.next < batch.blocks.size()) {
                dispatch_queue_s::Item item = std::move(batch.blocks[batch.next++]);
                item.run();
                if (batches && batch.next % 8 == 0 && batch.next < batch.blocks.size()
                    && SteadyClock::now() - started > kBatchSlice)
                    batch.handBack();
            }
        }
        auto elapsed = SteadyClock::now() - started;
        std::size_t ran = batch.blocks.size();
        batch.blocks.clear();
        batch.next = 0;
        lock.lock();
        --queue->running;
        if (barrier)
            queue->barrierRunning = false;
        else if (ran > 0 && elapsed <= kQuickBlock * ran)
            queue->quickStreak += ran;
        else
            queue->quickStreak = 0;
    }
}

void enqueue(const dispatch_queue_t& queue, dispatch_block_t block, bool barrier, dispatch_group_t group = nullptr)
{
    if (!queue || !block)
        return;
    switch (queue->kind) {
    case Kind::Main: {
        bool wasEmpty;
        {
            std::lock_guard lock(queue->mutex);
            wasEmpty = queue->items.empty();
            queue->items.push_back({ std::move(block), false, std::move(group) });
        }
        if (wasEmpty)
            wakeMainLoop();
        return;
    }
    case Kind::Serial: {
        bool schedule;
        {
            std::lock_guard lock(queue->mutex);
            queue->items.push_back({ std::move(block), false, std::move(group) });
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
        bool isBarrier = barrier && queue->kind == Kind::Concurrent;
        queue->items.push_back({ std::move(block), isBarrier, std::move(group) });
        queue->barriers += isBarrier ? 1 : 0;
        queue->pushes.store(queue->pushes.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        if (queue->drainers == 0) {
            if (!queue->lingers && takesBatches(*queue) && SteadyClock::now() - queue->emptiedAt < kLinger)
                queue->lingers = true;
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

void dispatch_queue_s::Item::run()
{
    block();
    block = nullptr;
    if (group)
        dispatch_group_leave(std::exchange(group, nullptr));
}

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
    for (auto& item : local)
        item.run();
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

void enqueueInGroup(const dispatch_queue_t& queue, dispatch_block_t block, dispatch_group_t group)
{
    enqueue(queue, std::move(block), false, std::move(group));
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

namespace {

void scheduleOnManager(double deadline, dispatch_queue_t queue, dispatch_block_t block)
{
    auto timer = NSTimer::timerWithDeadline(deadline, 0, false,
        [queue = std::move(queue), block = std::move(block)](const std::shared_ptr<NSTimer>&) {
            dispatch_async(queue, block);
        });
    threading::detail::managerRunLoop()->addTimer(timer, NSRunLoopCommonModes);
}

// In virtual time, delayed blocks are handed to their queues by the thread that advances the
// clock, before the advance returns; a test that then pumps its main loop always finds them
// there. (Through the manager thread they would arrive a moment later, racing the pump.)
struct VirtualAfters {
    struct Entry {
        double deadline;
        std::uint64_t order;
        dispatch_queue_t queue;
        dispatch_block_t block;
    };
    std::mutex mutex;
    std::vector<Entry> entries;
    std::uint64_t nextOrder = 0;
    bool listening = false;
};

VirtualAfters& virtualAfters()
{
    static auto* afters = new VirtualAfters; // never destroyed: the clock may call in during exit
    return *afters;
}

void handOverVirtualAfters()
{
    VirtualAfters& afters = virtualAfters();
    std::vector<VirtualAfters::Entry> due;
    bool isVirtual = foundation::clock::isVirtual();
    double now = foundation::clock::monotonic() + 1e-6;
    {
        std::lock_guard lock(afters.mutex);
        auto firstLater = std::stable_partition(afters.entries.begin(), afters.entries.end(),
            [&](const VirtualAfters::Entry& e) { return !isVirtual || e.deadline <= now; });
        due.assign(std::make_move_iterator(afters.entries.begin()), std::make_move_iterator(firstLater));
        afters.entries.erase(afters.entries.begin(), firstLater);
    }
    std::sort(due.begin(), due.end(), [](const auto& a, const auto& b) {
        return a.deadline < b.deadline || (a.deadline == b.deadline && a.order < b.order);
    });
    for (auto& entry : due) {
        // Back in real time, what is left waits on the manager thread as usual.
        if (!isVirtual && entry.deadline > now)
            scheduleOnManager(entry.deadline, std::move(entry.queue), std::move(entry.block));
        else
            dispatch_async(entry.queue, std::move(entry.block));
    }
}

} // namespace

void dispatch_after(dispatch_time_t when, const dispatch_queue_t& queue, dispatch_block_t block)
{
    if (!queue || !block || when == DISPATCH_TIME_FOREVER)
        return;
    double deadline = threading::detail::secondsForDispatchTime(when);
    if (deadline <= foundation::clock::monotonic()) {
        dispatch_async(queue, std::move(block));
        return;
    }
    if (!foundation::clock::isVirtual()) {
        scheduleOnManager(deadline, queue, std::move(block));
        return;
    }
    VirtualAfters& afters = virtualAfters();
    std::lock_guard lock(afters.mutex);
    afters.entries.push_back({ deadline, afters.nextOrder++, queue, std::move(block) });
    if (!afters.listening) {
        afters.listening = true;
        foundation::clock::addListener([] { handOverVirtualAfters(); });
    }
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
