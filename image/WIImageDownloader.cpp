// The downloader: request building, the queue and its order, and the requesters of each URL.
#include "image/WIImageDownloader.h"
#include <algorithm>
#include "platform/network/NSURLCredential.h"
#include "platform/threading/Dispatch.h"
#include "platform/threading/NSNotificationCenter.h"

namespace {
std::mutex indicatorClassMutex;
std::function<std::shared_ptr<WINetworkActivityIndicator>()>& indicatorClass()
{
    static auto* shared = new std::function<std::shared_ptr<WINetworkActivityIndicator>()>();
    return *shared;
}
} // namespace

namespace image {
void setNetworkActivityIndicatorClass(std::function<std::shared_ptr<WINetworkActivityIndicator>()> sharedActivityIndicator)
{
    std::lock_guard lock(indicatorClassMutex);
    indicatorClass() = std::move(sharedActivityIndicator);
}
} // namespace image

void WIImageDownloadToken::cancel()
{
    if (auto downloader = downloader_.lock()) {
        downloader->removeRequester(url_, id_);
    }
}

std::shared_ptr<WIImageDownloader> WIImageDownloader::sharedDownloader()
{
    static std::shared_ptr<WIImageDownloader> shared = create();
    return shared;
}

void WIImageDownloader::initializeClass()
{
    static std::once_flag once;
    std::call_once(once, [] {
        std::function<std::shared_ptr<WINetworkActivityIndicator>()> shared;
        {
            std::lock_guard lock(indicatorClassMutex);
            shared = indicatorClass();
        }
        auto indicator = shared ? shared() : nullptr;
        if (!indicator) {
            return;
        }
        auto center = NSNotificationCenter::defaultCenter();
        std::weak_ptr<WINetworkActivityIndicator> weak = indicator;
        center->removeObserver(indicator.get(), WIImageDownloadStartNotification);
        center->addObserver(indicator.get(), weak,
            [weak](const std::shared_ptr<NSNotification>&) {
                if (auto strong = weak.lock()) {
                    strong->startActivity();
                }
            },
            WIImageDownloadStartNotification);
        center->removeObserver(indicator.get(), WIImageDownloadStopNotification);
        center->addObserver(indicator.get(), weak,
            [weak](const std::shared_ptr<NSNotification>&) {
                if (auto strong = weak.lock()) {
                    strong->stopActivity();
                }
            },
            WIImageDownloadStopNotification);
    });
}

std::shared_ptr<WIImageDownloader> WIImageDownloader::create()
{
    initializeClass();
    return std::shared_ptr<WIImageDownloader>(new WIImageDownloader());
}

WIImageDownloader::WIImageDownloader()
    : downloadQueue_(NSOperationQueue::create())
    , HTTPHeaders_(Value::dictionary({ { "Accept", "image/*;q=0.8" } }))
{
    downloadQueue_->setMaxConcurrentOperationCount(6);
    downloadQueue_->setName("com.vorlasken.WIImageDownloader");
}

WIImageDownloader::~WIImageDownloader() { downloadQueue_->cancelAllOperations(); }

void WIImageDownloader::setValueForHTTPHeaderField(const std::optional<std::string>& value, const std::string& field)
{
    std::lock_guard lock(headersMutex_);
    auto& headers = HTTPHeaders_.asDictionary();
    Value updated = Value::dictionary();
    for (const auto& [name, existing] : headers) {
        if (name != field) {
            updated.set(name, existing);
        }
    }
    if (value) {
        updated.set(field, *value);
    }
    HTTPHeaders_ = updated;
}

std::optional<std::string> WIImageDownloader::valueForHTTPHeaderField(const std::string& field) const
{
    std::lock_guard lock(headersMutex_);
    const Value& value = HTTPHeaders_[field];
    if (!value.isString()) {
        return std::nullopt;
    }
    return value.asString();
}

Value WIImageDownloader::HTTPHeaders() const
{
    std::lock_guard lock(headersMutex_);
    return HTTPHeaders_;
}

