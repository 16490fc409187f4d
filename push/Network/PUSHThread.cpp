// Run-loop threads of the push client, their builder and their registry.
#include "push/Network/PUSHThread.h"

#include "platform/threading/NSTimer.h"

namespace {

struct Defaults {
    std::mutex mutex;
    std::shared_ptr<PUSHThread> normal;
    std::shared_ptr<PUSHThread> alive;
};

Defaults& defaults()
{
    static auto* state = new Defaults; // read by threads that may outlive main()
    return *state;
}

// How long one turn of an alive thread's run may last before it looks at its closing flag.
constexpr double kAliveTurnSeconds = 1000;

} // namespace

PUSHThread::PUSHThread(unsigned mode, bool platformInitialized)
    : type_(mode)
    , hasType_(true)
    , platformInitialized_(platformInitialized)
{
}

std::shared_ptr<PUSHThread> PUSHThread::initWithRunLoopMode(unsigned mode)
{
    const bool known = mode == PUSHThreadNormalMode || mode == PUSHThreadAliveMode;
    return std::make_shared<PUSHThread>(mode, known);
}

std::shared_ptr<PUSHThreadBuilder> PUSHThread::builder(unsigned mode) { return PUSHThreadBuilder::initWithRunLoopMode(mode); }

std::shared_ptr<PUSHThreadBuilder> PUSHThread::builderWithPrototype(const std::shared_ptr<PUSHThread>& prototype)
{
    auto made = builder(prototype ? prototype->type() : PUSHThreadNormalMode);
    if (prototype)
        made->mergeFrom(prototype);
    return made;
}

std::shared_ptr<PUSHThreadBuilder> PUSHThread::toBuilder()
{
    return builderWithPrototype(std::static_pointer_cast<PUSHThread>(shared_from_this()));
}

std::shared_ptr<PUSHThread> PUSHThread::defaultNormalModeInstance()
{
    std::lock_guard lock(defaults().mutex);
    return defaults().normal;
}

std::shared_ptr<PUSHThread> PUSHThread::defaultAliveModeInstance()
{
    std::lock_guard lock(defaults().mutex);
    return defaults().alive;
}

void PUSHThread::normalModeInitialize()
{
    std::lock_guard lock(defaults().mutex);
    if (!defaults().normal)
        defaults().normal = initWithRunLoopMode(PUSHThreadNormalMode);
}

void PUSHThread::aliveModeinitialize()
{
    std::lock_guard lock(defaults().mutex);
    if (!defaults().alive)
        defaults().alive = initWithRunLoopMode(PUSHThreadAliveMode);
}

void PUSHThread::setThreadName(const std::string& name)
{
    threadName_ = name;
    hasThreadName_ = true;
    setName(name);
}

void PUSHThread::clearThreadName()
{
    threadName_.clear();
    hasThreadName_ = false;
    setName({});
}

bool PUSHThread::isEqual(const PUSHThread& other) const
{
    if (this == &other)
        return true;
    return threadName_ == other.threadName_ && hasThreadName_ == other.hasThreadName_ && type_ == other.type_;
}

void PUSHThread::invokeBlock(std::function<void()> block)
{
    threading::performOnThread(std::static_pointer_cast<NSThread>(shared_from_this()), std::move(block), false);
}

void PUSHThread::closeMySelf()
{
    invokeBlock(threading::weakly(std::static_pointer_cast<PUSHThread>(shared_from_this()), [](PUSHThread& thread) { thread.close(); }));
}

void PUSHThread::close()
{
    closing_ = true;
    runLoop()->stop();
}

void PUSHThread::main()
{
    if (!platformInitialized_)
        return;
    if (type_ == PUSHThreadAliveMode)
        clientThreadMain();
}

void PUSHThread::clientThreadMain()
{
    // A timer that does nothing keeps the run loop from returning while nothing else is
    // scheduled on it.
    auto keepAlive = NSTimer::timerWithFireDate(0, 1000, true, [](const std::shared_ptr<NSTimer>&) {});
    auto loop = runLoop();
    loop->addTimer(keepAlive, NSDefaultRunLoopMode);
    // A stop asked for inside a nested run ends only that run, so the outer run returns after
    // each piece of work and looks at the closing flag.
    while (!closing_)
        loop->runInMode(NSDefaultRunLoopMode, kAliveTurnSeconds, true);
    keepAlive->invalidate();
}

