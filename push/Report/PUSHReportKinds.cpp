// The items of the statistics report kinds.
#include "push/Report/PUSHReportKinds.h"

#include "platform/foundation/Format.h"
#include "push/Report/PUSHHttpSessionController.h"
#include "push/Storage/PUSHFileCacheController.h"
#include "push/Storage/PUSHLocationInfoController.h"
#include "push/Storage/PUSHPageFlow.h"
#include "push/Utilities/PUSHUtilities.h"

namespace {

template <class T>
std::shared_ptr<T> makeKind(std::uint64_t type)
{
    auto request = std::make_shared<T>();
    request->setControlFlag(1);
    request->setReportTypeForKind(type);
    return request;
}

// "date", "time" and "timezone" of an item made at `itime`.
void addLocalTime(Value& item, std::int64_t itime)
{
    std::string date;
    std::string time;
    PUSHDateAndTimeStrings(itime, &date, &time);
    item.set("date", Value(date));
    item.set("time", Value(time));
    item.set("timezone", Value(PUSHTimeZoneOffset()));
}

std::shared_ptr<PUSHFileCacheController> plainCache()
{
    return PUSHFileCacheController::shareInstanceWithType(PUSHFileCacheTypeCache);
}

// A copy of a list, or the empty text when it is empty.
Value listOrEmptyText(const Value& list)
{
    return list.count() == 0 ? Value("") : list;
}

} // namespace

void PUSHReportRequest::appendWhenChanged(Value item, const char* key)
{
    auto cache = plainCache();
    const Value last = cache ? cache->objectForKey(key) : Value();
    if (!last) {
        appendContent(std::move(item));
        return;
    }
    if (!last.isDictionary())
        return;
    if (compareInfoFromTo(last, item)) {
        setIsSendLock(true);
        return;
    }
    appendContent(std::move(item));
    setIsSendLock(false);
}

void PUSHRememberingReportResponse::handleReceipt()
{
    PUSHReportResponse::handleReceipt();
    if (statusCode() != 200 || !request())
        return;
    if (auto cache = plainCache())
        cache->setObject(request()->content(), rememberKey());
}

const char* PUSHUserDeviceReportResponse::rememberKey() const { return kPUSHLastDeviceInfoKey; }
const char* PUSHLocationReportResponse::rememberKey() const { return kPUSHLastLocationKey; }

std::shared_ptr<PUSHUserLoginReportRequest> PUSHUserLoginReportRequest::create()
{
    return makeKind<PUSHUserLoginReportRequest>(1);
}

bool PUSHUserLoginReportRequest::packData()
{
    if (!PUSHReportRequest::packData())
        return false;
    Value item = Value::dictionary({
        { "type", Value("active_launch") },
        { "itime", Value(reportTimeStamp()) },
        { "session_id", Value(generateSessionId()) },
    });
    addLocalTime(item, reportTimeStamp());
    appendContent(std::move(item));
    return true;
}

std::shared_ptr<PUSHUserActiveReportRequest> PUSHUserActiveReportRequest::create()
{
    return makeKind<PUSHUserActiveReportRequest>(2);
}

void PUSHUserActiveReportRequest::setReportActives(
    const std::shared_ptr<PUSHPageFlow>& actives, double sessionStartTime, double sessionCloseTime)
{
    actives_ = actives ? actives->copy() : nullptr;
    sessionStartTime_ = sessionStartTime;
    sessionCloseTime_ = sessionCloseTime;
}

Value PUSHUserActiveReportRequest::p_addActives() const
{
    const Value flow = actives_ ? actives_->pageFlow() : Value::array();
    return listOrEmptyText(flow);
}

bool PUSHUserActiveReportRequest::packData()
{
    if (!PUSHReportRequest::packData())
        return false;
    setReportTimeStamp(static_cast<std::int64_t>(sessionCloseTime_));
    Value item = Value::dictionary({
        { "type", Value("active_terminate") },
        { "itime", Value(reportTimeStamp()) },
        { "duration", Value(static_cast<std::int64_t>(sessionCloseTime_ - sessionStartTime_)) },
        { "session_id", Value(generateSessionId()) },
        { "activities", p_addActives() },
    });
    addLocalTime(item, reportTimeStamp());
    appendContent(std::move(item));
    return true;
}

std::shared_ptr<PUSHUserDeviceReportRequest> PUSHUserDeviceReportRequest::create()
{
    return makeKind<PUSHUserDeviceReportRequest>(3);
}

bool PUSHUserDeviceReportRequest::packData()
{
    if (!PUSHReportRequest::packData())
        return false;
    appendWhenChanged(PUSHDeviceInfoDictionary(), kPUSHLastDeviceInfoKey);
    return true;
}

std::shared_ptr<PUSHMessageReportRequest> PUSHMessageReportRequest::create()
{
    return makeKind<PUSHMessageReportRequest>(4);
}

void PUSHMessageReportRequest::setActiveType(std::int32_t state, std::string messageID, std::int32_t flag)
{
    messageStateType_ = static_cast<std::uint16_t>(state);
    messageID_ = std::move(messageID);
    flag_ = flag;
}

bool PUSHMessageReportRequest::packData()
{
    if (!PUSHReportRequest::packData())
        return false;
    Value item = Value::dictionary({
        { "itime", Value(reportTimeStamp()) },
        { "type", Value("msg_status") },
        { "result", Value(messageStateType_) },
        { "msg_id", Value(messageID_) },
    });
    if (flag_ != kPUSHAbsentMessageFlag)
        item.set("flag", Value(flag_));
    appendContent(std::move(item));
    return true;
}

std::shared_ptr<PUSHLocationReportRequest> PUSHLocationReportRequest::create()
{
    return makeKind<PUSHLocationReportRequest>(5);
}

void PUSHLocationReportRequest::setLocationInfoController(const std::shared_ptr<PUSHLocationInfoController>& info)
{
    locationInfo_ = info ? info->copy() : nullptr;
}

bool PUSHLocationReportRequest::packData()
{
    if (!PUSHReportRequest::packData())
        return false;
    auto info = locationInfo_ ? locationInfo_ : PUSHLocationInfoController::create();
    Value item = Value::dictionary({
        { "type", Value("loc_info") },
        { "itime", Value(reportTimeStamp()) },
        { "wifi", listOrEmptyText(info->wifiInfo()) },
        { "cell", listOrEmptyText(info->cellInfo()) },
        { "gps", listOrEmptyText(info->gpsInfo()) },
    });
    appendWhenChanged(std::move(item), kPUSHLastLocationKey);
    return true;
}

std::shared_ptr<PUSHCrashHandlerReportRequest> PUSHCrashHandlerReportRequest::create()
{
    return makeKind<PUSHCrashHandlerReportRequest>(6);
}

bool PUSHCrashHandlerReportRequest::packData()
{
    if (!PUSHReportRequest::packData())
        return false;
    auto cache = plainCache();
    const Value records = cache ? cache->objectForKey(kPUSHCrashLogKey) : Value();
    if (cache)
        cache->removeObjectForKey(kPUSHCrashLogKey);
    Value crashlogs = Value::array();
    for (const Value& record : records.asArray()) {
        if (record[0].isDictionary())
            crashlogs.append(record[0]);
    }
    if (crashlogs.count() == 0)
        return false;
    Value item = Value::dictionary({
        { "type", Value("crash_log") },
        { "itime", Value(reportTimeStamp()) },
        { "crashlogs", crashlogs },
    });
    appendContent(std::move(item));
    return true;
}
