// The worker pool: priority FIFOs, one mutex, one condition, and a watchdog for blocked workers.
#include "platform/threading/WorkerPool.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace threading {
namespace {
thread_local WorkerPool* currentPool = nullptr;
thread_local HeldWork* currentHeldWork = nullptr;
// Jobs the running job queued without waking anyone (see submit).
thread_local int owedWakes = 0;
// A block hands on to the next, and a group it belonged to may notify after it: two jobs a
// running job may queue before it wakes anyone.
constexpr int kMaxOwedWakes = 2;
} // namespace

HeldWorkScope::HeldWorkScope(HeldWork* work)
    : previous_(currentHeldWork)
{
    currentHeldWork = work;
}

HeldWorkScope::~HeldWorkScope() { currentHeldWork = previous_; }

struct WorkerPool::State {
    std::mutex mutex;
    std::condition_variable workAvailable;
    std::condition_variable allGone;
    std::condition_variable watchdogWake;
    std::deque<std::function<void()>> jobs[kPriorityCount];
    std::size_t queued = 0;
    std::size_t threads = 0;
    std::size_t idle = 0;
    std::size_t blocked = 0;
    std::size_t activeLimit;
    std::size_t threadLimit;
    double idleSeconds;
    std::uint64_t completed = 0;
    bool stopping = false;
    bool hasWatchdog = false;
};

WorkerPool::WorkerPool(std::size_t activeLimit, std::size_t threadLimit, double idleSeconds)
    : state_(std::make_shared<State>())
{
    state_->activeLimit = std::max<std::size_t>(1, activeLimit);
    state_->threadLimit = std::max(state_->activeLimit, threadLimit);
    state_->idleSeconds = idleSeconds;
}

WorkerPool::~WorkerPool()
{
    std::unique_lock lock(state_->mutex);
    state_->stopping = true;
    for (auto& fifo : state_->jobs)
        fifo.clear();
    state_->queued = 0;
    state_->workAvailable.notify_all();
    state_->watchdogWake.notify_all();
    state_->allGone.wait(lock, [&] { return state_->threads == 0 && !state_->hasWatchdog; });
}

WorkerPool& WorkerPool::shared()
{
    static WorkerPool* pool = [] {
        std::size_t cpus = std::max(2u, std::thread::hardware_concurrency());
        return new WorkerPool(cpus, 255);
    }();
    return *pool;
}

std::size_t WorkerPool::threadCount() const
{
    std::lock_guard lock(state_->mutex);
    return state_->threads;
}

void WorkerPool::submit(Priority priority, std::function<void()> job)
{
    // The sleeper is woken after the lock is let go, so that it does not wake only to wait for
    // the lock (two switches and a second futex call instead of one).
    bool wake = false;
    {
        std::lock_guard lock(state_->mutex);
        wake = submitLocked(priority, std::move(job));
    }
    if (wake)
        state_->workAvailable.notify_one();
}

// Queues the job; true when a sleeping worker is to be woken for it.
bool WorkerPool::submitLocked(Priority priority, std::function<void()> job)
{
    if (state_->stopping)
        return false;
    state_->jobs[static_cast<int>(priority)].push_back(std::move(job));
    ++state_->queued;
    // A job queued from a worker usually comes just before that worker's own job returns (one
    // block handing on to the next, then perhaps its group's notification); the worker then
    // takes it itself, and waking a sleeping worker would only cost a context switch. Should
    // the job block first, the wakes are paid then; should it run on for long, the watchdog
    // pays them.
    if (currentPool == this && owedWakes < kMaxOwedWakes) {
        ++owedWakes;
        startWatchdogLocked();
        return false;
    }
    maybeSpawnLocked();
    return state_->idle > 0;
}

bool WorkerPool::currentJobHoldsUpWork()
{
    if (currentPool == nullptr)
        return false;
    if (owedWakes > 0)
        return true;
    State& s = *currentPool->state_;
    std::lock_guard lock(s.mutex);
    return s.queued > s.idle;
}

