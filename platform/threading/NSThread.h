// NSThread: a named thread with its own run loop. Any thread gets an NSThread object when it
// first asks for currentThread(). The main thread is the one that starts the platform: the app
// or the test calls threading::becomeMainThread(); otherwise the first thread that asks for the
// main thread or the main run loop becomes it.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <pthread.h>
#include <vector>

#include "platform/foundation/Value.h"
#include "platform/threading/NSRunLoop.h"

class NSThread;
namespace threading {
void becomeMainThread();
void detail_markThreadFinished(NSThread& thread);
}

class NSThread : public NSObject {
public:
    // A thread that runs `block` once started (an empty block runs main()).
    static std::shared_ptr<NSThread> create(std::function<void()> block = {});
    static std::shared_ptr<NSThread> detachNewThreadWithBlock(std::function<void()> block);

    static std::shared_ptr<NSThread> currentThread();
    static std::shared_ptr<NSThread> mainThread();
    // Whether the calling thread is the main thread.
    static bool isMainThread();
    static void sleepForTimeInterval(NSTimeInterval seconds);
    static void sleepUntilDate(NSTimeInterval date);
    // Ends the calling thread (a thread started by start()); its run loop drops pending work.
    [[noreturn]] static void exit();

    explicit NSThread(std::function<void()> block = {});
    ~NSThread() override;
    std::string className() const override { return "NSThread"; }

    void start();
    // The thread's body; subclasses may override. By default it runs the block.
    virtual void main();
    void cancel();
    bool isCancelled() const;
    bool isExecuting() const;
    bool isFinished() const;
    bool isMain() const;

    // The full name; the kernel keeps at most 15 bytes of it.
    std::string name() const;
    void setName(std::string name);
    // The kernel's id of the thread (0 before it started).
    long systemThreadID() const;

    std::shared_ptr<NSRunLoop> runLoop();
    // Per-thread storage; to be used from the thread itself.
    Value& threadDictionary() { return threadDictionary_; }

private:
    friend void threading::becomeMainThread();
    friend void threading::detail_markThreadFinished(NSThread& thread);
    void attachToCallingThread();
    void applyNameLocked();
    void markFinished();

    mutable std::mutex mutex_;
    std::function<void()> block_;
    std::string name_;
    bool started_ = false;
    bool executing_ = false;
    bool finished_ = false;
    bool cancelled_ = false;
    long tid_ = 0;
    pthread_t handle_ {};
    bool hasHandle_ = false;
    std::shared_ptr<NSRunLoop> runLoop_;
    Value threadDictionary_;
};

namespace threading {

// Makes the calling thread the main thread (once; later calls from other threads are ignored).
void becomeMainThread();

// performSelector:onThread:withObject:waitUntilDone:modes: — queues `block` on the thread's run
// loop in `modes`. With `waitUntilDone` the caller waits until it ran (or was dropped because the
// thread ended); when the caller is that thread, the block runs at once.
void performOnThread(const std::shared_ptr<NSThread>& thread, std::function<void()> block, bool waitUntilDone,
    std::vector<NSRunLoopMode> modes = { NSRunLoopCommonModes });
void performOnMainThread(std::function<void()> block, bool waitUntilDone,
    std::vector<NSRunLoopMode> modes = { NSRunLoopCommonModes });

// A block that calls `action` with the target only while the target lives: what the platform
// does with a target and a selector, minus the crash when the target is gone.
template <class T, class F>
std::function<void()> weakly(const std::shared_ptr<T>& target, F action)
{
    std::weak_ptr<T> weak = target;
    return [weak, action = std::move(action)]() mutable {
        if (auto strong = weak.lock())
            action(*strong);
    };
}

// The thrown value behind NSThread::exit(); caught where the thread started.
struct ThreadExit { };

} // namespace threading
