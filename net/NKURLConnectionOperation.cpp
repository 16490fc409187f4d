// NKURLConnectionOperation: the network thread, the checked state machine, start, cancel,
// pause and resume, the completion-block wrapper and the notifications.
#include "net/NKURLConnectionOperation.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/foundation/Format.h"
#include "platform/network/URLError.h"
#include "platform/threading/NSNotificationCenter.h"

namespace net {

dispatch_group_t connectionOperationCompletionGroup()
{
    static auto* group = new dispatch_group_t(dispatch_group_create());
    return *group;
}

dispatch_queue_t connectionOperationCompletionQueue()
{
    static auto* queue
        = new dispatch_queue_t(dispatch_queue_create("com.pendrasil.networking.operation.queue", DISPATCH_QUEUE_CONCURRENT));
    return *queue;
}

} // namespace net

std::shared_ptr<NSThread> NKURLConnectionOperation::networkRequestThread()
{
    static auto* thread = [] {
        auto started = NSThread::create([] {
            NSThread::currentThread()->setName("NKNetworking");
            auto runLoop = NSRunLoop::currentRunLoop();
            runLoop->addPort(NSPort::port(), NSDefaultRunLoopMode);
            runLoop->run();
        });
        started->start();
        // The thread never ends on its own; it is ended before the process's globals (which
        // its run loop reads) are destroyed.
        std::atexit(stopNetworkRequestThread);
        return new std::shared_ptr<NSThread>(started);
    }();
    return *thread;
}

