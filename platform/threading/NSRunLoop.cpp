// NSRunLoop on epoll: one pass waits for descriptors (or a wake-up), then runs performs, the
// main queue and due timers, in that order, and checks why it should return.
#include "platform/threading/NSRunLoop.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>

#include "platform/threading/FileDescriptorSource.h"
#include "platform/threading/MainQueueHook.h"
#include "platform/threading/NSThread.h"
#include "platform/threading/NSTimer.h"
#include "platform/threading/WorkerPool.h"

namespace threading::detail {

// Wakes the loop's wait. The eventfd is written only while the loop waits (or is about to):
// a wake while it runs only marks that its next wait must not block, since every pass looks at
// its performs, sources and timers again before it waits.
struct RunLoopWaker {
    enum : int { kRunning, kWaiting, kWoken };
    int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    std::atomic<int> state { kRunning };
    ~RunLoopWaker()
    {
        if (fd >= 0)
            close(fd);
    }
    void wake()
    {
        if (state.exchange(kWoken) != kWaiting)
            return;
        std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(fd, &one, sizeof one);
    }
    // Right before a wait that may block: false when a wake came since the last wait ended.
    bool beginWait()
    {
        int expected = kRunning;
        return state.compare_exchange_strong(expected, kWaiting);
    }
    void endWait() { state.store(kRunning); }
    void drain() const
    {
        std::uint64_t value;
        [[maybe_unused]] ssize_t n = read(fd, &value, sizeof value);
    }
};

} // namespace threading::detail

namespace {

// The loop whose run the current thread is inside, if any: a loop never waits while its own
// thread is busy elsewhere, so work that thread queues for it needs no wake-up.
thread_local const NSRunLoop* tlsRunningLoop = nullptr;

double steadyNow()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool isCommonMode(const NSRunLoopMode& mode)
{
    return mode == NSDefaultRunLoopMode || mode == UITrackingRunLoopMode;
}

int toMilliseconds(double seconds)
{
    if (seconds <= 0)
        return 0;
    return static_cast<int>(std::min(std::ceil(seconds * 1000.0), 3600000.0));
}

} // namespace

std::shared_ptr<NSRunLoop> NSRunLoop::currentRunLoop() { return NSThread::currentThread()->runLoop(); }

std::shared_ptr<NSRunLoop> NSRunLoop::mainRunLoop() { return NSThread::mainThread()->runLoop(); }

NSRunLoop::NSRunLoop()
    : epoll_(epoll_create1(EPOLL_CLOEXEC))
    , waker_(std::make_shared<threading::detail::RunLoopWaker>())
{
    epoll_event event {};
    event.events = EPOLLIN;
    event.data.u64 = 0;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, waker_->fd, &event);
    std::weak_ptr<threading::detail::RunLoopWaker> weak = waker_;
    clockListener_ = foundation::clock::addListener([weak] {
        if (auto waker = weak.lock())
            waker->wake();
    });
}

NSRunLoop::~NSRunLoop()
{
    foundation::clock::removeListener(clockListener_);
    std::map<NSTimer*, TimerEntry> timers;
    std::deque<Perform> performs;
    {
        std::lock_guard lock(mutex_);
        timers.swap(timers_);
        performs.swap(performs_);
    }
    for (auto& [raw, entry] : timers)
        entry.timer->detachFromLoop();
    if (epoll_ >= 0)
        close(epoll_);
}

// Mode lists hold one or two names, so a scan with equality (lengths first) beats a tree search.
template <typename Modes>
bool modesMatch(const Modes& modes, const NSRunLoopMode& mode)
{
    for (const auto& m : modes) {
        if (m == mode)
            return true;
    }
    if (!isCommonMode(mode))
        return false;
    for (const auto& m : modes) {
        if (m == NSRunLoopCommonModes)
            return true;
    }
    return false;
}

bool NSRunLoop::modeMatches(const std::set<NSRunLoopMode>& modes, const NSRunLoopMode& mode)
{
    return modesMatch(modes, mode);
}

bool NSRunLoop::modeMatches(const std::vector<NSRunLoopMode>& modes, const NSRunLoopMode& mode)
{
    return modesMatch(modes, mode);
}

// MARK: - Scheduling

