// NKHTTPSessionManager: base-URL resolution, the verbs and the multipart POST over session tasks.
#include "net/NKHTTPSessionManager.h"

#include "platform/foundation/Format.h"
#include "platform/foundation/NSString.h"
#include "platform/network/URLError.h"

std::shared_ptr<NKHTTPSessionManager> NKHTTPSessionManager::manager()
{
    return initWithBaseURL(std::nullopt);
}

std::shared_ptr<NKHTTPSessionManager> NKHTTPSessionManager::initWithBaseURL(
    const std::optional<NSURL>& baseURL, std::shared_ptr<NSURLSessionConfiguration> configuration)
{
    auto manager = std::make_shared<NKHTTPSessionManager>(baseURL, std::move(configuration));
    manager->setUpSession();
    return manager;
}

std::shared_ptr<NKHTTPSessionManager> NKHTTPSessionManager::initWithSessionConfiguration(
    std::shared_ptr<NSURLSessionConfiguration> configuration)
{
    return initWithBaseURL(std::nullopt, std::move(configuration));
}

NKHTTPSessionManager::NKHTTPSessionManager(const std::optional<NSURL>& baseURL, std::shared_ptr<NSURLSessionConfiguration> configuration)
    : NKURLSessionManager(std::move(configuration))
    , requestSerializer_(NKHTTPRequestSerializer::serializer())
{
    // A path without its trailing "/" gets one, so relative paths resolve below the whole path.
    if (baseURL && !baseURL->percentEncodedPath().empty() && !NSString::hasSuffix(baseURL->absoluteString(), "/"))
        baseURL_ = baseURL->URLByAppendingPathComponent("");
    else
        baseURL_ = baseURL;
    setResponseSerializer(NKJSONResponseSerializer::serializer());
}

std::string NKHTTPSessionManager::description() const
{
    return NSString::stringWithFormat("<%@: %p, baseURL: %@, session: %@, operationQueue: %@>", className(),
        static_cast<const void*>(this), baseURL_ ? Value(baseURL_->absoluteString()) : Value(),
        session() ? Value(session()->description()) : Value(), Value(operationQueue()->description()));
}

std::shared_ptr<NKHTTPRequestSerializer> NKHTTPSessionManager::requestSerializer() const
{
    std::lock_guard guard(serializerMutex_);
    return requestSerializer_;
}

void NKHTTPSessionManager::setRequestSerializer(std::shared_ptr<NKHTTPRequestSerializer> serializer)
{
    std::lock_guard guard(serializerMutex_);
    requestSerializer_ = std::move(serializer);
}

std::string NKHTTPSessionManager::resolve(const std::string& URLString) const
{
    auto url = NSURL::URLWithString(URLString, baseURL_);
    return url ? url->absoluteString() : URLString;
}

void NKHTTPSessionManager::failAsynchronously(const Failure& failure, const NSErrorRef& error) const
{
    if (!failure)
        return;
    dispatch_queue_t queue = completionQueue();
    dispatch_async(queue ? queue : dispatch_get_main_queue(), [failure, error] { failure(nullptr, error); });
}

NKHTTPSessionManager::CompletionHandler NKHTTPSessionManager::routing(std::shared_ptr<DataTaskRef> slot, Success success, Failure failure)
{
    return [slot, success, failure](const std::shared_ptr<NSURLResponse>&, const Value& responseObject, const NSErrorRef& error) {
        DataTaskRef task = std::move(*slot); // the task no longer needs holding
        if (error) {
            if (failure)
                failure(task, error);
            return;
        }
        if (success)
            success(task, responseObject);
    };
}