void NKURLConnectionOperation::stopNetworkRequestThread()
{
    auto thread = networkRequestThread();
    threading::performOnThread(thread, [] { NSThread::exit(); }, false);
    for (int i = 0; i < 2000 && !thread->isFinished(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

std::string NKURLConnectionOperation::keyPathFromOperationState(std::int64_t state)
{
    switch (state) {
    case NKOperationPausedState:
        return "isPaused";
    case NKOperationReadyState:
        return "isReady";
    case NKOperationExecutingState:
        return "isExecuting";
    case NKOperationFinishedState:
        return "isFinished";
    default:
        return "state";
    }
}

bool NKURLConnectionOperation::stateTransitionIsValid(std::int64_t from, std::int64_t to, bool isCancelled)
{
    if (to < NKOperationPausedState || to > NKOperationFinishedState || to == 0)
        return false;
    switch (from) {
    case NKOperationPausedState:
        // Finished: a paused operation that is cancelled, or whose connection completed
        // before the pause reached it.
        return to == NKOperationReadyState || to == NKOperationFinishedState;
    case NKOperationReadyState:
        return to == NKOperationPausedState || to == NKOperationExecutingState
            || (to == NKOperationFinishedState && isCancelled);
    case NKOperationExecutingState:
        return to == NKOperationPausedState || to == NKOperationFinishedState;
    case NKOperationFinishedState:
        return false;
    default:
        return true;
    }
}

std::shared_ptr<NKURLConnectionOperation> NKURLConnectionOperation::initWithRequest(std::shared_ptr<NSURLRequest> request)
{
    return std::make_shared<NKURLConnectionOperation>(std::move(request));
}

NKURLConnectionOperation::NKURLConnectionOperation(std::shared_ptr<NSURLRequest> request)
    : request_(std::move(request))
    , securityPolicy_(NKSecurityPolicy::defaultPolicy())
{
    lock_.setName("com.pendrasil.networking.operation.lock");
}

NKURLConnectionOperation::~NKURLConnectionOperation()
{
    if (outputStream_)
        outputStream_->close();
    if (backgroundTaskCleanup_)
        backgroundTaskCleanup_();
}

std::string NKURLConnectionOperation::description() const
{
    std::lock_guard lock(lock_);
    return NSString::stringWithFormat("<%@: %p, state: %@, cancelled: %@ request: %@, response: %@>", className(),
        static_cast<const void*>(this), keyPathFromOperationState(state_), isCancelled() ? "YES" : "NO",
        request_ ? Value(request_->description()) : Value(), response_ ? Value(response_->description()) : Value());
}

void NKURLConnectionOperation::setState(NKURLConnectionOperationState state)
{
    std::lock_guard lock(lock_);
    NKURLConnectionOperationState old = state_;
    if (!stateTransitionIsValid(old, state, isCancelled()))
        return;
    std::string oldKey = keyPathFromOperationState(old);
    std::string newKey = keyPathFromOperationState(state);
    willChangeValueForKey(newKey);
    willChangeValueForKey(oldKey);
    state_ = state;
    didChangeValueForKey(oldKey);
    didChangeValueForKey(newKey);
}

bool NKURLConnectionOperation::isReady() const { return state_ == NKOperationReadyState && NSOperation::isReady(); }
bool NKURLConnectionOperation::isExecuting() const { return state_ == NKOperationExecutingState; }
bool NKURLConnectionOperation::isFinished() const { return state_ == NKOperationFinishedState; }
bool NKURLConnectionOperation::isPaused() const { return state_ == NKOperationPausedState; }

Value NKURLConnectionOperation::valueForKey(const std::string& key) const
{
    if (key == "isPaused")
        return isPaused();
    if (key == "state")
        return static_cast<std::int64_t>(state_.load());
    return NSOperation::valueForKey(key);
}

void NKURLConnectionOperation::performOnNetworkThread(void (NKURLConnectionOperation::*step)())
{
    std::vector<NSRunLoopMode> modes;
    {
        std::lock_guard lock(lock_);
        modes.assign(runLoopModes_.begin(), runLoopModes_.end());
    }
    auto strong = self();
    threading::performOnThread(networkRequestThread(), [strong, step] { ((*strong).*step)(); }, false, modes);
}

void NKURLConnectionOperation::postNotification(const char* name)
{
    // The names are constants: the text is made on the main thread, not here.
    dispatch_async(dispatch_get_main_queue(), [strong = self(), name] {
        NSNotificationCenter::defaultCenter()->postNotificationName(name, strong);
    });
}

void NKURLConnectionOperation::start()
{
    std::lock_guard lock(lock_);
    if (isCancelled()) {
        performOnNetworkThread(&NKURLConnectionOperation::cancelConnection);
    } else if (isReady()) {
        setState(NKOperationExecutingState);
        performOnNetworkThread(&NKURLConnectionOperation::operationDidStart);
    }
}

void NKURLConnectionOperation::operationDidStart()
{
    bool opened = true;
    {
        std::lock_guard lock(lock_);
        if (!isCancelled())
            opened = openConnection();
    }
    postNotification(NKNetworkingOperationDidStartNotification);
    if (opened)
        return;
    // No request, so no connection: the operation ends as a load of a bad URL would.
    setLocked(error_, network::urlError(NSURLErrorBadURL, std::nullopt));
    finish();
}

bool NKURLConnectionOperation::openConnection()
{
    connectionWillStart();
    auto delegate = std::static_pointer_cast<NSURLConnectionDelegate>(self());
    connection_ = NSURLConnection::create(request_, delegate, false);
    if (!connection_)
        return false;
    auto stream = outputStream();
    auto runLoop = NSRunLoop::currentRunLoop();
    for (const auto& mode : runLoopModes_) {
        connection_->scheduleInRunLoop(runLoop, mode);
        stream->scheduleInRunLoop(runLoop, mode);
    }
    stream->open();
    connection_->start();
    return true;
}

void NKURLConnectionOperation::cancel()
{
    std::lock_guard lock(lock_);
    if (isFinished() || isCancelled())
        return;
    NSOperation::cancel();
    // A paused operation is ended too: left paused it would never finish nor free its slot.
    if (isExecuting() || isPaused())
        performOnNetworkThread(&NKURLConnectionOperation::cancelConnection);
}

void NKURLConnectionOperation::cancelConnection()
{
    auto url = request() ? request()->URL() : std::nullopt;
    NSErrorRef error = network::urlError(NSURLErrorCancelled, url);
    if (isFinished())
        return;
    std::shared_ptr<NSURLConnection> connection;
    {
        std::lock_guard lock(lock_);
        connection = connection_;
    }
    if (connection) {
        connection->cancel();
        connectionDidFailWithError(connection, error);
        return;
    }
    {
        std::lock_guard lock(lock_);
        error_ = error;
    }
    finish();
}

void NKURLConnectionOperation::finish()
{
    {
        std::lock_guard lock(lock_);
        setState(NKOperationFinishedState);
    }
    postNotification(NKNetworkingOperationDidFinishNotification);
}

void NKURLConnectionOperation::pause()
{
    if (isPaused() || isFinished() || isCancelled())
        return;
    std::lock_guard lock(lock_);
    if (isExecuting()) {
        performOnNetworkThread(&NKURLConnectionOperation::operationDidPause);
        postNotification(NKNetworkingOperationDidFinishNotification);
    }
    setState(NKOperationPausedState);
}

void NKURLConnectionOperation::operationDidPause()
{
    std::lock_guard lock(lock_);
    if (connection_)
        connection_->cancel();
}

void NKURLConnectionOperation::resume()
{
    if (!isPaused())
        return;
    std::lock_guard lock(lock_);
    setState(NKOperationReadyState);
    start();
}

void NKURLConnectionOperation::setCompletionBlock(std::function<void()> block) { wrapCompletionBlock(std::move(block), false); }

void NKURLConnectionOperation::setHandOffCompletionBlock(std::function<void()> block)
{
    wrapCompletionBlock(std::move(block), true);
}

void NKURLConnectionOperation::wrapCompletionBlock(std::function<void()> block, bool handsOff)
{
    std::lock_guard lock(lock_);
    if (!block) {
        NSOperation::setCompletionBlock(nullptr);
        return;
    }
    std::weak_ptr<NKURLConnectionOperation> weak = self();
    NSOperation::setCompletionBlock([weak, block = std::move(block), handsOff] {
        auto strong = weak.lock();
        if (!strong)
            return;
        dispatch_group_t group = strong->completionGroup();
        if (!group)
            group = net::connectionOperationCompletionGroup();
        if (handsOff) {
            // Nothing of the caller's runs here, so neither a hop to the completion queue nor a
            // group notification to end the cycle is needed: the block has run when this returns.
            dispatch_group_enter(group);
            block();
            dispatch_group_leave(group);
            strong->setCompletionBlock(nullptr);
            return;
        }
        dispatch_queue_t queue = strong->completionQueue();
        if (!queue)
            queue = dispatch_get_main_queue();
        dispatch_group_async(group, queue, block);
        dispatch_group_notify(group, net::connectionOperationCompletionQueue(), [strong] { strong->setCompletionBlock(nullptr); });
    });
}

void NKURLConnectionOperation::setShouldExecuteAsBackgroundTaskWithExpirationHandler(std::function<void()> handler)
{
    std::lock_guard lock(lock_);
    if (backgroundTaskCleanup_)
        return;
    auto identifier = std::make_shared<std::atomic<net::BackgroundTaskIdentifier>>(net::kInvalidBackgroundTask);
    auto cleanup = [identifier] {
        auto id = identifier->exchange(net::kInvalidBackgroundTask);
        if (id != net::kInvalidBackgroundTask)
            net::endBackgroundTask(id);
    };
    backgroundTaskCleanup_ = cleanup;
    std::weak_ptr<NKURLConnectionOperation> weak = self();
    identifier->store(net::beginBackgroundTask([handler = std::move(handler), weak, cleanup] {
        if (handler)
            handler();
        if (auto strong = weak.lock()) {
            strong->cancel();
            cleanup();
        }
    }));
}
