// The badge number reported to the push server: one report at a time, retried 40, 100, 200 and
// 300 seconds after successive failures, and the value of an unfinished report kept in the
// plain file cache while the application is inactive, to be reported again on activation.
// Runs on the push client's thread; its timers use that thread's run loop.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "push/Report/PUSHBadgeNumberReport.h"

class NSTimer;

inline constexpr const char* kPUSHBadgeNumberDefaultsKey = "push_user_default_badge_number";

class PUSHBadgeNumberController : public NSObject, public push::BadgeManager {
public:
    static constexpr std::array<double, 4> kRetryDelays = { 40, 100, 200, 300 };

    static std::shared_ptr<PUSHBadgeNumberController> init();

    // Reports the number (read as an integer) unless the same number is already on its way.
    void setBadge(const Value& number);
    void becomeActive() override;
    void willInactive() override;
    void clearBadgeInUserDefault();
    void startDelaySendBadge(const std::shared_ptr<PUSHBadgeNumberReportRequest>& report) override;
    void startSendSelfToSpaceAddress(const std::shared_ptr<PUSHBadgeNumberReportRequest>& report);
    void stopDelayTimer(const std::shared_ptr<PUSHBadgeNumberReportRequest>& report, bool commandSource) override;
    // false also forgets the value and the report and resets the retries; true only stops the timer.
    void stopDelayTimer(bool keep);
    void doSendReport(const std::shared_ptr<NSTimer>& timer);

    bool isSendingLock() const override { return isSendingLock_; }
    void setIsSendingLock(bool lock) override { isSendingLock_ = lock; }
    std::shared_ptr<PUSHBadgeNumberReportRequest> badgeReport() const override { return badgeReport_; }
    const Value& badgeValue() const { return badgeValue_; }
    bool isClearOut() const { return isClearOut_; }
    std::uint64_t delaySendIntervalIndex() const { return delaySendIntervalIndex_; }
    std::shared_ptr<NSTimer> delaySendTimer() const { return delaySendTimer_.lock(); }

    std::string className() const override { return "PUSHBadgeNumberController"; }

private:
    bool isSendingLock_ = false;
    bool isClearOut_ = true;
    std::weak_ptr<NSTimer> delaySendTimer_;
    std::uint64_t delaySendIntervalIndex_ = 0;
    Value badgeValue_;
    std::shared_ptr<PUSHBadgeNumberReportRequest> badgeReport_;
};
