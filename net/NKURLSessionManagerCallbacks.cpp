// NKURLSessionManager as the session's delegate: each callback goes to the task's delegate and
// then to the manager's block; challenges are answered by the block or the security policy.
#include "net/NKURLSessionManager.h"
#include "net/NKURLSessionManagerBlocks.h"

namespace {

std::int64_t declaredLength(const std::shared_ptr<NSURLSessionTask>& task, std::int64_t expected)
{
    if (expected != NSURLSessionTransferSizeUnknown)
        return expected;
    auto request = task->originalRequest();
    auto header = request ? request->valueForHTTPHeaderField("Content-Length") : std::nullopt;
    return header ? Value(*header).integerValue() : expected;
}

} // namespace

std::shared_ptr<const NKURLSessionManager::Blocks> NKURLSessionManager::blocks() const
{
    std::lock_guard guard(settingsMutex_);
    return blocks_;
}

void NKURLSessionManager::changeBlocks(const std::function<void(Blocks&)>& change)
{
    std::lock_guard guard(settingsMutex_);
    auto changed = std::make_shared<Blocks>(*blocks_);
    change(*changed);
    blocks_ = std::move(changed);
}

void NKURLSessionManager::setSessionDidBecomeInvalidBlock(SessionDidBecomeInvalidBlock block)
{
    changeBlocks([&](Blocks& b) { b.sessionDidBecomeInvalid = std::move(block); });
}
void NKURLSessionManager::setSessionDidReceiveAuthenticationChallengeBlock(SessionDidReceiveChallengeBlock block)
{
    changeBlocks([&](Blocks& b) { b.sessionDidReceiveAuthenticationChallenge = std::move(block); });
}
void NKURLSessionManager::setDidFinishEventsForBackgroundURLSessionBlock(SessionDidFinishEventsBlock block)
{
    changeBlocks([&](Blocks& b) { b.didFinishEventsForBackgroundURLSession = std::move(block); });
}
void NKURLSessionManager::setTaskWillPerformHTTPRedirectionBlock(TaskWillPerformHTTPRedirectionBlock block)
{
    changeBlocks([&](Blocks& b) { b.taskWillPerformHTTPRedirection = std::move(block); });
}
void NKURLSessionManager::setTaskDidReceiveAuthenticationChallengeBlock(TaskDidReceiveChallengeBlock block)
{
    changeBlocks([&](Blocks& b) { b.taskDidReceiveAuthenticationChallenge = std::move(block); });
}
void NKURLSessionManager::setTaskNeedNewBodyStreamBlock(TaskNeedNewBodyStreamBlock block)
{
    changeBlocks([&](Blocks& b) { b.taskNeedNewBodyStream = std::move(block); });
}
void NKURLSessionManager::setTaskDidSendBodyDataBlock(TaskDidSendBodyDataBlock block)
{
    changeBlocks([&](Blocks& b) { b.taskDidSendBodyData = std::move(block); });
}
void NKURLSessionManager::setTaskDidCompleteBlock(TaskDidCompleteBlock block)
{
    changeBlocks([&](Blocks& b) { b.taskDidComplete = std::move(block); });
}
void NKURLSessionManager::setDataTaskDidReceiveResponseBlock(DataTaskDidReceiveResponseBlock block)
{
    changeBlocks([&](Blocks& b) { b.dataTaskDidReceiveResponse = std::move(block); });
}
void NKURLSessionManager::setDataTaskDidBecomeDownloadTaskBlock(DataTaskDidBecomeDownloadTaskBlock block)
{
    changeBlocks([&](Blocks& b) { b.dataTaskDidBecomeDownloadTask = std::move(block); });
}
void NKURLSessionManager::setDataTaskDidReceiveDataBlock(DataTaskDidReceiveDataBlock block)
{
    changeBlocks([&](Blocks& b) { b.dataTaskDidReceiveData = std::move(block); });
}
void NKURLSessionManager::setDataTaskWillCacheResponseBlock(DataTaskWillCacheResponseBlock block)
{
    changeBlocks([&](Blocks& b) { b.dataTaskWillCacheResponse = std::move(block); });
}
void NKURLSessionManager::setDownloadTaskDidFinishDownloadingBlock(DownloadTaskDidFinishDownloadingBlock block)
{
    changeBlocks([&](Blocks& b) { b.downloadTaskDidFinishDownloading = std::move(block); });
}
void NKURLSessionManager::setDownloadTaskDidWriteDataBlock(DownloadTaskDidWriteDataBlock block)
{
    changeBlocks([&](Blocks& b) { b.downloadTaskDidWriteData = std::move(block); });
}
void NKURLSessionManager::setDownloadTaskDidResumeBlock(DownloadTaskDidResumeBlock block)
{
    changeBlocks([&](Blocks& b) { b.downloadTaskDidResume = std::move(block); });
}