// Builder -------------------------------------------------------------------------------------

std::shared_ptr<PUSHThreadBuilder> PUSHThreadBuilder::initWithRunLoopMode(unsigned mode)
{
    auto made = std::make_shared<PUSHThreadBuilder>();
    made->resultThread_ = PUSHThread::initWithRunLoopMode(mode);
    return made;
}

std::shared_ptr<PUSHThread> PUSHThreadBuilder::resultThread() const
{
    std::lock_guard lock(mutex_);
    return resultThread_;
}

void PUSHThreadBuilder::setResultThread(std::shared_ptr<PUSHThread> thread)
{
    std::lock_guard lock(mutex_);
    resultThread_ = std::move(thread);
}

std::shared_ptr<PUSHThreadBuilder> PUSHThreadBuilder::setThreadName(const std::string& name)
{
    resultThread()->setThreadName(name);
    return std::static_pointer_cast<PUSHThreadBuilder>(shared_from_this());
}

std::shared_ptr<PUSHThreadBuilder> PUSHThreadBuilder::clearThreadName()
{
    resultThread()->clearThreadName();
    return std::static_pointer_cast<PUSHThreadBuilder>(shared_from_this());
}

bool PUSHThreadBuilder::hasThreadName() const { return resultThread()->hasThreadName(); }
std::string PUSHThreadBuilder::threadName() const { return resultThread()->threadName(); }
bool PUSHThreadBuilder::hasType() const { return resultThread()->hasType(); }
unsigned PUSHThreadBuilder::type() const { return resultThread()->type(); }

std::shared_ptr<PUSHThread> PUSHThreadBuilder::build()
{
    auto thread = resultThread();
    if (thread->platformInitialized())
        thread->start();
    return thread;
}

std::shared_ptr<PUSHThread> PUSHThreadBuilder::buildPartial() { return resultThread(); }

std::shared_ptr<PUSHThreadBuilder> PUSHThreadBuilder::clear()
{
    auto old = resultThread();
    old->closeMySelf();
    setResultThread(PUSHThread::initWithRunLoopMode(old->type()));
    return std::static_pointer_cast<PUSHThreadBuilder>(shared_from_this());
}

std::shared_ptr<PUSHThreadBuilder> PUSHThreadBuilder::clone() { return PUSHThread::builderWithPrototype(resultThread()); }

std::shared_ptr<PUSHThread> PUSHThreadBuilder::defaultInstance() const
{
    return type() == PUSHThreadAliveMode ? PUSHThread::defaultAliveModeInstance() : PUSHThread::defaultNormalModeInstance();
}

std::shared_ptr<PUSHThreadBuilder> PUSHThreadBuilder::mergeFrom(const std::shared_ptr<PUSHThread>& other)
{
    auto self = std::static_pointer_cast<PUSHThreadBuilder>(shared_from_this());
    if (!other || other == defaultInstance() || !other->hasThreadName())
        return self;
    return setThreadName(other->threadName());
}

// Registry ------------------------------------------------------------------------------------

std::shared_ptr<PUSHThreadController> PUSHThreadController::shareThreadInstance()
{
    static auto* shared = new std::shared_ptr<PUSHThreadController>(std::make_shared<PUSHThreadController>());
    return *shared;
}

bool PUSHThreadController::addThread(const std::shared_ptr<NSThread>& thread)
{
    if (!thread)
        return false;
    const std::string name = thread->name();
    if (name.empty())
        return false;
    std::lock_guard lock(mutex_);
    threadQueue_[name] = thread;
    return true;
}

bool PUSHThreadController::deleteThread(const std::string& name)
{
    std::shared_ptr<NSThread> thread;
    {
        std::lock_guard lock(mutex_);
        auto found = threadQueue_.find(name);
        if (found == threadQueue_.end())
            return false;
        thread = found->second;
        threadQueue_.erase(found);
    }
    if (auto pushThread = std::dynamic_pointer_cast<PUSHThread>(thread)) {
        pushThread->closeMySelf();
        return true;
    }
    threading::performOnThread(thread, [] { NSRunLoop::currentRunLoop()->stop(); }, false);
    return true;
}

std::shared_ptr<NSThread> PUSHThreadController::getThreadWithName(const std::string& name) const
{
    std::lock_guard lock(mutex_);
    auto found = threadQueue_.find(name);
    return found == threadQueue_.end() ? nullptr : found->second;
}
