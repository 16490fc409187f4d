// The transport of one HTTP report: writes the items about to be sent into the report cache's
// sending cache, sends the URL request on the current run loop (only when there is a network),
// falls back once to the backup address when the primary cannot be reached, and hands the
// outcome to its delegate, the report scheduler.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/NSError.h"
#include "platform/network/NSURLConnection.h"

class PUSHHttpResponse;
class PUSHReportRequest;

class PUSHHttpRequestDelegate {
public:
    virtual ~PUSHHttpRequestDelegate() = default;
    virtual void didReceivedHttpFeedback(const std::shared_ptr<PUSHHttpResponse>& response) = 0;
    virtual void didNotReceivedFromRequest(const std::shared_ptr<PUSHReportRequest>& request,
        const std::optional<std::string>& reportFlag, const std::shared_ptr<NSError>& error) = 0;
};

class PUSHHttpRequest : public NSObject, public NSURLConnectionDelegate {
public:
    static std::shared_ptr<PUSHHttpRequest> initWithDelegate(const std::weak_ptr<PUSHHttpRequestDelegate>& delegate,
        const std::shared_ptr<PUSHReportRequest>& postData, std::string requestAddress, std::string backUpAddress);

    // Records the items in flight (when the request keeps them), then sends when there is a network.
    void send(const std::shared_ptr<NSURLRequest>& request);
    // The sending-cache entry: the valid items of realContents the report cache does not hold yet.
    void writeToCache();

    void connectionDidReceiveResponse(
        const std::shared_ptr<NSURLConnection>& connection, const std::shared_ptr<NSURLResponse>& response) override;
    void connectionDidReceiveData(const std::shared_ptr<NSURLConnection>& connection, const Bytes& data) override;
    void connectionDidFinishLoading(const std::shared_ptr<NSURLConnection>& connection) override;
    void connectionDidFailWithError(
        const std::shared_ptr<NSURLConnection>& connection, const std::shared_ptr<NSError>& error) override;

    const std::shared_ptr<PUSHHttpResponse>& reportResponse() const { return reportResponse_; }
    const std::shared_ptr<PUSHReportRequest>& postData() const { return postData_; }
    const std::string& requestAddress() const { return requestAddress_; }
    const std::string& backUpAddress() const { return backUpAddress_; }
    std::string description() const override { return "need enable description"; }
    std::string className() const override { return "PUSHHttpRequest"; }

    PUSHHttpRequest() = default;

private:
    void start(const std::shared_ptr<NSURLRequest>& request);
    void reportFailure(const std::shared_ptr<NSError>& error);

    std::shared_ptr<PUSHHttpResponse> reportResponse_;
    std::weak_ptr<PUSHHttpRequestDelegate> delegate_;
    std::shared_ptr<PUSHReportRequest> postData_;
    std::shared_ptr<NSURLResponse> response_;
    std::optional<Bytes> result_;
    std::string backUpAddress_;
    std::string requestAddress_;
    bool triedBackUp_ = false;
};