// Without their block the redirect, response, caching and background-events callbacks are
// left to the session's own defaults; every other one is always taken.
bool NKURLSessionManager::respondsTo(NSURLSessionDelegateMethod method) const
{
    auto b = blocks();
    switch (method) {
    case NSURLSessionDelegateMethod::WillPerformHTTPRedirection: return static_cast<bool>(b->taskWillPerformHTTPRedirection);
    case NSURLSessionDelegateMethod::DidReceiveResponse: return static_cast<bool>(b->dataTaskDidReceiveResponse);
    case NSURLSessionDelegateMethod::WillCacheResponse: return static_cast<bool>(b->dataTaskWillCacheResponse);
    case NSURLSessionDelegateMethod::DidFinishEventsForBackgroundURLSession:
        return static_cast<bool>(b->didFinishEventsForBackgroundURLSession);
    default: return true;
    }
}

void NKURLSessionManager::URLSessionDidBecomeInvalidWithError(const SessionRef& session, const NSErrorRef& error)
{
    if (auto block = blocks()->sessionDidBecomeInvalid)
        block(session, error);
    removeAllDelegates();
    NSNotificationCenter::defaultCenter()->postNotificationName(NKURLSessionDidInvalidateNotification, session);
}

NSURLSessionAuthChallengeDisposition NKURLSessionManager::evaluateChallenge(
    const ChallengeRef& challenge, CredentialRef& credential) const
{
    const auto& space = challenge->protectionSpace();
    if (!space || space->authenticationMethod() != NSURLAuthenticationMethodServerTrust)
        return NSURLSessionAuthChallengePerformDefaultHandling;
    auto policy = securityPolicy();
    if (!policy || !policy->evaluateServerTrust(space->serverTrust(), space->host()))
        return NSURLSessionAuthChallengeCancelAuthenticationChallenge;
    credential = NSURLCredential::credentialForTrust(space->serverTrust());
    return credential ? NSURLSessionAuthChallengeUseCredential : NSURLSessionAuthChallengePerformDefaultHandling;
}

void NKURLSessionManager::URLSessionDidReceiveChallenge(
    const SessionRef& session, const ChallengeRef& challenge, ChallengeCompletion completion)
{
    CredentialRef credential;
    auto block = blocks()->sessionDidReceiveAuthenticationChallenge;
    auto disposition = block ? block(session, challenge, credential) : evaluateChallenge(challenge, credential);
    completion(disposition, credential);
}

void NKURLSessionManager::taskDidReceiveChallenge(
    const SessionRef& session, const TaskRef& task, const ChallengeRef& challenge, ChallengeCompletion completion)
{
    CredentialRef credential;
    auto block = blocks()->taskDidReceiveAuthenticationChallenge;
    auto disposition = block ? block(session, task, challenge, credential) : evaluateChallenge(challenge, credential);
    completion(disposition, credential);
}

void NKURLSessionManager::URLSessionDidFinishEventsForBackgroundURLSession(const SessionRef& session)
{
    auto block = blocks()->didFinishEventsForBackgroundURLSession;
    if (!block)
        return;
    dispatch_async(dispatch_get_main_queue(), [block, session] { block(session); });
}

void NKURLSessionManager::taskWillPerformHTTPRedirection(const SessionRef& session, const TaskRef& task,
    const std::shared_ptr<NSHTTPURLResponse>& response, const std::shared_ptr<NSURLRequest>& request,
    std::function<void(std::shared_ptr<NSURLRequest>)> completion)
{
    auto block = blocks()->taskWillPerformHTTPRedirection;
    completion(block ? block(session, task, response, request) : request);
}

