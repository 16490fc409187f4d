// The badge controller: sending, retrying and keeping the badge number across inactivity.
#include "push/Local/PUSHBadgeNumberController.h"

#include <limits>

#include "platform/threading/NSRunLoop.h"
#include "platform/threading/NSTimer.h"
#include "push/Storage/PUSHFileCacheController.h"
#include "push/Utilities/PUSHLog.h"

namespace {

std::shared_ptr<PUSHFileCacheController> plainCache()
{
    return PUSHFileCacheController::shareInstanceWithType(PUSHFileCacheTypeCache);
}

// The badge as the report carries it: an unsigned 32-bit number.
std::uint32_t reportedBadge(const Value& number)
{
    const std::int64_t value = number.integerValue();
    if (value < 0)
        return 0;
    if (value > std::numeric_limits<std::uint32_t>::max())
        return std::numeric_limits<std::uint32_t>::max();
    return static_cast<std::uint32_t>(value);
}

} // namespace

std::shared_ptr<PUSHBadgeNumberController> PUSHBadgeNumberController::init()
{
    return std::make_shared<PUSHBadgeNumberController>();
}

void PUSHBadgeNumberController::setBadge(const Value& number)
{
    if (!badgeValue_.isNil() && badgeValue_.integerValue() == number.integerValue() && isSendingLock_)
        return;
    isSendingLock_ = true;
    clearBadgeInUserDefault();
    stopDelayTimer(false);
    auto report = PUSHBadgeNumberReportRequest::create();
    report->setBadgeNumber(reportedBadge(number));
    // Held before it goes out, so that a failure reported at once is this report's.
    badgeValue_ = number;
    badgeReport_ = report;
    report->send();
}

void PUSHBadgeNumberController::becomeActive()
{
    auto cache = plainCache();
    if (!cache)
        return;
    const Value stored = cache->objectForKey(kPUSHBadgeNumberDefaultsKey);
    if (stored.isNumber() || stored.isString())
        setBadge(stored);
}

void PUSHBadgeNumberController::willInactive()
{
    if (auto cache = plainCache())
        cache->setObject(badgeValue_.isNil() ? Value() : Value(badgeValue_.integerValue()), kPUSHBadgeNumberDefaultsKey);
    isSendingLock_ = false;
    stopDelayTimer(false);
}

void PUSHBadgeNumberController::clearBadgeInUserDefault()
{
    if (isClearOut_)
        return;
    isClearOut_ = true;
    if (auto cache = plainCache())
        cache->removeObjectForKey(kPUSHBadgeNumberDefaultsKey);
}

void PUSHBadgeNumberController::startDelaySendBadge(const std::shared_ptr<PUSHBadgeNumberReportRequest>& report)
{
    if (!report || report != badgeReport_)
        return;
    if (delaySendIntervalIndex_ >= kRetryDelays.size()) {
        PUSHLogWarn("send badge count too more");
        return;
    }
    stopDelayTimer(true);
    std::weak_ptr<PUSHBadgeNumberController> weak = sharedAs<PUSHBadgeNumberController>();
    auto timer = NSTimer::timerWithTimeInterval(kRetryDelays[delaySendIntervalIndex_], false,
        [weak](const std::shared_ptr<NSTimer>& fired) {
            if (auto self = weak.lock())
                self->doSendReport(fired);
        });
    delaySendTimer_ = timer;
    NSRunLoop::currentRunLoop()->addTimer(timer, NSRunLoopCommonModes);
    ++delaySendIntervalIndex_;
}

void PUSHBadgeNumberController::startSendSelfToSpaceAddress(const std::shared_ptr<PUSHBadgeNumberReportRequest>& report)
{
    if (!report || report != badgeReport_)
        return;
    isSendingLock_ = true;
    report->send();
}

void PUSHBadgeNumberController::stopDelayTimer(const std::shared_ptr<PUSHBadgeNumberReportRequest>& report, bool commandSource)
{
    if (!report || report != badgeReport_)
        return;
    stopDelayTimer(commandSource);
}

void PUSHBadgeNumberController::stopDelayTimer(bool keep)
{
    if (auto timer = delaySendTimer_.lock())
        timer->invalidate();
    delaySendTimer_.reset();
    if (keep)
        return;
    badgeValue_ = Value();
    badgeReport_.reset();
    delaySendIntervalIndex_ = 0;
}

void PUSHBadgeNumberController::doSendReport(const std::shared_ptr<NSTimer>& timer)
{
    if (!timer || timer != delaySendTimer_.lock() || !badgeReport_)
        return;
    delaySendTimer_.reset();
    isSendingLock_ = true;
    badgeReport_->send();
}
