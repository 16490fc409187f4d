// Sessions: configurations, task creation, invalidation, and the delegate defaults.
#include "platform/network/NSURLSession.h"

#include <filesystem>
#include <sstream>

#include "platform/network/NSHTTPCookieStorage.h"
#include "platform/network/URLError.h"

bool NSURLSessionDelegate::respondsTo(NSURLSessionDelegateMethod method) const
{
    return method != NSURLSessionDelegateMethod::DidReceiveChallenge
        && method != NSURLSessionDelegateMethod::DidFinishEventsForBackgroundURLSession;
}

void NSURLSessionDelegate::URLSessionDidReceiveChallenge(const std::shared_ptr<NSURLSession>&,
    const std::shared_ptr<NSURLAuthenticationChallenge>&, ChallengeCompletion completion)
{
    completion(NSURLSessionAuthChallengePerformDefaultHandling, nullptr);
}

void NSURLSessionDelegate::taskWillPerformHTTPRedirection(const std::shared_ptr<NSURLSession>&,
    const std::shared_ptr<NSURLSessionTask>&, const std::shared_ptr<NSHTTPURLResponse>&,
    const std::shared_ptr<NSURLRequest>& request, std::function<void(std::shared_ptr<NSURLRequest>)> completion)
{
    completion(request);
}

void NSURLSessionDelegate::taskDidReceiveChallenge(const std::shared_ptr<NSURLSession>&,
    const std::shared_ptr<NSURLSessionTask>&, const std::shared_ptr<NSURLAuthenticationChallenge>&,
    ChallengeCompletion completion)
{
    completion(NSURLSessionAuthChallengePerformDefaultHandling, nullptr);
}

void NSURLSessionDelegate::taskNeedNewBodyStream(const std::shared_ptr<NSURLSession>&,
    const std::shared_ptr<NSURLSessionTask>& task, std::function<void(std::shared_ptr<NSInputStream>)> completion)
{
    auto original = task ? task->originalRequest() : nullptr;
    completion(original && original->HTTPBodyStream() ? original->HTTPBodyStream()->copyStream() : nullptr);
}

void NSURLSessionDelegate::dataTaskDidReceiveResponse(const std::shared_ptr<NSURLSession>&,
    const std::shared_ptr<NSURLSessionDataTask>&, const std::shared_ptr<NSURLResponse>&,
    std::function<void(NSURLSessionResponseDisposition)> completion)
{
    completion(NSURLSessionResponseAllow);
}

void NSURLSessionDelegate::dataTaskWillCacheResponse(const std::shared_ptr<NSURLSession>&,
    const std::shared_ptr<NSURLSessionDataTask>&, const std::shared_ptr<NSCachedURLResponse>& proposed,
    std::function<void(std::shared_ptr<NSCachedURLResponse>)> completion)
{
    completion(proposed);
}

std::shared_ptr<NSURLSessionConfiguration> NSURLSessionConfiguration::defaultSessionConfiguration()
{
    auto configuration = std::make_shared<NSURLSessionConfiguration>();
    configuration->URLCache = NSURLCache::sharedURLCache();
    configuration->HTTPCookieStorage = NSHTTPCookieStorage::sharedHTTPCookieStorage();
    configuration->URLCredentialStorage = NSURLCredentialStorage::sharedCredentialStorage();
    return configuration;
}

std::shared_ptr<NSURLSessionConfiguration> NSURLSessionConfiguration::ephemeralSessionConfiguration()
{
    auto configuration = std::make_shared<NSURLSessionConfiguration>();
    configuration->URLCache = std::make_shared<NSURLCache>(4u << 20, 0, "");
    configuration->HTTPCookieStorage = std::make_shared<NSHTTPCookieStorage>();
    configuration->URLCredentialStorage = std::make_shared<NSURLCredentialStorage>();
    return configuration;
}

