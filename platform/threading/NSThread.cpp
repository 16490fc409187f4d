// NSThread: thread objects, the main-thread identity, and performing work on a thread.
#include "platform/threading/NSThread.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <condition_variable>
#include <thread>

#include "platform/threading/WorkerPool.h"

namespace threading {
void detail_markThreadFinished(NSThread& thread);
}

namespace {

struct MainThreadState {
    std::mutex mutex;
    std::shared_ptr<NSThread> thread;
};

MainThreadState& mainState()
{
    static auto* state = new MainThreadState; // lives until exit, whatever other threads still do
    return *state;
}

// The NSThread of the calling thread; an adopted thread is marked finished when it ends.
struct CurrentThreadSlot {
    std::shared_ptr<NSThread> thread;
    bool adopted = false;
    ~CurrentThreadSlot()
    {
        if (thread && adopted)
            threading::detail_markThreadFinished(*thread);
    }
};
thread_local CurrentThreadSlot currentSlot;

long kernelThreadID() { return static_cast<long>(syscall(SYS_gettid)); }

} // namespace

NSThread::NSThread(std::function<void()> block)
    : block_(std::move(block))
{
}

NSThread::~NSThread() = default;

std::shared_ptr<NSThread> NSThread::create(std::function<void()> block)
{
    return std::make_shared<NSThread>(std::move(block));
}

std::shared_ptr<NSThread> NSThread::detachNewThreadWithBlock(std::function<void()> block)
{
    auto thread = create(std::move(block));
    thread->start();
    return thread;
}

std::shared_ptr<NSThread> NSThread::currentThread()
{
    if (!currentSlot.thread) {
        auto thread = std::make_shared<NSThread>();
        thread->attachToCallingThread();
        currentSlot.thread = thread;
        currentSlot.adopted = true;
    }
    return currentSlot.thread;
}

void NSThread::attachToCallingThread()
{
    std::lock_guard lock(mutex_);
    started_ = true;
    executing_ = true;
    tid_ = kernelThreadID();
    handle_ = pthread_self();
    hasHandle_ = true;
    char buffer[16] = {};
    if (pthread_getname_np(handle_, buffer, sizeof buffer) == 0 && name_.empty())
        name_ = buffer;
}

std::shared_ptr<NSThread> NSThread::mainThread()
{
    MainThreadState& state = mainState();
    {
        std::lock_guard lock(state.mutex);
        if (state.thread)
            return state.thread;
    }
    threading::becomeMainThread();
    std::lock_guard lock(state.mutex);
    return state.thread;
}

bool NSThread::isMainThread()
{
    MainThreadState& state = mainState();
    std::lock_guard lock(state.mutex);
    return state.thread && state.thread == currentSlot.thread;
}

bool NSThread::isMain() const
{
    MainThreadState& state = mainState();
    std::lock_guard lock(state.mutex);
    return state.thread.get() == this;
}

void NSThread::sleepForTimeInterval(NSTimeInterval seconds)
{
    if (!(seconds > 0))
        return;
    std::mutex mutex;
    std::condition_variable never;
    threading::BlockingScope blocking;
    std::unique_lock lock(mutex);
    threading::waitUntil(lock, never, threading::deadlineAfter(seconds), [] { return false; });
}

void NSThread::sleepUntilDate(NSTimeInterval date) { sleepForTimeInterval(date - foundation::clock::now()); }

void NSThread::exit() { throw threading::ThreadExit {}; }

void NSThread::start()
{
    {
        std::lock_guard lock(mutex_);
        if (started_)
            return;
        started_ = true;
    }
    auto self = std::static_pointer_cast<NSThread>(shared_from_this());
    std::thread([self] {
        currentSlot.thread = self;
        {
            std::lock_guard lock(self->mutex_);
            self->executing_ = true;
            self->tid_ = kernelThreadID();
            self->handle_ = pthread_self();
            self->hasHandle_ = true;
            self->applyNameLocked();
        }
        try {
            self->main();
        } catch (const threading::ThreadExit&) {
        }
        self->markFinished();
        currentSlot.thread.reset();
    }).detach();
}

