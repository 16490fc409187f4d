// The download operation: the connection's life on its thread's run loop, status checks,
// partial and final decoding, authentication answers, cancellation and notifications.
#include "image/WIImageDownloaderOperation.h"
#include <cmath>
#include "image/WIImageDecoding.h"
#include "image/WIImageManager.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/ImageSource.h"
#include "platform/network/NSURLCache.h"
#include "platform/network/NSURLResponse.h"
#include "platform/network/URLError.h"
#include "platform/threading/Dispatch.h"
#include "platform/threading/NSNotificationCenter.h"
#include "platform/uikit/UIApplication.h"

namespace {
std::shared_ptr<NSError> imageError(const std::string& description)
{
    return NSError::errorWithDomain(WIImageErrorDomain, 0, Value::dictionary({ { NSLocalizedDescriptionKey, description } }));
}
} // namespace

WIImageDownloaderOperation::WIImageDownloaderOperation(std::shared_ptr<NSURLRequest> request, WIDownloadOptions options,
    WIDownloadProgress progress, WIDownloadCompletion completed, WIDownloadCancelled cancelled)
    : request_(std::move(request))
    , options_(options)
    , progressBlock_(std::move(progress))
    , completedBlock_(std::move(completed))
    , cancelBlock_(std::move(cancelled))
{
}

bool WIImageDownloaderOperation::isExecuting() const { return executing_; }

bool WIImageDownloaderOperation::isFinished() const { return finished_; }

void WIImageDownloaderOperation::setExecuting(bool value)
{
    willChangeValueForKey("isExecuting");
    executing_ = value;
    didChangeValueForKey("isExecuting");
}

void WIImageDownloaderOperation::setFinished(bool value)
{
    willChangeValueForKey("isFinished");
    finished_ = value;
    didChangeValueForKey("isFinished");
}

std::shared_ptr<NSURLCredential> WIImageDownloaderOperation::credential() const
{
    std::lock_guard lock(lock_);
    return credential_;
}

void WIImageDownloaderOperation::setCredential(std::shared_ptr<NSURLCredential> credential)
{
    std::lock_guard lock(lock_);
    credential_ = std::move(credential);
}

std::shared_ptr<NSURLResponse> WIImageDownloaderOperation::response() const
{
    std::lock_guard lock(lock_);
    return response_;
}

UIImageOrientation WIImageDownloaderOperation::orientationFromPropertyValue(long value)
{
    return wi_exifOrientationToiOSOrientation(value);
}

std::string WIImageDownloaderOperation::cacheKey() const
{
    return WIImageManager::sharedManager()->cacheKeyForURL(request_->URL());
}

void WIImageDownloaderOperation::post(const std::string& name)
{
    auto me = self();
    dispatch_async(dispatch_get_main_queue(),
        [me, name] { NSNotificationCenter::defaultCenter()->postNotificationName(name, me); });
}

void WIImageDownloaderOperation::reset()
{
    std::lock_guard lock(lock_);
    cancelBlock_ = nullptr;
    completedBlock_ = nullptr;
    progressBlock_ = nullptr;
    connection_.reset();
    imageData_.reset();
    runLoop_.reset();
}

void WIImageDownloaderOperation::done()
{
    setFinished(true);
    setExecuting(false);
    reset();
}