void NSRunLoop::addTimer(const std::shared_ptr<NSTimer>& timer, const NSRunLoopMode& mode)
{
    if (!timer || mode.empty())
        return;
    auto self = std::static_pointer_cast<NSRunLoop>(shared_from_this());
    if (!timer->attach(self))
        return;
    {
        std::lock_guard lock(mutex_);
        TimerEntry& entry = timers_[timer.get()];
        bool isNew = !entry.timer;
        entry.timer = timer;
        entry.modes.insert(mode);
        if (isNew)
            heap_.push({ timer->monotonicFire(), heapSequence_++, timer.get(), timer->generation() });
    }
    wakeUnlessRunningHere();
}

void NSRunLoop::timerScheduleChanged(NSTimer* timer)
{
    {
        std::lock_guard lock(mutex_);
        if (!timers_.count(timer))
            return;
        heap_.push({ timer->monotonicFire(), heapSequence_++, timer, timer->generation() });
    }
    wakeUnlessRunningHere();
}

void NSRunLoop::removeTimer(NSTimer* timer)
{
    std::shared_ptr<NSTimer> keep;
    {
        std::lock_guard lock(mutex_);
        auto it = timers_.find(timer);
        if (it == timers_.end())
            return;
        keep = std::move(it->second.timer);
        timers_.erase(it);
    }
    wakeUnlessRunningHere();
}

void NSRunLoop::addPort(const std::shared_ptr<NSPort>& port, const NSRunLoopMode& mode)
{
    if (!port || mode.empty())
        return;
    {
        std::lock_guard lock(mutex_);
        PortEntry& entry = ports_[port.get()];
        entry.port = port;
        entry.modes.insert(mode);
    }
    wakeUnlessRunningHere();
}

void NSRunLoop::removePort(const std::shared_ptr<NSPort>& port, const NSRunLoopMode& mode)
{
    std::shared_ptr<NSPort> keep;
    {
        std::lock_guard lock(mutex_);
        auto it = ports_.find(port.get());
        if (it == ports_.end())
            return;
        it->second.modes.erase(mode);
        if (it->second.modes.empty()) {
            keep = std::move(it->second.port);
            ports_.erase(it);
        }
    }
    wakeUnlessRunningHere();
}

void NSRunLoop::holdRuns(const std::vector<NSRunLoopMode>& modes)
{
    {
        std::lock_guard lock(mutex_);
        for (const auto& mode : modes)
            ++holds_[mode];
    }
    wakeUnlessRunningHere();
}

void NSRunLoop::releaseRuns(const std::vector<NSRunLoopMode>& modes)
{
    {
        std::lock_guard lock(mutex_);
        for (const auto& mode : modes) {
            auto it = holds_.find(mode);
            if (it != holds_.end() && it->second > 0)
                --it->second;
        }
    }
    wakeUnlessRunningHere();
}

void NSRunLoop::addSource(const std::shared_ptr<threading::FileDescriptorSource>& source, const NSRunLoopMode& mode)
{
    if (!source || mode.empty() || !source->isValid())
        return;
    {
        std::lock_guard lock(mutex_);
        SourceEntry& entry = sources_[source->id_];
        entry.source = source;
        entry.modes.insert(mode);
        armAll_ = true;
        std::lock_guard sourceLock(source->mutex_);
        source->loops_.push_back({ std::static_pointer_cast<NSRunLoop>(shared_from_this()), this });
    }
    if (!isRunningOnCurrentThread())
        wakeUp();
}

void NSRunLoop::removeSource(const std::shared_ptr<threading::FileDescriptorSource>& source, const NSRunLoopMode& mode)
{
    if (!source)
        return;
    std::shared_ptr<threading::FileDescriptorSource> keep;
    {
        std::lock_guard lock(mutex_);
        auto it = sources_.find(source->id_);
        if (it == sources_.end())
            return;
        it->second.modes.erase(mode);
        armAll_ = true;
        if (!it->second.modes.empty())
            return;
        if (it->second.registered)
            epoll_ctl(epoll_, EPOLL_CTL_DEL, source->fd(), nullptr);
        keep = std::move(it->second.source);
        sources_.erase(it);
    }
    wakeUp();
}

void NSRunLoop::detachSource(threading::FileDescriptorSource* source)
{
    std::shared_ptr<threading::FileDescriptorSource> keep;
    {
        std::lock_guard lock(mutex_);
        auto it = sources_.find(source->id_);
        if (it == sources_.end())
            return;
        if (it->second.registered)
            epoll_ctl(epoll_, EPOLL_CTL_DEL, source->fd(), nullptr);
        keep = std::move(it->second.source);
        sources_.erase(it);
    }
    if (!isRunningOnCurrentThread())
        wakeUp();
}

