// The image manager: cache lookups, downloads, the failed-URL list and the combined handle.
#include "image/WIImageManager.h"
#include <algorithm>
#include <utility>

namespace {
// Connectivity failures: the URL may well work later, so it is not put on the failed list.
bool isPassingFailure(const std::shared_ptr<NSError>& error)
{
    switch (error->code()) {
    case -1009:
    case -999:
    case -1001:
    case -1018:
    case -1020:
    case -1003:
    case -1004:
        return error->domain() == NSURLErrorDomain;
    default:
        return false;
    }
}

WIDownloadOptions downloadOptionsFor(WILoadOptions options)
{
    WIDownloadOptions result = 0;
    if (options & WILoadLowPriority) result |= WIDownloadLowPriority;
    if (options & WILoadProgressive) result |= WIDownloadProgressive;
    if (options & WILoadRefreshCached) result |= WIDownloadUseURLCache;
    if (options & WILoadContinueInBackground) result |= WIDownloadContinueInBackground;
    if (options & WILoadHandleCookies) result |= WIDownloadHandleCookies;
    if (options & WILoadAllowInvalidCertificates) result |= WIDownloadAllowInvalidCertificates;
    if (options & WILoadHighPriority) result |= WIDownloadHighPriority;
    return result;
}
} // namespace

std::optional<bool> WIImageManagerDelegate::imageManagerShouldDownloadImageForURL(WIImageManager&, const NSURL&)
{
    return std::nullopt;
}

UIImageRef WIImageManagerDelegate::imageManagerTransformDownloadedImage(WIImageManager&, const UIImageRef& image, const NSURL&)
{
    return image;
}

void WIImageCombinedOperation::cancel()
{
    std::shared_ptr<NSOperation> cacheOperation;
    std::function<void()> cancelBlock;
    std::function<void()> leave;
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        cacheOperation = std::move(cacheOperation_);
        cancelBlock = std::move(cancelBlock_);
        leave = std::move(leaveRunningList_);
        cacheOperation_.reset();
        cancelBlock_ = nullptr;
        leaveRunningList_ = nullptr;
    }
    if (cacheOperation) {
        cacheOperation->cancel();
    }
    if (cancelBlock) {
        cancelBlock();
    }
    // A load cancelled while its cache query is pending leaves the running list too.
    if (leave) {
        leave();
    }
}

bool WIImageCombinedOperation::isCancelled() const
{
    std::lock_guard lock(mutex_);
    return cancelled_;
}

void WIImageCombinedOperation::setCancelBlock(std::function<void()> block)
{
    {
        std::lock_guard lock(mutex_);
        if (!cancelled_) {
            cancelBlock_ = std::move(block);
            return;
        }
    }
    if (block) {
        block();
    }
}

void WIImageCombinedOperation::markFinalArrived()
{
    std::lock_guard lock(mutex_);
    finalArrived_ = true;
}

bool WIImageCombinedOperation::finalArrived() const
{
    std::lock_guard lock(mutex_);
    return finalArrived_;
}

bool WIImageCombinedOperation::queueTransform(std::function<void()> transform, bool partial)
{
    std::function<void()> dropped; // let go of outside the lock: it holds the image and the delegate
    std::lock_guard lock(mutex_);
    if (!transforms_.empty() && transforms_.back().partial) {
        dropped = std::move(transforms_.back().run);
        transforms_.pop_back();
    }
    transforms_.push_back(QueuedTransform { std::move(transform), partial });
    return !std::exchange(transforming_, true);
}

std::function<void()> WIImageCombinedOperation::nextTransform()
{
    std::lock_guard lock(mutex_);
    if (transforms_.empty()) {
        transforming_ = false;
        return nullptr;
    }
    std::function<void()> next = std::move(transforms_.front().run);
    transforms_.pop_front();
    return next;
}

void WIImageCombinedOperation::setCacheOperation(std::shared_ptr<NSOperation> operation)
{
    std::lock_guard lock(mutex_);
    cacheOperation_ = std::move(operation);
}

std::shared_ptr<WIImageManager> WIImageManager::sharedManager()
{
    static std::shared_ptr<WIImageManager> shared = create();
    return shared;
}

std::shared_ptr<WIImageManager> WIImageManager::create()
{
    return create(WIImageCache::sharedImageCache(), WIImageDownloader::sharedDownloader());
}

std::shared_ptr<WIImageManager> WIImageManager::create(
    std::shared_ptr<WIImageCache> cache, std::shared_ptr<WIImageDownloader> downloader)
{
    return std::shared_ptr<WIImageManager>(new WIImageManager(std::move(cache), std::move(downloader)));
}

WIImageManager::WIImageManager(std::shared_ptr<WIImageCache> cache, std::shared_ptr<WIImageDownloader> downloader)
    : imageCache_(std::move(cache))
    , imageDownloader_(std::move(downloader))
{
}

std::string WIImageManager::cacheKeyForURL(const std::optional<NSURL>& url) const
{
    if (!url) {
        return {};
    }
    if (cacheKeyFilter_) {
        return cacheKeyFilter_(*url);
    }
    return url->absoluteString();
}

