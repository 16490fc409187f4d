// Session tasks: state, the loader's reports turned into session delegate calls, downloads to
// temporary files, completion handlers.
#include <filesystem>

#include "platform/network/NSURLSession.h"
#include "platform/network/URLError.h"
#include "platform/persistence/AppHome.h"
#include "platform/threading/NSNotificationCenter.h"

#include <unistd.h>

NSURLSessionTask::NSURLSessionTask(
    Kind kind, std::weak_ptr<NSURLSession> session, std::uint64_t identifier, std::shared_ptr<NSURLRequest> request)
    : kind_(kind)
    , session_(std::move(session))
    , identifier_(identifier)
    , original_(std::move(request))
{
}

NSURLSessionTask::~NSURLSessionTask()
{
    if (loader_)
        loader_->cancel();
    if (downloadFile_)
        std::fclose(downloadFile_);
}

std::string NSURLSessionTask::className() const
{
    switch (kind_) {
    case Kind::Upload: return "NSURLSessionUploadTask";
    case Kind::Download: return "NSURLSessionDownloadTask";
    default: return "NSURLSessionDataTask";
    }
}

std::shared_ptr<NSURLRequest> NSURLSessionTask::currentRequest() const
{
    std::lock_guard lock(mutex_);
    return loader_ ? loader_->currentRequest() : original_;
}

std::shared_ptr<NSURLResponse> NSURLSessionTask::response() const
{
    std::lock_guard lock(mutex_);
    return response_;
}

NSURLSessionTaskState NSURLSessionTask::state() const
{
    std::lock_guard lock(mutex_);
    return state_;
}

std::shared_ptr<NSError> NSURLSessionTask::error() const
{
    std::lock_guard lock(mutex_);
    return error_;
}

std::string NSURLSessionTask::taskDescription() const
{
    std::lock_guard lock(mutex_);
    return description_;
}

void NSURLSessionTask::setTaskDescription(std::string description)
{
    std::lock_guard lock(mutex_);
    description_ = std::move(description);
}

std::int64_t NSURLSessionTask::countOfBytesReceived() const
{
    std::lock_guard lock(mutex_);
    return received_;
}

std::int64_t NSURLSessionTask::countOfBytesSent() const
{
    std::lock_guard lock(mutex_);
    return loader_ ? loader_->bytesSent() : 0;
}

std::int64_t NSURLSessionTask::countOfBytesExpectedToSend() const
{
    std::lock_guard lock(mutex_);
    if (uploadData_)
        return static_cast<std::int64_t>(uploadData_->size());
    return loader_ ? loader_->bytesExpectedToSend() : 0;
}

std::int64_t NSURLSessionTask::countOfBytesExpectedToReceive() const
{
    std::lock_guard lock(mutex_);
    return response_ ? response_->expectedContentLength() : NSURLSessionTransferSizeUnknown;
}

std::shared_ptr<NSURLSessionDelegate> NSURLSessionTask::delegate() const
{
    auto session = this->session();
    return session ? session->delegate() : nullptr;
}

bool NSURLSessionTask::responds(NSURLSessionDelegateMethod method) const
{
    auto delegate = this->delegate();
    return delegate && delegate->respondsTo(method);
}

void NSURLSessionTask::resume()
{
    NSURLSessionTaskState before;
    bool start = false;
    {
        std::lock_guard lock(mutex_);
        before = state_;
        if (state_ == NSURLSessionTaskStateSuspended) {
            state_ = NSURLSessionTaskStateRunning;
            start = !started_;
            started_ = true;
            if (loader_)
                loader_->setPaused(false);
        }
    }
    if (start)
        startLoading();
    // Announced whenever the task was not running, also when it has completed or is being
    // cancelled and so does not run again.
    if (before != NSURLSessionTaskStateRunning)
        NSNotificationCenter::defaultCenter()->postNotificationName(NSURLSessionTaskDidResumeNotification, sharedAs<NSURLSessionTask>());
}

void NSURLSessionTask::suspend()
{
    NSURLSessionTaskState before;
    {
        std::lock_guard lock(mutex_);
        before = state_;
        if (state_ == NSURLSessionTaskStateRunning) {
            state_ = NSURLSessionTaskStateSuspended;
            if (loader_)
                loader_->setPaused(true);
        }
    }
    // Likewise whenever the task was not suspended.
    if (before != NSURLSessionTaskStateSuspended)
        NSNotificationCenter::defaultCenter()->postNotificationName(NSURLSessionTaskDidSuspendNotification, sharedAs<NSURLSessionTask>());
}

