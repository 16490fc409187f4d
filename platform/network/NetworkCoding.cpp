// Keyed archiving of URL requests, HTTP responses and session configurations.
#include "platform/network/NetworkCoding.h"

#include <mutex>

#include "platform/network/NSHTTPCookieStorage.h"
#include "platform/network/NSURLRequest.h"
#include "platform/network/NSURLResponse.h"
#include "platform/network/NSURLSession.h"
#include "platform/persistence/NSCoder.h"

namespace network {

void encodeURL(NSCoder& coder, const std::optional<NSURL>& url, std::string_view key)
{
    if (url)
        coder.encodeObject(Value(url->absoluteString()), key);
}

std::optional<NSURL> decodeURL(NSCoder& coder, std::string_view key)
{
    Value text = coder.decodeObjectOfClass("NSString", key);
    return text.isString() ? NSURL::URLWithString(text.asString()) : std::nullopt;
}

namespace {

void encodeRequest(const NSObject& object, NSCoder& coder)
{
    const auto& request = dynamic_cast<const NSURLRequest&>(object);
    encodeURL(coder, request.URL(), "URL");
    encodeURL(coder, request.mainDocumentURL(), "mainDocumentURL");
    coder.encodeObject(Value(request.HTTPMethod()), "HTTPMethod");
    coder.encodeObject(request.allHTTPHeaderFields(), "allHTTPHeaderFields");
    if (request.HTTPBody())
        coder.encodeObject(Value(*request.HTTPBody()), "HTTPBody");
    coder.encodeDouble(request.timeoutInterval(), "timeoutInterval");
    coder.encodeInteger(static_cast<std::int64_t>(request.cachePolicy()), "cachePolicy");
    coder.encodeBool(request.HTTPShouldHandleCookies(), "HTTPShouldHandleCookies");
    coder.encodeBool(request.HTTPShouldUsePipelining(), "HTTPShouldUsePipelining");
    coder.encodeBool(request.allowsCellularAccess(), "allowsCellularAccess");
    coder.encodeInteger(static_cast<std::int64_t>(request.networkServiceType()), "networkServiceType");
}

std::shared_ptr<NSMutableURLRequest> decodeRequest(NSCoder& coder)
{
    auto request = NSMutableURLRequest::requestWithURL(decodeURL(coder, "URL"));
    request->setMainDocumentURL(decodeURL(coder, "mainDocumentURL"));
    Value method = coder.decodeObjectOfClass("NSString", "HTTPMethod");
    if (method.isString())
        request->setHTTPMethod(method.asString());
    request->setAllHTTPHeaderFields(coder.decodeObjectOfClass("NSDictionary", "allHTTPHeaderFields"));
    Value body = coder.decodeObjectOfClass("NSData", "HTTPBody");
    if (body.isData())
        request->setHTTPBody(body.asData());
    request->setTimeoutInterval(coder.decodeDoubleForKey("timeoutInterval"));
    request->setCachePolicy(static_cast<NSURLRequestCachePolicy>(coder.decodeIntegerForKey("cachePolicy")));
    request->setHTTPShouldHandleCookies(coder.decodeBoolForKey("HTTPShouldHandleCookies"));
    request->setHTTPShouldUsePipelining(coder.decodeBoolForKey("HTTPShouldUsePipelining"));
    request->setAllowsCellularAccess(coder.decodeBoolForKey("allowsCellularAccess"));
    request->setNetworkServiceType(static_cast<NSURLRequestNetworkServiceType>(coder.decodeIntegerForKey("networkServiceType")));
    return request;
}

void encodeResponse(const NSObject& object, NSCoder& coder)
{
    const auto& response = dynamic_cast<const NSHTTPURLResponse&>(object);
    encodeURL(coder, response.URL(), "URL");
    coder.encodeInteger(response.statusCode(), "statusCode");
    coder.encodeObject(Value(response.HTTPVersion()), "HTTPVersion");
    coder.encodeObject(response.allHeaderFields(), "allHeaderFields");
}

NSObjectRef decodeResponse(NSCoder& coder)
{
    Value version = coder.decodeObjectOfClass("NSString", "HTTPVersion");
    return NSHTTPURLResponse::create(decodeURL(coder, "URL"), coder.decodeIntegerForKey("statusCode"),
        version.isString() ? version.asString() : "HTTP/1.1", coder.decodeObjectOfClass("NSDictionary", "allHeaderFields"));
}

void encodeConfiguration(const NSObject& object, NSCoder& coder)
{
    const auto& configuration = dynamic_cast<const NSURLSessionConfiguration&>(object);
    if (configuration.identifier)
        coder.encodeObject(Value(*configuration.identifier), "identifier");
    coder.encodeBool(configuration.HTTPCookieStorage != NSHTTPCookieStorage::sharedHTTPCookieStorage(), "privateStorage");
    coder.encodeDouble(configuration.timeoutIntervalForRequest, "timeoutIntervalForRequest");
    coder.encodeDouble(configuration.timeoutIntervalForResource, "timeoutIntervalForResource");
    if (configuration.HTTPAdditionalHeaders.isDictionary())
        coder.encodeObject(configuration.HTTPAdditionalHeaders, "HTTPAdditionalHeaders");
    coder.encodeInteger(static_cast<std::int64_t>(configuration.requestCachePolicy), "requestCachePolicy");
    coder.encodeBool(configuration.HTTPShouldSetCookies, "HTTPShouldSetCookies");
    coder.encodeBool(configuration.HTTPShouldUsePipelining, "HTTPShouldUsePipelining");
    coder.encodeBool(configuration.allowsCellularAccess, "allowsCellularAccess");
    coder.encodeInteger(configuration.HTTPMaximumConnectionsPerHost, "HTTPMaximumConnectionsPerHost");
    coder.encodeInteger(static_cast<std::int64_t>(configuration.networkServiceType), "networkServiceType");
    coder.encodeInteger(configuration.maximumResponseBodyLength, "maximumResponseBodyLength");
}

NSObjectRef decodeConfiguration(NSCoder& coder)
{
    auto configuration = coder.decodeBoolForKey("privateStorage")
        ? NSURLSessionConfiguration::ephemeralSessionConfiguration()
        : NSURLSessionConfiguration::defaultSessionConfiguration();
    Value identifier = coder.decodeObjectOfClass("NSString", "identifier");
    if (identifier.isString())
        configuration->identifier = identifier.asString();
    configuration->timeoutIntervalForRequest = coder.decodeDoubleForKey("timeoutIntervalForRequest");
    configuration->timeoutIntervalForResource = coder.decodeDoubleForKey("timeoutIntervalForResource");
    configuration->HTTPAdditionalHeaders = coder.decodeObjectOfClass("NSDictionary", "HTTPAdditionalHeaders");
    configuration->requestCachePolicy = static_cast<NSURLRequestCachePolicy>(coder.decodeIntegerForKey("requestCachePolicy"));
    configuration->HTTPShouldSetCookies = coder.decodeBoolForKey("HTTPShouldSetCookies");
    configuration->HTTPShouldUsePipelining = coder.decodeBoolForKey("HTTPShouldUsePipelining");
    configuration->allowsCellularAccess = coder.decodeBoolForKey("allowsCellularAccess");
    configuration->HTTPMaximumConnectionsPerHost = static_cast<long>(coder.decodeIntegerForKey("HTTPMaximumConnectionsPerHost"));
    configuration->networkServiceType
        = static_cast<NSURLRequestNetworkServiceType>(coder.decodeIntegerForKey("networkServiceType"));
    // Archives written before the limit existed, or holding no sane one, keep the default.
    if (std::int64_t limit = coder.decodeIntegerForKey("maximumResponseBodyLength"); limit > 0)
        configuration->maximumResponseBodyLength = limit;
    return configuration;
}

template <typename T>
bool isA(const NSObject& object)
{
    return dynamic_cast<const T*>(&object) != nullptr;
}

} // namespace

void registerArchivableClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        persistence::registerCodingClass("NSURLRequest", encodeRequest,
            [](NSCoder& coder) -> NSObjectRef { return decodeRequest(coder)->copy(); }, isA<NSURLRequest>, true);
        persistence::registerCodingClass("NSMutableURLRequest", encodeRequest,
            [](NSCoder& coder) -> NSObjectRef { return decodeRequest(coder); }, isA<NSMutableURLRequest>, true,
            { "NSURLRequest" });
        persistence::registerCodingClass("NSHTTPURLResponse", encodeResponse, decodeResponse, isA<NSHTTPURLResponse>, true);
        persistence::registerCodingClass(
            "NSURLSessionConfiguration", encodeConfiguration, decodeConfiguration, isA<NSURLSessionConfiguration>, true);
    });
}

} // namespace network
