// Body assembly: the envelope, the items earlier attempts left in the pending cache, this
// request's own item, the size limit and the placement of the items newest first.
#include "push/Report/PUSHReportRequest.h"

#include "push/Report/PUSHHttpSessionController.h"
#include "push/Report/PUSHReportLinks.h"
#include "push/Storage/PUSHReportCacheController.h"
#include "push/Utilities/PUSHLog.h"
#include "push/Utilities/PUSHUtilities.h"

std::vector<std::pair<std::string, Value>> PUSHReportRequest::takeOverHistory()
{
    std::vector<std::pair<std::string, Value>> taken;
    auto cache = push::currentReportCache();
    if (!cache)
        return taken;
    cache->PUSHEnumerateObjectsUsingBlock(
        [&](const std::string& key, const Value& entry, bool&) { taken.emplace_back(key, entry); });
    for (const auto& [key, entry] : taken) {
        if (entry.isDictionary())
            reportContents_.append(entry);
        for (const Value& member : entry.asArray()) {
            if (member.isDictionary())
                reportContents_.append(member);
        }
        cache->removeCacheObjectForKey(key);
    }
    return taken;
}

void PUSHReportRequest::applySizeLimit(std::size_t envelopeLength)
{
    const auto& items = reportContents_.asArray();
    if (items.size() < 2)
        return;
    std::size_t total = envelopeLength + jsonLength(items.back()) + 10;
    for (std::size_t i = items.size() - 1; i-- > 0;) {
        total += jsonLength(items[i]) + 1;
        if (total < kContentLimit)
            continue;
        PUSHLogWarn("content too large, drop the content");
        Value kept = Value::array();
        for (std::size_t j = i + 1; j < items.size(); ++j)
            kept.append(items[j]);
        reportContents_ = std::move(kept);
        return;
    }
}

void PUSHReportRequest::placeItems(std::size_t envelopeLength)
{
    // The newest item always goes in; older ones while the body stays below the package limit.
    realContents_ = Value::array();
    std::size_t total = envelopeLength + 10;
    auto& items = *reportContents_.mutableArray();
    while (!items.empty()) {
        const std::size_t length = jsonLength(items.back()) + 1;
        if (!realContents_.asArray().empty() && total + length >= kPackageLimit) {
            hasSubpackage_ = true;
            break;
        }
        total += length;
        realContents_.append(items.back());
        items.pop_back();
    }
    if (!realContents_.asArray().empty())
        reportBody_.set("content", realContents_);
}

std::optional<Bytes> PUSHReportRequest::packetData()
{
    // A packed request keeps its body: packing again would take items it never sends.
    if (packetValueData_)
        return packetValueData_;
    const push::ReportIdentity identity = push::reportIdentity();
    reportBody_ = Value::dictionary({
        { "platform", Value("i") },
        { "uid", Value(identity.uid) },
        { "sdk_ver", Value(PUSHSDKVersionString()) },
        { "app_key", Value(identity.appKey) },
    });
    hasSubpackage_ = false;
    if (!reportContents_.isArray())
        reportContents_ = Value::array();
    const auto taken = takeOverHistory();
    packData();

    // Items taken from the pending cache go back there when this request sends nothing
    // (an empty or unchanged item): they belong to the next request.
    auto putBack = [&taken] {
        auto cache = push::currentReportCache();
        for (const auto& [key, entry] : taken) {
            if (cache)
                cache->addCacheObject(entry, key);
        }
    };
    if (reportContents_.asArray().empty()) {
        putBack();
        return std::nullopt;
    }
    const std::size_t envelopeLength = jsonLength(reportBody_);
    applySizeLimit(envelopeLength);
    placeItems(envelopeLength);
    if (isSendLock_ || reportBody_["content"].count() == 0) {
        putBack();
        return std::nullopt;
    }
    packetValueData_ = PUSHJSONData(reportBody_);
    if (!packetValueData_) {
        putBack();
        return std::nullopt;
    }
    setResponseBlock();
    return packetValueData_;
}
