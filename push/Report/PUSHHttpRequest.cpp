// The transport of one HTTP report and its one fall-back to the backup address.
#include "push/Report/PUSHHttpRequest.h"

#include <algorithm>

#include "platform/threading/NSRunLoop.h"
#include "push/Report/PUSHHttpResponse.h"
#include "push/Report/PUSHHttpSessionController.h"
#include "push/Report/PUSHReportLinks.h"
#include "push/Report/PUSHReportRequest.h"
#include "push/Storage/PUSHDictionary.h"
#include "push/Storage/PUSHReportCacheController.h"

std::shared_ptr<PUSHHttpRequest> PUSHHttpRequest::initWithDelegate(const std::weak_ptr<PUSHHttpRequestDelegate>& delegate,
    const std::shared_ptr<PUSHReportRequest>& postData, std::string requestAddress, std::string backUpAddress)
{
    auto request = std::make_shared<PUSHHttpRequest>();
    request->delegate_ = delegate;
    request->postData_ = postData;
    request->requestAddress_ = std::move(requestAddress);
    request->backUpAddress_ = std::move(backUpAddress);
    return request;
}

void PUSHHttpRequest::writeToCache()
{
    auto cache = push::currentReportCache();
    if (!cache || !postData_ || !postData_->reportFlag())
        return;
    // The entry is a set of items: one equal but for "itime" to an item it holds already is
    // the same item, and goes back to the pending cache once should this send fail.
    Value entry = Value::array();
    const auto holds = [&entry](const Value& item) {
        const auto& members = entry.asArray();
        return std::any_of(members.begin(), members.end(), [&item](const Value& member) { return push::reportEqual(member, item); });
    };
    auto collect = [&](const Value& item) {
        if (item.isDictionary() && push::isValidItemTime(item["itime"]) && !holds(item) && !cache->containsCacheObject(item))
            entry.append(item);
    };
    for (const Value& item : postData_->realContents().asArray()) {
        collect(item);
        for (const Value& nested : item.asArray())
            collect(nested);
    }
    if (entry.count() > 0)
        cache->addSendingCacheObject(entry, *postData_->reportFlag());
}

void PUSHHttpRequest::send(const std::shared_ptr<NSURLRequest>& request)
{
    if (!request || !postData_)
        return;
    if (postData_->cacheRequestRequired())
        writeToCache();
    if (push::reportNetworkStatus() == 0)
        return;
    start(request);
}

void PUSHHttpRequest::start(const std::shared_ptr<NSURLRequest>& request)
{
    auto connection = NSURLConnection::create(request, sharedAs<PUSHHttpRequest>(), false);
    connection->scheduleInRunLoop(NSRunLoop::currentRunLoop(), NSRunLoopCommonModes);
    connection->start();
}

void PUSHHttpRequest::connectionDidReceiveResponse(
    const std::shared_ptr<NSURLConnection>&, const std::shared_ptr<NSURLResponse>& response)
{
    response_ = response;
}

void PUSHHttpRequest::connectionDidReceiveData(const std::shared_ptr<NSURLConnection>&, const Bytes& data)
{
    result_ = data;
}

void PUSHHttpRequest::connectionDidFinishLoading(const std::shared_ptr<NSURLConnection>&)
{
    postData_->setIsSendRequestLock(false);
    const auto& block = postData_->responseBlock();
    reportResponse_ = block ? block(response_, result_, delegate_)
                            : PUSHReportResponse::initWithDataResponseDelegateFrom(result_, response_, delegate_, postData_);
    if (auto delegate = delegate_.lock(); delegate && reportResponse_)
        delegate->didReceivedHttpFeedback(reportResponse_);
}

void PUSHHttpRequest::connectionDidFailWithError(
    const std::shared_ptr<NSURLConnection>& connection, const std::shared_ptr<NSError>& error)
{
    reportResponse_.reset();
    postData_->setIsSendRequestLock(false);
    if (postData_->isSendRequestLock())
        return;
    auto failed = connection ? connection->currentRequest() : nullptr;
    const std::string failedURL = failed && failed->URL() ? failed->URL()->absoluteString() : std::string();
    // A backup address equal to the primary must not make the retry look like a first failure:
    // the one fall-back is counted, not inferred from the URL.
    const bool primaryFailed = !triedBackUp_ && failedURL == requestAddress_;
    auto backup = backUpAddress_.empty() ? std::nullopt : NSURL::URLWithString(backUpAddress_);
    if (primaryFailed && backup && failed) {
        triedBackUp_ = true;
        auto retry = failed->mutableCopy();
        retry->setURL(backup);
        start(retry);
        return;
    }
    // The backup failed too, or there is no backup to try: the scheduler hears of it either
    // way, so the items in flight go back to the pending cache at once.
    reportFailure(error);
}

void PUSHHttpRequest::reportFailure(const std::shared_ptr<NSError>& error)
{
    if (auto delegate = delegate_.lock())
        delegate->didNotReceivedFromRequest(postData_, postData_->reportFlag(), error);
}