bool WIImageManager::cachedImageExistsForURL(const NSURL& url)
{
    std::string key = cacheKeyForURL(url);
    return imageCache_->imageFromMemoryCacheForKey(key) != nullptr || imageCache_->diskImageExistsWithKey(key);
}

bool WIImageManager::diskImageExistsForURL(const NSURL& url) { return imageCache_->diskImageExistsWithKey(cacheKeyForURL(url)); }

void WIImageManager::cachedImageExistsForURL(const NSURL& url, WICheckCacheCompletion completion)
{
    std::string key = cacheKeyForURL(url);
    if (imageCache_->imageFromMemoryCacheForKey(key)) {
        if (completion) {
            dispatch_async(dispatch_get_main_queue(), [completion] { completion(true); });
        }
        return;
    }
    imageCache_->diskImageExistsWithKey(key, std::move(completion));
}

void WIImageManager::diskImageExistsForURL(const NSURL& url, WICheckCacheCompletion completion)
{
    imageCache_->diskImageExistsWithKey(cacheKeyForURL(url), std::move(completion));
}

bool WIImageManager::isFailedURL(const NSURL& url) const
{
    std::lock_guard lock(failedMutex_);
    return failedURLs_.count(url.absoluteString()) > 0;
}

std::set<std::string> WIImageManager::failedURLs() const
{
    std::lock_guard lock(failedMutex_);
    return failedURLs_;
}

std::vector<std::shared_ptr<WIImageCombinedOperation>> WIImageManager::runningOperations() const
{
    std::lock_guard lock(runningMutex_);
    return runningOperations_;
}

std::size_t WIImageManager::runningOperationCount() const
{
    std::lock_guard lock(runningMutex_);
    return runningOperations_.size();
}

bool WIImageManager::isRunning() const { return runningOperationCount() > 0; }

void WIImageManager::removeRunning(const WIImageCombinedOperation* operation)
{
    std::lock_guard lock(runningMutex_);
    std::erase_if(runningOperations_, [operation](const auto& running) { return running.get() == operation; });
}

void WIImageManager::cancelAll()
{
    std::vector<std::shared_ptr<WIImageCombinedOperation>> copy;
    {
        std::lock_guard lock(runningMutex_);
        copy.swap(runningOperations_);
    }
    for (const auto& operation : copy) {
        operation->cancel();
    }
}

void WIImageManager::saveImageToCache(const UIImageRef& image, const std::optional<NSURL>& url)
{
    if (image && url) {
        imageCache_->storeImage(image, cacheKeyForURL(url), true);
    }
}

std::shared_ptr<WIImageCombinedOperation> WIImageManager::downloadImageWithURL(
    const std::string& url, WILoadOptions options, WIDownloadProgress progress, WILoadCompletion completed)
{
    return downloadImageWithURL(NSURL::URLWithString(url), options, std::move(progress), std::move(completed));
}

std::shared_ptr<WIImageCombinedOperation> WIImageManager::downloadWithURL(
    const std::optional<NSURL>& url, WILoadOptions options, WIDownloadProgress progress, WILegacyLoadCompletion completed)
{
    return downloadImageWithURL(url, options, std::move(progress),
        [completed](UIImageRef image, std::shared_ptr<NSError> error, WICacheSource source, bool finished,
            std::optional<NSURL>) {
            if (completed) {
                completed(std::move(image), std::move(error), source, finished);
            }
        });
}

std::shared_ptr<WIImageCombinedOperation> WIImageManager::downloadImageWithURL(
    const std::optional<NSURL>& url, WILoadOptions options, WIDownloadProgress progress, WILoadCompletion completed)
{
    auto operation = std::make_shared<WIImageCombinedOperation>();
    bool failed = url && isFailedURL(*url);
    if (!url || (failed && !(options & WILoadRetryFailed))) {
        image::runOnMainSync([&] {
            if (completed) {
                completed(nullptr, NSError::errorWithDomain(NSURLErrorDomain, -1100), WICacheSourceNone, true, url);
            }
        });
        return operation;
    }
    {
        std::lock_guard lock(runningMutex_);
        runningOperations_.push_back(operation);
    }
    std::weak_ptr<WIImageManager> weak = weak_from_this();
    const WIImageCombinedOperation* raw = operation.get();
    operation->leaveRunningList_ = [weak, raw] {
        if (auto strong = weak.lock()) {
            strong->removeRunning(raw);
        }
    };
    std::string key = cacheKeyForURL(url);
    auto self = shared_from_this();
    NSURL target = *url;
    auto cacheOperation = imageCache_->queryDiskCacheForKey(
        key, [self, operation, target, key, options, progress, completed](UIImageRef image, WICacheSource source) {
            self->cacheAnswered(operation, target, key, options, progress, completed, std::move(image), source);
        });
    if (cacheOperation) {
        operation->setCacheOperation(cacheOperation);
    }
    return operation;
}

