// Locks: blocking waits tell the worker pool so that it can lend another thread meanwhile.
#include "platform/threading/NSLock.h"

#include "platform/threading/WorkerPool.h"

namespace {

// Polls a timed lock in slices so that a virtual-time deadline is honoured too.
template <class Mutex>
bool lockWithDeadline(Mutex& mutex, double deadline)
{
    threading::BlockingScope blocking;
    for (;;) {
        double left = deadline - foundation::clock::monotonic();
        if (left <= 0)
            return mutex.try_lock();
        double slice = foundation::clock::isVirtual() ? 0.005 : std::min(left, 60.0);
        if (mutex.try_lock_for(std::chrono::duration<double>(slice)))
            return true;
    }
}

} // namespace

void NSLock::lock()
{
    if (mutex_.try_lock())
        return;
    threading::BlockingScope blocking;
    mutex_.lock();
}

bool NSLock::lockBeforeDate(NSTimeInterval date)
{
    return mutex_.try_lock() || lockWithDeadline(mutex_, threading::deadlineForDate(date));
}

void NSRecursiveLock::lock()
{
    if (mutex_.try_lock())
        return;
    threading::BlockingScope blocking;
    mutex_.lock();
}

bool NSRecursiveLock::lockBeforeDate(NSTimeInterval date)
{
    return mutex_.try_lock() || lockWithDeadline(mutex_, threading::deadlineForDate(date));
}

void NSCondition::wait()
{
    threading::BlockingScope blocking;
    std::unique_lock lock(mutex_, std::adopt_lock);
    cv_.wait(lock);
    lock.release();
}

bool NSCondition::waitUntilDate(NSTimeInterval date)
{
    threading::BlockingScope blocking;
    double deadline = threading::deadlineForDate(date);
    std::unique_lock lock(mutex_, std::adopt_lock);
    bool signalled = false;
    if (deadline - foundation::clock::monotonic() > 0) {
        // One wait only: the caller re-tests its own predicate, as with any condition.
        double left = deadline - foundation::clock::monotonic();
        if (foundation::clock::isVirtual()) {
            // One short slice: the caller re-tests its predicate, as after any wake-up, and a
            // signal that raced with the slice's end is not waited for until the far deadline.
            cv_.wait_for(lock, std::chrono::milliseconds(5));
            signalled = deadline - foundation::clock::monotonic() > 0;
        } else {
            signalled = cv_.wait_for(lock, std::chrono::duration<double>(std::min(left, 1e7)))
                == std::cv_status::no_timeout;
        }
    }
    lock.release();
    return signalled;
}