NKHTTPSessionManager::DataTaskRef NKHTTPSessionManager::dataTaskWithHTTPMethod(
    const std::string& method, const std::string& URLString, const Value& parameters, Success success, Failure failure)
{
    NSErrorRef error;
    auto serializer = requestSerializer();
    if (!serializer)
        error = net::missingRequestSerializerError(resolve(URLString));
    auto request = serializer ? serializer->requestWithMethod(method, resolve(URLString), parameters, &error) : nullptr;
    if (error || !request) {
        failAsynchronously(failure, error);
        return nullptr;
    }
    auto slot = std::make_shared<DataTaskRef>();
    auto task = dataTaskWithRequest(request, routing(slot, std::move(success), failure));
    if (!task) {
        // An invalidated session makes no more tasks.
        failAsynchronously(failure, network::urlError(NSURLErrorCancelled, request->URL()));
        return nullptr;
    }
    *slot = task;
    return task;
}

namespace {

NKHTTPSessionManager::DataTaskRef resumed(NKHTTPSessionManager::DataTaskRef task)
{
    if (task)
        task->resume();
    return task;
}

} // namespace

NKHTTPSessionManager::DataTaskRef NKHTTPSessionManager::GET(
    const std::string& URLString, const Value& parameters, Success success, Failure failure)
{
    return resumed(dataTaskWithHTTPMethod("GET", URLString, parameters, std::move(success), std::move(failure)));
}

NKHTTPSessionManager::DataTaskRef NKHTTPSessionManager::HEAD(
    const std::string& URLString, const Value& parameters, HeadSuccess success, Failure failure)
{
    Success onlyTask = [success](const DataTaskRef& task, const Value&) {
        if (success)
            success(task);
    };
    return resumed(dataTaskWithHTTPMethod("HEAD", URLString, parameters, std::move(onlyTask), std::move(failure)));
}

NKHTTPSessionManager::DataTaskRef NKHTTPSessionManager::POST(
    const std::string& URLString, const Value& parameters, Success success, Failure failure)
{
    return resumed(dataTaskWithHTTPMethod("POST", URLString, parameters, std::move(success), std::move(failure)));
}

NKHTTPSessionManager::DataTaskRef NKHTTPSessionManager::POST(const std::string& URLString, const Value& parameters,
    const NKHTTPRequestSerializer::MultipartBodyBlock& block, Success success, Failure failure)
{
    NSErrorRef error;
    auto serializer = requestSerializer();
    if (!serializer)
        error = net::missingRequestSerializerError(resolve(URLString));
    auto request = serializer
        ? serializer->multipartFormRequestWithMethod("POST", resolve(URLString), parameters, block, &error)
        : nullptr;
    if (error || !request) {
        failAsynchronously(failure, error);
        return nullptr;
    }
    auto slot = std::make_shared<DataTaskRef>();
    DataTaskRef task = uploadTaskWithStreamedRequest(request, nullptr, routing(slot, std::move(success), failure));
    if (!task) {
        // An invalidated session makes no more tasks.
        failAsynchronously(failure, network::urlError(NSURLErrorCancelled, request->URL()));
        return nullptr;
    }
    *slot = task;
    return resumed(task);
}

NKHTTPSessionManager::DataTaskRef NKHTTPSessionManager::PUT(
    const std::string& URLString, const Value& parameters, Success success, Failure failure)
{
    return resumed(dataTaskWithHTTPMethod("PUT", URLString, parameters, std::move(success), std::move(failure)));
}

NKHTTPSessionManager::DataTaskRef NKHTTPSessionManager::PATCH(
    const std::string& URLString, const Value& parameters, Success success, Failure failure)
{
    return resumed(dataTaskWithHTTPMethod("PATCH", URLString, parameters, std::move(success), std::move(failure)));
}

NKHTTPSessionManager::DataTaskRef NKHTTPSessionManager::DELETE(
    const std::string& URLString, const Value& parameters, Success success, Failure failure)
{
    return resumed(dataTaskWithHTTPMethod("DELETE", URLString, parameters, std::move(success), std::move(failure)));
}

std::shared_ptr<NKURLSessionManager> NKHTTPSessionManager::copy() const
{
    auto other = initWithBaseURL(baseURL_, session()->configuration());
    if (auto serializer = requestSerializer())
        other->setRequestSerializer(serializer->copy());
    if (auto serializer = responseSerializer())
        other->setResponseSerializer(serializer->copy());
    copySettingsTo(*other);
    return other;
}