void NSThread::main()
{
    std::function<void()> block;
    {
        std::lock_guard lock(mutex_);
        block = block_;
    }
    if (block)
        block();
}

void NSThread::markFinished()
{
    std::shared_ptr<NSRunLoop> loop;
    {
        std::lock_guard lock(mutex_);
        executing_ = false;
        finished_ = true;
        loop = runLoop_;
    }
    if (loop)
        loop->threadExited();
}

void threading::detail_markThreadFinished(NSThread& thread) { thread.markFinished(); }

void NSThread::cancel()
{
    std::lock_guard lock(mutex_);
    cancelled_ = true;
}

bool NSThread::isCancelled() const
{
    std::lock_guard lock(mutex_);
    return cancelled_;
}

bool NSThread::isExecuting() const
{
    std::lock_guard lock(mutex_);
    return executing_;
}

bool NSThread::isFinished() const
{
    std::lock_guard lock(mutex_);
    return finished_;
}

std::string NSThread::name() const
{
    std::lock_guard lock(mutex_);
    return name_;
}

void NSThread::setName(std::string name)
{
    std::lock_guard lock(mutex_);
    name_ = std::move(name);
    applyNameLocked();
}

void NSThread::applyNameLocked()
{
    if (!hasHandle_ || !executing_ || name_.empty())
        return;
    pthread_setname_np(handle_, name_.substr(0, 15).c_str());
}

long NSThread::systemThreadID() const
{
    std::lock_guard lock(mutex_);
    return tid_;
}

std::shared_ptr<NSRunLoop> NSThread::runLoop()
{
    std::shared_ptr<NSRunLoop> loop;
    bool created = false;
    {
        std::lock_guard lock(mutex_);
        if (!runLoop_) {
            runLoop_ = std::make_shared<NSRunLoop>();
            created = true;
            if (finished_)
                runLoop_->threadExited();
        }
        loop = runLoop_;
    }
    if (created && isMain())
        loop->setMain();
    return loop;
}

namespace threading {

void becomeMainThread()
{
    MainThreadState& state = mainState();
    auto current = NSThread::currentThread();
    {
        std::lock_guard lock(state.mutex);
        if (state.thread)
            return;
        state.thread = current;
    }
    current->runLoop()->setMain();
}

void performOnThread(const std::shared_ptr<NSThread>& thread, std::function<void()> block, bool waitUntilDone,
    std::vector<NSRunLoopMode> modes)
{
    if (!thread || !block)
        return;
    if (waitUntilDone && thread == NSThread::currentThread()) {
        block();
        return;
    }
    auto loop = thread->runLoop();
    if (!waitUntilDone) {
        loop->performInModes(std::move(modes), std::move(block));
        return;
    }
    struct Done {
        std::mutex mutex;
        std::condition_variable cv;
        bool done = false;
    };
    // Signals when the queued block is destroyed: after it ran, or when the loop dropped it.
    struct Signal {
        explicit Signal(std::shared_ptr<Done> d)
            : done(std::move(d))
        {
        }
        Signal(const Signal&) = delete;
        Signal& operator=(const Signal&) = delete;
        std::shared_ptr<Done> done;
        ~Signal()
        {
            std::lock_guard lock(done->mutex);
            done->done = true;
            done->cv.notify_all();
        }
    };
    auto done = std::make_shared<Done>();
    {
        auto signal = std::make_shared<Signal>(done);
        loop->performInModes(std::move(modes), [block = std::move(block), signal] { block(); });
    }
    threading::BlockingScope blocking;
    std::unique_lock lock(done->mutex);
    done->cv.wait(lock, [&] { return done->done; });
}

void performOnMainThread(std::function<void()> block, bool waitUntilDone, std::vector<NSRunLoopMode> modes)
{
    performOnThread(NSThread::mainThread(), std::move(block), waitUntilDone, std::move(modes));
}

} // namespace threading