void WIImageDownloaderOperation::start()
{
    std::shared_ptr<NSURLConnection> connection;
    std::shared_ptr<NSRunLoop> runLoop;
    UIBackgroundTaskIdentifier task = UIBackgroundTaskInvalid;
    std::shared_ptr<UIApplication> application;
    {
        std::lock_guard lock(lock_);
        if (isCancelled()) {
            setFinished(true);
            reset();
            return;
        }
        application = UIApplication::sharedApplication();
        if (application && shouldContinueWhenAppEntersBackground()) {
            std::weak_ptr<WIImageDownloaderOperation> weak = self();
            std::weak_ptr<UIApplication> weakApp = application;
            // The expiration handler may run on another thread while this one hands it the task.
            auto taskBox = std::make_shared<std::atomic<UIBackgroundTaskIdentifier>>(UIBackgroundTaskInvalid);
            task = application->beginBackgroundTaskWithExpirationHandler([weak, weakApp, taskBox] {
                if (auto strong = weak.lock()) {
                    strong->cancel();
                }
                UIBackgroundTaskIdentifier expired = taskBox->exchange(UIBackgroundTaskInvalid);
                auto app = weakApp.lock();
                if (app && expired != UIBackgroundTaskInvalid) {
                    app->endBackgroundTask(expired);
                }
            });
            taskBox->store(task);
        }
        setExecuting(true);
        connection = NSURLConnection::create(request_, self(), false);
        connection_ = connection;
        runLoop = NSRunLoop::currentRunLoop();
        runLoop_ = runLoop;
    }
    if (connection) {
        connection->start();
        WIDownloadProgress progress;
        {
            std::lock_guard lock(lock_);
            progress = progressBlock_;
        }
        if (progress) {
            progress(0, -1);
        }
        post(WIImageDownloadStartNotification);
        // A port keeps the run going until the transfer ends and stops it.
        auto port = NSPort::port();
        runLoop->addPort(port, NSDefaultRunLoopMode);
        inOwnRun_ = true;
        runLoop->runUntilStopped();
        inOwnRun_ = false;
        runLoop->removePort(port, NSDefaultRunLoopMode);
        if (!isFinished()) {
            connection->cancel();
            connectionDidFailWithError(
                connection, NSError::errorWithDomain(NSURLErrorDomain, NSURLErrorTimedOut, network::withFailingURL(Value::dictionary(), request_->URL())));
        }
    } else {
        WIDownloadCompletion completed;
        {
            std::lock_guard lock(lock_);
            completed = completedBlock_;
        }
        if (completed) {
            completed(nullptr, std::nullopt,
                NSError::errorWithDomain(NSURLErrorDomain, 0,
                    Value::dictionary({ { NSLocalizedDescriptionKey, "Connection can't be initialized" } })),
                true);
        }
        // Finishing frees the queue slot that an operation without a connection would keep.
        done();
    }
    if (application && task != UIBackgroundTaskInvalid) {
        application->endBackgroundTask(task);
    }
}

void WIImageDownloaderOperation::cancel()
{
    Cancellation cancellation;
    {
        std::lock_guard lock(lock_);
        if (runLoop_) {
            cancelAsked_ = true;
            auto me = self();
            runLoop_->performBlock([me] { me->cancelInternalAndStop(); });
            return;
        }
        // Marked under the lock, so that a start that follows sees the cancel; the callback
        // (into the downloader) runs after the lock is let go.
        cancellation = beginCancelLocked();
    }
    completeCancel(std::move(cancellation));
}

void WIImageDownloaderOperation::cancelInternalAndStop()
{
    if (isFinished()) {
        return;
    }
    cancelInternal();
    stopOwnRun();
}

void WIImageDownloaderOperation::stopOwnRun()
{
    if (inOwnRun_) {
        NSRunLoop::currentRunLoop()->stop();
    }
}

void WIImageDownloaderOperation::cancelInternal()
{
    Cancellation cancellation;
    {
        std::lock_guard lock(lock_);
        cancellation = beginCancelLocked();
    }
    completeCancel(std::move(cancellation));
}

WIImageDownloaderOperation::Cancellation WIImageDownloaderOperation::beginCancelLocked()
{
    if (finished_) {
        return {};
    }
    NSOperation::cancel();
    return Cancellation { true, cancelBlock_, connection_ };
}

void WIImageDownloaderOperation::completeCancel(Cancellation cancellation)
{
    if (!cancellation.started) {
        return;
    }
    if (cancellation.cancelled) {
        cancellation.cancelled();
    }
    if (cancellation.connection) {
        cancellation.connection->cancel();
        post(WIImageDownloadStopNotification);
        setExecuting(false);
        setFinished(true);
    }
    reset();
}

namespace {
std::shared_ptr<NSError> tooLongError(const std::shared_ptr<NSURLRequest>& request)
{
    Value info = Value::dictionary({ { NSLocalizedDescriptionKey, "The image is larger than the largest size allowed" } });
    return NSError::errorWithDomain(NSURLErrorDomain, NSURLErrorDataLengthExceedsMaximum, network::withFailingURL(std::move(info), request->URL()));
}
} // namespace

void WIImageDownloaderOperation::failTransfer(
    const std::shared_ptr<NSURLConnection>& connection, std::shared_ptr<NSError> error)
{
    if (connection) {
        connection->cancel();
    }
    WIDownloadCompletion completed = endTransfer(false);
    if (completed) {
        completed(nullptr, std::nullopt, std::move(error), true);
    }
    setCompletionBlock(nullptr);
    done();
}

