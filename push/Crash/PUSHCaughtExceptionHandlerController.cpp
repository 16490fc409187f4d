// The crash controller: the record of a crash, saving the client's state, and handing the
// crash on once the handlers are gone.
#include "push/Crash/PUSHCaughtExceptionHandlerController.h"

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <limits>
#include <mutex>

#include "push/Crash/PUSHCallStack.h"
#include "push/Crash/PUSHCrashLog.h"
#include "push/Report/PUSHHttpSessionController.h"
#include "push/Report/PUSHReportLinks.h"
#include "push/Storage/PUSHFileCacheController.h"
#include "push/Utilities/PUSHUtilities.h"

namespace push_crash {

namespace {

std::mutex& linksMutex()
{
    static std::mutex* mutex = new std::mutex();
    return *mutex;
}

CrashLinks& storedLinks()
{
    static CrashLinks* links = new CrashLinks();
    return *links;
}

CrashLinks currentLinks()
{
    std::lock_guard guard(linksMutex());
    return storedLinks();
}

std::int32_t crashTime()
{
    const double now = PUSHServerTimestamp();
    if (now >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (now <= 0)
        return 0;
    return static_cast<std::int32_t>(now);
}

} // namespace

void setCrashLinks(CrashLinks links)
{
    std::lock_guard guard(linksMutex());
    storedLinks() = std::move(links);
}

} // namespace push_crash

std::shared_ptr<PUSHCaughtExceptionHandlerController> PUSHCaughtExceptionHandlerController::create()
{
    return std::make_shared<PUSHCaughtExceptionHandlerController>();
}

__attribute__((noinline)) std::vector<std::string> PUSHCaughtExceptionHandlerController::backtrace()
{
    std::vector<std::string> frames = push_crash::callStackSymbols();
    constexpr std::size_t kFirst = 4;
    constexpr std::size_t kCount = 5;
    if (frames.size() <= kFirst)
        return {};
    const std::size_t end = std::min(frames.size(), kFirst + kCount);
    return std::vector<std::string>(frames.begin() + kFirst, frames.begin() + static_cast<std::ptrdiff_t>(end));
}

bool PUSHCaughtExceptionHandlerController::p_compareOldExceptionTraceWithCurrentTraceWithOldMessageWithCurrentMessage(
    const std::string& oldTrace, const std::string& currentTrace, const std::string& oldMessage,
    const std::string& currentMessage)
{
    return oldTrace == currentTrace && oldMessage == currentMessage;
}

Value PUSHCaughtExceptionHandlerController::changeStackTraceToStringFrom(const NSException& exception)
{
    return exception.userInfo()[kUncaughtExceptionHandlerAddressesKey];
}

Value PUSHCaughtExceptionHandlerController::crashFields(const NSException& exception, const std::string& message)
{
    const std::string version = PUSHAppVersionName();
    const Value& frames = exception.userInfo()[kUncaughtExceptionHandlerAddressesKey];
    return Value::dictionary({
        { "stacktrace", frames.isArray() ? frames : Value::array() },
        { "message", Value(message) },
        { "count", Value(1) },
        { "crashtime", Value(push_crash::crashTime()) },
        { "versionname", Value(version) },
        { "versioncode", Value(version) },
        { "device_info", PUSHDeviceInfoDictionary() },
        { "networktype", Value(PUSHNetworkStatusName(push::reportNetworkStatus())) },
    });
}

bool PUSHCaughtExceptionHandlerController::recordException(const NSException& exception)
{
    auto cache = PUSHFileCacheController::shareInstanceWithType(PUSHFileCacheTypeCache);
    if (!cache)
        return false;
    Value log = push_crash::crashLogFromStored(cache->objectForKey(kPUSHCrashLogKey));
    const std::string message = exception.reason();
    // A signal carries no compact call stack of its own: its frames stand in for it.
    const Value& callStack = exception.userInfo()[kUncaughtExceptionCallStack];
    std::string trace = callStack.isString() ? callStack.asString() : std::string();
    if (!callStack.isString()) {
        std::vector<std::string> frames;
        for (const Value& frame : exception.userInfo()[kUncaughtExceptionHandlerAddressesKey].asArray())
            frames.push_back(frame.asString());
        trace = PUSHCompactCallStack(frames);
    }
    if (!push_crash::addOccurrence(log, trace, message))
        push_crash::addRecord(log, crashFields(exception, message), trace);
    // Written either way: the count lives in the stored record.
    cache->setObject(log, kPUSHCrashLogKey);
    return true;
}

void PUSHCaughtExceptionHandlerController::validateAndSaveCriticalApplicationData()
{
    const push_crash::CrashLinks links = push_crash::currentLinks();
    const double now = PUSHServerTimestamp();
    auto scheduler = PUSHHttpSessionController::currentController();
    if (links.reportInactive)
        links.reportInactive(now);
    else if (scheduler)
        scheduler->reportInactive(now);
    if (links.synchronizeData)
        links.synchronizeData();
    if (scheduler)
        scheduler->serialize();
}

void PUSHCaughtExceptionHandlerController::handleException(const NSException& exception)
{
    // Nothing may escape into the crashing frame: the crash must still go on.
    try {
        recordException(exception);
    } catch (...) {
    }
    try {
        validateAndSaveCriticalApplicationData();
    } catch (...) {
    }
    PUSHRemoveCrashHandlers();
    if (exception.name() == kUncaughtExceptionHandlerSignalExceptionName) {
        // Blocked while its handler runs: delivered, with the handling now in place, on return.
        raise(exception.userInfo()[kUncaughtExceptionHandlerSignalKey].intValue());
        return;
    }
    if (auto previous = std::get_terminate())
        previous();
    std::abort();
}
