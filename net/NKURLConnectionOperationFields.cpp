// NKURLConnectionOperation's fields under its lock, the response string, copying and batches.
#include "net/NKURLConnectionOperation.h"

#include "platform/foundation/StringEncoding.h"

std::shared_ptr<NSURLRequest> NKURLConnectionOperation::request() const
{
    return locked(request_);
}

void NKURLConnectionOperation::setRequest(std::shared_ptr<NSURLRequest> request)
{
    setLocked(request_, std::move(request));
}

std::shared_ptr<NSURLResponse> NKURLConnectionOperation::response() const
{
    return locked(response_);
}

void NKURLConnectionOperation::setResponse(std::shared_ptr<NSURLResponse> response)
{
    setLocked(response_, std::move(response));
}

NSErrorRef NKURLConnectionOperation::error() const
{
    return locked(error_);
}

std::optional<Bytes> NKURLConnectionOperation::responseData() const
{
    return locked(responseData_);
}

void NKURLConnectionOperation::setResponseData(std::optional<Bytes> data)
{
    setLocked(responseData_, std::move(data));
}

NSStringEncoding NKURLConnectionOperation::responseStringEncoding()
{
    std::lock_guard lock(lock_);
    if (responseStringEncoding_ != 0 || !response_)
        return responseStringEncoding_;
    NSStringEncoding encoding = NSUTF8StringEncoding;
    if (const auto& name = response_->textEncodingName()) {
        CFStringEncoding named = CFStringConvertIANACharSetNameToEncoding(*name);
        if (named != kCFStringEncodingInvalidId)
            encoding = CFStringConvertEncodingToNSStringEncoding(named);
    }
    responseStringEncoding_ = encoding;
    return encoding;
}

std::optional<std::string> NKURLConnectionOperation::responseString()
{
    std::lock_guard lock(lock_);
    if (!responseString_ && response_ && responseData_)
        responseString_ = NSString::initWithData(*responseData_, responseStringEncoding());
    return responseString_;
}

std::shared_ptr<NSInputStream> NKURLConnectionOperation::inputStream() const
{
    auto current = request();
    return current ? current->HTTPBodyStream() : nullptr;
}

void NKURLConnectionOperation::setInputStream(const std::shared_ptr<NSInputStream>& stream)
{
    std::lock_guard lock(lock_);
    if (!request_)
        return; // no request to carry the stream; starting fails as it would have
    auto copy = request_->mutableCopy();
    copy->setHTTPBodyStream(stream);
    request_ = copy;
}

std::shared_ptr<NSOutputStream> NKURLConnectionOperation::outputStream()
{
    std::lock_guard lock(lock_);
    if (!outputStream_) {
        outputStream_ = NSOutputStream::outputStreamToMemory();
        ownsOutputStream_ = true;
    }
    return outputStream_;
}

void NKURLConnectionOperation::setOutputStream(const std::shared_ptr<NSOutputStream>& stream)
{
    std::lock_guard lock(lock_);
    if (stream == outputStream_)
        return;
    if (outputStream_)
        outputStream_->close();
    outputStream_ = stream;
    ownsOutputStream_ = false;
}

bool NKURLConnectionOperation::restartOutputStream()
{
    std::lock_guard lock(lock_);
    if (outputStream_ && !ownsOutputStream_)
        return false;
    if (outputStream_)
        outputStream_->close();
    outputStream_ = NSOutputStream::outputStreamToMemory();
    ownsOutputStream_ = true;
    bytesInMemory_ = 0;
    // The bytes dropped no longer count as read (after the progress already queued for them).
    auto strong = self();
    dispatch_async(dispatch_get_main_queue(), [strong] { strong->totalBytesRead_ = 0; });
    auto runLoop = NSRunLoop::currentRunLoop();
    for (const auto& mode : runLoopModes_)
        outputStream_->scheduleInRunLoop(runLoop, mode);
    outputStream_->open();
    return true;
}

std::shared_ptr<NSURLCredential> NKURLConnectionOperation::credential() const
{
    return locked(credential_);
}

void NKURLConnectionOperation::setCredential(std::shared_ptr<NSURLCredential> credential)
{
    setLocked(credential_, std::move(credential));
}

std::shared_ptr<NKSecurityPolicy> NKURLConnectionOperation::securityPolicy() const
{
    return locked(securityPolicy_);
}

void NKURLConnectionOperation::setSecurityPolicy(std::shared_ptr<NKSecurityPolicy> policy)
{
    setLocked(securityPolicy_, std::move(policy));
}

std::set<NSRunLoopMode> NKURLConnectionOperation::runLoopModes() const
{
    return locked(runLoopModes_);
}

