// The report session's life: open and close, activation and going inactive, the state kept in
// the plain file cache, and the reports the scheduler makes.
#include "push/Report/PUSHHttpSessionController.h"

#include <cmath>

#include "platform/foundation/Format.h"
#include "push/Report/PUSHBadgeNumberReport.h"
#include "push/Report/PUSHReportKinds.h"
#include "push/Report/PUSHReportLinks.h"
#include "push/Storage/PUSHFileCacheController.h"
#include "push/Storage/PUSHLocationInfoController.h"
#include "push/Storage/PUSHPageFlowSession.h"
#include "push/Storage/PUSHReportCacheController.h"
#include "push/Utilities/PUSHLog.h"
#include "push/Utilities/PUSHUtilities.h"

namespace {

std::int64_t wholeSeconds(double seconds)
{
    return static_cast<std::int64_t>(std::floor(seconds));
}

} // namespace

void PUSHHttpSessionController::trySetupSession()
{
    setupSession(PUSHServerTimestamp());
}

void PUSHHttpSessionController::setupSession(double time)
{
    PUSHLogDebug("Action - setupSession");
    if (isSetup_)
        return;
    isSetup_ = true;
    startTime_ = time;
    if (!reportCache_) {
        reportCache_ = PUSHReportCacheController::initWithSynchronizeBlock(nullptr);
        installSaveAction();
    }
    if (auto pages = push::reportLinks().pageFlowSession)
        pages->setupSession();
}

void PUSHHttpSessionController::closeSession()
{
    if (!isSetup_)
        return;
    reportLaunch();
    auto pages = push::reportLinks().pageFlowSession;
    auto flow = pages ? pages->currentFlow() : nullptr;
    reportActiveWithActive(flow ? flow->copy() : nullptr, startTime_, closeTime_);
    if (pages)
        pages->closeSession();
    isSetup_ = false;
    closeTime_ = 0;
    startTime_ = 0;
}

void PUSHHttpSessionController::prepareActive(double time)
{
    if (auto pages = push::reportLinks().pageFlowSession)
        pages->resetCurrentPage(time);
    if (badgeNumberManager_)
        badgeNumberManager_->becomeActive();
    if (closeTime_ > 0) {
        const double away = time - closeTime_;
        if (away > kSessionContinueSeconds || away < 0) {
            closeSession();
            setupSession(time);
        }
        closeTime_ = 0;
    } else {
        reportLaunch();
    }
    startCrashCheck();
    startDeviceCheck();
    startLocationCheck();
}

void PUSHHttpSessionController::reportInactive(double time)
{
    if (auto pages = push::reportLinks().pageFlowSession)
        pages->savePageFlowWithTime(time);
    if (badgeNumberManager_)
        badgeNumberManager_->willInactive();
    saveSessionWithTime(time);
    stopChecks();
    if (!fileCache_)
        return;
    fileCache_->setObjects({ { kPUSHLocationLogKey, Value(locationInfo_) }, { kPUSHHistroyCacheKey, Value(reportCache_) } });
}

void PUSHHttpSessionController::saveSessionWithTime(double time)
{
    closeTime_ = static_cast<double>(wholeSeconds(time));
    if (fileCache_) {
        fileCache_->setObjects({ { kPUSHLeftTimeKey, Value(wholeSeconds(time)) },
            { kPUSHStartTimeKey, Value(wholeSeconds(startTime_)) } });
    }
    saveCheckTimer();
}

void PUSHHttpSessionController::saveCheckTimer()
{
    if (!fileCache_)
        return;
    fileCache_->setObjects({ { kPUSHCheckTimeKey, Value(wholeSeconds(lastDeviceTimestamp_)) },
        { kPUSHCrashTimerKey, Value(wholeSeconds(lastCrashTimestamp_)) },
        { kPUSHLocationTimerKey, Value(wholeSeconds(lastLocationTimestamp_)) } });
}

bool PUSHHttpSessionController::serialize()
{
    return fileCache_ && fileCache_->synchronize();
}

void PUSHHttpSessionController::reportActiveWithActive(
    const std::shared_ptr<PUSHPageFlow>& actives, double sessionStartTime, double sessionCloseTime)
{
    auto request = PUSHUserActiveReportRequest::create();
    request->setReportActives(actives, sessionStartTime, sessionCloseTime);
    request->send();
}

void PUSHHttpSessionController::reportLaunch()
{
    PUSHUserLoginReportRequest::create()->send();
}

void PUSHHttpSessionController::reportDeviceInfo()
{
    PUSHUserDeviceReportRequest::create()->send();
}

void PUSHHttpSessionController::reportCrashLog()
{
    auto isReportCrash = push::reportLinks().isReportCrash;
    if (!isReportCrash || !isReportCrash() || !fileCache_)
        return;
    if (fileCache_->objectForKey(kPUSHCrashLogKey).count() == 0)
        return;
    PUSHCrashHandlerReportRequest::create()->send();
}

void PUSHHttpSessionController::reportLocation()
{
    if (!locationInfo_ || locationInfo_->count() == 0)
        return;
    auto request = PUSHLocationReportRequest::create();
    request->setLocationInfoController(locationInfo_);
    locationInfo_->clearAllInfo();
    if (fileCache_)
        fileCache_->setObject(Value(locationInfo_), kPUSHLocationLogKey);
    request->send();
}

void PUSHHttpSessionController::reportMsgStatus(std::int32_t state, std::uint64_t messageId, std::int32_t flag)
{
    auto request = PUSHMessageReportRequest::create();
    const std::string id = messageId == 0
        ? std::string()
        : NSString::stringWithFormat("%llu", static_cast<unsigned long long>(messageId));
    request->setActiveType(state, id, flag);
    request->send();
}

void PUSHHttpSessionController::locationInfoChangeViaNetworkState(std::int32_t status)
{
    PUSHLogDebug("获取当前设备网络的 wifi 或者 WWAN 信息");
    if (!locationInfo_)
        return;
    if (status == push_utilities::kStatusWiFi) {
        const Value wifi = Value::dictionary(
            { { "mac_address", Value(PUSHCurrentWifiBSSID()) }, { "ssid", Value(PUSHCurrentWifiSSID()) } });
        locationInfo_->addWifiInfo(wifi);
        PUSHLogDebug("wifi 信息:%@", wifi);
        return;
    }
    if (status == push_utilities::kStatusWWAN) {
        const Value cell = Value::dictionary({ { "mobile_network_code", Value(PUSHMobileNetworkCode()) },
            { "mobile_country_code", Value(PUSHMobileCountryCode()) } });
        locationInfo_->addCellInfo(cell);
        PUSHLogDebug("WWAN 信息:%@", cell);
    }
}
