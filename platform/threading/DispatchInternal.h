// Internals shared by the dispatch sources files: the queue object, the current-queue marker,
// the manager thread that runs dispatch timers and descriptor sources, and a one-shot signal.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "platform/threading/Dispatch.h"
#include "platform/threading/WorkerPool.h"

class NSRunLoop;

namespace threading::detail {

// A mutex for short critical sections taken by many threads at once: it tries a little while
// before it sleeps, so that a brief collision costs neither side a system call.
class BriefMutex {
public:
    void lock()
    {
        for (int attempt = 0; attempt < 64; ++attempt) {
            if (mutex_.try_lock())
                return;
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#endif
        }
        mutex_.lock();
    }
    bool try_lock() { return mutex_.try_lock(); }
    void unlock() { mutex_.unlock(); }

private:
    std::mutex mutex_;
};

} // namespace threading::detail

struct dispatch_queue_s : std::enable_shared_from_this<dispatch_queue_s> {
    enum class Kind { Main, Global, Serial, Concurrent };
    struct Item {
        dispatch_block_t block;
        bool barrier = false;
        dispatch_group_t group; // left once the block ran
        void run();
    };

    dispatch_queue_s(Kind k, std::string l, threading::WorkerPool::Priority p)
        : kind(k)
        , label(std::move(l))
        , priority(p)
    {
    }
    ~dispatch_queue_s();

    const Kind kind;
    const std::string label;
    const threading::WorkerPool::Priority priority;
    threading::detail::BriefMutex mutex;
    std::deque<Item> items;
    bool scheduled = false; // serial: a drain job is queued or running
    std::size_t running = 0; // concurrent: blocks running now
    std::size_t drainers = 0; // concurrent: drain jobs queued or running
    std::size_t waitingDrainers = 0; // concurrent: running drainers whose block waits now
    bool barrierRunning = false; // concurrent: a barrier block runs now
    std::size_t barriers = 0; // concurrent: barrier blocks waiting in `items`
    std::size_t quickStreak = 0; // concurrent: blocks in a row that ran quickly
    bool gathering = false; // concurrent: a drainer waits for more blocks (without the lock)
    bool lingers = true; // concurrent: blocks come faster than a drainer's wait, so it waits
    std::chrono::steady_clock::time_point emptiedAt; // concurrent: when the last drainer left it empty
    std::chrono::steady_clock::time_point lastTake; // concurrent: when a drainer last took a batch
    alignas(64) std::atomic<std::uint64_t> pushes { 0 }; // concurrent: blocks added so far (read without the lock)
    std::map<const void*, std::pair<void*, dispatch_function_t>> specifics;
};

namespace threading::detail {

// The innermost queue whose block runs on this thread, or nullptr.
dispatch_queue_s* currentQueue();

// Marks the current thread as running a block of `queue` while it lives.
class CurrentQueueScope {
public:
    explicit CurrentQueueScope(dispatch_queue_s* queue);
    ~CurrentQueueScope();
    CurrentQueueScope(const CurrentQueueScope&) = delete;
    CurrentQueueScope& operator=(const CurrentQueueScope&) = delete;

private:
    dispatch_queue_s* previous_;
};

// Adds `block` to `queue` on behalf of `group` (already entered), which it leaves once it ran.
void enqueueInGroup(const dispatch_queue_t& queue, dispatch_block_t block, dispatch_group_t group);

// The run loop of the dispatch manager thread (started on first use, lives until exit).
std::shared_ptr<NSRunLoop> managerRunLoop();

// Monotonic seconds for a dispatch time (infinity for DISPATCH_TIME_FOREVER).
double secondsForDispatchTime(dispatch_time_t time);

// One waiter, one signal; the signal fires when its token is destroyed, so work that is dropped
// instead of run releases its waiter too.
class OneShot {
public:
    struct Token {
        explicit Token(std::shared_ptr<OneShot> o)
            : owner(std::move(o))
        {
        }
        Token(const Token&) = delete;
        Token& operator=(const Token&) = delete;
        ~Token() { owner->fire(); }
        std::shared_ptr<OneShot> owner;
    };
    static std::shared_ptr<Token> make() { return std::make_shared<Token>(std::make_shared<OneShot>()); }
    void fire()
    {
        std::lock_guard lock(mutex_);
        done_ = true;
        cv_.notify_all();
    }
    void wait()
    {
        BlockingScope blocking;
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [&] { return done_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
};

} // namespace threading::detail
