// URL connections over the loader.
#include "platform/network/NSURLConnection.h"

#include <condition_variable>

#include "platform/network/NSHTTPCookieStorage.h"
#include "platform/network/URLError.h"
#include "platform/threading/NSThread.h"
#include "platform/threading/WorkerPool.h"

std::shared_ptr<NSURLRequest> NSURLConnectionDelegate::connectionWillSendRequest(
    const std::shared_ptr<NSURLConnection>&, const std::shared_ptr<NSURLRequest>& request,
    const std::shared_ptr<NSURLResponse>&)
{
    return request;
}

bool NSURLConnectionDelegate::connectionShouldUseCredentialStorage(const std::shared_ptr<NSURLConnection>&)
{
    return true;
}

void NSURLConnectionDelegate::connectionWillSendRequestForAuthenticationChallenge(
    const std::shared_ptr<NSURLConnection>&, const std::shared_ptr<NSURLAuthenticationChallenge>& challenge)
{
    challenge->sender()->performDefaultHandlingForAuthenticationChallenge(challenge);
}

std::shared_ptr<NSInputStream> NSURLConnectionDelegate::connectionNeedNewBodyStream(
    const std::shared_ptr<NSURLConnection>&, const std::shared_ptr<NSURLRequest>& request)
{
    return request && request->HTTPBodyStream() ? request->HTTPBodyStream()->copyStream() : nullptr;
}

void NSURLConnectionDelegate::connectionDidSendBodyData(
    const std::shared_ptr<NSURLConnection>&, std::int64_t, std::int64_t, std::int64_t)
{
}
void NSURLConnectionDelegate::connectionDidReceiveResponse(
    const std::shared_ptr<NSURLConnection>&, const std::shared_ptr<NSURLResponse>&)
{
}
void NSURLConnectionDelegate::connectionDidReceiveData(const std::shared_ptr<NSURLConnection>&, const Bytes&) { }

std::shared_ptr<NSCachedURLResponse> NSURLConnectionDelegate::connectionWillCacheResponse(
    const std::shared_ptr<NSURLConnection>&, const std::shared_ptr<NSCachedURLResponse>& cachedResponse)
{
    return cachedResponse;
}

void NSURLConnectionDelegate::connectionDidFinishLoading(const std::shared_ptr<NSURLConnection>&) { }
void NSURLConnectionDelegate::connectionDidFailWithError(
    const std::shared_ptr<NSURLConnection>&, const std::shared_ptr<NSError>&)
{
}

NSURLConnection::NSURLConnection(std::shared_ptr<NSURLRequest> request, std::shared_ptr<NSURLConnectionDelegate> delegate)
    : original_(std::move(request))
    , delegate_(std::move(delegate))
{
}

NSURLConnection::~NSURLConnection()
{
    if (delivery_)
        delivery_->close();
    if (loader_)
        loader_->cancel();
}

std::shared_ptr<NSURLConnection> NSURLConnection::create(const std::shared_ptr<NSURLRequest>& request,
    const std::shared_ptr<NSURLConnectionDelegate>& delegate, bool startImmediately)
{
    if (!request)
        return nullptr;
    auto connection = std::make_shared<NSURLConnection>(request->copy(), delegate);
    if (startImmediately)
        connection->start();
    return connection;
}

std::shared_ptr<NSURLConnection> NSURLConnection::connectionWithRequest(
    const std::shared_ptr<NSURLRequest>& request, const std::shared_ptr<NSURLConnectionDelegate>& delegate)
{
    return create(request, delegate, true);
}

bool NSURLConnection::canHandleRequest(const NSURLRequest& request)
{
    if (!request.URL())
        return false;
    std::string scheme = network::lowercased(request.URL()->scheme());
    return scheme == "http" || scheme == "https";
}

void NSURLConnection::scheduleInRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode)
{
    std::lock_guard lock(mutex_);
    if (started_ || queue_ || (runLoop_ && runLoop_ != runLoop))
        return;
    runLoop_ = runLoop;
    if (std::find(modes_.begin(), modes_.end(), mode) == modes_.end())
        modes_.push_back(mode);
}

void NSURLConnection::unscheduleFromRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const NSRunLoopMode& mode)
{
    std::lock_guard lock(mutex_);
    if (started_ || runLoop_ != runLoop)
        return;
    std::erase(modes_, mode);
    if (modes_.empty())
        runLoop_.reset();
}