void WIImageDownloader::setOperationClass(WIOperationFactory factory) { operationClass_ = std::move(factory); }

std::size_t WIImageDownloader::requesterCount(const NSURL& url) const
{
    std::lock_guard lock(callbacksMutex_);
    auto found = URLCallbacks_.find(url.absoluteString());
    return found == URLCallbacks_.end() ? 0 : found->second.requesters.size();
}

std::shared_ptr<WIImageDownloaderOperation> WIImageDownloader::lastAddedOperation() const
{
    std::lock_guard lock(callbacksMutex_);
    return lastAddedOperation_.lock();
}

std::map<std::string, std::vector<WIDownloadCallbacks>> WIImageDownloader::URLCallbacks() const
{
    std::map<std::string, std::vector<WIDownloadCallbacks>> copy;
    std::lock_guard lock(callbacksMutex_);
    for (const auto& [url, entry] : URLCallbacks_) {
        auto& callbacks = copy[url];
        for (const auto& requester : entry.requesters) {
            callbacks.push_back(requester.callbacks);
        }
    }
    return copy;
}

std::shared_ptr<WIImageDownloaderOperation> WIImageDownloader::makeOperation(const NSURL& url, WIDownloadOptions options)
{
    double timeout = downloadTimeout_ == 0 ? 15.0 : downloadTimeout_;
    auto policy = (options & WIDownloadUseURLCache) ? NSURLRequestUseProtocolCachePolicy : NSURLRequestReloadIgnoringLocalCacheData;
    auto request = NSMutableURLRequest::requestWithURL(url, policy, timeout);
    request->setHTTPShouldHandleCookies((options & WIDownloadHandleCookies) != 0);
    request->setHTTPShouldUsePipelining(true);
    Value headers = HTTPHeaders();
    if (headersFilter_) {
        headers = headersFilter_(url, headers);
    }
    for (const auto& [name, value] : headers.asDictionary()) {
        if (value.isString()) {
            request->setValueForHTTPHeaderField(value.asString(), name);
        }
    }
    std::string key = url.absoluteString();
    std::weak_ptr<WIImageDownloader> weak = weak_from_this();
    // The operation reports with a raw pointer to itself so that its blocks hold no cycle.
    auto holder = std::make_shared<const WIImageDownloaderOperation*>(nullptr);
    WIDownloadProgress progress = [weak, key](std::int64_t received, std::int64_t expected) {
        if (auto strong = weak.lock()) {
            strong->operationProgress(key, received, expected);
        }
    };
    WIDownloadCompletion completed
        = [weak, key, holder](UIImageRef image, std::optional<Bytes> data, std::shared_ptr<NSError> error, bool finished) {
              if (auto strong = weak.lock()) {
                  strong->operationCompleted(key, *holder, std::move(image), std::move(data), std::move(error), finished);
              }
          };
    WIDownloadCancelled cancelled = [weak, key, holder] {
        if (auto strong = weak.lock()) {
            strong->operationCancelled(key, *holder);
        }
    };
    std::shared_ptr<WIImageDownloaderOperation> operation;
    if (operationClass_) {
        operation = operationClass_(request, options, progress, completed, cancelled);
    } else {
        operation = std::make_shared<WIImageDownloaderOperation>(request, options, progress, completed, cancelled);
    }
    *holder = operation.get();
    operation->setShouldDecompressImages(shouldDecompressImages_);
    operation->setMaxBodySize(maxBodySize_);
    if (!username_.empty() && !password_.empty()) {
        operation->setCredential(NSURLCredential::credentialWithUser(username_, password_, NSURLCredentialPersistenceForSession));
    }
    if (options & WIDownloadHighPriority) {
        operation->setQueuePriority(NSOperationQueuePriorityHigh);
    } else if (options & WIDownloadLowPriority) {
        operation->setQueuePriority(NSOperationQueuePriorityLow);
    }
    if (executionOrder_ == WIDownloadOrderLIFO) {
        if (auto last = lastAddedOperation_.lock()) {
            last->addDependency(operation);
        }
        lastAddedOperation_ = operation;
    }
    return operation;
}

