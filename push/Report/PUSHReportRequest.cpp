// The report request's fields, identity-derived values and hand-over to the scheduler.
#include "push/Report/PUSHReportRequest.h"

#include <cmath>

#include "platform/foundation/Format.h"
#include "platform/persistence/NSJSONSerialization.h"
#include "push/Report/PUSHHttpResponse.h"
#include "push/Report/PUSHHttpSessionController.h"
#include "push/Report/PUSHReportLinks.h"
#include "push/Storage/PUSHDictionary.h"
#include "push/Utilities/PUSHUtilities.h"

PUSHReportRequest::PUSHReportRequest()
    : reportTimeStamp_(static_cast<std::int64_t>(PUSHServerTimestamp()))
{
}

std::shared_ptr<PUSHReportRequest> PUSHReportRequest::create()
{
    return std::make_shared<PUSHReportRequest>();
}

bool PUSHReportRequest::packData()
{
    return !packetValueData_.has_value();
}

void PUSHReportRequest::appendContent(Value item)
{
    content_ = item;
    reportContents_.append(std::move(item));
}

std::size_t PUSHReportRequest::jsonLength(const Value& value)
{
    auto data = NSJSONSerialization::dataWithJSONObject(value);
    return data ? data->size() : 0;
}

std::string PUSHReportRequest::generateSessionId() const
{
    const push::ReportIdentity identity = push::reportIdentity();
    return PUSHMD5HexString(NSString::stringWithFormat(
        "%@%@%lu", identity.appKey, identity.openUdid, static_cast<unsigned long>(reportTimeStamp_)));
}

bool PUSHReportRequest::compareInfoFromTo(const Value& from, const Value& to)
{
    Value a = from;
    Value b = to;
    if (a.isDictionary() && a.contains("itime"))
        a.set("itime", Value(""));
    if (b.isDictionary() && b.contains("itime"))
        b.set("itime", Value(""));
    return push::reportEqual(a, b);
}

void PUSHReportRequest::setResponseBlock()
{
    installResponseBlock<PUSHReportResponse>();
}

void PUSHReportRequest::send()
{
    if (auto scheduler = PUSHHttpSessionController::currentController())
        scheduler->sendHttpReport(sharedAs<PUSHReportRequest>());
}

bool PUSHReportRequest::startDelaySend()
{
    return PUSHReportManager::startDelaySend(sharedAs<PUSHReportRequest>());
}

std::shared_ptr<PUSHReportRequest> PUSHReportRequest::copy() const
{
    auto twin = create();
    twin->reportBody_ = reportBody_;
    twin->reportTimeStamp_ = reportTimeStamp_;
    twin->hasSubpackage_ = hasSubpackage_;
    twin->controlFlag_ = controlFlag_;
    twin->isSendLock_ = isSendLock_;
    twin->isResend_ = isResend_;
    twin->packetValueData_ = packetValueData_;
    twin->reportFlag_ = reportFlag_;
    twin->reportType_ = reportType_;
    twin->reportContents_ = reportContents_;
    twin->realContents_ = realContents_;
    twin->content_ = content_;
    twin->responseBlock_ = responseBlock_;
    twin->bodyData_ = bodyData_;
    twin->reSendTimerIndex_ = reSendTimerIndex_;
    return twin;
}

namespace push {

bool isValidItemTime(const Value& itime)
{
    if (!itime.isNumber() || itime.isBool())
        return false;
    double seconds = itime.doubleValue();
    if (itime.isInteger())
        seconds = itime.type() == Value::Type::Unsigned ? static_cast<double>(itime.unsignedValue())
                                                        : static_cast<double>(itime.integerValue());
    if (std::floor(seconds) != seconds)
        return false;
    return seconds >= 1e9 && seconds <= 9999999999.0;
}

} // namespace push