void NSURLSessionTask::cancel()
{
    std::shared_ptr<network::Loader> loader;
    {
        std::lock_guard lock(mutex_);
        if (state_ == NSURLSessionTaskStateCanceling || state_ == NSURLSessionTaskStateCompleted)
            return;
        state_ = NSURLSessionTaskStateCanceling;
        loader = loader_;
        if (!delivery_) {
            auto session = this->session();
            if (!session)
                return;
            delivery_ = network::Delivery::onQueue(session->delegateQueue());
        }
    }
    if (loader)
        loader->cancel();
    auto self = sharedAs<NSURLSessionTask>();
    delivery_->post([self] { self->finish(network::urlError(NSURLErrorCancelled, self->original_->URL())); });
}

void NSURLSessionTask::startLoading()
{
    auto session = this->session();
    if (!session)
        return;
    {
        std::lock_guard lock(mutex_);
        delivery_ = network::Delivery::onQueue(session->delegateQueue());
    }
    auto self = sharedAs<NSURLSessionTask>();
    if (!streamed_) {
        delivery_->post([self] { self->beginLoader(nullptr); });
        return;
    }
    // Streamed uploads always ask the delegate for their body first.
    delivery_->post([self] {
        self->loaderNeedNewBodyStream([self](std::shared_ptr<NSInputStream> stream) {
            self->delivery_->post([self, stream] { self->beginLoader(stream); });
        });
    });
}

void NSURLSessionTask::beginLoader(std::shared_ptr<NSInputStream> stream)
{
    auto session = this->session();
    if (!session || state() == NSURLSessionTaskStateCanceling || state() == NSURLSessionTaskStateCompleted)
        return;
    auto request = original_->mutableCopy();
    if (uploadData_)
        request->setHTTPBody(uploadData_);
    if (uploadFile_) {
        std::error_code error;
        auto size = std::filesystem::file_size(*uploadFile_, error);
        if (error)
            return finish(network::urlError(-1100, original_->URL(), "cannot read the file to upload"));
        request->setHTTPBodyStream(NSInputStream::inputStreamWithFileAtPath(*uploadFile_));
        request->setValueForHTTPHeaderField(std::to_string(size), "Content-Length");
    }
    if (streamed_ && stream)
        request->setHTTPBodyStream(stream);
    auto options = session->loaderOptions();
    options.holdsBody = dataCompletion_ != nullptr;
    auto loader = std::make_shared<network::Loader>(request, std::move(options), delivery_, sharedAs<NSURLSessionTask>());
    {
        std::lock_guard lock(mutex_);
        loader_ = loader;
        if (state_ == NSURLSessionTaskStateSuspended)
            loader_->setPaused(true);
    }
    loader->start();
}

void NSURLSessionTask::loaderWillRedirect(const std::shared_ptr<NSURLRequest>& proposed,
    const std::shared_ptr<NSHTTPURLResponse>& response, std::function<void(std::shared_ptr<NSURLRequest>)> answer)
{
    auto delegate = this->delegate();
    if (!delegate || !responds(NSURLSessionDelegateMethod::WillPerformHTTPRedirection))
        return answer(proposed);
    delegate->taskWillPerformHTTPRedirection(session(), sharedAs<NSURLSessionTask>(), response, proposed, answer);
}

void NSURLSessionTask::loaderChallenge(const std::shared_ptr<NSURLAuthenticationChallenge>& challenge, network::ChallengeAnswer answer)
{
    auto delegate = this->delegate();
    bool trust = challenge->protectionSpace()->authenticationMethod() == NSURLAuthenticationMethodServerTrust;
    if (delegate && trust && delegate->respondsTo(NSURLSessionDelegateMethod::DidReceiveChallenge))
        return delegate->URLSessionDidReceiveChallenge(session(), challenge, answer);
    if (delegate && delegate->respondsTo(NSURLSessionDelegateMethod::TaskDidReceiveChallenge))
        return delegate->taskDidReceiveChallenge(session(), sharedAs<NSURLSessionTask>(), challenge, answer);
    answer(NSURLSessionAuthChallengePerformDefaultHandling, nullptr);
}