void WIImageDownloaderOperation::connectionDidReceiveResponse(
    const std::shared_ptr<NSURLConnection>& connection, const std::shared_ptr<NSURLResponse>& response)
{
    auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(response);
    std::int64_t status = http ? http->statusCode() : 0;
    if (!http || (status < 400 && status != 304)) {
        // An announced length over the bound fails at once, before any of the body is held.
        if (response->expectedContentLength() > maxBodySize_) {
            failTransfer(connection, tooLongError(request_));
            return;
        }
        WIDownloadProgress progress;
        {
            std::lock_guard lock(lock_);
            expectedSize_ = response->expectedContentLength() > 0 ? response->expectedContentLength() : 0;
            imageData_.emplace();
            imageData_->reserve(std::size_t(std::min(expectedSize_, maxBodySize_)));
            response_ = response;
            progress = progressBlock_;
        }
        if (progress) {
            progress(0, expectedSize_);
        }
        post(WIImageDownloadReceiveResponseNotification);
        return;
    }
    WIDownloadCompletion completed;
    {
        std::lock_guard lock(lock_);
        completed = completedBlock_;
    }
    connection->cancel();
    post(WIImageDownloadStopNotification);
    if (status == 304) {
        // Not modified: the transfer ends without an image, and every requester hears that.
        if (completed) {
            completed(nullptr, std::nullopt, nullptr, true);
        }
    } else if (completed) {
        completed(nullptr, std::nullopt, NSError::errorWithDomain(NSURLErrorDomain, status), true);
    }
    stopOwnRun();
    done();
}

void WIImageDownloaderOperation::connectionDidReceiveData(
    const std::shared_ptr<NSURLConnection>& connection, const Bytes& data)
{
    if (cancelAsked_) {
        // The handed cancel, done here: it comes later and finds the operation finished.
        cancelInternalAndStop();
        return;
    }
    std::int64_t received = 0;
    WIDownloadProgress progress;
    bool partial = false;
    bool tooLong = false;
    {
        std::lock_guard lock(lock_);
        if (finished_) {
            return; // failed already (too long); the connection is being cancelled
        }
        if (!imageData_) {
            imageData_.emplace();
        }
        tooLong = std::int64_t(imageData_->size() + data.size()) > maxBodySize_;
    }
    if (tooLong) {
        failTransfer(connection, tooLongError(request_));
        return;
    }
    {
        std::lock_guard lock(lock_);
        imageData_->insert(imageData_->end(), data.begin(), data.end());
        received = std::int64_t(imageData_->size());
        progress = progressBlock_;
        partial = (options_ & WIDownloadProgressive) && expectedSize_ > 0 && completedBlock_;
    }
    if (partial) {
        deliverPartialImage();
    }
    if (progress) {
        progress(received, expectedSize_);
    }
}

void WIImageDownloaderOperation::deliverPartialImage()
{
    Bytes bytes;
    WIDownloadCompletion completed;
    {
        std::lock_guard lock(lock_);
        bytes = *imageData_;
        completed = completedBlock_;
    }
    const std::int64_t received = std::int64_t(bytes.size());
    if (bytes.empty()) {
        return;
    }
    // The bytes so far are a prefix: the source shows what has arrived of it.
    auto source = CGImageSourceCreateIncremental();
    CGImageSourceUpdateData(source, std::move(bytes), false);
    if (width_ + height_ == 0) {
        Value properties = CGImageSourceCopyPropertiesAtIndex(source, 0);
        if (properties) {
            height_ = std::size_t(std::max<std::int64_t>(0, properties[kCGImagePropertyPixelHeight].integerValue()));
            width_ = std::size_t(std::max<std::int64_t>(0, properties[kCGImagePropertyPixelWidth].integerValue()));
            const Value& orientation = properties[kCGImagePropertyOrientation];
            orientation_ = orientationFromPropertyValue(orientation.isNumber() ? long(orientation.integerValue()) : 1);
        }
    }
    if (width_ + height_ == 0 || received >= expectedSize_) {
        return;
    }
    // Headers only, or a claimed size over the pixel cap: nothing to show yet. A large image
    // shows smaller, within the decoding budget, as its final decode will.
    CGImageRef partialBitmap = image::decodeWithinBudget(source, 0);
    if (!partialBitmap || !graphics::pixelCountAllowed(width_, height_)) {
        return;
    }
    const std::size_t shownWidth = partialBitmap->width();
    const std::size_t shownHeight = std::max<std::size_t>(
        1, std::size_t(std::llround(double(height_) * double(shownWidth) / double(width_))));
    std::size_t partialHeight = partialBitmap->height();
    CGImageRef bitmap = partialBitmap;
    CGContextRef context = CGBitmapContextCreate(nullptr, shownWidth, shownHeight, 8, shownWidth * 4,
        CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedFirst);
    if (context) {
        // The rows that arrived sit at the top of the whole picture.
        CGContextDrawImage(context, CGRectMake(0, 0, double(shownWidth), double(partialHeight)), partialBitmap);
        if (CGImageRef drawn = CGBitmapContextCreateImage(context)) {
            bitmap = drawn;
        }
    }
    UIImageRef image = UIImage::imageWithCGImage(bitmap, 1, orientation_);
    image = ScaledImageForCacheKey(cacheKey(), image);
    if (image && shouldDecompressImages_) {
        image = decodedImageWithImage(image);
    }
    if (!image || !completed) {
        return;
    }
    image::runOnMainSync([&] { completed(image, std::nullopt, nullptr, false); });
}

