// WIImageManager: the one entry for loading the image at a URL. It asks the cache, downloads on
// a miss, stores the result and reports on the main thread; it refuses URLs that failed for a
// lasting reason until asked to retry, and returns a handle that cancels the whole load.
#pragma once
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>
#include "image/WIImageCache.h"
#include "image/WIImageDownloader.h"
#include "image/WIImageTypes.h"

class WIImageManager;

// Both operations are optional: the defaults say "no answer".
class WIImageManagerDelegate {
public:
    virtual ~WIImageManagerDelegate() = default;
    // nullopt: the delegate does not decide, and the download goes ahead.
    virtual std::optional<bool> imageManagerShouldDownloadImageForURL(WIImageManager& manager, const NSURL& url);
    virtual bool respondsToTransformDownloadedImage() const { return false; }
    virtual UIImageRef imageManagerTransformDownloadedImage(WIImageManager& manager, const UIImageRef& image, const NSURL& url);
};

class WIImageCombinedOperation final : public WIImageOperation {
public:
    void cancel() override;
    bool isCancelled() const;
    // On an operation already cancelled the block runs at once and is not kept.
    void setCancelBlock(std::function<void()> block);
    void setCacheOperation(std::shared_ptr<NSOperation> operation);

private:
    friend class WIImageManager;
    // The downloader's last report (image or error) came: a partial image is stale from then on.
    void markFinalArrived();
    bool finalArrived() const;
    // Queues a transform of one of the load's images; true when none is running, and the caller
    // is to drain the queue. A partial image waiting to be transformed is dropped for the newer
    // image, so at most one decoded partial waits however fast they come.
    bool queueTransform(std::function<void()> transform, bool partial);
    // The next queued transform; none when the queue is empty, which then counts as idle.
    std::function<void()> nextTransform();

    mutable std::mutex mutex_;
    bool cancelled_ = false;
    bool finalArrived_ = false;
    struct QueuedTransform {
        std::function<void()> run;
        bool partial = false;
    };
    std::deque<QueuedTransform> transforms_;
    bool transforming_ = false;
    std::function<void()> cancelBlock_;
    std::shared_ptr<NSOperation> cacheOperation_;
    std::function<void()> leaveRunningList_;
};

using WICacheKeyFilter = std::function<std::string(const NSURL& url)>;

class WIImageManager : public std::enable_shared_from_this<WIImageManager> {
public:
    static std::shared_ptr<WIImageManager> sharedManager();
    // A manager over the shared cache and the shared downloader.
    static std::shared_ptr<WIImageManager> create();
    static std::shared_ptr<WIImageManager> create(
        std::shared_ptr<WIImageCache> cache, std::shared_ptr<WIImageDownloader> downloader);

    std::string cacheKeyForURL(const std::optional<NSURL>& url) const;
    bool cachedImageExistsForURL(const NSURL& url);
    bool diskImageExistsForURL(const NSURL& url);
    void cachedImageExistsForURL(const NSURL& url, WICheckCacheCompletion completion);
    void diskImageExistsForURL(const NSURL& url, WICheckCacheCompletion completion);

    std::shared_ptr<WIImageCombinedOperation> downloadImageWithURL(const std::optional<NSURL>& url, WILoadOptions options,
        WIDownloadProgress progress, WILoadCompletion completed);
    // A string is made into a URL first; one that is not a URL is refused like a missing URL.
    std::shared_ptr<WIImageCombinedOperation> downloadImageWithURL(const std::string& url, WILoadOptions options,
        WIDownloadProgress progress, WILoadCompletion completed);
    std::shared_ptr<WIImageCombinedOperation> downloadWithURL(const std::optional<NSURL>& url, WILoadOptions options,
        WIDownloadProgress progress, WILegacyLoadCompletion completed);

    void saveImageToCache(const UIImageRef& image, const std::optional<NSURL>& url);
    void cancelAll();
    bool isRunning() const;

    std::shared_ptr<WIImageManagerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<WIImageManagerDelegate>& delegate) { delegate_ = delegate; }
    const std::shared_ptr<WIImageCache>& imageCache() const { return imageCache_; }
    const std::shared_ptr<WIImageDownloader>& imageDownloader() const { return imageDownloader_; }
    const WICacheKeyFilter& cacheKeyFilter() const { return cacheKeyFilter_; }
    void setCacheKeyFilter(WICacheKeyFilter filter) { cacheKeyFilter_ = std::move(filter); }
    bool isFailedURL(const NSURL& url) const;
    // The URLs refused until retried, by absolute string: a copy.
    std::set<std::string> failedURLs() const;
    // The loads in progress, in the order they started: a copy.
    std::vector<std::shared_ptr<WIImageCombinedOperation>> runningOperations() const;
    std::size_t runningOperationCount() const;

private:
    WIImageManager(std::shared_ptr<WIImageCache> cache, std::shared_ptr<WIImageDownloader> downloader);
    void removeRunning(const WIImageCombinedOperation* operation);
    void cacheAnswered(const std::shared_ptr<WIImageCombinedOperation>& operation, const NSURL& url,
        const std::string& key, WILoadOptions options, const WIDownloadProgress& progress,
        const WILoadCompletion& completed, UIImageRef cachedImage, WICacheSource source);
    // The load's transforms run one at a time, in the order its images came, so that a slow
    // transform of a partial image never overtakes a later one; of the partials that come while
    // one runs, only the newest waits.
    static void transformInOrder(
        const std::shared_ptr<WIImageCombinedOperation>& operation, std::function<void()> work, bool partial);
    void downloadReported(const std::shared_ptr<WIImageCombinedOperation>& operation, const NSURL& url,
        const std::string& key, WILoadOptions options, const WILoadCompletion& completed, bool hadCachedImage,
        UIImageRef image, std::optional<Bytes> data, std::shared_ptr<NSError> error, bool finished);

    std::weak_ptr<WIImageManagerDelegate> delegate_;
    std::shared_ptr<WIImageCache> imageCache_;
    std::shared_ptr<WIImageDownloader> imageDownloader_;
    WICacheKeyFilter cacheKeyFilter_;
    mutable std::mutex failedMutex_;
    std::set<std::string> failedURLs_;
    mutable std::mutex runningMutex_;
    std::vector<std::shared_ptr<WIImageCombinedOperation>> runningOperations_;
};
