// Report responses: the status decides whether the items sent are gone, stay in flight, or go
// back to the pending cache.
#include "push/Report/PUSHHttpResponse.h"

#include "platform/network/NSURLResponse.h"
#include "push/Report/PUSHHttpSessionController.h"
#include "push/Report/PUSHReportRequest.h"
#include "push/Storage/PUSHReportCacheController.h"
#include "push/Utilities/PUSHLog.h"

std::shared_ptr<PUSHHttpResponse> PUSHHttpResponse::initWithDataResponseDelegateFrom(const std::optional<Bytes>&,
    const std::shared_ptr<NSURLResponse>& response, const std::weak_ptr<PUSHHttpRequestDelegate>& delegate,
    const std::shared_ptr<PUSHReportRequest>& request)
{
    return make<PUSHHttpResponse>(response, delegate, request);
}

void PUSHHttpResponse::fill(const std::shared_ptr<NSURLResponse>& response,
    const std::weak_ptr<PUSHHttpRequestDelegate>& delegate, const std::shared_ptr<PUSHReportRequest>& request)
{
    if (auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(response))
        statusCode_ = http->statusCode();
    delegate_ = delegate;
    request_ = request;
}

std::shared_ptr<PUSHHttpResponse> PUSHReportResponse::initWithDataResponseDelegateFrom(const std::optional<Bytes>&,
    const std::shared_ptr<NSURLResponse>& response, const std::weak_ptr<PUSHHttpRequestDelegate>& delegate,
    const std::shared_ptr<PUSHReportRequest>& request)
{
    return make<PUSHReportResponse>(response, delegate, request);
}

void PUSHReportResponse::deleteContent()
{
    auto cache = push::currentReportCache();
    if (cache && request() && request()->reportFlag())
        cache->removeSendingObjectForKey(*request()->reportFlag());
}

void PUSHReportResponse::saveReportPackage()
{
    auto cache = push::currentReportCache();
    if (cache && request() && request()->reportFlag())
        cache->changeSendingObjectFailedForKey(*request()->reportFlag());
}

void PUSHReportResponse::handleReceipt()
{
    const Value contents = request() ? request()->realContents() : Value();
    const long status = static_cast<long>(statusCode());
    switch (status) {
    case 200:
        PUSHLogDebug("send report:%@ log succed", contents);
        deleteContent();
        return;
    case 400:
        // Left in flight: the next start of the push client returns the items to pending.
        PUSHLogError("report:%@ Parameter Error,error Code:%ld", contents, status);
        return;
    case 401:
        PUSHLogError("report:%@ Validate Error,error Code:%ld", contents, status);
        return;
    case 403:
        PUSHLogError("report:%@ log forbidden failed,error Code:%ld", contents, status);
        deleteContent();
        return;
    case 500:
        PUSHLogError("report:%@ inner Error", contents);
        saveReportPackage();
        return;
    default:
        PUSHLogError("report:%@ log failed,error Code:%ld", contents, status);
        if (status >= 400 && status <= 499)
            deleteContent();
        else
            saveReportPackage();
        return;
    }
}