void NSRunLoop::performInModes(std::vector<NSRunLoopMode> modes, std::function<void()> block)
{
    if (!block)
        return;
    {
        std::lock_guard lock(mutex_);
        if (threadExited_)
            return; // `block` is destroyed on return, outside the lock
        performs_.push_back({ std::move(modes), std::move(block) });
    }
    if (!isRunningOnCurrentThread())
        wakeUp();
}

bool NSRunLoop::isRunningOnCurrentThread() const { return tlsRunningLoop == this; }

const NSRunLoop* NSRunLoop::runningHere() { return tlsRunningLoop; }

void NSRunLoop::threadExited()
{
    std::deque<Perform> dropped;
    {
        std::lock_guard lock(mutex_);
        threadExited_ = true;
        dropped.swap(performs_);
    }
}

void NSRunLoop::setMain()
{
    isMain_ = true;
    threading::detail::setMainRunLoop(std::static_pointer_cast<NSRunLoop>(shared_from_this()));
    wakeUp();
}

void NSRunLoop::wakeUp() { waker_->wake(); }

// A loop running on this thread looks at its timers, sources and ports again before it waits.
void NSRunLoop::wakeUnlessRunningHere()
{
    if (!isRunningOnCurrentThread())
        wakeUp();
}

void NSRunLoop::stop()
{
    stopRequested_ = true;
    wakeUp();
}

std::optional<NSRunLoopMode> NSRunLoop::currentMode() const
{
    std::lock_guard lock(mutex_);
    if (modeStack_.empty())
        return std::nullopt;
    return modeStack_.back();
}

// The mode stack changes only on the loop's own thread, so that thread reads it without the lock.
bool NSRunLoop::isRunningHereInOneOf(const std::vector<NSRunLoopMode>& modes) const
{
    if (!isRunningOnCurrentThread() || modeStack_.empty())
        return false;
    return modeMatches(modes, modeStack_.back());
}

bool NSRunLoop::hasSourcesInMode(const NSRunLoopMode& mode) const
{
    std::lock_guard lock(mutex_);
    return hasSourcesLocked(mode);
}

bool NSRunLoop::hasSourcesLocked(const NSRunLoopMode& mode) const
{
    // Cheapest first: a loop kept alive by a port or a hold answers without scanning the rest.
    if (isMain_ && isCommonMode(mode))
        return true;
    for (const auto& [raw, entry] : ports_) {
        if (modeMatches(entry.modes, mode))
            return true;
    }
    for (const auto& [held, count] : holds_) {
        if (count > 0 && (held == mode || (held == NSRunLoopCommonModes && isCommonMode(mode))))
            return true;
    }
    for (const auto& [raw, entry] : timers_) {
        if (modeMatches(entry.modes, mode))
            return true;
    }
    for (const auto& [id, entry] : sources_) {
        if (modeMatches(entry.modes, mode) && entry.source->keepsLoopAlive())
            return true;
    }
    for (const auto& perform : performs_) {
        if (modeMatches(perform.modes, mode))
            return true;
    }
    return false;
}

bool NSRunLoop::hasReadyWork(const NSRunLoopMode& mode) const
{
    if (isMain_ && isCommonMode(mode) && threading::detail::mainQueueHasBlocks())
        return true;
    std::lock_guard lock(mutex_);
    for (const auto& perform : performs_) {
        if (modeMatches(perform.modes, mode))
            return true;
    }
    double now = foundation::clock::monotonic();
    for (const auto& [raw, entry] : timers_) {
        if (modeMatches(entry.modes, mode) && entry.timer->monotonicFire() <= now + kTimerSlack)
            return true;
    }
    return false;
}

// MARK: - Running

void NSRunLoop::run()
{
    while (runCore(NSDefaultRunLoopMode, threading::kForever, threading::kForever, true)
        != threading::RunResult::Finished) {
    }
}

void NSRunLoop::runUntilStopped(const NSRunLoopMode& mode)
{
    for (;;) {
        auto result = runCore(mode, threading::kForever, threading::kForever, false);
        if (result == threading::RunResult::Stopped || result == threading::RunResult::Finished)
            return;
    }
}

void NSRunLoop::runUntilDate(NSTimeInterval date)
{
    double deadline = threading::deadlineForDate(date);
    while (foundation::clock::monotonic() < deadline) {
        if (runCore(NSDefaultRunLoopMode, deadline, threading::kForever, true) == threading::RunResult::Finished)
            return;
    }
}

bool NSRunLoop::runModeBeforeDate(const NSRunLoopMode& mode, NSTimeInterval date)
{
    return runCore(mode, threading::deadlineForDate(date), threading::kForever, true)
        != threading::RunResult::Finished;
}