// A new worker is due when more jobs wait than idle workers can take, and fewer workers run
// (not counting blocked ones) than the active limit allows.
void WorkerPool::maybeSpawnLocked()
{
    State& s = *state_;
    if (s.queued <= s.idle || s.threads >= s.threadLimit)
        return;
    if (s.threads - s.blocked < s.activeLimit)
        spawnLocked();
    if (s.queued > 0)
        startWatchdogLocked();
}

void WorkerPool::startWatchdogLocked()
{
    if (state_->hasWatchdog)
        return;
    state_->hasWatchdog = true;
    std::thread([this] { watchdogLoop(); }).detach();
}

void WorkerPool::spawnLocked()
{
    ++state_->threads;
    std::thread([this] { workerLoop(); }).detach();
}

void WorkerPool::workerLoop()
{
    currentPool = this;
    std::shared_ptr<State> keep = state_;
    State& s = *keep;
    std::unique_lock lock(s.mutex);
    for (;;) {
        if (s.stopping)
            break;
        if (s.queued > 0) {
            std::function<void()> job;
            for (auto& fifo : s.jobs) {
                if (fifo.empty())
                    continue;
                job = std::move(fifo.front());
                fifo.pop_front();
                break;
            }
            --s.queued;
            lock.unlock();
            job();
            job = nullptr;
            lock.lock();
            ++s.completed;
            owedWakes = 0; // what it queued is taken next, by this worker or another
            continue;
        }
        ++s.idle;
        bool woken = s.workAvailable.wait_for(lock, std::chrono::duration<double>(s.idleSeconds),
            [&] { return s.stopping || s.queued > 0; });
        --s.idle;
        if (!woken)
            break;
    }
    --s.threads;
    currentPool = nullptr;
    if (s.threads == 0)
        s.allGone.notify_all();
}

// Wakes up every 20 ms while jobs wait: jobs waiting while workers sleep get a worker woken (a
// job that queued work and ran on), and when no job finished since the last look, every worker
// is stuck somewhere the pool cannot see, so one more thread is lent. It lingers for a second
// after the queue empties, so that a steady flow of work does not start one thread after another.
void WorkerPool::watchdogLoop()
{
    std::shared_ptr<State> keep = state_;
    State& s = *keep;
    std::unique_lock lock(s.mutex);
    std::uint64_t lastCompleted = s.completed;
    int emptyTicks = 0;
    while (!s.stopping && emptyTicks < 50) {
        s.watchdogWake.wait_for(lock, std::chrono::milliseconds(20));
        if (s.stopping)
            break;
        emptyTicks = s.queued > 0 ? 0 : emptyTicks + 1;
        if (s.queued > 0 && s.idle > 0)
            s.workAvailable.notify_all();
        if (s.queued > s.idle && s.completed == lastCompleted && s.threads < s.threadLimit)
            spawnLocked();
        lastCompleted = s.completed;
    }
    s.hasWatchdog = false;
    s.allGone.notify_all();
}

void WorkerPool::blockingBegan()
{
    std::lock_guard lock(state_->mutex);
    for (; owedWakes > 0; --owedWakes) {
        if (state_->idle > 0)
            state_->workAvailable.notify_one();
    }
    ++state_->blocked;
    maybeSpawnLocked();
}

void WorkerPool::blockingEnded()
{
    std::lock_guard lock(state_->mutex);
    --state_->blocked;
}

BlockingScope::BlockingScope()
    : pool_(currentPool)
    , held_(currentHeldWork)
{
    if (held_)
        held_->blockingBegan();
    if (pool_)
        pool_->blockingBegan();
}

BlockingScope::~BlockingScope()
{
    if (pool_)
        pool_->blockingEnded();
    if (held_)
        held_->blockingEnded();
}

} // namespace threading
