// URL requests.
#include "platform/network/NSURLRequest.h"

std::shared_ptr<NSURLRequest> NSURLRequest::requestWithURL(const std::optional<NSURL>& url)
{
    auto request = std::make_shared<NSURLRequest>();
    request->url_ = url;
    return request;
}

std::shared_ptr<NSURLRequest> NSURLRequest::requestWithURL(
    const std::optional<NSURL>& url, NSURLRequestCachePolicy cachePolicy, NSTimeInterval timeoutInterval)
{
    auto request = requestWithURL(url);
    request->cachePolicy_ = cachePolicy;
    request->timeout_ = timeoutInterval;
    return request;
}

std::string NSURLRequest::description() const
{
    return "<" + className() + ": " + (url_ ? url_->absoluteString() : std::string("(null)")) + ">";
}

void NSURLRequest::copyFieldsFrom(const NSURLRequest& other)
{
    url_ = other.url_;
    mainDocumentURL_ = other.mainDocumentURL_;
    method_ = other.method_;
    headers_ = other.headers_;
    body_ = other.body_;
    bodyStream_ = other.bodyStream_;
    timeout_ = other.timeout_;
    cachePolicy_ = other.cachePolicy_;
    handleCookies_ = other.handleCookies_;
    pipelining_ = other.pipelining_;
    cellular_ = other.cellular_;
    serviceType_ = other.serviceType_;
    maximumResponseBodyLength_ = other.maximumResponseBodyLength_;
}

std::shared_ptr<NSURLRequest> NSURLRequest::copy() const
{
    auto request = std::make_shared<NSURLRequest>();
    request->copyFieldsFrom(*this);
    return request;
}

std::shared_ptr<NSMutableURLRequest> NSURLRequest::mutableCopy() const
{
    auto request = std::make_shared<NSMutableURLRequest>();
    request->copyFieldsFrom(*this);
    return request;
}

std::shared_ptr<NSMutableURLRequest> NSMutableURLRequest::requestWithURL(const std::optional<NSURL>& url)
{
    auto request = std::make_shared<NSMutableURLRequest>();
    request->url_ = url;
    return request;
}

std::shared_ptr<NSMutableURLRequest> NSMutableURLRequest::requestWithURL(
    const std::optional<NSURL>& url, NSURLRequestCachePolicy cachePolicy, NSTimeInterval timeoutInterval)
{
    auto request = requestWithURL(url);
    request->cachePolicy_ = cachePolicy;
    request->timeout_ = timeoutInterval;
    return request;
}

void NSMutableURLRequest::setHTTPMethod(std::string method)
{
    method_ = method.empty() ? "GET" : std::move(method);
}

void NSMutableURLRequest::setValueForHTTPHeaderField(std::optional<std::string> value, std::string_view name)
{
    if (!value) {
        headers_.remove(name);
        return;
    }
    headers_.set(name, std::move(*value));
}

void NSMutableURLRequest::addValueForHTTPHeaderField(std::string_view value, std::string_view name)
{
    headers_.add(name, value);
}

void NSMutableURLRequest::setAllHTTPHeaderFields(const Value& fields)
{
    headers_ = network::HeaderFields::fromDictionary(fields);
}

void NSMutableURLRequest::setHTTPBody(std::optional<Bytes> body)
{
    body_ = std::move(body);
    if (body_)
        bodyStream_.reset();
}

void NSMutableURLRequest::setHTTPBodyStream(std::shared_ptr<NSInputStream> stream)
{
    bodyStream_ = std::move(stream);
    if (bodyStream_)
        body_.reset();
}
