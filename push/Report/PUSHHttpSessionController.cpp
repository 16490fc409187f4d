// The report scheduler's creation and resume, the login gate, sending, addresses and failures.
#include "push/Report/PUSHHttpSessionController.h"

#include <atomic>
#include <mutex>

#include "platform/foundation/Format.h"
#include "platform/threading/NSTimer.h"
#include "push/Network/PUSHAddressController.h"
#include "push/Network/PUSHSessionLink.h"
#include "push/Report/PUSHBadgeNumberReport.h"
#include "push/Report/PUSHHttpResponse.h"
#include "push/Report/PUSHReportLinks.h"
#include "push/Report/PUSHReportRequest.h"
#include "push/Storage/PUSHFileCacheController.h"
#include "push/Storage/PUSHLocationInfoController.h"
#include "push/Storage/PUSHReportCacheController.h"
#include "push/Storage/PUSHUserDefaultsController.h"
#include "push/Utilities/PUSHLog.h"
#include "push/Utilities/PUSHUtilities.h"

namespace {

std::mutex currentLock;
std::weak_ptr<PUSHHttpSessionController>& currentHolder()
{
    static auto* holder = new std::weak_ptr<PUSHHttpSessionController>(); // read by the push thread until exit
    return *holder;
}

// Request ids when no session is linked, so that in-flight keys stay apart within a second.
std::atomic<std::uint64_t> localRequestId { 0 };

} // namespace

namespace push {

std::shared_ptr<PUSHReportCacheController> currentReportCache()
{
    auto scheduler = PUSHHttpSessionController::currentController();
    return scheduler ? scheduler->reportCache() : nullptr;
}

} // namespace push

std::shared_ptr<PUSHHttpSessionController> PUSHHttpSessionController::create()
{
    auto controller = std::make_shared<PUSHHttpSessionController>();
    controller->fileCache_ = PUSHFileCacheController::startShareInstance("PUSHJSON", PUSHFileCacheTypeCache, false);
    controller->resume();
    std::lock_guard guard(currentLock);
    currentHolder() = controller;
    return controller;
}

std::shared_ptr<PUSHHttpSessionController> PUSHHttpSessionController::currentController()
{
    std::lock_guard guard(currentLock);
    return currentHolder().lock();
}

PUSHHttpSessionController::~PUSHHttpSessionController()
{
    stopChecks();
}

void PUSHHttpSessionController::installSaveAction()
{
    std::weak_ptr<PUSHReportCacheController> weakCache = reportCache_;
    std::weak_ptr<PUSHFileCacheController> weakFile = fileCache_;
    reportCache_->setSyncBlock([weakCache, weakFile] {
        auto cache = weakCache.lock();
        auto file = weakFile.lock();
        if (cache && file)
            file->setObject(Value(cache), kPUSHHistroyCacheKey);
    });
}

void PUSHHttpSessionController::resume()
{
    const auto stored = [this](const char* key) { return fileCache_ ? fileCache_->objectForKey(key) : Value(); };
    reportCache_ = stored(kPUSHHistroyCacheKey).asObject<PUSHReportCacheController>();
    if (!reportCache_)
        reportCache_ = PUSHReportCacheController::initWithSynchronizeBlock(nullptr);
    installSaveAction();
    reportCache_->resetCache();

    locationInfo_ = stored(kPUSHLocationLogKey).asObject<PUSHLocationInfoController>();
    if (!locationInfo_)
        locationInfo_ = PUSHLocationInfoController::create();

    startTime_ = static_cast<double>(stored(kPUSHStartTimeKey).integerValue());
    if (startTime_ == 0)
        startTime_ = static_cast<double>(static_cast<std::int64_t>(PUSHServerTimestamp()));
    else
        closeTime_ = static_cast<double>(stored(kPUSHLeftTimeKey).integerValue());
    lastDeviceTimestamp_ = static_cast<double>(stored(kPUSHCheckTimeKey).integerValue());
    lastCrashTimestamp_ = static_cast<double>(stored(kPUSHCrashTimerKey).integerValue());
    lastLocationTimestamp_ = static_cast<double>(stored(kPUSHLocationTimerKey).integerValue());
    isSetup_ = true;
}

bool PUSHHttpSessionController::mayGoOut(const PUSHReportRequest& request) const
{
    if (!request.validRequired() && !request.loginRequired())
        return true;
    const push::ReportIdentity identity = push::reportIdentity();
    auto link = push::currentSessionLink();
    return !identity.appKey.empty() && identity.uid != 0 && link && link->isLogin();
}

void PUSHHttpSessionController::sendHttpReport(const std::shared_ptr<PUSHReportRequest>& request)
{
    if (!request)
        return;
    if (!mayGoOut(*request)) {
        if (httpBlockedQueue_.size() >= kMaxBlockedReports)
            httpBlockedQueue_.pop_front();
        httpBlockedQueue_.push_back(request);
        return;
    }
    if (request->reportFlag()) {
        PUSHLogDebug("report flag %@ is in sending state, do not send it again", *request->reportFlag());
        return;
    }
    doSendHttpReport(request);
}