std::shared_ptr<NSURLSessionConfiguration> NSURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier(
    std::string identifier)
{
    auto configuration = defaultSessionConfiguration();
    configuration->identifier = std::move(identifier);
    return configuration;
}

std::shared_ptr<NSURLSessionConfiguration> NSURLSessionConfiguration::copy() const
{
    auto configuration = std::make_shared<NSURLSessionConfiguration>();
    configuration->identifier = identifier;
    configuration->timeoutIntervalForRequest = timeoutIntervalForRequest;
    configuration->timeoutIntervalForResource = timeoutIntervalForResource;
    configuration->HTTPAdditionalHeaders = HTTPAdditionalHeaders;
    configuration->requestCachePolicy = requestCachePolicy;
    configuration->URLCache = URLCache;
    configuration->HTTPCookieStorage = HTTPCookieStorage;
    configuration->URLCredentialStorage = URLCredentialStorage;
    configuration->HTTPShouldSetCookies = HTTPShouldSetCookies;
    configuration->HTTPShouldUsePipelining = HTTPShouldUsePipelining;
    configuration->allowsCellularAccess = allowsCellularAccess;
    configuration->HTTPMaximumConnectionsPerHost = HTTPMaximumConnectionsPerHost;
    configuration->networkServiceType = networkServiceType;
    configuration->maximumResponseBodyLength = maximumResponseBodyLength;
    return configuration;
}

NSURLSession::NSURLSession(std::shared_ptr<NSURLSessionConfiguration> configuration,
    std::shared_ptr<NSURLSessionDelegate> delegate, std::shared_ptr<NSOperationQueue> queue)
    : configuration_(configuration ? configuration->copy() : NSURLSessionConfiguration::defaultSessionConfiguration())
    , queue_(std::move(queue))
    , delegate_(std::move(delegate))
{
    if (!queue_) {
        queue_ = NSOperationQueue::create();
        queue_->setMaxConcurrentOperationCount(1);
    }
}

NSURLSession::~NSURLSession() = default;

std::shared_ptr<NSURLSession> NSURLSession::sharedSession()
{
    static auto session = std::make_shared<NSURLSession>(nullptr, nullptr, nullptr);
    return session;
}

std::shared_ptr<NSURLSession> NSURLSession::sessionWithConfiguration(std::shared_ptr<NSURLSessionConfiguration> configuration)
{
    return std::make_shared<NSURLSession>(std::move(configuration), nullptr, nullptr);
}

std::shared_ptr<NSURLSession> NSURLSession::sessionWithConfiguration(std::shared_ptr<NSURLSessionConfiguration> configuration,
    std::shared_ptr<NSURLSessionDelegate> delegate, std::shared_ptr<NSOperationQueue> delegateQueue)
{
    return std::make_shared<NSURLSession>(std::move(configuration), std::move(delegate), std::move(delegateQueue));
}

std::shared_ptr<NSURLSessionDelegate> NSURLSession::delegate() const
{
    std::lock_guard lock(mutex_);
    return delegate_;
}

std::string NSURLSession::sessionDescription() const
{
    std::lock_guard lock(mutex_);
    return description_;
}

void NSURLSession::setSessionDescription(std::string description)
{
    std::lock_guard lock(mutex_);
    description_ = std::move(description);
}

network::LoaderOptions NSURLSession::loaderOptions() const
{
    network::LoaderOptions options;
    options.cache = configuration_->URLCache;
    options.cookies = configuration_->HTTPShouldSetCookies ? configuration_->HTTPCookieStorage : nullptr;
    options.credentials = configuration_->URLCredentialStorage;
    options.cancelledChallengeCode = NSURLErrorCancelled;
    options.idleTimeout = configuration_->timeoutIntervalForRequest;
    options.totalTimeout = configuration_->timeoutIntervalForResource;
    options.additionalHeaders = network::HeaderFields::fromDictionary(configuration_->HTTPAdditionalHeaders);
    options.maximumBodyLength = configuration_->maximumResponseBodyLength;
    return options;
}

