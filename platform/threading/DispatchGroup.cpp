// Dispatch groups and counting semaphores.
#include <atomic>
#include <condition_variable>
#include <vector>

#include "platform/threading/DispatchInternal.h"
#include "platform/threading/Time.h"

namespace {
constexpr long kTimedOut = 49;
} // namespace

// The count is atomic so that entering and leaving, done once per block by every worker, take
// no lock; the mutex guards the notifications and the waiters, and is taken only on emptying.
struct dispatch_group_s {
    std::mutex mutex;
    std::condition_variable emptied;
    std::atomic<long> count { 0 };
    std::vector<std::pair<dispatch_queue_t, dispatch_block_t>> notifications;
};

struct dispatch_semaphore_s {
    std::mutex mutex;
    std::condition_variable available;
    long value = 0;
    long waiters = 0;
};

dispatch_group_t dispatch_group_create() { return std::make_shared<dispatch_group_s>(); }

void dispatch_group_enter(const dispatch_group_t& group)
{
    if (!group)
        return;
    group->count.fetch_add(1, std::memory_order_relaxed);
}

void dispatch_group_leave(const dispatch_group_t& group)
{
    if (!group)
        return;
    long count = group->count.load(std::memory_order_relaxed);
    do {
        if (count <= 0)
            return; // a leave without an enter is ignored rather than corrupting the count
    } while (!group->count.compare_exchange_weak(count, count - 1, std::memory_order_acq_rel));
    if (count > 1)
        return;
    std::vector<std::pair<dispatch_queue_t, dispatch_block_t>> ready;
    {
        // Waiters and notifiers look at the count under the lock, so none misses this emptying.
        std::lock_guard lock(group->mutex);
        group->emptied.notify_all();
        if (group->count.load(std::memory_order_acquire) > 0)
            return; // entered again meanwhile: the notifications wait for the next emptying
        ready.swap(group->notifications);
    }
    for (auto& [queue, block] : ready)
        dispatch_async(queue, std::move(block));
}

void dispatch_group_async(const dispatch_group_t& group, const dispatch_queue_t& queue, dispatch_block_t block)
{
    if (!group || !queue || !block)
        return;
    dispatch_group_enter(group);
    threading::detail::enqueueInGroup(queue, std::move(block), group);
}

void dispatch_group_notify(const dispatch_group_t& group, const dispatch_queue_t& queue, dispatch_block_t block)
{
    if (!group || !queue || !block)
        return;
    {
        std::lock_guard lock(group->mutex);
        if (group->count.load(std::memory_order_acquire) > 0) {
            group->notifications.emplace_back(queue, std::move(block));
            return;
        }
    }
    dispatch_async(queue, std::move(block));
}

long dispatch_group_wait(const dispatch_group_t& group, dispatch_time_t timeout)
{
    if (!group)
        return 0;
    threading::BlockingScope blocking;
    std::unique_lock lock(group->mutex);
    double deadline = threading::detail::secondsForDispatchTime(timeout);
    auto empty = [&] { return group->count.load(std::memory_order_acquire) == 0; };
    return threading::waitUntil(lock, group->emptied, deadline, empty) ? 0 : kTimedOut;
}

dispatch_semaphore_t dispatch_semaphore_create(long value)
{
    if (value < 0)
        return nullptr;
    auto semaphore = std::make_shared<dispatch_semaphore_s>();
    semaphore->value = value;
    return semaphore;
}

long dispatch_semaphore_wait(const dispatch_semaphore_t& semaphore, dispatch_time_t timeout)
{
    if (!semaphore)
        return kTimedOut;
    std::unique_lock lock(semaphore->mutex);
    if (semaphore->value > 0) {
        --semaphore->value;
        return 0;
    }
    threading::BlockingScope blocking;
    ++semaphore->waiters;
    double deadline = threading::detail::secondsForDispatchTime(timeout);
    bool got = threading::waitUntil(lock, semaphore->available, deadline, [&] { return semaphore->value > 0; });
    --semaphore->waiters;
    if (!got)
        return kTimedOut;
    --semaphore->value;
    return 0;
}

long dispatch_semaphore_signal(const dispatch_semaphore_t& semaphore)
{
    if (!semaphore)
        return 0;
    std::lock_guard lock(semaphore->mutex);
    ++semaphore->value;
    if (semaphore->waiters == 0)
        return 0;
    semaphore->available.notify_one();
    return 1;
}
