// NKHTTPRequestOperationManager: base-URL resolution, building operations, and the verbs.
#include "net/NKHTTPRequestOperationManager.h"

#include "net/NKCoding.h"

#include "platform/foundation/NSString.h"

std::shared_ptr<NKHTTPRequestOperationManager> NKHTTPRequestOperationManager::manager()
{
    return initWithBaseURL(std::nullopt);
}

std::shared_ptr<NKHTTPRequestOperationManager> NKHTTPRequestOperationManager::initWithBaseURL(const std::optional<NSURL>& baseURL)
{
    return std::make_shared<NKHTTPRequestOperationManager>(baseURL);
}

NKHTTPRequestOperationManager::NKHTTPRequestOperationManager(const std::optional<NSURL>& baseURL)
    : baseURL_(normalizedBaseURL(baseURL))
    , requestSerializer_(NKHTTPRequestSerializer::serializer())
    , responseSerializer_(NKJSONResponseSerializer::serializer())
    , operationQueue_(NSOperationQueue::create())
    , securityPolicy_(NKSecurityPolicy::defaultPolicy())
    , reachabilityManager_(NKNetworkReachabilityManager::sharedManager())
{
    net::registerArchivableClasses();
}

std::optional<NSURL> NKHTTPRequestOperationManager::normalizedBaseURL(const std::optional<NSURL>& baseURL)
{
    if (baseURL && !baseURL->percentEncodedPath().empty() && !NSString::hasSuffix(baseURL->absoluteString(), "/"))
        return baseURL->URLByAppendingPathComponent("");
    return baseURL;
}

std::string NKHTTPRequestOperationManager::description() const
{
    return NSString::stringWithFormat("<%@: %p, baseURL: %@, operationQueue: %@>", className(),
        static_cast<const void*>(this), baseURL_ ? Value(baseURL_->absoluteString()) : Value(),
        operationQueue_ ? Value(operationQueue_->description()) : Value());
}

std::string NKHTTPRequestOperationManager::resolve(const std::string& URLString) const
{
    // Without a base a URL reads back as the text it was made from, and text that is no URL is
    // passed on as it is: either way the text itself.
    if (!baseURL_)
        return URLString;
    auto url = NSURL::URLWithString(URLString, baseURL_);
    return url ? url->absoluteString() : URLString;
}

void NKHTTPRequestOperationManager::failAsynchronously(const Failure& failure, NSErrorRef error) const
{
    if (!failure)
        return;
    dispatch_queue_t queue = completionQueue_ ? completionQueue_ : dispatch_get_main_queue();
    dispatch_async(queue, [failure, error] { failure(nullptr, error); });
}

NKHTTPRequestOperationManager::OperationRef NKHTTPRequestOperationManager::HTTPRequestOperationWithRequest(
    const std::shared_ptr<NSURLRequest>& request, Success success, Failure failure)
{
    auto operation = NKHTTPRequestOperation::initWithRequest(request, responseSerializer_);
    operation->setShouldUseCredentialStorage(shouldUseCredentialStorage_);
    operation->setCredential(credential_);
    operation->setSecurityPolicy(securityPolicy_);
    operation->setMaximumResponseDataLength(maximumResponseDataLength_);
    operation->setCompletionBlockWithSuccess(std::move(success), std::move(failure));
    operation->setCompletionQueue(completionQueue_);
    operation->setCompletionGroup(completionGroup_);
    return operation;
}

NKHTTPRequestOperationManager::OperationRef NKHTTPRequestOperationManager::HTTPRequestOperationWithHTTPMethod(
    const std::string& method, const std::string& URLString, const Value& parameters, Success success, Failure failure)
{
    if (!requestSerializer_) {
        failAsynchronously(failure, net::missingRequestSerializerError(resolve(URLString)));
        return nullptr;
    }
    NSErrorRef error;
    auto request = requestSerializer_->requestWithMethod(method, resolve(URLString), parameters, &error);
    if (error || !request) {
        failAsynchronously(failure, error);
        return nullptr;
    }
    return HTTPRequestOperationWithRequest(request, std::move(success), std::move(failure));
}