// Without a block: a fresh copy of the request's body stream, when it can be copied (the
// session then sends the request's own stream, unread, for the first attempt).
void NKURLSessionManager::taskNeedNewBodyStream(
    const SessionRef& session, const TaskRef& task, std::function<void(std::shared_ptr<NSInputStream>)> completion)
{
    if (auto block = blocks()->taskNeedNewBodyStream)
        return completion(block(session, task));
    auto original = task->originalRequest();
    auto stream = original ? original->HTTPBodyStream() : nullptr;
    completion(stream ? stream->copyStream() : nullptr);
}

void NKURLSessionManager::taskDidSendBodyData(const SessionRef& session, const TaskRef& task, std::int64_t bytesSent,
    std::int64_t totalBytesSent, std::int64_t totalBytesExpectedToSend)
{
    std::int64_t total = declaredLength(task, totalBytesExpectedToSend);
    if (auto delegate = delegateForTask(task))
        delegate->taskDidSendBodyData(totalBytesSent, total);
    if (auto block = blocks()->taskDidSendBodyData)
        block(session, task, bytesSent, totalBytesSent, total);
}

void NKURLSessionManager::taskDidCompleteWithError(const SessionRef& session, const TaskRef& task, const NSErrorRef& error)
{
    if (auto delegate = delegateForTask(task)) {
        delegate->taskDidComplete(task, error);
        removeDelegateForTask(task);
    }
    if (auto block = blocks()->taskDidComplete)
        block(session, task, error);
}

void NKURLSessionManager::dataTaskDidReceiveResponse(const SessionRef& session, const DataTaskRef& task,
    const std::shared_ptr<NSURLResponse>& response, std::function<void(NSURLSessionResponseDisposition)> completion)
{
    auto block = blocks()->dataTaskDidReceiveResponse;
    completion(block ? block(session, task, response) : NSURLSessionResponseAllow);
}

void NKURLSessionManager::dataTaskDidBecomeDownloadTask(const SessionRef& session, const DataTaskRef& task, const DownloadTaskRef& download)
{
    if (auto delegate = delegateForTask(task)) {
        removeDelegateForTask(task);
        setDelegateForTask(delegate, download);
    }
    if (auto block = blocks()->dataTaskDidBecomeDownloadTask)
        block(session, task, download);
}

void NKURLSessionManager::dataTaskDidReceiveData(const SessionRef& session, const DataTaskRef& task, const Bytes& data)
{
    if (auto delegate = delegateForTask(task))
        delegate->dataTaskDidReceiveData(task, data, maximumResponseDataLength());
    if (auto block = blocks()->dataTaskDidReceiveData)
        block(session, task, data);
}

void NKURLSessionManager::dataTaskWillCacheResponse(const SessionRef& session, const DataTaskRef& task,
    const std::shared_ptr<NSCachedURLResponse>& proposed, std::function<void(std::shared_ptr<NSCachedURLResponse>)> completion)
{
    auto block = blocks()->dataTaskWillCacheResponse;
    completion(block ? block(session, task, proposed) : proposed);
}

void NKURLSessionManager::downloadTaskDidFinishDownloadingToURL(const SessionRef& session, const DownloadTaskRef& task, const NSURL& location)
{
    auto delegate = delegateForTask(task);
    if (auto block = blocks()->downloadTaskDidFinishDownloading) {
        if (auto destination = block(session, task, location)) {
            if (delegate)
                delegate->setDownloadFileURL(destination);
            auto error = net::moveDownloadedFile(task, location, *destination);
            if (delegate && error)
                delegate->setDownloadMoveError(error);
            return;
        }
    }
    if (delegate)
        delegate->downloadTaskDidFinishDownloadingToURL(session, task, location);
}

void NKURLSessionManager::downloadTaskDidWriteData(const SessionRef& session, const DownloadTaskRef& task, std::int64_t bytesWritten,
    std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite)
{
    if (auto delegate = delegateForTask(task))
        delegate->downloadTaskDidWriteData(totalBytesWritten, totalBytesExpectedToWrite);
    if (auto block = blocks()->downloadTaskDidWriteData)
        block(session, task, bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
}

void NKURLSessionManager::downloadTaskDidResumeAtOffset(
    const SessionRef& session, const DownloadTaskRef& task, std::int64_t fileOffset, std::int64_t expectedTotalBytes)
{
    if (auto delegate = delegateForTask(task))
        delegate->downloadTaskDidResume(fileOffset, expectedTotalBytes);
    if (auto block = blocks()->downloadTaskDidResume)
        block(session, task, fileOffset, expectedTotalBytes);
}
