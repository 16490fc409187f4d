// The badge report's body, request, lock, retry and response.
#include "push/Report/PUSHBadgeNumberReport.h"

#include "platform/network/NSURLRequest.h"
#include "push/Report/PUSHHttpSessionController.h"
#include "push/Report/PUSHReportLinks.h"
#include "push/Utilities/PUSHLog.h"
#include "push/Utilities/PUSHUtilities.h"

namespace {

std::shared_ptr<push::BadgeManager> badgeManager()
{
    auto scheduler = PUSHHttpSessionController::currentController();
    return scheduler ? scheduler->badgeNumberManager() : nullptr;
}

} // namespace

std::shared_ptr<PUSHBadgeNumberReportRequest> PUSHBadgeNumberReportRequest::create()
{
    auto request = std::make_shared<PUSHBadgeNumberReportRequest>();
    request->setControlFlag(1);
    request->setReportTypeForKind(11);
    return request;
}

std::optional<Bytes> PUSHBadgeNumberReportRequest::packetData()
{
    const push::ReportIdentity identity = push::reportIdentity();
    badgeBody_ = Value::dictionary({
        { "uid", Value(identity.uid) },
        { "platform", Value("i") },
        { "app_key", Value(identity.appKey) },
        { "itime", Value(reportTimeStamp()) },
        { "content", Value::dictionary({ { "badge", Value(badgeCount_ < 0 ? 0 : badgeCount_) } }) },
    });
    if (!packetValueData())
        setPacketValueData(PUSHJSONData(badgeBody_));
    std::optional<Bytes> body = packetValueData();
    if (!body || body->empty()) {
        PUSHLogError("http report packet too short");
        body.reset();
    }
    badgeBody_ = Value();
    setPacketValueData(std::nullopt);
    setResponseBlock();
    return body;
}

std::string PUSHBadgeNumberReportRequest::p_generateRequestHead()
{
    const Bytes body = bodyData().value_or(Bytes());
    return push::badgeSignature(std::string(body.begin(), body.end()));
}

std::shared_ptr<NSMutableURLRequest> PUSHBadgeNumberReportRequest::generateReportRequest()
{
    auto body = packetData();
    if (!body)
        return nullptr;
    setBodyData(body);
    auto request = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(push::reportLinks().userEndpoint));
    request->setHTTPMethod("POST");
    request->setValueForHTTPHeaderField("text/plain", "Content-Type");
    request->setValueForHTTPHeaderField("application/json", "Accept");
    request->setValueForHTTPHeaderField(p_generateRequestHead(), "Authorization");
    request->setTimeoutInterval(30);
    request->setHTTPBody(body);
    return request;
}

bool PUSHBadgeNumberReportRequest::isSendRequestLock() const
{
    auto manager = badgeManager();
    if (!manager)
        return false;
    if (manager->badgeReport().get() == this)
        return manager->isSendingLock();
    return true;
}

void PUSHBadgeNumberReportRequest::setIsSendRequestLock(bool lock)
{
    if (auto manager = badgeManager())
        manager->setIsSendingLock(lock);
}

bool PUSHBadgeNumberReportRequest::startDelaySend()
{
    if (auto manager = badgeManager())
        manager->startDelaySendBadge(sharedAs<PUSHBadgeNumberReportRequest>());
    return true;
}

void PUSHBadgeNumberReportResponse::handleReceipt()
{
    auto badge = std::dynamic_pointer_cast<PUSHBadgeNumberReportRequest>(request());
    if (!badge)
        return;
    const long status = static_cast<long>(statusCode());
    const long count = static_cast<long>(badge->badgeCount());
    const bool retry = status != 200 && status != 400 && status != 401;
    if (auto manager = badgeManager())
        manager->stopDelayTimer(badge, retry);
    switch (status) {
    case 200:
        PUSHLogInfo("set badge:%ld succeed", count);
        break;
    case 400:
        PUSHLogInfo("send badge:%ld parameter validate failed!", count);
        break;
    case 401:
        PUSHLogInfo("send badge:%ld parameter check failed!", count);
        break;
    case 500:
        PUSHLogInfo("warning:badge:%ld inner error failed", count);
        break;
    default:
        PUSHLogInfo("warning:badge:%ld default error:%ld", count, status);
        break;
    }
    // A retry the manager was told to make needs the request scheduled again.
    if (retry)
        badge->startDelaySend();
}