NKHTTPRequestOperationManager::OperationRef NKHTTPRequestOperationManager::enqueue(OperationRef operation)
{
    if (operation && operationQueue_)
        operationQueue_->addOperation(operation);
    return operation;
}

NKHTTPRequestOperationManager::OperationRef NKHTTPRequestOperationManager::GET(
    const std::string& URLString, const Value& parameters, Success success, Failure failure)
{
    return enqueue(HTTPRequestOperationWithHTTPMethod("GET", URLString, parameters, std::move(success), std::move(failure)));
}

NKHTTPRequestOperationManager::OperationRef NKHTTPRequestOperationManager::HEAD(
    const std::string& URLString, const Value& parameters, HeadSuccess success, Failure failure)
{
    Success onlyOperation = [success](const OperationRef& operation, const Value&) {
        if (success)
            success(operation);
    };
    return enqueue(HTTPRequestOperationWithHTTPMethod("HEAD", URLString, parameters, onlyOperation, std::move(failure)));
}

NKHTTPRequestOperationManager::OperationRef NKHTTPRequestOperationManager::POST(
    const std::string& URLString, const Value& parameters, Success success, Failure failure)
{
    return enqueue(HTTPRequestOperationWithHTTPMethod("POST", URLString, parameters, std::move(success), std::move(failure)));
}

NKHTTPRequestOperationManager::OperationRef NKHTTPRequestOperationManager::POST(const std::string& URLString,
    const Value& parameters, const NKHTTPRequestSerializer::MultipartBodyBlock& block, Success success, Failure failure)
{
    if (!requestSerializer_) {
        failAsynchronously(failure, net::missingRequestSerializerError(resolve(URLString)));
        return nullptr;
    }
    NSErrorRef error;
    auto request = requestSerializer_->multipartFormRequestWithMethod("POST", resolve(URLString), parameters, block, &error);
    if (error || !request) {
        failAsynchronously(failure, error);
        return nullptr;
    }
    return enqueue(HTTPRequestOperationWithRequest(request, std::move(success), std::move(failure)));
}

NKHTTPRequestOperationManager::OperationRef NKHTTPRequestOperationManager::PUT(
    const std::string& URLString, const Value& parameters, Success success, Failure failure)
{
    return enqueue(HTTPRequestOperationWithHTTPMethod("PUT", URLString, parameters, std::move(success), std::move(failure)));
}

NKHTTPRequestOperationManager::OperationRef NKHTTPRequestOperationManager::PATCH(
    const std::string& URLString, const Value& parameters, Success success, Failure failure)
{
    return enqueue(HTTPRequestOperationWithHTTPMethod("PATCH", URLString, parameters, std::move(success), std::move(failure)));
}

NKHTTPRequestOperationManager::OperationRef NKHTTPRequestOperationManager::DELETE(
    const std::string& URLString, const Value& parameters, Success success, Failure failure)
{
    return enqueue(HTTPRequestOperationWithHTTPMethod("DELETE", URLString, parameters, std::move(success), std::move(failure)));
}

std::shared_ptr<NKHTTPRequestOperationManager> NKHTTPRequestOperationManager::copy() const
{
    auto other = std::make_shared<NKHTTPRequestOperationManager>(baseURL_);
    other->requestSerializer_ = requestSerializer_ ? requestSerializer_->copy() : nullptr;
    other->responseSerializer_ = responseSerializer_ ? responseSerializer_->copy() : nullptr;
    other->securityPolicy_ = securityPolicy_ ? securityPolicy_->copy() : nullptr;
    other->shouldUseCredentialStorage_ = shouldUseCredentialStorage_;
    other->credential_ = credential_;
    other->maximumResponseDataLength_ = maximumResponseDataLength_;
    return other;
}
