// NSURLRequest and NSMutableURLRequest: what to load and how. Header names compare without regard
// to case; a body is either bytes or a stream, never both. Copies share the body stream object.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/NSURL.h"
#include "platform/foundation/Value.h"
#include "platform/network/HeaderFields.h"
#include "platform/network/NSStream.h"

using NSTimeInterval = double;

enum NSURLRequestCachePolicy : std::uint64_t {
    NSURLRequestUseProtocolCachePolicy = 0,
    NSURLRequestReloadIgnoringLocalCacheData = 1,
    NSURLRequestReturnCacheDataElseLoad = 2,
    NSURLRequestReturnCacheDataDontLoad = 3,
    NSURLRequestReloadIgnoringLocalAndRemoteCacheData = 4,
    NSURLRequestReloadRevalidatingCacheData = 5,
};
inline constexpr NSURLRequestCachePolicy NSURLRequestReloadIgnoringCacheData = NSURLRequestReloadIgnoringLocalCacheData;

enum NSURLRequestNetworkServiceType : std::uint64_t {
    NSURLNetworkServiceTypeDefault = 0,
    NSURLNetworkServiceTypeVoIP = 1,
    NSURLNetworkServiceTypeVideo = 2,
    NSURLNetworkServiceTypeBackground = 3,
    NSURLNetworkServiceTypeVoice = 4,
};

class NSMutableURLRequest;

// The most response body a load keeps in memory for one body (what a completion handler or a
// synchronous load gathers), and the most a compressed body may inflate to: a larger reply
// fails with NSURLErrorDataLengthExceedsMaximum. Our extension of the platform, settable per
// request (maximumResponseBodyLength) or per session configuration.
inline constexpr std::int64_t NSURLDefaultMaximumResponseBodyLength = 64ll << 20;

class NSURLRequest : public NSObject {
public:
    static std::shared_ptr<NSURLRequest> requestWithURL(const std::optional<NSURL>& url);
    static std::shared_ptr<NSURLRequest> requestWithURL(const std::optional<NSURL>& url,
        NSURLRequestCachePolicy cachePolicy, NSTimeInterval timeoutInterval);
    NSURLRequest() = default;
    std::string className() const override { return "NSURLRequest"; }
    std::string description() const override;

    const std::optional<NSURL>& URL() const { return url_; }
    const std::optional<NSURL>& mainDocumentURL() const { return mainDocumentURL_; }
    const std::string& HTTPMethod() const { return method_; }
    std::optional<std::string> valueForHTTPHeaderField(std::string_view name) const { return headers_.get(name); }
    // A dictionary of strings (empty when there are none).
    Value allHTTPHeaderFields() const { return headers_.dictionary(); }
    const network::HeaderFields& headerFields() const { return headers_; }
    const std::optional<Bytes>& HTTPBody() const { return body_; }
    const std::shared_ptr<NSInputStream>& HTTPBodyStream() const { return bodyStream_; }
    NSTimeInterval timeoutInterval() const { return timeout_; }
    NSURLRequestCachePolicy cachePolicy() const { return cachePolicy_; }
    bool HTTPShouldHandleCookies() const { return handleCookies_; }
    bool HTTPShouldUsePipelining() const { return pipelining_; }
    bool allowsCellularAccess() const { return cellular_; }
    NSURLRequestNetworkServiceType networkServiceType() const { return serviceType_; }
    // Unset: the session configuration's limit, else NSURLDefaultMaximumResponseBodyLength.
    std::optional<std::int64_t> maximumResponseBodyLength() const { return maximumResponseBodyLength_; }

    std::shared_ptr<NSURLRequest> copy() const;
    std::shared_ptr<NSMutableURLRequest> mutableCopy() const;

protected:
    void copyFieldsFrom(const NSURLRequest& other);

    std::optional<NSURL> url_;
    std::optional<NSURL> mainDocumentURL_;
    std::string method_ = "GET";
    network::HeaderFields headers_;
    std::optional<Bytes> body_;
    std::shared_ptr<NSInputStream> bodyStream_;
    NSTimeInterval timeout_ = 60;
    NSURLRequestCachePolicy cachePolicy_ = NSURLRequestUseProtocolCachePolicy;
    bool handleCookies_ = true;
    bool pipelining_ = false;
    bool cellular_ = true;
    NSURLRequestNetworkServiceType serviceType_ = NSURLNetworkServiceTypeDefault;
    std::optional<std::int64_t> maximumResponseBodyLength_;
};

class NSMutableURLRequest : public NSURLRequest {
public:
    static std::shared_ptr<NSMutableURLRequest> requestWithURL(const std::optional<NSURL>& url);
    static std::shared_ptr<NSMutableURLRequest> requestWithURL(const std::optional<NSURL>& url,
        NSURLRequestCachePolicy cachePolicy, NSTimeInterval timeoutInterval);
    std::string className() const override { return "NSMutableURLRequest"; }

    void setURL(std::optional<NSURL> url) { url_ = std::move(url); }
    void setMainDocumentURL(std::optional<NSURL> url) { mainDocumentURL_ = std::move(url); }
    // An empty method leaves "GET".
    void setHTTPMethod(std::string method);
    // nullopt removes the field.
    void setValueForHTTPHeaderField(std::optional<std::string> value, std::string_view name);
    void addValueForHTTPHeaderField(std::string_view value, std::string_view name);
    void setAllHTTPHeaderFields(const Value& fields);
    void setHeaderFields(network::HeaderFields fields) { headers_ = std::move(fields); }
    // Setting a body drops the body stream and the other way round.
    void setHTTPBody(std::optional<Bytes> body);
    void setHTTPBodyStream(std::shared_ptr<NSInputStream> stream);
    void setTimeoutInterval(NSTimeInterval seconds) { timeout_ = seconds; }
    void setCachePolicy(NSURLRequestCachePolicy policy) { cachePolicy_ = policy; }
    void setHTTPShouldHandleCookies(bool handle) { handleCookies_ = handle; }
    void setHTTPShouldUsePipelining(bool pipelining) { pipelining_ = pipelining; }
    void setAllowsCellularAccess(bool allows) { cellular_ = allows; }
    void setNetworkServiceType(NSURLRequestNetworkServiceType type) { serviceType_ = type; }
    void setMaximumResponseBodyLength(std::optional<std::int64_t> bytes) { maximumResponseBodyLength_ = bytes; }
};

using NSURLRequestRef = std::shared_ptr<NSURLRequest>;
