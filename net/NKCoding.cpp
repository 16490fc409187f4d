// Keyed archiving of the request operations and the managers, and the registration of every
// archivable class of the HTTP stack. Base URLs travel as their absolute strings.
#include "net/NKCoding.h"

#include <mutex>

#include "net/NKHTTPRequestOperationManager.h"
#include "net/NKHTTPSessionManager.h"
#include "platform/network/NetworkCoding.h"

using network::decodeURL;
using network::encodeURL;

namespace {

template <typename T>
void registerManager(const char* name, std::vector<std::string> kinds)
{
    persistence::registerCodingClass(
        name, [](const NSObject& object, NSCoder& coder) { dynamic_cast<const T&>(object).encodeWithCoder(coder); },
        [](NSCoder& coder) -> NSObjectRef { return T::initWithCoder(coder); },
        [](const NSObject& object) { return dynamic_cast<const T*>(&object) != nullptr; }, T::supportsSecureCoding(),
        std::move(kinds), true); // reading one starts a URL session
}

template <typename T>
void registerOperation(const char* name, std::vector<std::string> kinds)
{
    persistence::registerCodingClass<T>(
        name, std::function<std::shared_ptr<T>()>([] { return std::make_shared<T>(nullptr); }), std::move(kinds));
}

} // namespace

void net::registerArchivableClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        network::registerArchivableClasses();
        persistence::registerCodingClass<NKHTTPRequestSerializer>("NKHTTPRequestSerializer");
        const std::vector<std::string> request { "NKHTTPRequestSerializer" };
        persistence::registerCodingClass<NKJSONRequestSerializer>("NKJSONRequestSerializer", request);
        persistence::registerCodingClass<NKPropertyListRequestSerializer>("NKPropertyListRequestSerializer", request);
        const std::vector<std::string> response { "NKHTTPResponseSerializer" };
        persistence::registerCodingClass<NKHTTPResponseSerializer>("NKHTTPResponseSerializer");
        persistence::registerCodingClass<NKJSONResponseSerializer>("NKJSONResponseSerializer", response);
        persistence::registerCodingClass<NKXMLParserResponseSerializer>("NKXMLParserResponseSerializer", response);
        persistence::registerCodingClass<NKPropertyListResponseSerializer>("NKPropertyListResponseSerializer", response);
        persistence::registerCodingClass<NKImageResponseSerializer>("NKImageResponseSerializer", response);
        persistence::registerCodingClass<NKCompoundResponseSerializer>("NKCompoundResponseSerializer", response);
        registerOperation<NKURLConnectionOperation>("NKURLConnectionOperation", {});
        registerOperation<NKHTTPRequestOperation>("NKHTTPRequestOperation", { "NKURLConnectionOperation" });
        persistence::registerCodingClass<NKHTTPRequestOperationManager>("NKHTTPRequestOperationManager");
        registerManager<NKURLSessionManager>("NKURLSessionManager", {});
        registerManager<NKHTTPSessionManager>("NKHTTPSessionManager", { "NKURLSessionManager" });
    });
}

void NKURLConnectionOperation::encodeWithCoder(NSCoder& coder) const
{
    const_cast<NKURLConnectionOperation*>(this)->pause();
    std::lock_guard lock(lock_);
    coder.encodeObject(request_ ? Value(request_) : Value(), "request");
    NKURLConnectionOperationState state = state_;
    bool running = state == NKOperationExecutingState || state == NKOperationPausedState;
    coder.encodeInteger(running ? NKOperationReadyState : state, "state");
    coder.encodeObject(response_ ? Value(response_) : Value(), "response");
    coder.encodeObject(error_ ? Value(error_) : Value(), "error");
    coder.encodeObject(responseData_ ? Value(*responseData_) : Value(), "responseData");
    coder.encodeInt64(totalBytesRead_, "totalBytesRead");
}

bool NKURLConnectionOperation::initWithCoder(NSCoder& coder)
{
    auto request = coder.decodeObjectOfClass<NSURLRequest>("NSURLRequest", "request");
    if (!request)
        return false;
    setRequest(std::move(request));
    // "state" is not taken over: a restored operation has no connection behind it, so it is
    // always Ready. A stored Executing or Paused would leave it holding a queue slot that
    // nothing ever finishes.
    setResponse(coder.decodeObjectOfClass<NSHTTPURLResponse>("NSHTTPURLResponse", "response"));
    setLocked(error_, coder.decodeObjectOfClass<NSError>("NSError", "error"));
    Value data = coder.decodeObjectOfClass("NSData", "responseData");
    if (data.isData())
        setResponseData(data.asData());
    totalBytesRead_ = coder.decodeInt64ForKey("totalBytesRead");
    return !coder.error();
}

