// The badge report: the application's badge number to the user endpoint, with a plain JSON body
// and headers of its own, a send lock and retries owned by the badge manager, and a response
// that tells the manager whether to retry.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "push/Report/PUSHHttpResponse.h"
#include "push/Report/PUSHReportRequest.h"

class PUSHBadgeNumberReportRequest;

namespace push {

// What the report code needs of the badge manager, which the client controller owns.
class BadgeManager {
public:
    virtual ~BadgeManager() = default;
    virtual bool isSendingLock() const = 0;
    virtual void setIsSendingLock(bool lock) = 0;
    // The badge report being sent, if any.
    virtual std::shared_ptr<PUSHBadgeNumberReportRequest> badgeReport() const = 0;
    virtual void startDelaySendBadge(const std::shared_ptr<PUSHBadgeNumberReportRequest>& report) = 0;
    // commandSource true: retry later; false: done with this report.
    virtual void stopDelayTimer(const std::shared_ptr<PUSHBadgeNumberReportRequest>& report, bool commandSource) = 0;
    virtual void becomeActive() = 0;
    virtual void willInactive() = 0;
};

// The Basic signature of a badge body (its digest is taken over the body text).
std::string badgeSignature(const std::string& bodyText);

} // namespace push

class PUSHBadgeNumberReportResponse : public PUSHReportResponse {
public:
    static std::shared_ptr<PUSHHttpResponse> initWithDataResponseDelegateFrom(const std::optional<Bytes>&,
        const std::shared_ptr<NSURLResponse>& response, const std::weak_ptr<PUSHHttpRequestDelegate>& delegate,
        const std::shared_ptr<PUSHReportRequest>& request)
    {
        return make<PUSHBadgeNumberReportResponse>(response, delegate, request);
    }
    // Tells the badge manager to stop (200, 400, 401) or to retry (500 and the rest).
    void handleReceipt() override;
    std::string className() const override { return "PUSHBadgeNumberReportResponse"; }
};

class PUSHBadgeNumberReportRequest : public PUSHReportRequest {
public:
    static std::shared_ptr<PUSHBadgeNumberReportRequest> create();

    void setBadgeNumber(std::uint32_t badge) { badgeCount_ = badge; }
    void setBadgeCount(std::int64_t badge) { badgeCount_ = badge; }
    std::int64_t badgeCount() const { return badgeCount_; }
    bool isAgainSend() const { return isAgainSend_; }
    void setIsAgainSend(bool again) { isAgainSend_ = again; }
    const Value& badgeBody() const { return badgeBody_; }

    // Built afresh on every call.
    std::optional<Bytes> packetData() override;
    std::shared_ptr<NSMutableURLRequest> generateReportRequest() override;
    std::string p_generateRequestHead() override;
    bool isSendRequestLock() const override;
    void setIsSendRequestLock(bool lock) override;
    bool cacheRequestRequired() const override { return false; }
    bool startDelaySend() override;
    void setResponseBlock() override { installResponseBlock<PUSHBadgeNumberReportResponse>(); }
    std::string className() const override { return "PUSHBadgeNumberReportRequest"; }

private:
    Value badgeBody_;
    bool isAgainSend_ = false;
    std::int64_t badgeCount_ = 0;
};