std::shared_ptr<WIImageDownloadToken> WIImageDownloader::downloadImageWithURL(
    const std::optional<NSURL>& url, WIDownloadOptions options, WIDownloadProgress progress, WIDownloadCompletion completed)
{
    if (!url) {
        if (completed) {
            completed(nullptr, std::nullopt, nullptr, false);
        }
        return nullptr;
    }
    auto token = std::make_shared<WIImageDownloadToken>();
    token->downloader_ = weak_from_this();
    token->url_ = url->absoluteString();
    std::shared_ptr<WIImageDownloaderOperation> created;
    {
        std::lock_guard lock(callbacksMutex_);
        token->id_ = nextRequesterId_++;
        auto& entry = URLCallbacks_[token->url_];
        auto running = entry.operation.lock();
        // A cancelled or finished download is never joined. Reading an operation's state
        // under this lock is safe: an operation never calls into the downloader while it
        // holds its own lock.
        if (!running || running->isCancelled() || running->isFinished()) {
            entry.requesters.clear();
            created = makeOperation(*url, options);
            entry.operation = created;
        }
        entry.requesters.push_back(Requester { token->id_, { std::move(progress), std::move(completed) } });
    }
    if (created) {
        downloadQueue_->addOperation(created);
    }
    token->operation_ = created;
    return token;
}

void WIImageDownloader::removeRequester(const std::string& url, std::uint64_t id)
{
    std::shared_ptr<WIImageDownloaderOperation> orphan;
    {
        std::lock_guard lock(callbacksMutex_);
        auto found = URLCallbacks_.find(url);
        if (found == URLCallbacks_.end()) {
            return;
        }
        auto& requesters = found->second.requesters;
        std::erase_if(requesters, [id](const Requester& requester) { return requester.id == id; });
        if (!requesters.empty()) {
            return;
        }
        orphan = found->second.operation.lock();
        URLCallbacks_.erase(found);
    }
    if (orphan) {
        orphan->cancel();
    }
}

void WIImageDownloader::operationProgress(const std::string& url, std::int64_t received, std::int64_t expected)
{
    std::vector<Requester> requesters;
    {
        std::lock_guard lock(callbacksMutex_);
        auto found = URLCallbacks_.find(url);
        if (found == URLCallbacks_.end()) {
            return;
        }
        requesters = found->second.requesters;
    }
    for (const auto& requester : requesters) {
        if (requester.callbacks.progress) {
            auto progress = requester.callbacks.progress;
            dispatch_async(dispatch_get_main_queue(), [progress, received, expected] { progress(received, expected); });
        }
    }
}

void WIImageDownloader::operationCompleted(const std::string& url, const WIImageDownloaderOperation* operation,
    UIImageRef image, std::optional<Bytes> data, std::shared_ptr<NSError> error, bool finished)
{
    std::vector<Requester> requesters;
    {
        std::lock_guard lock(callbacksMutex_);
        auto found = URLCallbacks_.find(url);
        // Results of a download that no longer owns the URL's entry reach no one.
        if (found == URLCallbacks_.end() || found->second.operation.lock().get() != operation) {
            return;
        }
        requesters = found->second.requesters;
        if (finished) {
            URLCallbacks_.erase(found);
        }
    }
    // Every requester but the last gets a copy of the body; the last gets the body itself.
    for (std::size_t i = 0; i < requesters.size(); ++i) {
        const auto& completion = requesters[i].callbacks.completed;
        if (!completion) {
            continue;
        }
        bool last = std::none_of(requesters.begin() + long(i) + 1, requesters.end(),
            [](const Requester& later) { return bool(later.callbacks.completed); });
        completion(image, last ? std::move(data) : data, error, finished);
    }
}

void WIImageDownloader::operationCancelled(const std::string& url, const WIImageDownloaderOperation* operation)
{
    std::lock_guard lock(callbacksMutex_);
    auto found = URLCallbacks_.find(url);
    if (found != URLCallbacks_.end() && found->second.operation.lock().get() == operation) {
        URLCallbacks_.erase(found);
    }
}
