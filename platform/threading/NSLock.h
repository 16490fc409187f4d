// Locks: NSLock, NSRecursiveLock and NSCondition. All three meet the standard Lockable
// requirements, so std::lock_guard and std::unique_lock work with them.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>

#include "platform/foundation/NSObject.h"
#include "platform/threading/Time.h"

class NSLock : public NSObject {
public:
    void lock();
    void unlock() { mutex_.unlock(); }
    bool tryLock() { return mutex_.try_lock(); }
    bool try_lock() { return tryLock(); }
    // Waits for the lock until `date` (seconds since 1970); false when the date passed first.
    bool lockBeforeDate(NSTimeInterval date);

    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    std::string className() const override { return "NSLock"; }

private:
    std::timed_mutex mutex_;
    std::string name_;
};

class NSRecursiveLock : public NSObject {
public:
    void lock();
    void unlock() { mutex_.unlock(); }
    bool tryLock() { return mutex_.try_lock(); }
    bool try_lock() { return tryLock(); }
    bool lockBeforeDate(NSTimeInterval date);

    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    std::string className() const override { return "NSRecursiveLock"; }

private:
    std::recursive_timed_mutex mutex_;
    std::string name_;
};

// A lock with a condition: lock, test the predicate, wait, unlock.
class NSCondition : public NSObject {
public:
    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }
    bool tryLock() { return mutex_.try_lock(); }
    bool try_lock() { return tryLock(); }
    // Both must be called with the lock held; they release it while waiting.
    void wait();
    // False when `date` passed without a signal.
    bool waitUntilDate(NSTimeInterval date);
    void signal() { cv_.notify_one(); }
    void broadcast() { cv_.notify_all(); }

    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    std::string className() const override { return "NSCondition"; }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::string name_;
};