void PUSHHttpSessionController::sendAllBlockedHttpReports()
{
    auto held = std::move(httpBlockedQueue_);
    httpBlockedQueue_.clear();
    for (const auto& request : held)
        doSendHttpReport(request);
}

void PUSHHttpSessionController::doSendHttpReport(const std::shared_ptr<PUSHReportRequest>& request)
{
    if (!request)
        return;
    auto urlRequest = request->generateReportRequest();
    if (!urlRequest)
        return;
    auto link = push::currentSessionLink();
    const std::uint64_t rid = link ? link->getRId(0) : ++localRequestId;
    reportFlag_ = NSString::stringWithFormat("%llu:%llu", static_cast<unsigned long long>(rid),
        static_cast<unsigned long long>(PUSHCurrentTimestamp()));
    request->setReportFlag(reportFlag_);
    setRequestManager(request)->send(urlRequest);

    if (!request->hasSubpackage())
        return;
    PUSHLogDebug("report beyond limit size, send subPackage");
    auto followUp = PUSHReportRequest::create();
    followUp->setReportContents(request->reportContents());
    followUp->send();
}

std::shared_ptr<PUSHHttpRequest> PUSHHttpSessionController::setRequestManager(const std::shared_ptr<PUSHReportRequest>& request)
{
    const auto type = static_cast<std::int32_t>(request->reportType());
    return PUSHHttpRequest::initWithDelegate(sharedAs<PUSHHttpSessionController>(), request,
        getDefaultAddress(type).value_or(""), getBackUpAddress(type).value_or(""));
}

std::optional<std::string> PUSHHttpSessionController::getDefaultAddress(std::int32_t reportType) const
{
    if (reportType >= 0 && reportType <= 9)
        return push::reportLinks().reportEndpoint;
    if (reportType >= 10 && reportType <= 19)
        return push::reportLinks().userEndpoint;
    return std::nullopt;
}

std::optional<std::string> PUSHHttpSessionController::getBackUpAddress(std::int32_t reportType) const
{
    const push::ReportLinks links = push::reportLinks();
    const bool statistics = reportType >= 0 && reportType <= 9;
    const bool user = reportType >= 10 && reportType <= 19;
    if (!statistics && !user)
        return std::nullopt;
    std::string learnt;
    if (links.addressController)
        learnt = statistics ? links.addressController->httpReportAddress() : links.addressController->userReportAddress();
    if (learnt.empty() && links.userDefaults)
        learnt = statistics ? links.userDefaults->backupHttpReportAddress() : links.userDefaults->backupUserReportAddress();
    if (learnt.empty())
        return std::nullopt;
    return learnt;
}

void PUSHHttpSessionController::didReceivedHttpFeedback(const std::shared_ptr<PUSHHttpResponse>& response)
{
    if (!response)
        return;
    response->handleReceipt();
    // A badge report is sent again by its retries: once answered it is no longer in flight.
    if (auto request = response->request(); request && !request->cacheRequestRequired())
        request->setReportFlag(std::nullopt);
}

void PUSHHttpSessionController::didNotReceivedFromRequest(const std::shared_ptr<PUSHReportRequest>& request,
    const std::optional<std::string>& reportFlag, const std::shared_ptr<NSError>& error)
{
    if (!request)
        return;
    const std::int64_t code = error ? error->code() : 0;
    const std::uint64_t type = request->reportType();
    if (type <= 10) {
        if (!request->isResend() && reportFlag)
            reportCache_->changeSendingObjectFailedForKey(*reportFlag);
        PUSHLogError("http上报错误:%@", getHttpNetworkErrorStringWith(code));
        return;
    }
    auto badge = std::dynamic_pointer_cast<PUSHBadgeNumberReportRequest>(request);
    if (type != 11 || !badge)
        return;
    PUSHLogInfo("设置badge:%ld 错误:%ld", static_cast<long>(badge->badgeCount()), static_cast<long>(code));
    // The attempt failed: it is no longer in flight, and the badge manager schedules its retry.
    badge->setReportFlag(std::nullopt);
    badge->startDelaySend();
}

std::string PUSHHttpSessionController::getHttpNetworkErrorStringWith(std::int64_t code)
{
    switch (code) {
    case 1: return "找不到服务器主机";
    case 2: return "主机未知错误";
    case -1014: return "请求资源0字节";
    case -1013: return "需要用户验证信息";
    case -1012: return "用户取消验证";
    case -1011: return "错误的服务器响应";
    case -1010: return "跳转到不存在的地址";
    case -1009: return "设备没有连接到网络";
    case -1008: return "请求资源不存在";
    case -1007: return "连接地址跳转过多";
    case -1006: return "DNS解析失败";
    case -1005: return "网络连接丢失";
    case -1004: return "无法连接到主机";
    case -1003: return "找不到主机";
    case -1002: return "不支持的URL";
    case -1001: return "连接超时";
    case -1000: return "错误的URL地址";
    case -999: return "请求被取消";
    case -998: return "未知错误";
    default: return NSString::stringWithFormat("%ld", static_cast<long>(code));
    }
}
