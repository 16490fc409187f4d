// Dispatch groups and counting semaphores.
#include <condition_variable>
#include <vector>

#include "platform/threading/DispatchInternal.h"
#include "platform/threading/Time.h"

namespace {
constexpr long kTimedOut = 49;
} // namespace

struct dispatch_group_s {
    std::mutex mutex;
    std::condition_variable emptied;
    long count = 0;
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
    std::lock_guard lock(group->mutex);
    ++group->count;
}

void dispatch_group_leave(const dispatch_group_t& group)
{
    if (!group)
        return;
    std::vector<std::pair<dispatch_queue_t, dispatch_block_t>> ready;
    {
        std::lock_guard lock(group->mutex);
        if (group->count <= 0)
            return; // a leave without an enter is ignored rather than corrupting the count
        if (--group->count > 0)
            return;
        ready.swap(group->notifications);
        group->emptied.notify_all();
    }
    for (auto& [queue, block] : ready)
        dispatch_async(queue, std::move(block));
}

void dispatch_group_async(const dispatch_group_t& group, const dispatch_queue_t& queue, dispatch_block_t block)
{
    if (!group || !queue || !block)
        return;
    dispatch_group_enter(group);
    dispatch_async(queue, [group, block = std::move(block)] {
        block();
        dispatch_group_leave(group);
    });
}

void dispatch_group_notify(const dispatch_group_t& group, const dispatch_queue_t& queue, dispatch_block_t block)
{
    if (!group || !queue || !block)
        return;
    {
        std::lock_guard lock(group->mutex);
        if (group->count > 0) {
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
    return threading::waitUntil(lock, group->emptied, deadline, [&] { return group->count == 0; }) ? 0 : kTimedOut;
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
