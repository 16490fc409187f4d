// The periodic reports: device information and crash logs once a day, locations every two
// hours, each with its last-report time kept in the plain file cache.
#include "push/Report/PUSHHttpSessionController.h"

#include <cmath>

#include "platform/threading/NSTimer.h"
#include "push/Storage/PUSHFileCacheController.h"
#include "push/Utilities/PUSHUtilities.h"

namespace {

struct CheckFacts {
    double period;
    const char* key;
};

double nowWholeSeconds()
{
    return std::floor(PUSHServerTimestamp());
}

CheckFacts factsFor(int kind)
{
    switch (kind) {
    case 0: return { PUSHHttpSessionController::kDevicePeriod, kPUSHCheckTimeKey };
    case 1: return { PUSHHttpSessionController::kCrashPeriod, kPUSHCrashTimerKey };
    default: return { PUSHHttpSessionController::kLocationPeriod, kPUSHLocationTimerKey };
    }
}

} // namespace

double& PUSHHttpSessionController::lastTimestamp(CheckKind kind)
{
    switch (kind) {
    case CheckKind::Device: return lastDeviceTimestamp_;
    case CheckKind::Crash: return lastCrashTimestamp_;
    default: return lastLocationTimestamp_;
    }
}

std::shared_ptr<NSTimer>& PUSHHttpSessionController::checkTimer(CheckKind kind)
{
    switch (kind) {
    case CheckKind::Device: return deviceCheckTimer_;
    case CheckKind::Crash: return crashCheckTimer_;
    default: return locationCheckTimer_;
    }
}

void PUSHHttpSessionController::reportCheck(CheckKind kind)
{
    switch (kind) {
    case CheckKind::Device: reportDeviceInfo(); return;
    case CheckKind::Crash: reportCrashLog(); return;
    default: reportLocation(); return;
    }
}

void PUSHHttpSessionController::startDeviceCheck() { startCheck(CheckKind::Device); }
void PUSHHttpSessionController::startCrashCheck() { startCheck(CheckKind::Crash); }
void PUSHHttpSessionController::startLocationCheck() { startCheck(CheckKind::Location); }

void PUSHHttpSessionController::stopChecks()
{
    for (auto kind : { CheckKind::Device, CheckKind::Crash, CheckKind::Location }) {
        if (auto& timer = checkTimer(kind)) {
            timer->invalidate();
            timer.reset();
        }
    }
}

void PUSHHttpSessionController::startCheck(CheckKind kind)
{
    const CheckFacts facts = factsFor(static_cast<int>(kind));
    if (auto& timer = checkTimer(kind)) {
        timer->invalidate();
        timer.reset();
    }
    double& last = lastTimestamp(kind);
    const auto store = [&] {
        if (fileCache_)
            fileCache_->setObject(Value(static_cast<std::int64_t>(last)), facts.key);
    };
    const double now = nowWholeSeconds();
    if (last == 0 && fileCache_)
        last = static_cast<double>(fileCache_->objectForKey(facts.key).integerValue());
    if (last == 0) {
        if (kind != CheckKind::Crash)
            reportCheck(kind);
        last = now;
        store();
    }
    // A clock set back makes the elapsed time negative, which counts as due.
    auto elapsed = static_cast<std::int64_t>(now - last);
    if (static_cast<std::uint64_t>(elapsed) >= static_cast<std::uint64_t>(facts.period)) {
        reportCheck(kind);
        last = now;
        store();
        elapsed = 0;
    }
    std::weak_ptr<PUSHHttpSessionController> weak = sharedAs<PUSHHttpSessionController>();
    checkTimer(kind) = NSTimer::scheduledTimerWithTimeInterval(
        facts.period - static_cast<double>(elapsed), false, [weak, kind](const std::shared_ptr<NSTimer>&) {
            if (auto self = weak.lock())
                self->checkFired(kind);
        });
}

void PUSHHttpSessionController::checkFired(CheckKind kind)
{
    const CheckFacts facts = factsFor(static_cast<int>(kind));
    double& last = lastTimestamp(kind);
    const double now = nowWholeSeconds();
    const bool due = now - last >= facts.period || now < last;
    if (kind == CheckKind::Device) {
        const bool noAcceptedItem = !fileCache_ || !fileCache_->hasObjectForKey(kPUSHLastDeviceInfoKey);
        if (due || noAcceptedItem) {
            last = now;
            if (fileCache_)
                fileCache_->setObject(Value(static_cast<std::int64_t>(last)), facts.key);
            startCheck(kind);
            reportDeviceInfo();
            return;
        }
    } else {
        if (fileCache_)
            fileCache_->removeObjectForKey(facts.key);
        if (due) {
            last = now;
            if (fileCache_)
                fileCache_->setObject(Value(static_cast<std::int64_t>(last)), facts.key);
            startCheck(kind);
            reportCheck(kind);
            return;
        }
        // Not yet due: keep the clock on disk.
        if (fileCache_)
            fileCache_->setObject(Value(static_cast<std::int64_t>(last)), facts.key);
    }
    // A timer that fired early (the clock was corrected in between) waits for the rest.
    startCheck(kind);
}