WIDownloadCompletion WIImageDownloaderOperation::endTransfer(bool postFinish)
{
    std::lock_guard lock(lock_);
    WIDownloadCompletion completed = completedBlock_;
    stopOwnRun();
    runLoop_.reset();
    connection_.reset();
    post(WIImageDownloadStopNotification);
    if (postFinish) {
        post(WIImageDownloadFinishNotification);
    }
    return completed;
}

void WIImageDownloaderOperation::connectionDidFinishLoading(const std::shared_ptr<NSURLConnection>&)
{
    WIDownloadCompletion completed = endTransfer(true);
    if (!NSURLCache::sharedURLCache()->cachedResponseForRequest(*request_)) {
        responseFromCached_ = false;
    }
    std::optional<Bytes> data;
    {
        // Taken, not copied: the body is held once from the first byte to the cache.
        std::lock_guard lock(lock_);
        data = std::move(imageData_);
        imageData_.reset();
    }
    if (completed) {
        if ((options_ & WIDownloadIgnoreCachedResponse) && responseFromCached_) {
            completed(nullptr, std::nullopt, nullptr, true);
        } else if (data) {
            UIImageRef image = ScaledImageForCacheKey(cacheKey(), wi_imageWithData(*data));
            if (image && image->images().empty() && shouldDecompressImages_) {
                image = decodedImageWithImage(image);
            }
            CGSize size = image ? image->size() : CGSize {};
            if (size.width == 0 || size.height == 0) {
                completed(nullptr, std::nullopt, imageError("Downloaded image has 0 pixels"), true);
            } else {
                completed(image, std::move(data), nullptr, true);
            }
        } else {
            completed(nullptr, std::nullopt, imageError("Image data is nil"), true);
        }
    }
    setCompletionBlock(nullptr);
    done();
}

void WIImageDownloaderOperation::connectionDidFailWithError(
    const std::shared_ptr<NSURLConnection>&, const std::shared_ptr<NSError>& error)
{
    failTransfer(nullptr, error);
}

std::shared_ptr<NSCachedURLResponse> WIImageDownloaderOperation::connectionWillCacheResponse(
    const std::shared_ptr<NSURLConnection>&, const std::shared_ptr<NSCachedURLResponse>& cachedResponse)
{
    responseFromCached_ = false;
    if (request_->cachePolicy() == NSURLRequestReloadIgnoringLocalCacheData) {
        return nullptr;
    }
    return cachedResponse;
}

bool WIImageDownloaderOperation::connectionShouldUseCredentialStorage(const std::shared_ptr<NSURLConnection>&)
{
    return shouldUseCredentialStorage_;
}

void WIImageDownloaderOperation::connectionWillSendRequestForAuthenticationChallenge(
    const std::shared_ptr<NSURLConnection>&, const std::shared_ptr<NSURLAuthenticationChallenge>& challenge)
{
    const auto& sender = challenge->sender();
    if (!sender) {
        return;
    }
    const auto& space = challenge->protectionSpace();
    if (space && space->authenticationMethod() == NSURLAuthenticationMethodServerTrust) {
        // The server's certificate is evaluated as usual unless invalid ones are allowed.
        if (options_ & WIDownloadAllowInvalidCertificates) {
            sender->useCredential(NSURLCredential::credentialForTrust(space->serverTrust()), challenge);
        } else {
            sender->performDefaultHandlingForAuthenticationChallenge(challenge);
        }
        return;
    }
    auto credential = this->credential();
    if (challenge->previousFailureCount() == 0 && credential) {
        sender->useCredential(credential, challenge);
        return;
    }
    sender->continueWithoutCredentialForAuthenticationChallenge(challenge);
}