void NSURLSessionTask::loaderNeedNewBodyStream(std::function<void(std::shared_ptr<NSInputStream>)> answer)
{
    auto delegate = this->delegate();
    if (uploadFile_)
        return answer(NSInputStream::inputStreamWithFileAtPath(*uploadFile_));
    if (!delegate || !responds(NSURLSessionDelegateMethod::NeedNewBodyStream)) {
        auto stream = original_->HTTPBodyStream();
        return answer(stream ? stream->copyStream() : nullptr);
    }
    delegate->taskNeedNewBodyStream(session(), sharedAs<NSURLSessionTask>(), answer);
}

void NSURLSessionTask::loaderDidSendBodyData(std::int64_t bytes, std::int64_t total, std::int64_t expected)
{
    if (auto delegate = this->delegate(); delegate && responds(NSURLSessionDelegateMethod::DidSendBodyData))
        delegate->taskDidSendBodyData(session(), sharedAs<NSURLSessionTask>(), bytes, total,
            expected < 0 ? NSURLSessionTransferSizeUnknown : expected);
}

void NSURLSessionTask::loaderDidReceiveResponse(const std::shared_ptr<NSURLResponse>& response, std::function<void(bool)> answer)
{
    {
        std::lock_guard lock(mutex_);
        response_ = response;
        received_ = 0;
    }
    gathered_.clear();
    if (kind_ == Kind::Download) {
        auto* http = dynamic_cast<NSHTTPURLResponse*>(response.get());
        bool resumed = resumeOffset_ > 0 && http && http->statusCode() == 206;
        if (!resumed) {
            downloadPath_ = NSTemporaryDirectory() + "CFNetworkDownload_XXXXXX";
            std::string pattern = downloadPath_;
            int fd = mkstemp(pattern.data());
            if (fd >= 0)
                ::close(fd);
            downloadPath_ = pattern;
            resumeOffset_ = 0;
        }
        downloadFile_ = std::fopen(downloadPath_.c_str(), resumed ? "ab" : "wb");
        if (!downloadFile_)
            return answer(false);
        if (resumed) {
            if (auto delegate = this->delegate(); delegate && responds(NSURLSessionDelegateMethod::DidResumeAtOffset))
                delegate->downloadTaskDidResumeAtOffset(session(), std::static_pointer_cast<NSURLSessionDownloadTask>(sharedAs<NSURLSessionTask>()),
                    resumeOffset_, response->expectedContentLength() < 0 ? -1 : resumeOffset_ + response->expectedContentLength());
        }
        return answer(true);
    }
    auto delegate = this->delegate();
    if (dataCompletion_ || !delegate || !responds(NSURLSessionDelegateMethod::DidReceiveResponse))
        return answer(true);
    delegate->dataTaskDidReceiveResponse(session(), std::static_pointer_cast<NSURLSessionDataTask>(sharedAs<NSURLSessionTask>()),
        response, [answer](NSURLSessionResponseDisposition disposition) { answer(disposition != NSURLSessionResponseCancel); });
}

void NSURLSessionTask::loaderDidReceiveData(const Bytes& data)
{
    std::int64_t total;
    {
        std::lock_guard lock(mutex_);
        received_ += static_cast<std::int64_t>(data.size());
        total = received_;
    }
    if (kind_ == Kind::Download) {
        if (downloadFile_ && std::fwrite(data.data(), 1, data.size(), downloadFile_) != data.size()) {
            if (loader_)
                loader_->cancel();
            return finish(network::urlError(NSURLErrorCannotWriteToFile, original_->URL()));
        }
        auto expected = response_ ? response_->expectedContentLength() : -1;
        if (auto delegate = this->delegate(); delegate && responds(NSURLSessionDelegateMethod::DidWriteData))
            delegate->downloadTaskDidWriteData(session(), std::static_pointer_cast<NSURLSessionDownloadTask>(sharedAs<NSURLSessionTask>()),
                static_cast<std::int64_t>(data.size()), total + resumeOffset_, expected < 0 ? -1 : expected + resumeOffset_);
        return;
    }
    if (dataCompletion_) {
        gathered_.insert(gathered_.end(), data.begin(), data.end());
        return;
    }
    if (auto delegate = this->delegate(); delegate && responds(NSURLSessionDelegateMethod::DidReceiveData))
        delegate->dataTaskDidReceiveData(session(), std::static_pointer_cast<NSURLSessionDataTask>(sharedAs<NSURLSessionTask>()), data);
}

