// NSRunLoop: each thread's event loop, on epoll, an eventfd and a timer heap. It runs, in a mode,
// the work queued for it (performs), its timers, its file-descriptor sources and, on the main
// thread, the main dispatch queue. Ports keep a loop alive without doing anything. Runs nest: a
// callback may run the loop again (in the same or another mode) to wait for something.
// Advancing the platform clock in virtual time wakes every loop, so due timers fire at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <queue>
#include <set>
#include <string>
#include <vector>

#include "platform/foundation/NSObject.h"
#include "platform/threading/Time.h"

using NSRunLoopMode = std::string;
// The mode names are never destroyed: threads that run past the end of main() (the network
// thread, the dispatch timer thread) still read them while the process exits.
inline const NSRunLoopMode& NSDefaultRunLoopMode = *new NSRunLoopMode("kCFRunLoopDefaultMode");
inline const NSRunLoopMode& UITrackingRunLoopMode = *new NSRunLoopMode("UITrackingRunLoopMode");
// A pseudo-mode: what is added for it is active in every common mode (default and tracking).
inline const NSRunLoopMode& NSRunLoopCommonModes = *new NSRunLoopMode("kCFRunLoopCommonModes");

class NSTimer;
class NSPort;
class NSThread;

namespace threading {
class FileDescriptorSource;
void becomeMainThread();

// Why a run in a mode returned.
enum class RunResult {
    Finished = 1, // the mode had no sources, timers or ports
    Stopped = 2, // stop() was called
    TimedOut = 3, // the time limit passed
    HandledSource = 4, // a source or perform was handled and the caller asked to return then
};

namespace detail {
struct RunLoopWaker;
}
} // namespace threading

class NSRunLoop : public NSObject {
public:
    // A timer within this much of its fire date counts as due: sums of advanced virtual time
    // and fire dates drift apart by rounding.
    static constexpr double kTimerSlack = 1e-6;

    // The current thread's loop (made on first use) and the main thread's loop.
    static std::shared_ptr<NSRunLoop> currentRunLoop();
    static std::shared_ptr<NSRunLoop> mainRunLoop();

    NSRunLoop();
    ~NSRunLoop() override;
    std::string className() const override { return "NSRunLoop"; }

    // Scheduling. Each may be called from any thread.
    void addTimer(const std::shared_ptr<NSTimer>& timer, const NSRunLoopMode& mode);
    void addPort(const std::shared_ptr<NSPort>& port, const NSRunLoopMode& mode);
    void removePort(const std::shared_ptr<NSPort>& port, const NSRunLoopMode& mode);
    // Keeps runs in `modes` going, as a port added to each would, until released: for work that
    // holds a loop for a while (a load delivering to it) without a port of its own.
    void holdRuns(const std::vector<NSRunLoopMode>& modes);
    void releaseRuns(const std::vector<NSRunLoopMode>& modes);
    void addSource(const std::shared_ptr<threading::FileDescriptorSource>& source, const NSRunLoopMode& mode);
    void removeSource(const std::shared_ptr<threading::FileDescriptorSource>& source, const NSRunLoopMode& mode);

    // Queues `block` to run once on this loop, in order, the next time it runs in one of `modes`.
    void performInModes(std::vector<NSRunLoopMode> modes, std::function<void()> block);
    void performBlock(std::function<void()> block) { performInModes({ NSRunLoopCommonModes }, std::move(block)); }

    // Runs the default mode for as long as it has sources; stop() does not end it.
    void run();
    // Runs `mode` until stop() (or until it has no sources), like the CF-level "run".
    void runUntilStopped(const NSRunLoopMode& mode = NSDefaultRunLoopMode);
    // Runs the default mode until `date` (seconds since 1970) or until it has no sources.
    void runUntilDate(NSTimeInterval date);
    // Runs `mode` once: until one source or perform was handled, or `date` passed. False when
    // the mode has no sources (nothing was run).
    bool runModeBeforeDate(const NSRunLoopMode& mode, NSTimeInterval date);
    // The general form: at most `seconds` of platform time; stop() ends it.
    threading::RunResult runInMode(const NSRunLoopMode& mode, NSTimeInterval seconds, bool returnAfterSourceHandled);
    // For test fixtures: like runInMode, with the limit in real seconds whatever the clock does.
    threading::RunResult runInModeForRealSeconds(
        const NSRunLoopMode& mode, double realSeconds, bool returnAfterSourceHandled);
    // Ends the innermost run (now, or the next one to start when none runs).
    void stop();
    // Interrupts the wait of the loop so that it looks at its work again.
    void wakeUp();
    // True while the current thread is inside a run of this loop (so the loop is not waiting).
    bool isRunningOnCurrentThread() const;
    // The mode of the innermost run, or none when the loop is not running.
    std::optional<NSRunLoopMode> currentMode() const;
    // True when the current thread is inside a run of this loop whose mode is one of `modes`
    // (the common modes standing for the default and tracking modes). Copies nothing.
    bool isRunningHereInOneOf(const std::vector<NSRunLoopMode>& modes) const;
    // True when `mode` has anything that keeps a run going.
    bool hasSourcesInMode(const NSRunLoopMode& mode) const;