std::shared_ptr<NSURLRequest> NSURLSession::prepared(const std::shared_ptr<NSURLRequest>& request) const
{
    auto copy = request->mutableCopy();
    if (copy->cachePolicy() == NSURLRequestUseProtocolCachePolicy)
        copy->setCachePolicy(configuration_->requestCachePolicy);
    return copy;
}

template <class T>
std::shared_ptr<T> NSURLSession::makeTask(NSURLSessionTask::Kind kind, const std::shared_ptr<NSURLRequest>& request)
{
    if (!request)
        return nullptr;
    std::lock_guard lock(mutex_);
    if (invalidating_)
        return nullptr;
    auto task = std::make_shared<T>(kind, sharedAs<NSURLSession>(), nextIdentifier_++, prepared(request));
    tasks_[task->taskIdentifier()] = task;
    return task;
}

std::shared_ptr<NSURLSessionDataTask> NSURLSession::dataTaskWithRequest(
    const std::shared_ptr<NSURLRequest>& request, NSURLSessionTask::DataCompletion completion)
{
    auto task = makeTask<NSURLSessionDataTask>(NSURLSessionTask::Kind::Data, request);
    if (task)
        task->dataCompletion_ = std::move(completion);
    return task;
}

std::shared_ptr<NSURLSessionDataTask> NSURLSession::dataTaskWithURL(const NSURL& url, NSURLSessionTask::DataCompletion completion)
{
    return dataTaskWithRequest(NSURLRequest::requestWithURL(url), std::move(completion));
}

std::shared_ptr<NSURLSessionUploadTask> NSURLSession::uploadTaskWithRequest(
    const std::shared_ptr<NSURLRequest>& request, Bytes body, NSURLSessionTask::DataCompletion completion)
{
    auto task = makeTask<NSURLSessionUploadTask>(NSURLSessionTask::Kind::Upload, request);
    if (!task)
        return nullptr;
    task->uploadData_ = std::move(body);
    task->dataCompletion_ = std::move(completion);
    return task;
}

std::shared_ptr<NSURLSessionUploadTask> NSURLSession::uploadTaskWithRequestFromFile(
    const std::shared_ptr<NSURLRequest>& request, const NSURL& file, NSURLSessionTask::DataCompletion completion)
{
    auto task = makeTask<NSURLSessionUploadTask>(NSURLSessionTask::Kind::Upload, request);
    if (!task)
        return nullptr;
    task->uploadFile_ = file.path();
    task->dataCompletion_ = std::move(completion);
    return task;
}

std::shared_ptr<NSURLSessionUploadTask> NSURLSession::uploadTaskWithStreamedRequest(const std::shared_ptr<NSURLRequest>& request)
{
    auto task = makeTask<NSURLSessionUploadTask>(NSURLSessionTask::Kind::Upload, request);
    if (task)
        task->streamed_ = true;
    return task;
}

std::shared_ptr<NSURLSessionDownloadTask> NSURLSession::downloadTaskWithRequest(
    const std::shared_ptr<NSURLRequest>& request, NSURLSessionTask::DownloadCompletion completion)
{
    auto task = makeTask<NSURLSessionDownloadTask>(NSURLSessionTask::Kind::Download, request);
    if (task)
        task->downloadCompletion_ = std::move(completion);
    return task;
}

