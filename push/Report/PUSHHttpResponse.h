// Responses of the HTTP reports: the base keeps the HTTP status, the delegate and the request;
// the report response decides from the status what becomes of the items sent (gone, left in
// flight until the next start, or back to the pending cache for the next request).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

class NSURLResponse;
class PUSHHttpRequestDelegate;
class PUSHReportRequest;

class PUSHHttpResponse : public NSObject {
public:
    // The status of an HTTP response (0 for any other response); the data is not kept.
    static std::shared_ptr<PUSHHttpResponse> initWithDataResponseDelegateFrom(const std::optional<Bytes>& data,
        const std::shared_ptr<NSURLResponse>& response, const std::weak_ptr<PUSHHttpRequestDelegate>& delegate,
        const std::shared_ptr<PUSHReportRequest>& request);

    virtual void handleReceipt() {}
    virtual void deleteContent() {}

    std::int64_t statusCode() const { return statusCode_; }
    std::shared_ptr<PUSHHttpRequestDelegate> delegate() const { return delegate_.lock(); }
    const std::shared_ptr<PUSHReportRequest>& request() const { return request_; }
    std::string description() const override { return "need enable description"; }
    std::string className() const override { return "PUSHHttpResponse"; }

    PUSHHttpResponse() = default;

protected:
    template <class R>
    static std::shared_ptr<R> make(const std::shared_ptr<NSURLResponse>& response,
        const std::weak_ptr<PUSHHttpRequestDelegate>& delegate, const std::shared_ptr<PUSHReportRequest>& request)
    {
        auto made = std::make_shared<R>();
        made->fill(response, delegate, request);
        return made;
    }
    void fill(const std::shared_ptr<NSURLResponse>& response, const std::weak_ptr<PUSHHttpRequestDelegate>& delegate,
        const std::shared_ptr<PUSHReportRequest>& request);

private:
    std::int64_t statusCode_ = 0;
    std::weak_ptr<PUSHHttpRequestDelegate> delegate_;
    std::shared_ptr<PUSHReportRequest> request_;
};

class PUSHReportResponse : public PUSHHttpResponse {
public:
    static std::shared_ptr<PUSHHttpResponse> initWithDataResponseDelegateFrom(const std::optional<Bytes>& data,
        const std::shared_ptr<NSURLResponse>& response, const std::weak_ptr<PUSHHttpRequestDelegate>& delegate,
        const std::shared_ptr<PUSHReportRequest>& request);

    // Status 200, 400 and other 4xx except 401: the items are gone. 401: they stay in flight
    // until the next start. 500 and anything else: back to the pending cache.
    void handleReceipt() override;
    // The request's in-flight entry is removed from the report cache.
    void deleteContent() override;
    // The request's in-flight entry goes back to the pending cache.
    void saveReportPackage();
    std::string className() const override { return "PUSHReportResponse"; }
};