    // Work waiting right now (performs, due timers, main-queue blocks): for settling in tests.
    bool hasReadyWork(const NSRunLoopMode& mode) const;

private:
    friend class NSTimer;
    friend class NSThread;
    friend class threading::FileDescriptorSource;
    friend void threading::becomeMainThread();

    struct Perform {
        std::vector<NSRunLoopMode> modes;
        std::function<void()> block;
    };
    struct TimerEntry {
        std::shared_ptr<NSTimer> timer;
        std::set<NSRunLoopMode> modes;
    };
    struct HeapItem {
        double fire;
        std::uint64_t sequence;
        NSTimer* timer;
        std::uint64_t generation;
        bool operator<(const HeapItem& o) const
        {
            return fire != o.fire ? fire > o.fire : sequence > o.sequence; // min-heap
        }
    };
    struct SourceEntry {
        std::shared_ptr<threading::FileDescriptorSource> source;
        std::set<NSRunLoopMode> modes;
        std::uint32_t registered = 0; // events given to epoll, 0 when not registered
        // What the last arming saw: whether `modes` matched `armedMode_`, the source's interest
        // version and whether its callback was running. Unchanged, the source needs no arming.
        bool inArmedMode = false;
        std::uint32_t seenInterest = 0;
        bool seenDispatching = false;
    };
    struct PortEntry {
        std::shared_ptr<NSPort> port;
        std::set<NSRunLoopMode> modes;
    };
    struct DelayedPerform {
        std::string selector;
        std::weak_ptr<NSTimer> timer;
    };

    static bool modeMatches(const std::set<NSRunLoopMode>& modes, const NSRunLoopMode& mode);
    static bool modeMatches(const std::vector<NSRunLoopMode>& modes, const NSRunLoopMode& mode);

    threading::RunResult runCore(
        const NSRunLoopMode& mode, double deadline, double realDeadline, bool returnAfterSourceHandled);
    bool prepareWait(const NSRunLoopMode& mode, double deadline, double realDeadline, int& timeoutMs);
    static int waitMilliseconds(double until, double realDeadline);
    bool runPerforms(const NSRunLoopMode& mode);
    bool drainMainQueue(const NSRunLoopMode& mode);
    bool fireTimers(const NSRunLoopMode& mode);
    bool waitAndDispatchSources(const NSRunLoopMode& mode, int timeoutMs);
    void armSourcesLocked(const NSRunLoopMode& mode);
    bool hasSourcesLocked(const NSRunLoopMode& mode) const;
    bool nextTimerLocked(const NSRunLoopMode& mode, double& fire);

    // Called by NSTimer and FileDescriptorSource.
    void timerScheduleChanged(NSTimer* timer);
    void removeTimer(NSTimer* timer);
    void detachSource(threading::FileDescriptorSource* source);
    void wakeUnlessRunningHere();
    // The loop whose run the current thread is inside, if any.
    static const NSRunLoop* runningHere();
    void threadExited();
    void setMain();

    // Delayed performs registered by target, for cancelPreviousPerformRequestsWithTarget.
    friend void registerDelayedPerform(
        NSRunLoop& loop, const void* target, std::string selector, const std::shared_ptr<NSTimer>& timer);
    friend void cancelDelayedPerforms(NSRunLoop& loop, const void* target, const std::string* selector);

    mutable std::mutex mutex_;
    int epoll_ = -1;
    std::shared_ptr<threading::detail::RunLoopWaker> waker_;
    std::uint64_t clockListener_ = 0;
    std::deque<Perform> performs_;
    std::map<NSTimer*, TimerEntry> timers_;
    std::priority_queue<HeapItem> heap_;
    std::uint64_t heapSequence_ = 0;
    std::map<std::uint64_t, SourceEntry> sources_;
    std::map<NSPort*, PortEntry> ports_;
    std::map<NSRunLoopMode, int> holds_; // entries stay at zero, so a hold allocates only once
    std::multimap<const void*, DelayedPerform> delayedPerforms_;
    std::vector<NSRunLoopMode> modeStack_;
    // Arming: the mode the sources were last armed for, and whether every source must be looked
    // at again (a source was added or removed, or its modes changed) rather than only those whose
    // interest changed or whose callback started or ended.
    NSRunLoopMode armedMode_;
    bool armAll_ = true;
    std::atomic<bool> stopRequested_ { false };
    std::atomic<bool> isMain_ { false };
    bool threadExited_ = false;
};

// A port: added to a loop in a mode, it keeps runs in that mode going.
class NSPort : public NSObject {
public:
    static std::shared_ptr<NSPort> port() { return std::make_shared<NSPort>(); }
    std::string className() const override { return "NSPort"; }
};