void NKHTTPRequestOperation::encodeWithCoder(NSCoder& coder) const
{
    NKURLConnectionOperation::encodeWithCoder(coder);
    auto serializer = responseSerializer();
    coder.encodeObject(serializer ? Value(serializer) : Value(), "responseSerializer");
}

bool NKHTTPRequestOperation::initWithCoder(NSCoder& coder)
{
    if (!NKURLConnectionOperation::initWithCoder(coder))
        return false;
    if (auto serializer = coder.decodeObjectOfClass<NKHTTPResponseSerializer>("NKHTTPResponseSerializer", "responseSerializer"))
        setResponseSerializer(std::move(serializer));
    return !coder.error();
}

void NKHTTPRequestOperationManager::encodeWithCoder(NSCoder& coder) const
{
    encodeURL(coder, baseURL_, "baseURL");
    coder.encodeObject(requestSerializer_ ? Value(requestSerializer_) : Value(), "requestSerializer");
    coder.encodeObject(responseSerializer_ ? Value(responseSerializer_) : Value(), "responseSerializer");
}

bool NKHTTPRequestOperationManager::initWithCoder(NSCoder& coder)
{
    baseURL_ = normalizedBaseURL(decodeURL(coder, "baseURL"));
    if (auto serializer = coder.decodeObjectOfClass<NKHTTPRequestSerializer>("NKHTTPRequestSerializer", "requestSerializer"))
        requestSerializer_ = std::move(serializer);
    if (auto serializer = coder.decodeObjectOfClass<NKHTTPResponseSerializer>("NKHTTPResponseSerializer", "responseSerializer"))
        responseSerializer_ = std::move(serializer);
    return !coder.error();
}

void NKURLSessionManager::encodeWithCoder(NSCoder& coder) const
{
    auto configuration = session_ ? session_->configuration() : sessionConfiguration_;
    coder.encodeObject(configuration ? Value(configuration) : Value(), "sessionConfiguration");
}

std::shared_ptr<NKURLSessionManager> NKURLSessionManager::initWithCoder(NSCoder& coder)
{
    auto configuration = coder.decodeObjectOfClass<NSURLSessionConfiguration>("NSURLSessionConfiguration", "sessionConfiguration");
    if (coder.error())
        return nullptr;
    return initWithSessionConfiguration(std::move(configuration));
}

void NKHTTPSessionManager::encodeWithCoder(NSCoder& coder) const
{
    NKURLSessionManager::encodeWithCoder(coder);
    encodeURL(coder, baseURL_, "baseURL");
    auto serializer = requestSerializer();
    coder.encodeObject(serializer ? Value(serializer) : Value(), "requestSerializer");
    auto responses = responseSerializer();
    coder.encodeObject(responses ? Value(responses) : Value(), "responseSerializer");
}

std::shared_ptr<NKHTTPSessionManager> NKHTTPSessionManager::initWithCoder(NSCoder& coder)
{
    auto url = decodeURL(coder, "baseURL");
    auto configuration = coder.decodeObjectOfClass<NSURLSessionConfiguration>("NSURLSessionConfiguration", "sessionConfiguration");
    Value identifier = coder.decodeObjectOfClass("NSString", "identifier");
    if (!configuration && identifier.isString())
        configuration = NSURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier(identifier.asString());
    auto requests = coder.decodeObjectOfClass<NKHTTPRequestSerializer>("NKHTTPRequestSerializer", "requestSerializer");
    auto responses = coder.decodeObjectOfClass<NKHTTPResponseSerializer>("NKHTTPResponseSerializer", "responseSerializer");
    if (coder.error())
        return nullptr;
    auto manager = initWithBaseURL(url, std::move(configuration));
    if (requests)
        manager->setRequestSerializer(std::move(requests));
    if (responses)
        manager->setResponseSerializer(std::move(responses));
    return manager;
}