threading::RunResult NSRunLoop::runInMode(const NSRunLoopMode& mode, NSTimeInterval seconds, bool returnAfterSourceHandled)
{
    return runCore(mode, threading::deadlineAfter(std::max(0.0, seconds)), threading::kForever, returnAfterSourceHandled);
}

threading::RunResult NSRunLoop::runInModeForRealSeconds(
    const NSRunLoopMode& mode, double realSeconds, bool returnAfterSourceHandled)
{
    return runCore(mode, threading::kForever, steadyNow() + std::max(0.0, realSeconds), returnAfterSourceHandled);
}

threading::RunResult NSRunLoop::runCore(
    const NSRunLoopMode& mode, double deadline, double realDeadline, bool returnAfterSourceHandled)
{
    using threading::RunResult;
    if (mode.empty() || mode == NSRunLoopCommonModes)
        return RunResult::Finished;
    // Keep the loop alive for the whole run, even if its thread object lets go meanwhile.
    auto self = std::static_pointer_cast<NSRunLoop>(shared_from_this());
    struct ModeScope {
        NSRunLoop& loop;
        const NSRunLoop* outer = tlsRunningLoop;
        ModeScope(NSRunLoop& l, const NSRunLoopMode& m)
            : loop(l)
        {
            std::lock_guard lock(loop.mutex_);
            loop.modeStack_.push_back(m);
            tlsRunningLoop = &loop;
        }
        ~ModeScope()
        {
            std::lock_guard lock(loop.mutex_);
            loop.modeStack_.pop_back();
            tlsRunningLoop = outer;
        }
    } scope(*this, mode);

    if (stopRequested_.exchange(false))
        return RunResult::Stopped;
    for (;;) {
        int timeoutMs = 0;
        if (!prepareWait(mode, deadline, realDeadline, timeoutMs))
            return RunResult::Finished;
        bool handled = waitAndDispatchSources(mode, timeoutMs);
        handled = runPerforms(mode) || handled;
        handled = drainMainQueue(mode) || handled;
        fireTimers(mode);
        if (stopRequested_.exchange(false))
            return RunResult::Stopped;
        if (handled && returnAfterSourceHandled)
            return RunResult::HandledSource;
        if (foundation::clock::monotonic() >= deadline || steadyNow() >= realDeadline)
            return RunResult::TimedOut;
    }
}

// Everything a pass needs from the shared state before it waits, under one hold of the lock:
// whether the mode still has anything to run (false: the run is finished), how long the wait
// may block, and the sources armed for the mode.
bool NSRunLoop::prepareWait(const NSRunLoopMode& mode, double deadline, double realDeadline, int& timeoutMs)
{
    bool mainQueueWaiting = isMain_ && isCommonMode(mode) && threading::detail::mainQueueHasBlocks();
    bool ready = mainQueueWaiting;
    double until = deadline;
    {
        std::lock_guard lock(mutex_);
        if (!hasSourcesLocked(mode))
            return false;
        for (auto it = performs_.begin(); !ready && it != performs_.end(); ++it)
            ready = modeMatches(it->modes, mode);
        double fire;
        if (!ready && nextTimerLocked(mode, fire))
            until = std::min(until, fire);
        armSourcesLocked(mode);
    }
    timeoutMs = ready ? 0 : waitMilliseconds(until, realDeadline);
    return true;
}

int NSRunLoop::waitMilliseconds(double until, double realDeadline)
{
    int ms = -1;
    if (until < threading::kForever) {
        double left = until - foundation::clock::monotonic();
        if (left <= kTimerSlack)
            return 0;
        // Virtual time only moves when a test advances it, and that wakes the loop.
        ms = foundation::clock::isVirtual() ? -1 : toMilliseconds(left);
    }
    if (realDeadline < threading::kForever) {
        int realMs = toMilliseconds(realDeadline - steadyNow());
        ms = ms < 0 ? realMs : std::min(ms, realMs);
    }
    return ms;
}

bool NSRunLoop::nextTimerLocked(const NSRunLoopMode& mode, double& fire)
{
    std::vector<HeapItem> elsewhere;
    bool found = false;
    while (!heap_.empty()) {
        HeapItem top = heap_.top();
        auto it = timers_.find(top.timer);
        if (it == timers_.end() || it->second.timer->generation() != top.generation) {
            heap_.pop(); // stale: invalidated or rescheduled
            continue;
        }
        if (!modeMatches(it->second.modes, mode)) {
            elsewhere.push_back(top);
            heap_.pop();
            continue;
        }
        fire = top.fire;
        found = true;
        break;
    }
    for (const auto& item : elsewhere)
        heap_.push(item);
    return found;
}