void NSURLSessionTask::loaderWillCacheResponse(
    const std::shared_ptr<NSCachedURLResponse>& proposed, std::function<void(std::shared_ptr<NSCachedURLResponse>)> answer)
{
    auto delegate = this->delegate();
    if (kind_ == Kind::Download || !delegate || !responds(NSURLSessionDelegateMethod::WillCacheResponse))
        return answer(proposed);
    delegate->dataTaskWillCacheResponse(session(), std::static_pointer_cast<NSURLSessionDataTask>(sharedAs<NSURLSessionTask>()),
        proposed, answer);
}

void NSURLSessionTask::loaderDidComplete(const std::shared_ptr<NSError>& error)
{
    finish(error);
}

void NSURLSessionTask::finish(std::shared_ptr<NSError> error)
{
    {
        std::lock_guard lock(mutex_);
        if (state_ == NSURLSessionTaskStateCompleted)
            return;
        state_ = NSURLSessionTaskStateCompleted;
        error_ = error;
        if (loader_)
            loader_->cancel(); // already over; drops the loader's hold on this task
    }
    auto self = sharedAs<NSURLSessionTask>();
    auto session = this->session();
    auto delegate = this->delegate();
    if (downloadFile_) {
        std::fclose(downloadFile_);
        downloadFile_ = nullptr;
    }
    if (kind_ == Kind::Download && !error && !downloadPath_.empty()) {
        auto location = NSURL::fileURLWithPath(downloadPath_);
        auto task = std::static_pointer_cast<NSURLSessionDownloadTask>(self);
        if (downloadCompletion_)
            downloadCompletion_(location, response(), nullptr);
        else if (delegate && responds(NSURLSessionDelegateMethod::DidFinishDownloadingToURL))
            delegate->downloadTaskDidFinishDownloadingToURL(session, task, location);
        std::error_code ignored;
        std::filesystem::remove(downloadPath_, ignored);
    } else if (kind_ == Kind::Download && error && !downloadPath_.empty()) {
        bool keep = std::static_pointer_cast<NSURLSessionDownloadTask>(self)->etag_.has_value() && error->code() == NSURLErrorCancelled;
        std::error_code ignored;
        if (!keep)
            std::filesystem::remove(downloadPath_, ignored);
        if (downloadCompletion_)
            downloadCompletion_(std::nullopt, response(), error);
    } else if (kind_ == Kind::Download && downloadCompletion_) {
        downloadCompletion_(std::nullopt, response(), error);
    }
    if (dataCompletion_)
        dataCompletion_(error ? std::nullopt : std::optional(std::move(gathered_)), response(), error);
    if (delegate && responds(NSURLSessionDelegateMethod::DidCompleteWithError))
        delegate->taskDidCompleteWithError(session, self, error);
    dataCompletion_ = nullptr;
    downloadCompletion_ = nullptr;
    if (delivery_)
        delivery_->close();
    if (session)
        session->taskCompleted(identifier_);
}

void NSURLSessionDownloadTask::cancelByProducingResumeData(std::function<void(std::optional<Bytes>)> handler)
{
    std::optional<Bytes> data;
    {
        std::lock_guard lock(mutex_);
        auto* http = dynamic_cast<NSHTTPURLResponse*>(response_.get());
        auto etag = http ? http->valueForHTTPHeaderField("ETag") : std::nullopt;
        if (downloadFile_)
            std::fflush(downloadFile_);
        std::int64_t have = resumeOffset_ + received_;
        if (etag && have > 0 && !downloadPath_.empty() && original_->URL()) {
            etag_ = etag;
            std::string text = "QMRESUME 1\n" + original_->URL()->absoluteString() + "\n" + downloadPath_ + "\n"
                + std::to_string(have) + "\n" + *etag + "\n";
            data = Bytes(text.begin(), text.end());
        }
    }
    cancel();
    if (auto session = this->session())
        session->delegateQueue()->addOperationWithBlock([handler, data] { handler(data); });
}