void NSURLConnection::setDelegateQueue(const std::shared_ptr<NSOperationQueue>& queue)
{
    std::lock_guard lock(mutex_);
    if (started_)
        return;
    queue_ = queue;
    runLoop_.reset();
    modes_.clear();
}

std::shared_ptr<NSURLConnectionDelegate> NSURLConnection::delegate() const
{
    std::lock_guard lock(mutex_);
    return ended_ ? nullptr : delegate_;
}

std::shared_ptr<NSURLRequest> NSURLConnection::currentRequest() const
{
    std::lock_guard lock(mutex_);
    return loader_ ? loader_->currentRequest() : original_;
}

void NSURLConnection::start()
{
    std::shared_ptr<network::Delivery> delivery;
    {
        std::lock_guard lock(mutex_);
        if (started_ || ended_)
            return;
        started_ = true;
        if (queue_)
            delivery_ = network::Delivery::onQueue(queue_);
        else
            delivery_ = network::Delivery::onRunLoop(runLoop_ ? runLoop_ : NSRunLoop::currentRunLoop(), modes_);
        delivery = delivery_;
    }
    // The connection holds itself (through the delivered block) until it ends.
    delivery->post([self = self()] { self->begin(); });
}

void NSURLConnection::begin()
{
    auto delegate = this->delegate();
    if (!delegate)
        return;
    auto connection = self();
    auto request = delegate->connectionWillSendRequest(connection, original_, nullptr);
    if (!this->delegate())
        return; // cancelled from the callback
    if (!request) {
        loaderDidComplete(network::urlError(NSURLErrorCancelled, original_->URL()));
        return;
    }
    network::LoaderOptions options;
    options.cache = NSURLCache::sharedURLCache();
    options.cookies = NSHTTPCookieStorage::sharedHTTPCookieStorage();
    options.credentials = NSURLCredentialStorage::sharedCredentialStorage();
    options.useCredentialStorage = delegate->connectionShouldUseCredentialStorage(connection);
    options.holdsBody = gathersBody_;
    if (!this->delegate())
        return;
    std::shared_ptr<network::Loader> loader;
    {
        std::lock_guard lock(mutex_);
        loader_ = std::make_shared<network::Loader>(request, std::move(options), delivery_, connection);
        loader = loader_;
    }
    loader->start();
}

void NSURLConnection::cancel()
{
    std::shared_ptr<network::Delivery> delivery;
    std::shared_ptr<network::Loader> loader;
    std::shared_ptr<NSURLConnectionDelegate> delegate;
    {
        std::lock_guard lock(mutex_);
        if (ended_)
            return;
        ended_ = true;
        delivery = delivery_;
        loader = loader_;
        delegate = std::move(delegate_);
    }
    if (delivery)
        delivery->close();
    if (loader)
        loader->cancel();
    // `delegate` is released here, after the lock.
}

void NSURLConnection::loaderWillRedirect(const std::shared_ptr<NSURLRequest>& proposed,
    const std::shared_ptr<NSHTTPURLResponse>& response, std::function<void(std::shared_ptr<NSURLRequest>)> answer)
{
    auto delegate = this->delegate();
    if (!delegate)
        return;
    answer(delegate->connectionWillSendRequest(self(), proposed, response));
}

void NSURLConnection::loaderChallenge(
    const std::shared_ptr<NSURLAuthenticationChallenge>& challenge, network::ChallengeAnswer)
{
    if (auto delegate = this->delegate())
        delegate->connectionWillSendRequestForAuthenticationChallenge(self(), challenge);
}

void NSURLConnection::loaderNeedNewBodyStream(std::function<void(std::shared_ptr<NSInputStream>)> answer)
{
    auto delegate = this->delegate();
    if (!delegate)
        return;
    answer(delegate->connectionNeedNewBodyStream(self(), currentRequest()));
}

void NSURLConnection::loaderDidSendBodyData(std::int64_t bytes, std::int64_t total, std::int64_t expected)
{
    if (auto delegate = this->delegate())
        delegate->connectionDidSendBodyData(self(), bytes, total, expected);
}

void NSURLConnection::loaderDidReceiveResponse(const std::shared_ptr<NSURLResponse>& response, std::function<void(bool)> answer)
{
    auto delegate = this->delegate();
    if (!delegate)
        return;
    delegate->connectionDidReceiveResponse(self(), response);
    answer(true);
}