void NKURLConnectionOperation::setRunLoopModes(std::set<NSRunLoopMode> modes)
{
    setLocked(runLoopModes_, std::move(modes));
}

dispatch_queue_t NKURLConnectionOperation::completionQueue() const
{
    return locked(completionQueue_);
}

void NKURLConnectionOperation::setCompletionQueue(dispatch_queue_t queue)
{
    setLocked(completionQueue_, std::move(queue));
}

dispatch_group_t NKURLConnectionOperation::completionGroup() const
{
    return locked(completionGroup_);
}

void NKURLConnectionOperation::setCompletionGroup(dispatch_group_t group)
{
    setLocked(completionGroup_, std::move(group));
}

Value NKURLConnectionOperation::userInfo() const
{
    return locked(userInfo_);
}

void NKURLConnectionOperation::setUserInfo(Value userInfo)
{
    setLocked(userInfo_, std::move(userInfo));
}

void NKURLConnectionOperation::setUploadProgressBlock(ProgressBlock block)
{
    setLocked(uploadProgress_, std::move(block));
}

void NKURLConnectionOperation::setDownloadProgressBlock(ProgressBlock block)
{
    setLocked(downloadProgress_, std::move(block));
}

void NKURLConnectionOperation::setWillSendRequestForAuthenticationChallengeBlock(ChallengeBlock block)
{
    setLocked(authenticationChallenge_, std::move(block));
}

void NKURLConnectionOperation::setCacheResponseBlock(CacheResponseBlock block)
{
    setLocked(cacheResponse_, std::move(block));
}

void NKURLConnectionOperation::setRedirectResponseBlock(RedirectResponseBlock block)
{
    setLocked(redirectResponse_, std::move(block));
}

void NKURLConnectionOperation::copyCallbacksTo(NKURLConnectionOperation& other) const
{
    std::lock_guard lock(lock_);
    other.uploadProgress_ = uploadProgress_;
    other.downloadProgress_ = downloadProgress_;
    other.authenticationChallenge_ = authenticationChallenge_;
    other.cacheResponse_ = cacheResponse_;
    other.redirectResponse_ = redirectResponse_;
    other.completionQueue_ = completionQueue_;
    other.completionGroup_ = completionGroup_;
    other.shouldUseCredentialStorage_ = shouldUseCredentialStorage_.load();
    other.credential_ = credential_;
    other.securityPolicy_ = securityPolicy_;
    other.maximumResponseDataLength_ = maximumResponseDataLength_.load();
}

std::shared_ptr<NKURLConnectionOperation> NKURLConnectionOperation::copy() const
{
    auto other = std::make_shared<NKURLConnectionOperation>(request());
    copyCallbacksTo(*other);
    return other;
}

std::vector<std::shared_ptr<NSOperation>> NKURLConnectionOperation::batchOfRequestOperations(
    const std::vector<std::shared_ptr<NKURLConnectionOperation>>& operations,
    std::function<void(std::size_t finished, std::size_t total)> progress,
    std::function<void(const std::vector<std::shared_ptr<NKURLConnectionOperation>>&)> completion)
{
    if (operations.empty()) {
        return { NSBlockOperation::blockOperationWithBlock([completion] {
            dispatch_async(dispatch_get_main_queue(), [completion] {
                if (completion)
                    completion({});
            });
        }) };
    }
    dispatch_group_t group = dispatch_group_create();
    auto batched = NSBlockOperation::blockOperationWithBlock([group, operations, completion] {
        dispatch_group_notify(group, dispatch_get_main_queue(), [operations, completion] {
            if (completion)
                completion(operations);
        });
    });
    for (const auto& operation : operations) {
        operation->setCompletionGroup(group);
        std::function<void()> original = operation->NSOperation::completionBlock();
        std::weak_ptr<NKURLConnectionOperation> weak = operation;
        operation->setCompletionBlock([weak, group, original, operations, progress] {
            auto strong = weak.lock();
            dispatch_queue_t queue = strong && strong->completionQueue() ? strong->completionQueue() : dispatch_get_main_queue();
            dispatch_group_async(group, queue, [group, original, operations, progress] {
                if (original)
                    original();
                std::size_t finished = 0;
                for (const auto& each : operations)
                    finished += each->isFinished() ? 1 : 0;
                if (progress)
                    progress(finished, operations.size());
                dispatch_group_leave(group);
            });
        });
        dispatch_group_enter(group);
        batched->addDependency(operation);
    }
    std::vector<std::shared_ptr<NSOperation>> result(operations.begin(), operations.end());
    result.push_back(batched);
    return result;
}