// Only sources whose interest changed, or whose callback started or ended, since the last arming
// are looked at, unless the mode differs from the last one armed or the set of sources changed.
void NSRunLoop::armSourcesLocked(const NSRunLoopMode& mode)
{
    bool all = armAll_ || armedMode_ != mode;
    if (all && armedMode_ != mode)
        armedMode_ = mode;
    armAll_ = false;
    for (auto& [id, entry] : sources_) {
        const auto& source = *entry.source;
        std::uint32_t version = source.interestVersion();
        bool dispatching = source.dispatching_.load();
        if (all)
            entry.inArmedMode = modeMatches(entry.modes, mode);
        else if (version == entry.seenInterest && dispatching == entry.seenDispatching)
            continue;
        entry.seenInterest = version;
        entry.seenDispatching = dispatching;
        std::uint32_t wanted = 0;
        if (entry.inArmedMode && !dispatching)
            wanted = source.wantedEvents();
        if (wanted == entry.registered)
            continue;
        int fd = entry.source->fd();
        if (wanted == 0) {
            epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
            entry.registered = 0;
            continue;
        }
        epoll_event event {};
        event.events = wanted;
        event.data.u64 = id;
        int op = entry.registered ? EPOLL_CTL_MOD : EPOLL_CTL_ADD;
        entry.registered = epoll_ctl(epoll_, op, fd, &event) == 0 ? wanted : 0;
    }
}

bool NSRunLoop::waitAndDispatchSources(const NSRunLoopMode& mode, int timeoutMs)
{
    epoll_event events[64];
    int count;
    if (timeoutMs == 0 || !waker_->beginWait()) {
        count = epoll_wait(epoll_, events, 64, 0);
    } else {
        threading::BlockingScope blocking;
        count = epoll_wait(epoll_, events, 64, timeoutMs);
    }
    waker_->endWait();
    bool handled = false;
    for (int i = 0; i < count; ++i) {
        // epoll_event is packed: its fields are copied out, never bound to a reference.
        const std::uint64_t key = events[i].data.u64;
        const std::uint32_t ready = events[i].events;
        if (key == 0) {
            waker_->drain();
            continue;
        }
        std::shared_ptr<threading::FileDescriptorSource> source;
        {
            std::lock_guard lock(mutex_);
            auto it = sources_.find(key);
            if (it == sources_.end())
                continue;
            // A nested run in a callback may have armed another mode since this wait.
            bool inMode = armedMode_ == mode ? it->second.inArmedMode : modeMatches(it->second.modes, mode);
            if (!inMode)
                continue;
            source = it->second.source;
        }
        source->dispatch(ready);
        handled = true;
    }
    return handled;
}

bool NSRunLoop::runPerforms(const NSRunLoopMode& mode)
{
    std::vector<std::function<void()>> ready;
    {
        std::lock_guard lock(mutex_);
        for (auto it = performs_.begin(); it != performs_.end();) {
            if (!modeMatches(it->modes, mode)) {
                ++it;
                continue;
            }
            ready.push_back(std::move(it->block));
            it = performs_.erase(it);
        }
    }
    for (auto& block : ready) {
        block();
        block = nullptr; // release what it holds (and wake a waiting performer) right away
    }
    return !ready.empty();
}

bool NSRunLoop::drainMainQueue(const NSRunLoopMode& mode)
{
    if (!isMain_ || !isCommonMode(mode))
        return false;
    return threading::detail::runMainQueueBatch();
}

bool NSRunLoop::fireTimers(const NSRunLoopMode& mode)
{
    double now = foundation::clock::monotonic() + kTimerSlack;
    std::vector<std::shared_ptr<NSTimer>> due;
    {
        std::lock_guard lock(mutex_);
        std::vector<HeapItem> elsewhere;
        while (!heap_.empty() && heap_.top().fire <= now) {
            HeapItem top = heap_.top();
            heap_.pop();
            auto it = timers_.find(top.timer);
            if (it == timers_.end() || it->second.timer->generation() != top.generation)
                continue;
            if (!modeMatches(it->second.modes, mode)) {
                elsewhere.push_back(top);
                continue;
            }
            due.push_back(it->second.timer);
        }
        for (const auto& item : elsewhere)
            heap_.push(item);
    }
    for (const auto& timer : due)
        timer->fireFromRunLoop(now);
    return !due.empty();
}