// Resume data: "QMRESUME 1\n" url "\n" partial file "\n" offset "\n" etag "\n".
std::shared_ptr<NSURLSessionDownloadTask> NSURLSession::downloadTaskWithResumeData(
    const Bytes& resumeData, NSURLSessionTask::DownloadCompletion completion)
{
    std::istringstream in(std::string(resumeData.begin(), resumeData.end()));
    std::string magic, url, path, offset, etag;
    if (!std::getline(in, magic) || magic != "QMRESUME 1" || !std::getline(in, url) || !std::getline(in, path)
        || !std::getline(in, offset) || !std::getline(in, etag))
        return nullptr;
    auto parsed = NSURL::URLWithString(url);
    std::error_code error;
    std::int64_t size = std::strtoll(offset.c_str(), nullptr, 10);
    if (!parsed || size <= 0 || etag.empty()
        || std::filesystem::file_size(path, error) != static_cast<std::uintmax_t>(size) || error)
        return nullptr;
    auto request = NSMutableURLRequest::requestWithURL(parsed);
    request->setValueForHTTPHeaderField("bytes=" + offset + "-", "Range");
    request->setValueForHTTPHeaderField(etag, "If-Range");
    auto task = makeTask<NSURLSessionDownloadTask>(NSURLSessionTask::Kind::Download, request);
    if (!task)
        return nullptr;
    task->downloadCompletion_ = std::move(completion);
    task->downloadPath_ = path;
    task->resumeOffset_ = size;
    task->etag_ = etag;
    return task;
}

void NSURLSession::getTasksWithCompletionHandler(std::function<void(std::vector<std::shared_ptr<NSURLSessionDataTask>>,
        std::vector<std::shared_ptr<NSURLSessionUploadTask>>, std::vector<std::shared_ptr<NSURLSessionDownloadTask>>)>
        handler)
{
    std::vector<std::shared_ptr<NSURLSessionDataTask>> data;
    std::vector<std::shared_ptr<NSURLSessionUploadTask>> uploads;
    std::vector<std::shared_ptr<NSURLSessionDownloadTask>> downloads;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [id, weak] : tasks_) {
            auto task = weak.lock();
            if (!task || task->state() == NSURLSessionTaskStateCompleted)
                continue;
            if (auto upload = std::dynamic_pointer_cast<NSURLSessionUploadTask>(task))
                uploads.push_back(upload);
            else if (auto download = std::dynamic_pointer_cast<NSURLSessionDownloadTask>(task))
                downloads.push_back(download);
            else if (auto plain = std::dynamic_pointer_cast<NSURLSessionDataTask>(task))
                data.push_back(plain);
        }
    }
    queue_->addOperationWithBlock([handler = std::move(handler), data, uploads, downloads] { handler(data, uploads, downloads); });
}

void NSURLSession::taskCompleted(std::uint64_t identifier)
{
    {
        std::lock_guard lock(mutex_);
        tasks_.erase(identifier);
    }
    invalidateIfDone();
}

void NSURLSession::invalidateIfDone()
{
    std::shared_ptr<NSURLSessionDelegate> delegate;
    {
        std::lock_guard lock(mutex_);
        std::erase_if(tasks_, [](const auto& entry) {
            auto task = entry.second.lock();
            return !task || task->state() == NSURLSessionTaskStateCompleted;
        });
        if (!invalidating_ || invalidated_ || !tasks_.empty())
            return;
        invalidated_ = true;
        delegate = delegate_;
    }
    auto self = sharedAs<NSURLSession>();
    queue_->addOperationWithBlock([self, delegate] {
        if (delegate && delegate->respondsTo(NSURLSessionDelegateMethod::DidBecomeInvalid))
            delegate->URLSessionDidBecomeInvalidWithError(self, nullptr);
        std::lock_guard lock(self->mutex_);
        self->delegate_.reset(); // the session lets its delegate go only now
    });
}

void NSURLSession::finishTasksAndInvalidate()
{
    if (this == sharedSession().get())
        return;
    {
        std::lock_guard lock(mutex_);
        invalidating_ = true;
    }
    invalidateIfDone();
}

void NSURLSession::invalidateAndCancel()
{
    if (this == sharedSession().get())
        return;
    std::vector<std::shared_ptr<NSURLSessionTask>> running;
    {
        std::lock_guard lock(mutex_);
        invalidating_ = true;
        for (const auto& [id, weak] : tasks_)
            if (auto task = weak.lock())
                running.push_back(task);
    }
    for (const auto& task : running)
        task->cancel();
    invalidateIfDone();
}
