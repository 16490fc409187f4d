// The push client's report session: decides which HTTP reports go out and when (a launch report
// on activation, a session-end report with the page flow, device information and crash logs
// once a day, locations every two hours, message results on demand), holds reports back until
// the TCP session is logged in, gives each report its in-flight key and addresses, handles
// failures, and keeps its state in the plain file cache "PUSHJSON" across restarts.
// Everything runs on the push client's thread; timers and connections use its run loop.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/NSObject.h"
#include "push/Report/PUSHHttpRequest.h"

class NSTimer;
class PUSHFileCacheController;
class PUSHLocationInfoController;
class PUSHPageFlow;
class PUSHReportCacheController;
class PUSHReportRequest;

namespace push {
class BadgeManager;
}

inline constexpr const char* kPUSHHistroyCacheKey = "__PUSHHistroyCache";
inline constexpr const char* kPUSHLocationLogKey = "__PUSHLocationLog";
inline constexpr const char* kPUSHStartTimeKey = "__PUSHStart_time";
inline constexpr const char* kPUSHLeftTimeKey = "__PUSHLeft_time";
inline constexpr const char* kPUSHCheckTimeKey = "__PUSHCheckTime";
inline constexpr const char* kPUSHCrashTimerKey = "__PUSHCrashTimer";
inline constexpr const char* kPUSHLocationTimerKey = "__PUSHLocationTimer";
inline constexpr const char* kPUSHLastDeviceInfoKey = "__PUSHLastDeviceInfo";
inline constexpr const char* kPUSHLastLocationKey = "__PUSHLastLocation";
inline constexpr const char* kPUSHCrashLogKey = "__PUSHCrashLog";

class PUSHHttpSessionController : public NSObject, public PUSHHttpRequestDelegate {
public:
    static constexpr double kDevicePeriod = 86400;
    static constexpr double kCrashPeriod = 86400;
    static constexpr double kLocationPeriod = 7200;
    static constexpr double kSessionContinueSeconds = 30;
    static constexpr std::size_t kMaxBlockedReports = 20;

    // Starts the plain file cache, resumes the report cache, location log and clocks from it,
    // and becomes the scheduler reports are handed to.
    static std::shared_ptr<PUSHHttpSessionController> create();
    // The scheduler made last, while it lives.
    static std::shared_ptr<PUSHHttpSessionController> currentController();
    ~PUSHHttpSessionController() override;

    // Session.
    void trySetupSession();
    void setupSession(double time);
    void closeSession();
    void prepareActive(double time);
    void reportInactive(double time);
    void saveSessionWithTime(double time);
    void saveCheckTimer();
    bool serialize();

    // Reports.
    void reportActiveWithActive(const std::shared_ptr<PUSHPageFlow>& actives, double sessionStartTime,
        double sessionCloseTime);
    void reportLaunch();
    void reportDeviceInfo();
    void reportCrashLog();
    void reportLocation();
    void reportMsgStatus(std::int32_t state, std::uint64_t messageId, std::int32_t flag);
    void locationInfoChangeViaNetworkState(std::int32_t status);

    // Gate and send.
    void sendHttpReport(const std::shared_ptr<PUSHReportRequest>& request);
    // After login: every held report goes out, oldest first.
    void sendAllBlockedHttpReports();
    void doSendHttpReport(const std::shared_ptr<PUSHReportRequest>& request);
    std::shared_ptr<PUSHHttpRequest> setRequestManager(const std::shared_ptr<PUSHReportRequest>& request);
    std::optional<std::string> getBackUpAddress(std::int32_t reportType) const;
    std::optional<std::string> getDefaultAddress(std::int32_t reportType) const;

    void didReceivedHttpFeedback(const std::shared_ptr<PUSHHttpResponse>& response) override;
    void didNotReceivedFromRequest(const std::shared_ptr<PUSHReportRequest>& request,
        const std::optional<std::string>& reportFlag, const std::shared_ptr<NSError>& error) override;
    static std::string getHttpNetworkErrorStringWith(std::int64_t code);

    // Periodic checks.
    void startDeviceCheck();
    void startCrashCheck();
    void startLocationCheck();
    void stopChecks();

    // Accessors.
    const std::shared_ptr<PUSHReportCacheController>& reportCache() const { return reportCache_; }
    const std::shared_ptr<PUSHFileCacheController>& fileCache() const { return fileCache_; }
    void setFileCache(std::shared_ptr<PUSHFileCacheController> cache) { fileCache_ = std::move(cache); }
    const std::shared_ptr<push::BadgeManager>& badgeNumberManager() const { return badgeNumberManager_; }
    // The badge manager lives with the client controller, which connects it here.
    void setBadgeNumberManager(std::shared_ptr<push::BadgeManager> manager) { badgeNumberManager_ = std::move(manager); }
    const std::shared_ptr<PUSHLocationInfoController>& locationInfo() const { return locationInfo_; }
    bool isSetup() const { return isSetup_; }
    double startTime() const { return startTime_; }
    double closeTime() const { return closeTime_; }
    const std::optional<std::string>& reportFlag() const { return reportFlag_; }
    std::size_t blockedReportCount() const { return httpBlockedQueue_.size(); }
    double lastDeviceTimestamp() const { return lastDeviceTimestamp_; }
    double lastCrashTimestamp() const { return lastCrashTimestamp_; }
    double lastLocationTimestamp() const { return lastLocationTimestamp_; }

    std::string className() const override { return "PUSHHttpSessionController"; }

    PUSHHttpSessionController() = default;

private:
    enum class CheckKind { Device, Crash, Location };
    void resume();
    void installSaveAction();
    bool mayGoOut(const PUSHReportRequest& request) const;
    // A check's start step and its timer's step.
    void startCheck(CheckKind kind);
    void checkFired(CheckKind kind);
    void reportCheck(CheckKind kind);
    double& lastTimestamp(CheckKind kind);
    std::shared_ptr<NSTimer>& checkTimer(CheckKind kind);

    std::shared_ptr<PUSHReportCacheController> reportCache_;
    std::shared_ptr<PUSHFileCacheController> fileCache_;
    std::shared_ptr<push::BadgeManager> badgeNumberManager_;
    std::deque<std::shared_ptr<PUSHReportRequest>> httpBlockedQueue_;
    bool isSetup_ = false;
    double startTime_ = 0;
    double closeTime_ = 0;
    std::shared_ptr<PUSHLocationInfoController> locationInfo_;
    std::optional<std::string> reportFlag_;
    double lastDeviceTimestamp_ = 0;
    double lastCrashTimestamp_ = 0;
    double lastLocationTimestamp_ = 0;
    std::shared_ptr<NSTimer> deviceCheckTimer_;
    std::shared_ptr<NSTimer> crashCheckTimer_;
    std::shared_ptr<NSTimer> locationCheckTimer_;
};

namespace push {

// The report cache of the current scheduler, or nullptr.
std::shared_ptr<PUSHReportCacheController> currentReportCache();

} // namespace push