void NSURLConnection::loaderDidReceiveData(const Bytes& data)
{
    if (auto delegate = this->delegate())
        delegate->connectionDidReceiveData(self(), data);
}

void NSURLConnection::loaderWillCacheResponse(
    const std::shared_ptr<NSCachedURLResponse>& proposed, std::function<void(std::shared_ptr<NSCachedURLResponse>)> answer)
{
    auto delegate = this->delegate();
    if (!delegate)
        return;
    answer(delegate->connectionWillCacheResponse(self(), proposed));
}

void NSURLConnection::loaderDidComplete(const std::shared_ptr<NSError>& error)
{
    std::shared_ptr<NSURLConnectionDelegate> delegate;
    std::shared_ptr<network::Delivery> delivery;
    {
        std::lock_guard lock(mutex_);
        if (ended_)
            return;
        ended_ = true;
        delegate = std::move(delegate_);
        delivery = delivery_;
    }
    auto connection = self();
    if (delegate) {
        if (error)
            delegate->connectionDidFailWithError(connection, error);
        else
            delegate->connectionDidFinishLoading(connection);
    }
    if (delivery)
        delivery->close();
}

namespace {

// Gathers a whole load for the one-call forms.
class Gatherer final : public NSURLConnectionDelegate {
public:
    using Handler = std::function<void(std::shared_ptr<NSURLResponse>, std::optional<Bytes>, std::shared_ptr<NSError>)>;
    explicit Gatherer(Handler handler) : handler_(std::move(handler)) { }
    void connectionDidReceiveResponse(const std::shared_ptr<NSURLConnection>&, const std::shared_ptr<NSURLResponse>& r) override
    {
        response_ = r;
        data_.clear();
    }
    void connectionDidReceiveData(const std::shared_ptr<NSURLConnection>&, const Bytes& data) override
    {
        data_.insert(data_.end(), data.begin(), data.end());
    }
    void connectionDidFinishLoading(const std::shared_ptr<NSURLConnection>&) override
    {
        handler_(response_, std::move(data_), nullptr);
    }
    void connectionDidFailWithError(const std::shared_ptr<NSURLConnection>&, const std::shared_ptr<NSError>& e) override
    {
        handler_(response_, std::nullopt, e);
    }

private:
    Handler handler_;
    std::shared_ptr<NSURLResponse> response_;
    Bytes data_;
};

} // namespace

void NSURLConnection::sendAsynchronousRequest(const std::shared_ptr<NSURLRequest>& request,
    const std::shared_ptr<NSOperationQueue>& queue,
    std::function<void(std::shared_ptr<NSURLResponse>, std::optional<Bytes>, std::shared_ptr<NSError>)> handler)
{
    auto connection = create(request, std::make_shared<Gatherer>(std::move(handler)), false);
    if (!connection)
        return;
    connection->gathersBody_ = true;
    connection->setDelegateQueue(queue ? queue : NSOperationQueue::mainQueue());
    connection->start();
}

std::optional<Bytes> NSURLConnection::sendSynchronousRequest(
    const std::shared_ptr<NSURLRequest>& request, std::shared_ptr<NSURLResponse>* response, std::shared_ptr<NSError>* error)
{
    struct Outcome {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        std::shared_ptr<NSURLResponse> response;
        std::optional<Bytes> data;
        std::shared_ptr<NSError> error;
    };
    auto outcome = std::make_shared<Outcome>();
    auto queue = NSOperationQueue::create();
    queue->setMaxConcurrentOperationCount(1);
    auto connection = create(request,
        std::make_shared<Gatherer>([outcome](auto r, auto d, auto e) {
            std::lock_guard lock(outcome->mutex);
            outcome->response = r;
            outcome->data = std::move(d);
            outcome->error = e;
            outcome->finished = true;
            outcome->done.notify_all();
        }),
        false);
    if (!connection) {
        if (error)
            *error = network::urlError(NSURLErrorBadURL, std::nullopt);
        return std::nullopt;
    }
    connection->gathersBody_ = true;
    connection->setDelegateQueue(queue);
    connection->start();
    threading::BlockingScope blocking;
    std::unique_lock lock(outcome->mutex);
    outcome->done.wait(lock, [&] { return outcome->finished; });
    if (response)
        *response = outcome->response;
    if (error)
        *error = outcome->error;
    return outcome->data;
}