void WIImageManager::cacheAnswered(const std::shared_ptr<WIImageCombinedOperation>& operation, const NSURL& url,
    const std::string& key, WILoadOptions options, const WIDownloadProgress& progress, const WILoadCompletion& completed,
    UIImageRef cachedImage, WICacheSource source)
{
    if (operation->isCancelled()) {
        removeRunning(operation.get());
        return;
    }
    bool wanted = !cachedImage || (options & WILoadRefreshCached);
    auto delegate = delegate_.lock();
    if (wanted && delegate) {
        wanted = delegate->imageManagerShouldDownloadImageForURL(*this, url).value_or(true);
    }
    if (!wanted) {
        image::runOnMainSync([&] {
            if (!operation->isCancelled() && completed) {
                completed(cachedImage, nullptr, cachedImage ? source : WICacheSourceNone, true, url);
            }
        });
        removeRunning(operation.get());
        return;
    }
    if (cachedImage && completed) {
        image::runOnMainSync([&] { completed(cachedImage, nullptr, source, true, url); });
    }
    WIDownloadOptions downloadOptions = downloadOptionsFor(options);
    bool hadCachedImage = cachedImage != nullptr;
    if (hadCachedImage && (options & WILoadRefreshCached)) {
        downloadOptions &= ~WIDownloadProgressive;
        downloadOptions |= WIDownloadIgnoreCachedResponse;
    }
    auto self = shared_from_this();
    auto token = imageDownloader_->downloadImageWithURL(url, downloadOptions, progress,
        [self, operation, url, key, options, completed, hadCachedImage](
            UIImageRef image, std::optional<Bytes> data, std::shared_ptr<NSError> error, bool finished) {
            self->downloadReported(operation, url, key, options, completed, hadCachedImage, std::move(image),
                std::move(data), std::move(error), finished);
        });
    std::weak_ptr<WIImageManager> weak = self;
    const WIImageCombinedOperation* raw = operation.get();
    operation->setCancelBlock([token, weak, raw] {
        if (token) {
            token->cancel();
        }
        if (auto strong = weak.lock()) {
            strong->removeRunning(raw);
        }
    });
}

void WIImageManager::transformInOrder(
    const std::shared_ptr<WIImageCombinedOperation>& operation, std::function<void()> work, bool partial)
{
    if (!operation->queueTransform(std::move(work), partial)) {
        return; // the running drain takes it in turn
    }
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_HIGH, 0), [operation] {
        while (auto next = operation->nextTransform()) {
            next();
        }
    });
}

void WIImageManager::downloadReported(const std::shared_ptr<WIImageCombinedOperation>& operation, const NSURL& url,
    const std::string& key, WILoadOptions options, const WILoadCompletion& completed, bool hadCachedImage,
    UIImageRef image, std::optional<Bytes> data, std::shared_ptr<NSError> error, bool finished)
{
    auto report = [&](const UIImageRef& reported, const std::shared_ptr<NSError>& reportedError) {
        image::runOnMainSync([&] {
            if (!operation->isCancelled() && completed) {
                completed(reported, reportedError, WICacheSourceNone, finished, url);
            }
        });
    };
    if (finished) {
        operation->markFinalArrived();
    }
    if (!operation->isCancelled()) {
        if (error) {
            // Listed before the report, so a caller that retries from its completion is refused.
            if (!isPassingFailure(error)) {
                std::lock_guard lock(failedMutex_);
                failedURLs_.insert(url.absoluteString());
            }
            report(nullptr, error);
        } else {
            if (options & WILoadRetryFailed) {
                std::lock_guard lock(failedMutex_);
                failedURLs_.erase(url.absoluteString());
            }
            bool toDisk = !(options & WILoadCacheMemoryOnly);
            auto delegate = delegate_.lock();
            bool transform = image && delegate && delegate->respondsToTransformDownloadedImage()
                && (image->images().empty() || (options & WILoadTransformAnimatedImage));
            if ((options & WILoadRefreshCached) && hadCachedImage && !image) {
                // The URL cache answered: the cached image already shown stands.
            } else if (transform) {
                auto self = shared_from_this();
                transformInOrder(operation,
                    [self, operation, url, key, completed, image, data = std::move(data), finished, toDisk, delegate]() mutable {
                        // A partial image the final one has overtaken is neither transformed nor shown
                        // (one still waiting was already dropped for it).
                        auto stale = [&] { return !finished && operation->finalArrived(); };
                        if (stale()) {
                            return;
                        }
                        UIImageRef transformed = delegate->imageManagerTransformDownloadedImage(*self, image, url);
                        if (transformed && finished) {
                            bool changed = transformed != image;
                            self->imageCache_->storeImage(
                                transformed, changed, changed ? std::nullopt : std::move(data), key, toDisk);
                        }
                        image::runOnMainSync([&] {
                            if (!operation->isCancelled() && !stale() && completed) {
                                completed(transformed, nullptr, WICacheSourceNone, finished, url);
                            }
                        });
                    },
                    !finished);
            } else {
                if (image && finished) {
                    imageCache_->storeImage(image, false, std::move(data), key, toDisk);
                }
                report(image, nullptr);
            }
        }
    }
    if (finished) {
        removeRunning(operation.get());
    }
}
